// Files the user names or drops, the folder the window starts in, and a large
// emblem that must not cover Konvert.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <filesystem>

#include "fakes.h"
#include "support/scratch_mount.h"
#include "support/bmp_builder.h"
#include "ui/dir_list.h"
#include "ui/file_list.h"
#include "ui/preview_surface.h"
#include "ui/qt_platform.h"

namespace zwp {
namespace {

namespace fs = std::filesystem;
using test::Harness;

using test::plainBmp;

TEST(OpenFile, GoesToTheFileTakesItsDirectionAndLoadsIt) {
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* tag;
    int32_t width;
  } cases[] = {{"w.zwp", test::emblemFile(3, 2, {1, 2, 3, 4, 5, 6}), "1", 3},
               {"b.bmp", plainBmp(4, 2), "0", 4},
               {"art.png", test::readBytes(std::string(ZWP_ART_DIR) + "/opaque.png"), "0", 37}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    fs::create_directory(h.file("sub"));
    test::writeBytes(h.file(std::string("sub/") + c.name), c.bytes);
    if (std::string(c.tag) == "0") h.form->btnformat_Click();  // start in the other direction
    h.form->openFile(h.qfile(std::string("sub/") + c.name));
    EXPECT_EQ(h.form->tag(), c.tag);
    EXPECT_EQ(h.form->Dirverzeichnis->path(), h.qfile("sub"));
    EXPECT_EQ(h.form->state().imgWidth, c.width);
    EXPECT_EQ(h.form->picbmp->picture().width(), c.width);
    EXPECT_TRUE(h.boxes->boxes.empty());
  }
}

TEST(OpenFile, SaysWhyAFileCannotBeShown) {
  Harness h;
  test::writeBytes(h.file("deep.bmp"), plainBmp(2, 2, 32));
  test::writeBytes(h.file("noise.png"), std::vector<uint8_t>(100, 0x33));
  test::writeBytes(h.file("bad.zwp"), test::emblemFile(-5, 2, {}));
  const struct {
    const char* name;
    const char* says;
  } cases[] = {{"deep.bmp", "Farbtiefe"}, {"noise.png", "kein Bild"}, {"bad.zwp", "unbrauchbare Größe"},
               {"gone.bmp", "Datei nicht gefunden"}};
  for (const auto& c : cases) {
    h.boxes->boxes.clear();
    h.form->openFile(h.qfile(c.name));
    ASSERT_EQ(h.boxes->boxes.size(), 1u) << c.name;
    EXPECT_EQ(h.boxes->boxes[0].style, 16);
    EXPECT_EQ(h.boxes->boxes[0].title, "Fehler");
    EXPECT_TRUE(h.boxes->boxes[0].text.contains(c.says)) << h.boxes->boxes[0].text.toStdString();
    EXPECT_TRUE(h.boxes->boxes[0].text.contains(c.name));
    EXPECT_EQ(h.form->state().imgWidth, 0) << "nothing loaded";
  }
}

TEST(OpenFile, AskBeforeShrinkingALargePicture) {
  for (const bool yes : {true, false}) {
    Harness h;
    h.boxes->answerYes = yes;
    fs::copy_file(std::string(ZWP_ART_DIR) + "/wide.png", h.file("wide.png"));
    h.form->openFile(h.qfile("wide.png"));
    ASSERT_EQ(h.boxes->boxes.size(), 1u);
    EXPECT_EQ(h.boxes->boxes[0].style, 32);
    EXPECT_TRUE(h.boxes->boxes[0].text.contains("300 × 200")) << h.boxes->boxes[0].text.toStdString();
    EXPECT_EQ(h.form->state().imgWidth, yes ? 128 : 0);
    EXPECT_EQ(h.form->state().imgHeight, yes ? 85 : 0);
  }
}

TEST(OpenFile, ADroppedFileOpensLikeANamedOne) {
  Harness h;
  test::writeBytes(h.file("drop.zwp"), test::emblemFile(2, 1, {0xF800, 0x001F}));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(h.qfile("drop.zwp"))});
  QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(h.form.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(h.form.get(), &drop);
  EXPECT_EQ(h.form->tag(), "1");
  EXPECT_EQ(h.form->picbmp->pixel(0, 0), colourOf(255, 0, 0));
}

// A folder nobody may write to, root included: a read-only file system when
// the tests run as root, else a folder without write permission.
class ReadOnlyFolder : public test::ScratchMount {
 public:
  explicit ReadOnlyFolder(const std::string& at) : ScratchMount(at, MS_RDONLY, "size=4k") {
    if (!mounted()) fs::permissions(at, fs::perms::owner_read | fs::perms::owner_exec);
  }
};

TEST(StartFolder, ProgramFolderWhenWritableElseHomeUnlessAZorbelFolderWasChosen) {
  test::TempDir dir;
  const ReadOnlyFolder locked(dir.file("installed"));
  fs::create_directory(dir.file("zorbel"));
  const QString settings = QString::fromStdString(dir.file("settings.ini"));
  const QString installed = QString::fromStdString(dir.file("installed"));
  const QString zorbel = QString::fromStdString(dir.file("zorbel"));

  const Harness writable;
  EXPECT_EQ(writable.form->Dirverzeichnis->path(), writable.programDir());
  const Harness unwritable({}, true, {}, installed, settings);
  EXPECT_EQ(unwritable.form->Dirverzeichnis->path(), QDir::homePath());
  EXPECT_EQ(unwritable.form->startDirectory(), QDir::homePath());
  EXPECT_EQ(Harness({}, true, {}, QStringLiteral("/usr/bin"), settings).form->startDirectory(), QDir::homePath())
      << "root may write there, but it is no place to start in";

  // Choosing a Zorbel folder is remembered by the next start, and the save dialog opens there.
  Harness chooser({}, true, [&](const QString&) { return zorbel; }, installed, settings);
  chooser.form->MnuEinstellungItem->trigger();
  Harness next({}, true, {}, installed, settings);
  EXPECT_EQ(next.form->Dirverzeichnis->path(), zorbel);
  next.convertTo(std::nullopt);
  ASSERT_EQ(next.dialog->shown.size(), 1u);
  EXPECT_EQ(next.dialog->shown[0].initDir, zorbel);

  // A remembered folder that is gone falls back again.
  fs::remove(dir.file("zorbel"));
  const Harness gone({}, true, {}, installed, settings);
  EXPECT_EQ(gone.form->Dirverzeichnis->path(), QDir::homePath());

  EXPECT_TRUE(ui::qtPlatform().settingsFile.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")))
      << "the setting lives in the user's configuration folder";
}

}  // namespace
}  // namespace zwp
