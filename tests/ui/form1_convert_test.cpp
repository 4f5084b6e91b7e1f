#include <gtest/gtest.h>

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>
#include <QPaintEvent>
#include <filesystem>

#include "bitmap/bmp_reader.h"
#include "codec/emblem_file.h"
#include "fakes.h"
#include "support/bmp_builder.h"
#include "ui/file_list.h"
#include "ui/preview_surface.h"

namespace zwp {
namespace {

using test::BmpBuilder;
using test::Harness;
using Box = test::RecordingBoxes::Box;

// A 24-bit BMP of w x h pixels; pixel (x, y) has red x, green y, blue 7.
std::vector<uint8_t> bmp24(int32_t w, int32_t h) {
  BmpBuilder b;
  b.width = w;
  b.height = h;
  const int32_t rows = h < 0 ? -h : h;
  std::vector<std::vector<uint8_t>> data;
  for (int32_t r = 0; r < rows; ++r) {
    const int32_t y = h < 0 ? r : rows - 1 - r;
    std::vector<uint8_t> row;
    for (int32_t x = 0; x < w; ++x) row.insert(row.end(), {7, static_cast<uint8_t>(y), static_cast<uint8_t>(x)});
    data.push_back(row);
  }
  b.data = test::paddedRows(data);
  return b.bytes();
}

int32_t patternAt(int x, int y) { return colourOf(x, y, 7); }

struct Shown {
  QString width, height;
  Picture preview;
  int32_t imgWidth, imgHeight;
  bool operator==(const Shown&) const = default;
};

Shown shown(const Harness& h) {
  return {h.form->lblbreite->text(), h.form->lblhöhe->text(), h.form->picbmp->picture(), h.form->state().imgWidth,
          h.form->state().imgHeight};
}

TEST(FileClick, LoadsABitmapWithItsSizeIntoThePreview) {
  Harness h;
  test::writeBytes(h.file("a.bmp"), bmp24(5, 3));
  ASSERT_TRUE(h.click("a.bmp"));
  EXPECT_EQ(h.form->lblbreite->text(), "breite:5");
  EXPECT_EQ(h.form->lblhöhe->text(), "Höhe:3");
  EXPECT_EQ(h.form->state().imgWidth, 5);
  EXPECT_EQ(h.form->state().imgHeight, 3);
  EXPECT_EQ(h.form->state().header.Width, 5);
  EXPECT_EQ(h.form->state().header.Height, 3);
  EXPECT_EQ(h.form->picbmp->geometry(), QRect(10, 40, 5, 3));
  EXPECT_EQ(h.form->picbmp->pixel(4, 2), patternAt(4, 2));
  EXPECT_EQ(h.form->cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(h.boxes->boxes.empty());
}

TEST(FileClick, UnusableBitmapsAreRefusedSilentlyLeavingEverything) {
  Harness h;
  test::writeBytes(h.file("good.bmp"), bmp24(4, 4));
  ASSERT_TRUE(h.click("good.bmp"));
  const Shown before = shown(h);

  auto bits32 = bmp24(1, 1);
  bits32[28] = 32;
  auto lower = bmp24(1, 1);
  lower[0] = 'b';
  lower[1] = 'm';
  const std::pair<const char*, std::vector<uint8_t>> refused[] = {
      {"not_bm.bmp", {'P', 'K', 3, 4}}, {"lower.bmp", lower},         {"bits32.bmp", bits32},
      {"wide.bmp", bmp24(129, 1)},      {"high.bmp", bmp24(1, 129)},  {"topdown200.bmp", bmp24(1, -200)},
      {"empty.bmp", {}},
  };
  for (const auto& [name, bytes] : refused) {
    test::writeBytes(h.file(name), bytes);
    ASSERT_TRUE(h.click(name)) << name;
    EXPECT_EQ(shown(h), before) << name;
    EXPECT_EQ(h.form->cursor().shape(), Qt::ArrowCursor) << name;
  }
  EXPECT_TRUE(h.boxes->boxes.empty());
}

TEST(FileClick, LargestBitmapAndTopDownRowsAreAccepted) {
  Harness h;
  test::writeBytes(h.file("max.bmp"), bmp24(128, 128));
  ASSERT_TRUE(h.click("max.bmp"));
  EXPECT_EQ(h.form->lblbreite->text(), "breite:128");
  EXPECT_EQ(h.form->picbmp->pixel(127, 127), patternAt(127, 127));

  test::writeBytes(h.file("down.bmp"), bmp24(3, -64));
  ASSERT_TRUE(h.click("down.bmp"));
  EXPECT_EQ(h.form->lblhöhe->text(), "Höhe:64");
  EXPECT_EQ(h.form->state().imgHeight, 64);
  EXPECT_EQ(h.form->state().header.Height, 64);
  EXPECT_EQ(h.form->picbmp->pixel(1, 0), patternAt(1, 0));
  EXPECT_EQ(h.form->picbmp->pixel(2, 63), patternAt(2, 63));

  // The full 64 rows reach the emblem.
  h.convertTo(h.qfile("down.zwp"));
  const auto e = readEmblemFile(h.file("down.zwp"));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->header.Height, 64);
  EXPECT_EQ(test::readBytes(h.file("down.zwp")).size(), 280u + 2 * 3 * 64);
}

TEST(FileClick, EveryBitmapKindShowsExactlyItsPixels) {
  Harness h;
  int loaded = 0;
  for (const test::Fixture& f : test::fixtures()) {
    std::filesystem::copy_file(test::fixturePath(f.bmp), h.file(f.bmp));
    ASSERT_TRUE(h.click(f.bmp)) << f.bmp;
    const test::PpmPicture want = test::readPpm(test::fixturePath(f.expected));
    if (f.headerSize == 12) {
      // OS/2 1.x headers keep their size elsewhere: the probe refuses them silently.
      EXPECT_NE(h.form->state().imgWidth, want.width) << f.bmp;
      EXPECT_TRUE(h.boxes->boxes.empty()) << f.bmp;
      continue;
    }
    EXPECT_EQ(h.form->state().imgWidth, want.width) << f.bmp;
    EXPECT_EQ(test::pixelsOf(h.form->picbmp->picture()), want.pixels) << f.bmp;
    ++loaded;
  }
  EXPECT_GE(loaded, 14);
}

TEST(FileClick, HandMadeKindsTheEncodersCannotWrite) {
  Harness h;
  BmpBuilder rle4;
  rle4.bitCount = 4;
  rle4.compression = 2;
  rle4.width = 5;
  rle4.palette = {0x000000, 0xFF0000, 0x00FF00};
  rle4.data = {3, 0x12, 0, 3, 0x21, 0x20, 0, 1};  // 1 2 1, then absolute 2 1 (2 clipped)
  BmpBuilder rgb555;
  rgb555.bitCount = 16;
  rgb555.width = 2;
  rgb555.data = test::paddedRows({{0xFF, 0x7F, 0x00, 0x7C}});
  const int32_t R = colourOf(255, 0, 0), G = colourOf(0, 255, 0);
  const std::pair<BmpBuilder, std::vector<int32_t>> cases[] = {
      {rle4, {R, G, R, G, R}},
      {rgb555, {colourOf(255, 255, 255), colourOf(255, 0, 0)}},
  };
  for (const auto& [bmp, pixels] : cases) {
    test::writeBytes(h.file("hand.bmp"), bmp.bytes());
    ASSERT_TRUE(h.click("hand.bmp"));
    EXPECT_EQ(test::pixelsOf(h.form->picbmp->picture()), pixels);
  }
}

TEST(FileClick, ToggleKeepsPictureLabelsAndSizes) {
  Harness h;
  test::writeBytes(h.file("a.bmp"), bmp24(6, 2));
  ASSERT_TRUE(h.click("a.bmp"));
  const Shown before = shown(h);
  h.form->btnformat_Click();
  EXPECT_EQ(shown(h), before);
  h.form->btnformat_Click();
  EXPECT_EQ(shown(h), before);
}

TEST(FileClick, EmblemsLoadInFileOrderWithoutSizeLimit) {
  Harness h;
  h.form->btnformat_Click();
  test::writeBytes(h.file("three.zwp"), test::emblemFile(3, 2, {1, 2, 3, 0xF800, 5, 6}));
  ASSERT_TRUE(h.click("three.zwp"));
  EXPECT_EQ(h.form->lblbreite->text(), "breite:3");
  EXPECT_EQ(h.form->picbmp->pixel(0, 1), colourOf(255, 0, 0)) << "fourth word is (0, 1)";
  EXPECT_EQ(h.form->picbmp->pixel(1, 0), UnpackPixel(2));
  EXPECT_TRUE(h.form->picbmp->isVisible());

  test::writeBytes(h.file("big.zwp"), test::emblemFile(200, 3, std::vector<uint16_t>(600, 0xFFFF)));
  ASSERT_TRUE(h.click("big.zwp"));
  EXPECT_EQ(h.form->picbmp->size(), QSize(200, 3));
  EXPECT_EQ(h.form->picbmp->pixel(199, 2), colourOf(255, 255, 255));

  test::writeBytes(h.file("none.zwp"), test::emblemFile(0, 5, {}));
  ASSERT_TRUE(h.click("none.zwp"));
  EXPECT_EQ(h.form->lblbreite->text(), "breite:0");
  EXPECT_EQ(h.form->picbmp->picture().pixels().size(), 0u);
}

TEST(FileClick, HostileEmblemHeaderIsRefusedSilently) {
  Harness h;
  h.form->btnformat_Click();
  test::writeBytes(h.file("ok.zwp"), test::emblemFile(1, 1, {0x1234}));
  ASSERT_TRUE(h.click("ok.zwp"));
  const Shown before = shown(h);
  const zwp::EmblemHeader header = h.form->state().header;
  for (const auto& [w, h2] : {std::pair{-1, 5}, {5, -1}, {INT32_MIN, 1}, {100000, 100000}}) {
    test::writeBytes(h.file("bad.zwp"), test::emblemFile(w, h2, {}));
    ASSERT_TRUE(h.click("bad.zwp"));
    EXPECT_EQ(shown(h), before);
    EXPECT_EQ(h.form->state().header.Width, header.Width);
  }
  EXPECT_TRUE(h.boxes->boxes.empty());
}

TEST(FileClick, UnreadableFilesShowAnErrorAndKeepThePreviousPicture) {
  Harness h;
  test::writeBytes(h.file("good.bmp"), bmp24(2, 2));
  ASSERT_TRUE(h.click("good.bmp"));
  const Shown before = shown(h);

  struct Case {
    const char* name;
    std::function<void(const std::string&)> spoil;
    const char* says;
  };
  auto truncated = bmp24(4, 4);
  truncated.resize(truncated.size() - 5);
  const Case cases[] = {
      {"gone.bmp", [](const std::string& p) { std::filesystem::remove(p); }, "Datei nicht gefunden"},
      {"dir.bmp", [](const std::string& p) { std::filesystem::remove(p); std::filesystem::create_directory(p); },
       "Verzeichnis"},
      {"cut.bmp", [&](const std::string& p) { test::writeBytes(p, truncated); }, "Ungültiges Bild"},
  };
  for (const Case& c : cases) {
    test::writeBytes(h.file(c.name), bmp24(1, 1));
    h.form->Fildatei->setPath(h.programDir());
    ASSERT_TRUE(h.form->Fildatei->selectFile(c.name));
    c.spoil(h.file(c.name));
    h.boxes->boxes.clear();
    h.form->Fildatei_Click();
    ASSERT_EQ(h.boxes->boxes.size(), 1u) << c.name;
    EXPECT_EQ(h.boxes->boxes[0].title, "Fehler");
    EXPECT_EQ(h.boxes->boxes[0].style, 16);
    EXPECT_TRUE(h.boxes->boxes[0].text.contains(c.says)) << h.boxes->boxes[0].text.toStdString();
    EXPECT_EQ(shown(h), before) << c.name;
    EXPECT_TRUE(h.form->picbmp->isVisible());
    EXPECT_EQ(h.form->cursor().shape(), Qt::ArrowCursor);
  }
}

TEST(Convert, EmblemSaveAsksTheDialogShowsHeightThenSuccess) {
  Harness h;
  test::writeBytes(h.file("a.bmp"), bmp24(2, 1));
  ASSERT_TRUE(h.click("a.bmp"));
  h.dialog->FileName = "left over";
  bool targetExistedDuringHeightBox = true;
  std::vector<Qt::CursorShape> pointerDuringBoxes;
  h.boxes->onShow = [&](const Box& box) {
    if (box.text == "1") targetExistedDuringHeightBox = std::filesystem::exists(h.file("a.zwp"));
    pointerDuringBoxes.push_back(h.form->cursor().shape());
  };
  h.convertTo(h.qfile("a.zwp"));
  ASSERT_EQ(h.dialog->shown.size(), 1u);
  EXPECT_EQ(h.dialog->shown[0].flags, 6);
  EXPECT_EQ(h.dialog->shown[0].filter, "Zorbel Wappen(*.zwp)|*.zwp");
  EXPECT_EQ(h.dialog->shown[0].fileName, "");
  EXPECT_EQ(h.dialog->shown[0].initDir, h.programDir());
  EXPECT_EQ(h.dialog->shown[0].title, "Bild speichern");
  EXPECT_EQ(h.dialog->parentWindow, h.form.get()) << "the dialog and the boxes open over the window";
  EXPECT_EQ(h.boxes->parentWindow, h.form.get());
  EXPECT_EQ(h.boxes->boxes, (std::vector<Box>{{"1", 0, ""}, {"Speichern erfolgreich", 64, "Speichern"}}));
  EXPECT_FALSE(targetExistedDuringHeightBox) << "the file appears only when complete";
  EXPECT_EQ(pointerDuringBoxes, (std::vector<Qt::CursorShape>{Qt::WaitCursor, Qt::WaitCursor}));
  const auto bytes = test::readBytes(h.file("a.zwp"));
  ASSERT_EQ(bytes.size(), 284u);
  EXPECT_EQ(h.form->state().header.Width, 2);
  EXPECT_EQ(h.form->cursor().shape(), Qt::ArrowCursor);
}

TEST(Convert, SinglePixelWordsAreExact) {
  struct Case {
    uint8_t r, g, b, lo, hi;
  };
  const Case cases[] = {{255, 255, 255, 0xFF, 0xFF}, {255, 0, 0, 0x00, 0xF8}, {0, 255, 0, 0xE0, 0x07},
                        {0, 0, 255, 0x1F, 0x00}};
  Harness h;
  for (const Case& c : cases) {
    BmpBuilder b;
    b.data = test::paddedRows({{c.b, c.g, c.r}});
    test::writeBytes(h.file("p.bmp"), b.bytes());
    ASSERT_TRUE(h.click("p.bmp"));
    h.convertTo(h.qfile("p.zwp"));
    const auto bytes = test::readBytes(h.file("p.zwp"));
    ASSERT_EQ(bytes.size(), 282u);
    EXPECT_EQ(bytes[280], c.lo);
    EXPECT_EQ(bytes[281], c.hi);
  }
}

// Watches the preview's paints during a conversion and what they showed.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(ui::PreviewSurface* p) : preview(p) { p->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++paints;
      firstPixelDuringPaint = preview->pixel(0, 0);
    }
    return false;
  }
  ui::PreviewSurface* preview;
  int paints = 0;
  int32_t firstPixelDuringPaint = 0;
};

TEST(Convert, ProgressIsPaintedRowByRowThenThePictureComesBack) {
  Harness h;
  BmpBuilder b;
  b.width = 1;
  b.height = 3;
  b.data = test::paddedRows({{255, 255, 255}, {255, 255, 255}, {255, 255, 255}});
  test::writeBytes(h.file("w.bmp"), b.bytes());
  ASSERT_TRUE(h.click("w.bmp"));
  const Picture before = h.form->picbmp->picture();
  // Let the window be mapped and exposed, as on a desktop, before watching it paint.
  ASSERT_TRUE(test::waitUntil([&] { return h.form->windowHandle() && h.form->windowHandle()->isExposed(); }, 10000))
      << "the window was not exposed within 10 s";
  PaintWatch watch(h.form->picbmp);
  h.convertTo(h.qfile("w.zwp"));
  EXPECT_GE(watch.paints, 3) << "at least one repaint per row";
  EXPECT_EQ(watch.firstPixelDuringPaint, colourOf(31, 0, 0)) << "white turns dark red while converting";
  EXPECT_EQ(h.form->picbmp->picture(), before);

  // Saving again, or as a bitmap after toggling, uses the picture, not the progress colours.
  const auto first = test::readBytes(h.file("w.zwp"));
  h.convertTo(h.qfile("w2.zwp"));
  EXPECT_EQ(test::readBytes(h.file("w2.zwp")), first);
  h.form->btnformat_Click();
  h.convertTo(h.qfile("w.bmp"));
  EXPECT_EQ(loadBmpFile(h.file("w.bmp")), before);
}

TEST(Convert, DialogProposesTheLastNameForBitmapSavesAsABitmap) {
  Harness h;
  h.convertTo(h.qfile("e.zwp"));
  h.form->btnformat_Click();
  h.convertTo(std::nullopt);
  ASSERT_EQ(h.dialog->shown.size(), 2u);
  EXPECT_EQ(h.dialog->shown[1].filter, "Bitmap(*.bmp)|*.bmp");
  EXPECT_EQ(h.dialog->shown[1].fileName, h.qfile("e.bmp")) << "the kept name, with the extension being saved";

  h.form->btnformat_Click();
  h.convertTo(std::nullopt);
  EXPECT_EQ(h.dialog->FileName, "") << "a cancelled emblem save leaves the name cleared";
}

TEST(Convert, CancelWritesNothingAndSaysNothing) {
  Harness h;
  test::writeBytes(h.file("keep.zwp"), {1, 2, 3});
  for (const bool toBitmap : {false, true}) {
    if (toBitmap) h.form->btnformat_Click();
    h.boxes->boxes.clear();
    h.convertTo(std::nullopt);
    EXPECT_TRUE(h.boxes->boxes.empty());
    EXPECT_EQ(h.form->cursor().shape(), Qt::ArrowCursor);
  }
  EXPECT_EQ(h.dir.entries(), std::vector<std::string>{"keep.zwp"});
  EXPECT_EQ(test::readBytes(h.file("keep.zwp")), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(Convert, EmptyPreviewGivesAHeaderOnlyEmblem) {
  Harness h;
  h.convertTo(h.qfile("empty.zwp"));
  EXPECT_EQ(h.boxes->boxes, (std::vector<Box>{{"0", 0, ""}, {"Speichern erfolgreich", 64, "Speichern"}}));
  EXPECT_EQ(test::readBytes(h.file("empty.zwp")), std::vector<uint8_t>(280, 0));
}

TEST(Convert, EmblemToBitmapRoundTripsThroughOurLoader) {
  Harness h;
  h.form->btnformat_Click();
  std::vector<uint16_t> words;
  for (uint16_t i = 0; i < 15; ++i) words.push_back(static_cast<uint16_t>(i * 4321));
  test::writeBytes(h.file("e.zwp"), test::emblemFile(5, 3, words));
  ASSERT_TRUE(h.click("e.zwp"));
  h.convertTo(h.qfile("e.bmp"));
  EXPECT_EQ(h.boxes->boxes, (std::vector<Box>{{"Speichern erfolgreich", 64, "Speichern"}}));
  const Picture saved = loadBmpFile(h.file("e.bmp"));
  EXPECT_EQ(saved, h.form->picbmp->picture());
  EXPECT_EQ(saved.at(1, 0), UnpackPixel(4321));
  EXPECT_EQ(h.form->picbmp->scaleWidth(), 5.0f);
  EXPECT_EQ(h.form->picbmp->scaleHeight(), 3.0f);

  // ... and the bitmap converts back to the very same emblem.
  h.form->btnformat_Click();
  ASSERT_TRUE(h.click("e.bmp"));
  h.convertTo(h.qfile("again.zwp"));
  EXPECT_EQ(test::readBytes(h.file("again.zwp")), test::readBytes(h.file("e.zwp")));
}

TEST(Convert, BitmapToEmblemAndBackKeepsTheSnappedPixels) {
  Harness h;
  std::filesystem::copy_file(test::fixturePath("im_24bit.bmp"), h.file("in.bmp"));
  ASSERT_TRUE(h.click("in.bmp"));
  const Picture original = h.form->picbmp->picture();
  h.convertTo(h.qfile("mid.zwp"));
  h.form->btnformat_Click();
  ASSERT_TRUE(h.click("mid.zwp"));
  h.convertTo(h.qfile("out.bmp"));
  const Picture back = loadBmpFile(h.file("out.bmp"));
  ASSERT_EQ(back.width(), original.width());
  for (size_t i = 0; i < original.pixels().size(); ++i) {
    const SnappedPixel s = snapPixel(original.pixels()[i]);
    ASSERT_EQ(back.pixels()[i], colourOf(s.red, s.green, s.blue)) << i;
  }
}

TEST(Convert, FailedSavesReportErrorKeepOldFilesAndLeaveNoTrace) {
  Harness h;
  test::writeBytes(h.file("a.bmp"), bmp24(2, 2));
  ASSERT_TRUE(h.click("a.bmp"));
  std::filesystem::create_directory(h.file("adir.zwp"));
  for (int direction = 0; direction < 2; ++direction) {
    for (const std::string target : {"missing/x.zwp", "adir.zwp", "a.bmp/x.zwp"}) {
      h.boxes->boxes.clear();
      h.convertTo(h.qfile(target));
      ASSERT_FALSE(h.boxes->boxes.empty()) << target;
      EXPECT_EQ(h.boxes->boxes.back().title, "Fehler") << target;
      EXPECT_EQ(h.boxes->boxes.back().style, 16);
      EXPECT_EQ(h.form->cursor().shape(), Qt::ArrowCursor);
    }
    h.form->btnformat_Click();
  }
  EXPECT_EQ(h.dir.entries(), (std::vector<std::string>{"a.bmp", "adir.zwp"}));
  EXPECT_EQ(loadBmpFile(h.file("a.bmp")).width(), 2);
  // The next save to a good place works.
  h.boxes->boxes.clear();
  h.convertTo(h.qfile("ok.zwp"));
  EXPECT_EQ(h.boxes->boxes.back().text, "Speichern erfolgreich");
}

}  // namespace
}  // namespace zwp

namespace zwp {
namespace {

// An emblem larger than the panel is clipped to it: Konvert stays above it
// and takes clicks, and the panel keeps its border.
TEST(Convert, ALargeEmblemLeavesKonvertReachable) {
  test::Harness h;
  h.form->btnformat_Click();
  test::writeBytes(h.file("big.zwp"), test::emblemFile(300, 300, {}));
  ASSERT_TRUE(h.click("big.zwp"));
  ASSERT_EQ(h.form->picbmp->picture().width(), 300);
  QWidget* client = h.form->centralWidget();
  const QPoint konvert = h.form->cmdconvert->mapTo(client, h.form->cmdconvert->rect().center());
  EXPECT_EQ(client->childAt(konvert), h.form->cmdconvert);
  const QPoint border = h.form->Frame2->mapTo(client, QPoint(h.form->Frame2->width() - 1, 200));
  EXPECT_EQ(client->childAt(border), h.form->Frame2) << "the panel's border is not painted over";

  h.dialog->answers.push_back(std::nullopt);
  const QPointF at = h.form->cmdconvert->rect().center();
  const QPointF global = h.form->cmdconvert->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(client->childAt(konvert), &press);
  QApplication::sendEvent(client->childAt(konvert), &release);
  EXPECT_EQ(h.dialog->shown.size(), 1u) << "a click on Konvert opens the save dialog";
  EXPECT_EQ(h.form->picbmp->picture().width(), 300) << "the whole picture is kept";
}

}  // namespace
}  // namespace zwp
