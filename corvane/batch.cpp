// Many items from one pattern, each through its single-item mode with the run's
// options, its records released before the next item.
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

enum class BatchKind { Model, Sprite, Lump, Extract };

// The source of the mode the driver would choose, in its order.
BatchKind ChosenKind(const ConverterState& state) {
  if (!state.extractPack.empty() || !state.extractFile.empty()) return BatchKind::Extract;
  if (!state.spritePack.empty() || !state.spriteFile.empty()) return BatchKind::Sprite;
  if (!state.lumpPack.empty() || !state.lumpFile.empty()) return BatchKind::Lump;
  return BatchKind::Model;
}

std::string& SourcePack(ConverterState& state, BatchKind kind) {
  switch (kind) {
    case BatchKind::Extract:
      return state.extractPack;
    case BatchKind::Sprite:
      return state.spritePack;
    case BatchKind::Lump:
      return state.lumpPack;
    default:
      return state.modelPack;
  }
}

std::string& SourceFile(ConverterState& state, BatchKind kind) {
  switch (kind) {
    case BatchKind::Extract:
      return state.extractFile;
    case BatchKind::Sprite:
      return state.spriteFile;
    case BatchKind::Lump:
      return state.lumpFile;
    default:
      return state.modelFile;
  }
}

// What the options set and a mode may change for its item: every item starts from it.
struct ItemSettings {
  std::string frameName;
  int32_t skinWidth = 0;
  int32_t skinHeight = 0;
  std::string dstFile, reportFile, hintFile;  // patterns, "*" standing for the item's base name
};

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

ItemSettings TakeSettings(const ConverterState& state) {
  ItemSettings settings{state.frameName, state.skinWidth,  state.skinHeight,
                        state.dstFile,   state.reportFile, state.hintFile};
  // The model file named after the pattern itself ("dog?.ase") is each item's own.
  const std::string endings = ModelEndings();
  if (settings.dstFile == state.baseName + endings.substr(0, endings.find(' ')))
    settings.dstFile = "*" + endings.substr(0, endings.find(' '));
  return settings;
}

// Readies the state for the item `name`; false with `failure` when it cannot run.
bool PrepareItem(ConverterState& state, BatchKind kind, const ItemSettings& settings, const std::string& name,
                 std::string& failure) {
  state.errorMessage.clear();
  SourceFile(state, kind) = name;
  if (kind == BatchKind::Extract) {
    state.baseName = PrintableName(PathInsideFolder(name));
    if (state.baseName.empty()) {
      failure = "no file name is left once the climbing parts are dropped";
      return false;
    }
    state.extractFolder = OpenFoldersInside(state.baseName, failure);
    return state.extractFolder >= 0;
  }
  state.baseName = PrintableName(BaseNameOf(name));
  // "progs/...mdl" would put "*/x.obj" in the folder above.
  if (state.baseName.empty() || state.baseName == "." || state.baseName == "..") {
    failure = "its base name \"" + state.baseName + "\" cannot name a file";
    return false;
  }
  state.frameName = settings.frameName;
  state.skinWidth = settings.skinWidth;
  state.skinHeight = settings.skinHeight;
  state.dstFile = NameForItem(settings.dstFile, state.baseName);
  state.reportFile = NameForItem(settings.reportFile, state.baseName);
  state.hintFile = NameForItem(settings.hintFile, state.baseName);
  for (const std::string* output : {&state.dstFile, &state.reportFile, &state.hintFile})
    if (!output->empty() && !MakeFoldersAbove(*output, failure)) return false;
  return true;
}

int RunItemMode(ConverterState& state, BatchKind kind) {
  switch (kind) {
    case BatchKind::Extract:
      return RunPackExtract(state);
    case BatchKind::Model:
      return RunModelConversion(state);
    default:
      return RunPictureConversion(state);
  }
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
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info;
  bool ok = fd >= 0 && fstat(fd, &info) == 0;
  if (ok && (info.st_size <= 0 || uint64_t(info.st_size) > UINT32_MAX)) {
    failure = info.st_size <= 0 ? "the file is empty" : "the file is larger than 4 GiB";
    ok = false;
  } else if (ok) {
    held.size = uint32_t(info.st_size);
    held.data = static_cast<uint8_t*>(std::calloc(held.size, 1));
    uint32_t got = 0;
    while (held.data != nullptr && got < held.size) {
      const ssize_t done = read(fd, held.data + got, held.size - got);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) break;
      got += uint32_t(done);
    }
    ok = held.data != nullptr && got == held.size;
    if (!ok)
      failure = std::string("the file cannot be read: ") + std::strerror(held.data == nullptr ? ENOMEM
                                                                         : errno              ? errno
                                                                                              : EIO);
  } else {
    failure = std::string("the file cannot be read: ") + std::strerror(errno);
  }
  if (fd >= 0) close(fd);
  if (!ok) {
    std::free(held.data);
    held = {};
  }
  return ok;
}

// The palette member, read once for the run (with the ending its loader would
// give a name without one).
HeldBytes ReadPaletteAhead(const ConverterState& state) {
  if (state.palettePack.empty() || state.paletteFile.empty()) return {};
  std::string pack = state.palettePack, name = state.paletteFile, ending = ".lmp";
  vnlForceType(name, ending);
  HeldBytes held;
  if (vnlPackFileLoad(pack, name, held.data, held.size) == VNL_OK && held.size > 0) return held;
  std::free(held.data);
  return {};
}

// What an item held beyond its records: its member's bytes, its open folder.
void ReleaseItem(ConverterState& state) {
  std::free(state.sourceBytes.data);
  state.sourceBytes = {};
  state.extractEntry = nullptr;
  if (state.extractFolder >= 0) close(state.extractFolder);
  state.extractFolder = -1;
  ReleaseRecords(state);
}

// Runs one item with its console lines held back; the reasons it failed, or none.
std::vector<std::string> RunItem(ConverterState& state, BatchKind kind, const ItemSettings& settings,
                                 const SourceMatch& match) {
  std::vector<std::string> reasons;
  std::string failure = match.refusal;
  if (!failure.empty() || !PrepareItem(state, kind, settings, match.name, failure)) {
    ReleaseItem(state);
    return {failure};
  }
  if (kind == BatchKind::Extract && match.inPack) state.extractEntry = &match.entry;
  if (kind != BatchKind::Extract && match.inPack) state.sourceBytes = ReadMember(SourcePack(state, kind), match.entry);
  if (!match.hostPath.empty() && !ReadByHostPath(match.hostPath, state.sourceBytes, failure)) {
    ReleaseItem(state);
    return {failure};
  }
  ConsoleQuiet(true);
  const int result = RunItemMode(state, kind);
  ConsoleQuiet(false);
  ReleaseItem(state);
  if (result != 0) reasons.push_back(state.errorMessage);
  state.errorMessage.clear();
  for (const std::string& reason : state.journal.failures) reasons.push_back(reason);
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

void WriteSources(const ConverterState& state, BatchKind kind, const std::string& pack, const std::string& pattern) {
  SectionLine(":: SOURCES");
  if (kind == BatchKind::Sprite || kind == BatchKind::Lump) ValueLine("  Palette:", state.paletteFile);
  if (!pack.empty()) ValueLine("  Pack:", pack);
  ValueLine("  Pattern:", pattern);
}

bool FindMatches(ConverterState& state, const std::string& pack, const std::string& pattern,
                 std::vector<SourceMatch>& matches) {
  std::string failure;
  if (pack.empty()) {
    ExpandDiskPattern(pattern, matches);
  } else if (!ExpandPackPattern(pack, pattern, matches, failure)) {
    FailWith(state, "Source pack: " + failure);
    return false;
  }
  if (matches.empty()) {
    const std::string typed = pack.empty() ? pattern : pack + "::" + pattern;
    FailWith(state, "Nothing matches \"" + PrintableName(typed) + "\"");
    return false;
  }
  return true;
}

}  // namespace

bool SourceIsPattern(const ConverterState& state) {
  if (!state.listPack.empty() || !state.listFile.empty()) return false;
  switch (ChosenKind(state)) {
    case BatchKind::Extract:
      return !state.extractPack.empty() && HasWildcard(state.extractFile);
    case BatchKind::Sprite:
      return HasWildcard(state.spriteFile);
    case BatchKind::Lump:
      return HasWildcard(state.lumpFile);
    default:
      return HasWildcard(state.modelFile);
  }
}

int RunBatch(ConverterState& state) {
  const BatchKind kind = ChosenKind(state);
  // Refusals that concern the whole run are said once, as for a single source.
  if (kind == BatchKind::Model && !state.dstRefused.empty()) return RunModelConversion(state);
  if ((kind == BatchKind::Sprite || kind == BatchKind::Lump) && state.paletteFile.empty())
    return RunPictureConversion(state);

  const std::string pack = SourcePack(state, kind);
  const std::string pattern = SourceFile(state, kind);
  const ItemSettings settings = TakeSettings(state);
  WriteSources(state, kind, pack, pattern);
  std::vector<SourceMatch> matches;
  if (!FindMatches(state, pack, pattern, matches)) return 1;

  SectionLine(":: ITEMS");
  KeepFreedMemoryForTheNextItem();
  state.paletteBytes = ReadPaletteAhead(state);
  state.journal.refusesRepeats = true;
  std::vector<std::string> failed;
  const Progress progress;
  for (size_t i = 0; i < matches.size(); ++i) {
    progress.Show(i, matches.size(), matches[i].name);
    state.journal.written.clear();
    state.journal.failures.clear();
    const std::vector<std::string> reasons = RunItem(state, kind, settings, matches[i]);
    const std::vector<std::string>& written = state.journal.written;
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

  std::free(state.paletteBytes.data);
  state.paletteBytes = {};

  SectionLine(":: SUMMARY");
  ConsoleLine("  " + std::to_string(matches.size() - failed.size()) + " converted, " + std::to_string(failed.size()) +
              " failed");
  for (const std::string& line : failed) {
    ValueLabel("  Failed:");
    ConsoleLine(line);
  }
  if (failed.empty()) return 0;
  return FailWith(state, failed.size() == 1 ? "1 item failed" : std::to_string(failed.size()) + " items failed");
}
