// Model conversion: load a model (and a palette), pick the frame, apply the
// requested operations, then write the model file, the skins, the hint and the report.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "console.h"
#if CORVANE_GLTF_SOURCES
#include "gltf_source.h"
#endif
#include "model_writers.h"
#include "modes.h"
#include "report.h"
#include "skin_hint.h"
#include "state.h"
#include "text_rules.h"

namespace {

// A -dst whose name no writer takes is refused before anything is read: the run
// would otherwise end as a success without a model file.
int RefuseDestination(const RunOptions& options, RunOutcome& outcome, const std::string& typed) {
  const ModelWriter* known = ModelWriterFor(options.dstFile);
  if (known != nullptr && known->write == nullptr)
    return FailWith(outcome, "Model output: \"" + PrintableName(typed) +
                                 "\" is a glTF file, and this corvane was built without glTF output");
  return FailWith(outcome, "Model output: \"" + PrintableName(typed) + "\" is not a model format corvane writes (" +
                               WrittenModelEndings() + ")");
}

bool IsGltfSource(const std::string& name) {
  const size_t dot = name.find_last_of(".\\/");
  if (dot == std::string::npos || name[dot] != '.') return false;
  const std::string ending = LowerAscii(name.substr(dot));
  return ending == ".glb" || ending == ".gltf";
}

// The source as a model record and as stored: an .mdl read twice (the second read
// only for the writers that take it), a glTF file read once and made an .mdl.
int LoadSource(const RunOptions& options, ItemState& item, RunOutcome& outcome) {
  if (IsGltfSource(options.modelFile)) {
#if CORVANE_GLTF_SOURCES
    return LoadGltfSource(options, item, outcome);
#else
    return FailWith(outcome, "Source model: \"" + PrintableName(options.modelFile) +
                                 "\" is a glTF file, and this corvane was built without glTF sources");
#endif
  }
  // The loaders clean the names they are handed: they get copies. A batch may
  // have read the member already.
  std::string pack = options.modelPack, file = options.modelFile;
  uint8_t* const& held = item.sourceBytes.data;
  int32_t code =
      held != nullptr ? vnlModelLoad(held, item.sourceBytes.size, item.model) : vnlModelLoad(pack, file, item.model);
  if (code != 0) return FailWith(outcome, "Source model: ", code);
  // Without the second read the glTF only lacks normals and header values.
  const ModelWriter* writer = ModelWriterFor(options.dstFile);
  if (writer != nullptr && writer->readsStored &&
      (held != nullptr
           ? vnlModelDataLoad(held, item.sourceBytes.size, &item.stored)
           : vnlModelDataLoadFile(options.modelPack.c_str(), options.modelFile.c_str(), &item.stored)) != VNL_OK)
    vnlModelDataKill(&item.stored);
  return 0;
}

std::string FrameNameAt(const VNLMODEL_T& model, size_t index) {
  const char* name = model.frameNames[index];
  return std::string(name, std::find(name, name + 16, '\0'));
}

// Keeps the requested frame when the model has it (case and blanks aside, folded
// as the library's vnlFrameNumber folds them), else falls back to the first
// frame's name as stored.
void ChooseFrame(const RunOptions& options, ItemState& item) {
  const VNLMODEL_T& model = item.model;
  size_t frames = model.frameNames ? size_t(model.frameCount) + model.frameExtra : 0;
  item.frameName = options.frameName;
  bool found = false;
  for (size_t i = 0; i < frames && !item.frameName.empty() && !found; ++i)
    found = TrimBlanks(LowerAscii(FrameNameAt(model, i))) == item.frameName;
  if (!found) item.frameName.clear();
  if (item.frameName.empty() && frames > 0) item.frameName = FrameNameAt(model, 0);
}

// Sizes below 1 take skin 0's size (its front half with -skinnoback). A model
// without skins keeps them below 1, and then no skin image or hint is made.
void DefaultSkinSize(const RunOptions& options, ItemState& item) {
  item.skinWidth = options.skinWidth;
  item.skinHeight = options.skinHeight;
  const VNLMODEL_T& model = item.model;
  if (model.skins == nullptr || size_t(model.skinCount) + model.skinExtra == 0) return;
  const VNLPICTURE_T& skin = model.skins[0];
  int32_t width = int32_t(std::min<uint32_t>(skin.width, INT32_MAX));
  int32_t height = int32_t(std::min<uint32_t>(skin.height, INT32_MAX));
  if (item.skinHeight < 1) item.skinHeight = height;
  if (item.skinWidth < 1) item.skinWidth = (options.flags & OPT_SKINNOBACK) ? width / 2 : width;
}

bool Finite(double x, double y, double z) {
  return std::isfinite(float(x)) && std::isfinite(float(y)) && std::isfinite(float(z));
}

// The name of a frame holding a position that is not a finite number, or that
// differs from the chosen frame's by more than a float holds (a morph target);
// "" when there is none. -swapyz has turned the chosen frame only.
std::string FrameNotFinite(const RunOptions& options, const ItemState& item) {
  const VNLMODEL_T& model = item.model;
  if (model.frameVertices == nullptr) return "";
  const uint64_t stride = uint64_t(model.vertexCount) + model.seamCount;
  const uint64_t frames = uint64_t(model.frameCount) + model.frameExtra;
  const uint64_t base = vnlFrameOffset(model, item.frameName);
  if (base + stride > stride * frames) return "";
  const bool turned = (options.flags & OPT_SWAPYZ) != 0;
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
bool RefuseNotFinite(const RunOptions& options, const ItemState& item, RunOutcome& outcome, const std::string& cause) {
  const ModelWriter* writer = ModelWriterFor(options.dstFile);
  if (writer == nullptr || !writer->finiteOnly) return false;
  const std::string frame = FrameNotFinite(options, item);
  if (frame.empty()) return false;
  FailWith(outcome, cause + " gives frame \"" + PrintableName(frame) +
                        "\" positions that are not finite numbers, which \"" + PrintableName(options.dstFile) +
                        "\" cannot hold");
  return true;
}

void ApplyOperations(const RunOptions& options, ItemState& item) {
  if (options.flags & OPT_SWAP) vnlModelSwapTris(item.model);
  if (options.flags & OPT_INVH) vnlModelSkinInv(item.model);
  if (options.flags & OPT_SKINNOBACK) vnlModelSkinNoBack(item.model);
  if (options.flags & OPT_SWAPYZ) SwapFrameYZ(item.model, item.frameName);
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

void WriteModelFile(const RunOptions& options, const ItemState& item, RunOutcome& outcome) {
  const ModelWriter* writer = ModelWriterFor(options.dstFile);
  if (writer == nullptr) return;
  ValueLine("  Model:", options.dstFile);
  writer->write(options, item, outcome);
}

}  // namespace

void SwapFrameYZ(VNLMODEL_T& model, const std::string& frameName) {
  if (model.frameVertices == nullptr) return;
  const uint64_t perFrame = uint64_t(model.vertexCount) + model.seamCount;
  const uint64_t total = perFrame * (uint64_t(model.frameCount) + model.frameExtra);
  const uint64_t first = vnlFrameOffset(model, frameName);
  if (first + perFrame > total) return;
  for (uint64_t i = first; i < first + perFrame; ++i) {
    VNLVEC3_T& v = model.frameVertices[i];
    std::swap(v.y, v.z);
  }
}

int RunModelConversion(const RunOptions& options, ItemState& item, RunOutcome& outcome) {
  if (!options.dstRefused.empty()) return RefuseDestination(options, outcome, options.dstRefused);
  SectionLine(":: SOURCES");
  if (LoadSource(options, item, outcome) != 0) return 1;
  const ModelWriter* writer = ModelWriterFor(options.dstFile);

  ChooseFrame(options, item);
  DefaultSkinSize(options, item);
  ApplyOperations(options, item);
  ValueLine("  Model:", NameAsRead(options.modelPack, options.modelFile));
  ValueLine("  Frame:", item.frameName);

  if (!options.paletteFile.empty()) {
    ValueLine("  Palette:", options.paletteFile);
    const int32_t code = LoadPalette(options, item);
    if (code != 0) return FailWith(outcome, "Palette: ", code);
  }
  const std::string source =
      "Source model: \"" + PrintableName(NameAsRead(options.modelPack, options.modelFile)) + "\"";
  if (RefuseNotFinite(options, item, outcome, source)) return 1;
  if (options.scale != 0) {
    ValueLabel("  Rescale:");
    ConsoleLine(ShownFactor(options.scale));
    vnlModelScale(item.model, options.scale);
    if (RefuseNotFinite(options, item, outcome, "Rescale: the factor" + ShownFactor(options.scale))) return 1;
  }

  SectionLine(":: OUTPUTS");
  WriteModelFile(options, item, outcome);
  const bool skinsEmbedded = writer != nullptr && writer->embedsSkins && (options.flags & OPT_OUTIMG) == 0;
  if (!options.paletteFile.empty() && !skinsEmbedded) WriteSkinImages(options, item, outcome);
  if (!options.hintFile.empty() && item.skinWidth >= 1 && item.skinHeight >= 1) BuildSkinHint(options, item, outcome);
  if (!options.reportFile.empty()) WriteReport(options, item, outcome);
  return 0;
}
