// A batch never writes over one of its own inputs or over a result it wrote
// earlier, whatever mix of files, names and links it is given.
#include "cli/plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "cli/batch.h"
#include "cli/folder_names.h"
#include "codec/emblem_file.h"
#include "support/bmp_builder.h"
#include "support/test_files.h"

namespace zwp {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<uint8_t> bmpOf(uint8_t shade) {
  test::BmpBuilder b;
  b.width = 2;
  b.height = 1;
  b.data = test::paddedRows({std::vector<uint8_t>(6, shade)});
  return b.bytes();
}

struct Clash {
  const char* name;
  std::function<void(const TempDir&)> setUp;
  std::vector<std::string> args;  // file names are relative to the folder
  int status;
  std::vector<std::string> says;      // each line names both files
  std::vector<std::string> replaced = {};  // files there before that may change; all others must not
};

TEST(BatchPlan, NoOriginalIsEverOverwritten) {
  const std::vector<uint8_t> emblem = test::emblemFile(1, 1, {0x07E0});
  const Clash clashes[] = {
      {"forced bmp and zwp of one name",
       [&](const TempDir& d) {
         test::writeBytes(d.file("k.bmp"), bmpOf(1));
         test::writeBytes(d.file("k.zwp"), emblem);
       },
       {"-f", "k.bmp", "k.zwp"}, 1, {"k.bmp: übersprungen, Ziel k.zwp ist selbst eine Eingabe (k.zwp)",
                                     "k.zwp: übersprungen, Ziel k.bmp ist selbst eine Eingabe (k.bmp)"}},
      {"the same without -f",
       [&](const TempDir& d) {
         test::writeBytes(d.file("k.bmp"), bmpOf(1));
         test::writeBytes(d.file("k.zwp"), emblem);
       },
       {"k.zwp", "k.bmp"}, 1, {"k.zwp: übersprungen, Ziel k.bmp ist selbst eine Eingabe"}},
      {"one output name from two folders",
       [&](const TempDir& d) {
         fs::create_directories(d.file("d1"));
         fs::create_directories(d.file("d2"));
         fs::create_directories(d.file("out"));
         test::writeBytes(d.file("d1/x.bmp"), bmpOf(1));
         test::writeBytes(d.file("d2/x.bmp"), bmpOf(2));
       },
       {"-f", "-o", "out", "d1/x.bmp", "d2/x.bmp"}, 1, {"d2/x.bmp: übersprungen, Ziel out/x.zwp entsteht schon aus d1/x.bmp"}},
      {"an input given twice",
       [&](const TempDir& d) { test::writeBytes(d.file("a.bmp"), bmpOf(1)); },
       {"-f", "a.bmp", "./a.bmp"}, 1, {"./a.bmp: übersprungen, dieselbe Datei wie a.bmp"}},
      {"output is a hard link to an input",
       [&](const TempDir& d) {
         test::writeBytes(d.file("a.bmp"), bmpOf(1));
         fs::create_hard_link(d.file("a.bmp"), d.file("a.zwp"));
       },
       {"-f", "a.bmp"}, 1, {"a.bmp: Ziel wäre die Eingabedatei selbst"}},
      {"output is a symlink to another input",
       [&](const TempDir& d) {
         test::writeBytes(d.file("a.bmp"), bmpOf(1));
         test::writeBytes(d.file("b.bmp"), bmpOf(2));
         fs::create_symlink("b.bmp", d.file("a.zwp"));
       },
       {"-f", "a.bmp", "b.bmp"}, 1, {"a.bmp: übersprungen, Ziel a.zwp ist selbst eine Eingabe (b.bmp)"}},
      {"an existing output is kept without -f",
       [&](const TempDir& d) {
         test::writeBytes(d.file("a.bmp"), bmpOf(1));
         test::writeBytes(d.file("a.zwp"), {1, 2, 3});
       },
       {"a.bmp"}, 1, {"a.bmp: übersprungen, a.zwp existiert bereits"}},
      {"a forced file that is no input is replaced",
       [&](const TempDir& d) {
         test::writeBytes(d.file("a.bmp"), bmpOf(1));
         test::writeBytes(d.file("a.zwp"), {1, 2, 3});
       },
       {"-f", "a.bmp"}, 0, {}, {"a.zwp"}},
  };
  // Each case alone, and among twenty other pictures, when the batch reads
  // the folder whole instead of asking for each name.
  for (const Clash& c : clashes) {
   for (const int others : {0, 20}) {
    SCOPED_TRACE(std::string(c.name) + (others ? ", among others" : ""));
    TempDir d;
    c.setUp(d);
    std::vector<std::string> args = c.args;
    for (int i = 0; i < others; ++i) {
      args.push_back("other" + std::to_string(i) + ".bmp");
      test::writeBytes(d.file(args.back()), bmpOf(3));
    }
    std::map<std::string, std::vector<uint8_t>> before;
    for (const auto& e : fs::recursive_directory_iterator(d.path())) {
      if (e.is_regular_file()) before[e.path().string()] = test::readBytes(e.path().string());
    }
    const fs::path cwd = fs::current_path();
    fs::current_path(d.path());
    std::ostringstream out, err;
    const int status = cli::main(args, out, err, false);
    fs::current_path(cwd);

    EXPECT_EQ(status, c.status) << err.str();
    for (const std::string& line : c.says) EXPECT_NE(err.str().find(line), std::string::npos) << line << "\n" << err.str();
    for (const auto& [path, bytes] : before) {
      const auto name = fs::relative(path, d.path()).string();
      const bool mayChange = std::find(c.replaced.begin(), c.replaced.end(), name) != c.replaced.end();
      EXPECT_EQ(test::readBytes(path) == bytes, !mayChange) << name;
    }
    EXPECT_TRUE(std::none_of(fs::recursive_directory_iterator(d.path()), fs::recursive_directory_iterator(),
                             [](const auto& e) { return e.path().filename().string().starts_with(".zwp-"); }));
   }
  }
}

TEST(BatchPlan, OutputsGoBesideTheInputOrIntoTheFolderWithTheOtherExtension) {
  const auto jobs =
      cli::planBatch({"a/b.BMP", "c.ZWP", "art.png", "x.tar.zwp"}, "", cli::Target::ByExtension, false, false);
  ASSERT_EQ(jobs.size(), 4u);
  EXPECT_EQ(jobs[0].output, "a/b.zwp");
  EXPECT_EQ(jobs[1].output, "c.bmp");
  EXPECT_EQ(jobs[2].output, "art.zwp") << "any picture that is no emblem becomes one";
  EXPECT_EQ(jobs[3].output, "x.tar.bmp");
  EXPECT_EQ(cli::planBatch({"a/b.bmp"}, "out", cli::Target::Bitmap, false, false)[0].output, "out/b.bmp");
  const auto png = cli::planBatch({"w.dat"}, "", cli::Target::Png, true, false);
  EXPECT_TRUE(png[0].emblemInput);
  EXPECT_EQ(png[0].output, "w.png");
}

// Names as each kind of folder compares them, whatever the user's locale:
// which pairs are one file under each rule.
TEST(FolderNames, EachRuleJoinsWhatItsFileSystemsJoin) {
  using cli::NameRule;
  const struct {
    const char *a, *b;
    bool upper, fold;
  } cases[] = {{"K.ZWP", "k.zwp", true, true},
               {"WAPPEN-ÄÖÜ.zwp", "wappen-äöü.zwp", true, true},
               {"ΣΗΜΑ", "σημα", true, true},
               {"σ.zwp", "ς.zwp", true, true},            // one upper case, one folding
               {"\u212A.zwp", "k.zwp", false, true},     // the Kelvin sign: its own upper case
               {"stra\u00DFe", "STRASSE", false, true},  // sharp s folds to ss
               {"K\xd6NIG.bmp", "k\xd6nig.bmp", true, true},  // not UTF-8: its ASCII letters
               {"K\xd6NIG.bmp", "k\xf6nig.bmp", false, false},
               {"a.zwp", "b.zwp", false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(cli::nameKey(c.a, NameRule::UpperCase) == cli::nameKey(c.b, NameRule::UpperCase), c.upper) << c.a;
    EXPECT_EQ(cli::nameKey(c.a, NameRule::CaseFold) == cli::nameKey(c.b, NameRule::CaseFold), c.fold) << c.a;
    EXPECT_EQ(cli::nameKey(c.a, NameRule::Exact) == cli::nameKey(c.b, NameRule::Exact), std::string(c.a) == c.b);
  }
}

}  // namespace
}  // namespace zwp
