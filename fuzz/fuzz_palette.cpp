// Palette load, and a colormap attached to a loaded palette, converted through.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Palette(data, size));
  return 0;
}
