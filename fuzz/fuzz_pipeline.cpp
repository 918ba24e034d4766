// The converter's whole model path into a temporary folder.
// Run with -close_fd_mask=1: the writers log to stdout.
#include <stdlib.h>

#include <filesystem>

#include "pipeline_harness.h"

namespace {

std::string gFolder;

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(gFolder, ignored);
}

const std::string& Folder() {
  if (gFolder.empty()) {
    char name[] = "/tmp/fuzz-pipeline-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    gFolder = name;
    std::atexit(RemoveFolder);
  }
  return gFolder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Pipeline(data, size, Folder()));
  return 0;
}
