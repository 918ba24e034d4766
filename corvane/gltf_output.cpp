#include "gltf_output.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "console.h"
#include "gltf_writer.h"
#include "images.h"
#include "indexed_png.h"
#include "model_frame.h"
#include "output.h"
#include "text_rules.h"

namespace {

uint32_t FrameStride(const VNLMODEL_T& model) { return uint32_t(model.vertexCount) + model.seamCount; }

uint32_t FrameTotal(const VNLMODEL_T& model) { return uint32_t(model.frameCount) + model.frameExtra; }

// -swapyz turns the chosen frame only, the one frame the other formats write.
// Here every frame is a morph target of the chosen one, so the others turn with
// it, in a copy of the positions: the item's record stays as the mode left it
// (the report reads it). The record to write: the item's own, or `copy` with the
// positions of `turned`.
const VNLMODEL_T* ModelToWrite(const RunOptions& options, const ItemState& item, uint32_t baseFrame, VNLMODEL_T& copy,
                               std::vector<VNLVEC3_T>& turned) {
  const VNLMODEL_T& model = item.model;
  if ((options.flags & OPT_SWAPYZ) == 0) return &model;
  const uint64_t stride = FrameStride(model);
  turned.assign(model.frameVertices, model.frameVertices + stride * FrameTotal(model));
  for (uint64_t frame = 0; frame < FrameTotal(model); ++frame) {
    if (frame == baseFrame) continue;
    for (uint64_t i = frame * stride; i < (frame + 1) * stride; ++i) std::swap(turned[i].y, turned[i].z);
  }
  copy = model;
  copy.frameVertices = turned.data();
  return &copy;
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
// -pal: the materials then carry no texture. A picture that cannot be coloured or
// encoded leaves every material untextured, and `failure` says why.
std::vector<std::string> SkinPngs(const RunOptions& options, const ItemState& item, std::string& failure) {
  std::vector<std::string> pngs;
  const VNLMODEL_T& model = item.model;
  if (options.paletteFile.empty() || model.skins == nullptr) return pngs;
  const size_t count = size_t(model.skinCount) + model.skinExtra;
  const std::vector<uint32_t> colours = SkinColours(item.palette);
  const bool halve = (options.flags & OPT_SKINNOBACK) != 0;
  for (size_t i = 0; i < count && failure.empty(); ++i) {
    size_t earlier = 0;
    while (earlier < i && !SamePixels(model.skins[earlier], model.skins[i])) ++earlier;
    std::string png;
    const VNLPICTURE_T& picture = model.skins[i];
    // As for the skin images: a picture that gives no colours is said alike.
    if (colours.empty() || picture.pixels == nullptr || picture.width == 0 || picture.height == 0)
      failure = kNoColoursReason;
    else if (earlier < i)
      png = pngs[earlier];
    else
      EncodeIndexedPng(picture, colours.data(), halve, png, failure);
    pngs.push_back(std::move(png));
  }
  if (!failure.empty()) pngs.assign(count, "");  // all or none: no half-dressed model
  return pngs;
}

GltfInput InputOf(const RunOptions& options, const ItemState& item, const VNLMODEL_T* model, uint32_t baseFrame,
                  std::vector<std::string> pngs) {
  GltfInput input;
  input.model = model;
  input.stored = &item.stored;
  input.baseFrame = baseFrame;
  input.baseName = options.baseName;
  input.skinImages = std::move(pngs);
  input.frontHalfOnly = (options.flags & OPT_SKINNOBACK) != 0;
  input.positionsMoved = (options.flags & OPT_SWAPYZ) != 0 || (options.scale != 0 && options.scale != 1);
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
void SayMissingSkins(RunOutcome& outcome, const std::string& name, const std::string& failure) {
  if (!failure.empty()) FailOutput(outcome, name, "written without its skins: " + failure);
}

// NAME.gltf's buffer: NAME.bin beside it.
std::string BinNameOf(const std::string& gltfName) {
  const size_t dot = gltfName.rfind('.');
  return gltfName.substr(0, dot) + ".bin";
}

// The chosen frame's index among the flattened frames, when the record can be written.
bool BaseFrame(const ItemState& item, uint32_t& baseFrame) {
  const uint32_t offset = vnlFrameOffset(item.model, item.frameName);
  if (!ModelFrameReadable(item.model, offset)) return false;
  baseFrame = offset / FrameStride(item.model);
  return true;
}

}  // namespace

void WriteGlbModel(const RunOptions& options, const ItemState& item, RunOutcome& outcome) {
  uint32_t baseFrame = 0;
  if (!BaseFrame(item, baseFrame)) return;
  Output out;
  if (OpenOutput(options, outcome, out, options.dstFile) != OpenResult::Ready) return;
  std::string skinFailure;
  VNLMODEL_T copy{};
  std::vector<VNLVEC3_T> turned;
  const VNLMODEL_T* model = ModelToWrite(options, item, baseFrame, copy, turned);
  const GltfInput input = InputOf(options, item, model, baseFrame, SkinPngs(options, item, skinFailure));
  if (WriteDone(out, WriteGlb(input, SinkTo(out))) && PublishOutput(out))
    SayMissingSkins(outcome, options.dstFile, skinFailure);
}

void WriteGltfModel(const RunOptions& options, const ItemState& item, RunOutcome& outcome) {
  uint32_t baseFrame = 0;
  if (!BaseFrame(item, baseFrame)) return;
  const std::string& gltfName = options.dstFile;
  const std::string binName = BinNameOf(gltfName);
  ValueLine("  Model:", binName);
  // A pair this run wrote itself is not worth a question: it fails as the other
  // writers' outputs do.
  for (const std::string* name : {&gltfName, &binName})
    if (OutputWrittenEarlier(outcome, *name)) {
      FailOutput(outcome, gltfName, "an earlier item wrote \"" + PrintableName(HostPath(*name)) + "\"");
      return;
    }
  // Both are asked about first: a No to either keeps the old pair as it was.
  const bool gltfExisted = OutputExists(gltfName);
  if (!ConfirmReplace(options, outcome, gltfName)) return;
  const bool binExisted = OutputExists(binName);
  if (!ConfirmReplace(options, outcome, binName)) return;

  // Both files are made and written before either is published, so that a
  // failure of either leaves the old pair as it was and no new file.
  const std::string binFailed = "its buffer \"" + PrintableName(HostPath(binName)) + "\" was not written";
  Output bin, document;
  const OpenResult opened = OpenOutput(options, outcome, bin, binName, binExisted);
  if (opened != OpenResult::Ready) {
    if (opened == OpenResult::Failed) FailOutput(outcome, gltfName, binFailed);
    return;
  }
  if (OpenOutput(options, outcome, document, gltfName, gltfExisted) != OpenResult::Ready) return;
  std::string skinFailure;
  VNLMODEL_T copy{};
  std::vector<VNLVEC3_T> turned;
  const VNLMODEL_T* model = ModelToWrite(options, item, baseFrame, copy, turned);
  const GltfInput input = InputOf(options, item, model, baseFrame, SkinPngs(options, item, skinFailure));
  if (!WriteDone(bin, WriteGltf(input, WithoutFolder(binName), SinkTo(document), SinkTo(bin)))) {
    if (bin.failed) FailOutput(outcome, gltfName, binFailed);
    return;
  }
  // The buffer is placed first: a reader never finds the new document without it.
  if (PublishPair(bin, document))
    SayMissingSkins(outcome, gltfName, skinFailure);
  else if (bin.failed)
    FailOutput(outcome, gltfName, binFailed);
}
