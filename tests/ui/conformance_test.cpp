// One table of input files, each read through every door of the program:
// zwpconv, zwpconv --info, the window's open, and for emblems the Qt plugin
// and the thumbnailer. Every door must give the same picture or the same
// refusal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QImageReader>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "convert/pipeline.h"
#include "fakes.h"
#include "support/bmp_builder.h"
#include "support/zwpconv_run.h"
#include "ui/preview_surface.h"

namespace zwp {
namespace {

namespace fs = std::filesystem;

// What a door made of a file: a picture, or the German text of its refusal.
struct Seen {
  std::optional<Picture> picture;
  std::string refusal;
};

std::string art(const std::string& name) { return std::string(ZWP_ART_DIR) + "/" + name; }
std::string suite(const std::string& name) { return std::string(ZWP_PNGSUITE_DIR) + "/" + name; }

// The text after "path: " on zwpconv's error output.
std::string refusalIn(const std::string& err, const std::string& path) {
  const size_t at = err.find(path + ": ");
  if (at == std::string::npos) return "?" + err;
  const size_t from = at + path.size() + 2;
  return err.substr(from, err.find('\n', from) - from);
}

Picture readBack(const std::string& path, bool emblem) {
  ReadOptions options;
  options.target = Target::Bmp;
  return readPicture({test::readBytes(path), path, emblem}, options);
}

// zwpconv's result, as the picture its output holds.
Seen byZwpconv(const std::string& input, const test::TempDir& out, bool emblem) {
  const test::ZwpconvRun run = test::zwpconv({"-f", "-o", out.path().string(), input});
  if (run.status != 0) return {std::nullopt, refusalIn(run.err, input)};
  const std::string result = out.file(fs::path(input).stem().string() + (emblem ? ".bmp" : ".zwp"));
  return {readBack(result, !emblem), ""};
}

// The window's preview after opening the file, as the emblem a save would write holds it.
Seen byWindow(const std::string& input, bool emblem) {
  test::Harness h;
  h.form->openFile(QString::fromStdString(input));
  if (!h.boxes->boxes.empty()) {
    const std::string text = h.boxes->boxes[0].text.toStdString();
    for (const char* mark : {"Ungültiges Bild", "Datei nicht"}) {
      if (text.find(mark) != std::string::npos) return {std::nullopt, text.substr(text.find(mark))};
    }
    return {std::nullopt, "?" + text};
  }
  const Picture shown = h.form->picbmp->picture();
  return {emblem ? shown : emblemOf(encodePicture(shown, Target::Emblem)).picture, ""};
}

Seen byPlugin(const std::string& input) {
  QImageReader reader(QString::fromStdString(input));
  QImage image;
  if (!reader.read(&image)) return {std::nullopt, "Qt: " + reader.errorString().toStdString()};
  Picture p(image.width(), image.height());
  for (int32_t y = 0; y < p.height(); ++y) {
    for (int32_t x = 0; x < p.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      p.set(x, y, colourOf(qRed(c), qGreen(c), qBlue(c)));
    }
  }
  return {p, ""};
}

// As tumbler calls it: the output file exists, and the caller reads it through
// the descriptor it holds.
Seen byThumbnailer(const std::string& input, const test::TempDir& out, int32_t side) {
  const std::string png = out.file("thumb.png");
  const int held = ::open(png.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  const std::string command = std::string(ZWP_THUMBNAILER) + " " + std::to_string(side) + " '" + input + "' '" + png + "' 2>/dev/null";
  const bool done = std::system(command.c_str()) == 0;
  std::vector<uint8_t> seen(1 << 20);
  seen.resize(static_cast<size_t>(std::max<ssize_t>(0, ::pread(held, seen.data(), seen.size(), 0))));
  ::close(held);
  if (!done) return {std::nullopt, "thumbnailer failed"};
  EXPECT_EQ(seen, test::readBytes(png)) << "the caller's descriptor sees the thumbnail";
  return {readBack(png, false), ""};
}

// --info: the size a picture is seen at, or the same refusal where the
// header alone refuses it.
void expectInfoAgrees(const std::string& input, const Seen& seen) {
  const test::ZwpconvRun run = test::zwpconv({"--info", input});
  if (run.status == 0 && seen.picture) {
    EXPECT_NE(run.out.find(": " + std::to_string(seen.picture->width()) + " x " + std::to_string(seen.picture->height())),
              std::string::npos) << run.out;
  } else if (run.status != 0) {
    EXPECT_EQ(refusalIn(run.err, input), seen.refusal) << "--info";
  }
}

std::vector<uint8_t> cut(const std::string& path, double share) {
  std::vector<uint8_t> bytes = test::readBytes(path);
  bytes.resize(static_cast<size_t>(static_cast<double>(bytes.size()) * share));
  return bytes;
}

TEST(EveryDoor, GivesTheSamePictureOrTheSameRefusal) {
  test::TempDir in;
  std::vector<uint8_t> emblem = test::emblemFile(3, 2, {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x1234, 0x8000});
  const std::vector<uint8_t> shortEmblem(emblem.begin(), emblem.end() - 1);
  std::vector<uint8_t> longEmblem = emblem;
  longEmblem.push_back(0x77);
  const struct {
    std::string name;
    std::vector<uint8_t> bytes;  // empty: copy `from`
    std::string from;
    const char* refusal;  // nullptr: a picture of the size below
    int32_t width, height;
  } rows[] = {
      {"e.zwp", emblem, "", nullptr, 3, 2},
      {"e_short.zwp", shortEmblem, "", nullptr, 3, 2},
      {"e_long.zwp", longEmblem, "", nullptr, 3, 2},
      {"e_absurd.zwp", test::emblemFile(0x7FFFFFFF, 2, {}), "", "unbrauchbare Größe", 0, 0},
      {"b.bmp", test::plainBmp(4, 2, 24, 0x6B), "", nullptr, 4, 2},
      {"b_mono.bmp", test::plainBmp(9, 3, 1, 0x6B), "", nullptr, 9, 3},
      {"b_deep.bmp", test::plainBmp(2, 2, 32, 0x6B), "", "Farbtiefe", 0, 0},
      {"b_cut.bmp", cut(test::fixturePath("im_24bit.bmp"), 0.7), "", "abgeschnitten", 0, 0},
      {"rotated.jpg", {}, art("rotated.jpg"), nullptr, 10, 24},
      {"cut.jpg", cut(art("photo.jpg"), 0.5), "", "beschädigt oder abgeschnitten", 0, 0},
      {"cut.gif", cut(art("anim.gif"), 0.6), "", "abgeschnitten", 0, 0},
      {"alpha.tga", {}, art("alpha.tga"), nullptr, 9, 5},
      {"alpha.tif", {}, art("alpha.tif"), nullptr, 9, 5},
      {"anim.gif", {}, art("anim.gif"), nullptr, 6, 4},
      {"basn0g01.png", {}, suite("basn0g01.png"), nullptr, 32, 32},
      {"basn3p04.png", {}, suite("basn3p04.png"), nullptr, 32, 32},
      {"tbbn2c16.png", {}, suite("tbbn2c16.png"), nullptr, 32, 32},
      {"tbgn2c16.png", {}, suite("tbgn2c16.png"), nullptr, 32, 32},
      {"basi6a16.png", {}, suite("basi6a16.png"), nullptr, 32, 32},
      {"cut.png", cut(suite("basn2c16.png"), 0.6), "", "beschädigt oder abgeschnitten", 0, 0},
      {"notes.txt", {'h', 'i', '\n'}, "", "kein Bild", 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string input = in.file(row.name);
    if (row.bytes.empty()) fs::copy_file(row.from, input); else test::writeBytes(input, row.bytes);
    const bool isEmblem = isEmblemName(row.name);
    test::TempDir out;
    const Seen first = byZwpconv(input, out, isEmblem);
    if (row.refusal) {
      EXPECT_NE(first.refusal.find(row.refusal), std::string::npos) << first.refusal;
    } else {
      ASSERT_TRUE(first.picture) << first.refusal;
      EXPECT_EQ(first.picture->width(), row.width);
      EXPECT_EQ(first.picture->height(), row.height);
    }
    std::vector<std::pair<const char*, Seen>> doors = {{"window", byWindow(input, isEmblem)}};
    if (isEmblem && first.picture) {
      doors.push_back({"plugin", byPlugin(input)});
      doors.push_back({"thumbnailer", byThumbnailer(input, out, std::max(row.width, row.height))});
    }
    for (const auto& [door, seen] : doors) {
      EXPECT_EQ(seen.refusal, first.refusal) << door;
      EXPECT_EQ(seen.picture, first.picture) << door;
    }
    expectInfoAgrees(input, first);
  }
}

}  // namespace
}  // namespace zwp
