#include "gltf_output.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "console.h"
#include "gltf_writer.h"
#include "images.h"
#include "model_frame.h"
#include "output.h"
#include "text_rules.h"

namespace {

uint32_t FrameStride(const VNLMODEL_T& model) { return uint32_t(model.vertexCount) + model.seamCount; }

uint32_t FrameTotal(const VNLMODEL_T& model) { return uint32_t(model.frameCount) + model.frameExtra; }

// -swapyz turns the chosen frame only, the one frame the other formats write.
// Here every frame is a morph target of the chosen one, so the others turn with
// it while the file is written (and back afterwards: the report reads the record).
void SwapOtherFramesYZ(VNLMODEL_T& model, uint32_t baseFrame) {
  const uint64_t stride = FrameStride(model);
  for (uint64_t frame = 0; frame < FrameTotal(model); ++frame) {
    if (frame == baseFrame) continue;
    for (uint64_t i = frame * stride; i < (frame + 1) * stride; ++i)
      std::swap(model.frameVertices[i].y, model.frameVertices[i].z);
  }
}

// Every skin picture as a PNG, halved with -skinnoback as the saved images are.
// None without -pal: the materials then carry no texture. A picture that cannot
// be encoded leaves its material untextured, and `failure` says why.
std::vector<std::string> SkinPngs(const ConverterState& state, std::string& failure) {
  std::vector<std::string> pngs;
  const VNLMODEL_T& model = state.model;
  if (state.paletteFile.empty() || model.skins == nullptr) return pngs;
  const size_t count = size_t(model.skinCount) + model.skinExtra;
  for (size_t i = 0; i < count && failure.empty(); ++i) {
    const VNLPICTURE_T& picture = model.skins[i];
    int32_t level = 0;
    uint32_t* pixels = vnlPictureToRGB(picture, state.palette, level);
    std::string png;
    EncodePng(pixels, int32_t(picture.width), int32_t(picture.height), (state.flags & OPT_SKINNOBACK) != 0, png,
              failure);
    std::free(pixels);
    pngs.push_back(std::move(png));
  }
  if (!failure.empty()) pngs.assign(count, "");  // all or none: no half-dressed model
  return pngs;
}

GltfInput InputOf(const ConverterState& state, uint32_t baseFrame, std::vector<std::string> pngs) {
  GltfInput input;
  input.model = &state.model;
  input.stored = &state.stored;
  input.baseFrame = baseFrame;
  input.baseName = state.baseName;
  input.skinImages = std::move(pngs);
  input.frontHalfOnly = (state.flags & OPT_SKINNOBACK) != 0;
  return input;
}

GltfSink SinkTo(Output& out) {
  return [&out](const char* data, size_t size) { return AppendOutput(out, data, size); };
}

// True when the write was done; else says why it was not (a refused write has
// already said its failure) and gives the output up.
bool WriteDone(Output& out, GltfResult result) {
  switch (result) {
    case GltfResult::Written:
      return true;
    case GltfResult::NotAModel:
      FailOutput(out, "the model holds nothing to write");
      return false;
    case GltfResult::TooLarge:
      FailOutput(out, "a .glb holds at most 4 GiB");
      return false;
    case GltfResult::SinkFailed:
      break;
  }
  AbandonOutput(out);
  return false;
}

// The file written, with skins that could not be embedded: it counts as failed.
void SayMissingSkins(ConverterState& state, const std::string& name, const std::string& failure) {
  if (!failure.empty()) ReportOutputFailure(state, name, "written without its skins: " + failure);
}

// NAME.gltf's buffer: NAME.bin beside it.
std::string BinNameOf(const std::string& gltfName) {
  const size_t dot = gltfName.rfind('.');
  return gltfName.substr(0, dot) + ".bin";
}

// The chosen frame's index among the flattened frames, when the record can be written.
bool BaseFrame(const ConverterState& state, uint32_t& baseFrame) {
  const uint32_t offset = vnlFrameOffset(state.model, state.frameName);
  if (!ModelFrameReadable(state.model, offset)) return false;
  baseFrame = offset / FrameStride(state.model);
  return true;
}

// Writes through `write` with every frame turned as -swapyz turned the chosen one.
template <typename Write>
GltfResult WithFramesTurned(ConverterState& state, uint32_t baseFrame, Write write) {
  const bool turn = (state.flags & OPT_SWAPYZ) != 0;
  if (turn) SwapOtherFramesYZ(state.model, baseFrame);
  GltfResult result = write();
  if (turn) SwapOtherFramesYZ(state.model, baseFrame);
  return result;
}

}  // namespace

int WriteGlbModel(ConverterState& state) {
  uint32_t baseFrame = 0;
  if (!BaseFrame(state, baseFrame)) return 0;
  Output out;
  if (!OpenOutput(state, out, state.dstFile)) return 0;
  std::string skinFailure;
  const GltfInput input = InputOf(state, baseFrame, SkinPngs(state, skinFailure));
  const GltfResult result = WithFramesTurned(state, baseFrame, [&] { return WriteGlb(input, SinkTo(out)); });
  if (WriteDone(out, result) && PublishOutput(out)) SayMissingSkins(state, state.dstFile, skinFailure);
  return 0;
}

int WriteGltfModel(ConverterState& state) {
  uint32_t baseFrame = 0;
  if (!BaseFrame(state, baseFrame)) return 0;
  const std::string& gltfName = state.dstFile;
  const std::string binName = BinNameOf(gltfName);
  ValueLine("  Model:", binName);
  // A pair this run wrote itself is not worth a question: it fails as the other
  // writers' outputs do.
  for (const std::string* name : {&gltfName, &binName})
    if (OutputWrittenEarlier(state, *name)) {
      ReportOutputFailure(state, gltfName, "an earlier item wrote \"" + PrintableName(HostPath(*name)) + "\"");
      return 0;
    }
  // Both are asked about first: a No to either keeps the old pair as it was.
  const bool gltfExisted = OutputExists(gltfName);
  if (!ConfirmReplace(gltfName, &state.flags, OPT_REPLACE)) return 0;
  const bool binExisted = OutputExists(binName);
  if (!ConfirmReplace(binName, &state.flags, OPT_REPLACE)) return 0;

  // Both files are made and written before either is published, so that a
  // failure of either leaves the old pair as it was and no new file.
  const std::string binFailed = "its buffer \"" + PrintableName(HostPath(binName)) + "\" was not written";
  Output bin, document;
  if (!OpenOutput(state, bin, binName, binExisted)) {
    if (bin.failed) ReportOutputFailure(state, gltfName, binFailed);
    return 0;
  }
  if (!OpenOutput(state, document, gltfName, gltfExisted)) return 0;
  std::string skinFailure;
  const GltfInput input = InputOf(state, baseFrame, SkinPngs(state, skinFailure));
  const GltfResult result = WithFramesTurned(
      state, baseFrame, [&] { return WriteGltf(input, WithoutFolder(binName), SinkTo(document), SinkTo(bin)); });
  if (!WriteDone(bin, result)) {
    if (bin.failed) ReportOutputFailure(state, gltfName, binFailed);
    return 0;
  }
  // The buffer is placed first: a reader never finds the new document without it.
  if (PublishPair(bin, document))
    SayMissingSkins(state, gltfName, skinFailure);
  else if (bin.failed)
    ReportOutputFailure(state, gltfName, binFailed);
  return 0;
}
