// Model conversion: load a model (and a palette), pick the frame, apply the
// requested operations, then write the model file, the skins, the hint and the report.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "console.h"
#if CORVANE_GLTF
#include "gltf_output.h"
#endif
#include "images.h"
#include "model_writers.h"
#include "modes.h"
#include "report.h"
#include "skin_hint.h"
#include "state.h"
#include "text_rules.h"

namespace {

struct ModelWriter {
  const char* ending;  // lower case, with its dot
  int (*write)(ConverterState& state);
  bool readsStored;  // takes the model as stored (state.stored) besides the model record
  bool finiteOnly;   // stores positions, and the differences between frames, as bounded floats
};

// The model formats, by the output name's ending; the first is the default.
constexpr ModelWriter kModelWriters[] = {
    {".ase", WriteAse, false, false},    {".obj", WriteObj, false, false},
#if CORVANE_GLTF
    {".glb", WriteGlbModel, true, true}, {".gltf", WriteGltfModel, true, true},
#else
    // Built without the JSON library: the names are known, and refused with the reason.
    {".glb", nullptr, false, false},
    {".gltf", nullptr, false, false},
#endif
    {".mdl", WriteMdl, true, false},
};

const ModelWriter* WriterFor(const std::string& name) {
  size_t dot = name.find_last_of(".\\/");
  if (dot == std::string::npos || name[dot] != '.') return nullptr;
  const std::string ending = LowerAscii(name.substr(dot));
  for (const ModelWriter& writer : kModelWriters)
    if (ending == writer.ending) return &writer;
  return nullptr;
}

// A -dst whose name no writer takes is refused before anything is read: the run
// would otherwise end as a success without a model file.
int RefuseDestination(ConverterState& state, const std::string& typed) {
  const ModelWriter* known = WriterFor(state.dstFile);
  if (known != nullptr && known->write == nullptr)
    return FailWith(state, "Model output: \"" + PrintableName(typed) +
                               "\" is a glTF file, and this corvane was built without glTF output");
  std::string accepted;
  for (const ModelWriter& writer : kModelWriters)
    if (writer.write != nullptr) accepted += std::string(accepted.empty() ? "" : ", ") + writer.ending;
  return FailWith(
      state, "Model output: \"" + PrintableName(typed) + "\" is not a model format corvane writes (" + accepted + ")");
}

std::string FrameNameAt(const VNLMODEL_T& model, size_t index) {
  const char* name = model.frameNames[index];
  return std::string(name, std::find(name, name + 16, '\0'));
}

// Keeps the requested frame when the model has it (case and blanks aside, folded
// as the library's vnlFrameNumber folds them), else falls back to the first
// frame's name as stored.
void ChooseFrame(ConverterState& state) {
  const VNLMODEL_T& model = state.model;
  size_t frames = model.frameNames ? size_t(model.frameCount) + model.frameExtra : 0;
  bool found = false;
  for (size_t i = 0; i < frames && !state.frameName.empty() && !found; ++i)
    found = TrimBlanks(LowerAscii(FrameNameAt(model, i))) == state.frameName;
  if (!found) state.frameName.clear();
  if (state.frameName.empty() && frames > 0) state.frameName = FrameNameAt(model, 0);
}

// Sizes below 1 take skin 0's size (its front half with -skinnoback). A model
// without skins keeps them below 1, and then no skin image or hint is made.
void DefaultSkinSize(ConverterState& state) {
  const VNLMODEL_T& model = state.model;
  if (model.skins == nullptr || size_t(model.skinCount) + model.skinExtra == 0) return;
  const VNLPICTURE_T& skin = model.skins[0];
  int32_t width = int32_t(std::min<uint32_t>(skin.width, INT32_MAX));
  int32_t height = int32_t(std::min<uint32_t>(skin.height, INT32_MAX));
  if (state.skinHeight < 1) state.skinHeight = height;
  if (state.skinWidth < 1) state.skinWidth = (state.flags & OPT_SKINNOBACK) ? width / 2 : width;
}

bool Finite(double x, double y, double z) {
  return std::isfinite(float(x)) && std::isfinite(float(y)) && std::isfinite(float(z));
}

// The name of a frame holding a position that is not a finite number, or that
// differs from the chosen frame's by more than a float holds (a morph target);
// "" when there is none. -swapyz has turned the chosen frame only.
std::string FrameNotFinite(const ConverterState& state) {
  const VNLMODEL_T& model = state.model;
  if (model.frameVertices == nullptr) return "";
  const uint64_t stride = uint64_t(model.vertexCount) + model.seamCount;
  const uint64_t frames = uint64_t(model.frameCount) + model.frameExtra;
  const uint64_t base = vnlFrameOffset(model, state.frameName);
  if (base + stride > stride * frames) return "";
  const bool turned = (state.flags & OPT_SWAPYZ) != 0;
  for (uint64_t frame = 0; frame < frames; ++frame)
    for (uint64_t i = 0; i < stride; ++i) {
      const VNLVEC3_T& p = model.frameVertices[frame * stride + i];
      VNLVEC3_T b = model.frameVertices[base + i];
      if (turned) std::swap(b.y, b.z);
      if (!Finite(p.x, p.y, p.z) || !Finite(double(p.x) - b.x, double(p.y) - b.y, double(p.z) - b.z))
        return model.frameNames != nullptr ? FrameNameAt(model, size_t(frame)) : std::to_string(frame);
    }
  return "";
}

// A glTF file with such numbers has bounds no reader accepts: it is refused
// before anything is written. `cause` names what made them.
bool RefuseNotFinite(ConverterState& state, const std::string& cause) {
  const ModelWriter* writer = WriterFor(state.dstFile);
  if (writer == nullptr || !writer->finiteOnly) return false;
  const std::string frame = FrameNotFinite(state);
  if (frame.empty()) return false;
  FailWith(state, cause + " gives frame \"" + PrintableName(frame) +
                      "\" positions that are not finite numbers, which \"" + PrintableName(state.dstFile) +
                      "\" cannot hold");
  return true;
}

void ApplyOperations(ConverterState& state) {
  if (state.flags & OPT_SWAP) vnlModelSwapTris(state.model);
  if (state.flags & OPT_INVH) vnlModelSkinInv(state.model);
  if (state.flags & OPT_SKINNOBACK) vnlModelSkinNoBack(state.model);
  if (state.flags & OPT_SWAPYZ) SwapFrameYZ(state);
}

// The factor as the console shows a float: seven significant digits, and a
// blank where a minus sign would stand.
std::string ShownFactor(float factor) {
  char text[48];
  std::snprintf(text, sizeof text, "%.7g", double(factor));
  std::string shown = text;
  if (!shown.empty() && shown.back() == '.') shown.pop_back();
  return factor < 0 ? shown : " " + shown;
}

void WriteModelFile(ConverterState& state) {
  const ModelWriter* writer = WriterFor(state.dstFile);
  if (writer == nullptr) return;
  ValueLine("  Model:", state.dstFile);
  writer->write(state);
}

void ExportSkins(ConverterState& state) {
  const VNLMODEL_T& model = state.model;
  if (model.skins == nullptr || state.skinWidth < 1 || state.skinHeight < 1) return;
  const VNLPICTURE_T& first = model.skins[0];
  const size_t count = size_t(model.skinCount) + model.skinExtra;
  for (size_t i = 0; i < count; ++i) {
    int32_t level = 0;
    uint32_t* pixels = vnlPictureToRGB(model.skins[i], state.palette, level);
    if (pixels == nullptr) continue;
    SaveImage(state, state.baseName + "_" + std::to_string(i), pixels, int32_t(first.width), int32_t(first.height),
              state.skinWidth, state.skinHeight, (state.flags & OPT_SKINNOBACK) != 0);
    std::free(pixels);
  }
}

}  // namespace

void SwapFrameYZ(ConverterState& state) {
  const VNLMODEL_T& model = state.model;
  if (model.frameVertices == nullptr) return;
  const uint64_t perFrame = uint64_t(model.vertexCount) + model.seamCount;
  const uint64_t total = perFrame * (uint64_t(model.frameCount) + model.frameExtra);
  const uint64_t first = vnlFrameOffset(model, state.frameName);
  if (first + perFrame > total) return;
  for (uint64_t i = first; i < first + perFrame; ++i) {
    VNLVEC3_T& v = model.frameVertices[i];
    std::swap(v.y, v.z);
  }
}

std::string ModelEndings() {
  std::string list;
  for (const ModelWriter& writer : kModelWriters) list += std::string(list.empty() ? "" : " ") + writer.ending;
  return list;
}

bool IsModelOutputName(const std::string& name) {
  const ModelWriter* writer = WriterFor(name);
  return writer != nullptr && writer->write != nullptr;
}

int RunModelConversion(ConverterState& state) {
  if (!state.dstRefused.empty()) return RefuseDestination(state, state.dstRefused);
  SectionLine(":: SOURCES");
  uint8_t* const& held = state.sourceBytes.data;
  int32_t code = held != nullptr ? vnlModelLoad(held, state.sourceBytes.size, state.model)
                                 : vnlModelLoad(state.modelPack, state.modelFile, state.model);
  if (code != 0) return FailWithCode(state, "Source model: ", code);
  // A second read of what the first one accepted, for the writers that take it;
  // without it the glTF only lacks normals and header values.
  const ModelWriter* writer = WriterFor(state.dstFile);
  if (writer != nullptr && writer->readsStored &&
      (held != nullptr
           ? vnlModelDataLoad(held, state.sourceBytes.size, &state.stored)
           : vnlModelDataLoadFile(state.modelPack.c_str(), state.modelFile.c_str(), &state.stored)) != VNL_OK)
    vnlModelDataKill(&state.stored);

  ChooseFrame(state);
  DefaultSkinSize(state);
  ApplyOperations(state);
  ValueLine("  Model:", state.modelFile);
  ValueLine("  Frame:", state.frameName);

  if (!state.paletteFile.empty()) {
    ValueLine("  Palette:", state.paletteFile);
    code = LoadPalette(state);
    if (code != 0) return FailWithCode(state, "Palette: ", code);
  }
  if (RefuseNotFinite(state, "Source model: \"" + PrintableName(state.modelFile) + "\"")) return 1;
  if (state.scale != 0) {
    ValueLabel("  Rescale:");
    ConsoleLine(ShownFactor(state.scale));
    vnlModelScale(state.model, state.scale);
    if (RefuseNotFinite(state, "Rescale: the factor" + ShownFactor(state.scale))) return 1;
  }

  SectionLine(":: OUTPUTS");
  WriteModelFile(state);
  if (!state.paletteFile.empty()) ExportSkins(state);
  if (!state.hintFile.empty() && state.skinWidth >= 1 && state.skinHeight >= 1) BuildSkinHint(state);
  if (!state.reportFile.empty()) WriteReport(state);
  return 0;
}
