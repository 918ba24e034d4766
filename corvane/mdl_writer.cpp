// The alias model file: the source model as stored, written back by the library;
// with -scale its positions are rescaled and put on a lattice fitted anew. What
// was written is read back, so that the figures the console gives are the file's.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console.h"
#include "model_writers.h"
#include "output.h"

namespace {

// What the engines load: a model past one of these is refused or misdrawn.
struct EngineLimit {
  const char* what;
  uint32_t limit;
  const char* engine;
};

constexpr EngineLimit kVertexLimits[] = {{"vertices", 2000, "QuakeSpasm"}, {"vertices", 1024, "GLQuake"}};
constexpr EngineLimit kTriangleLimit = {"triangles", 4096, "QuakeSpasm"};
constexpr EngineLimit kFrameLimit = {"frames", 256, "QuakeSpasm"};
constexpr EngineLimit kSkinLimit = {"skins", 32, "QuakeSpasm"};

// The model's data record, freed when the writer ends.
struct DataRecord {
  VNLMODELDATA_T m{};
  ~DataRecord() { vnlModelDataKill(&m); }
};

struct Block {
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  ~Block() { std::free(bytes); }
};

VNLVEC3_T Decode(const VNLMODELDATA_T& m, const VNLTRIVERTEX_T& v) {
  return VNLVEC3_T{float(double(v.v[0]) * m.scale.x + m.origin.x), float(double(v.v[1]) * m.scale.y + m.origin.y),
                   float(double(v.v[2]) * m.scale.z + m.origin.z)};
}

// Every frame's positions, scaled about the game's origin as the other model
// outputs scale them.
std::vector<VNLVEC3_T> ScaledPositions(const VNLMODELDATA_T& m, float factor) {
  const uint64_t count = uint64_t(m.frameCount) * m.vertexCount;
  std::vector<VNLVEC3_T> positions(count);
  const double f = factor;
  for (uint64_t i = 0; i < count; ++i) {
    const VNLVEC3_T p = Decode(m, m.frameVertices[i]);
    positions[i] = VNLVEC3_T{float(f * p.x), float(f * p.y), float(f * p.z)};
  }
  return positions;
}

// The farthest any written position lies from the one asked for, on any axis.
double LargestError(const VNLMODELDATA_T& written, const std::vector<VNLVEC3_T>& wanted) {
  double largest = 0.0;
  for (size_t i = 0; i < wanted.size(); ++i) {
    const VNLVEC3_T got = Decode(written, written.frameVertices[i]);
    largest = std::max({largest, std::fabs(double(got.x) - wanted[i].x), std::fabs(double(got.y) - wanted[i].y),
                        std::fabs(double(got.z) - wanted[i].z)});
  }
  return largest;
}

std::string Shown(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

void SayLimit(const EngineLimit& limit, uint32_t count) {
  if (count > limit.limit)
    ConsoleLine("  Warning:  " + std::to_string(count) + " " + limit.what + ", past the " +
                std::to_string(limit.limit) + " " + limit.engine + " loads");
}

// Texels of the colours the engine draws unlit, whatever the light.
uint64_t FullbrightTexels(const VNLMODELDATA_T& m) {
  constexpr uint8_t kFirstFullbright = 224;
  uint64_t count = 0;
  const uint64_t texels = uint64_t(m.skinWidth) * m.skinHeight;
  for (uint32_t k = 0; k < m.skinCount; ++k)
    for (uint64_t i = 0; i < texels; ++i) count += m.skins[k].pixels[i] >= kFirstFullbright ? 1 : 0;
  return count;
}

void SayWritten(const VNLMODELDATA_T& m, const std::vector<VNLVEC3_T>& wanted) {
  uint32_t seam = 0;
  for (uint32_t i = 0; i < m.vertexCount; ++i) seam += m.skinVertices[i].onSeam != 0 ? 1 : 0;
  ValueLine("  Counts:", std::to_string(m.vertexCount) + " vertices (" + std::to_string(seam) + " on the seam), " +
                             std::to_string(m.triangleCount) + " triangles, " + std::to_string(m.frameCount) +
                             " frames, " + std::to_string(m.skinCount) + " skins");
  ValueLine("  Skins:", std::to_string(m.skinWidth) + " x " + std::to_string(m.skinHeight) + ", " +
                            std::to_string(FullbrightTexels(m)) + " fullbright texels");
  ValueLine("  Lattice:", Shown(m.scale.x) + " " + Shown(m.scale.y) + " " + Shown(m.scale.z) + " per step");
  ValueLine("  Rounding:",
            wanted.empty() ? std::string("none (stored positions kept)") : Shown(LargestError(m, wanted)) + " at most");
  for (const EngineLimit& limit : kVertexLimits) SayLimit(limit, m.vertexCount);
  SayLimit(kTriangleLimit, m.triangleCount);
  SayLimit(kFrameLimit, m.frameCount);
  SayLimit(kSkinLimit, m.skinCount);
}

std::string CodeText(int32_t code) {
  std::string text = "code " + std::to_string(code);
  vnlErrorString(code, text);
  return text;
}

}  // namespace

void WriteMdl(const RunOptions& options, const ItemState& item, RunOutcome& outcome) {
  // The model mode read the stored model already; only when that read failed is
  // it tried again here, for the code to report.
  DataRecord failed;
  if (item.stored.frameCount == 0) {
    int32_t code = vnlModelDataLoadFile(options.modelPack.c_str(), options.modelFile.c_str(), &failed.m);
    FailOutput(outcome, options.dstFile, CodeText(code == VNL_OK ? VNL_MDL_NO_FRAME : code));
    return;
  }
  // A shallow copy: the saver reads it, and the positions set on it stay ours.
  VNLMODELDATA_T source = item.stored;
  // A factor of 0 or 1 changes nothing (as for the other outputs): the stored
  // vertices are then written as they are, byte for byte.
  // A glTF source was put on a lattice when it was read: its positions say how far.
  std::vector<VNLVEC3_T> wanted = item.sourcePositions;
  if (std::isfinite(options.scale) && options.scale != 0.0f && options.scale != 1.0f) {
    wanted = ScaledPositions(source, options.scale);
    source.framePositions = wanted.data();
    source.scale = VNLVEC3_T{0, 0, 0};
  }
  Block block;
  int32_t code = vnlModelSave(&source, &block.bytes, &block.length);
  if (code != VNL_OK) {
    FailOutput(outcome, options.dstFile, CodeText(code));
    return;
  }
  DataRecord written;
  if (vnlModelDataLoad(block.bytes, block.length, &written.m) == VNL_OK) SayWritten(written.m, wanted);
  WriteOutput(options, outcome, options.dstFile, block.bytes, block.length);
}
