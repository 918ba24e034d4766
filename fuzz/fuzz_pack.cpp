// Pack directory and member reads, through a file written for each input.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "varnel/varnel.h"

namespace {

std::string TempPack() {
  static std::string path = [] {
    char name[] = "/tmp/fuzz-pack-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = TempPack();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  std::string packName = path;
  VNLPACKINFO_T info{};
  if (vnlPackInfoRead(packName, info) == 0) {
    for (uint32_t i = 0; i < info.entryCount && i < 8; ++i) {
      std::string pack = path, member = info.entries[i].name;
      uint8_t* block = nullptr;
      uint32_t length = 0;
      if (vnlPackFileLoad(pack, member, block, length) == 0 && length != info.entries[i].length) __builtin_trap();
      std::free(block);
    }
  }
  vnlPackInfoKill(info);
  return 0;
}
