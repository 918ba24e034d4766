// Model loader, frame lookup and every model operation on whatever loads.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Model(data, size));
  return 0;
}
