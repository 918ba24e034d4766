// Many items from one pattern, each through its single-item mode with its own
// copy of the run's options (its source and output names filled in) and its own
// item, whose records are released before the next item.
#include "batch.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "console.h"
#include "model_writers.h"
#include "modes.h"
#include "output.h"
#include "sources.h"
#include "text_rules.h"

namespace {

// The source of `kind` in `options`: its pack and its file.
template <typename Options>
auto& SourcePack(Options& options, ModeKind kind) {
  switch (kind) {
    case ModeKind::PackExtract:
      return options.extractPack;
    case ModeKind::Sprite:
      return options.spritePack;
    case ModeKind::Lump:
      return options.lumpPack;
    default:
      return options.modelPack;
  }
}

template <typename Options>
auto& SourceFile(Options& options, ModeKind kind) {
  switch (kind) {
    case ModeKind::PackExtract:
      return options.extractFile;
    case ModeKind::Sprite:
      return options.spriteFile;
    case ModeKind::Lump:
      return options.lumpFile;
    default:
      return options.modelFile;
  }
}

// Every run of "*" in `pattern` becomes `base`.
std::string NameForItem(const std::string& pattern, const std::string& base) {
  std::string name;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '*') {
      name += pattern[i];
      continue;
    }
    name += base;
    while (i + 1 < pattern.size() && pattern[i + 1] == '*') ++i;
  }
  return name;
}

// The run's options with the model file named after the pattern itself ("dog?.ase")
// made each item's own ("*.ase").
RunOptions ItemPatterns(const RunOptions& options) {
  RunOptions patterns = options;
  const std::string endings = ModelEndings();
  const std::string ending = endings.substr(0, endings.find(' '));
  if (patterns.dstFile == options.baseName + ending) patterns.dstFile = "*" + ending;
  return patterns;
}

// The options the item `name` runs with: the run's, with its source, its base name
// and its output names made from the patterns. False with `failure` when it cannot run.
bool OptionsForItem(const RunOptions& patterns, ModeKind kind, const std::string& name, RunOptions& options,
                    std::string& failure) {
  options = patterns;
  SourceFile(options, kind) = name;
  if (kind == ModeKind::PackExtract) {
    options.baseName = PrintableName(PathInsideFolder(name));
    if (options.baseName.empty()) {
      failure = "no file name is left once the climbing parts are dropped";
      return false;
    }
    return true;
  }
  // A WAD2 lump's name has no ending to drop.
  const bool wadLump = kind == ModeKind::Lump && IsWadName(options.lumpPack);
  options.baseName = PrintableName(wadLump ? name : BaseNameOf(name));
  // "progs/...mdl" would put "*/x.obj" in the folder above.
  if (options.baseName.empty() || options.baseName == "." || options.baseName == "..") {
    failure = "its base name \"" + options.baseName + "\" cannot name a file";
    return false;
  }
  options.dstFile = NameForItem(patterns.dstFile, options.baseName);
  options.reportFile = NameForItem(patterns.reportFile, options.baseName);
  options.hintFile = NameForItem(patterns.hintFile, options.baseName);
  for (const std::string* output : {&options.dstFile, &options.reportFile, &options.hintFile})
    if (!output->empty() && !MakeFoldersAbove(*output, failure)) return false;
  return true;
}

std::string JoinedNames(const std::vector<std::string>& names, const char* glue) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : glue) + name;
  return joined;
}

// A pack member's bytes, read by its directory entry; none when they cannot be
// read, and then the mode loads by name and says why as a single run would.
HeldBytes ReadMember(const std::string& pack, const VNLPACKENTRY_T& entry) {
  HeldBytes held;
  if (vnlPackEntryLoad(pack.c_str(), &entry, &held.data, &held.size) == VNL_OK && held.size > 0) return held;
  std::free(held.data);
  return {};
}

// A disk file whose name the loaders would clean into another, read by the
// name that matched; false with `failure`.
bool ReadByHostPath(const std::string& path, HeldBytes& held, std::string& failure) {
  if (!ReadHostFile(path, held.data, held.size, failure)) return false;
  if (held.size > 0) return true;
  failure = "the file is empty";
  return false;
}

// The palette member, read once for the run (with the ending its loader would
// give a name without one).
HeldBytes ReadPaletteAhead(const RunOptions& options) {
  if (options.palettePack.empty() || options.paletteFile.empty()) return {};
  std::string pack = options.palettePack, name = options.paletteFile, ending = ".lmp";
  vnlForceType(name, ending);
  HeldBytes held;
  if (vnlPackFileLoad(pack, name, held.data, held.size) == VNL_OK && held.size > 0) return held;
  std::free(held.data);
  return {};
}

// What an item holds besides its records: its member's bytes, its open folder.
struct ItemHold {
  ItemState& item;
  ~ItemHold() {
    std::free(item.sourceBytes.data);
    item.sourceBytes = {};
    if (item.extractFolder >= 0) close(item.extractFolder);
    item.extractFolder = -1;
  }
};

// Readies `item` for `match`: its member's bytes, the folder it is extracted
// into. False with `failure`.
bool PrepareItem(const RunOptions& options, ModeKind kind, const SourceMatch& match, ItemState& item,
                 std::string& failure) {
  if (kind == ModeKind::PackExtract) {
    if (match.inPack) item.extractEntry = &match.entry;
    item.extractFolder = OpenFoldersInside(options.baseName, failure);
    return item.extractFolder >= 0;
  }
  if (match.inPack) item.sourceBytes = ReadMember(SourcePack(options, kind), match.entry);
  return match.hostPath.empty() || ReadByHostPath(match.hostPath, item.sourceBytes, failure);
}

// Runs one item with its console lines held back, its records released at the
// end; the reasons it failed, or none.
std::vector<std::string> RunItem(const RunOptions& patterns, const HeldBytes& palette, RunOutcome& outcome,
                                 ModeKind kind, const SourceMatch& match) {
  std::vector<std::string> reasons;
  std::string failure = match.refusal;
  RunOptions options;
  if (!failure.empty() || !OptionsForItem(patterns, kind, match.name, options, failure)) return {failure};
  ItemState item;
  const ItemHold hold{item};
  item.paletteBytes = palette;
  if (!PrepareItem(options, kind, match, item, failure)) return {failure};
  ConsoleQuiet(true);
  const int result = RunMode(kind, options, item, outcome);
  ConsoleQuiet(false);
  if (result != 0) reasons.push_back(outcome.errorMessage);
  outcome.errorMessage.clear();
  for (const std::string& reason : outcome.journal.failures) reasons.push_back(reason);
  return reasons;
}

// The progress line of a terminal, rewritten in place; nothing elsewhere.
struct Progress {
  bool shown = StdoutIsTerminal();
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

  void Show(size_t index, size_t count, const std::string& name) const {
    if (!shown) return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    std::string text = "[" + std::to_string(index + 1) + "/" + std::to_string(count) + "] " + PrintableName(name) +
                       "  " + std::to_string(elapsed.count()) + "s";
    // One row only: a wrapped line could not be rewritten with a carriage return.
    const size_t width = size_t(ConsoleWidth() > 1 ? ConsoleWidth() - 1 : 1);
    if (text.size() > width) text.resize(width);
    ConsoleWrite("\x1b[2K\r" + text);
  }
  void Erase() const {
    if (shown) ConsoleWrite("\x1b[2K\r");
  }
};

// Items follow one another with records of like sizes: the memory one item frees
// stays with the process for the next, instead of going back to the system and
// faulting in again (a quarter of the time of a pack of 200 models). What is kept
// is what the largest item needed, so the peak does not grow with the count.
void KeepFreedMemoryForTheNextItem() {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

void WriteSources(const RunOptions& options, ModeKind kind, const std::string& pack, const std::string& pattern) {
  SectionLine(":: SOURCES");
  if (kind == ModeKind::Sprite || kind == ModeKind::Lump) ValueLine("  Palette:", options.paletteFile);
  if (!pack.empty()) ValueLine("  Pack:", pack);
  ValueLine("  Pattern:", pattern);
}

bool FindMatches(RunOutcome& outcome, const std::string& pack, const std::string& pattern,
                 std::vector<SourceMatch>& matches) {
  std::string failure;
  if (pack.empty()) {
    ExpandDiskPattern(pattern, matches);
  } else if (!ExpandPackPattern(pack, pattern, matches, failure)) {
    FailWith(outcome, "Source pack: " + failure);
    return false;
  }
  if (matches.empty()) {
    const std::string typed = pack.empty() ? pattern : pack + "::" + pattern;
    FailWith(outcome, "Nothing matches \"" + PrintableName(typed) + "\"");
    return false;
  }
  return true;
}

}  // namespace

bool SourceIsPattern(const RunOptions& options) {
  switch (ChosenMode(options)) {
    case ModeKind::PackList:
    case ModeKind::PackCreate:  // these two take their patterns whole
    case ModeKind::Image:
      return false;
    case ModeKind::PackExtract:
      return !options.extractPack.empty() && HasWildcard(options.extractFile);
    default:
      return HasWildcard(SourceFile(options, ChosenMode(options)));
  }
}

int RunBatch(const RunOptions& options, RunOutcome& outcome) {
  const ModeKind kind = ChosenMode(options);
  // Refusals that concern the whole run are said once, as for a single source.
  ItemState none;
  if (kind == ModeKind::Model && !options.dstRefused.empty()) return RunModelConversion(options, none, outcome);
  if ((kind == ModeKind::Sprite || kind == ModeKind::Lump) && options.paletteFile.empty())
    return RunPictureConversion(options, none, outcome);

  const std::string& pack = SourcePack(options, kind);
  const std::string& pattern = SourceFile(options, kind);
  const RunOptions patterns = ItemPatterns(options);
  WriteSources(options, kind, pack, pattern);
  std::vector<SourceMatch> matches;
  if (!FindMatches(outcome, pack, pattern, matches)) return 1;

  SectionLine(":: ITEMS");
  KeepFreedMemoryForTheNextItem();
  const HeldBytes palette = ReadPaletteAhead(options);
  outcome.journal.refusesRepeats = true;
  std::vector<std::string> failed;
  const Progress progress;
  for (size_t i = 0; i < matches.size(); ++i) {
    progress.Show(i, matches.size(), matches[i].name);
    outcome.journal.written.clear();
    outcome.journal.failures.clear();
    const std::vector<std::string> reasons = RunItem(patterns, palette, outcome, kind, matches[i]);
    const std::vector<std::string>& written = outcome.journal.written;
    progress.Erase();
    const std::string shown = "\"" + PrintableName(matches[i].name) + "\"";
    if (reasons.empty()) {
      ConsoleLine("  " + shown + " -> " + (written.empty() ? "nothing written" : JoinedNames(written, ", ")));
    } else {
      const std::string why = JoinedNames(reasons, "; ");
      ConsoleLine("  " + shown + " failed: " + why);
      failed.push_back(shown + " (" + why + ")");
    }
  }

  std::free(palette.data);

  SectionLine(":: SUMMARY");
  ConsoleLine("  " + std::to_string(matches.size() - failed.size()) + " converted, " + std::to_string(failed.size()) +
              " failed");
  for (const std::string& line : failed) {
    ValueLabel("  Failed:");
    ConsoleLine(line);
  }
  if (failed.empty()) return 0;
  return FailWith(outcome, failed.size() == 1 ? "1 item failed" : std::to_string(failed.size()) + " items failed");
}
