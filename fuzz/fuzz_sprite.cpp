// Sprite loader, and its first frames through a palette.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Sprite(data, size));
  return 0;
}
