// Sources named by a pattern: wildcards in the file part of a source, matched
// against the members of a pack or the files below a folder.
//
// Patterns are cleaned as member names are ("\" separators, "." and ".." resolved,
// blanks trimmed) and matched with the case kept, as member lookup compares:
//   *   any run of characters within one folder level
//   ?   one character other than a separator
//   **  any run of characters, separators included
#ifndef CORVANE_SOURCES_H
#define CORVANE_SOURCES_H

#include <string>
#include <vector>

#include "varnel/varnel.h"

// True when the name holds a wildcard.
bool HasWildcard(const std::string& name);
// True when `name` ("\" separators) matches the whole `pattern`.
bool MatchPattern(const std::string& pattern, const std::string& name);

// One match: the name to load it by, and why it cannot be loaded ("" when it can).
struct SourceMatch {
  std::string name;
  std::string refusal;
  VNLPACKENTRY_T entry{};  // a pack member's entry, so that it loads without reading the directory again
  bool inPack = false;
  std::string hostPath;  // a disk file whose name the loaders would clean into another: read by this path
};

// True for a name ending in ".wad" (case aside): a WAD2 archive, whose lumps are
// sources as a pack's members are.
bool IsWadName(const std::string& name);
// The members of `packName` that match `pattern`, in pack order (for a WAD2, its
// lumps, matched with the case aside); a member whose
// name repeats an earlier one is kept with its refusal (loading by name would
// give the earlier one). False when the pack cannot be read (`failure` says why).
bool ExpandPackPattern(std::string packName, const std::string& pattern, std::vector<SourceMatch>& matches,
                       std::string& failure);
// The files that match `pattern` on the disk, in name order. Folders reached
// through a symbolic link are not walked; a folder that cannot be read is kept
// as a match with its refusal, and the walk goes on.
void ExpandDiskPattern(const std::string& pattern, std::vector<SourceMatch>& matches);
// The fixed part of a disk pattern: its cleaned levels before the first one with a
// wildcard, each followed by "\" ("" for a pattern that starts with one). The
// number of those levels and of all levels go to the counts when asked.
std::string PatternFolder(const std::string& pattern, size_t* depth = nullptr, size_t* levelCount = nullptr);
// Reads the disk file at `path` (a match's hostPath) into a new calloc block that
// the caller frees; an empty file gives no block and a size of 0. False with
// `failure`.
bool ReadHostFile(const std::string& path, uint8_t*& data, uint32_t& size, std::string& failure);

// The path below the current folder that a stored member name extracts to, "\"
// separators: empty, "." and ".." levels, a leading separator and a drive-like
// prefix ("c:") are dropped, so that nothing lands outside. Empty when nothing is left.
std::string PathInsideFolder(const std::string& memberName);
// Creates the folders of `path` ("\" separators, relative) below the current
// folder, one level at a time, refusing any level that is a symbolic link or not
// a folder. The folder the last level goes in, open (the caller closes it), or
// -1 with `failure`. What is written there is written relative to it, so that a
// folder swapped for a link meanwhile leads nowhere else.
int OpenFoldersInside(const std::string& path, std::string& failure);
// Creates the missing folders above the file `name` ("\" separators), following
// links as the user's own paths may. False with `failure`.
bool MakeFoldersAbove(const std::string& name, std::string& failure);

#endif
