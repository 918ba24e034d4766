// The converter's whole model path into a temporary folder.
// Run with -close_fd_mask=1: the writers log to stdout.
#include "pipeline_harness.h"
#include "temporary_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Pipeline(data, size, harness::TemporaryFolder("fuzz-pipeline")));
  return 0;
}
