// Model loading (the memory form): the largest real model and a large synthetic
// one, in bytes of model file per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "big_model.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

void LoadLoop(benchmark::State& state, testdata::Bytes bytes) {
  uint8_t* block = bytes.data();
  uint32_t length = uint32_t(bytes.size());
  VNLMODEL_T model{};
  for (auto _ : state) {
    // A load into a loaded record empties it first, so each pass also frees.
    if (vnlModelLoad(block, length, model) != 0) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(model.frameVertices);
  }
  state.counters["vertices_x_frames"] = double(uint64_t(model.vertexCount) * model.frameCount);
  vnlModelKill(model);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

// The largest .mdl of the corpus's progs folder, or "".
std::string LargestCorpusModel() {
  if (testdata::CorpusDir().empty()) return "";
  std::string folder = testdata::CorpusDir() + "/progs";
  std::string largest;
  uintmax_t largestSize = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() != ".mdl" || !entry.is_regular_file(error)) continue;
    uintmax_t size = entry.file_size(error);
    if (!error && size > largestSize) {
      largestSize = size;
      largest = entry.path().string();
    }
  }
  return largest;
}

void BM_ModelLoadLargestCorpusModel(benchmark::State& state) {
  std::string path = LargestCorpusModel();
  if (path.empty()) {
    state.SkipWithError("no shared corpus");
    return;
  }
  state.SetLabel(std::filesystem::path(path).filename().string());
  LoadLoop(state, testdata::ReadFile(path));
}
BENCHMARK(BM_ModelLoadLargestCorpusModel)->Unit(benchmark::kMicrosecond);

void BM_ModelLoadSynthetic2000x500(benchmark::State& state) {
  LoadLoop(state, testdata::BuildModel(testdata::BigModel(2000, 500)));
}
BENCHMARK(BM_ModelLoadSynthetic2000x500)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
