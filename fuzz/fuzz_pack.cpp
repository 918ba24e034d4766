// Pack directory and member reads, through a temporary file written for each input.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "harness.h"

namespace {

std::string gTempPack;

void RemoveTempPack() { std::remove(gTempPack.c_str()); }

// A name ending in ".pak", which the library forces on every pack name.
const std::string& TempPack() {
  if (gTempPack.empty()) {
    char name[] = "/tmp/fuzz-pack-XXXXXX.pak";
    int fd = mkstemps(name, 4);
    if (fd < 0) std::abort();
    close(fd);
    gTempPack = name;
    std::atexit(RemoveTempPack);
  }
  return gTempPack;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  harness::Require(harness::Pack(data, size, TempPack()));
  return 0;
}
