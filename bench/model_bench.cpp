// Model loading: the largest real model and a large synthetic one, in MB/s.
#include <benchmark/benchmark.h>

#include "big_model.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

void LoadLoop(benchmark::State& state, testdata::Bytes bytes) {
  uint8_t* block = bytes.data();
  uint32_t length = uint32_t(bytes.size());
  VNLMODEL_T model{};
  for (auto _ : state) {
    if (vnlModelLoad(block, length, model) != 0) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(model.frameVertices);
  }
  vnlModelKill(model);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_ModelLoadLargestCorpusModel(benchmark::State& state) {
  std::string path = testdata::CorpusFile("progs/demon.mdl");
  if (path.empty()) {
    state.SkipWithError("no shared corpus");
    return;
  }
  LoadLoop(state, testdata::ReadFile(path));
}
BENCHMARK(BM_ModelLoadLargestCorpusModel);

void BM_ModelLoadSynthetic2000x500(benchmark::State& state) {
  LoadLoop(state, testdata::BuildModel(testdata::BigModel(2000, 500)));
}
BENCHMARK(BM_ModelLoadSynthetic2000x500)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
