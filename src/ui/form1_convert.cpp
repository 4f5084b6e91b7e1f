// The two handlers that work on files: a click in the file list loads the
// file into the preview, the convert button saves the preview in the other
// format.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <filesystem>

#include "convert/encode.h"
#include "convert/pipeline.h"
#include "core/error.h"
#include "ui/access.h"
#include "ui/dir_list.h"
#include "ui/file_list.h"
#include "ui/form1.h"
#include "ui/handler_support.h"
#include "ui/preview_surface.h"
#include "ui/texts.h"

namespace zwp::ui {

namespace {

// Puts the picture back into the preview when the emblem save ends, however
// it ends, so that the progress colours never become the picture.
class RestorePreview {
 public:
  RestorePreview(PreviewSurface* preview, const Picture& picture) : preview_(preview), picture_(picture) {}
  ~RestorePreview() { preview_->setPicture(picture_); }
  RestorePreview(const RestorePreview&) = delete;
  RestorePreview& operator=(const RestorePreview&) = delete;

 private:
  PreviewSurface* preview_;
  const Picture& picture_;
};

// The save dialog asks before it hands out the name of an existing file, so
// such a file is replaced; a name that was free must still be free when the
// new file appears.
IfExists confirmedByDialog(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::symlink_status(path, ignored).type() == std::filesystem::file_type::not_found
             ? IfExists::Keep
             : IfExists::Replace;
}

}  // namespace

void Form1::Fildatei_Click() {
  const QString name = Fildatei->fileName();
  if (name.isEmpty()) return;
  const QString path = QDir::toNativeSeparators(QDir(Fildatei->path()).filePath(name));
  BusyPointer busy(this);
  try {
    if (tag() == QLatin1String("0")) {
      showBitmap(path);
    } else if (tag() == QLatin1String("1")) {
      showEmblem(path);
    }
  } catch (const std::exception& e) {
    reportError(e);
  }
}

// Everything is read and decoded before anything on screen changes, so a
// failure or refusal leaves the previous picture, labels and sizes in place.
// Files the list shows that are no usable bitmap or emblem are passed over
// without a word, as a click on them always was.
void Form1::showBitmap(const QString& path) {
  const std::string file = filePath(path);
  ReadOptions options;
  options.bitmapsOnly = true;
  options.takesEmpty = true;
  try {
    showPicture(readPicture(PictureFile::open(file, false), options));
  } catch (const Error& e) {
    if (!refusedSilently(e)) throw;
  }
}

void Form1::showSize(int32_t width, int32_t height) {
  lblbreite->setText(text::kWidthLoaded + QString::number(width));
  lblhöhe->setText(text::kHeightLoaded + QString::number(height));
  picbmp->setAccessibleName(text::kPreviewSized.arg(width).arg(height));
  announce(picbmp, text::kLoadedSize.arg(width).arg(height));
  ImgWidth = width;
  ImgHeight = height;
}

void Form1::showPicture(Picture picture) {
  showSize(picture.width(), picture.height());
  EmblemHeader.Width = ImgWidth;
  EmblemHeader.Height = ImgHeight;
  picbmp->setPicture(std::move(picture));
  picbmp->setLeft(px(kPreviewLeft));
}

void Form1::showEmblem(const QString& path) {
  const std::string file = filePath(path);
  try {
    showEmblem(emblemOf(readEmblemBytes(file)));
  } catch (const Error& e) {
    if (!refusedSilently(e)) throw;
  }
}

void Form1::showEmblem(Emblem emblem) {
  showSize(emblem.header.Width, emblem.header.Height);
  EmblemHeader = emblem.header;
  picbmp->setLeft(px(kPreviewLeft));
  picbmp->hide();
  picbmp->setPicture(std::move(emblem.picture));
  picbmp->show();
}

void Form1::cmdconvert_Click() {
  BusyPointer busy(this);
  try {
    dlgspeichern().Flags = SaveDialog::kOverwritePrompt | SaveDialog::kHideReadOnly;
    if (tag().toInt() == 0) {
      saveEmblem();
    } else {
      saveBitmap();
    }
    platform_.messageBoxes->show(text::kSaved, MessageBoxes::kInformation, text::kSavedTitle);
  } catch (const Error& e) {
    if (e.number() != err::DialogCancelled) reportError(e);
  } catch (const std::exception& e) {
    reportError(e);
  }
}

void Form1::saveEmblem() {
  SaveDialog& dialog = dlgspeichern();
  dialog.InitDir = startDirectory();
  dialog.ListsFolder = Dirverzeichnis->path();
  dialog.Filter = text::kEmblemFilter;
  dialog.FileName.clear();
  dialog.ShowSave();

  const std::string target = filePath(dialog.FileName);
  FileWriter file(target, confirmedByDialog(target));
  EmblemHeader.Reserved.fill(0);
  EmblemHeader.Width = ImgWidth;
  EmblemHeader.Height = ImgHeight;
  platform_.messageBoxes->show(QString::number(EmblemHeader.Height), MessageBoxes::kPlain, QString());

  const Picture original = picbmp->picture();
  RestorePreview restore(picbmp, original);
  writeEmblem(file, EmblemHeader, original, [&](int32_t y, std::span<const uint16_t> words) {
    for (size_t x = 0; x < words.size(); ++x) picbmp->setPixel(static_cast<int>(x), y, progressColourOfWord(words[x]));
    picbmp->repaintRows(y, y);
  });
  file.commit();
}

void Form1::saveBitmap() {
  SaveDialog& dialog = dlgspeichern();
  dialog.InitDir = startDirectory();
  dialog.ListsFolder = Dirverzeichnis->path();
  dialog.Filter = text::kBitmapFilter;
  // A name kept from an emblem save is proposed with the bitmap's extension.
  if (!dialog.FileName.isEmpty()) {
    const QFileInfo kept(dialog.FileName);
    dialog.FileName = QDir::toNativeSeparators(QDir(kept.path()).filePath(kept.completeBaseName() + ".bmp"));
  }
  dialog.ShowSave();
  picbmp->setScaleWidth(static_cast<float>(EmblemHeader.Width));
  picbmp->setScaleHeight(static_cast<float>(EmblemHeader.Height));
  const std::string target = filePath(dialog.FileName);
  writeBmp24File(target, confirmedByDialog(target), picbmp->picture());
}

}  // namespace zwp::ui
