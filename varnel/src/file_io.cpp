#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "text.h"
#include "varnel/varnel.h"

namespace vnl {
namespace {

// The one piece of state the library keeps: which of its 255 handles are taken.
std::atomic<bool> gHandleTaken[kHandleCount];

int TakeSlot() {
  for (int i = 0; i < kHandleCount; ++i) {
    bool expected = false;
    if (gHandleTaken[i].compare_exchange_strong(expected, true)) return i;
  }
  return -1;
}

}  // namespace

FileHandle::FileHandle() : slot_(TakeSlot()) {}

FileHandle::~FileHandle() {
  close();
  if (slot_ >= 0) gHandleTaken[slot_].store(false);
}

bool FileHandle::open(const std::string& cleanedName) {
  close();
  fd_ = ::open(HostPath(cleanedName).c_str(), O_RDONLY | O_CLOEXEC);
  return fd_ >= 0;
}

void FileHandle::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

uint64_t FileHandle::size() const {
  struct stat info;
  if (fd_ < 0 || fstat(fd_, &info) != 0 || info.st_size < 0) return 0;
  return static_cast<uint64_t>(info.st_size);
}

uint64_t FileHandle::readAt(uint64_t offset, void* target, uint64_t count) const {
  uint64_t done = 0;
  while (fd_ >= 0 && done < count) {
    ssize_t got = ::pread(fd_, static_cast<uint8_t*>(target) + done, static_cast<size_t>(count - done),
                          static_cast<off_t>(offset + done));
    if (got <= 0) break;
    done += static_cast<uint64_t>(got);
  }
  return done;
}

int FreeHandleCount() {
  int count = 0;
  for (const auto& taken : gHandleTaken) count += taken.load() ? 0 : 1;
  return count;
}

std::string HostPath(const std::string& cleanedName) {
  std::string path = cleanedName;
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

bool IsExistingFile(const std::string& cleanedName) {
  struct stat info;
  return stat(HostPath(cleanedName).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int32_t DiskRead(const std::string& cleanedName, uint8_t*& block, uint32_t& length) {
  FileHandle file;
  if (!file.acquired()) return VNL_NO_HANDLE;
  if (cleanedName.empty()) return VNL_NO_NAME;
  if (!IsExistingFile(cleanedName)) return VNL_NOT_FOUND;
  if (!file.open(cleanedName)) return VNL_IO_ERROR;
  uint64_t size = file.size();
  if (size == 0) return VNL_EMPTY_FILE;
  if (size > UINT32_MAX) return VNL_NO_MEMORY;
  auto* data = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1));
  if (data == nullptr) return VNL_NO_MEMORY;
  if (file.readAt(0, data, size) != size) {
    std::free(data);
    return VNL_IO_ERROR;
  }
  block = data;
  length = static_cast<uint32_t>(size);
  return VNL_OK;
}

int32_t FetchBlock(std::string& packName, std::string& fileName, const char* extension, uint8_t*& block,
                   uint32_t& length) {
  std::string extensions = extension;
  ForceType(fileName, extensions);
  if (fileName.empty()) return VNL_NO_NAME;
  int32_t code = PackFileLoad(packName, fileName, block, length);
  // An empty pack member is as empty as an empty disk file.
  if (code == VNL_OK && length == 0) {
    std::free(block);
    block = nullptr;
    return VNL_EMPTY_FILE;
  }
  return code;
}

}  // namespace vnl
