#include "options.h"

#include <cmath>
#include <cstdlib>

#include "console.h"
#include "images.h"
#include "model_writers.h"
#include "sources.h"
#include "state.h"
#include "text_rules.h"

namespace {

// The usage screen's closing note.
const char kUsageNote[] =
    "Note that \"-model\" is the only required parameter unless a special\n"
    "parameter is used (see the readme file for more details). You can\n"
    "specify a packed ressource as so: \"PAK0.PAK::progs/soldier.mdl\"";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The first entry named `name` that has something to do.
template <typename Table>
auto FindOption(Table& table, const std::string& name) -> decltype(&table[0]) {
  for (auto& entry : table)
    if ((entry.handler != nullptr || entry.flag) && entry.name == name) return &entry;
  return nullptr;
}

// ---- the 22 options ----

// The first of the model endings, which a model's own name is given.
std::string DefaultModelEnding() {
  std::string endings = ModelEndings();
  return endings.substr(0, endings.find(' '));
}

void OnModel(RunOptions& options, std::vector<std::string>& p) {
  // A glTF source keeps its ending; any other name is taken for an alias model.
  SplitPackedName(p[0], options.modelPack, options.modelFile, ".mdl .glb .gltf");
  options.baseName = BaseNameOf(options.modelFile);
  // An explicit -dst, before or after, wins; a bare ".ase" would be no name at all.
  if (options.dstFile.empty() && !options.baseName.empty()) options.dstFile = options.baseName + DefaultModelEnding();
}

void OnPalette(RunOptions& options, std::vector<std::string>& p) {
  SplitPackedName(p[0], options.palettePack, options.paletteFile, ".lmp");
}

void OnFrame(RunOptions& options, std::vector<std::string>& p) { options.frameName = TrimBlanks(LowerAscii(p[0])); }

// A factor that is 0, or not a finite number once narrowed, leaves the scale alone:
// an infinite or undefined scale would only fill the outputs with garbage.
void OnScale(RunOptions& options, std::vector<std::string>& p) {
  float factor = float(ReadDecimal(p[0]));
  if (factor != 0 && std::isfinite(factor)) options.scale = factor;
}

// The name is only judged here; the model mode refuses it before reading anything.
void OnDestination(RunOptions& options, std::vector<std::string>& p) {
  const std::string typed = p[0];
  std::string pack;  // a model file is written to disk, never into a pack
  SplitPackedName(p[0], pack, options.dstFile, ModelEndings());
  // Two separators empty the source and leave the old name: that is no name either.
  const bool usable = !p[0].empty() && IsModelOutputName(options.dstFile);
  options.dstRefused = usable ? "" : typed;
  options.dstTyped = TrimBlanks(typed);
  if (!options.dstTyped.empty()) vnlCleanPath(options.dstTyped, 1);
}

// The hint and the report are written to disk: a pack part of their names is dropped.
void OnSkinHint(RunOptions& options, std::vector<std::string>& p) {
  std::string pack;
  SplitPackedName(p[0], pack, options.hintFile, "");
}

void OnSkinSize(RunOptions& options, std::vector<std::string>& p) {
  options.skinWidth = ReadInteger(p[0]);
  options.skinHeight = ReadInteger(p[1]);
}

void OnOutputImage(RunOptions& options, std::vector<std::string>& p) {
  UseImageKind(options, ImageKindNamed(p[0]));
  options.flags |= OPT_OUTIMG;
}

void OnReport(RunOptions& options, std::vector<std::string>& p) {
  std::string pack;
  SplitPackedName(p[0], pack, options.reportFile, ".txt");
}

void OnPackList(RunOptions& options, std::vector<std::string>& p) {
  SplitPackedName(p[0], options.listPack, options.listFile, ".txt");
  options.reportFile = options.listFile;
}

void OnPackExtract(RunOptions& options, std::vector<std::string>& p) {
  SplitPackedName(p[0], options.extractPack, options.extractFile, "");
  options.baseName = WithoutFolder(options.extractFile);
}

void OnSprite(RunOptions& options, std::vector<std::string>& p) {
  SplitPackedName(p[0], options.spritePack, options.spriteFile, ".spr");
  options.baseName = BaseNameOf(options.spriteFile);
}

// A lump of a WAD2 ("gfx.wad::conback") is named as stored: no ending is forced on it.
void OnLump(RunOptions& options, std::vector<std::string>& p) {
  const size_t separator = p[0].find("::");
  const bool inWad = separator != std::string::npos && IsWadName(TrimBlanks(p[0].substr(0, separator)));
  SplitPackedName(p[0], options.lumpPack, options.lumpFile, inWad ? "" : ".lmp", ".pak .wad");
  options.baseName = inWad ? WithoutFolder(options.lumpFile) : BaseNameOf(options.lumpFile);
}

void OnPackCreate(RunOptions& options, std::vector<std::string>& p) {
  options.createPattern = TrimBlanks(p[0]);
  options.createAsked = true;
}

void OnImage(RunOptions& options, std::vector<std::string>& p) {
  options.imagePattern = TrimBlanks(p[0]);
  options.imageAsked = true;
}

// An interval that is not a number above 0 leaves the frames single.
void OnGroup(RunOptions& options, std::vector<std::string>& p) {
  const float interval = float(ReadDecimal(p[0]));
  options.groupInterval = interval > 0 && std::isfinite(interval) ? interval : 0;
}

void AddHandlerOption(OptionTable& table, const char* name, OptionHandler handler, int32_t count, const char* text) {
  AddOption(table, 1, name, handler, count, text);
}

void AddFlagOption(OptionTable& table, const char* name, uint32_t bit, const char* text) {
  AddOption(table, 0, name, nullptr, int32_t(bit), text);
}

}  // namespace

OptionTable NewOptionTable() { return OptionTable(1); }

void AddOption(OptionTable& table, int32_t kind, const std::string& name, OptionHandler handler, int32_t value,
               const std::string& description) {
  if (table.empty() || !table.back().description.empty()) table.emplace_back();
  const std::string cleanName = TrimBlanks(LowerAscii(name));
  const std::string cleanText = TrimBlanks(description);
  OptionEntry& slot = table.back();
  if (!cleanName.empty()) slot.name = cleanName;
  if (!cleanText.empty()) slot.description = cleanText;
  if (kind != 0)
    slot.handler = handler;
  else
    slot.flag = true;
  slot.value = value;
}

int ParseCommandLine(RunOptions& options, OptionTable& table) {
  const std::vector<std::string>& args = options.arguments;
  bool failed = false;
  bool headerShown = false;
  size_t i = 1;
  // An empty argument ends nothing: as an option's value it is an empty value
  // (left to the mode to reject), anywhere else a loose parameter.
  for (; i < args.size(); ++i) {
    const std::string typed = args[i];
    OptionEntry* entry = typed.empty() ? nullptr : FindOption(table, LowerAscii(TrimBlanks(typed)));
    if (entry == nullptr) {
      ConsoleLine(std::string(typed[0] == '-' ? "Argument unknown" : "Loose parameter") + ": \"" +
                  PrintableName(typed) + "\"");
      failed = true;
    } else if (entry->handler != nullptr) {
      std::vector<std::string> params(size_t(entry->value > 0 ? entry->value : 0));
      for (std::string& param : params) {
        if (++i >= args.size()) {
          ConsoleLine("Missing parameters for: \"" + PrintableName(typed) + "\"");
          failed = true;
          break;
        }
        param = args[i];
      }
      entry->handler(options, params);
    } else if (entry->seen == 0) {
      options.flags |= uint32_t(entry->value);
      entry->seen = 1;
      if (!headerShown) SectionLine(":: OPTIONS");
      headerShown = true;
      ConsoleLine("  " + entry->description);
    }
  }
  if (args.size() <= 1) {
    ShowSyntax(table);
    failed = true;
  }
  return failed ? 1 : 0;
}

CommandRequest FindCommandRequest(const OptionTable& table, const std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size() && !args[i].empty(); ++i) {
    const std::string word = LowerAscii(TrimBlanks(args[i]));
    if (word == "--help" || word == "-h" || word == "-?") return CommandRequest::Help;
    if (word == "--version") return CommandRequest::Version;
    const OptionEntry* entry = FindOption(table, word);
    if (entry != nullptr && entry->handler != nullptr && entry->value > 0) i += size_t(entry->value);
  }
  return CommandRequest::Run;
}

void ShowSyntax(const OptionTable& table) {
  WriteSyntax(table);
  WaitKey();
}

void WriteSyntax(const OptionTable& table) {
  std::string head = "Syntax: " + UpperAscii(kProgramName) + " ";
  size_t longest = 0;
  for (const OptionEntry& entry : table) {
    if (entry.description.empty()) continue;
    if (entry.name.empty()) head += entry.description + " ";
    if (entry.name.size() > longest) longest = entry.name.size();
  }
  ConsoleLine(head + "[Commands]");

  const size_t column = longest + 5;  // counting from 1
  for (const OptionEntry& entry : table) {
    if (entry.name.empty()) continue;
    std::string line = "  " + entry.name;
    AppendBlanks(line, column - 1, line.size());
    ConsoleLine(line + entry.description);
  }
  ConsoleLine("");
  ConsoleLine(kUsageNote);
}

OptionTable ProgramOptions() {
  OptionTable table = NewOptionTable();
  AddHandlerOption(table, "-model", OnModel, 1, "[Source(.MDL)]");
  AddHandlerOption(table, "-pal", OnPalette, 1, "[Palette(.LMP)]");
  AddHandlerOption(table, "-frame", OnFrame, 1, "[FrameName]");
  AddHandlerOption(table, "-scale", OnScale, 1, "[RescaleFactor]");
  AddHandlerOption(table, "-dst", OnDestination, 1, "[Output(.ASE|.OBJ|.GLB|.GLTF)]");
  AddHandlerOption(table, "-skinhint", OnSkinHint, 1, "[Picture]");
  AddHandlerOption(table, "-skinsize", OnSkinSize, 2, "[Width] [Height]");
  AddHandlerOption(table, "-outimg", OnOutputImage, 1, "[TGA|PNG|BMP|JPG]");
  AddFlagOption(table, "-skinnoback", OPT_SKINNOBACK, "Remove the back side of the skin");
  AddHandlerOption(table, "-report", OnReport, 1, "[Report(.TXT)]");
  AddFlagOption(table, "-swap", OPT_SWAP, "Swap triangles side");
  AddFlagOption(table, "-swapyz", OPT_SWAPYZ, "Swap Y & Z coordinates");
  AddFlagOption(table, "-invh", OPT_INVH, "Invert UVMap-Y coordinates");
  AddFlagOption(table, "-replace", OPT_REPLACE, "Always replace existing files");
  AddHandlerOption(table, "-paklist", OnPackList, 1, "[Source(.PAK)::Report(.TXT)]");
  AddHandlerOption(table, "-pakextract", OnPackExtract, 1, "[Source(.PAK)::File]");
  AddHandlerOption(table, "-sprite", OnSprite, 1, "[Source(.SPR)]");
  AddHandlerOption(table, "-lump", OnLump, 1, "[Source(.LMP)]");
  AddHandlerOption(table, "-pakcreate", OnPackCreate, 1, "[Files] -dst [Output(.PAK)]");
  AddHandlerOption(table, "-image", OnImage, 1, "[Images] -dst [Output(.LMP|.SPR|.WAD)]");
  AddHandlerOption(table, "-group", OnGroup, 1, "[FrameInterval]");
  AddFlagOption(table, "-wadpics", OPT_WADPICS, "Make WAD2 lumps pictures, not mip textures");
  return table;
}

double ReadDecimal(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  const std::string number = text.substr(at);
  // Decimal notation only: "0x10" reads as the 0 before the x.
  size_t digits = number.empty() || (number[0] != '+' && number[0] != '-') ? 0 : 1;
  if (number.compare(digits, 2, "0x") == 0 || number.compare(digits, 2, "0X") == 0) return 0;
  return std::strtod(number.c_str(), nullptr);
}

int32_t ReadInteger(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + (text[at] - '0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;  // saturate; stays in range
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return int32_t(value);
}

void SplitPackedName(std::string& source, std::string& packOut, std::string& fileOut, const std::string& extList,
                     const std::string& packExtList) {
  size_t first = source.find("::");
  if (first != std::string::npos) {
    // Overlapping pairs count: ":::" holds two separators and is as ambiguous as "a::b::c".
    int separators = 0;
    for (size_t p = first; p + 1 < source.size(); ++p)
      if (source[p] == ':' && source[p + 1] == ':') ++separators;
    if (separators > 1) {
      source.clear();
      return;
    }
    packOut = source.substr(0, first);
    fileOut = source.substr(first + 2);
  } else {
    packOut.clear();
    fileOut = source;
  }
  std::string packExt = packExtList;
  std::string fileExt = extList;
  vnlForceType(packOut, packExt);
  vnlForceType(fileOut, fileExt);
}
