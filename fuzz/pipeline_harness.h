// The converter's model path on one input, shared by the pipeline fuzz target and
// the test that replays tests/regressions/fuzz_pipeline/: load, every model
// operation, the frame lookup, then the OBJ, ASE and report writers into a
// folder. Returns "" when all went as promised, else what did not.
#ifndef FUZZ_PIPELINE_HARNESS_H
#define FUZZ_PIPELINE_HARNESS_H

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "harness.h"
#include "model_writers.h"
#include "modes.h"
#include "report.h"
#include "state.h"

namespace harness {

inline std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The OBJ must hold one position and one skin coordinate per vertex of the
// frame, one face per triangle, and faces may only name those vertices.
inline std::string CheckObj(const std::string& text, const VNLMODEL_T& model) {
  const uint64_t vertices = uint64_t(model.vertexCount) + model.seamCount;
  uint64_t positions = 0, coords = 0, faces = 0;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, 2, "v ") == 0)
      ++positions;
    else if (line.compare(0, 3, "vt ") == 0)
      ++coords;
    else if (line.compare(0, 2, "f ") == 0) {
      ++faces;
      std::istringstream corners(line.substr(2));
      unsigned long long index = 0, coord = 0;
      char slash = 0;
      for (int k = 0; k < 3; ++k) {
        if (!(corners >> index >> slash >> coord) || slash != '/' || index == 0 || index > vertices || coord != index)
          return "an OBJ face names a vertex the file does not have: " + line;
      }
    }
  }
  if (positions != vertices || coords != vertices) return "the OBJ's vertex lines do not match the model";
  if (faces != model.triangleCount) return "the OBJ's face lines do not match the model";
  return "";
}

inline std::string Pipeline(const uint8_t* bytes, size_t size, const std::string& folder) {
  ConverterState state;  // one run, thrown away at the end
  Block block(bytes, size);
  const int32_t code = vnlModelLoad(block.data, block.length, state.item.model);
  if (code != VNL_OK) {
    return "";  // the loader's own codes are the model target's concern
  }

  state.options.flags = OPT_REPLACE | OPT_SKINNOBACK | OPT_SWAPYZ;
  state.options.modelFile = "progs\\fuzz.mdl";
  state.options.baseName = "fuzz";
  state.options.imageExt = "tga";
  // The last frame: the lookup walks every name before it.
  const VNLMODEL_T& model = state.item.model;
  const uint32_t frames = uint32_t(model.frameCount) + model.frameExtra;
  state.item.frameName = std::string(model.frameNames[frames - 1], strnlen(model.frameNames[frames - 1], 16));
  vnlModelSwapTris(state.item.model);
  vnlModelSkinInv(state.item.model);
  vnlModelSkinNoBack(state.item.model);
  vnlModelScale(state.item.model, 1.5f);
  SwapFrameYZ(state.item.model, state.item.frameName);

  const std::string obj = folder + "/out.obj", ase = folder + "/out.ase", report = folder + "/out.txt";
  std::remove(obj.c_str());
  state.options.dstFile = obj;
  WriteObj(state.options, state.item, state.outcome);
  state.options.dstFile = ase;
  WriteAse(state.options, state.item, state.outcome);
  state.options.reportFile = report;
  WriteReport(state.options, state.item, state.outcome);

  std::string problem = CheckObj(ReadWhole(obj), state.item.model);
  if (problem.empty() && ReadWhole(ase).find("*MESH_NUMFACES") == std::string::npos)
    problem = "the ASE scene lacks its mesh";
  if (problem.empty() && ReadWhole(report).find("MODEL INFOS") == std::string::npos)
    problem = "the report lacks the model";
  return problem;
}

}  // namespace harness

#endif  // FUZZ_PIPELINE_HARNESS_H
