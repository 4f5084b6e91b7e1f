#include "ui/file_list.h"

#include <QKeyEvent>
#include <QRegularExpression>

#include "ui/access.h"
#include "ui/file_names.h"

namespace zwp::ui {

namespace {
// Each item keeps the file's real name; its text is the name as shown.
constexpr int kNameRole = Qt::UserRole;
}  // namespace

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
  currentRowOnlyWithFocus(this);
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
  const QList<QListWidgetItem*> chosen = selectedItems();
  return chosen.isEmpty() ? QString() : chosen.first()->data(kNameRole).toString();
}

bool FileListBox::selectFile(const QString& name) {
  for (int i = 0; i < count(); ++i) {
    if (item(i)->data(kNameRole).toString() == name) {
      chooseRow(this, i);
      return true;
    }
  }
  return false;
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
  for (const QString& name : listFolder(path_, EntryKind::File)) {
    if (matches(shownName(name), pattern_)) names << name;
  }
  sortAsShown(names);
  for (const QString& name : names) {
    auto* entry = new QListWidgetItem(shownName(name), this);
    entry->setData(kNameRole, name);
    // Long names that differ only at their end are told apart by the tooltip.
    entry->setToolTip(entry->text());
  }
}

// A file is taken as a click takes it: made the selected one, then loaded.
void FileListBox::pick() {
  QListWidgetItem* item = currentItem();
  if (!item) return;
  item->setSelected(true);
  emit clicked();
}

// Space and Enter load the current file; moving to another file loads it, and
// so does Home, End or a page key that lands on a current file not yet taken
// (the first or only file of a folder).
void FileListBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select) &&
      currentRow() >= 0) {
    pick();
    event->accept();
    return;
  }
  const int before = currentRow();
  const bool taken = currentItem() && currentItem()->isSelected();
  QListWidget::keyPressEvent(event);
  const bool moveKey = key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_PageUp || key == Qt::Key_PageDown ||
                       key == Qt::Key_Up || key == Qt::Key_Down;
  if (currentRow() >= 0 && (currentRow() != before || (moveKey && !taken))) pick();
}

// Entering the list by keyboard takes its current file, as a click would.
void FileListBox::focusInEvent(QFocusEvent* event) {
  QListWidget::focusInEvent(event);
  const Qt::FocusReason reason = event->reason();
  const bool byKeyboard =
      reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
  if (byKeyboard && currentItem() && !currentItem()->isSelected()) pick();
}

}  // namespace zwp::ui
