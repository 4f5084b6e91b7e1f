// The drive list: a drop-down of the machine's drives. Selecting a drive, by
// the user or from code, runs changed() at once, and only when the selection
// really changes.
#pragma once

#include <QComboBox>

#include "ui/platform.h"

namespace zwp::ui {

class DriveListBox : public QComboBox {
  Q_OBJECT

 public:
  // Starts on the drive that holds the process's working directory.
  DriveListBox(QList<Drive> drives, QWidget* parent = nullptr);

  // Lists these drives instead, on the one that holds path, without running
  // changed(): the drives came or went, the folder shown is the same.
  void setDrives(QList<Drive> drives, const QString& path);

  // The root of the selected drive.
  QString drive() const;
  // The root of the listed drive that holds path, or an empty text.
  QString rootFor(const QString& path) const;
  // Selects the drive holding path (a drive root or any path on it). A path
  // on no known drive changes nothing.
  void setDrive(const QString& path);

  // The index of the listed drive that holds path, or -1.
  int indexFor(const QString& path) const { return driveIndexFor(drives_, path); }
  // The index of the drive with the longest root that path lies under, or -1.
  static int driveIndexFor(const QList<Drive>& drives, const QString& path);

 signals:
  void changed();

 private:
  QList<Drive> drives_;
};

}  // namespace zwp::ui
