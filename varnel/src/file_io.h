// The library's only contact with the file system: the table of 255 file
// handles, the mapping of cleaned names to host paths, and the disk read.
#ifndef VARNEL_FILE_IO_H
#define VARNEL_FILE_IO_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "varnel/varnel.h"

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
// The converter's output module has its own HostPath and OutputExists: the library
// exports nothing beyond varnel.h.
bool IsExistingFile(const std::string& cleanedName);

// Reads a whole disk file into a new calloc block (codes 2, 3, 4, 5, 6, 8 or 0).
int32_t DiskRead(const std::string& cleanedName, uint8_t*& block, uint32_t& length);

// Counts free slots of the handle table (for tests and diagnostics).
int FreeHandleCount();

// vnlPackFileLoad on strings, which it rewrites as the C form rewrites its copies.
int32_t PackFileLoad(std::string& packName, std::string& fileName, uint8_t*& block, uint32_t& length);

// The steps every file form shares: force `extension` on the file name, fetch the
// block through PackFileLoad, run `memoryForm` on it, free it.
template <class MemoryForm>
int32_t LoadFileForm(std::string& packName, std::string& fileName, const char* extension, MemoryForm&& memoryForm);

int32_t FetchBlock(std::string& packName, std::string& fileName, const char* extension, uint8_t*& block,
                   uint32_t& length);

// Frees what `pointer` holds and forgets it: how every Kill function lets go.
template <class T>
void Release(T*& pointer) {
  std::free(pointer);
  pointer = nullptr;
}

// What every block loader does first: a missing block is refused (VNL_NO_BLOCK),
// and the record is emptied, so that a failed load leaves nothing of an older one.
template <class Record>
int32_t BeginLoad(const uint8_t* block, uint32_t length, Record& record, void (*kill)(Record*)) {
  if (block == nullptr || length == 0) return VNL_NO_BLOCK;
  kill(&record);
  return VNL_OK;
}

// LoadFileForm for a block loader that fills `record`, on copies of the caller's
// names (null reads as empty); a null record is refused as a missing block.
template <class Record>
int32_t LoadRecordFile(const char* packName, const char* fileName, const char* extension,
                       int32_t (*load)(const uint8_t*, uint32_t, Record*), Record* record) {
  if (record == nullptr) return VNL_NO_BLOCK;
  std::string pack = packName != nullptr ? packName : "";
  std::string file = fileName != nullptr ? fileName : "";
  return LoadFileForm(pack, file, extension,
                      [&](const uint8_t* block, uint32_t length) { return load(block, length, record); });
}

template <class MemoryForm>
int32_t LoadFileForm(std::string& packName, std::string& fileName, const char* extension, MemoryForm&& memoryForm) {
  uint8_t* block = nullptr;
  uint32_t length = 0;
  int32_t code = FetchBlock(packName, fileName, extension, block, length);
  if (code != 0) return code;
  code = memoryForm(static_cast<const uint8_t*>(block), length);
  std::free(block);
  return code;
}

}  // namespace vnl

#endif
