// zwpconv on the disks players carry emblems on: FAT and exFAT sticks and
// other FUSE mounts, made by the tests themselves, against the local disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/bmp_builder.h"
#include "support/disk_mount.h"
#include "support/test_files.h"
#include "support/zwpconv_run.h"

namespace zwp {
namespace {

namespace fs = std::filesystem;
using test::Disk;

class OnDisk : public ::testing::TestWithParam<Disk> {
 protected:
  void SetUp() override {
    disk_ = std::make_unique<test::DiskMount>(GetParam(), GetParam() == Disk::Bindfs);
    if (!disk_->ready()) GTEST_SKIP() << disk_->why();
    dir_ = std::make_unique<test::TempDir>(disk_->root(), GetParam() != Disk::Fat);
  }
  void TearDown() override { dir_.reset(); }
  std::string file(const std::string& name) const { return dir_->file(name); }
  // n small bitmaps p0.bmp … in the folder, as arguments for zwpconv.
  std::vector<std::string> bitmaps(int n) const {
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
      names.push_back(file("p" + std::to_string(i) + ".bmp"));
      test::writeBytes(names.back(), test::plainBmp(4, 4, 24, static_cast<uint8_t>(i)));
    }
    return names;
  }
  // fusefat slows down with every file in a folder: fewer files there.
  int many() const { return GetParam() == Disk::Local ? 300 : 60; }
  std::vector<std::string> strays() const {
    std::vector<std::string> found;
    for (const std::string& name : dir_->entries()) {
      if (!name.ends_with(".bmp") && !name.ends_with(".zwp") && !name.ends_with(".png")) found.push_back(name);
    }
    return found;
  }
  // zwpconv as its own process, with a shell's redirections after the files.
  int run(const std::vector<std::string>& files, const std::string& tail) const {
    std::string command = std::string(ZWPCONV) + " -f";
    for (const std::string& f : files) command += " '" + f + "'";
    return std::system(("bash -c \"" + command + tail + "\"").c_str());
  }

  std::unique_ptr<test::DiskMount> disk_;
  std::unique_ptr<test::TempDir> dir_;
};
INSTANTIATE_TEST_SUITE_P(Disks, OnDisk, ::testing::Values(Disk::Local, Disk::Fat, Disk::Exfat, Disk::Bindfs),
                         [](const auto& p) { return test::nameOf(p.param); });

TEST_P(OnDisk, NewFilesAppearExactlyAndOnlyOnce) {
  test::writeBytes(file("K.bmp"), test::plainBmp(2, 2, 24, 0x10));
  test::writeBytes(file("k.png"), test::readBytes(std::string(ZWP_ART_DIR) + "/opaque.png"));
  const test::ZwpconvRun first = test::zwpconv({"-f", file("K.bmp"), file("k.png")});
  if (test::isFat(GetParam())) {
    EXPECT_EQ(first.status, 1);
    EXPECT_NE(first.err.find("k.png: übersprungen, Ziel " + file("k.zwp") + " entsteht schon aus " + file("K.bmp")),
              std::string::npos) << first.err;
    EXPECT_EQ(test::readBytes(file("K.zwp")).size(), 280u + 2 * 2 * 2) << "the first picture stays";
  } else {
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(test::readBytes(file("k.zwp")).size(), 280u + 37 * 11 * 2);
  }
  const test::ZwpconvRun again = test::zwpconv({file("K.bmp")});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("existiert bereits"), std::string::npos) << again.err;
  EXPECT_EQ(strays(), std::vector<std::string>{});
}

// Killed at any moment, a batch replacing files leaves each one old or new and
// complete; only the few files being published at that moment can stay behind
// as hidden temporary files or empty reservations. (Replacing files on fusefat
// takes renames, which damage its folders: there only new files are made.)
TEST_P(OnDisk, AKilledBatchLosesNoOriginal) {
  const std::vector<std::string> inputs = bitmaps(many());
  const std::vector<uint8_t> old{1, 2, 3};
  for (int i = 0; i < many() && GetParam() != Disk::Fat; i += 2) test::writeBytes(file("p" + std::to_string(i) + ".zwp"), old);
  const pid_t child = ::fork();
  if (child == 0) {
    ::execl("/bin/bash", "bash", "-c", ("exec " + std::string(ZWPCONV) + (GetParam() == Disk::Fat ? " " : " -f ") + file("p*.bmp") + " >/dev/null").c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(GetParam() == Disk::Local ? 30 : 100));
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  size_t converted = 0, reservations = 0;
  for (int i = 0; i < many(); ++i) {
    const std::string out = file("p" + std::to_string(i) + ".zwp");
    if (!fs::exists(out)) {
      EXPECT_TRUE(i % 2 == 1 || GetParam() == Disk::Fat) << out;
      continue;
    }
    const std::vector<uint8_t> bytes = test::readBytes(out);
    reservations += bytes.empty();
    EXPECT_TRUE(bytes.empty() || bytes == old || bytes.size() == 280u + 4 * 4 * 2) << out << ": " << bytes.size() << " bytes";
    converted += bytes.size() > old.size();
    EXPECT_EQ(test::readBytes(inputs[static_cast<size_t>(i)]), test::plainBmp(4, 4, 24, static_cast<uint8_t>(i)));
  }
  EXPECT_LE(strays().size() + reservations, 4u) << ::testing::PrintToString(strays());
  RecordProperty("converted", static_cast<int>(converted));
}

// The printed lines are a log: with nobody reading them, every file is still
// converted, nothing is left over, and the exit says output was lost.
TEST_P(OnDisk, AClosedPipeStopsNothing) {
  const std::vector<std::string> inputs = bitmaps(many());
  const int status = run(inputs, " 2>/dev/null | true; exit \\${PIPESTATUS[0]}");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  for (const std::string& in : inputs) EXPECT_TRUE(fs::exists(in.substr(0, in.size() - 4) + ".zwp")) << in;
  EXPECT_EQ(strays(), std::vector<std::string>{});
}

// Names the disk takes for one file give one result, the other is skipped;
// names it keeps apart (the Kelvin sign and k, on every disk) give two.
TEST_P(OnDisk, ResultsShareAFileNeverAndNamesAreNeverSkippedForNothing) {
  if (GetParam() == Disk::Fat) GTEST_SKIP() << "fusefat takes no names beyond ASCII";
  const std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 10, 20, 30};
  for (const char* name : {"σ", "\u212A"}) test::writeBytes(file(std::string(name) + ".bmp"), test::plainBmp(2, 2));
  for (const char* name : {"ς", "k"}) test::writeBytes(file(std::string(name) + ".tga"), tga);
  run({file("σ.bmp"), file("ς.tga"), file("\u212A.bmp"), file("k.tga")}, " >/dev/null 2>&1");
  // exFAT takes σ and ς for one name: the 2 x 2 result stands there, not the 1 x 1 one over it.
  EXPECT_EQ(test::readBytes(file("ς.zwp")).size(), GetParam() == Disk::Exfat ? 288u : 282u);
  EXPECT_EQ(test::readBytes(file("\u212A.zwp")).size(), 288u);
  EXPECT_EQ(test::readBytes(file("k.zwp")).size(), 282u);
}

// A FUSE server never hears of syncfs(): each file must be synced by itself.
TEST_P(OnDisk, TheServerSeesASyncForEveryFile) {
  if (GetParam() != Disk::Bindfs) GTEST_SKIP() << "only bindfs is traced";
  const int before = disk_->syncsSeen();
  EXPECT_EQ(run(bitmaps(20), " >/dev/null"), 0);
  EXPECT_GE(disk_->syncsSeen() - before, 20);
}

}  // namespace
}  // namespace zwp
