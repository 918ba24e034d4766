// WAD2 directory read.
#include "varnel/varnel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t* block = const_cast<uint8_t*>(data);
  uint32_t length = static_cast<uint32_t>(size);
  VNLWADINFO_T wad{};
  if (VNLWADGETINFO(block, length, wad) == 0) {
    for (uint32_t i = 0; i < wad.entryCount; ++i)
      if (wad.entries[i].name[17] != '\0') __builtin_trap();
  }
  VNLWADKILL(wad);
  return 0;
}
