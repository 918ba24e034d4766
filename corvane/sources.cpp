// Wildcard matching, and the expansion of a pattern over a pack's members or the
// files on the disk; the safe folders of an extraction into folders.
#include "sources.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#include "text_rules.h"
#include "varnel/varnel.h"

namespace {

enum class Token { Char, One, Star, AnyRun };

struct PatternToken {
  Token kind;
  char c;
};

std::vector<PatternToken> Tokenize(const std::string& pattern) {
  std::vector<PatternToken> tokens;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '?') {
      tokens.push_back({Token::One, 0});
    } else if (pattern[i] == '*') {
      size_t run = pattern.find_first_not_of('*', i);
      if (run == std::string::npos) run = pattern.size();
      tokens.push_back({run - i > 1 ? Token::AnyRun : Token::Star, 0});
      i = run - 1;
    } else {
      tokens.push_back({Token::Char, pattern[i]});
    }
  }
  return tokens;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The stored name as member lookup compares it: blanks trimmed at both ends.
std::string TrimmedName(const char (&stored)[64]) {
  return TrimBlanks(std::string(stored, strnlen(stored, sizeof stored)));
}

// The pattern as the loaders will see a member name: cleaned, relative.
std::string CleanMemberPattern(const std::string& pattern) {
  std::string cleaned = pattern;
  vnlCleanPath(cleaned, 1);
  if (!cleaned.empty() && cleaned.front() == '\\') cleaned.erase(0, 1);
  return cleaned;
}

std::vector<std::string> SplitLevels(const std::string& path) {
  std::vector<std::string> levels(1);
  for (char c : path) {
    if (IsSeparator(c))
      levels.emplace_back();
    else
      levels.back() += c;
  }
  return levels;
}

bool IsDriveLike(const std::string& level) {
  return level.size() >= 2 && level[1] == ':' && std::isalpha(static_cast<unsigned char>(level[0]));
}

}  // namespace

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

bool MatchPattern(const std::string& pattern, const std::string& name) {
  const std::vector<PatternToken> tokens = Tokenize(pattern);
  const size_t n = name.size();
  // reach[j]: the tokens so far can match the first j characters of the name.
  std::vector<char> reach(n + 1, 0), next(n + 1, 0);
  reach[0] = 1;
  for (const PatternToken& token : tokens) {
    std::fill(next.begin(), next.end(), 0);
    for (size_t j = 0; j <= n; ++j) {
      const bool here = reach[j] != 0;
      switch (token.kind) {
        case Token::Char:
          if (here && j < n && (name[j] == token.c || (IsSeparator(name[j]) && IsSeparator(token.c)))) next[j + 1] = 1;
          break;
        case Token::One:
          if (here && j < n && !IsSeparator(name[j])) next[j + 1] = 1;
          break;
        case Token::Star:  // carries on over anything but a separator
          if (here || (j > 0 && next[j - 1] && !IsSeparator(name[j - 1]))) next[j] = 1;
          break;
        case Token::AnyRun:
          if (here || (j > 0 && next[j - 1])) next[j] = 1;
          break;
      }
    }
    reach.swap(next);
  }
  return reach[n] != 0;
}

bool IsWadName(const std::string& name) {
  return name.size() > 4 && LowerAscii(name.substr(name.size() - 4)) == ".wad";
}

std::string LibraryFailure(int32_t code) {
  std::string failure;
  vnlErrorString(code, failure);
  return failure.empty() ? "error " + std::to_string(code) : failure;
}

bool ExpandWadPattern(const std::string& wadName, const std::string& pattern, std::vector<SourceMatch>& matches,
                      std::string& failure) {
  std::string noPack, file = wadName;
  uint8_t* block = nullptr;
  uint32_t length = 0;
  int32_t code = vnlPackFileLoad(noPack, file, block, length);
  VNLWADINFO_T info{};
  if (code == VNL_OK) code = VNLWADGETINFO(block, length, info);
  std::free(block);
  if (code != VNL_OK) {
    failure = LibraryFailure(code);
    return false;
  }
  // Lump names are looked up with the case aside, so they are matched that way too.
  const std::string wanted = LowerAscii(TrimBlanks(pattern));
  std::set<std::string> seen;
  for (uint32_t i = 0; i < info.entryCount; ++i) {
    const std::string name = info.entries[i].name;
    if (wanted.empty() || !MatchPattern(wanted, LowerAscii(name))) continue;
    SourceMatch match;
    match.name = name;
    if (name.empty())
      match.refusal = "a lump without a name";
    else if (!seen.insert(LowerAscii(name)).second)
      match.refusal = "the name repeats an earlier lump's";
    matches.push_back(match);
  }
  VNLWADKILL(info);
  return true;
}

bool ExpandPackPattern(std::string packName, const std::string& pattern, std::vector<SourceMatch>& matches,
                       std::string& failure) {
  if (IsWadName(packName)) return ExpandWadPattern(packName, pattern, matches, failure);
  VNLPACKINFO_T info{};
  const int32_t code = vnlPackInfoRead(packName, info);
  if (code != VNL_OK) {
    vnlErrorString(code, failure);
    if (failure.empty()) failure = "error " + std::to_string(code);
    vnlPackInfoKill(info);
    return false;
  }
  const std::string wanted = CleanMemberPattern(pattern);
  std::set<std::string> seen;
  for (uint32_t i = 0; i < info.entryCount; ++i) {
    const std::string name = TrimmedName(info.entries[i].name);
    if (wanted.empty() || !MatchPattern(wanted, name)) continue;
    SourceMatch match;
    match.name = name;
    match.entry = info.entries[i];
    match.inPack = true;
    if (name.empty())
      match.refusal = "a member without a name";
    else if (!seen.insert(name).second)
      match.refusal = "the name repeats an earlier member's";
    matches.push_back(match);
  }
  vnlPackInfoKill(info);
  return true;
}

std::string PatternFolder(const std::string& pattern, size_t* depthOut, size_t* levelCount) {
  std::string cleaned = pattern;
  vnlCleanPath(cleaned, 1);
  if (cleaned.empty()) return "";
  const bool rooted = cleaned.front() == '\\';
  std::vector<std::string> levels = SplitLevels(rooted ? cleaned.substr(1) : cleaned);
  std::string fixed = rooted ? "\\" : "";
  size_t depth = 0;
  for (; depth < levels.size() && !HasWildcard(levels[depth]); ++depth) fixed += levels[depth] + "\\";
  if (depthOut != nullptr) *depthOut = depth;
  if (levelCount != nullptr) *levelCount = levels.size();
  return fixed;
}

namespace {

// A walk of the disk below one folder: what matches, and each folder that cannot be read.
struct DiskWalk {
  std::string pattern;  // cleaned
  bool anyDepth = false;
  size_t below = 0;  // the levels a match has below the walked folder, without "**"
  std::vector<SourceMatch> found;
};

// The loaders clean a name (blanks trimmed around its levels, "\" a separator):
// a file named otherwise is read by the name that matched instead.
bool NameSurvivesCleaning(const std::string& level) {
  return level.find('\\') == std::string::npos && TrimBlanks(level) == level;
}

// The entries of the folder `host`; false with errno when it cannot be read whole.
bool ReadFolder(const std::string& host, std::vector<std::string>& names) {
  DIR* folder = opendir(host.c_str());
  if (folder == nullptr) return false;
  errno = 0;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  const int error = errno;
  closedir(folder);
  errno = error;
  return error == 0;
}

// Walks the folder `host`, shown as `shown` ("" or ending with "\\"), `depth`
// levels below the first; a folder is read whole and closed before the next, so
// that the depth costs no descriptors. `renamed`: a level above has a name the
// loaders would clean into another.
void WalkFolder(DiskWalk& walk, const std::string& host, const std::string& shown, size_t depth, bool renamed) {
  std::vector<std::string> names;
  if (!ReadFolder(host, names)) {
    if (depth == 0 && errno == ENOENT) return;  // nothing there: nothing matches
    const std::string folder = shown.empty() ? "." : shown.substr(0, shown.size() - 1);
    SourceMatch failed;
    failed.name = folder;
    failed.refusal = std::string("the folder cannot be read: ") + std::strerror(errno);
    walk.found.push_back(failed);
    return;
  }
  for (const std::string& name : names) {
    const std::string path = host + "/" + name;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {  // not one reached through a link
      if (walk.anyDepth || depth + 1 < walk.below)
        WalkFolder(walk, path, shown + name + "\\", depth + 1, renamed || !NameSurvivesCleaning(name));
      continue;
    }
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    SourceMatch match;
    match.name = shown + name;
    if (!MatchPattern(walk.pattern, match.name)) continue;
    if (renamed || !NameSurvivesCleaning(name)) match.hostPath = path;
    walk.found.push_back(match);
  }
}

}  // namespace

void ExpandDiskPattern(const std::string& pattern, std::vector<SourceMatch>& matches) {
  std::string cleaned = pattern;
  vnlCleanPath(cleaned, 1);
  if (cleaned.empty()) return;
  // The folder to walk: the levels before the first one with a wildcard.
  size_t depth = 0, levelCount = 0;
  const std::string fixed = PatternFolder(pattern, &depth, &levelCount);
  if (depth == levelCount) return;

  DiskWalk walk;
  walk.pattern = cleaned;
  walk.anyDepth = cleaned.find("**") != std::string::npos;
  walk.below = levelCount - depth;
  std::string host = fixed.empty() ? "." : fixed.substr(0, fixed.size() - (fixed.size() > 1 ? 1 : 0));
  std::replace(host.begin(), host.end(), '\\', '/');
  WalkFolder(walk, host, fixed, 0, false);
  std::sort(walk.found.begin(), walk.found.end(),
            [](const SourceMatch& a, const SourceMatch& b) { return a.name < b.name; });
  matches.insert(matches.end(), walk.found.begin(), walk.found.end());
}

bool ReadHostFile(const std::string& path, uint8_t*& data, uint32_t& size, std::string& failure) {
  data = nullptr;
  size = 0;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info;
  bool ok = fd >= 0 && fstat(fd, &info) == 0;
  if (ok && uint64_t(info.st_size) > UINT32_MAX) {
    failure = "the file is larger than 4 GiB";
    ok = false;
  } else if (ok && info.st_size > 0) {
    size = uint32_t(info.st_size);
    data = static_cast<uint8_t*>(std::calloc(size, 1));
    uint32_t got = 0;
    while (data != nullptr && got < size) {
      const ssize_t done = read(fd, data + got, size - got);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) break;
      got += uint32_t(done);
    }
    ok = data != nullptr && got == size;
    if (!ok)
      failure = std::string("the file cannot be read: ") + std::strerror(data == nullptr ? ENOMEM
                                                                         : errno         ? errno
                                                                                         : EIO);
  } else if (!ok) {
    failure = std::string("the file cannot be read: ") + std::strerror(errno);
  }
  if (fd >= 0) close(fd);
  if (!ok) {
    std::free(data);
    data = nullptr;
    size = 0;
  }
  return ok;
}

std::string PathInsideFolder(const std::string& memberName) {
  std::string path;
  bool first = true;
  for (const std::string& level : SplitLevels(memberName)) {
    std::string kept = level;
    if (first && IsDriveLike(kept)) kept = kept.substr(2);
    first = false;
    if (kept.empty() || kept == "." || kept == "..") continue;
    path += (path.empty() ? "" : "\\") + kept;
  }
  return path;
}

int OpenFoldersInside(const std::string& path, std::string& failure) {
  const std::vector<std::string> levels = SplitLevels(path);
  int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    failure = std::string("the current folder: ") + std::strerror(errno);
    return -1;
  }
  std::string walked;
  for (size_t i = 0; i + 1 < levels.size(); ++i) {
    walked += (walked.empty() ? "" : "/") + levels[i];
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int inner = openat(folder, levels[i].c_str(), flags);
    if (inner < 0 && errno == ENOENT && (mkdirat(folder, levels[i].c_str(), 0777) == 0 || errno == EEXIST))
      inner = openat(folder, levels[i].c_str(), flags);
    const int error = errno;
    close(folder);
    if (inner < 0) {
      const bool inTheWay = error == ELOOP || error == ENOTDIR;
      failure =
          "folder \"" + walked + "\": " + (inTheWay ? "a symbolic link or a file stands there" : std::strerror(error));
      return -1;
    }
    folder = inner;
  }
  return folder;
}

bool MakeFoldersAbove(const std::string& name, std::string& failure) {
  std::string host = name;
  std::replace(host.begin(), host.end(), '\\', '/');
  const std::filesystem::path folder = std::filesystem::path(host).parent_path();
  if (folder.empty()) return true;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error) return true;
  failure = "folder \"" + folder.generic_string() + "\" cannot be made: " + error.message();
  return false;
}
