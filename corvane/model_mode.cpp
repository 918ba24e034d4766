// Model conversion: load a model (and a palette), pick the frame, apply the
// requested operations, then write the model file, the skins, the hint and the report.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "console.h"
#include "driver.h"
#if CORVANE_GLTF
#include "gltf_output.h"
#endif
#include "images.h"
#include "model_writers.h"
#include "modes.h"
#include "report.h"
#include "state.h"
#include "text_builder.h"

namespace {

struct ModelWriter {
  const char* ending;  // lower case, with its dot
  int (*write)();
};

// The model formats, by the output name's ending; the first is the default.
constexpr ModelWriter kModelWriters[] = {
    {".ase", WriteAse},
    {".obj", WriteObj},
#if CORVANE_GLTF
    {".glb", [] { return WriteGlbModel(gState); }},
    {".gltf", [] { return WriteGltfModel(gState); }},
#else
    // Built without the JSON library: the names are known, and refused with the reason.
    {".glb", nullptr},
    {".gltf", nullptr},
#endif
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
int RefuseDestination(const std::string& typed) {
  const ModelWriter* known = WriterFor(gState.dstFile);
  if (known != nullptr && known->write == nullptr) {
    gState.errorMessage = "Model output: \"" + PrintableName(typed) +
                          "\" is a glTF file, and this corvane was built without glTF output";
    return 1;
  }
  std::string accepted;
  for (const ModelWriter& writer : kModelWriters)
    if (writer.write != nullptr) accepted += std::string(accepted.empty() ? "" : ", ") + writer.ending;
  gState.errorMessage = "Model output: \"" + PrintableName(typed) + "\" is not a model format corvane writes (" +
                        accepted + ")";
  return 1;
}

std::string FrameNameAt(const VNLMODEL_T& model, size_t index) {
  const char* name = model.frameNames[index];
  return std::string(name, std::find(name, name + 16, '\0'));
}

// Keeps the requested frame when the model has it (case and blanks aside), else
// falls back to the first frame's name as stored.
void ChooseFrame() {
  const VNLMODEL_T& model = gState.model;
  size_t frames = model.frameNames ? size_t(model.frameCount) + model.frameExtra : 0;
  bool found = false;
  for (size_t i = 0; i < frames && !gState.frameName.empty() && !found; ++i)
    found = TrimBlanks(LowerAscii(FrameNameAt(model, i))) == gState.frameName;
  if (!found) gState.frameName.clear();
  if (gState.frameName.empty() && frames > 0) gState.frameName = FrameNameAt(model, 0);
}

// Sizes below 1 take skin 0's size (its front half with -skinnoback). A model
// without skins keeps them below 1, and then no skin image or hint is made.
void DefaultSkinSize() {
  const VNLMODEL_T& model = gState.model;
  if (model.skins == nullptr || size_t(model.skinCount) + model.skinExtra == 0) return;
  const VNLPICTURE_T& skin = model.skins[0];
  int32_t width = int32_t(std::min<uint32_t>(skin.width, INT32_MAX));
  int32_t height = int32_t(std::min<uint32_t>(skin.height, INT32_MAX));
  if (gState.skinHeight < 1) gState.skinHeight = height;
  if (gState.skinWidth < 1) gState.skinWidth = (gState.flags & OPT_SKINNOBACK) ? width / 2 : width;
}

void ApplyOperations() {
  if (gState.flags & OPT_SWAP) vnlModelSwapTris(gState.model);
  if (gState.flags & OPT_INVH) vnlModelSkinInv(gState.model);
  if (gState.flags & OPT_SKINNOBACK) vnlModelSkinNoBack(gState.model);
  if (gState.flags & OPT_SWAPYZ) SwapFrameYZ();
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

void WriteModelFile() {
  const ModelWriter* writer = WriterFor(gState.dstFile);
  if (writer == nullptr) return;
  ValueLine("  Model:", gState.dstFile);
  writer->write();
}

void ExportSkins() {
  const VNLMODEL_T& model = gState.model;
  if (model.skins == nullptr || gState.skinWidth < 1 || gState.skinHeight < 1) return;
  const VNLPICTURE_T& first = model.skins[0];
  const size_t count = size_t(model.skinCount) + model.skinExtra;
  for (size_t i = 0; i < count; ++i) {
    int32_t level = 0;
    uint32_t* pixels = vnlPictureToRGB(model.skins[i], gState.palette, level);
    if (pixels == nullptr) continue;
    SaveImage(gState.baseName + "_" + std::to_string(i), pixels, int32_t(first.width), int32_t(first.height),
              gState.skinWidth, gState.skinHeight, (gState.flags & OPT_SKINNOBACK) != 0);
    std::free(pixels);
  }
}

}  // namespace

std::string ModelEndings() {
  std::string list;
  for (const ModelWriter& writer : kModelWriters) list += std::string(list.empty() ? "" : " ") + writer.ending;
  return list;
}

bool IsModelOutputName(const std::string& name) {
  const ModelWriter* writer = WriterFor(name);
  return writer != nullptr && writer->write != nullptr;
}

int RunModelConversion() {
  if (!gState.dstRefused.empty()) return RefuseDestination(gState.dstRefused);
  SectionLine(":: SOURCES");
  int32_t code = vnlModelLoad(gState.modelPack, gState.modelFile, gState.model);
  if (code != 0) return FailWith("Source model: ", code);

  ChooseFrame();
  DefaultSkinSize();
  ApplyOperations();
  ValueLine("  Model:", gState.modelFile);
  ValueLine("  Frame:", gState.frameName);

  if (!gState.paletteFile.empty()) {
    ValueLine("  Palette:", gState.paletteFile);
    code = vnlPaletteLoad(gState.palettePack, gState.paletteFile, gState.palette);
    if (code != 0) return FailWith("Palette: ", code);
  }
  if (gState.scale != 0) {
    ValueLabel("  Rescale:");
    ConsoleLine(ShownFactor(gState.scale));
    vnlModelScale(gState.model, gState.scale);
  }

  SectionLine(":: OUTPUTS");
  WriteModelFile();
  if (!gState.paletteFile.empty()) ExportSkins();
  if (!gState.hintFile.empty() && gState.skinWidth >= 1 && gState.skinHeight >= 1) BuildSkinHint();
  if (!gState.reportFile.empty()) WriteReport();
  return 0;
}
