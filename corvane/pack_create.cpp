// The pack-making mode: every file a disk pattern matches becomes a member, named
// by its path below the pattern's fixed folder, in name order.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "console.h"
#include "modes.h"
#include "options.h"
#include "output.h"
#include "sources.h"
#include "text_rules.h"

namespace {

// The most members the engines load from one pack.
constexpr size_t kEngineMemberLimit = 2048;
constexpr size_t kLongestName = 55;

struct FreeBlock {
  void operator()(uint8_t* block) const { std::free(block); }
};

// One member in the making: its stored name and the file's bytes.
struct PackPart {
  std::string file;      // the disk file, "\" separators
  std::string member;    // the stored name, "/" separators
  std::string hostPath;  // set when the loaders would clean the file's name into another
  std::unique_ptr<uint8_t, FreeBlock> bytes;
  uint32_t length = 0;
};

bool EndsWithPak(const std::string& name) {
  return name.size() > 4 && LowerAscii(name.substr(name.size() - 4)) == ".pak";
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(HostPath(a), HostPath(b), error) && !error;
}

// Why `member` cannot be stored, or "". The library judges a name; the repeat is
// found here, so that the message can name both files.
std::string MemberRefusal(const std::string& member, std::set<std::string>& folded) {
  if (member.size() > kLongestName)
    return "a member name has at most " + std::to_string(kLongestName) + " bytes (" + std::to_string(member.size()) +
           " here)";
  VNLMEMBER_T alone{member.c_str(), nullptr, 0, 0};
  uint8_t* block = nullptr;
  uint32_t length = 0;
  const int32_t code = vnlPackSave(&alone, 1, &block, &length);
  std::free(block);
  if (code != VNL_OK) {
    std::string text;
    vnlErrorString(code, text);
    return text.empty() ? "error " + std::to_string(code) : text;
  }
  if (!folded.insert(LowerAscii(member)).second) return "the name repeats an earlier member's, case aside";
  return "";
}

// The members from the matches; false with the failure recorded.
bool CollectParts(const RunOptions& options, RunOutcome& outcome, const std::vector<SourceMatch>& matches,
                  std::vector<PackPart>& parts) {
  const std::string fixed = PatternFolder(options.createPattern);
  std::set<std::string> folded;
  for (const SourceMatch& match : matches) {
    if (!match.refusal.empty())
      return FailWith(outcome, "Pack create: \"" + PrintableName(match.name) + "\": " + match.refusal) == 0;
    if (SameFile(match.name, options.dstTyped)) continue;  // an older copy of the pack being made
    PackPart part;
    part.file = match.name;
    part.hostPath = match.hostPath;
    part.member = match.name.substr(match.name.compare(0, fixed.size(), fixed) == 0 ? fixed.size() : 0);
    for (char& c : part.member)
      if (c == '\\') c = '/';
    const std::string refusal = MemberRefusal(part.member, folded);
    if (!refusal.empty())
      return FailWith(outcome, "Pack create: \"" + PrintableName(part.member) + "\": " + refusal) == 0;
    parts.push_back(std::move(part));
  }
  return true;
}

bool ReadParts(RunOutcome& outcome, std::vector<PackPart>& parts) {
  for (PackPart& part : parts) {
    uint8_t* block = nullptr;
    if (!part.hostPath.empty()) {
      std::string failure;
      const bool read = ReadHostFile(part.hostPath, block, part.length, failure);
      part.bytes.reset(block);
      if (!read) return FailWith(outcome, "Pack create: \"" + PrintableName(part.file) + "\": " + failure) == 0;
      continue;
    }
    std::string noPack, file = part.file;
    const int32_t code = vnlPackFileLoad(noPack, file, block, part.length);
    part.bytes.reset(block);
    if (code == VNL_EMPTY_FILE) continue;  // an empty member is a member all the same
    if (code != VNL_OK) return FailWith(outcome, "Pack create: \"" + PrintableName(part.file) + "\": ", code) == 0;
  }
  return true;
}

}  // namespace

int RunPackCreate(const RunOptions& options, RunOutcome& outcome) {
  SectionLine(":: PACK CREATE");
  if (!EndsWithPak(options.dstTyped))
    return FailWith(outcome, "Pack create: -dst must name the pack to make (NAME.pak)");
  ValueLine("  Pattern:", options.createPattern);
  std::vector<SourceMatch> matches;
  ExpandDiskPattern(options.createPattern, matches);
  std::vector<PackPart> parts;
  if (!CollectParts(options, outcome, matches, parts)) return 1;
  if (parts.empty())
    return FailWith(outcome, "Pack create: nothing matches \"" + PrintableName(options.createPattern) + "\"");
  ValueLabel("  Members:");
  ConsoleLine(std::to_string(parts.size()));
  if (parts.size() > kEngineMemberLimit)
    ConsoleLine("  Warning:  the engines load at most " + std::to_string(kEngineMemberLimit) + " members of one pack");
  if (!ReadParts(outcome, parts)) return 1;

  std::vector<VNLMEMBER_T> members;
  for (const PackPart& part : parts) members.push_back({part.member.c_str(), part.bytes.get(), part.length, 0});
  uint8_t* block = nullptr;
  uint32_t length = 0;
  const int32_t code = vnlPackSave(members.data(), uint32_t(members.size()), &block, &length);
  if (code != VNL_OK) return FailWith(outcome, "Pack create: ", code);
  SectionLine(":: OUTPUTS");
  ValueLine("  Pack:", options.dstTyped);
  WriteOutput(options, outcome, options.dstTyped, block, length);
  std::free(block);
  return 0;
}
