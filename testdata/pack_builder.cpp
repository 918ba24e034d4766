#include "pack_builder.h"

namespace testdata {

Bytes BuildRawPack(const Bytes& data, const std::vector<RawPackEntry>& entries) {
  ByteWriter w;
  w.text("PACK").u32(uint32_t(12 + data.size())).u32(uint32_t(64 * entries.size()));
  w.raw(data);
  for (const RawPackEntry& entry : entries) w.field(entry.name, 56).u32(entry.offset).u32(entry.length);
  return w.take();
}

uint32_t PackDirOffset(const Bytes& pack) {
  return uint32_t(pack[4]) | uint32_t(pack[5]) << 8 | uint32_t(pack[6]) << 16 | uint32_t(pack[7]) << 24;
}

size_t PackEntryPosition(const Bytes& pack, size_t index) { return PackDirOffset(pack) + 64 * index; }

void SetPackEntry(Bytes& pack, size_t index, uint32_t offset, uint32_t length) {
  size_t at = PackEntryPosition(pack, index);
  PutU32(pack, at + 56, offset);
  PutU32(pack, at + 60, length);
}

}  // namespace testdata
