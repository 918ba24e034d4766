// Pack archives written: the header, the members' bytes in the given order, the
// directory at the end (where the loader and the engines look for it through the
// header).
//
// Names are judged before anything is laid out. A stored name is read back as a
// cleaned path, so only names that clean to themselves are taken: relative, no
// empty, "." or ".." level, no control byte, "/" or "\" separators (stored as
// "/"), at most 55 bytes so that the 56-byte field keeps its zero. Two names that
// differ only in case are refused as well: a member must stay reachable by its
// name on every file system it may be extracted to.
#include <set>
#include <string>

#include "block_writer.h"
#include "varnel/varnel.h"

namespace {

constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kEntrySize = 64;
constexpr uint32_t kNameSize = 56;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool LevelIsPlain(const std::string& level) {
  if (level.empty() || level == "." || level == "..") return false;
  // Blanks at either end of a level are trimmed when the name is read back.
  if (level.front() == ' ' || level.back() == ' ') return false;
  return level.find(':') == std::string::npos;
}

// The name as stored ("/" separators), or "" when it cannot be stored.
std::string StoredName(const char* name) {
  if (name == nullptr) return "";
  std::string stored = name;
  if (stored.empty() || stored.size() > kNameSize - 1) return "";
  for (char& c : stored) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "";
    if (c == '\\') c = '/';
  }
  size_t start = 0;
  while (start <= stored.size()) {
    size_t end = stored.find('/', start);
    if (end == std::string::npos) end = stored.size();
    if (!LevelIsPlain(stored.substr(start, end - start))) return "";
    start = end + 1;
  }
  return stored;
}

std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = LowerAscii(c);
  return folded;
}

}  // namespace

int32_t vnlPackSave(const VNLMEMBER_T* members, uint32_t count, uint8_t** block, uint32_t* length) {
  if (!vnl::BeginSave(block, length)) return VNL_NO_BLOCK;
  if (count == 0 || members == nullptr) return VNL_NO_BLOCK;
  std::vector<std::string> stored(count);
  std::set<std::string> seen;
  uint64_t total = kHeaderSize + uint64_t(count) * kEntrySize;
  for (uint32_t i = 0; i < count; ++i) {
    const VNLMEMBER_T& member = members[i];
    stored[i] = StoredName(member.name);
    if (stored[i].empty()) return VNL_PAK_NAME;
    if (!seen.insert(Folded(stored[i])).second) return VNL_PAK_REPEAT;
    if (member.length > 0 && member.data == nullptr) return VNL_NO_BLOCK;
    total += member.length;
  }
  if (total > UINT32_MAX) return VNL_NO_MEMORY;

  vnl::BlockWriter w;
  w.raw("PACK", 4);
  w.u32(0);  // the directory's offset, known once the members are in
  w.u32(count * kEntrySize);
  std::vector<uint32_t> offsets(count);
  for (uint32_t i = 0; i < count; ++i) {
    offsets[i] = uint32_t(w.size());
    w.raw(members[i].data, members[i].length);
  }
  w.patch(4, uint32_t(w.size()));
  for (uint32_t i = 0; i < count; ++i) {
    w.field(stored[i].c_str(), kNameSize);
    w.u32(offsets[i]);
    w.u32(members[i].length);
  }
  return w.handOver(block, length);
}
