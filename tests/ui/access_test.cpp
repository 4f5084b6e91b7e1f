// The window by keyboard alone and as a screen reader sees it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include "fakes.h"
#include "support/bmp_builder.h"
#include "ui/access.h"
#include "ui/dir_list.h"
#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/preview_surface.h"

namespace zwp {
namespace {

using test::Harness;

// A key pressed and let go on a control, as the keyboard sends it.
void press(QWidget* control, Qt::Key key) {
  const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
  QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(control, &down);
  QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(control, &up);
}

// A folder with one picture: entering the file list by keyboard loads it, and
// Konvert by keyboard saves it; Space and Enter load the current file again.
TEST(Keyboard, TheOnlyFileOfAFolderIsOpenedAndConvertedWithoutAMouse) {
  Harness h;
  test::writeBytes(h.file("only.bmp"), test::plainBmp(6, 4));
  h.form->Fildatei->setPath(h.programDir());
  QFocusEvent tabbedIn(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(h.form->Fildatei, &tabbedIn);
  EXPECT_EQ(h.form->state().imgWidth, 6);
  EXPECT_EQ(h.form->Fildatei->fileName(), "only.bmp");
  for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
    h.form->picbmp->setPicture(Picture());
    press(h.form->Fildatei, key);
    EXPECT_EQ(h.form->picbmp->picture().width(), 6) << key;
  }
  h.dialog->answers.push_back(h.qfile("only.zwp"));
  press(h.form->cmdconvert, Qt::Key_Space);
  ASSERT_FALSE(h.boxes->boxes.empty());
  EXPECT_EQ(h.boxes->boxes.back().text, "Speichern erfolgreich");
}

// Down then Up on the drive box comes back to the folder the user was in.
TEST(Keyboard, EachDriveKeepsItsLastFolder) {
  test::TempDir usb;
  Harness h(QList<ui::Drive>{{QString::fromStdString(usb.path().string()), "USB"}});
  const QString folder = h.form->Dirverzeichnis->path();
  h.form->drvlaufwerk->setCurrentIndex(1);
  EXPECT_NE(h.form->Dirverzeichnis->path(), folder);
  h.form->drvlaufwerk->setCurrentIndex(0);
  EXPECT_EQ(h.form->Dirverzeichnis->path(), folder);
}

TEST(ScreenReader, EveryControlHasANameAndARole) {
  Harness h;
  test::writeBytes(h.file("b.bmp"), test::plainBmp(64, 48));
  ASSERT_TRUE(h.click("b.bmp"));
  const struct {
    QWidget* control;
    QAccessible::Role role;
    QString name;
  } cases[] = {{h.form->Dirverzeichnis, QAccessible::List, "Verzeichnisse"},
               {h.form->Fildatei, QAccessible::List, "Dateien"},
               {h.form->drvlaufwerk, QAccessible::ComboBox, "Laufwerk"},
               {h.form->picbmp, QAccessible::Graphic, "Vorschau, 64 × 48 Pixel"},
               {h.form->btnformat, QAccessible::Button, "BMP -> ZWP"},
               {h.form->cmdconvert, QAccessible::Button, "Konvert"}};
  for (const auto& c : cases) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c.control);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), c.role) << c.name.toStdString();
    EXPECT_EQ(a->text(QAccessible::Name), c.name);
  }
  EXPECT_FALSE(QAccessible::queryAccessibleInterface(h.form->btnformat)->text(QAccessible::Description).isEmpty());
  // Folders are heard by their bare name, not the spaces that indent them.
  const QListWidgetItem* folder = h.form->Dirverzeichnis->item(1);
  EXPECT_FALSE(folder->data(Qt::AccessibleTextRole).toString().startsWith(' '));
  EXPECT_EQ(folder->data(Qt::AccessibleDescriptionRole).toString(), "Ebene 2");
}

// In the default, a dark and a high-contrast palette, a list's selected row
// keeps 4.5:1 between its text and its ground, with the focus or without.
TEST(Contrast, SelectedRowsAreLegibleInEveryPalette) {
  const QPalette before = QApplication::palette();
  struct Colours {
    QColor highlight, highlightedText;
  };
  for (const Colours c : {Colours{before.color(QPalette::Highlight), before.color(QPalette::HighlightedText)},
                          Colours{QColor(42, 130, 218), Qt::white}, Colours{QColor(255, 255, 0), Qt::black},
                          Colours{QColor(140, 140, 140), Qt::white}}) {
    QPalette palette = before;
    palette.setColor(QPalette::Highlight, c.highlight);
    palette.setColor(QPalette::HighlightedText, c.highlightedText);
    QApplication::setPalette(palette);
    Harness h;
    for (const QWidget* list : {static_cast<QWidget*>(h.form->Dirverzeichnis), static_cast<QWidget*>(h.form->Fildatei)}) {
      for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        EXPECT_GE(ui::contrastOf(list->palette().color(group, QPalette::Highlight),
                                 list->palette().color(group, QPalette::HighlightedText)),
                  4.5)
            << c.highlight.name().toStdString();
      }
    }
  }
  QApplication::setPalette(before);
}

// The focus ring keeps 3:1 from what surrounds the control and stands apart
// from the control itself: a black button in a high-contrast palette no
// longer hides a black ring.
TEST(Contrast, TheFocusRingStandsOutFromTheControlAndItsSurroundings) {
  const QColor banner(150, 200, 242), panel(64, 64, 64);
  const struct {
    QColor around, control, ring;
  } cases[] = {{banner, QColor(239, 239, 239), Qt::black}, {panel, Qt::white, Qt::white},
               {panel, QColor(239, 239, 239), Qt::white}, {banner, Qt::black, QColor(0, 100, 220)},
               {panel, Qt::black, Qt::white}};
  for (const auto& c : cases) {
    const QColor ring = ui::ringColourFor(c.around, c.control);
    EXPECT_EQ(ring, c.ring) << c.control.name().toStdString();
    EXPECT_GE(ui::contrastOf(ring, c.around), 3.0);
  }
}

// Under a dark theme the lists keep at least 3:1 to the dark grey panels.
TEST(DarkTheme, ListsStayApartFromThePanels) {
  const QPalette before = QApplication::palette();
  QPalette dark = before;
  for (const auto role : {QPalette::Base, QPalette::Button, QPalette::Window}) dark.setColor(role, QColor(61, 61, 61));
  QApplication::setPalette(dark);
  {
    Harness h;
    const QColor panel = h.form->frame1->palette().color(QPalette::Window);
    EXPECT_GE(ui::contrastOf(h.form->Fildatei->palette().color(QPalette::Base), panel), 3.0);
    EXPECT_GE(ui::contrastOf(h.form->drvlaufwerk->palette().color(QPalette::Button), panel), 3.0);
  }
  QApplication::setPalette(before);
}

// With the desktop's fonts at 1.5 times their size, every caption of the
// pixel-placed form still fits its control, and the window, grown by the
// scale factor, fits a laptop's screen at 1.5 and a desktop's at 2.
TEST(LargeFonts, CaptionsStayWholeAndTheWindowFitsTheScreen) {
  const QFont before = QApplication::font();
  QFont large = before;
  large.setPointSizeF(before.pointSizeF() * 1.5);
  QApplication::setFont(large);
  {
    Harness h;
    test::writeBytes(h.file("b.bmp"), test::plainBmp(128, 128));
    ASSERT_TRUE(h.click("b.bmp"));
    const QWidget* captioned[] = {h.form->btnformat, h.form->cmdconvert, h.form->Label1, h.form->lblbreite,
                                  h.form->lblhöhe};
    for (const QWidget* w : captioned) {
      const QString text = w->property("text").toString();
      EXPECT_LE(w->fontMetrics().horizontalAdvance(text), w->contentsRect().width() - 4) << text.toStdString();
    }
    const QSize window = h.form->frameGeometry().size();
    const struct { double scale; QSize screen; } screens[] = {{1.5, {1366, 768}}, {2.0, {1920, 1080}}};
    for (const auto& s : screens) {
      EXPECT_LE(window.width() * s.scale, s.screen.width());
      EXPECT_LE(window.height() * s.scale + 60, s.screen.height()) << "title bar and panel included";
    }
  }
  QApplication::setFont(before);
}

// With a large desktop font the window grows with it, so that every caption
// and all three menus stay whole; at the usual sizes it keeps its own.
TEST(LargeFonts, TheWindowGrowsWithTheDesktopFont) {
  const struct {
    double points, zoom;
  } sizes[] = {{9, 1}, {12, 1}, {15, 1.25}, {20, 1.5}, {32, 2.5}};
  const QFont before = QApplication::font();
  for (const auto& s : sizes) {
    QFont font = before;
    font.setPointSizeF(s.points);
    EXPECT_EQ(ui::Form1::zoomFor(font), s.zoom) << s.points;
    if (s.points < 20) continue;
    QApplication::setFont(font);
    Harness h;
    EXPECT_EQ(h.form->centralWidget()->width(), qRound(404 * s.zoom)) << s.points;
    for (const QPushButton* b : {h.form->btnformat, h.form->cmdconvert}) {
      EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()), b->contentsRect().width() - 4) << s.points;
    }
    QMenuBar* menus = h.form->menuBar();
    h.form->layout()->activate();
    for (QAction* menu : menus->actions()) {
      const QRect place = menus->actionGeometry(menu);
      EXPECT_TRUE(!place.isEmpty() && place.right() < menus->width()) << menu->text().toStdString() << " at " << s.points;
    }
  }
  QApplication::setFont(before);
}

}  // namespace
}  // namespace zwp
