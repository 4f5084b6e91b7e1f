// The window program: creates Form1 with the desktop's own dialogs and drives.
// --help and --version answer on the terminal before any window (or display)
// is needed; a file named on the command line is opened in the window.
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "core/version.h"
#include "imageio/image_support.h"
#include "ui/banner.h"
#include "ui/file_names.h"
#include "ui/form1.h"
#include "ui/qt_platform.h"
#include "ui/texts.h"

namespace {

constexpr const char* kHelp =
    "Aufruf: zwp-konverter [DATEI]\n"
    "Öffnet das Fenster des ZWP-Konverters; mit DATEI (ein Bild oder ein Zorbel-Wappen)\n"
    "zeigt es gleich diese Datei.\n"
    "\n"
    "  -h, --help      diese Hilfe anzeigen\n"
    "  -v, --version   Versionsnummer anzeigen\n"
    "\n"
    "Viele Dateien auf einmal wandelt zwpconv um (zwpconv --help).\n";

// The program's own options; Qt's (-platform, -style ...) are Qt's business.
struct Arguments {
  bool ok = false;
  bool help = false;
  bool version = false;
  QString file;
};

Arguments parse(const QStringList& arguments) {
  QCommandLineParser parser;
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
  parser.addOptions({help, version});
  Arguments a;
  a.ok = parser.parse(arguments) && parser.positionalArguments().size() <= 1;
  a.help = parser.isSet(help);
  a.version = parser.isSet(version);
  if (!parser.positionalArguments().isEmpty()) a.file = parser.positionalArguments().first();
  return a;
}

// The arguments without Qt's own options (-platform xcb, -stylesheet=a.qss,
// -reverse …), which QApplication takes out itself once it exists.
QStringList withoutQtOptions(const QStringList& arguments) {
  static const QStringList withValue = {
      QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
      QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
      QStringLiteral("qwindowtitle"), QStringLiteral("style"), QStringLiteral("stylesheet"), QStringLiteral("session"),
      QStringLiteral("display"), QStringLiteral("geometry"), QStringLiteral("name"), QStringLiteral("title")};
  static const QStringList alone = {QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                                    QStringLiteral("dograb"), QStringLiteral("sync")};
  QStringList ours;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == QLatin1String("--")) {
      ours += arguments.mid(i);
      break;
    }
    QString name = a.startsWith(QLatin1String("--")) ? a.mid(2) : a.startsWith(QLatin1Char('-')) ? a.mid(1) : QString();
    const bool joined = name.contains(QLatin1Char('='));
    name = name.section(QLatin1Char('='), 0, 0);
    if (i > 0 && withValue.contains(name)) {
      if (!joined) ++i;
    } else if (i == 0 || !alone.contains(name)) {
      ours << a;
    }
  }
  return ours;
}

// Without a display, Qt's platform plugin ends the program with a fatal
// message (and a core dump); the user gets a sentence and exit status 1.
void noDisplay(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) return (void)std::fprintf(stderr, "%s\n", qPrintable(message));
  std::fprintf(stderr, "zwp-konverter: Das Fenster kann nicht geöffnet werden, es gibt keine grafische Anzeige.\n(%s)\n",
               qPrintable(message.section(QLatin1Char('\n'), 0, 0)));
  std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  QStringList raw;
  for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
  // Before the application exists: no display is needed to answer these.
  const Arguments early = parse(withoutQtOptions(raw));
  if (early.help) return std::printf("%s", kHelp) < 0 ? 1 : 0;
  if (early.version) return std::printf("zwp-konverter %s\n", zwp::kVersion) < 0 ? 1 : 0;
  if (!early.ok) {
    std::fprintf(stderr, "zwp-konverter: falscher Aufruf\n%s", kHelp);
    return 2;
  }

  const QtMessageHandler qtOwn = qInstallMessageHandler(noDisplay);
  QApplication app(argc, argv);
  qInstallMessageHandler(qtOwn);
  const zwp::ImageSupport images;
  // Qt has taken its own options out of argv by now; whatever is left must be
  // ours. A file name keeps its bytes even where they are not UTF-8.
  QStringList left;
  for (int i = 0; i < argc; ++i) left << zwp::ui::decodeName(QByteArray(argv[i]));
  const Arguments args = parse(left);
  if (!args.ok) {
    std::fprintf(stderr, "zwp-konverter: falscher Aufruf\n%s", kHelp);
    return 2;
  }
  QApplication::setApplicationName(zwp::ui::text::kApplicationName);
  QApplication::setApplicationVersion(QString::fromLatin1(zwp::kVersion));
  // Docks and task bars match the window to its menu entry and show its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("de.zwp_konverter.ZwpKonverter"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("de.zwp_konverter.ZwpKonverter"),
                                               QIcon(QPixmap::fromImage(zwp::ui::shieldImage()))));
  // The save dialog and the message boxes speak German like the rest of the window.
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTexts);
  }
  zwp::ui::Form1 window(zwp::ui::qtPlatform());
  window.Form_Load();
  if (!args.file.isEmpty()) window.openFile(args.file);
  return QApplication::exec();
}
