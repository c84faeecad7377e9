// How the staging operations scale with the files a user stages.
// Run: cmake --build --preset release --target core_bench && build/release/bin/core_bench

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/native_services.h"
#include "core/staging_area.h"
#include "listing/wildcard.h"

namespace {

namespace fs = std::filesystem;

fs::path MakeProgramFolder() {
  std::string base = (fs::temp_directory_path() / "tunelift-bench-XXXXXX").string();
  if (mkdtemp(base.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder");
  }
  return base;
}

void WriteFile(const fs::path& path, std::size_t size) {
  std::ofstream(path, std::ios::binary) << std::string(size, 'm');
}

void BM_WildcardMatch(benchmark::State& state) {
  const std::string name = "A Rather Long Track Name - Artist - Album (Remastered 2026).MP3";
  for (auto _ : state) {
    benchmark::DoNotOptimize(tunelift::WildcardMatch("*.mp3", name));
  }
}
BENCHMARK(BM_WildcardMatch);

// Copying one chosen file of the given size into the staging folder.
void BM_StageFile(benchmark::State& state) {
  const fs::path root = MakeProgramFolder();
  auto services = tunelift::MakeNativeServices(root.string());
  tunelift::StagingArea area(*services, "bench.example.net");
  area.PrepareFolders();
  WriteFile(root / "song.mp3", static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    area.StageFile((root / "song.mp3").string());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  fs::remove_all(root);
}
BENCHMARK(BM_StageFile)->Arg(64 << 10)->Arg(8 << 20);

// Deleting every staged file at once, for a folder of the given number of files.
void BM_DeleteAllStaged(benchmark::State& state) {
  const fs::path root = MakeProgramFolder();
  auto services = tunelift::MakeNativeServices(root.string());
  tunelift::StagingArea area(*services, "bench.example.net");
  area.PrepareFolders();
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < state.range(0); ++i) {
      WriteFile(root / "temp" / ("track" + std::to_string(i) + ".mp3"), 16);
    }
    state.ResumeTiming();
    area.DeleteAllStaged();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  fs::remove_all(root);
}
BENCHMARK(BM_DeleteAllStaged)->Arg(10)->Arg(1000);

}  // namespace
