#include "ui/dir_list.h"

#include <dirent.h>

#include <QDir>
#include <QFileInfo>
#include <QStyle>
#include <cerrno>

#include "core/error.h"
#include "ui/access.h"
#include "ui/file_names.h"
#include "ui/texts.h"

namespace zwp::ui {

namespace {
constexpr int kPathRole = Qt::UserRole;

// Opens and closes the directory to prove it can be listed.
void requireListable(const QString& path) {
  const std::string name = filePath(path);
  DIR* dir = ::opendir(name.c_str());
  if (!dir) {
    const int e = errno;
    if (e == ENOENT || e == ENOTDIR) throw Error(err::PathNotFound, standardDescription(err::PathNotFound) + ": " + name);
    throw fileError(e, name, FileAccess::Read);
  }
  ::closedir(dir);
}
}  // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
  currentRowOnlyWithFocus(this);
  connect(this, &QListWidget::itemActivated, this, &DirListBox::enter);
}

void DirListBox::setPath(const QString& path) {
  const QString clean = absoluteName(path, path_);
  requireListable(clean);
  if (clean == path_) return;
  path_ = clean;
  refresh();
  emit changed();
}

void DirListBox::reload() {
  requireListable(path_);
  refresh();
}

void DirListBox::refresh() {
  clear();
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

  // The chain of folders comes from the path's text alone, so that no folder
  // on it needs to be looked at (or to have a name Qt can open).
  QStringList chain;
  for (QString p = path_;;) {
    chain.prepend(p);
    const QString parent = QFileInfo(p).path();
    if (parent == p) break;
    p = parent;
  }
  int depth = 0;
  for (const QString& p : chain) {
    addFolder(open, depth == 0 ? QDir::toNativeSeparators(p) : QFileInfo(p).fileName(), depth, p);
    ++depth;
  }
  chooseRow(this, count() - 1);

  QStringList subdirs = listFolder(path_, EntryKind::Folder);
  sortAsShown(subdirs);
  for (const QString& s : subdirs) addFolder(closed, s, depth, QDir(path_).absoluteFilePath(s));
}

// A folder shown indented by its depth; a screen reader hears its bare name and its level.
void DirListBox::addFolder(const QIcon& icon, const QString& name, int depth, const QString& path) {
  const QString shown = shownName(name);
  auto* item = new QListWidgetItem(icon, QString(depth * 2, ' ') + shown, this);
  item->setData(kPathRole, path);
  item->setData(Qt::AccessibleTextRole, shown);
  item->setData(Qt::AccessibleDescriptionRole, text::kFolderLevel.arg(depth + 1));
  item->setToolTip(shownName(path));
}

void DirListBox::enter(QListWidgetItem* item) {
  if (!item) return;
  try {
    setPath(item->data(kPathRole).toString());
  } catch (const Error& e) {
    emit enterFailed(QString::fromUtf8(e.what()));
  }
}

}  // namespace zwp::ui
