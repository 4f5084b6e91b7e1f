#include "ui/drive_list.h"

#include <QDir>
#include <QSignalBlocker>

namespace zwp::ui {

namespace {
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

bool liesUnder(const QString& path, const QString& root) {
  if (path.compare(root, kPathCase) == 0) return true;
  const QString prefix = root.endsWith('/') ? root : root + '/';
  return path.startsWith(prefix, kPathCase);
}
}  // namespace

DriveListBox::DriveListBox(QList<Drive> drives, QWidget* parent) : QComboBox(parent) {
  setDrives(std::move(drives), QDir::currentPath());
  connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::changed);
}

void DriveListBox::setDrives(QList<Drive> drives, const QString& path) {
  const QSignalBlocker quiet(this);
  clear();
  drives_ = std::move(drives);
  for (const Drive& d : drives_) {
    addItem(d.label.isEmpty() ? QDir::toNativeSeparators(d.root)
                              : QStringLiteral("%1 [%2]").arg(QDir::toNativeSeparators(d.root), d.label));
  }
  const int current = driveIndexFor(drives_, path);
  setCurrentIndex(current >= 0 ? current : 0);
}

QString DriveListBox::rootFor(const QString& path) const {
  const int i = driveIndexFor(drives_, path);
  return i >= 0 ? drives_[i].root : QString();
}

QString DriveListBox::drive() const {
  const int i = currentIndex();
  return i >= 0 && i < drives_.size() ? drives_[i].root : QString();
}

void DriveListBox::setDrive(const QString& path) {
  const int i = driveIndexFor(drives_, QDir::fromNativeSeparators(path));
  if (i >= 0) setCurrentIndex(i);
}

int DriveListBox::driveIndexFor(const QList<Drive>& drives, const QString& path) {
  int best = -1;
  for (int i = 0; i < drives.size(); ++i) {
    if (liesUnder(path, drives[i].root) && (best < 0 || drives[i].root.size() > drives[best].root.size())) best = i;
  }
  return best;
}

}  // namespace zwp::ui
