// Sprites ("IDSP" version 1): frame groups are flattened into one list of
// pictures, each with its origin and, for grouped frames, its interval.
//
// The file is walked twice: a sizing pass that counts the flattened frames and
// what they will cost, then a reading pass into arrays allocated once. Every
// size is computed in 64 bits and the whole load (the four arrays and all pixel
// buffers, each frame counting at least 4 KiB) must fit the load budget of
// budget.h; the sizing pass stops as soon as it passes that budget, so a
// hostile count cannot make it loop for long. A group
// whose count is 0 or negative (as a signed number) is rejected with
// VNL_SPR_NO_FRAME: it would otherwise shrink the flattened count.
#include <cstdlib>

#include "block_reader.h"
#include "budget.h"
#include "file_io.h"
#include "varnel/varnel.h"

namespace {

constexpr const char* kMagic = "IDSP";
constexpr uint32_t kVersion = 1;
constexpr uint32_t kLargestGroup = 0x7FFFFFFFu;
constexpr uint64_t kArrayBytesPerFrame = sizeof(int32_t) + sizeof(int32_t) + sizeof(float) + sizeof(VNLPICTURE_T);

struct SpriteHeader {
  uint32_t type = 0;
  uint32_t syncType = 0;
  uint32_t entryCount = 0;
};

// Checks the header fields in file order; the first failure decides the code.
int32_t ReadHeader(vnl::BlockReader& reader, SpriteHeader& header) {
  if (reader.text(4) != kMagic) return VNL_NOT_SPRITE;
  if (reader.u32() != kVersion) return VNL_SPR_VERSION;
  header.type = reader.u32();
  reader.f32();  // bounding radius: not kept
  if (reader.u32() == 0) return VNL_SPR_NO_WIDTH;
  if (reader.u32() == 0) return VNL_SPR_NO_HEIGHT;
  header.entryCount = reader.u32();
  if (header.entryCount == 0) return VNL_SPR_NO_FRAME;
  reader.skip(4);  // beam length
  header.syncType = reader.u32();
  return VNL_OK;
}

// Reads an entry's group word and, for a group, its count and intervals (into
// `rates` when given). Returns how many frames follow: 1 for a single frame, 0
// for a group whose count is 0 or negative.
uint32_t ReadEntryStart(vnl::BlockReader& reader, float* rates, uint64_t room) {
  if (reader.u32() == 0) return 1;
  uint32_t count = reader.u32();
  if (count == 0 || count > kLargestGroup) return 0;
  if (rates == nullptr) {
    reader.skip(uint64_t(count) * sizeof(float));
    return count;
  }
  for (uint64_t i = 0; i < count; ++i) {
    float rate = reader.f32();
    if (i < room) rates[i] = rate;
  }
  return count;
}

struct SpriteSize {
  uint64_t frames = 0;  // flattened
  uint64_t extra = 0;   // frames added by groups
  uint64_t bytes = 0;   // arrays and pixel buffers together
};

// What one frame of `pixels` counts toward the budget.
uint64_t FrameCost(uint64_t pixels) { return kArrayBytesPerFrame + vnl::ItemCost(pixels); }

// Counts the flattened frames and the bytes they need, without allocating.
int32_t MeasureFrames(vnl::BlockReader& reader, uint32_t entryCount, SpriteSize& size) {
  const uint64_t budget = vnl::LoadBudget(reader.length());
  for (uint32_t entry = 0; entry < entryCount; ++entry) {
    uint32_t count = ReadEntryStart(reader, nullptr, 0);
    if (count == 0) return VNL_SPR_NO_FRAME;
    size.extra += count - 1;
    for (uint32_t frame = 0; frame < count; ++frame) {
      if (reader.atEnd()) {
        // Past the end everything reads as zero: each frame still to come is
        // an empty single frame. Count them at once instead of one by one.
        uint64_t left = uint64_t(count - frame) + (entryCount - entry - 1);
        size.frames += left;
        size.bytes += left * FrameCost(0);
        return size.bytes > budget ? VNL_NO_MEMORY : VNL_OK;
      }
      reader.skip(8);  // origin
      uint64_t width = reader.u32();
      uint64_t height = reader.u32();
      reader.skip(width * height);
      size.frames += 1;
      size.bytes += FrameCost(width * height);
      if (size.bytes > budget) return VNL_NO_MEMORY;
    }
  }
  return VNL_OK;
}

void FreeFrames(VNLSPRITE_T& sprite) {
  uint64_t count = uint64_t(sprite.sheetCount) + sprite.frameExtra;
  for (uint64_t i = 0; i < count; ++i) std::free(sprite.frames[i].pixels);
  std::free(sprite.frames);
  sprite.frames = nullptr;
}

bool AllocateArrays(VNLSPRITE_T& sprite, uint64_t count) {
  sprite.originX = static_cast<int32_t*>(std::calloc(count, sizeof(int32_t)));
  sprite.originY = static_cast<int32_t*>(std::calloc(count, sizeof(int32_t)));
  sprite.rate = static_cast<float*>(std::calloc(count, sizeof(float)));
  sprite.frames = static_cast<VNLPICTURE_T*>(std::calloc(count, sizeof(VNLPICTURE_T)));
  return sprite.originX && sprite.originY && sprite.rate && sprite.frames;
}

// Reads one frame into slot k: origin, size, and a pixel buffer of its own.
bool ReadFrame(vnl::BlockReader& reader, VNLSPRITE_T& sprite, uint64_t k) {
  sprite.originX[k] = reader.i32();
  sprite.originY[k] = reader.i32();
  VNLPICTURE_T& picture = sprite.frames[k];
  picture.width = reader.u32();
  picture.height = reader.u32();
  uint64_t pixels = uint64_t(picture.width) * picture.height;
  if (pixels == 0) return true;
  picture.pixels = static_cast<uint8_t*>(std::calloc(pixels, 1));
  if (picture.pixels == nullptr) return false;
  // The buffer is zero already: what the end of the block cuts off is left
  // untouched, so a hostile size costs no more than the bytes really there.
  reader.take(picture.pixels, pixels);
  return true;
}

// The reading pass; the sizing pass has already vetted every count it meets.
int32_t ReadFrames(vnl::BlockReader& reader, uint32_t entryCount, VNLSPRITE_T& sprite) {
  uint64_t total = uint64_t(sprite.sheetCount) + sprite.frameExtra;
  uint64_t k = 0;
  for (uint32_t entry = 0; entry < entryCount && k < total; ++entry) {
    uint64_t count = ReadEntryStart(reader, sprite.rate + k, total - k);
    if (count > total - k) count = total - k;
    for (uint64_t frame = 0; frame < count; ++frame, ++k) {
      // Past the end every field reads as zero, which the zero-filled arrays
      // already hold: the frames still to come are done.
      if (reader.atEnd()) return VNL_OK;
      if (!ReadFrame(reader, sprite, k)) return VNL_NO_MEMORY;
    }
  }
  return VNL_OK;
}

}  // namespace

int32_t vnlSpriteLoad(const uint8_t* block, uint32_t length, VNLSPRITE_T* record) {
  if (record == nullptr) return VNL_NO_BLOCK;
  VNLSPRITE_T& sprite = *record;
  int32_t code = vnl::BeginLoad(block, length, sprite, vnlSpriteKill);
  if (code != VNL_OK) return code;
  vnl::BlockReader reader(block, length);
  SpriteHeader header;
  if ((code = ReadHeader(reader, header)) != VNL_OK) return code;
  uint64_t framesStart = reader.cursor();

  SpriteSize size;
  code = MeasureFrames(reader, header.entryCount, size);
  if (code != VNL_OK) return code;

  if (!AllocateArrays(sprite, size.frames)) {
    vnlSpriteKill(sprite);
    return VNL_NO_MEMORY;
  }
  sprite.spriteType = uint8_t(header.type);
  sprite.syncType = uint8_t(header.syncType);
  sprite.sheetCount = header.entryCount;
  sprite.frameExtra = uint32_t(size.extra);

  reader.seek(framesStart);
  code = ReadFrames(reader, header.entryCount, sprite);
  if (code != VNL_OK) vnlSpriteKill(sprite);
  return code;
}

int32_t vnlSpriteLoadFile(const char* packName, const char* fileName, VNLSPRITE_T* sprite) {
  return vnl::LoadRecordFile(packName, fileName, ".spr", vnlSpriteLoad, sprite);
}

void vnlSpriteKill(VNLSPRITE_T* record) {
  if (record == nullptr) return;
  VNLSPRITE_T& sprite = *record;
  if (sprite.frames != nullptr) FreeFrames(sprite);
  vnl::Release(sprite.rate);
  vnl::Release(sprite.originX);
  vnl::Release(sprite.originY);
  sprite.spriteType = 0;
  sprite.syncType = 0;
  sprite.sheetCount = 0;
  sprite.frameExtra = 0;
}
