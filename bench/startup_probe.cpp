// Starts the window exactly as the program does and quits right after its
// first paint has reached the screen; bench/startup.sh times whole runs.
#include <QApplication>
#include <QTimer>

#include "ui/form1.h"
#include "ui/qt_platform.h"
#include "ui/texts.h"

namespace {
class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return false;
  }

 private:
  bool seen_ = false;
};
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(zwp::ui::text::kApplicationName);
  FirstPaint watch;
  app.installEventFilter(&watch);
  zwp::ui::Form1 window(zwp::ui::qtPlatform());
  window.Form_Load();
  return QApplication::exec();
}
