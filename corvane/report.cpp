#include "report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console.h"
#include "fixed.h"
#include "output.h"
#include "skin_coverage.h"
#include "state.h"
#include "text_rules.h"

namespace {

const char kTitle[] = "CORVANE Report File";
// Labels are padded so that every value starts in column 20.
constexpr size_t kLabelField = 19;
// Indexed keys ("Index[  5]") are padded to this width after their ":".
constexpr size_t kKeyField = 16;

bool gTimeFixed = false;
std::tm gFixedTime{};

std::tm ReportTime() {
  if (gTimeFixed) return gFixedTime;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// ---- line pieces ----

void LabelLine(std::string& out, const char* label, const std::string& value) {
  size_t length = std::strlen(label);
  out.append(label, length);
  AppendBlanks(out, kLabelField, length);
  AppendLine(out, value);
}

// Names in the report come from files and the command line; a line end in one
// would split its entry.
std::string Quoted(const std::string& text) { return "\"" + PrintableName(text) + "\""; }

void SourceLine(std::string& out, const std::string& name) { LabelLine(out, "  Source file:", Quoted(name)); }

template <typename Integer>
std::string Decimal(Integer value) {
  std::string text;
  AppendInt(text, value);
  return text;
}

// "@offset, length bytes long"
std::string Span(int64_t offset, int64_t length) {
  return "@" + Decimal(offset) + ", " + Decimal(length) + " bytes long";
}

int DigitCount(uint64_t value) {
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

// "Frame[ 7]": the index right-aligned in `width` columns.
std::string IndexKey(const char* word, uint64_t index, int width) {
  std::string digits = Decimal(index);
  std::string key = word;
  if (digits.size() < size_t(width)) key.append(size_t(width) - digits.size(), ' ');
  return key + digits + "]";
}

void IndexedLine(std::string& out, const std::string& key, const std::string& value) {
  out += "  ";
  out += key;
  out += ':';
  AppendBlanks(out, kKeyField, key.size());
  AppendLine(out, value);
}

// A fixed-size name field, up to its first zero byte, without blanks around it.
std::string TrimmedField(const char* field, size_t size) {
  return TrimBlanks(std::string(field, strnlen(field, size)));
}

void SectionHead(std::string& out, const char* title) {
  EndLine(out);
  EndLine(out);
  AppendLine(out, "::");
  AppendLine(out, ":: " + UpperAscii(title));
  AppendLine(out, "::");
  EndLine(out);
}

// ---- header and sections ----

void AppendHeader(std::string& out, const std::vector<std::string>& arguments) {
  AppendLine(out, "===== " + UpperAscii(kTitle) + " =====");
  EndLine(out);

  std::tm when = ReportTime();
  char date[48], time[48];
  std::snprintf(date, sizeof date, "%02d-%02d-%04d", when.tm_mon + 1, when.tm_mday, when.tm_year + 1900);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", when.tm_hour, when.tm_min, when.tm_sec);
  LabelLine(out, "  Date:", date);
  LabelLine(out, "  Time:", time);

  std::string command = arguments.empty() ? std::string() : arguments[0];
  command += ' ';
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (i > 1) command += ' ';
    command += arguments[i];
  }
  LabelLine(out, "  Command line:", PrintableName(command));
}

// "1.00, 0.50, 0.00 (255 128   0)": each fraction is rounded to a float first, so its
// digits are cut rather than rounded (254 gives 0.99).
std::string ColourValue(uint32_t colour) {
  uint32_t channel[3] = {(colour >> 16) & 255, (colour >> 8) & 255, colour & 255};
  std::string value;
  for (int c = 0; c < 3; ++c) {
    if (c) value += ", ";
    float fraction = float(double(channel[c]) / 255.0);
    AppendFixed(value, fraction, 1, 2);
  }
  value += " (";
  for (int c = 0; c < 3; ++c) {
    if (c) value += ' ';
    AppendFixed(value, float(channel[c]), 3, 0);
  }
  return value + ")";
}

void AppendPalette(std::string& out, const RunOptions& options, const ItemState& item) {
  const VNLPALETTE_T& palette = item.palette;
  SectionHead(out, "Palette infos");
  SourceLine(out, NameAsRead(options.palettePack, options.paletteFile));
  LabelLine(out, "  Bright count:", Decimal(palette.brightCount));
  LabelLine(out, "  Shading levels:", Decimal(palette.shadingLevels));
  for (int i = 0; i < 256; ++i) IndexedLine(out, IndexKey("Index[", i, 3), ColourValue(palette.colors[i]));
}

void AppendPack(std::string& out, const RunOptions& options, const ItemState& item) {
  const VNLPACKINFO_T& info = item.packInfo;
  SectionHead(out, "Pack infos");
  SourceLine(out, options.listPack);
  LabelLine(out, "  Directory:", Span(info.dirOffset, info.dirLength));
  LabelLine(out, "  Chunk count:", Decimal(info.entryCount));
  int width = DigitCount(info.entryCount);
  for (uint32_t i = 0; i < info.entryCount; ++i) {
    const VNLPACKENTRY_T& entry = info.entries[i];
    std::string name = TrimmedField(entry.name, sizeof entry.name);
    IndexedLine(out, IndexKey("Chunk[", i, width), Quoted(name) + " (" + Span(entry.offset, entry.length) + ")");
  }
}

void AppendSprite(std::string& out, const RunOptions& options, const ItemState& item) {
  const VNLSPRITE_T& sprite = item.sprite;
  uint64_t total = uint64_t(sprite.sheetCount) + sprite.frameExtra;
  SectionHead(out, "Sprite infos");
  SourceLine(out, NameAsRead(options.spritePack, options.spriteFile));
  LabelLine(out, "  Sprite type:", Decimal(sprite.spriteType));
  LabelLine(out, "  Sync type:", Decimal(sprite.syncType));
  LabelLine(out, "  Sheets:", Decimal(sprite.sheetCount));
  LabelLine(out, "  Total frames:", Decimal(total));
  // Counts without their arrays (a record emptied by a failed load) list no frames.
  if (!sprite.frames || !sprite.originX || !sprite.originY || !sprite.rate) return;
  int width = DigitCount(total);
  for (uint64_t i = 0; i < total; ++i) {
    std::string value = Decimal(sprite.frames[i].width) + "x" + Decimal(sprite.frames[i].height) + "px" +
                        " (offset: " + Decimal(sprite.originX[i]) + ", " + Decimal(sprite.originY[i]) + ") (rate: ";
    AppendFixed(value, sprite.rate[i], 2, 2);
    IndexedLine(out, IndexKey("Frame[", i, width), value + ")");
  }
}

void AppendPicture(std::string& out, const RunOptions& options, const ItemState& item) {
  const VNLPICTURE_T& picture = item.picture;
  SectionHead(out, "Picture infos");
  SourceLine(out, NameAsRead(options.lumpPack, options.lumpFile));
  LabelLine(out, "  Size:", Decimal(picture.width) + "x" + Decimal(picture.height) + "px");
}

// One line per flattened frame; the index shown is the frame's entry in the file,
// so every frame of a group shows its group's number.
void AppendFrameList(std::string& out, const VNLMODEL_T& model) {
  if (!model.frameNames) return;
  uint32_t total = uint32_t(model.frameCount) + model.frameExtra;
  int width = DigitCount(model.frameCount);
  uint32_t entry = 0, remaining = 0, groupSize = 0;
  std::string suffix;
  for (uint32_t f = 0; f < total; ++f) {
    uint32_t group = model.frameGroup ? model.frameGroup[f] : 0;
    if (group != 0) {
      suffix = " Group of " + Decimal(group) + " frames";
      remaining = groupSize = group;
      ++entry;
    } else if (remaining == 0) {
      groupSize = 0;
      suffix.clear();
      ++entry;
    }
    if (remaining != 0) {
      if (remaining != groupSize) suffix = " Grouped";
      --remaining;
    }
    std::string name = TrimmedField(model.frameNames[f], sizeof model.frameNames[f]);
    IndexedLine(out, IndexKey("Frame[", entry - 1, width), Quoted(name) + suffix);
  }
}

std::string CoverageText(const RunOptions& options, const ItemState& item, uint32_t skinWidth, uint32_t skinHeight) {
  int32_t width = int32_t(std::min<uint32_t>(skinWidth, INT32_MAX));
  int32_t height = int32_t(std::min<uint32_t>(skinHeight, INT32_MAX));
  if (options.flags & OPT_SKINNOBACK) width /= 2;
  float coverage = float(SkinCoverage(item.model, width, height));
  return TrimBlanks(FormatFixed(coverage, 3, 2));
}

void AppendModel(std::string& out, const RunOptions& options, const ItemState& item) {
  const VNLMODEL_T& model = item.model;
  SectionHead(out, "Model infos");
  SourceLine(out, NameAsRead(options.modelPack, options.modelFile));
  // Differences in 64 bits: a cut-short file can leave a block's end before its start.
  LabelLine(out, "  Header block:", Span(0, model.ofsSkins));
  LabelLine(out, "  Skins block:", Span(model.ofsSkins, int64_t(model.ofsVertices) - model.ofsSkins));
  LabelLine(out, "  Vertices block:", Span(model.ofsVertices, int64_t(model.ofsTriangles) - model.ofsVertices));
  LabelLine(out, "  Triangles block:", Span(model.ofsTriangles, int64_t(model.ofsFrames) - model.ofsTriangles));
  LabelLine(out, "  Frames block:", Span(model.ofsFrames, int64_t(model.fileSize) - model.ofsFrames));
  LabelLine(out, "  Model flags:", Decimal(model.flags));
  LabelLine(out, "  Model sync:", Decimal(model.syncType));
  LabelLine(out, "  Skin count:", Decimal(model.skinCount) + " (+" + Decimal(model.skinExtra) + " extras 'animation')");

  bool hasSkin = model.skins && uint32_t(model.skinCount) + model.skinExtra > 0;
  uint32_t skinWidth = hasSkin ? model.skins[0].width : 0;
  uint32_t skinHeight = hasSkin ? model.skins[0].height : 0;
  LabelLine(out, "  Skin size:",
            Decimal(skinWidth) + "x" + Decimal(skinHeight) + "px (" +
                CoverageText(options, item, skinWidth, skinHeight) + "% covered)");

  LabelLine(out,
            "  Vertex count:", Decimal(model.vertexCount) + " (+" + Decimal(model.seamCount) + " extras 'on seam')");
  LabelLine(out, "  Triangle count:", Decimal(model.triangleCount));
  LabelLine(out,
            "  Frame count:", Decimal(model.frameCount) + " (+" + Decimal(model.frameExtra) + " extras 'grouped')");
  AppendFrameList(out, model);
}

}  // namespace

void SetReportTime(const std::tm* fixed) {
  gTimeFixed = fixed != nullptr;
  if (fixed) gFixedTime = *fixed;
}

void WriteReport(const RunOptions& options, const ItemState& item, RunOutcome& outcome) {
  if (options.reportFile.empty()) return;
  ValueLine("  Report:", options.reportFile);
  Output output;
  if (OpenOutput(options, outcome, output, options.reportFile) != OpenResult::Ready) return;

  std::string out;
  AppendHeader(out, options.arguments);
  if (item.palette.colors) AppendPalette(out, options, item);
  if (item.packInfo.entries) AppendPack(out, options, item);
  if (uint64_t(item.sprite.sheetCount) + item.sprite.frameExtra != 0) AppendSprite(out, options, item);
  if (item.picture.pixels) AppendPicture(out, options, item);
  if (item.model.fileSize != 0) AppendModel(out, options, item);
  FinishOutput(output, out);
}
