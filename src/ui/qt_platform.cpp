#include "ui/qt_platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QUrl>
#include <QMessageBox>
#include <QSettings>
#include <QStorageInfo>

#include "core/error.h"
#include "ui/reachable_folder.h"
#include "ui/texts.h"

namespace zwp::ui {

namespace {

class VolumeDrives final : public DriveProvider {
 public:
  QList<Drive> drives() const override {
    QList<Drive> out;
#ifdef Q_OS_WIN
    for (const QFileInfo& root : QDir::drives()) out.push_back({root.absoluteFilePath(), QString()});
#else
    out.push_back({QStringLiteral("/"), QString()});
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
      const QString root = v.rootPath();
      // Leave out the system's own pseudo file systems; keep removable media.
      const bool system = root == "/" || root.startsWith("/proc") || root.startsWith("/sys") ||
                          root.startsWith("/dev") || (root.startsWith("/run") && !root.startsWith("/run/media")) ||
                          root.startsWith("/snap") || root.startsWith("/boot");
      if (!system && v.isValid()) out.push_back({root, v.displayName() == root ? QString() : v.displayName()});
    }
#endif
    return out;
  }
};

class QtSaveDialog final : public SaveDialog {
 public:
  void ShowSave() override {
    const ReachableFolder folder(InitDir), lists(ListsFolder);
    QFileDialog dialog(parentWindow, DialogTitle, folder.shown());
    if (!ListsFolder.isEmpty()) dialog.setSidebarUrls(dialog.sidebarUrls() << QUrl::fromLocalFile(lists.shown()));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!(Flags & kOverwritePrompt)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = nameFiltersOf(Filter);
    dialog.setNameFilters(filters);
    // A name typed without extension gets the filter's, as players expect.
    const QString pattern = Filter.section('|', 1, 1);
    if (pattern.startsWith("*.")) dialog.setDefaultSuffix(pattern.mid(2));
    if (!FileName.isEmpty()) dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) throw Error(err::DialogCancelled);
    FileName = QDir::toNativeSeparators(lists.real(folder.real(dialog.selectedFiles().first())));
  }
};

// With Qt 6.8 Orca reads a message box's text only from its description;
// before, it reads the text itself and would say it twice.
void tellTextAsDescription(QMessageBox& box, const QString& text) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  box.setAccessibleDescription(text);
#else
  (void)box;
  (void)text;
#endif
}

class QtMessageBoxes final : public MessageBoxes {
 public:
  void show(const QString& text, int style, const QString& title) override {
    QMessageBox box(parentWindow);
    box.setWindowTitle(title.isEmpty() ? QCoreApplication::applicationName() : title);
    box.setText(text);
    tellTextAsDescription(box, text);
    box.setIcon(style == kCritical ? QMessageBox::Critical
                : style == kInformation ? QMessageBox::Information
                                        : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
  }
  bool ask(const QString& text, const QString& title) override {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parentWindow);
    tellTextAsDescription(box, text);
    return box.exec() == QMessageBox::Yes;
  }
};

}  // namespace

QStringList nameFiltersOf(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(';', ' ');
    // "Zorbel Wappen(*.zwp)" already names its pattern the way QFileDialog reads it.
    out << (description.endsWith('(' + patterns + ')') ? description : description + " (" + patterns + ')');
  }
  return out;
}

Platform qtPlatform() {
  Platform p;
  p.drives = std::make_unique<VolumeDrives>();
  p.saveDialog = std::make_unique<QtSaveDialog>();
  p.messageBoxes = std::make_unique<QtMessageBoxes>();
  p.chooseDirectory = [](QWidget* parent, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, text::kChooseZorbelDir, start);
  };
  p.programDir = QCoreApplication::applicationDirPath();
  p.settingsFile = QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zwp-konverter"),
                             QStringLiteral("zwp-konverter"))
                       .fileName();
  return p;
}

}  // namespace zwp::ui
