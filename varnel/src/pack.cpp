// Pack archives: the directory, and vnlPackFileLoad, the one door through which
// every file form gets its bytes (from the disk or from a pack member).
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files.h"
#include "text.h"
#include "varnel/varnel.h"

namespace {

constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kEntrySize = 64;
constexpr uint32_t kNameSize = 56;

uint32_t WordAt(const uint8_t* bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// The stored name: the whole 56-byte field cleaned (bytes after a zero byte may
// still end a component), then cut at its first zero byte.
void StoreEntryName(const uint8_t* field, char (&name)[64]) {
  std::string text(reinterpret_cast<const char*>(field), kNameSize);
  vnlCleanPath(text, 1);
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  if (text.size() > sizeof name - 1) text.resize(sizeof name - 1);
  std::memcpy(name, text.data(), text.size());
  name[text.size()] = '\0';
}

bool EntryIsUsable(uint32_t offset, uint32_t length, uint64_t fileSize) {
  return offset >= kHeaderSize && length != 0 && uint64_t(offset) + uint64_t(length) <= fileSize;
}

// Reads and checks the header, then the directory, from an open pack.
int32_t ReadDirectory(const vnl::FileHandle& file, VNLPACKINFO_T& info) {
  uint64_t fileSize = file.size();
  if (fileSize == 0) return VNL_EMPTY_FILE;
  uint8_t header[kHeaderSize] = {};
  file.readAt(0, header, kHeaderSize);
  if (std::memcmp(header, "PACK", 4) != 0) return VNL_NOT_PAK;
  uint32_t dirOffset = WordAt(header + 4);
  uint32_t dirLength = WordAt(header + 8);
  if (dirLength == 0 || dirLength % kEntrySize != 0 || dirOffset < kHeaderSize ||
      uint64_t(dirOffset) + uint64_t(dirLength) > fileSize)
    return VNL_PAK_CORRUPT;

  // One read for the whole directory, then the entries from memory.
  std::vector<uint8_t> raw(dirLength);
  if (file.readAt(dirOffset, raw.data(), dirLength) != dirLength) return VNL_IO_ERROR;
  uint32_t count = dirLength / kEntrySize;
  auto* entries = static_cast<VNLPACKENTRY_T*>(std::calloc(count, sizeof(VNLPACKENTRY_T)));
  if (entries == nullptr) return VNL_NO_MEMORY;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* at = raw.data() + size_t(i) * kEntrySize;
    VNLPACKENTRY_T& entry = entries[i];
    StoreEntryName(at, entry.name);
    entry.offset = WordAt(at + kNameSize);
    entry.length = WordAt(at + kNameSize + 4);
    entry.usable = EntryIsUsable(entry.offset, entry.length, fileSize) ? 1 : 0;
  }
  std::memcpy(info.magic, "PACK", 5);
  info.dirOffset = dirOffset;
  info.dirLength = dirLength;
  info.entryCount = count;
  info.entries = entries;
  return VNL_OK;
}

const VNLPACKENTRY_T* FindMember(const VNLPACKINFO_T& info, const std::string& cleanedName) {
  for (uint32_t i = 0; i < info.entryCount; ++i) {
    const VNLPACKENTRY_T& entry = info.entries[i];
    if (entry.usable && vnl::TrimBlanks(entry.name) == cleanedName) return &entry;
  }
  return nullptr;
}

}  // namespace

int32_t vnlPackInfoRead(std::string& packName, VNLPACKINFO_T& info) {
  vnlPackInfoKill(info);
  vnl::FileHandle file;
  if (!file.acquired()) return VNL_NO_HANDLE;
  std::string extension = ".pak";
  vnlForceType(packName, extension);
  if (packName.empty()) return VNL_NO_NAME;
  if (!vnl::IsExistingFile(packName)) return VNL_NOT_FOUND;
  if (!file.open(packName)) return VNL_IO_ERROR;
  return ReadDirectory(file, info);
}

void vnlPackInfoKill(VNLPACKINFO_T& info) {
  std::free(info.entries);
  info.entries = nullptr;
  info.dirOffset = 0;
  info.dirLength = 0;
  info.entryCount = 0;
}

int32_t vnlPackFileLoad(std::string& packName, std::string& fileName, uint8_t*& block, uint32_t& length) {
  length = 0;
  std::free(block);
  block = nullptr;
  vnlCleanPath(fileName, 1);
  std::string extension = ".pak";
  vnlForceType(packName, extension);
  if (packName.empty()) return vnl::DiskRead(fileName, block, length);

  VNLPACKINFO_T info{};
  int32_t code = vnlPackInfoRead(packName, info);
  if (code != VNL_OK) return code;
  const VNLPACKENTRY_T* entry = FindMember(info, fileName);
  if (entry == nullptr) {
    vnlPackInfoKill(info);
    return VNL_NOT_FOUND;
  }
  uint32_t memberOffset = entry->offset, memberLength = entry->length;
  vnlPackInfoKill(info);

  auto* data = static_cast<uint8_t*>(std::calloc(memberLength, 1));
  if (data == nullptr) return VNL_NOT_FOUND;
  vnl::FileHandle file;
  if (!file.acquired()) code = VNL_NO_HANDLE;
  else if (!file.open(packName)) code = VNL_IO_ERROR;
  else if (file.readAt(memberOffset, data, memberLength) != memberLength) code = VNL_IO_ERROR;
  if (code != VNL_OK) {
    std::free(data);
    return code;
  }
  block = data;
  length = memberLength;
  return VNL_OK;
}
