#include "core/byte_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/byte_input.h"
#include "core/error.h"
#include "support/expect_error.h"
#include "support/test_files.h"

namespace zwp {
namespace {

using test::errorNumberOf;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

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
  // The same when a folder listing said the name was a regular file.
  for (const FileKind kind : {FileKind::Unknown, FileKind::ListedRegular}) {
    EXPECT_EQ(errorNumberOf([&] { FileInput r(dir.file("x.bmp"), kind); }), err::PathFileAccess);
    EXPECT_EQ(errorNumberOf([&] { FileInput r(dir.file("fifo.bmp"), kind); }), err::PathFileAccess);
    EXPECT_EQ(errorNumberOf([&] { FileInput r(dir.file("missing.bmp"), kind); }), err::FileNotFound);
  }
}

// Reads by position across the window's edges give the file's bytes; a file
// that shrinks while it is read is cut, never garbage.
TEST(FileInput, ReadsAcrossItsWindowAndRefusesWhatIsGone) {
  TempDir dir;
  std::vector<uint8_t> bytes(3u << 20);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 4099);
  writeBytes(dir.file("a"), bytes);
  writeBytes(dir.file("small"), {1, 2, 3});
  for (const FileKind kind : {FileKind::Unknown, FileKind::ListedRegular}) {
    FileInput small(dir.file("small"), kind);
    EXPECT_EQ(small.size(), 3u);
    EXPECT_EQ(FileInput(dir.file("a"), kind).size(), bytes.size());
  }
  FileInput in(dir.file("a"), FileKind::ListedRegular);
  for (const uint64_t at : {uint64_t{0}, (uint64_t{1} << 20) - 3, uint64_t{5}, bytes.size() - 4}) {
    const std::span<const uint8_t> got = in.at(at, 4);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at))) << at;
  }
  EXPECT_EQ(test::refusalOf([&] { in.at(bytes.size() - 3, 4); }), Refusal::Damaged);
  ASSERT_EQ(::truncate(dir.file("a").c_str(), 1000), 0);
  EXPECT_EQ(test::refusalOf([&] { in.at(2u << 20, 4); }), Refusal::Damaged);
}

}  // namespace
}  // namespace zwp
