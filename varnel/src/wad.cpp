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
