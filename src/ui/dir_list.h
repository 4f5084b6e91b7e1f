// The directory list: the current directory's ancestors from the drive root
// down, then its subdirectories. Double-click or Enter on an entry makes it
// the path. Setting the path runs changed() at once when it really changes;
// an entry that cannot be entered says why through enterFailed().
#pragma once

#include <QListWidget>

namespace zwp::ui {

class DirListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit DirListBox(QWidget* parent = nullptr);

  QString path() const { return path_; }
  // Raises zwp::Error (and keeps the old path) when the directory cannot be
  // listed: missing, not a directory, no permission, no medium.
  void setPath(const QString& path);
  // Lists the path again; raises as setPath() when it can no longer be listed.
  void reload();

 signals:
  void changed();
  // An entry the user chose could not be entered, for the reason given.
  void enterFailed(const QString& reason);

 private:
  void refresh();
  void addFolder(const QIcon& icon, const QString& name, int depth, const QString& path);
  void enter(QListWidgetItem* item);

  QString path_;
};

}  // namespace zwp::ui
