#include "fakes.h"

#include <QElapsedTimer>

#include "ui/dir_list.h"
#include "ui/file_list.h"

namespace zwp::test {

Harness::Harness(QList<ui::Drive> extraDrives, bool load, std::function<QString(const QString&)> chooser,
                 QString programDirectory, QString settingsFile) {
  QList<ui::Drive> all = {{QStringLiteral("/"), QString()}};
  all += extraDrives;
  ui::Platform p;
  auto d = std::make_unique<FakeDrives>(all);
  auto s = std::make_unique<ScriptedSaveDialog>();
  auto b = std::make_unique<RecordingBoxes>();
  drives = d.get();
  dialog = s.get();
  boxes = b.get();
  p.drives = std::move(d);
  p.saveDialog = std::move(s);
  p.messageBoxes = std::move(b);
  p.programDir = programDirectory.isEmpty() ? programDir() : programDirectory;
  p.settingsFile = std::move(settingsFile);
  if (chooser) p.chooseDirectory = [chooser](QWidget*, const QString& start) { return chooser(start); };
  form = std::make_unique<ui::Form1>(std::move(p));
  if (load) form->Form_Load();
}

bool Harness::click(const std::string& name) {
  form->Fildatei->setPath(form->Dirverzeichnis->path());
  if (!form->Fildatei->selectFile(QString::fromStdString(name))) return false;
  form->Fildatei_Click();
  return true;
}

void Harness::convertTo(std::optional<QString> answer) {
  dialog->answers.push_back(std::move(answer));
  form->cmdconvert_Click();
}

}  // namespace zwp::test

namespace zwp::test {

bool waitUntil(const std::function<bool()>& condition, int milliseconds) {
  QElapsedTimer waited;
  waited.start();
  while (!condition()) {
    if (waited.elapsed() >= milliseconds) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

}  // namespace zwp::test
