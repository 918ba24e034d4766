// The converter's hot paths: FormatFixed, the OBJ and ASE writers on a large
// model, and the skin coverage of a 480 x 480 skin.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "big_model.h"
#include "files.h"
#include "fixed.h"
#include "model_writers.h"
#include "report.h"
#include "state.h"

namespace {

void BM_FormatFixed(benchmark::State& state) {
  std::vector<float> values;
  for (int i = 0; i < 4096; ++i) values.push_back(std::ldexp(float(i * 7919 % 10007) - 5003.0f, -(i % 12)));
  std::string out;
  for (auto _ : state) {
    out.clear();
    for (float v : values) AppendFixed(out, v, 4, 8);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(values.size()));
}
BENCHMARK(BM_FormatFixed);

// Loads a 20000-vertex model into the converter's state, as model mode would.
class BigModelFixture : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    ResetState();
    bytes_ = testdata::BuildModel(testdata::BigModel(20000, 4, 480, 480));
    uint8_t* block = bytes_.data();
    vnlModelLoad(block, uint32_t(bytes_.size()), gState.model);
    gState.flags = OPT_REPLACE;
    gState.modelFile = "progs\\big.mdl";
    gState.baseName = "big";
    gState.imageExt = "tga";
    gState.frameName = "frame0";
  }
  void TearDown(const benchmark::State&) override { ResetState(); }

 protected:
  testdata::Bytes bytes_;
  testdata::TempDir dir_;
};

BENCHMARK_F(BigModelFixture, WriteObj)(benchmark::State& state) {
  gState.dstFile = dir_.file("big.obj");
  for (auto _ : state) WriteObj();
  state.SetItemsProcessed(int64_t(state.iterations()) * (gState.model.vertexCount + gState.model.seamCount));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(testdata::ReadFile(gState.dstFile).size()));
}

BENCHMARK_F(BigModelFixture, WriteAse)(benchmark::State& state) {
  gState.dstFile = dir_.file("big.ase");
  for (auto _ : state) WriteAse();
  state.SetItemsProcessed(int64_t(state.iterations()) * (gState.model.vertexCount + gState.model.seamCount));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(testdata::ReadFile(gState.dstFile).size()));
}

BENCHMARK_F(BigModelFixture, SkinCoverage480)(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(SkinCoverage(480, 480));
  state.SetItemsProcessed(int64_t(state.iterations()) * gState.model.triangleCount);
}

}  // namespace

BENCHMARK_MAIN();
