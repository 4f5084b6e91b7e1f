// Saving onto a disk that fills up: a small tmpfs, mounted when the tests run
// as root (skipped otherwise).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "bitmap/bmp_writer.h"
#include "cli/batch.h"
#include "fakes.h"
#include "support/scratch_mount.h"
#include "ui/preview_surface.h"

namespace zwp {
namespace {

// A disk of 16 KiB.
class SmallDisk : public test::ScratchMount {
 public:
  explicit SmallDisk(const std::string& at) : ScratchMount(at, 0, "size=16k") {}
};

TEST(FullDisk, SavesFailCleanlyAndTheNextSaveWorks) {
  test::Harness h;
  const SmallDisk disk(h.file("small"));
  if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
  writeBmp24File(h.file("big.bmp"), IfExists::Keep, Picture(128, 128, colourOf(1, 2, 3)));
  ASSERT_TRUE(h.click("big.bmp"));
  const Picture preview = h.form->picbmp->picture();
  test::writeBytes(h.file("small/old.zwp"), {4, 5, 6});
  test::writeBytes(h.file("small/old.bmp"), {7, 8});

  for (const char* target : {"small/old.zwp", "small/old.bmp"}) {
    SCOPED_TRACE(target);
    h.boxes->boxes.clear();
    h.convertTo(h.qfile(target));
    ASSERT_FALSE(h.boxes->boxes.empty());
    EXPECT_EQ(h.boxes->boxes.back().title, "Fehler");
    EXPECT_TRUE(h.boxes->boxes.back().text.startsWith("Datenträger voll")) << h.boxes->boxes.back().text.toStdString();
    EXPECT_EQ(h.form->picbmp->picture(), preview);
    h.form->btnformat_Click();
  }
  EXPECT_EQ(test::readBytes(h.file("small/old.zwp")), (std::vector<uint8_t>{4, 5, 6}));
  EXPECT_EQ(test::readBytes(h.file("small/old.bmp")), (std::vector<uint8_t>{7, 8}));
  EXPECT_EQ(test::TempDir::entriesOf(h.file("small")), (std::vector<std::string>{"old.bmp", "old.zwp"}));

  h.boxes->boxes.clear();
  h.convertTo(h.qfile("fine.zwp"));
  EXPECT_EQ(h.boxes->boxes.back().text, "Speichern erfolgreich");
  EXPECT_EQ(test::readBytes(h.file("fine.zwp")).size(), 33048u);

  std::ostringstream out, err;
  EXPECT_EQ(cli::main({"-f", "-o", h.file("small"), h.file("big.bmp")}, out, err, false), 1);
  EXPECT_NE(err.str().find("Datenträger voll"), std::string::npos) << err.str();
  EXPECT_EQ(test::TempDir::entriesOf(h.file("small")), (std::vector<std::string>{"old.bmp", "old.zwp"}));
}

}  // namespace
}  // namespace zwp
