// WAD2 texture archives: only the directory is read; the lumps stay in the
// caller's block and the entries say where each one lies.
#include <cstdlib>
#include <cstring>
#include <string>

#include "block_reader.h"
#include "budget.h"
#include "varnel/varnel.h"

namespace {

constexpr uint64_t kEntrySize = 32;
constexpr uint32_t kNameSize = 16;

void ReadEntry(vnl::BlockReader& reader, VNLWADENTRY_T& entry) {
  entry.offset = reader.u32();
  entry.diskLength = reader.u32();
  entry.length = reader.u32();
  entry.type = reader.u8();
  entry.compression = reader.u8();
  reader.skip(2);
  std::string name = reader.text(kNameSize);
  std::memcpy(entry.name, name.data(), name.size());
  entry.name[name.size()] = '\0';
}

}  // namespace

int32_t VNLWADGETINFO(const uint8_t* block, uint32_t length, VNLWADINFO_T* record) {
  if (record == nullptr) return VNL_NO_BLOCK;
  VNLWADINFO_T& wad = *record;
  vnl::BlockReader reader(block, length);
  if (reader.text(4) != "WAD2") return VNL_NOT_WAD2;
  uint32_t entryCount = reader.u32();
  if (entryCount == 0) return VNL_WAD2_CORRUPT;
  uint32_t dirOffset = reader.u32();
  // In 64 bits, so that a hostile count cannot wrap the directory back into the block.
  uint64_t dirLength = kEntrySize * entryCount;
  if (uint64_t(dirOffset) + dirLength > reader.length()) return VNL_WAD2_CORRUPT;

  // The directory lies inside the block, so the array is bounded by the block's size.
  if (!vnl::WithinBudget(uint64_t(entryCount) * sizeof(VNLWADENTRY_T), length)) return VNL_NO_MEMORY;
  auto* entries = static_cast<VNLWADENTRY_T*>(std::calloc(entryCount, sizeof(VNLWADENTRY_T)));
  if (entries == nullptr) return VNL_NO_MEMORY;
  reader.seek(dirOffset);
  for (uint32_t i = 0; i < entryCount; ++i) ReadEntry(reader, entries[i]);

  // The record is overwritten rather than emptied first; the old array would
  // otherwise be lost.
  std::free(wad.entries);
  std::memcpy(wad.magic, "WAD2", sizeof wad.magic);
  wad.dirOffset = dirOffset;
  wad.dirLength = static_cast<uint32_t>(dirLength);
  wad.entryCount = entryCount;
  wad.entries = entries;
  return VNL_OK;
}

void VNLWADKILL(VNLWADINFO_T* record) {
  if (record == nullptr) return;
  VNLWADINFO_T& wad = *record;
  std::free(wad.entries);
  wad.entries = nullptr;
  std::memset(wad.magic, 0, sizeof wad.magic);
  wad.dirOffset = 0;
  wad.dirLength = 0;
  wad.entryCount = 0;
}

namespace {

constexpr uint32_t kMipLevels = 4;
constexpr uint32_t kMipHeader = 16 + 4 + 4 + 4 * kMipLevels;

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool SameNameCaseAside(const char* stored, const char* wanted) {
  for (; *stored != 0 && *wanted != 0; ++stored, ++wanted)
    if (FoldCase(*stored) != FoldCase(*wanted)) return false;
  return *stored == *wanted;
}

// Reads level `level` of `width` x `height` at `offset` of the lump; false when it
// does not lie inside.
bool ReadLevel(const uint8_t* block, uint32_t length, uint32_t offset, uint32_t width, uint32_t height,
               VNLPICTURE_T& picture) {
  const uint64_t count = uint64_t(width) * height;
  if (count == 0 || offset < kMipHeader || uint64_t(offset) + count > length) return false;
  picture.pixels = static_cast<uint8_t*>(std::calloc(count, 1));
  if (picture.pixels == nullptr) return false;
  vnl::BlockReader reader(block, length);
  reader.seek(offset);
  reader.read(picture.pixels, count);
  picture.width = width;
  picture.height = height;
  return true;
}

}  // namespace

int32_t vnlWadLumpLoad(const uint8_t* block, uint32_t length, const char* name, uint8_t** lump, uint32_t* lumpLength,
                       uint8_t* type) {
  if (lump == nullptr || lumpLength == nullptr || type == nullptr) return VNL_NO_BLOCK;
  *lump = nullptr;
  *lumpLength = 0;
  if (name == nullptr || *name == 0) return VNL_NO_NAME;
  VNLWADINFO_T wad{};
  int32_t code = VNLWADGETINFO(const_cast<uint8_t* const&>(block), length, wad);
  if (code != VNL_OK) return code;
  const VNLWADENTRY_T* found = nullptr;
  for (uint32_t i = 0; i < wad.entryCount && found == nullptr; ++i)
    if (SameNameCaseAside(wad.entries[i].name, name)) found = &wad.entries[i];
  code = VNL_NOT_FOUND;
  if (found != nullptr) {
    code = VNL_WAD2_CORRUPT;
    if (uint64_t(found->offset) + found->diskLength <= length) {
      auto* bytes = static_cast<uint8_t*>(std::calloc(found->diskLength == 0 ? 1 : found->diskLength, 1));
      code = bytes == nullptr ? VNL_NO_MEMORY : VNL_OK;
      if (bytes != nullptr) {
        std::memcpy(bytes, block + found->offset, found->diskLength);
        *lump = bytes;
        *lumpLength = found->diskLength;
        *type = found->type;
      }
    }
  }
  VNLWADKILL(wad);
  return code;
}

int32_t vnlMipTexLoad(const uint8_t* block, uint32_t length, VNLMIPTEX_T* texture) {
  if (texture == nullptr || block == nullptr || length == 0) return VNL_NO_BLOCK;
  vnlMipTexKill(texture);
  vnl::BlockReader reader(block, length);
  std::string name = reader.text(16);
  const uint32_t width = reader.u32();
  const uint32_t height = reader.u32();
  uint32_t offsets[kMipLevels];
  for (uint32_t& offset : offsets) offset = reader.u32();
  if (length < kMipHeader || width == 0 || height == 0 || width % 16 != 0 || height % 16 != 0) return VNL_PICTURE_SIZE;
  if (!vnl::WithinBudget(uint64_t(width) * height * 2, length)) return VNL_NO_MEMORY;
  for (uint32_t level = 0; level < kMipLevels; ++level) {
    if (!ReadLevel(block, length, offsets[level], width >> level, height >> level, texture->levels[level])) {
      vnlMipTexKill(texture);
      return VNL_PICTURE_SIZE;
    }
  }
  std::memcpy(texture->name, name.data(), name.size() < 15 ? name.size() : 15);
  return VNL_OK;
}

void vnlMipTexKill(VNLMIPTEX_T* texture) {
  if (texture == nullptr) return;
  for (VNLPICTURE_T& level : texture->levels) vnlPictureKill(level);
  std::memset(texture->name, 0, sizeof texture->name);
}
