// Path cleaning and extension forcing: the input is "path\0extensions".
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Paths(data, size));
  return 0;
}
