// Map entity text (run with -close_fd_mask=1: the parser prints every pair).
#include "varnel/varnel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t* block = const_cast<uint8_t*>(data);
  uint32_t length = static_cast<uint32_t>(size);
  vnlMapLoad(block, length);
  return 0;
}
