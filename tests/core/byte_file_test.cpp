#include "core/byte_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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
}

}  // namespace
}  // namespace zwp
