// The library's only contact with the file system: the table of 255 file
// handles, the mapping of cleaned names to host paths, and the disk read.
#ifndef VARNEL_FILE_IO_H
#define VARNEL_FILE_IO_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vnl {

constexpr int kHandleCount = 255;

// A slot of the handle table, held for the lifetime of the object.
class FileHandle {
 public:
  FileHandle();
  ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool acquired() const { return slot_ >= 0; }
  // Opens `cleanedName` for reading as raw bytes; false when it cannot be opened.
  bool open(const std::string& cleanedName);
  void close();
  // File length in bytes (files of 4 GiB or more are not catered for).
  uint64_t size() const;
  // Reads `count` bytes at `offset`; returns the number read.
  uint64_t readAt(uint64_t offset, void* target, uint64_t count) const;

 private:
  int slot_ = -1;
  int fd_ = -1;
};

// Cleaned names carry "\" separators; the host wants "/".
std::string HostPath(const std::string& cleanedName);
// True for an existing file that is not a folder.
bool IsExistingFile(const std::string& cleanedName);

// Reads a whole disk file into a new calloc block (codes 2, 3, 4, 5, 6, 8 or 0).
int32_t DiskRead(const std::string& cleanedName, uint8_t*& block, uint32_t& length);

// Counts free slots of the handle table (for tests and diagnostics).
int FreeHandleCount();

// The steps every file form shares: force `extension` on the file name, fetch the
// block through vnlPackFileLoad, run `memoryForm` on it, free it.
template <class MemoryForm>
int32_t LoadFileForm(std::string& packName, std::string& fileName, const char* extension,
                     MemoryForm&& memoryForm);

int32_t FetchBlock(std::string& packName, std::string& fileName, const char* extension, uint8_t*& block,
                   uint32_t& length);

template <class MemoryForm>
int32_t LoadFileForm(std::string& packName, std::string& fileName, const char* extension,
                     MemoryForm&& memoryForm) {
  uint8_t* block = nullptr;
  uint32_t length = 0;
  int32_t code = FetchBlock(packName, fileName, extension, block, length);
  if (code != 0) return code;
  uint8_t* const& constBlock = block;
  code = memoryForm(constBlock, length);
  std::free(block);
  return code;
}

}  // namespace vnl

#endif
