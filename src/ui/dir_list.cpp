#include "ui/dir_list.h"

#include <dirent.h>

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QStyle>
#include <cerrno>

#include "core/error.h"
#include "ui/texts.h"

namespace zwp::ui {

namespace {
constexpr int kPathRole = Qt::UserRole;

// Opens and closes the directory to prove it can be listed.
void requireListable(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  DIR* dir = ::opendir(native.constData());
  if (!dir) {
    const int e = errno;
    const std::string name = path.toStdString();
    if (e == ENOENT || e == ENOTDIR) throw Error(err::PathNotFound, standardDescription(err::PathNotFound) + ": " + name);
    throw fileError(e, name, FileAccess::Read);
  }
  ::closedir(dir);
}
}  // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
  connect(this, &QListWidget::itemActivated, this, &DirListBox::enter);
}

void DirListBox::setPath(const QString& path) {
  const QString clean = QDir::cleanPath(QDir(path_.isEmpty() ? QDir::currentPath() : path_).absoluteFilePath(
      QDir::fromNativeSeparators(path)));
  requireListable(clean);
  if (clean == path_) return;
  path_ = clean;
  refresh();
  emit changed();
}

void DirListBox::refresh() {
  clear();
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

  QStringList chain;
  for (QDir d(path_);; ) {
    chain.prepend(d.absolutePath());
    if (d.isRoot() || !d.cdUp()) break;
  }
  int depth = 0;
  for (const QString& p : chain) {
    addFolder(open, depth == 0 ? QDir::toNativeSeparators(p) : QDir(p).dirName(), depth, p);
    ++depth;
  }
  setCurrentRow(count() - 1);

  QStringList subdirs = QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  QCollator order;
  order.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(subdirs.begin(), subdirs.end(), order);
  for (const QString& s : subdirs) addFolder(closed, s, depth, QDir(path_).absoluteFilePath(s));
}

// A folder shown indented by its depth; a screen reader hears its bare name and its level.
void DirListBox::addFolder(const QIcon& icon, const QString& name, int depth, const QString& path) {
  auto* item = new QListWidgetItem(icon, QString(depth * 2, ' ') + name, this);
  item->setData(kPathRole, path);
  item->setData(Qt::AccessibleTextRole, name);
  item->setData(Qt::AccessibleDescriptionRole, text::kFolderLevel.arg(depth + 1));
  item->setToolTip(path);
}

void DirListBox::enter(QListWidgetItem* item) {
  if (!item) return;
  try {
    setPath(item->data(kPathRole).toString());
  } catch (const Error&) {
    // A directory that cannot be opened is simply not entered.
    QApplication::beep();
  }
}

}  // namespace zwp::ui
