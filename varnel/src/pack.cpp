// Pack archives: the directory, and vnlPackFileLoad, the one door through which
// every file form gets its bytes (from the disk or from a pack member).
//
// A member is copied out with one positioned read of its own bytes; the pack
// itself is never read whole (real packs run to hundreds of megabytes).
#include <cstdlib>
#include <cstring>

#include "budget.h"
#include "file_io.h"
#include "text.h"
#include "varnel/varnel.h"

namespace {

constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kEntrySize = 64;
constexpr uint32_t kNameSize = 56;
// Directory entries are read this many at a time: few reads, bounded scratch.
constexpr uint32_t kEntriesPerRead = 256;

uint32_t WordAt(const uint8_t* bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// Names inside a pack are relative to the pack. The path cleaner keeps a leading
// separator because on the disk it means the root; here it means nothing, and
// "/progs/x.mdl" must find "progs/x.mdl" as it always has.
void DropLeadingSeparator(std::string& name) {
  if (!name.empty() && name.front() == '\\') name.erase(0, 1);
}

// The stored name: the field up to its first zero byte, cleaned. What follows
// the zero byte is never part of the name.
void StoreEntryName(const uint8_t* field, char (&name)[64]) {
  const char* text0 = reinterpret_cast<const char*>(field);
  std::string text(text0, strnlen(text0, kNameSize));
  vnl::CleanPath(text, 1);
  DropLeadingSeparator(text);
  if (text.size() > sizeof name - 1) text.resize(sizeof name - 1);
  std::memcpy(name, text.data(), text.size());
  name[text.size()] = '\0';
}

// A member of length 0 is usable (it loads as an empty block) when its offset
// lies past the header and inside the file.
bool EntryIsUsable(uint32_t offset, uint32_t length, uint64_t fileSize) {
  return offset >= kHeaderSize && uint64_t(offset) + uint64_t(length) <= fileSize;
}

void DecodeEntry(const uint8_t* at, uint64_t fileSize, VNLPACKENTRY_T& entry) {
  StoreEntryName(at, entry.name);
  entry.offset = WordAt(at + kNameSize);
  entry.length = WordAt(at + kNameSize + 4);
  entry.usable = EntryIsUsable(entry.offset, entry.length, fileSize) ? 1 : 0;
}

// Reads `count` entries from `dirOffset` into `entries`, a chunk at a time.
bool ReadEntries(const vnl::FileHandle& file, uint32_t dirOffset, uint32_t count, uint64_t fileSize,
                 VNLPACKENTRY_T* entries) {
  static_assert(kEntriesPerRead * kEntrySize <= 16 * 1024, "scratch stays small");
  uint8_t scratch[kEntriesPerRead * kEntrySize];
  for (uint32_t first = 0; first < count; first += kEntriesPerRead) {
    uint32_t chunk = count - first < kEntriesPerRead ? count - first : kEntriesPerRead;
    uint64_t bytes = uint64_t(chunk) * kEntrySize;
    if (file.readAt(uint64_t(dirOffset) + uint64_t(first) * kEntrySize, scratch, bytes) != bytes) return false;
    for (uint32_t i = 0; i < chunk; ++i) DecodeEntry(scratch + size_t(i) * kEntrySize, fileSize, entries[first + i]);
  }
  return true;
}

// Reads and checks the header, then the directory, from an open pack. The
// record is written only on success.
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

  uint32_t count = dirLength / kEntrySize;
  if (!vnl::WithinBudget(uint64_t(count) * sizeof(VNLPACKENTRY_T), fileSize)) return VNL_NO_MEMORY;
  auto* entries = static_cast<VNLPACKENTRY_T*>(std::calloc(count, sizeof(VNLPACKENTRY_T)));
  if (entries == nullptr) return VNL_NO_MEMORY;
  if (!ReadEntries(file, dirOffset, count, fileSize, entries)) {
    std::free(entries);
    return VNL_IO_ERROR;
  }
  std::memcpy(info.magic, "PACK", 5);
  info.dirOffset = dirOffset;
  info.dirLength = dirLength;
  info.entryCount = count;
  info.entries = entries;
  return VNL_OK;
}

// The stored name, trimmed of blanks, equals `wanted`; compared in place, since a
// lookup may walk thousands of entries.
bool NameMatches(const char (&name)[64], const std::string& wanted) {
  return vnl::TrimmedView(std::string_view(name, strnlen(name, sizeof name))) == wanted;
}

// The first usable entry of that name, in directory order.
const VNLPACKENTRY_T* FindMember(const VNLPACKINFO_T& info, const std::string& memberName) {
  for (uint32_t i = 0; i < info.entryCount; ++i) {
    const VNLPACKENTRY_T& entry = info.entries[i];
    if (entry.usable && NameMatches(entry.name, memberName)) return &entry;
  }
  return nullptr;
}

// Copies `length` bytes at `offset` of the pack into a new block (of one zero
// byte for an empty member, so that success always hands out a block).
int32_t ReadMember(const std::string& packName, uint32_t offset, uint32_t length, uint8_t*& block) {
  auto* data = static_cast<uint8_t*>(std::calloc(length == 0 ? 1 : length, 1));
  if (data == nullptr) return VNL_NOT_FOUND;
  int32_t code = VNL_OK;
  vnl::FileHandle file;
  if (!file.acquired())
    code = VNL_NO_HANDLE;
  else if (!file.open(packName))
    code = VNL_IO_ERROR;
  else if (file.readAt(offset, data, length) != length)
    code = VNL_IO_ERROR;
  if (code != VNL_OK) {
    std::free(data);
    return code;
  }
  block = data;
  return VNL_OK;
}

int32_t PackInfoRead(std::string& packName, VNLPACKINFO_T& info) {
  vnlPackInfoKill(&info);
  vnl::FileHandle file;
  if (!file.acquired()) return VNL_NO_HANDLE;
  std::string extension = ".pak";
  vnl::ForceType(packName, extension);
  if (packName.empty()) return VNL_NO_NAME;
  if (!vnl::IsExistingFile(packName)) return VNL_NOT_FOUND;
  if (!file.open(packName)) return VNL_IO_ERROR;
  return ReadDirectory(file, info);
}

}  // namespace

int32_t vnlPackInfoRead(const char* packName, VNLPACKINFO_T* info) {
  if (info == nullptr) return VNL_NO_BLOCK;
  std::string name = packName != nullptr ? packName : "";
  return PackInfoRead(name, *info);
}

void vnlPackInfoKill(VNLPACKINFO_T* info) {
  if (info == nullptr) return;
  std::free(info->entries);
  info->entries = nullptr;
  info->dirOffset = 0;
  info->dirLength = 0;
  info->entryCount = 0;
}

int32_t vnl::PackFileLoad(std::string& packName, std::string& fileName, uint8_t*& block, uint32_t& length) {
  length = 0;
  std::free(block);
  block = nullptr;
  CleanPath(fileName, 1);
  std::string extension = ".pak";
  ForceType(packName, extension);
  if (packName.empty()) return DiskRead(fileName, block, length);

  DropLeadingSeparator(fileName);
  VNLPACKINFO_T info{};
  int32_t code = PackInfoRead(packName, info);
  if (code != VNL_OK) return code;
  const VNLPACKENTRY_T* entry = FindMember(info, fileName);
  if (entry == nullptr) {
    vnlPackInfoKill(&info);
    return VNL_NOT_FOUND;
  }
  uint32_t memberOffset = entry->offset, memberLength = entry->length;
  vnlPackInfoKill(&info);

  code = ReadMember(packName, memberOffset, memberLength, block);
  if (code == VNL_OK) length = memberLength;
  return code;
}

int32_t vnlPackFileLoad(const char* packName, const char* fileName, uint8_t** block, uint32_t* length) {
  if (block == nullptr || length == nullptr) return VNL_NO_BLOCK;
  std::string pack = packName != nullptr ? packName : "";
  std::string file = fileName != nullptr ? fileName : "";
  return vnl::PackFileLoad(pack, file, *block, *length);
}

int32_t vnlPackEntryLoad(const char* packName, const VNLPACKENTRY_T* entry, uint8_t** block, uint32_t* length) {
  if (block == nullptr || length == nullptr) return VNL_NO_NAME;
  *length = 0;
  std::free(*block);
  *block = nullptr;
  if (packName == nullptr || *packName == 0) return VNL_NO_NAME;
  if (entry == nullptr || !entry->usable) return VNL_NOT_FOUND;
  std::string name = packName;
  std::string extension = ".pak";
  vnl::ForceType(name, extension);
  const int32_t code = ReadMember(name, entry->offset, entry->length, *block);
  if (code == VNL_OK) *length = entry->length;
  return code;
}
