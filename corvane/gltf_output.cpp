#include "gltf_output.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "console.h"
#include "gltf_writer.h"
#include "indexed_png.h"
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

// The palette's 256 colours as the skin images get them (through the colormap's
// first row when the palette has one): the embedded skins' PLTE.
std::vector<uint32_t> SkinColours(const VNLPALETTE_T& palette) {
  std::vector<uint8_t> indices(256);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(i);
  const VNLPICTURE_T strip{256, 1, indices.data()};
  int32_t level = 0;
  uint32_t* colours = vnlPictureToRGB(strip, palette, level);
  std::vector<uint32_t> list;
  if (colours != nullptr) list.assign(colours, colours + 256);
  std::free(colours);
  return list;
}

bool SamePixels(const VNLPICTURE_T& a, const VNLPICTURE_T& b) {
  return a.width == b.width && a.height == b.height && a.pixels != nullptr && b.pixels != nullptr &&
         std::equal(a.pixels, a.pixels + size_t(a.width) * a.height, b.pixels);
}

// Every skin picture as an indexed PNG, halved with -skinnoback as the saved
// images are; a picture like an earlier one is not encoded twice. None without
// -pal: the materials then carry no texture. A picture that cannot be encoded
// leaves every material untextured, and `failure` says why.
std::vector<std::string> SkinPngs(const ConverterState& state, std::string& failure) {
  std::vector<std::string> pngs;
  const VNLMODEL_T& model = state.model;
  if (state.paletteFile.empty() || model.skins == nullptr) return pngs;
  const size_t count = size_t(model.skinCount) + model.skinExtra;
  const std::vector<uint32_t> colours = SkinColours(state.palette);
  const bool halve = (state.flags & OPT_SKINNOBACK) != 0;
  for (size_t i = 0; i < count && failure.empty(); ++i) {
    size_t earlier = 0;
    while (earlier < i && !SamePixels(model.skins[earlier], model.skins[i])) ++earlier;
    std::string png;
    if (earlier < i)
      png = pngs[earlier];
    else
      EncodeIndexedPng(model.skins[i], colours.empty() ? nullptr : colours.data(), halve, png, failure);
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
  input.positionsMoved = (state.flags & OPT_SWAPYZ) != 0 || (state.scale != 0 && state.scale != 1);
  return input;
}

GltfSink SinkTo(Output& out) {
  return [&out](const char* data, size_t size) { return AppendOutput(out, data, size); };
}

// Publishes the written output, or says why it was not written. A refused write
// has already said its failure.
bool Conclude(Output& out, GltfResult result) {
  switch (result) {
    case GltfResult::Written:
      return PublishOutput(out);
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
  if (Conclude(out, result)) SayMissingSkins(state, state.dstFile, skinFailure);
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

  const std::string binFailed = "its buffer \"" + PrintableName(HostPath(binName)) + "\" was not written";
  Output bin;
  if (!OpenOutput(state, bin, binName, binExisted)) {
    if (bin.failed) ReportOutputFailure(state, gltfName, binFailed);
    return 0;
  }
  std::string skinFailure;
  const GltfInput input = InputOf(state, baseFrame, SkinPngs(state, skinFailure));
  // The JSON comes first and is small beside the buffer: it waits until the
  // buffer it describes is in place.
  std::string json;
  auto keepJson = [&json](const char* data, size_t size) {
    json.append(data, size);
    return true;
  };
  const GltfResult result = WithFramesTurned(
      state, baseFrame, [&] { return WriteGltf(input, WithoutFolder(binName), keepJson, SinkTo(bin)); });
  if (!Conclude(bin, result)) {
    if (bin.failed) ReportOutputFailure(state, gltfName, binFailed);
    return 0;
  }
  Output document;
  if (OpenOutput(state, document, gltfName, gltfExisted) && FinishOutput(document, json))
    SayMissingSkins(state, gltfName, skinFailure);
  return 0;
}
