// Map entity text (run with -close_fd_mask=1: the parser prints every pair).
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Map(data, size));
  return 0;
}
