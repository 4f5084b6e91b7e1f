// zwpconv writes byte for byte what the window writes for the same picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/batch.h"
#include "support/zwpconv_run.h"
#include "fakes.h"

namespace zwp {
namespace {

int zwpconv(const std::vector<std::string>& args) { return test::zwpconv(args).status; }

TEST(ZwpconvAndWindow, WriteIdenticalFilesForEveryBitmapKind) {
  test::Harness h;
  std::filesystem::create_directory(h.file("cli"));
  int compared = 0;
  for (const test::Fixture& f : test::fixtures()) {
    const std::string& bmp = f.bmp;
    SCOPED_TRACE(bmp);
    const std::string stem = bmp.substr(0, bmp.size() - 4);
    std::filesystem::copy_file(test::fixturePath(bmp), h.file(bmp), std::filesystem::copy_options::overwrite_existing);
    if (f.headerSize == 12) {
      // OS/2 1.x headers keep their size where the window does not look: both refuse them.
      EXPECT_EQ(zwpconv({"-o", h.file("cli"), h.file(bmp)}), 1);
      EXPECT_FALSE(std::filesystem::exists(h.file("cli/" + stem + ".zwp")));
      continue;
    }

    if (h.form->tag() != "0") h.form->btnformat_Click();
    ASSERT_TRUE(h.click(bmp));
    h.convertTo(h.qfile(stem + ".zwp"));
    ASSERT_EQ(zwpconv({"-f", "-o", h.file("cli"), h.file(bmp)}), 0);
    EXPECT_EQ(test::readBytes(h.file("cli/" + stem + ".zwp")), test::readBytes(h.file(stem + ".zwp")));

    h.form->btnformat_Click();
    ASSERT_TRUE(h.click(stem + ".zwp"));
    h.convertTo(h.qfile(stem + ".out.bmp"));
    ASSERT_EQ(zwpconv({"-f", "-o", h.file("cli"), h.file(stem + ".zwp")}), 0);
    EXPECT_EQ(test::readBytes(h.file("cli/" + stem + ".bmp")), test::readBytes(h.file(stem + ".out.bmp")));
    ++compared;
  }
  EXPECT_GE(compared, 14);
}

}  // namespace
}  // namespace zwp
