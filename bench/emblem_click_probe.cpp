// Time from clicking a picture to its first paint on the screen, and the
// process's peak memory, for one of two ways of showing a large picture:
//   emblem_click_probe window FILE.zwp  clicks the emblem in the real window
//   emblem_click_probe label FILE.bmp   QImage::load into a QLabel (the yardstick)
// Both windows have the program's window size. Prints "<ms> <peak KiB> <KiB
// before the click>". bench/emblem_click.sh runs both, interleaved.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <fstream>

#include "ui/file_list.h"
#include "ui/form1.h"
#include "ui/preview_surface.h"
#include "ui/qt_platform.h"

namespace {

// Quits the event loop at the watched widget's first paint after arm().
class PaintWatch : public QObject {
 public:
  void arm(QWidget* widget) {
    widget->installEventFilter(this);
    armed_ = true;
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (armed_ && event->type() == QEvent::Paint) {
      armed_ = false;
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return false;
  }

 private:
  bool armed_ = false;
};

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Lets the window reach the screen before anything is timed.
void settle() {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 50);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s window FILE.zwp | label FILE.bmp\n", argv[0]);
    return 2;
  }
  const QString mode = QString::fromLocal8Bit(argv[1]);
  const QFileInfo file(QString::fromLocal8Bit(argv[2]));
  PaintWatch watch;
  QElapsedTimer timer;
  long before = 0;

  std::unique_ptr<zwp::ui::Form1> form;
  std::unique_ptr<QWidget> window;
  QLabel* label = nullptr;
  if (mode == QLatin1String("window")) {
    zwp::ui::Platform platform = zwp::ui::qtPlatform();
    platform.programDir = file.absolutePath();
    form = std::make_unique<zwp::ui::Form1>(std::move(platform));
    form->Form_Load();
    form->btnformat_Click();  // emblems are listed in the other direction
    settle();
    watch.arm(form->picbmp);
    before = residentKiB();
    timer.start();
    form->Fildatei->selectFile(file.fileName());
    form->Fildatei_Click();
  } else {
    window = std::make_unique<QWidget>();
    window->resize(404, 434);
    label = new QLabel(window.get());
    label->setGeometry(0, 0, 404, 434);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    window->show();
    settle();
    watch.arm(label);
    before = residentKiB();
    timer.start();
    QImage image;
    if (!image.load(file.absoluteFilePath())) return 1;
    label->setPixmap(QPixmap::fromImage(std::move(image)));
  }
  QApplication::exec();
  const qint64 ms = timer.elapsed();
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("%lld %ld %ld\n", static_cast<long long>(ms), usage.ru_maxrss, before);
  return 0;
}
