// Scripted stand-ins for the desktop pieces the window uses, and a harness
// that builds a Form1 on a private program directory.
#pragma once

#include <QApplication>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "core/error.h"
#include "support/test_files.h"
#include "ui/form1.h"
#include "ui/platform.h"

namespace zwp::test {

class FakeDrives final : public ui::DriveProvider {
 public:
  explicit FakeDrives(QList<ui::Drive> list) : list_(std::move(list)) {}
  QList<ui::Drive> drives() const override { return list_; }
  void set(QList<ui::Drive> list) { list_ = std::move(list); }

 private:
  QList<ui::Drive> list_;
};

// Answers each ShowSave() with the next scripted path, or cancels when the
// script holds no value (or is empty). Records the settings of every showing.
class ScriptedSaveDialog final : public ui::SaveDialog {
 public:
  struct Shown {
    int flags;
    QString initDir, filter, fileName, title;
  };
  void ShowSave() override {
    shown.push_back({Flags, InitDir, Filter, FileName, DialogTitle});
    std::optional<QString> answer;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    if (!answer) throw Error(err::DialogCancelled);
    FileName = *answer;
  }
  std::deque<std::optional<QString>> answers;
  std::vector<Shown> shown;
};

class RecordingBoxes final : public ui::MessageBoxes {
 public:
  struct Box {
    QString text;
    int style;
    QString title;
    bool operator==(const Box&) const = default;
  };
  void show(const QString& text, int style, const QString& title) override {
    boxes.push_back({text, style, title});
    if (onShow) onShow(boxes.back());
  }
  // Records the question as a box of style 32 and gives the scripted answer.
  bool ask(const QString& text, const QString& title) override {
    boxes.push_back({text, 32, title});
    return answerYes;
  }
  bool answerYes = true;
  std::vector<Box> boxes;
  std::function<void(const Box&)> onShow;
};

struct Harness {
  TempDir dir;
  FakeDrives* drives = nullptr;
  ScriptedSaveDialog* dialog = nullptr;
  RecordingBoxes* boxes = nullptr;
  std::unique_ptr<ui::Form1> form;

  // Extra drives besides "/"; the program directory is dir.path(). With load
  // the window has started; the chooser answers the Zorbel-Verzeichnis menu.
  explicit Harness(QList<ui::Drive> extraDrives = {}, bool load = true,
                   std::function<QString(const QString&)> chooser = {}, QString programDirectory = {},
                   QString settingsFile = {});
  QString programDir() const { return QString::fromStdString(dir.path().string()); }
  std::string file(const std::string& name) const { return dir.file(name); }
  QString qfile(const std::string& name) const { return QString::fromStdString(dir.file(name)); }

  // Lists the program directory again and clicks the named file.
  bool click(const std::string& name);
  // Answers the next save dialog with a path (or cancel) and presses Konvert.
  void convertTo(std::optional<QString> answer);
};

// Runs the event loop until condition holds or milliseconds have passed;
// answers whether it held.
bool waitUntil(const std::function<bool()>& condition, int milliseconds);

}  // namespace zwp::test
