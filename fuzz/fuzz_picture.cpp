// Picture lump load and conversion, and format detection.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Picture(data, size));
  return 0;
}
