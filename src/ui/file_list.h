// The file list: the files of one directory whose names match a pattern
// ("*.bmp", case-insensitive, several patterns separated by ';'), sorted.
// clicked() runs when the user picks a file with the mouse or the keyboard;
// each item's tooltip gives its whole name.
#pragma once

#include <QListWidget>

namespace zwp::ui {

class FileListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit FileListBox(QWidget* parent = nullptr);

  QString path() const { return path_; }
  void setPath(const QString& path);
  QString pattern() const { return pattern_; }
  void setPattern(const QString& pattern);
  // The selected file's name without directory; empty when none is selected.
  QString fileName() const;
  // Selects a listed file by name; false when it is not listed.
  bool selectFile(const QString& name);

  static bool matches(const QString& name, const QString& pattern);

 signals:
  void clicked();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void refresh();
  void pick();

  QString path_;
  QString pattern_;
};

}  // namespace zwp::ui
