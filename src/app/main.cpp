// The window program: creates Form1 with the desktop's own dialogs and drives.
#include <QApplication>

#include "ui/form1.h"
#include "ui/qt_platform.h"
#include "ui/texts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(zwp::ui::text::kApplicationName);
  zwp::ui::Form1 window(zwp::ui::qtPlatform());
  window.Form_Load();
  return QApplication::exec();
}
