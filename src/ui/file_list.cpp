#include "ui/file_list.h"

#include <QCollator>
#include <QDir>
#include <QKeyEvent>
#include <QRegularExpression>

namespace zwp::ui {

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
  connect(this, &QListWidget::itemClicked, this, &FileListBox::clicked);
}

void FileListBox::setPath(const QString& path) {
  path_ = path;
  refresh();
}

void FileListBox::setPattern(const QString& pattern) {
  pattern_ = pattern;
  refresh();
}

QString FileListBox::fileName() const {
  const QListWidgetItem* item = currentItem();
  return item && item->isSelected() ? item->text() : QString();
}

bool FileListBox::selectFile(const QString& name) {
  const auto found = findItems(name, Qt::MatchExactly);
  if (found.isEmpty()) return false;
  setCurrentItem(found.first());
  return true;
}

bool FileListBox::matches(const QString& name, const QString& pattern) {
  for (const QString& one : pattern.split(';', Qt::SkipEmptyParts)) {
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(one.trimmed()),
                                QRegularExpression::CaseInsensitiveOption);
    if (re.match(name).hasMatch()) return true;
  }
  return false;
}

void FileListBox::refresh() {
  clear();
  if (path_.isEmpty()) return;
  QStringList names;
  for (const QString& name : QDir(path_).entryList(QDir::Files)) {
    if (matches(name, pattern_)) names << name;
  }
  QCollator order;
  order.setCaseSensitivity(Qt::CaseInsensitive);
  std::sort(names.begin(), names.end(), order);
  addItems(names);
}

void FileListBox::keyPressEvent(QKeyEvent* event) {
  const int before = currentRow();
  QListWidget::keyPressEvent(event);
  if (currentRow() != before && currentRow() >= 0) emit clicked();
}

}  // namespace zwp::ui
