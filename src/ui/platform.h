// The pieces of the desktop the window relies on, behind small interfaces:
// the list of drives, the save dialog, message boxes and a directory chooser.
// Production uses Qt's (qt_platform.h); tests pass scripted fakes.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace zwp::ui {

// A drive: a drive letter on Windows ("C:/"), a mount point elsewhere ("/", "/media/usb").
struct Drive {
  QString root;
  QString label;
};

class DriveProvider {
 public:
  virtual ~DriveProvider() = default;
  virtual QList<Drive> drives() const = 0;
};

// The common save dialog. Its settings stay from one use to the next;
// ShowSave() raises error 32755 when the user cancels, leaving FileName as it
// was, and otherwise sets FileName to the confirmed full path.
class SaveDialog {
 public:
  virtual ~SaveDialog() = default;
  virtual void ShowSave() = 0;
  // The window the dialog belongs to; it opens over it.
  QWidget* parentWindow = nullptr;

  // 2: ask before replacing an existing file; 4: hide the read-only box.
  static constexpr int kOverwritePrompt = 2;
  static constexpr int kHideReadOnly = 4;

  int Flags = 0;
  QString InitDir;
  QString Filter;  // "description|pattern" pairs separated by "|"
  QString FileName;
  QString DialogTitle;
  // The folder the window's lists show, offered in the dialog's side bar so
  // that it is one click away, also when its name is not UTF-8.
  QString ListsFolder;
};

// Modal message boxes. Styles: 0 OK only, 16 critical, 64 information. An
// empty title means the application's own name.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void show(const QString& text, int style, const QString& title) = 0;
  // A question with the answers "Ja" and "Nein"; true for "Ja".
  virtual bool ask(const QString& text, const QString& title) = 0;
  // The window the boxes belong to; they open over it.
  QWidget* parentWindow = nullptr;

  static constexpr int kPlain = 0;
  static constexpr int kCritical = 16;
  static constexpr int kInformation = 64;
};

struct Platform {
  std::unique_ptr<DriveProvider> drives;
  std::unique_ptr<SaveDialog> saveDialog;
  std::unique_ptr<MessageBoxes> messageBoxes;
  // Asks for a directory over the given window, starting at the given one;
  // empty when cancelled.
  std::function<QString(QWidget* parent, const QString& start)> chooseDirectory;
  // The directory that holds the program.
  QString programDir;
  // Where the one remembered setting (the Zorbel directory) is kept, as an INI
  // file; empty: nothing is remembered.
  QString settingsFile;
};

}  // namespace zwp::ui
