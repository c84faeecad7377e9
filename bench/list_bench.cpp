// One refresh of the window's file list for a staging folder of 10, 1,000 and 10,000 MP3s,
// through the list's own interface, on Qt's offscreen platform. Google Benchmark fits the
// growth; it should be no steeper than n log n (the names are sorted).
// Run: cmake --build --preset release --target list_bench && build/release/bin/list_bench

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

#include "window/qt/file_list_box.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder holding `count` small MP3 files, named as a music folder names them, with
// mixed case so that the case-blind sort has work to do. Removed when the object goes.
class StagedFiles {
public:
  explicit StagedFiles(std::int64_t count) {
    std::string base = (fs::temp_directory_path() / "tunelift-list-XXXXXX").string();
    if (mkdtemp(base.data()) == nullptr) {
      throw std::runtime_error("cannot make a temporary folder");
    }
    folder_ = base;
    std::mt19937 shuffle(7);
    for (std::int64_t i = 0; i < count; ++i) {
      const std::string artist =
          (shuffle() % 2 != 0 ? "the " : "The ") + std::to_string(shuffle() % 500);
      std::ofstream(folder_ / (artist + " - Track " + std::to_string(i) + ".mp3")) << "ID3";
    }
  }
  ~StagedFiles() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  std::string Folder() const { return folder_.string(); }

private:
  fs::path folder_;
};

void BM_ListRefresh(benchmark::State& state) {
  const StagedFiles files(state.range(0));
  tunelift::FileListBox list("*.mp3");
  list.SetPath(files.Folder());
  for (auto _ : state) {
    list.Refresh();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ListRefresh)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  // The list is a widget: it needs an application, but no screen.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
