#include "cli/batch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>
#include <atomic>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <cstdlib>

#include "bitmap/bitmap_probe.h"
#include "bitmap/bmp_reader.h"
#include "codec/emblem_file.h"
#include "core/version.h"
#include "support/bmp_builder.h"
#include "support/test_files.h"
#include "support/zwpconv_run.h"

namespace zwp {
namespace {

using test::TempDir;

using Result = test::ZwpconvRun;
using test::zwpconv;

std::vector<uint8_t> smallBmp(uint16_t bits = 24, int32_t width = 2) {
  test::BmpBuilder b;
  b.bitCount = bits;
  b.width = width;
  b.height = 2;
  b.data = test::paddedRows({std::vector<uint8_t>(static_cast<size_t>(width) * 3, 0x40),
                             std::vector<uint8_t>(static_cast<size_t>(width) * 3, 0xC0)});
  return b.bytes();
}

TEST(Zwpconv, MixedBatchConvertsEveryGoodFileAndNamesEachFailure) {
  TempDir d;
  test::writeBytes(d.file("good.bmp"), smallBmp());
  test::writeBytes(d.file("GOOD2.BMP"), smallBmp());
  test::writeBytes(d.file("deep.bmp"), smallBmp(32));
  test::writeBytes(d.file("wide.bmp"), smallBmp(24, 129));
  test::writeBytes(d.file("taken.bmp"), smallBmp());
  test::writeBytes(d.file("taken.zwp"), {1, 2, 3});
  test::writeBytes(d.file("notes.txt"), {'x'});
  const Result r = zwpconv({d.file("good.bmp"), d.file("deep.bmp"), d.file("missing.bmp"), d.file("GOOD2.BMP"),
                            d.file("wide.bmp"), d.file("taken.bmp"), d.file("notes.txt")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(test::readBytes(d.file("good.zwp")).size(), 280u + 8);
  EXPECT_EQ(test::readBytes(d.file("GOOD2.zwp")).size(), 280u + 8);
  EXPECT_EQ(test::readBytes(d.file("taken.zwp")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(std::filesystem::exists(d.file("deep.zwp")));
  for (const char* says : {"deep.bmp: Ungültiges Bild: Farbtiefe", "missing.bmp: Datei nicht gefunden",
                           "wide.bmp: Ungültiges Bild: größer als 128", "taken.bmp: übersprungen", "notes.txt: Ungültiges Bild: kein Bild in einem bekannten Format"}) {
    EXPECT_NE(r.err.find(says), std::string::npos) << says << "\n" << r.err;
  }
  EXPECT_NE(r.out.find("good.bmp -> " + d.file("good.zwp")), std::string::npos) << r.out;

  const Result forced = zwpconv({"-f", d.file("taken.bmp"), d.file("good.bmp")});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(test::readBytes(d.file("taken.zwp")).size(), 288u);
}

TEST(Zwpconv, APictureWithoutPixelsIsNamedWhenFittedAndTheRestIsConverted) {
  TempDir d;
  test::BmpBuilder empty;
  empty.width = 0;
  empty.height = 200;
  test::writeBytes(d.file("z.bmp"), empty.bytes());
  test::writeBytes(d.file("good1.bmp"), smallBmp());
  test::writeBytes(d.file("good2.bmp"), smallBmp());
  // The program itself, so that a signal would show as what it is.
  const std::string command = std::string(ZWPCONV) + " --fit 16 " + d.file("z.bmp") + " " + d.file("good1.bmp") + " " +
                              d.file("good2.bmp") + " 2>" + d.file("err.txt") + " >/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_TRUE(std::filesystem::exists(d.file("good1.zwp")));
  EXPECT_TRUE(std::filesystem::exists(d.file("good2.zwp")));
  const std::vector<uint8_t> err = test::readBytes(d.file("err.txt"));
  EXPECT_EQ(std::string(err.begin(), err.end()), "zwpconv: " + d.file("z.bmp") + ": Ungültiges Bild: Bild hat keine Pixel\n");
}

TEST(Zwpconv, EmblemsBecomeBitmapsAndBackIntoAnOutputDirectory) {
  TempDir d;
  std::filesystem::create_directory(d.file("out"));
  const std::vector<uint8_t> emblem = test::emblemFile(3, 1, {0xF800, 0x07E0, 0x001F});
  test::writeBytes(d.file("w.ZWP"), emblem);
  ASSERT_EQ(zwpconv({"-o", d.file("out"), d.file("w.ZWP")}).status, 0);
  const Picture p = loadBmpFile(d.file("out/w.bmp"));
  EXPECT_EQ(test::pixelsOf(p), (std::vector<int32_t>{colourOf(255, 0, 0), colourOf(0, 255, 0), colourOf(0, 0, 255)}));
  ASSERT_EQ(zwpconv({"--output=" + d.file("out"), d.file("out/w.bmp")}).status, 0);
  EXPECT_EQ(test::readBytes(d.file("out/w.zwp")), emblem);
}

TEST(Zwpconv, ForcedDirectionAndTheInputItself) {
  TempDir d;
  test::writeBytes(d.file("pic.dat"), smallBmp());
  EXPECT_EQ(zwpconv({"--to", "zwp", d.file("pic.dat")}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(d.file("pic.zwp")));
  test::writeBytes(d.file("x.bmp"), smallBmp());
  const Result r = zwpconv({"--to=bmp", "-f", d.file("x.bmp")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Eingabedatei selbst"), std::string::npos);
  EXPECT_EQ(test::readBytes(d.file("x.bmp")), smallBmp());
}

TEST(Zwpconv, InfoDescribesWithoutConverting) {
  TempDir d;
  test::writeBytes(d.file("a.bmp"), smallBmp(8, 4));
  test::writeBytes(d.file("b.zwp"), test::emblemFile(300, 2, {}));
  test::writeBytes(d.file("c.bmp"), {'n', 'o'});
  const Result r = zwpconv({"--info", d.file("a.bmp"), d.file("b.zwp"), d.file("c.bmp")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, d.file("a.bmp") + ": 4 x 2, 256-Farben-Bitmap\n" + d.file("b.zwp") + ": 300 x 2, Zorbel Wappen\n");
  EXPECT_NE(r.err.find("c.bmp: Ungültiges Bild: kein Bild"), std::string::npos) << r.err;
  EXPECT_EQ(d.entries(), (std::vector<std::string>{"a.bmp", "b.zwp", "c.bmp"}));
}

// Files the window refuses are described with the size their headers really
// hold and the reason for the refusal.
TEST(Zwpconv, InfoSaysWhyTheWindowRefusesAFile) {
  TempDir d;
  test::writeBytes(d.file("wide.bmp"), smallBmp(24, 200));
  std::vector<std::string> expected = {d.file("wide.bmp") + ": 200 x 2, True Color-Bitmap, abgelehnt: größer als 128 × 128 Pixel"};
  int os2 = 0;
  for (const test::Fixture& f : test::fixtures()) {
    if (f.headerSize != 12) continue;
    std::filesystem::copy_file(test::fixturePath(f.bmp), d.file(f.bmp));
    const test::PpmPicture want = test::readPpm(test::fixturePath(f.expected));
    expected.push_back(d.file(f.bmp) + ": " + std::to_string(want.width) + " x " + std::to_string(want.height) + ", " +
                       bitmapKindFor(static_cast<int16_t>(f.bitCount)) +
                       ", abgelehnt: Kopf im OS/2-1.x-Format, den das Fenster nicht liest");
    ++os2;
  }
  ASSERT_GT(os2, 0) << "the fixtures hold an OS/2 1.x bitmap";
  std::vector<std::string> args = {"--info"};
  for (const std::string& line : expected) args.push_back(line.substr(0, line.find(": ")));
  const Result r = zwpconv(args);
  EXPECT_EQ(r.status, 0) << r.err;
  std::string all;
  for (const std::string& line : expected) all += line + "\n";
  EXPECT_EQ(r.out, all);
}

TEST(Zwpconv, UsageErrorsExitWithTwo) {
  TempDir d;
  test::writeBytes(d.file("a.bmp"), smallBmp());
  const std::vector<std::vector<std::string>> bad = {
      {}, {"--bogus", d.file("a.bmp")}, {"--to", "gif", d.file("a.bmp")}, {d.file("a.bmp"), "-o"},
      {"-o", d.file("nowhere"), d.file("a.bmp")}, {"-o", d.file("a.bmp"), d.file("a.bmp")}, {"--to"}, {"-f"}};
  for (const auto& args : bad) {
    const Result r = zwpconv(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(r.err.find("Aufruf: zwpconv"), std::string::npos);
  }
  EXPECT_EQ(d.entries(), std::vector<std::string>{"a.bmp"});
  EXPECT_NE(zwpconv({"-o", d.file("a.bmp"), d.file("a.bmp")}).err.find("a.bmp ist kein Verzeichnis"), std::string::npos);

  const Result help = zwpconv({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--output VERZ"), std::string::npos);
  EXPECT_EQ(zwpconv({"--version"}).out, std::string("zwpconv ") + kVersion + "\n");
  EXPECT_EQ(zwpconv({"--", "-f"}).status, 1) << "after -- everything is a file";
}

TEST(Zwpconv, ProgressGoesToATerminalForLongerBatches) {
  TempDir d;
  std::vector<std::string> files;
  for (int i = 0; i < 5; ++i) {
    files.push_back(d.file("p" + std::to_string(i) + ".bmp"));
    test::writeBytes(files.back(), smallBmp());
  }
  const Result r = zwpconv(files, true);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("5/5"), std::string::npos);
  EXPECT_EQ(zwpconv({"-f", files[0], files[1]}, true).err, "") << "short batches stay quiet";
  files.insert(files.begin(), "-f");
  EXPECT_EQ(zwpconv(files, false).err, "") << "no progress line when stderr is no terminal";
}

// What zwpconv prints is its result: output that cannot be written fails the run.
TEST(Zwpconv, ResultsThatCannotBeWrittenAreAFailure) {
  TempDir d;
  test::writeBytes(d.file("a.bmp"), smallBmp());
  for (const std::string& args : std::vector<std::string>{"--help", "--version", "--info " + d.file("a.bmp"), d.file("a.bmp")}) {
    const std::string command = std::string(ZWPCONV) + " " + args + " >/dev/full 2>" + d.file("err.txt");
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << args << ": " << status;
    const auto said = test::readBytes(d.file("err.txt"));
    EXPECT_NE(std::string(said.begin(), said.end()).find("Ausgabe konnte nicht geschrieben werden"), std::string::npos);
  }
}

// Two runs racing for the same new output: exactly one of them writes it.
TEST(Zwpconv, TwoRunsNeverBothCreateTheSameFile) {
  TempDir d;
  test::writeBytes(d.file("a.bmp"), smallBmp(24, 2));
  test::writeBytes(d.file("b.bmp"), smallBmp(24, 3));
  std::filesystem::create_directory(d.file("one"));
  std::filesystem::create_directory(d.file("two"));
  std::filesystem::copy(d.file("a.bmp"), d.file("one/x.bmp"));
  std::filesystem::copy(d.file("b.bmp"), d.file("two/x.bmp"));
  for (int round = 0; round < 50; ++round) {
    const std::string out = d.file("out" + std::to_string(round));
    std::filesystem::create_directory(out);
    int statusOne = -1, statusTwo = -1;
    std::thread first([&] { statusOne = zwpconv({"-o", out, d.file("one/x.bmp")}).status; });
    statusTwo = zwpconv({"-o", out, d.file("two/x.bmp")}).status;
    first.join();
    ASSERT_EQ(statusOne + statusTwo, 1) << "round " << round;
    EXPECT_EQ(test::readBytes(out + "/x.zwp").size(), 280u + (statusOne == 0 ? 8 : 12));
  }
}

// A folder that cannot be read is named and the rest converted. Root reads
// every folder, so as root the run is made as nobody.
TEST(Zwpconv, RecursiveRunsNameEveryFolderTheyCannotRead) {
  TempDir d;
  for (const char* folder : {"tree/open", "tree/closed", "shut"}) std::filesystem::create_directories(d.file(folder));
  for (const char* name : {"tree/a.bmp", "tree/open/b.bmp", "tree/closed/c.bmp"}) test::writeBytes(d.file(name), smallBmp());
  for (const char* folder : {"", "tree", "tree/open"}) ::chmod(d.file(folder).c_str(), 0777);
  for (const char* folder : {"tree/closed", "shut"}) ::chmod(d.file(folder).c_str(), 0);
  const std::string asNobody = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const std::string command = asNobody + ZWPCONV + " -r " + d.file("tree") + " " + d.file("shut") + " 2>" + d.file("err.txt");
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  const auto said = test::readBytes(d.file("err.txt"));
  const std::string err(said.begin(), said.end());
  for (const char* folder : {"tree/closed: ", "shut: "}) EXPECT_NE(err.find(d.file(folder)), std::string::npos) << err;
  EXPECT_TRUE(std::filesystem::exists(d.file("tree/a.zwp")) && std::filesystem::exists(d.file("tree/open/b.zwp")));
}

// The picture is checked and decoded from one reading of the file, so a file
// swapped for a larger one at any moment is either refused or read whole.
TEST(Zwpconv, ASwappedFileNeverGetsPastTheSizeLimit) {
  TempDir d;
  test::writeBytes(d.file("in.bmp"), smallBmp(24, 2));
  test::writeBytes(d.file("other"), smallBmp(24, 200));
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    while (!stop) ::renameat2(AT_FDCWD, d.file("in.bmp").c_str(), AT_FDCWD, d.file("other").c_str(), RENAME_EXCHANGE);
  });
  int converted = 0;
  for (int round = 0; round < 400; ++round) {
    if (zwpconv({"-f", d.file("in.bmp")}).status != 0) continue;
    ++converted;
    const auto emblem = readEmblemFile(d.file("in.zwp"));
    ASSERT_TRUE(emblem);
    ASSERT_EQ(emblem->header.Width, 2) << "round " << round;
  }
  stop = true;
  swapper.join();
  EXPECT_GT(converted, 0);
}

}  // namespace
}  // namespace zwp
