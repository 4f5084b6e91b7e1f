// Files the user names: opened from the command line or dropped on the window,
// and the folder the window starts in.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QSettings>

#include "convert/pipeline.h"
#include "core/error.h"
#include "ui/dir_list.h"
#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/form1.h"
#include "ui/handler_support.h"
#include "ui/texts.h"

namespace zwp::ui {

namespace {

// The local file a drag carries, if it carries exactly one kind of thing we take.
// Folders of the system, writable only for root: never a place to start in,
// even when the program is installed there.
bool isSystemFolder(const QString& path) {
  const QString canonical = QFileInfo(path).canonicalFilePath();
  for (const char* root : {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32", "/etc", "/opt", "/boot"}) {
    const QString r = QString::fromLatin1(root);
    if (canonical == r || canonical.startsWith(r + QLatin1Char('/'))) return true;
  }
  return false;
}

QString droppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().isEmpty()) return {};
  const QUrl url = data->urls().first();
  if (!url.isLocalFile()) return {};
  // The path's own bytes, so that a name that is not UTF-8 keeps them.
  return decodeName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}
}  // namespace

QString Form1::startDirectory() const {
  if (!platform_.settingsFile.isEmpty()) {
    const QString chosen = QSettings(platform_.settingsFile, QSettings::IniFormat).value(text::kZorbelDirKey).toString();
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) return chosen;
  }
  const QFileInfo program(platform_.programDir);
  if (program.isDir() && program.isWritable() && !isSystemFolder(platform_.programDir)) return platform_.programDir;
  return QDir::homePath();
}

void Form1::openFile(const QString& path) {
  // Only the path's text is taken from QFileInfo; the file itself is looked at by its bytes.
  const QString file = absoluteName(path);
  const QFileInfo info(file);
  const bool emblem = isEmblemName(filePath(path));
  if ((tag() == QLatin1String("1")) != emblem) btnformat_Click();
  BusyPointer busy(this);
  try {
    const EntryKind kind = kindOf(file);
    if (kind != EntryKind::File) {
      throw fileError(kind == EntryKind::Missing ? ENOENT : EISDIR, filePath(path), FileAccess::Read);
    }
    const QString dir = info.path();
    drvlaufwerk->setDrive(dir);
    Dirverzeichnis->setPath(dir);
    Fildatei->selectFile(info.fileName());
    if (emblem) {
      showEmblem(emblemOf(readEmblemBytes(filePath(file))));
    } else {
      openPicture(filePath(file));
    }
  } catch (const std::exception& e) {
    platform_.messageBoxes->show(text::kCannotShow.arg(shownName(info.fileName()), QString::fromUtf8(e.what())),
                                 MessageBoxes::kCritical, text::kErrorTitle);
  }
}

// A picture loads as a click loads a bitmap; one larger than 128 x 128 is
// shrunk to fit if the user agrees, after its header alone has said how large
// it is.
void Form1::openPicture(const std::string& file) {
  const PictureFile picture = PictureFile::open(file, false);
  ReadOptions options;
  options.takesEmpty = true;
  try {
    return showPicture(readPicture(picture, options));
  } catch (const Error& e) {
    if (e.reason() != Refusal::TooLarge) throw;
  }
  const PictureFacts facts = describePicture(picture);
  const QString name = shownName(QFileInfo(decodeName(QByteArray::fromStdString(file))).fileName());
  if (!platform_.messageBoxes->ask(text::kShrinkQuestion.arg(name).arg(facts.width).arg(facts.height),
                                   text::kShrinkTitle)) {
    return;
  }
  options.fit = kMaxBitmapSide;
  showPicture(readPicture(picture, options));
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
  const QString file = droppedFile(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  openFile(file);
}

}  // namespace zwp::ui
