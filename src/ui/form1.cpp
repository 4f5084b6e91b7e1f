#include "ui/form1.h"

#include <QApplication>
#include <cmath>
#include <QFile>
#include <QFontInfo>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSocketNotifier>

#include "core/error.h"
#include "core/version.h"
#include "ui/banner.h"
#include "ui/dir_list.h"
#include "ui/access.h"
#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/file_names.h"
#include "ui/preview_surface.h"
#include "ui/texts.h"

namespace zwp::ui {

namespace {

constexpr int kClientWidth = 404;
constexpr int kClientHeight = 415;

template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

// The dark grey panels with white text.
QFrame* panel(QWidget* parent) {
  auto* f = new QFrame(parent);
  f->setProperty(kReadInVisualOrder, true);
  f->setFrameStyle(QFrame::Box | QFrame::Sunken);
  f->setAutoFillBackground(true);
  QPalette pal = f->palette();
  pal.setColor(QPalette::Window, QColor(64, 64, 64));
  pal.setColor(QPalette::WindowText, Qt::white);
  f->setPalette(pal);
  return f;
}

QLabel* label(const QString& caption, QWidget* parent) {
  auto* l = new QLabel(caption, parent);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, Qt::white);
  l->setPalette(pal);
  return l;
}

}  // namespace

Form1::Form1(Platform platform, QWidget* parent) : QMainWindow(parent), platform_(std::move(platform)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(text::kWindowTitle);
  platform_.saveDialog->DialogTitle = text::kSaveDialogTitle;
  platform_.saveDialog->parentWindow = this;
  platform_.messageBoxes->parentWindow = this;
  setAcceptDrops(true);
  installAccessibility();
  zoom_ = zoomFor(QApplication::font());
  buildControls();
  buildMenus();
  describeControls();
}

// Names, roles and help for screen readers, and a focus that can be seen; the
// captions and geometry stay as they are.
void Form1::describeControls() {
  Dirverzeichnis->setAccessibleName(text::kFoldersName);
  Fildatei->setAccessibleName(text::kFilesName);
  drvlaufwerk->setAccessibleName(text::kDriveName);
  Label1->setBuddy(drvlaufwerk);
  picbmp->setAccessibleName(text::kPreviewName);
  btnformat->setAccessibleDescription(text::kDirectionHelp);
  btnformat->setToolTip(text::kDirectionHelp);
  cmdconvert->setAccessibleDescription(text::kConvertHelp);
  // The direction button lies on the light banner; everything else on the dark panels.
  btnformat->setProperty("zwpFocusOnLight", true);
  new FocusRing(this);
  for (QWidget* list : {static_cast<QWidget*>(drvlaufwerk), static_cast<QWidget*>(Dirverzeichnis),
                        static_cast<QWidget*>(Fildatei)}) {
    keepApartFrom(list, frame1->palette().color(QPalette::Window));
    keepSelectionLegible(list);
  }
}

Form1::~Form1() = default;

void Form1::buildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  // Screen readers read the window as it stands on screen (set before any of it is announced).
  client->setProperty(kReadInVisualOrder, true);
  client->setFixedSize(px(kClientWidth), px(kClientHeight));
  client->setAutoFillBackground(true);
  QPalette black = client->palette();
  black.setColor(QPalette::Window, Qt::black);
  client->setPalette(black);
  // The controls are placed in pixels, so their captions are too: a larger desktop font or dpi
  // would cut them off ("ZWP -> BMI"). The window as a whole grows with the desktop's scale
  // factor, and with a large desktop font by its zoom.
  QFont captions = client->font();
  captions.setPixelSize(px(kCaptionPixels));
  client->setFont(captions);
  setCentralWidget(client);

  btnformat = place(new QPushButton(text::kToEmblem, client), "btnformat", px(8), px(64), px(89), px(29));
  btnformat->setProperty("Tag", QStringLiteral("0"));

  frame1 = place(panel(client), "frame1", px(3), px(104), px(200), px(305));
  Fildatei = place(new FileListBox(frame1), "Fildatei", px(8), px(176), px(185), px(123));
  Fildatei->setPattern(text::kBitmapPattern);
  Dirverzeichnis = place(new DirListBox(frame1), "Dirverzeichnis", px(8), px(43), px(185), px(126));
  drvlaufwerk =
      place(new DriveListBox(platform_.drives->drives(), frame1), "drvlaufwerk", px(8), px(16), px(185), px(21));
  Label1 = place(label(text::kDriveLabel, frame1), "Label1", px(8), px(16), px(177), px(17));
  Label1->stackUnder(drvlaufwerk);

  Picture1 = place(new QFrame(client), "Picture1", px(0), px(0), px(404), px(104));
  Picture1->setProperty(kDecorative, true);  // artwork only: screen readers skip it
  Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Picture1->setLineWidth(2);
  auto* art = new QLabel(Picture1);
  art->setPixmap(QPixmap::fromImage(bannerImage(zoom_)));
  art->setGeometry(px(2), px(2), px(400), px(100));
  btnformat->raise();

  Frame2 = place(panel(client), "Frame2", px(201), px(104), px(200), px(305));
  cmdconvert = place(new QPushButton(text::kConvert, Frame2), "cmdconvert", px(16), px(264), px(169), px(25));
  picbmp = place(new PreviewSurface(Frame2), "picbmp", px(40), px(40), px(115), px(113));
  picbmp->setSurfaceWidth(115);
  picbmp->setSurfaceHeight(113);
  // Buttons stay above pictures, and a large picture stays inside the panel's border.
  picbmp->setClip(Frame2->contentsRect());
  cmdconvert->raise();
  lblhöhe = place(label(text::kHeightInitial, Frame2), "lblhöhe", px(104), px(16), px(89), px(17));
  lblbreite = place(label(text::kWidthInitial, Frame2), "lblbreite", px(8), px(16), px(89), px(17));

  for (QWidget* w : {static_cast<QWidget*>(Picture1), static_cast<QWidget*>(picbmp)}) w->setFocusPolicy(Qt::NoFocus);
  // Enter presses the button with the focus, as Space does (Qt leaves that
  // to buttons in dialogs).
  for (QPushButton* b : {btnformat, cmdconvert}) b->setAutoDefault(true);
  setTabOrder(btnformat, drvlaufwerk);
  setTabOrder(drvlaufwerk, Dirverzeichnis);
  setTabOrder(Dirverzeichnis, Fildatei);
  setTabOrder(Fildatei, cmdconvert);

  connect(drvlaufwerk, &DriveListBox::changed, this, &Form1::drvlaufwerk_Change);
  connect(Dirverzeichnis, &DirListBox::changed, this, &Form1::Dirverzeichnis_Change);
  connect(Dirverzeichnis, &DirListBox::enterFailed, this, [this](const QString& reason) {
    platform_.messageBoxes->show(reason, MessageBoxes::kCritical, text::kErrorTitle);
    showWhatExists();
  });
  watcher_ = new QFileSystemWatcher(this);
  watchDrives();
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &Form1::showWhatExists);
  connect(btnformat, &QPushButton::clicked, this, &Form1::btnformat_Click);
  connect(Fildatei, &FileListBox::clicked, this, &Form1::Fildatei_Click);
  connect(cmdconvert, &QPushButton::clicked, this, &Form1::cmdconvert_Click);
}

void Form1::buildMenus() {
  auto add = [this](const char* menuName, const QString& caption, const char* itemName, const QString& itemCaption,
                    const QKeySequence& shortcut) {
    QMenu* menu = menuBar()->addMenu(caption);
    menu->setObjectName(QString::fromUtf8(menuName));
    QAction* item = menu->addAction(itemCaption);
    item->setObjectName(QString::fromUtf8(itemName));
    item->setShortcut(shortcut);
    return item;
  };
  MnuDateiItem = add("MnuDatei", text::kMenuFile, "MnuDateiItem", text::kMenuQuit, QKeySequence(Qt::CTRL | Qt::Key_Q));
  MnuEinstellungItem = add("MnuEinstellung", text::kMenuSettings, "MnuEinstellungItem", text::kMenuZorbelDir,
                           QKeySequence(Qt::CTRL | Qt::Key_G));
  MnuInfoItem = add("MnuInfo", text::kMenuInfo, "MnuInfoItem", text::kMenuInfoItem, QKeySequence(Qt::CTRL | Qt::Key_I));

  connect(MnuDateiItem, &QAction::triggered, this, &QWidget::close);
  connect(MnuEinstellungItem, &QAction::triggered, this, &Form1::chooseZorbelDirectory);
  connect(MnuInfoItem, &QAction::triggered, this, [this] {
    platform_.messageBoxes->show(text::kInfoText.arg(QString::fromLatin1(kVersion)), MessageBoxes::kInformation,
                                 text::kInfoTitle);
  });
  // The layout is fixed: the window keeps the size of its client area plus the menu bar.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

double Form1::zoomFor(const QFont& desktop) {
  // In pixels, so that a larger font dpi counts as a larger font: 16 pixels are 12 points at 96 dpi.
  const int pixels = QFontInfo(desktop).pixelSize();
  return std::max(1.0, std::floor(pixels / 16.0 * 4) / 4);
}

QString Form1::tag() const { return btnformat->property("Tag").toString(); }

void Form1::setTag(const QString& tag) { btnformat->setProperty("Tag", tag); }

void Form1::Form_Load() {
  show();
  try {
    Dirverzeichnis->setPath(startDirectory());
  } catch (const Error& e) {
    reportError(e);
  }
}

void Form1::Dirverzeichnis_Change() {
  Fildatei->setPath(Dirverzeichnis->path());
  if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
  watcher_->addPath(Dirverzeichnis->path());
  lastFolders_[drvlaufwerk->rootFor(Dirverzeichnis->path())] = Dirverzeichnis->path();
}

void Form1::drvlaufwerk_Change() {
  // A drive the directory list already shows keeps its directory; another drive opens at the folder
  // last shown on it (as each drive keeps its current folder), or at its root.
  const QString root = drvlaufwerk->drive();
  const bool shown = drvlaufwerk->indexFor(Dirverzeichnis->path()) == drvlaufwerk->currentIndex();
  const QString last = lastFolders_.value(root);
  const QString target = shown ? Dirverzeichnis->path() : kindOf(last) == EntryKind::Folder ? last : root;
  try {
    Dirverzeichnis->setPath(target);
  } catch (const Error&) {
    // An unreadable drive falls back silently to the drive the directory list still shows.
    drvlaufwerk->setDrive(Dirverzeichnis->path());
  }
}

void Form1::btnformat_Click() {
  if (tag().toInt() == 0) {
    setTag(QStringLiteral("1"));
    btnformat->setText(text::kToBitmap);
    Fildatei->setPattern(text::kEmblemPattern);
  } else {
    setTag(QStringLiteral("0"));
    btnformat->setText(text::kToEmblem);
    Fildatei->setPattern(text::kBitmapPattern);
  }
  announce(btnformat, btnformat->text());
}

void Form1::chooseZorbelDirectory() {
  if (!platform_.chooseDirectory) return;
  const QString dir = platform_.chooseDirectory(this, Dirverzeichnis->path());
  if (dir.isEmpty()) return;
  try {
    drvlaufwerk->setDrive(dir);
    Dirverzeichnis->setPath(dir);
    if (!platform_.settingsFile.isEmpty()) {
      QSettings(platform_.settingsFile, QSettings::IniFormat).setValue(text::kZorbelDirKey, dir);
    }
  } catch (const Error& e) {
    reportError(e);
  }
}

void Form1::showWhatExists() {
  const QString picked = Fildatei->fileName();
  for (QString path = Dirverzeichnis->path();;) {
    try {
      if (path == Dirverzeichnis->path()) {
        Dirverzeichnis->reload();
        Fildatei->setPath(path);
      } else {
        Dirverzeichnis->setPath(path);  // its change lists the files and watches the folder
        drvlaufwerk->setDrive(path);
      }
      break;
    } catch (const Error&) {
      const QString parent = QFileInfo(path).path();
      if (parent == path) break;
      path = parent;
    }
  }
  if (!picked.isEmpty()) Fildatei->selectFile(picked);
}

// The kernel marks its list of mounts as changed when a file system comes or
// goes; the list is read again each time to see the next change.
void Form1::watchDrives() {
  auto* mounts = new QFile(QStringLiteral("/proc/self/mounts"), this);
  if (!mounts->open(QIODevice::ReadOnly)) return;
  mounts->readAll();
  auto* notifier = new QSocketNotifier(mounts->handle(), QSocketNotifier::Exception, this);
  connect(notifier, &QSocketNotifier::activated, this, [this, mounts] {
    mounts->seek(0);
    mounts->readAll();
    refreshDrives();
  });
}

void Form1::refreshDrives() {
  drvlaufwerk->setDrives(platform_.drives->drives(), Dirverzeichnis->path());
  showWhatExists();
  drvlaufwerk->setDrive(Dirverzeichnis->path());
}

void Form1::reportError(const std::exception& error) {
  platform_.messageBoxes->show(QString::fromUtf8(error.what()), MessageBoxes::kCritical, text::kErrorTitle);
}

}  // namespace zwp::ui
