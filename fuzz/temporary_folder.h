// The one folder a fuzz target that writes files works in: made on first use
// under /tmp, removed with everything in it when the target exits.
#ifndef FUZZ_TEMPORARY_FOLDER_H
#define FUZZ_TEMPORARY_FOLDER_H

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace harness {

inline std::string& TemporaryFolderName() {
  static std::string name;
  return name;
}

inline void RemoveTemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(TemporaryFolderName(), ignored);
}

// `prefix` names the folder ("/tmp/PREFIX-XXXXXX"); only the first call's counts.
inline const std::string& TemporaryFolder(const char* prefix) {
  std::string& folder = TemporaryFolderName();
  if (folder.empty()) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    std::atexit(RemoveTemporaryFolder);
  }
  return folder;
}

}  // namespace harness

#endif
