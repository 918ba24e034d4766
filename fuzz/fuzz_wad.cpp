// WAD2 directory read.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Wad(data, size));
  return 0;
}
