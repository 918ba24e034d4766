// Synthetic WAD2 archives for tests.
#ifndef TESTDATA_WAD_BUILDER_H
#define TESTDATA_WAD_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"

namespace testdata {

struct WadLump {
  std::string name;  // written into the 16-byte field (cut when longer, zero-padded)
  Bytes data;
  uint8_t type = 0x44;
  uint8_t compression = 0;
  uint32_t expandedLength = 0;  // 0: the data's size
};

constexpr size_t kWadHeaderSize = 12;
constexpr size_t kWadEntrySize = 32;

// "WAD2", the count and the directory offset, the lumps' data from offset 12 on,
// then the directory at the very end.
Bytes BuildWad(const std::vector<WadLump>& lumps);

}  // namespace testdata

#endif
