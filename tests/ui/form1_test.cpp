#include "ui/form1.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <cmath>
#include <filesystem>

#include "fakes.h"
#include "support/scratch_mount.h"
#include "ui/dir_list.h"
#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/file_names.h"
#include "ui/preview_surface.h"
#include "ui/qt_platform.h"
#include "ui/reachable_folder.h"
#include "ui/texts.h"

namespace zwp {
namespace {

using test::Harness;

QStringList listed(const ui::FileListBox* list) {
  QStringList names;
  for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
  return names;
}

void touch(const std::string& path) { test::writeBytes(path, {'B', 'M'}); }

TEST(Form1Layout, EveryControlSitsWhereTheDesignPutsIt) {
  Harness h;
  struct Place {
    const char* name;
    const char* parent;
    QRect geometry;
  };
  const Place places[] = {
      {"btnformat", "client", {8, 64, 89, 29}},         {"frame1", "client", {3, 104, 200, 305}},
      {"Fildatei", "frame1", {8, 176, 185, 123}},       {"Dirverzeichnis", "frame1", {8, 43, 185, 126}},
      {"drvlaufwerk", "frame1", {8, 16, 185, 21}},      {"Label1", "frame1", {8, 16, 177, 17}},
      {"Picture1", "client", {0, 0, 404, 104}},         {"Frame2", "client", {201, 104, 200, 305}},
      {"cmdconvert", "Frame2", {16, 264, 169, 25}},     {"picbmp", "Frame2", {40, 40, 115, 113}},
      {"lblhöhe", "Frame2", {104, 16, 89, 17}},         {"lblbreite", "Frame2", {8, 16, 89, 17}},
  };
  for (const Place& p : places) {
    auto* w = h.form->findChild<QWidget*>(QString::fromUtf8(p.name));
    ASSERT_NE(w, nullptr) << p.name;
    EXPECT_EQ(w->geometry(), p.geometry) << p.name;
    EXPECT_EQ(w->parentWidget()->objectName(), QString::fromUtf8(p.parent)) << p.name;
  }
  EXPECT_EQ(h.form->centralWidget()->size(), QSize(404, 415));
  EXPECT_EQ(h.form->windowTitle(), "Form1");
  EXPECT_EQ(h.form->findChild<QLabel*>("Label1")->text(), "Laufwerk:");
  EXPECT_EQ(h.form->lblbreite->text(), "Breite:");
  EXPECT_EQ(h.form->lblhöhe->text(), "Höhe:");
  EXPECT_EQ(h.form->cmdconvert->text(), "Konvert");
  EXPECT_EQ(h.form->dlgspeichern().DialogTitle, "Bild speichern");
}

TEST(Form1Layout, StackingAndTabOrder) {
  Harness h;
  const auto siblings = h.form->centralWidget()->children();
  EXPECT_GT(siblings.indexOf(h.form->btnformat), siblings.indexOf(h.form->Picture1)) << "toggle drawn over the banner";
  const auto inFrame = h.form->frame1->children();
  EXPECT_GT(inFrame.indexOf(h.form->drvlaufwerk), inFrame.indexOf(h.form->Label1)) << "drive list covers its label";

  QWidget* w = h.form->btnformat;
  QStringList chain;
  for (int i = 0; i < 5; ++i, w = w->nextInFocusChain()) {
    while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    chain << w->objectName();
  }
  EXPECT_EQ(chain, (QStringList{"btnformat", "drvlaufwerk", "Dirverzeichnis", "Fildatei", "cmdconvert"}));
}

TEST(Form1Menus, CaptionsShortcutsAndOrder) {
  Harness h;
  QStringList menus;
  for (QAction* a : h.form->menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus, (QStringList{"&Datei", "&Einstellung", "&Info"}));
  EXPECT_EQ(h.form->MnuDateiItem->text(), "&Ende");
  EXPECT_EQ(h.form->MnuDateiItem->shortcut(), QKeySequence("Ctrl+Q"));
  EXPECT_EQ(h.form->MnuEinstellungItem->text(), "&Zorbel-Verzeichnis");
  EXPECT_EQ(h.form->MnuEinstellungItem->shortcut(), QKeySequence("Ctrl+G"));
  EXPECT_EQ(h.form->MnuInfoItem->text(), "&Info");
  EXPECT_EQ(h.form->MnuInfoItem->shortcut(), QKeySequence("Ctrl+I"));

  h.form->MnuInfoItem->trigger();
  ASSERT_EQ(h.boxes->boxes.size(), 1u);
  EXPECT_TRUE(h.boxes->boxes[0].text.contains("Zorbel-Wappen"));
  EXPECT_EQ(h.boxes->boxes[0].style, 64);

  EXPECT_TRUE(h.form->isVisible());
  h.form->MnuDateiItem->trigger();
  EXPECT_FALSE(h.form->isVisible());
}

TEST(Form1Menus, ZorbelDirectoryPointsTheListsThere) {
  test::TempDir other;
  touch(other.file("wappen.bmp"));
  const QString target = QString::fromStdString(other.path().string());
  QString askedFrom;
  Harness h({}, true, [&](const QString& start) {
    askedFrom = start;
    return target;
  });
  h.form->MnuEinstellungItem->trigger();
  EXPECT_EQ(askedFrom, h.programDir());
  EXPECT_EQ(h.form->Dirverzeichnis->path(), target);
  EXPECT_EQ(listed(h.form->Fildatei), QStringList{"wappen.bmp"});
}

TEST(Form1StartUp, ListsTheProgramDirectoryWithTheBitmapPattern) {
  Harness h({}, false);
  for (const char* name : {"b.bmp", "WAPPEN.BMP", "a.Bmp", "x.zwp", "notes.txt"}) touch(h.file(name));
  std::filesystem::create_directory(h.file("sub.bmp"));
  h.form->Form_Load();
  EXPECT_TRUE(h.form->isVisible());
  EXPECT_EQ(h.form->btnformat->text(), "BMP -> ZWP");
  EXPECT_EQ(h.form->tag(), "0");
  EXPECT_EQ(h.form->Dirverzeichnis->path(), h.programDir());
  EXPECT_EQ(h.form->Fildatei->path(), h.programDir());
  EXPECT_EQ(h.form->Fildatei->pattern(), "*.bmp");
  EXPECT_EQ(listed(h.form->Fildatei), (QStringList{"a.Bmp", "b.bmp", "WAPPEN.BMP"}));
}

TEST(Form1Toggle, SwitchesTagCaptionAndPatternAndBack) {
  Harness h;
  touch(h.file("a.bmp"));
  touch(h.file("b.ZWP"));
  h.form->Fildatei->setPath(h.programDir());
  h.form->btnformat->click();
  EXPECT_EQ(h.form->tag(), "1");
  EXPECT_EQ(h.form->btnformat->text(), "ZWP -> BMP");
  EXPECT_EQ(listed(h.form->Fildatei), QStringList{"b.ZWP"});
  h.form->btnformat->click();
  EXPECT_EQ(h.form->tag(), "0");
  EXPECT_EQ(h.form->btnformat->text(), "BMP -> ZWP");
  EXPECT_EQ(listed(h.form->Fildatei), QStringList{"a.bmp"});
  EXPECT_EQ(h.form->Fildatei->path(), h.programDir());
}

TEST(Form1Drives, UnreadableDriveFallsBackSilently) {
  Harness h(QList<ui::Drive>{{"/nonexistent-zwp-medium", "CD"}});
  const QString before = h.form->Dirverzeichnis->path();
  const int startDrive = h.form->drvlaufwerk->currentIndex();
  h.form->drvlaufwerk->setCurrentIndex(1);  // as if the user picked the empty drive
  EXPECT_EQ(h.form->drvlaufwerk->currentIndex(), startDrive);
  EXPECT_EQ(h.form->Dirverzeichnis->path(), before);
  EXPECT_EQ(h.form->Fildatei->path(), before);
  EXPECT_TRUE(h.boxes->boxes.empty());
}

TEST(Form1Drives, ReadableDriveOpensAtItsRootAndSameDriveChangesNothing) {
  test::TempDir mount;
  const QString root = QString::fromStdString(mount.path().string());
  Harness h(QList<ui::Drive>{{root, "USB"}});
  int changes = 0;
  QObject::connect(h.form->Dirverzeichnis, &ui::DirListBox::changed, [&] { ++changes; });
  h.form->drvlaufwerk->setCurrentIndex(h.form->drvlaufwerk->currentIndex());
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(h.form->Dirverzeichnis->path(), h.programDir());

  h.form->drvlaufwerk->setCurrentIndex(1);
  EXPECT_EQ(h.form->Dirverzeichnis->path(), root);
  EXPECT_EQ(h.form->Fildatei->path(), root);
  EXPECT_EQ(changes, 1);
}

// A folder that cannot be entered says why; a folder that goes away under
// the lists (a stick pulled out) gives way to the nearest one that exists.
TEST(Form1Browsing, FailuresAreSaidAndTheListsShowWhatExists) {
  Harness h;
  std::filesystem::create_directories(h.file("gone"));
  std::filesystem::create_directories(h.file("stick/pictures"));
  touch(h.file("stick/pictures/a.bmp"));
  h.form->Dirverzeichnis->reload();
  const QString gone = h.qfile("gone");
  std::filesystem::remove(h.file("gone"));
  for (int i = 0; i < h.form->Dirverzeichnis->count(); ++i) {
    if (h.form->Dirverzeichnis->item(i)->text().trimmed() == "gone") {
      emit h.form->Dirverzeichnis->itemActivated(h.form->Dirverzeichnis->item(i));
      break;
    }
  }
  ASSERT_EQ(h.boxes->boxes.size(), 1u);
  EXPECT_TRUE(h.boxes->boxes[0].text.contains(gone)) << h.boxes->boxes[0].text.toStdString();
  EXPECT_EQ(h.boxes->boxes[0].title, ui::text::kErrorTitle);
  EXPECT_EQ(h.form->Dirverzeichnis->findItems("gone", Qt::MatchEndsWith).size(), 0) << "listed again";

  h.form->Dirverzeichnis->setPath(h.qfile("stick/pictures"));
  EXPECT_EQ(listed(h.form->Fildatei), QStringList{"a.bmp"});
  std::filesystem::remove_all(h.file("stick"));
  EXPECT_TRUE(test::waitUntil([&] { return h.form->Dirverzeichnis->path() == h.programDir(); }, 5000));
  EXPECT_EQ(h.form->Fildatei->path(), h.programDir());
  EXPECT_EQ(h.boxes->boxes.size(), 1u) << "a folder gone by itself needs no message";
}

// A drive that goes (a stick pulled out) leaves the drive list once the
// system's mounts change, and the lists move to a folder that exists.
TEST(Form1Drives, DrivesThatComeAndGoAreListedAgain) {
  auto usb = std::make_unique<test::TempDir>();
  const QString root = QString::fromStdString(usb->path().string());
  Harness h(QList<ui::Drive>{{root, "USB"}});
  h.form->drvlaufwerk->setCurrentIndex(1);
  ASSERT_EQ(h.form->Dirverzeichnis->path(), root);
  h.drives->set({{"/", ""}});
  usb.reset();
  test::ScratchMount change(h.file("mounted"), 0, "size=64k");
  if (!change.mounted()) GTEST_SKIP() << "changing the mounts needs root";
  EXPECT_TRUE(test::waitUntil([&] { return h.form->drvlaufwerk->count() == 1; }, 5000));
  EXPECT_TRUE(QFileInfo(h.form->Dirverzeichnis->path()).isDir());
  EXPECT_EQ(h.form->drvlaufwerk->drive(), "/");
}

// The save dialog reaches a folder whose name is not UTF-8 through a
// readable link, and the path chosen there names the folder by its bytes.
TEST(SaveDialogFilter, FoldersWhoseNamesAreNotUtf8AreReached) {
  test::TempDir dir;
  const std::string latin = dir.file("Ordner_M\xfcll");
  std::filesystem::create_directory(latin);
  const QString folder = ui::decodeName(QByteArray::fromStdString(latin));
  const ui::ReachableFolder reached(folder);
  EXPECT_EQ(ui::shownName(reached.shown()), reached.shown()) << "every byte UTF-8";
  EXPECT_TRUE(QFileInfo(reached.shown()).isDir());
  EXPECT_EQ(ui::filePath(reached.real(reached.shown() + "/neu.zwp")), latin + "/neu.zwp");
  const QString plain = QString::fromStdString(dir.path().string());
  EXPECT_EQ(ui::ReachableFolder(plain).shown(), plain);
}

TEST(DriveList, PathsBelongToTheDriveWithTheLongestRoot) {
  const QList<ui::Drive> drives = {{"/", ""}, {"/media/usb", ""}, {"/media/usb2", ""}};
  EXPECT_EQ(ui::DriveListBox::driveIndexFor(drives, "/media/usb/x"), 1);
  EXPECT_EQ(ui::DriveListBox::driveIndexFor(drives, "/media/usb2"), 2);
  EXPECT_EQ(ui::DriveListBox::driveIndexFor(drives, "/media/usbx"), 0);
  EXPECT_EQ(ui::DriveListBox::driveIndexFor(drives, "/home"), 0);
  EXPECT_EQ(ui::DriveListBox::driveIndexFor({{"/media/usb", ""}}, "/home"), -1);
}

TEST(DirList, ShowsAncestorsAndSubdirectoriesAndRefusesUnlistable) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.file("b/inner"));
  std::filesystem::create_directory(dir.file("A"));
  test::writeBytes(dir.file("file"), {1});
  ui::DirListBox list;
  const QString base = QString::fromStdString(dir.path().string());
  list.setPath(base);
  QStringList entries;
  for (int i = 0; i < list.count(); ++i) entries << list.item(i)->text().trimmed();
  EXPECT_EQ(entries.first(), "/");
  EXPECT_EQ(entries.mid(entries.size() - 3), (QStringList{QDir(base).dirName(), "A", "b"}));

  for (const std::string bad : {"missing", "file"}) {
    EXPECT_THROW(list.setPath(QString::fromStdString(dir.file(bad))), Error) << bad;
    EXPECT_EQ(list.path(), base);
  }
  emit list.itemActivated(list.item(list.count() - 1));
  EXPECT_EQ(list.path(), base + "/b");
}

TEST(FileList, PatternsMatchCaseInsensitively) {
  struct Case {
    const char* name;
    const char* pattern;
    bool match;
  };
  const Case cases[] = {{"WAPPEN.BMP", "*.bmp", true}, {"w.bmp.zwp", "*.bmp", false}, {"x.zwp", "*.zwp", true},
                        {"x.zwp", "*.bmp;*.zwp", true}, {"bmp", "*.bmp", false},     {"ü.Zwp", "*.zwp", true}};
  for (const Case& c : cases) EXPECT_EQ(ui::FileListBox::matches(c.name, c.pattern), c.match) << c.name;
}

TEST(SaveDialogFilter, PairsBecomeNameFilters) {
  EXPECT_EQ(ui::nameFiltersOf("Zorbel Wappen(*.zwp)|*.zwp"), QStringList{"Zorbel Wappen(*.zwp)"});
  EXPECT_EQ(ui::nameFiltersOf("Bitmap(*.bmp)|*.bmp"), QStringList{"Bitmap(*.bmp)"});
  EXPECT_EQ(ui::nameFiltersOf("Bilder|*.bmp;*.zwp|Alle|*"), (QStringList{"Bilder (*.bmp *.zwp)", "Alle (*)"}));
}

TEST(PreviewSurface, KeepsPixelsWhileHiddenAndAnswersMinusOneOutside) {
  ui::PreviewSurface p;
  p.setSurfaceWidth(3);
  p.setSurfaceHeight(2);
  p.hide();
  p.setPixel(2, 1, colourOf(10, 20, 30));
  p.show();
  EXPECT_EQ(p.pixel(2, 1), colourOf(10, 20, 30));
  EXPECT_EQ(p.size(), QSize(3, 2));
  for (const QPoint outside : {QPoint(3, 0), QPoint(0, 2), QPoint(-1, 0), QPoint(0, -1)}) {
    EXPECT_EQ(p.pixel(outside.x(), outside.y()), -1);
  }
  p.setSurfaceWidth(5);
  EXPECT_EQ(p.pixel(2, 1), colourOf(10, 20, 30)) << "growing keeps what was drawn";
  p.setScaleWidth(77);
  EXPECT_EQ(p.size(), QSize(5, 2));
  EXPECT_EQ(p.picture().at(2, 1), colourOf(10, 20, 30));
}

// At every scale factor a small picture after a larger one shows only itself,
// each of its pixels the same whole number of device pixels, on the panel's
// ground: nothing of the earlier picture stays in the surface's box.
TEST(PreviewSurface, PaintsAllOfItsBoxAtEveryScaleFactor) {
  const QColor ground(0xF0, 0xF0, 0xF0);
  QImage picture(33, 21, QImage::Format_RGB32);
  picture.fill(Qt::green);
  for (const qreal ratio : {1.0, 1.25, 1.5, 1.75, 2.0}) {
    const int whole = ratio < 2 ? 1 : 2;
    QImage screen(static_cast<int>(std::ceil(33 * ratio)), static_cast<int>(std::ceil(21 * ratio)), QImage::Format_RGB32);
    screen.fill(Qt::red);  // what the earlier, larger picture left
    screen.setDevicePixelRatio(ratio);
    {
      QPainter painter(&screen);
      ui::paintPicture(painter, picture, QRect(0, 0, 33, 21), ratio, ground);
    }
    int wrong = 0;
    for (int y = 0; y < static_cast<int>(21 * ratio); ++y) {
      for (int x = 0; x < static_cast<int>(33 * ratio); ++x) {
        const QColor want = x < 33 * whole && y < 21 * whole ? QColor(Qt::green) : ground;
        wrong += screen.pixelColor(x, y) != want;
      }
    }
    EXPECT_EQ(wrong, 0) << "scale factor " << ratio;
  }
}

}  // namespace
}  // namespace zwp
