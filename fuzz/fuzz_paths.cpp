// Path cleaning and extension forcing: the input is "path\0extensions".
#include <string>

#include "varnel/varnel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t split = text.find('\0');
  std::string path = text.substr(0, split);
  std::string extensions = split == std::string::npos ? ".mdl" : text.substr(split + 1);
  std::string folder = path;
  vnlCleanPath(folder, 0);
  std::string once = path;
  vnlCleanPath(once, 1);
  std::string twice = once;
  vnlCleanPath(twice, 1);
  if (twice != once) __builtin_trap();  // a cleaned path is already clean
  vnlForceType(path, extensions);
  return 0;
}
