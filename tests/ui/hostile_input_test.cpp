// Hostile files handed to the window's load and to zwpconv: each is loaded,
// refused silently, or reported with a German message, and never crashes,
// hangs, changes the preview on failure or leaves a partial output file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLabel>
#include <filesystem>
#include <random>
#include <sstream>

#include "cli/batch.h"
#include "fakes.h"
#include "support/bmp_builder.h"
#include "ui/dir_list.h"
#include "ui/file_list.h"
#include "ui/file_names.h"
#include "ui/preview_surface.h"

namespace zwp {
namespace {

namespace fs = std::filesystem;
using test::BmpBuilder;

enum class Outcome { Loads, Refused, Error };

std::vector<uint8_t> validBmp() {
  BmpBuilder b;
  b.bitCount = 8;
  b.width = 3;
  b.height = 2;
  b.palette = {0xFF0000, 0x00FF00, 0x0000FF};
  b.data = test::paddedRows({{0, 1, 2}, {2, 1, 0}});
  return b.bytes();
}

std::vector<uint8_t> emblemOf(int32_t w, int32_t h, size_t words) {
  std::vector<uint16_t> pattern;
  for (size_t i = 0; i < words; ++i) pattern.push_back(static_cast<uint16_t>(i * 997));
  return test::emblemFile(w, h, pattern);
}

std::vector<uint8_t> bmpWith(const std::function<void(BmpBuilder&)>& change) {
  BmpBuilder b;
  b.bitCount = 8;
  b.width = 3;
  b.height = 2;
  b.palette = {0xFFFFFF, 0x000000};
  b.data = test::paddedRows({{0, 1, 0}, {1, 0, 1}});
  change(b);
  return b.bytes();
}

struct Observed {
  Outcome window;
  int zwpconvStatus;
};

// Clicks the file in the window (replacing what was listed by `spoil`, if
// given) and converts it with zwpconv; checks the invariants on the way.
Observed feed(const std::string& name, bool emblem, const std::function<void(const std::string&)>& make) {
  test::Harness h;
  if (emblem) h.form->btnformat_Click();
  const std::string path = h.file(name);
  test::writeBytes(path, {});
  h.form->Fildatei->setPath(h.programDir());
  EXPECT_TRUE(h.form->Fildatei->selectFile(QString::fromStdString(name))) << name;
  fs::remove(path);
  make(path);  // after listing, as a file may change between listing and click

  const QString widthBefore = h.form->lblbreite->text();
  const Picture previewBefore = h.form->picbmp->picture();
  h.form->Fildatei_Click();
  Outcome window = Outcome::Loads;
  if (!h.boxes->boxes.empty()) {
    window = Outcome::Error;
    EXPECT_EQ(h.boxes->boxes.size(), 1u);
    EXPECT_EQ(h.boxes->boxes[0].title, "Fehler");
  } else if (h.form->lblbreite->text() == widthBefore) {
    window = Outcome::Refused;
  }
  if (window != Outcome::Loads) {
    EXPECT_EQ(h.form->picbmp->picture(), previewBefore) << name;
  }
  EXPECT_TRUE(h.form->picbmp->isVisible());
  EXPECT_EQ(h.form->cursor().shape(), Qt::ArrowCursor);

  fs::create_directory(h.file("out"));
  std::ostringstream out, err;
  const int status = cli::main({"--to", emblem ? "bmp" : "zwp", "-o", h.file("out"), path}, out, err, false);
  const auto written = test::TempDir::entriesOf(h.file("out"));
  EXPECT_EQ(written.size(), status == 0 ? 1u : 0u) << name << ": no partial or temporary files";
  return {window, status};
}

TEST(HostileInput, BitmapHeadersAndStreams) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    Outcome window;
  };
  std::vector<uint8_t> bitsMinus1 = validBmp();
  bitsMinus1[28] = 0xFF;
  bitsMinus1[29] = 0xFF;
  const Case cases[] = {
      {"width 0", bmpWith([](BmpBuilder& b) { b.width = 0; b.data.clear(); }), Outcome::Loads},
      {"height 0", bmpWith([](BmpBuilder& b) { b.height = 0; b.data.clear(); }), Outcome::Loads},
      {"width -3", bmpWith([](BmpBuilder& b) { b.width = -3; }), Outcome::Error},
      {"height -2", bmpWith([](BmpBuilder& b) { b.height = -2; }), Outcome::Loads},
      {"width 32767", bmpWith([](BmpBuilder& b) { b.width = 32767; }), Outcome::Refused},
      {"width 2^31-1", bmpWith([](BmpBuilder& b) { b.width = INT32_MAX; }), Outcome::Refused},
      {"height -2^31", bmpWith([](BmpBuilder& b) { b.height = INT32_MIN; }), Outcome::Refused},
      {"width -2^31", bmpWith([](BmpBuilder& b) { b.width = INT32_MIN; }), Outcome::Error},
      {"0 bits", bmpWith([](BmpBuilder& b) { b.bitCount = 0; }), Outcome::Refused},
      {"2 bits", bmpWith([](BmpBuilder& b) { b.bitCount = 2; }), Outcome::Refused},
      {"32 bits", bmpWith([](BmpBuilder& b) { b.bitCount = 32; }), Outcome::Refused},
      {"-1 bits", bitsMinus1, Outcome::Refused},
      {"RLE past the row", bmpWith([](BmpBuilder& b) { b.compression = 1; b.data = {250, 1, 0, 0, 9, 0, 0, 1}; }),
       Outcome::Loads},
      {"RLE past the image", bmpWith([](BmpBuilder& b) { b.compression = 1; b.data = {0, 2, 200, 200, 3, 1, 0, 1}; }),
       Outcome::Loads},
      {"RLE past the file", bmpWith([](BmpBuilder& b) { b.compression = 1; b.data = {3, 1, 0, 0, 0, 5, 1}; }),
       Outcome::Error},
      {"palette larger than the file holds", bmpWith([](BmpBuilder& b) { b.colorsUsed = 256; }), Outcome::Loads},
      {"palette past the end", bmpWith([](BmpBuilder& b) { b.colorsUsed = 256; b.dataOffsetDelta = 2000; }),
       Outcome::Error},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Observed o = feed("h.bmp", false, [&](const std::string& p) { test::writeBytes(p, c.bytes); });
    EXPECT_EQ(o.window, c.window);
    // A picture without pixels the window shows; zwpconv refuses it.
    const bool empty = std::string(c.what).ends_with(" 0");
    EXPECT_EQ(o.zwpconvStatus, c.window == Outcome::Loads && !empty ? 0 : 1);
  }
}

TEST(HostileInput, EmblemHeaderSizes) {
  struct Case {
    int32_t w, h;
    Outcome window;
  };
  const Case cases[] = {{0, 0, Outcome::Loads},           {0, 7, Outcome::Loads},
                        {-1, 1, Outcome::Refused},        {1, -1, Outcome::Refused},
                        {32767, 1, Outcome::Loads},       {32767, 32767, Outcome::Refused},
                        {INT32_MAX, 1, Outcome::Refused}, {INT32_MIN, INT32_MIN, Outcome::Refused}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    const Observed o = feed("h.zwp", true, [&](const std::string& p) { test::writeBytes(p, emblemOf(c.w, c.h, 3)); });
    EXPECT_EQ(o.window, c.window);
    EXPECT_EQ(o.zwpconvStatus, c.window == Outcome::Loads && c.w > 0 && c.h > 0 ? 0 : 1);
  }
}

TEST(HostileInput, TruncatedAtEveryOffset) {
  const std::vector<uint8_t> bmp = validBmp();
  for (size_t n = 0; n <= bmp.size(); ++n) {
    SCOPED_TRACE("BMP cut to " + std::to_string(n));
    const std::vector<uint8_t> cut(bmp.begin(), bmp.begin() + static_cast<long>(n));
    const Observed o = feed("t.bmp", false, [&](const std::string& p) { test::writeBytes(p, cut); });
    EXPECT_EQ(o.window == Outcome::Loads, n == bmp.size());
  }
  const std::vector<uint8_t> emblem = emblemOf(3, 2, 6);
  for (size_t n = 0; n <= emblem.size(); n += (n < 270 ? 27 : 1)) {
    SCOPED_TRACE("emblem cut to " + std::to_string(n));
    const std::vector<uint8_t> cut(emblem.begin(), emblem.begin() + static_cast<long>(n));
    const Observed o = feed("t.zwp", true, [&](const std::string& p) { test::writeBytes(p, cut); });
    EXPECT_EQ(o.window, Outcome::Loads) << "missing words read as black";
    EXPECT_EQ(o.zwpconvStatus, n < 280 ? 1 : 0) << "a file without its whole header is no emblem to zwpconv";
  }
}

TEST(HostileInput, FilesThatAreNoFiles) {
  struct Case {
    const char* what;
    std::string name;
    std::function<void(const std::string&)> make;
    Outcome window;
  };
  const Case cases[] = {
      {"directory", "d.bmp", [](const std::string& p) { fs::create_directory(p); }, Outcome::Error},
      {"FIFO", "f.bmp", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, Outcome::Error},
      {"dangling symlink", "l.bmp", [](const std::string& p) { fs::create_symlink(p + ".gone", p); }, Outcome::Error},
      {"removed after listing", "r.bmp", [](const std::string&) {}, Outcome::Error},
      {"umlauts in the name", "Wäppchen_öü.bmp", [](const std::string& p) { test::writeBytes(p, validBmp()); },
       Outcome::Loads},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Observed o = feed(c.name, false, c.make);
    EXPECT_EQ(o.window, c.window);
    EXPECT_EQ(o.zwpconvStatus, c.window == Outcome::Loads ? 0 : 1);
  }
}

// Any bytes make a name that gives the same bytes back, including characters
// beyond U+FFFF whose second half looks like an escaped byte (U+1F080).
TEST(HostileInput, NamesKeepEveryByte) {
  std::vector<QByteArray> names = {"K\xf6nig", "\xf0\x9f\x82\x80\xf6", "\xed\xa0\x80", "\xc0\xaf", "\xf4\x90\x80\x80",
                                   "\xe2\x82", "\xef\xbf\xbd"};
  std::mt19937 random(7);
  for (int i = 0; i < 2000; ++i) {
    QByteArray bytes(static_cast<int>(random() % 12), '\0');
    for (char& b : bytes) b = static_cast<char>(random() % 2 ? 0x80 + random() % 0x80 : random() % 0x100);
    names.push_back(bytes);
  }
  for (const QByteArray& bytes : names) {
    const QString name = ui::decodeName(bytes);
    ASSERT_EQ(ui::encodeName(name), bytes) << bytes.toHex().toStdString();
    const QString shown = ui::shownName(name);
    EXPECT_EQ(QString::fromUtf8(shown.toUtf8()), shown) << "no half characters are shown";
  }
}

// Latin-1 names from old Windows disks are not UTF-8: folder and file are
// listed with a replacement character, and open, load and save by their bytes,
// as zwpconv takes them.
TEST(HostileInput, NameThatIsNoValidUtf8) {
  test::Harness h;
  fs::create_directories(h.file("disk/Gr\xfc\xdf"));
  const std::string bitmap = h.file("disk/Gr\xfc\xdf/K\xf6nig.bmp");
  test::writeBytes(bitmap, validBmp());
  const auto latin1 = [](const std::string& path) { return ui::decodeName(QByteArray::fromStdString(path)); };

  h.form->Dirverzeichnis->setPath(h.qfile("disk"));
  const auto folders = h.form->Dirverzeichnis->findItems(QString::fromUtf8("Gr\uFFFD\uFFFD"), Qt::MatchEndsWith);
  ASSERT_EQ(folders.size(), 1);
  emit h.form->Dirverzeichnis->itemActivated(folders.first());
  EXPECT_EQ(h.form->Dirverzeichnis->path(), latin1(h.file("disk/Gr\xfc\xdf")));
  ASSERT_EQ(h.form->Fildatei->count(), 1);
  EXPECT_EQ(h.form->Fildatei->item(0)->text(), QString::fromUtf8("K\uFFFDnig.bmp"));
  h.form->Fildatei->setCurrentRow(0);
  h.form->Fildatei_Click();
  EXPECT_EQ(h.form->picbmp->picture().width(), 3);

  h.convertTo(latin1(h.file("disk/Gr\xfc\xdf/K\xf6nig.zwp")));
  std::ostringstream out, err;
  fs::create_directory(h.file("cli"));
  ASSERT_EQ(cli::main({"-o", h.file("cli"), bitmap}, out, err, false), 0) << err.str();
  EXPECT_EQ(test::readBytes(h.file("disk/Gr\xfc\xdf/K\xf6nig.zwp")), test::readBytes(h.file("cli/K\xf6nig.zwp")));

  // Named on the command line, the emblem opens with its folder and list.
  h.form->openFile(latin1(h.file("disk/Gr\xfc\xdf/K\xf6nig.zwp")));
  EXPECT_EQ(h.form->Fildatei->fileName(), latin1("K\xf6nig.zwp"));
  EXPECT_EQ(h.form->picbmp->picture().width(), 3);
  ASSERT_EQ(h.boxes->boxes.size(), 2u);  // the emblem's height, then the saved notice
}

}  // namespace
}  // namespace zwp
