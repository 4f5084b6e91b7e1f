// The window program: creates Form1 with the desktop's own dialogs and drives.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "ui/form1.h"
#include "ui/qt_platform.h"
#include "ui/texts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(zwp::ui::text::kApplicationName);
  // The save dialog and the message boxes speak German like the rest of the window.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }
  zwp::ui::Form1 window(zwp::ui::qtPlatform());
  window.Form_Load();
  return QApplication::exec();
}
