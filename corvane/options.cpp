#include "options.h"

#include <cmath>
#include <cstdlib>

#include "console.h"
#include "model_writers.h"
#include "modes.h"
#include "state.h"
#include "text_builder.h"

std::vector<OptionEntry> gOptionTable(1);

namespace {

// The table goes with the program's other statics.
struct OptionTableOwner {
  ~OptionTableOwner() { ClearOptions(); }
} gOptionTableOwner;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The first entry named `name` that has something to do.
OptionEntry* FindOption(const std::string& name) {
  for (OptionEntry& entry : gOptionTable)
    if ((entry.handler != nullptr || entry.target != nullptr) && entry.name == name) return &entry;
  return nullptr;
}

// ---- the 18 options ----

// The first of the model endings, which a model's own name is given.
std::string DefaultModelEnding() {
  std::string endings = ModelEndings();
  return endings.substr(0, endings.find(' '));
}

// A file's own name without its folders.
std::string AfterLastBackslash(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file's own name less its four-character extension.
std::string BaseNameOf(const std::string& path) {
  std::string name = AfterLastBackslash(path);
  return name.size() > 4 ? name.substr(0, name.size() - 4) : "";
}

void OnModel(std::vector<std::string>& p) {
  SplitPackedName(p[0], gState.modelPack, gState.modelFile, ".mdl");
  gState.baseName = BaseNameOf(gState.modelFile);
  // An explicit -dst, before or after, wins; a bare ".ase" would be no name at all.
  if (gState.dstFile.empty() && !gState.baseName.empty()) gState.dstFile = gState.baseName + DefaultModelEnding();
}

void OnPalette(std::vector<std::string>& p) { SplitPackedName(p[0], gState.palettePack, gState.paletteFile, ".lmp"); }

void OnFrame(std::vector<std::string>& p) { gState.frameName = TrimBlanks(LowerAscii(p[0])); }

// A factor that is 0, or not a finite number once narrowed, leaves the scale alone:
// an infinite or undefined scale would only fill the outputs with garbage.
void OnScale(std::vector<std::string>& p) {
  float factor = float(ReadDecimal(p[0]));
  if (factor != 0 && std::isfinite(factor)) gState.scale = factor;
}

// The name is only judged here; the model mode refuses it before reading anything.
void OnDestination(std::vector<std::string>& p) {
  const std::string typed = p[0];
  SplitPackedName(p[0], gState.dstPack, gState.dstFile, ModelEndings());
  // Two separators empty the source and leave the old name: that is no name either.
  const bool usable = !p[0].empty() && IsModelOutputName(gState.dstFile);
  gState.dstRefused = usable ? "" : typed;
}

void OnSkinHint(std::vector<std::string>& p) { SplitPackedName(p[0], gState.hintPack, gState.hintFile, ""); }

void OnSkinSize(std::vector<std::string>& p) {
  gState.skinWidth = ReadInteger(p[0]);
  gState.skinHeight = ReadInteger(p[1]);
}

void OnOutputImage(std::vector<std::string>& p) {
  std::string kind = LowerAscii(p[0]);
  if (kind == "bmp") {
    gState.imageExt = "bmp", gState.imageFormat = 0, gState.imageFlags = 0;
  } else if (kind == "png") {
    gState.imageExt = "png", gState.imageFormat = 13, gState.imageFlags = 6;
  } else if (kind == "jpg" || kind == "jpeg") {
    gState.imageExt = "jpg", gState.imageFormat = 2, gState.imageFlags = 128;
  } else {
    gState.imageExt = "tga", gState.imageFormat = 17, gState.imageFlags = 0;
  }
}

void OnReport(std::vector<std::string>& p) { SplitPackedName(p[0], gState.reportPack, gState.reportFile, ".txt"); }

void OnPackList(std::vector<std::string>& p) {
  SplitPackedName(p[0], gState.listPack, gState.listFile, ".txt");
  gState.reportFile = gState.listFile;
}

void OnPackExtract(std::vector<std::string>& p) {
  SplitPackedName(p[0], gState.extractPack, gState.extractFile, "");
  gState.baseName = AfterLastBackslash(gState.extractFile);
}

void OnSprite(std::vector<std::string>& p) {
  SplitPackedName(p[0], gState.spritePack, gState.spriteFile, ".spr");
  gState.baseName = BaseNameOf(gState.spriteFile);
}

void OnLump(std::vector<std::string>& p) {
  SplitPackedName(p[0], gState.lumpPack, gState.lumpFile, ".lmp");
  gState.baseName = BaseNameOf(gState.lumpFile);
}

void AddHandlerOption(const char* name, OptionHandler handler, int32_t count, const char* text) {
  std::string n = name, d = text;
  AddOption(1, n, handler, count, d, 0);
}

void AddFlagOption(const char* name, uint32_t bit, const char* text) {
  std::string n = name, d = text;
  AddOption(0, n, &gState.flags, int32_t(bit), d, 0);
}

}  // namespace

void CreateOptionTable() {
  ClearOptions();
  gOptionTable.resize(1);
}

void AddOption(int32_t kind, std::string& name, const OptionTarget& target, int32_t value,
               std::string& description, uint8_t colour) {
  if (gOptionTable.empty() || !gOptionTable.back().description.empty()) gOptionTable.emplace_back();
  name = TrimBlanks(LowerAscii(name));
  description = TrimBlanks(description);
  OptionEntry& slot = gOptionTable.back();
  if (!name.empty()) slot.name = name;
  if (!description.empty()) slot.description = description;
  if (kind != 0) slot.handler = target.handler;
  else slot.target = target.flagWord;
  slot.value = value;
  if (colour != 0) slot.colour = colour;
}

int ParseCommandLine() {
  const std::vector<std::string>& args = gArguments;
  bool failed = false;
  bool headerShown = false;
  size_t i = 1;
  // An empty argument ends nothing: as an option's value it is an empty value
  // (left to the mode to reject), anywhere else a loose parameter.
  for (; i < args.size(); ++i) {
    const std::string typed = args[i];
    OptionEntry* entry = typed.empty() ? nullptr : FindOption(LowerAscii(TrimBlanks(typed)));
    if (entry == nullptr) {
      ConsoleLine(std::string(typed[0] == '-' ? "Argument unknown" : "Loose parameter") + ": \"" + PrintableName(typed) +
                  "\"");
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
      entry->handler(params);
    } else if (entry->seen == 0) {
      *entry->target |= uint32_t(entry->value);
      entry->seen = 1;
      if (!headerShown) SectionLine(":: OPTIONS");
      headerShown = true;
      ConsoleLine("  " + entry->description);
    }
  }
  if (args.size() <= 1) {
    ShowSyntax();
    failed = true;
  }
  return failed ? 1 : 0;
}

CommandRequest FindCommandRequest() {
  const std::vector<std::string>& args = gArguments;
  for (size_t i = 1; i < args.size() && !args[i].empty(); ++i) {
    const std::string word = LowerAscii(TrimBlanks(args[i]));
    if (word == "--help" || word == "-h" || word == "-?") return CommandRequest::Help;
    if (word == "--version") return CommandRequest::Version;
    const OptionEntry* entry = FindOption(word);
    if (entry != nullptr && entry->handler != nullptr && entry->value > 0) i += size_t(entry->value);
  }
  return CommandRequest::Run;
}

void ShowSyntax() {
  WriteSyntax();
  WaitKey();
}

void WriteSyntax() {
  std::string head = "Syntax: " + UpperAscii(gProgramName) + " ";
  size_t longest = 0;
  for (const OptionEntry& entry : gOptionTable) {
    if (entry.description.empty()) continue;
    if (entry.name.empty()) head += entry.description + " ";
    if (entry.name.size() > longest) longest = entry.name.size();
  }
  ConsoleLine(head + "[Commands]");

  const size_t column = longest + 5;  // counting from 1
  for (const OptionEntry& entry : gOptionTable) {
    if (entry.name.empty()) continue;
    if (entry.colour != 0) SetColour(entry.colour);
    std::string line = "  " + entry.name;
    if (line.size() < column - 1) line.append(column - 1 - line.size(), ' ');
    ConsoleLine(line + entry.description);
    SetColour(7);
  }
  if (!gUsageNote.empty()) {
    ConsoleLine("");
    ConsoleLine(gUsageNote);
  }
}

void ClearOptions() {
  gOptionTable.clear();
  gOptionTable.shrink_to_fit();
}

void RegisterOptions() {
  AddHandlerOption("-model", OnModel, 1, "[Source(.MDL)]");
  AddHandlerOption("-pal", OnPalette, 1, "[Palette(.LMP)]");
  AddHandlerOption("-frame", OnFrame, 1, "[FrameName]");
  AddHandlerOption("-scale", OnScale, 1, "[RescaleFactor]");
  AddHandlerOption("-dst", OnDestination, 1, "[Output(.ASE|.OBJ|.GLB|.GLTF)]");
  AddHandlerOption("-skinhint", OnSkinHint, 1, "[Picture]");
  AddHandlerOption("-skinsize", OnSkinSize, 2, "[Width] [Height]");
  AddHandlerOption("-outimg", OnOutputImage, 1, "[TGA|PNG|BMP|JPG]");
  AddFlagOption("-skinnoback", OPT_SKINNOBACK, "Remove the back side of the skin");
  AddHandlerOption("-report", OnReport, 1, "[Report(.TXT)]");
  AddFlagOption("-swap", OPT_SWAP, "Swap triangles side");
  AddFlagOption("-swapyz", OPT_SWAPYZ, "Swap Y & Z coordinates");
  AddFlagOption("-invh", OPT_INVH, "Invert UVMap-Y coordinates");
  AddFlagOption("-replace", OPT_REPLACE, "Always replace existing files");
  AddHandlerOption("-paklist", OnPackList, 1, "[Source(.PAK)::Report(.TXT)]");
  AddHandlerOption("-pakextract", OnPackExtract, 1, "[Source(.PAK)::File]");
  AddHandlerOption("-sprite", OnSprite, 1, "[Source(.SPR)]");
  AddHandlerOption("-lump", OnLump, 1, "[Source(.LMP)]");
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
