// The converter's hot paths: FormatFixed, the OBJ and ASE writers on a large
// model, and the skin coverage of a 480 x 480 skin.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "big_model.h"
#include "costly_inputs.h"
#include "files.h"
#include "fixed.h"
#include "model_writers.h"
#include "report.h"
#include "state.h"

namespace {

// Coordinates as a model has them: every magnitude from a few units down to a
// few thousandths, both signs.
std::vector<float> CoordinateSample() {
  std::vector<float> values;
  for (int i = 0; i < 4096; ++i) values.push_back(std::ldexp(float(i * 7919 % 10007) - 5003.0f, -(i % 12)));
  return values;
}

void BM_FormatFixed(benchmark::State& state) {
  const std::vector<float> values = CoordinateSample();
  std::string out;
  out.reserve(values.size() * 16);
  for (auto _ : state) {
    out.clear();
    for (float v : values) AppendFixed(out, v, 4, 8);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(values.size()));
}
BENCHMARK(BM_FormatFixed);

// Puts a model into the converter's state, as model mode would.
void LoadIntoState(ConverterState& run, const testdata::ModelRecipe& recipe) {
  testdata::Bytes bytes = testdata::BuildModel(recipe);
  uint8_t* block = bytes.data();
  if (vnlModelLoad(block, uint32_t(bytes.size()), run.item.model) != 0) std::abort();
  run.options.flags = OPT_REPLACE;
  run.options.modelFile = "progs\\big.mdl";
  run.options.baseName = "big";
  run.options.imageExt = "tga";
  run.item.frameName = "frame0";
}

// A 20000-vertex model; each write builds the whole text and puts it on disk
// (a temporary folder), so the rate is in wall-clock time.
class BigModelFixture : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override { LoadIntoState(run_, testdata::BigModel(20000, 4, 480, 480)); }
  void TearDown(const benchmark::State&) override { ReleaseRecords(run_.item); }

 protected:
  void Count(benchmark::State& state) {
    const int64_t vertices = int64_t(run_.item.model.vertexCount) + run_.item.model.seamCount;
    state.SetItemsProcessed(int64_t(state.iterations()) * vertices);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(testdata::ReadFile(run_.options.dstFile).size()));
    state.counters["vertices"] = double(vertices);
  }
  // Each write makes new files: replacing one adds an fsync, which measures the disk.
  void Clear(std::initializer_list<const char*> names, benchmark::State& state) {
    state.PauseTiming();
    for (const char* name : names) std::remove(dir_.file(name).c_str());
    state.ResumeTiming();
  }
  ConverterState run_;
  testdata::TempDir dir_;
};

BENCHMARK_DEFINE_F(BigModelFixture, WriteObj)(benchmark::State& state) {
  run_.options.dstFile = dir_.file("big.obj");
  for (auto _ : state) {
    Clear({"big.obj", "big.mtl"}, state);
    WriteObj(run_.options, run_.item, run_.outcome);
  }
  Count(state);
}
BENCHMARK_REGISTER_F(BigModelFixture, WriteObj)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_DEFINE_F(BigModelFixture, WriteAse)(benchmark::State& state) {
  run_.options.dstFile = dir_.file("big.ase");
  for (auto _ : state) {
    Clear({"big.ase"}, state);
    WriteAse(run_.options, run_.item, run_.outcome);
  }
  Count(state);
}
BENCHMARK_REGISTER_F(BigModelFixture, WriteAse)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int kSkinSide = 480;
constexpr int64_t kSkinCells = int64_t(kSkinSide) * kSkinSide;

// A real model's triangles tile its skin: each one scans little more than its own
// area. 40 x 40 grid cells of 12 x 12 texels, 3200 triangles. Items are skin texels.
void BM_SkinCoverage480Tiled(benchmark::State& state) {
  ConverterState run;
  LoadIntoState(run, testdata::TiledSkinModel(40, 40, kSkinSide, kSkinSide));
  double covered = 0;
  for (auto _ : state) benchmark::DoNotOptimize(covered = SkinCoverage(run.item.model, kSkinSide, kSkinSide));
  state.SetItemsProcessed(int64_t(state.iterations()) * kSkinCells);
  state.counters["triangles"] = run.item.model.triangleCount;
  state.counters["covered_percent"] = covered;
}
BENCHMARK(BM_SkinCoverage480Tiled)->Unit(benchmark::kMicrosecond);

// 64 triangles that each span the whole skin. Items are the cells of their
// bounding boxes, which the scan no longer visits: it walks the rows each triangle
// spans, skips covered cells and stops once every cell is covered.
void BM_SkinCoverage480WholeSkinTriangles(benchmark::State& state) {
  constexpr int kTriangles = 64;
  ConverterState run;
  LoadIntoState(run, testdata::WholeSkinTriangles(kTriangles, kSkinSide, kSkinSide));
  double covered = 0;
  for (auto _ : state) benchmark::DoNotOptimize(covered = SkinCoverage(run.item.model, kSkinSide, kSkinSide));
  state.SetItemsProcessed(int64_t(state.iterations()) * kTriangles * kSkinCells);
  state.counters["covered_percent"] = covered;
}
BENCHMARK(BM_SkinCoverage480WholeSkinTriangles)->Unit(benchmark::kMillisecond);

// The costly case: 65535 slivers of area 1/2, each across most of a 1024 x 1024
// skin, covering almost nothing. Items are the rows the triangles span.
void BM_SkinCoverage1024Slivers(benchmark::State& state) {
  constexpr int kSide = 1024;
  ConverterState run;
  LoadIntoState(run, testdata::SliverModel(65535, kSide));
  int64_t rows = 0;
  const VNLMODEL_T& model = run.item.model;
  for (uint32_t t = 0; t < model.triangleCount; ++t) {
    float low = 1, high = 0;
    for (uint16_t i : model.triangles[t].index) {
      low = std::min(low, model.skinCoords[i].y);
      high = std::max(high, model.skinCoords[i].y);
    }
    rows += int64_t((high - low) * kSide) + 1;
  }
  double covered = 0;
  for (auto _ : state) benchmark::DoNotOptimize(covered = SkinCoverage(run.item.model, kSide, kSide));
  state.SetItemsProcessed(int64_t(state.iterations()) * rows);
  state.counters["covered_percent"] = covered;
}
BENCHMARK(BM_SkinCoverage1024Slivers)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
