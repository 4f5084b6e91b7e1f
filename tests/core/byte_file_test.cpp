#include "core/byte_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/error.h"
#include "support/test_files.h"

namespace zwp {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

int errorNumberOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

TEST(FileReader, ReadsForwardAndZeroFillsPastTheEnd) {
  TempDir dir;
  writeBytes(dir.file("a"), {1, 2, 3});
  FileReader in(dir.file("a"));
  EXPECT_EQ(in.fileSize(), 3u);
  uint8_t buf[5] = {9, 9, 9, 9, 9};
  in.skip(1);
  in.readZeroFilled(buf, 5);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 5), (std::vector<uint8_t>{2, 3, 0, 0, 0}));
}

TEST(FileReader, RefusesWhatIsNoReadableFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("x.bmp"));
  ASSERT_EQ(::mkfifo(dir.file("fifo.bmp").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.file("gone"), dir.file("dangling.bmp"));

  EXPECT_EQ(errorNumberOf([&] { FileReader r(dir.file("missing.bmp")); }), err::FileNotFound);
  EXPECT_EQ(errorNumberOf([&] { FileReader r(dir.file("x.bmp")); }), err::PathFileAccess);
  EXPECT_EQ(errorNumberOf([&] { FileReader r(dir.file("fifo.bmp")); }), err::PathFileAccess);
  EXPECT_EQ(errorNumberOf([&] { FileReader r(dir.file("dangling.bmp")); }), err::FileNotFound);
}

TEST(AtomicFileWriter, ReplacesTargetOnlyOnCommit) {
  TempDir dir;
  const std::string target = dir.file("out.zwp");
  writeBytes(target, std::vector<uint8_t>(100, 7));
  {
    AtomicFileWriter w(target);
    const uint8_t data[] = {1, 2};
    w.write(data, 2);
    EXPECT_EQ(readBytes(target).size(), 100u) << "old file stays until commit";
    w.commit();
  }
  EXPECT_EQ(readBytes(target), (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.zwp"});
}

TEST(AtomicFileWriter, AbandonedWriteLeavesOldFileAndNoTemporary) {
  TempDir dir;
  const std::string target = dir.file("out.zwp");
  writeBytes(target, {5, 5, 5});
  {
    AtomicFileWriter w(target);
    std::vector<uint8_t> big(200000, 1);
    w.write(big.data(), big.size());
  }
  EXPECT_EQ(readBytes(target), (std::vector<uint8_t>{5, 5, 5}));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.zwp"});
}

TEST(AtomicFileWriter, BadTargetsFailWithClearNumbers) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("adir"));
  writeBytes(dir.file("afile"), {1});
  EXPECT_EQ(errorNumberOf([&] { AtomicFileWriter w(dir.file("missing/x.zwp")); }), err::PathNotFound);
  EXPECT_EQ(errorNumberOf([&] { AtomicFileWriter w(dir.file("afile/x.zwp")); }), err::PathNotFound);
  EXPECT_EQ(errorNumberOf([&] { AtomicFileWriter w(dir.file("adir")); }), err::PathFileAccess);
  EXPECT_EQ(errorNumberOf([&] { AtomicFileWriter w(""); }), err::FileNotFound);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"adir", "afile"}));
}

TEST(AtomicFileWriter, KeepsPermissionsOfReplacedFile) {
  TempDir dir;
  const std::string target = dir.file("keep.bmp");
  writeBytes(target, {1});
  ::chmod(target.c_str(), 0640);
  AtomicFileWriter w(target);
  w.commit();
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace zwp
