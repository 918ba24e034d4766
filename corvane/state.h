// What one conversion knows, in three parts by who may change them:
// - RunOptions: what the command line asks for, filled by the option handlers and
//   read-only after them (modes and writers take it const; a run of many items
//   hands each item its own copy, its patterns made into the item's names);
// - ItemState: the item being converted, its records and what the mode worked out
//   for it (the frame chosen, the skin size); the writers read it const;
// - RunOutcome: what the run did and met: its failures, its error text, the
//   user's Always, and the output module's journal.
// The driver makes one ConverterState for a run and throws it away at the end;
// nothing of it is global, so that two conversions can live side by side in one
// process.
#ifndef CORVANE_STATE_H
#define CORVANE_STATE_H

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "varnel/varnel.h"

// The bits of RunOptions::flags, one per flag option.
constexpr uint32_t OPT_SWAP = 1;
constexpr uint32_t OPT_INVH = 2;
constexpr uint32_t OPT_SKINNOBACK = 4;
constexpr uint32_t OPT_REPLACE = 8;
constexpr uint32_t OPT_SWAPYZ = 16;
// Set by -outimg: a glTF destination, which embeds the skins, then saves them as files too.
constexpr uint32_t OPT_OUTIMG = 32;
constexpr uint32_t OPT_WADPICS = 64;

// The program's name as the usage screen and the writers' file heads show it.
constexpr char kProgramName[] = "CORVANE.EXE";

struct RunOptions {
  std::string modelPack, modelFile;
  std::string dstFile;
  std::string dstRefused;  // -dst as typed when no model writer takes its name
  std::string reportFile;
  std::string hintFile;
  std::string palettePack, paletteFile;
  std::string listPack, listFile;
  std::string extractPack, extractFile;
  std::string lumpPack, lumpFile;
  std::string spritePack, spriteFile;
  std::string frameName;      // as asked for: lower case, no surrounding blanks
  std::string createPattern;  // -pakcreate: the files a pack is made of
  std::string imagePattern;   // -image: the images a lump, sprite or WAD2 is made of
  bool createAsked = false;   // -pakcreate was given (an empty pattern included)
  bool imageAsked = false;    // likewise -image
  std::string dstTyped;       // -dst as typed (cleaned), for the modes that write other than models
  float groupInterval = 0;    // -group: the sprite's frames are one group, this many seconds apart
  float scale = 0;
  int32_t skinWidth = 0;  // as asked for; below 1 takes the skin's own
  int32_t skinHeight = 0;
  std::string baseName;
  std::string imageExt;
  int32_t imageFormat = 0;
  int32_t imageFlags = 0;
  uint32_t flags = 0;
  // The process arguments as received, argument 0 first (the report's command line).
  std::vector<std::string> arguments;
};

// A source's file name as the library reads it: a member of a pack is named from
// the pack's root, so a leading separator is dropped. What the run shows of a
// source once it was read.
inline std::string NameAsRead(const std::string& pack, const std::string& file) {
  return !pack.empty() && !file.empty() && file.front() == '\\' ? file.substr(1) : file;
}

// What a command line asks for, by the first source it names in this order. The
// driver, the batch and the picture mode all choose by it.
enum class ModeKind { PackList, PackCreate, Image, PackExtract, Sprite, Lump, Model };
ModeKind ChosenMode(const RunOptions& options);

// A pack member's bytes read ahead by a batch, which frees them (library memory).
struct HeldBytes {
  uint8_t* data = nullptr;
  uint32_t size = 0;
};

struct ItemState {
  // The frame the writers write: the one asked for as the model names it, else the first.
  std::string frameName;
  // The skin size of the images and the hint: the one asked for, else the skin's own.
  int32_t skinWidth = 0;
  int32_t skinHeight = 0;
  // The directory entry of the member to extract, when a batch read the directory once.
  const VNLPACKENTRY_T* extractEntry = nullptr;
  // Read ahead by a batch, so that no item reads a pack's directory again: the
  // item's own member (a model, sprite or picture) and the run's palette member.
  HeldBytes sourceBytes, paletteBytes;
  // The folder a batch extracts the member into, checked and open; -1 outside one.
  int extractFolder = -1;
  VNLMODEL_T model{};
  VNLMODELDATA_T stored{};  // the same model as stored: normal indices, header values, intervals
  // A glTF source's positions (game axes, stored vertex by vertex, frame after frame)
  // before they were put on the lattice; empty for other sources.
  std::vector<VNLVEC3_T> sourcePositions;
  VNLPALETTE_T palette{};
  VNLPACKINFO_T packInfo{};
  VNLSPRITE_T sprite{};
  VNLPICTURE_T picture{};

  ItemState() = default;
  // Releases the library records still held.
  ~ItemState();
  // The records own library memory: an item is never copied.
  ItemState(const ItemState&) = delete;
  ItemState& operator=(const ItemState&) = delete;
};

// The output module's record of the run's outputs: what was written and what
// failed, for whoever runs the conversion to read (the batch, item by item).
struct OutputJournal {
  std::vector<std::string> written;                   // printable names, in the order they were published
  std::vector<std::string> failures;                  // "name: reason"
  std::set<std::pair<uint64_t, uint64_t>> published;  // device and inode of every file published in the run
  // Set by a run of many items: a name already published is refused, so that one
  // item does not replace what another wrote.
  bool refusesRepeats = false;
};

struct RunOutcome {
  std::string errorMessage;
  // Outputs that were to be written and were not (a No to the prompt aside).
  uint32_t failedOutputs = 0;
  // The user answered Always to a replace question: no more questions in this run.
  bool alwaysReplace = false;
  OutputJournal journal;
};

// The whole of one run, as the driver owns it.
struct ConverterState {
  RunOptions options;
  ItemState item;
  RunOutcome outcome;
};

// Releases the library records (a mode that is done with them, the end of a run).
void ReleaseRecords(ItemState& item);

// Loads the run's palette into item.palette: from the bytes a batch read ahead,
// or by its name.
int32_t LoadPalette(const RunOptions& options, ItemState& item);

// Records `text` as the run's failure; returns 1, a mode's failed result.
int FailWith(RunOutcome& outcome, const std::string& text);
// Records the library's message for `code` after `prefix` as the failure ("error N"
// for a code without a message, so that no error line ends in nothing); returns 1.
int FailWith(RunOutcome& outcome, const std::string& prefix, int32_t code);

#endif
