// A 128 x 128 emblem save through the real window, with the dialog and the
// boxes scripted away, including the per-row progress painting. Run it on a
// real X server: xvfb-run -a build-bench/bench/window_save_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>

#include "bitmap/bmp_writer.h"
#include "core/error.h"
#include "ui/file_list.h"
#include "ui/form1.h"

namespace {

namespace fs = std::filesystem;

class SilentBoxes final : public zwp::ui::MessageBoxes {
 public:
  void show(const QString&, int, const QString&) override {}
  bool ask(const QString&, const QString&) override { return true; }
};

class FixedDialog final : public zwp::ui::SaveDialog {
 public:
  explicit FixedDialog(QString answer) : answer_(std::move(answer)) {}
  void ShowSave() override { FileName = answer_; }

 private:
  QString answer_;
};

class OneDrive final : public zwp::ui::DriveProvider {
 public:
  QList<zwp::ui::Drive> drives() const override { return {{QStringLiteral("/"), QString()}}; }
};

void EmblemSave128(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / "zwp-window-bench";
  fs::create_directories(dir);
  zwp::Picture picture(128, 128);
  for (size_t i = 0; i < picture.pixels().size(); ++i) picture.pixels()[i] = static_cast<int32_t>((i * 2654435761u) & 0xFFFFFF);
  zwp::writeBmp24File((dir / "bench.bmp").string(), zwp::IfExists::Replace, picture);

  zwp::ui::Platform platform;
  platform.drives = std::make_unique<OneDrive>();
  platform.saveDialog = std::make_unique<FixedDialog>(QString::fromStdString((dir / "bench.zwp").string()));
  platform.messageBoxes = std::make_unique<SilentBoxes>();
  platform.programDir = QString::fromStdString(dir.string());
  zwp::ui::Form1 form(std::move(platform));
  form.Form_Load();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  form.Fildatei->selectFile(QStringLiteral("bench.bmp"));
  form.Fildatei_Click();
  if (form.state().imgWidth != 128) state.SkipWithError("picture did not load");

  for (auto _ : state) {
    form.cmdconvert_Click();
    QApplication::processEvents();
  }
  fs::remove_all(dir);
}

}  // namespace

BENCHMARK(EmblemSave128)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
