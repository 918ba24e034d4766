// Odd pack archives for tests: directory entries that point anywhere, and the
// positions needed to patch a built pack's header or entries.
#ifndef TESTDATA_PACK_BUILDER_H
#define TESTDATA_PACK_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"

namespace testdata {

struct RawPackEntry {
  std::string name;  // written into the 56-byte field as is (may hold zero bytes)
  uint32_t offset = 0;
  uint32_t length = 0;
};

// "PACK", `data` from offset 12 on, then a directory of `entries` exactly as given.
Bytes BuildRawPack(const Bytes& data, const std::vector<RawPackEntry>& entries);

// The header's directory offset of a built pack.
uint32_t PackDirOffset(const Bytes& pack);
// Where entry `index` starts in a built pack.
size_t PackEntryPosition(const Bytes& pack, size_t index);
// Overwrites entry `index`'s data offset and length.
void SetPackEntry(Bytes& pack, size_t index, uint32_t offset, uint32_t length);

}  // namespace testdata

#endif
