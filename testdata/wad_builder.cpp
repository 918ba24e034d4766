#include "wad_builder.h"

namespace testdata {

Bytes BuildWad(const std::vector<WadLump>& lumps) {
  ByteWriter data;
  std::vector<uint32_t> offsets;
  for (const WadLump& lump : lumps) {
    offsets.push_back(uint32_t(kWadHeaderSize + data.size()));
    data.raw(lump.data);
  }
  ByteWriter out;
  out.text("WAD2").u32(uint32_t(lumps.size())).u32(uint32_t(kWadHeaderSize + data.size()));
  out.raw(data.bytes());
  for (size_t i = 0; i < lumps.size(); ++i) {
    const WadLump& lump = lumps[i];
    uint32_t stored = uint32_t(lump.data.size());
    out.u32(offsets[i]).u32(stored).u32(lump.expandedLength ? lump.expandedLength : stored);
    out.u8(lump.type).u8(lump.compression).zeros(2).field(lump.name, 16);
  }
  return out.take();
}

}  // namespace testdata
