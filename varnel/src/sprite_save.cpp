// Sprites written ("IDSP" version 1): the header sized from the largest frame,
// then every entry, a single frame or a group with its intervals before its frames.
//
// The record is checked whole before anything is laid out, as the model saver does.
#include <algorithm>
#include <cmath>
#include <vector>

#include "block_writer.h"
#include "varnel/varnel.h"

namespace {

constexpr uint32_t kVersion = 1;

// The group size of each entry (0 for a single frame); false when the entries do
// not cover the frames exactly.
bool EntrySizes(const VNLSPRITE_T& s, const uint32_t* entrySize, std::vector<uint32_t>& sizes) {
  const uint64_t frames = uint64_t(s.sheetCount) + s.frameExtra;
  if (entrySize == nullptr) {
    sizes.assign(frames, 0);
    return s.frameExtra == 0;
  }
  sizes.assign(entrySize, entrySize + s.sheetCount);
  uint64_t covered = 0;
  for (uint32_t size : sizes) covered += size == 0 ? 1 : size;
  return covered == frames;
}

// A group's cumulative intervals must rise from above 0.
bool IntervalsRise(const float* rate, uint32_t count) {
  float last = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (!(rate[i] > last) || !std::isfinite(rate[i])) return false;
    last = rate[i];
  }
  return true;
}

int32_t CheckSprite(const VNLSPRITE_T& s, const std::vector<uint32_t>& sizes) {
  if (s.frames == nullptr || s.originX == nullptr || s.originY == nullptr) return VNL_NO_BLOCK;
  uint64_t k = 0;
  for (uint32_t size : sizes) {
    if (size > 0 && (s.rate == nullptr || !IntervalsRise(s.rate + k, size))) return VNL_SPR_BAD_INTERVAL;
    k += size == 0 ? 1 : size;
  }
  uint64_t bytes = 0;
  for (uint64_t i = 0; i < k; ++i) {
    const VNLPICTURE_T& frame = s.frames[i];
    if (frame.width == 0) return VNL_SPR_NO_WIDTH;
    if (frame.height == 0) return VNL_SPR_NO_HEIGHT;
    if (frame.pixels == nullptr) return VNL_NO_BLOCK;
    bytes += uint64_t(frame.width) * frame.height + 20;
  }
  return bytes > UINT32_MAX ? VNL_NO_MEMORY : VNL_OK;
}

void WriteFrame(vnl::BlockWriter& w, const VNLSPRITE_T& s, uint64_t k) {
  const VNLPICTURE_T& frame = s.frames[k];
  w.i32(s.originX[k]);
  w.i32(s.originY[k]);
  w.u32(frame.width);
  w.u32(frame.height);
  w.raw(frame.pixels, size_t(uint64_t(frame.width) * frame.height));
}

}  // namespace

int32_t vnlSpriteSave(const VNLSPRITE_T* sprite, const uint32_t* entrySize, uint8_t** block, uint32_t* length) {
  if (!vnl::BeginSave(block, length) || sprite == nullptr) return VNL_NO_BLOCK;
  const VNLSPRITE_T& s = *sprite;
  std::vector<uint32_t> sizes;
  if (s.sheetCount == 0 || !EntrySizes(s, entrySize, sizes)) return VNL_SPR_NO_FRAME;
  const int32_t code = CheckSprite(s, sizes);
  if (code != VNL_OK) return code;

  const uint64_t frames = uint64_t(s.sheetCount) + s.frameExtra;
  uint32_t width = 0, height = 0;
  for (uint64_t i = 0; i < frames; ++i) {
    width = std::max(width, s.frames[i].width);
    height = std::max(height, s.frames[i].height);
  }
  vnl::BlockWriter w;
  w.raw("IDSP", 4);
  w.u32(kVersion);
  w.u32(s.spriteType);
  w.f32(float(std::sqrt(double(width) * width + double(height) * height) / 2));
  w.u32(width);
  w.u32(height);
  w.u32(s.sheetCount);
  w.f32(0);  // beam length
  w.u32(s.syncType);
  uint64_t k = 0;
  for (uint32_t size : sizes) {
    if (size == 0) {
      w.u32(0);
      WriteFrame(w, s, k++);
      continue;
    }
    w.u32(1);
    w.u32(size);
    for (uint32_t i = 0; i < size; ++i) w.f32(s.rate[k + i]);
    for (uint32_t i = 0; i < size; ++i) WriteFrame(w, s, k++);
  }
  return w.handOver(block, length);
}
