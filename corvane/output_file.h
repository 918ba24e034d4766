// Files the converter writes. Names are cleaned with "\" separators; they become
// "/" here, where they meet the file system. Every output is written to a
// temporary file in the target's folder and renamed over the target, so a write
// that fails leaves the old file as it was and nothing half-written behind.
#ifndef CORVANE_OUTPUT_FILE_H
#define CORVANE_OUTPUT_FILE_H

#include <cstddef>
#include <functional>
#include <string>

// "\" to "/".
std::string HostPath(const std::string& name);
// True for an existing file that is not a folder (hidden files count).
bool OutputExists(const std::string& name);
// Removes a file; false when it could not be removed.
bool RemoveOutput(const std::string& name);
// Writes `size` bytes as the whole content of `name`; false when nothing was written.
bool WriteOutput(const std::string& name, const void* data, size_t size);
inline bool WriteOutput(const std::string& name, const std::string& text) {
  return WriteOutput(name, text.data(), text.size());
}
// For writers that produce the file themselves (FreeImage): `produce` writes to the
// temporary path it is given and returns true on success; the result is then
// renamed over `name`.
bool WriteOutputVia(const std::string& name, const std::function<bool(const std::string& tempPath)>& produce);

#endif
