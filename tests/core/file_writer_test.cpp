#include "core/file_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include "core/disk_ways.h"
#include "core/error.h"
#include "support/disk_mount.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace zwp {
namespace {

using test::Disk;
using test::errorNumberOf;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

mode_t modeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

void put(FileWriter& w, const std::vector<uint8_t>& bytes) { w.write(bytes.data(), bytes.size()); }

// Every case runs locally with unnamed files and with the held-back file that
// stands in where unnamed files are not to be had, and on the FUSE disks
// players use, which have neither unnamed files nor (FAT) links.
struct Place {
  Disk disk;
  bool unnamed;
};
void PrintTo(const Place& p, std::ostream* os) { *os << test::nameOf(p.disk) << (p.unnamed ? "" : ", held back"); }
class FileWriterTest : public ::testing::TestWithParam<Place> {
 protected:
  void SetUp() override {
    allowUnnamedFiles(GetParam().unnamed);
    disk_ = std::make_unique<test::DiskMount>(GetParam().disk);
    if (!disk_->ready()) GTEST_SKIP() << disk_->why();
  }
  void TearDown() override { allowUnnamedFiles(true); }
  const std::string& root() const { return disk_->root(); }
  bool fat() const { return test::isFat(GetParam().disk); }
  bool tidy() const { return GetParam().disk != Disk::Fat; }

 private:
  std::unique_ptr<test::DiskMount> disk_;
};
INSTANTIATE_TEST_SUITE_P(Disks, FileWriterTest,
                         ::testing::Values(Place{Disk::Local, true}, Place{Disk::Local, false}, Place{Disk::Fat, true},
                                           Place{Disk::Exfat, true}, Place{Disk::Bindfs, true}),
                         [](const auto& p) {
                           return std::string(test::nameOf(p.param.disk)) + (p.param.unnamed ? "" : "HeldBack");
                         });

TEST_P(FileWriterTest, NothingNamedAppearsUntilCommitAndFailuresLeaveNothing) {
  TempDir dir(root(), tidy());
  const std::string target = dir.file("out.zwp");
  writeBytes(target, std::vector<uint8_t>(100, 7));
  {
    FileWriter w(target, IfExists::Replace);
    put(w, std::vector<uint8_t>(200000, 1));
    w.finish();
    EXPECT_EQ(readBytes(target).size(), 100u) << "old file stays until commit";
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.zwp"}) << "no name while writing";
    w.commit();
  }
  EXPECT_EQ(readBytes(target), std::vector<uint8_t>(200000, 1));
  {
    FileWriter abandoned(target, IfExists::Replace);
    put(abandoned, {5, 5});
  }
  {
    FileWriter fresh(dir.file("new.zwp"), IfExists::Keep);
    put(fresh, {5, 5});
  }
  EXPECT_EQ(readBytes(target).size(), 200000u);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.zwp"});
}

TEST_P(FileWriterTest, BadTargetsFailWithClearNumbers) {
  TempDir dir(root(), tidy());
  std::filesystem::create_directory(dir.file("adir"));
  writeBytes(dir.file("afile"), {1});
  const struct {
    std::string target;
    IfExists ifExists;
    int number;
  } cases[] = {{dir.file("missing/x.zwp"), IfExists::Replace, err::PathNotFound},
               {dir.file("afile/x.zwp"), IfExists::Replace, err::PathNotFound},
               {dir.file("adir"), IfExists::Replace, err::PathFileAccess},
               {dir.file("adir/"), IfExists::Replace, err::PathFileAccess},
               {dir.file("afile"), IfExists::Keep, err::PathFileAccess},
               {"", IfExists::Replace, err::FileNotFound}};
  for (const auto& c : cases) {
    EXPECT_EQ(errorNumberOf([&] { FileWriter w(c.target, c.ifExists); }), c.number) << c.target;
  }
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"adir", "afile"}));
  EXPECT_EQ(readBytes(dir.file("afile")), std::vector<uint8_t>{1});
}

// Alone, or in a folder a batch opened once and whose names it did not look
// at again (the file may even be there before the writer is made).
TEST_P(FileWriterTest, CreatingNeverReplacesAFileThatAppearedMeanwhile) {
  for (const bool inOpenFolder : {false, true}) {
    for (const bool before : {false, true}) {
      if (before && !inOpenFolder) continue;  // the constructor refuses that one itself
      SCOPED_TRACE(std::string(inOpenFolder ? "in an open folder" : "alone") + (before ? ", there before" : ""));
      TempDir dir(root(), tidy());
      const std::string target = dir.file("race.zwp");
      int error = 0;
      const auto folder = WriteFolder::open(dir.path().string(), error);
      ASSERT_TRUE(folder) << error;
      if (before) writeBytes(target, {9});
      EXPECT_EQ(errorNumberOf([&] {
                  auto w = inOpenFolder ? std::make_unique<FileWriter>(folder, target, IfExists::Keep)
                                        : std::make_unique<FileWriter>(target, IfExists::Keep);
                  put(*w, {1, 2, 3});
                  if (!before) writeBytes(target, {9});  // another program was quicker
                  w->commit();
                }),
                err::PathFileAccess);
      EXPECT_EQ(readBytes(target), std::vector<uint8_t>{9});
      EXPECT_EQ(dir.entries(), std::vector<std::string>{"race.zwp"});
    }
  }
}

TEST_P(FileWriterTest, ExclusiveCreateUnderARealRace) {
  TempDir dir(root(), tidy());
  const int rounds = GetParam().disk == Disk::Local ? 200 : 40;
  for (int round = 0; round < rounds; ++round) {
    const std::string target = dir.file("r" + std::to_string(round) + ".zwp");
    std::atomic<int> ready{0};
    std::atomic<int> wins{0};
    auto racer = [&](uint8_t value) {
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
      try {
        FileWriter w(target, IfExists::Keep);
        put(w, std::vector<uint8_t>(64, value));
        w.commit();
        wins.fetch_add(value);
      } catch (const Error&) {
      }
    };
    std::thread a(racer, uint8_t{1}), b(racer, uint8_t{2});
    a.join();
    b.join();
    ASSERT_TRUE(wins == 1 || wins == 2) << "round " << round << ": " << wins << " winners";
    EXPECT_EQ(readBytes(target), std::vector<uint8_t>(64, static_cast<uint8_t>(wins.load())));
  }
  EXPECT_EQ(dir.entries().size(), static_cast<size_t>(rounds)) << "no temporary file left: " << ::testing::PrintToString(dir.entries());
}

TEST_P(FileWriterTest, PermissionsNeverLoosenAndLoseSetIdBits) {
  if (fat()) GTEST_SKIP() << "FAT keeps no permission bits";
  TempDir dir(root(), tidy());
  const mode_t oldUmask = ::umask(022);
  struct Case {
    const char* name;
    mode_t before;  // 0: no file there
    mode_t after;
  };
  const Case cases[] = {{"new", 0, 0644},           {"private", 0600, 0600}, {"group", 0640, 0640},
                        {"setid", 06755, 0755},     {"sticky", 01666, 0666}, {"readonly", 0444, 0444}};
  for (const Case& c : cases) {
    const std::string target = dir.file(c.name);
    if (c.before != 0) {
      writeBytes(target, {0});
      ASSERT_EQ(::chmod(target.c_str(), c.before), 0);
    }
    FileWriter w(target, IfExists::Replace);
    put(w, std::vector<uint8_t>(10, 1));
    w.finish();
    for (const std::string& name : dir.entries()) {
      if (name.starts_with(".zwp-")) {
        EXPECT_EQ(modeOf(dir.file(name)) & ~c.after, 0u) << c.name << " while writing";
      }
    }
    w.commit();
    EXPECT_EQ(modeOf(target), c.after) << c.name;
  }
  ::umask(077);
  FileWriter w(dir.file("under077"), IfExists::Keep);
  w.commit();
  EXPECT_EQ(modeOf(dir.file("under077")), 0600u);
  ::umask(oldUmask);
}

// Root replacing another user's file must not take it away from its owner.
TEST_P(FileWriterTest, AReplacedFileKeepsItsOwnerAndGroup) {
  if (fat() || ::geteuid() != 0) GTEST_SKIP() << "needs root and a disk that keeps owners";
  TempDir dir(root(), tidy());
  const std::string target = dir.file("theirs.zwp");
  writeBytes(target, {0});
  ASSERT_EQ(::chown(target.c_str(), 4321, 4322), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  FileWriter w(target, IfExists::Replace);
  put(w, {1});
  w.commit();
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(std::vector<unsigned>({st.st_uid, st.st_gid, st.st_mode & 07777u}), std::vector<unsigned>({4321, 4322, 0600}));
  EXPECT_EQ(readBytes(target), std::vector<uint8_t>{1});
}

TEST_P(FileWriterTest, ASymlinkAtTheTargetIsReplacedAndItsTargetKept) {
  if (fat()) GTEST_SKIP() << "FAT has no symbolic links";
  TempDir dir(root(), tidy());
  writeBytes(dir.file("real.zwp"), {4, 2});
  ASSERT_EQ(::chmod(dir.file("real.zwp").c_str(), 04755), 0);
  std::filesystem::create_symlink(dir.file("real.zwp"), dir.file("link.zwp"));
  FileWriter w(dir.file("link.zwp"), IfExists::Replace);
  put(w, {1});
  w.commit();
  EXPECT_FALSE(std::filesystem::is_symlink(dir.file("link.zwp")));
  EXPECT_EQ(readBytes(dir.file("link.zwp")), std::vector<uint8_t>{1});
  EXPECT_EQ(modeOf(dir.file("link.zwp")) & 07000, 0u) << "never taken from the link's target";
  EXPECT_EQ(readBytes(dir.file("real.zwp")), (std::vector<uint8_t>{4, 2}));
  EXPECT_EQ(modeOf(dir.file("real.zwp")), 04755u);
}

// A writer in a child process that is stopped half-way, by a signal or by the
// file size limit, leaves nothing behind.
TEST_P(FileWriterTest, AWriterStoppedMidFileLeavesNothing) {
  // SIGKILL too: until it is published, the file has no name or is still in memory.
  for (const int stop : {SIGTERM, SIGINT, SIGXFSZ, SIGKILL}) {
    TempDir dir(root(), tidy());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (stop == SIGXFSZ) {
        const struct rlimit limit = {100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      FileWriter w(dir.file("big.zwp"), IfExists::Keep);
      const std::vector<uint8_t> chunk(65536, 3);
      for (int i = 0; i < 4; ++i) w.write(chunk.data(), chunk.size());
      w.finish();
      if (stop == SIGXFSZ) w.commit();  // a held-back file meets the limit only here
      (void)!::write(ready[1], "x", 1);
      ::pause();
      ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    if (stop != SIGXFSZ) {
      ASSERT_EQ(::read(ready[0], &byte, 1), 1);
      ::kill(child, stop);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(ready[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == stop) << "signal " << stop << ", status " << status;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{}) << "signal " << stop;
  }
}

// Killed at any moment while it commits, by either signal, the writer leaves
// the file whole under its name or nothing: never part of it, also where the
// content goes straight into a reservation of the name (fusefat).
TEST_P(FileWriterTest, AWriterKilledWhileCommittingLeavesAWholeFileOrNone) {
  const std::vector<uint8_t> content(4u << 20, 9);
  for (int trial = 0; trial < 8; ++trial) {
    TempDir dir(root(), tidy());
    const std::string target = dir.file("big.zwp");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      FileWriter w(target, IfExists::Keep);
      if (trial % 2 == 1) noteRenamesFail(w.device());
      put(w, content);
      w.commit();
      ::pause();
      ::_exit(0);
    }
    ::usleep(static_cast<useconds_t>(5000 * trial));
    ::kill(child, trial % 4 < 2 ? SIGTERM : SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::vector<std::string> entries = dir.entries();
    if (entries.empty()) continue;
    EXPECT_EQ(entries, std::vector<std::string>{"big.zwp"}) << "trial " << trial;
    EXPECT_TRUE(readBytes(target) == content) << "trial " << trial << ": part of the file has its name";
  }
}

// The disk refuses a byte at a chosen place (the file-size limit, with its
// signal ignored, fails the write as a full disk does): the writer fails as
// the disk is full, whether it was writing, holding back or publishing, and
// leaves the old file whole and nothing else behind.
TEST_P(FileWriterTest, AFullDiskAtAnyByteLeavesTheOldFileAndNothingElse) {
  const std::vector<uint8_t> content(200000, 4), old(100, 7);
  for (const IfExists ifExists : {IfExists::Keep, IfExists::Replace}) {
    for (const rlim_t full : {rlim_t{0}, rlim_t{1}, rlim_t{65536}, rlim_t{199999}}) {
      TempDir dir(root(), tidy());
      const std::string target = dir.file("out.zwp");
      if (ifExists == IfExists::Replace) writeBytes(target, old);
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {full, full};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
          FileWriter w(target, ifExists);
          put(w, content);
          w.commit();
        } catch (const Error& e) {
          ::_exit(e.number() == err::DiskFull ? 0 : 2);
        }
        ::_exit(3);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      const std::string place = std::to_string(full) + (ifExists == IfExists::Keep ? ", new" : ", replacing");
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << place << ": status " << status;
      EXPECT_EQ(dir.entries(), ifExists == IfExists::Keep ? std::vector<std::string>{} : std::vector<std::string>{"out.zwp"})
          << place;
      if (ifExists == IfExists::Replace) {
        EXPECT_EQ(readBytes(target), old) << place;
      }
    }
  }
}

TEST(SyncFileSystems, MakesManyFilesDurableBeforeTheyAreNamed) {
  TempDir dir;
  std::vector<std::unique_ptr<FileWriter>> files;
  std::vector<FileWriter*> pointers;
  for (int i = 0; i < 20; ++i) {
    files.push_back(std::make_unique<FileWriter>(dir.file("f" + std::to_string(i)), IfExists::Keep));
    put(*files.back(), {static_cast<uint8_t>(i)});
    pointers.push_back(files.back().get());
  }
  syncFileSystems(pointers);
  EXPECT_EQ(dir.entries().size(), 0u);
  for (FileWriter* f : pointers) f->publish();
  syncFileSystems(pointers);
  EXPECT_EQ(dir.entries().size(), 20u);
  EXPECT_EQ(readBytes(dir.file("f7")), std::vector<uint8_t>{7});
}

}  // namespace
}  // namespace zwp
