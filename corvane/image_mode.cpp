// The image mode: image files mapped to the palette and written in a game format,
// chosen by the ending of -dst: a picture lump from one image, a sprite from all
// the matches in name order, or a WAD2 of mip textures (or pictures) named after
// the images. Every image is read and judged before anything is written.
#include <cstdlib>
#include <filesystem>
#include <set>

#include "console.h"
#include "images.h"
#include "modes.h"
#include "options.h"
#include "output.h"
#include "sources.h"
#include "text_rules.h"

namespace {

enum class Made { Unknown, Lump, Sprite, Wad };

constexpr int32_t kSeeThrough = 255;
constexpr size_t kLongestLumpName = 15;

// One image mapped to the palette.
struct Indexed {
  std::string file;
  std::string name;  // the file's base name
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;
};

Made MadeFrom(const std::string& dst) {
  const std::string ending = LowerAscii(dst.size() > 4 ? dst.substr(dst.size() - 4) : "");
  if (ending == ".lmp") return Made::Lump;
  if (ending == ".spr") return Made::Sprite;
  if (ending == ".wad") return Made::Wad;
  return Made::Unknown;
}

// The index see-through pixels take: sprites, pictures and '{' textures have one.
int32_t SeeThroughFor(const RunOptions& options, Made made, const std::string& name) {
  if (made != Made::Wad || (options.flags & OPT_WADPICS) != 0) return kSeeThrough;
  return !name.empty() && name[0] == '{' ? kSeeThrough : -1;
}

std::string StemOf(const std::string& file) { return std::filesystem::path(HostPath(file)).stem().string(); }

// The bytes of one matched file: by the path it was found at when the loaders
// would clean its name into another; false with `failure`.
bool ReadImageBytes(const SourceMatch& match, uint8_t*& block, uint32_t& length, std::string& failure) {
  if (match.hostPath.empty()) {
    std::string noPack, name = match.name;
    const int32_t code = vnlPackFileLoad(noPack, name, block, length);
    if (code != VNL_OK) vnlErrorString(code, failure);
    return code == VNL_OK;
  }
  if (!ReadHostFile(match.hostPath, block, length, failure)) return false;
  if (length == 0) failure = "the file is empty";
  return length > 0;
}

// Reads, decodes and maps one image; false with `failure`.
bool ReadImage(const RunOptions& options, const VNLPALETTE_T& palette, Made made, const SourceMatch& match,
               Indexed& image, std::string& failure) {
  const std::string& file = match.name;
  uint8_t* block = nullptr;
  uint32_t length = 0;
  std::vector<uint32_t> colours;
  int32_t width = 0, height = 0;
  const bool decoded =
      ReadImageBytes(match, block, length, failure) && DecodeImage(block, length, colours, width, height, failure);
  std::free(block);
  if (!decoded) return false;
  image.file = file;
  image.name = StemOf(file);
  image.width = uint32_t(width);
  image.height = uint32_t(height);
  image.pixels.resize(colours.size());
  vnlPaletteMap(&palette, colours.data(), uint32_t(colours.size()), SeeThroughFor(options, made, image.name),
                image.pixels.data());
  return true;
}

// Why the image cannot go into a WAD2 lump, or "".
std::string WadRefusal(const RunOptions& options, const Indexed& image, std::set<std::string>& folded) {
  if (image.name.empty() || image.name.size() > kLongestLumpName)
    return "a lump name has 1 to " + std::to_string(kLongestLumpName) + " bytes";
  if (!folded.insert(LowerAscii(image.name)).second) return "the name repeats an earlier lump's, case aside";
  if ((options.flags & OPT_WADPICS) == 0 && (image.width % 16 != 0 || image.height % 16 != 0))
    return std::to_string(image.width) + " x " + std::to_string(image.height) +
           " pixels: a mip texture's sides are multiples of 16";
  return "";
}

int FailOn(RunOutcome& outcome, const std::string& file, const std::string& reason) {
  return FailWith(outcome, "Image: \"" + PrintableName(file) + "\": " + reason);
}

// The block a library saver hands out, freed with its holder.
struct SavedBlock {
  uint8_t* block = nullptr;
  uint32_t length = 0;
  SavedBlock() = default;
  SavedBlock(const SavedBlock&) = delete;
  SavedBlock& operator=(const SavedBlock&) = delete;
  ~SavedBlock() { std::free(block); }
};

int32_t SavePictureLump(const Indexed& image, SavedBlock& saved) {
  VNLPICTURE_T picture{image.width, image.height, const_cast<uint8_t*>(image.pixels.data())};
  return vnlPictureSave(&picture, &saved.block, &saved.length);
}

// Frames centred on their origin, single or, with -group, one group.
int32_t SaveSprite(const RunOptions& options, const std::vector<Indexed>& images, SavedBlock& saved) {
  const size_t count = images.size();
  std::vector<int32_t> x(count), y(count);
  std::vector<float> rate(count, 0);
  std::vector<VNLPICTURE_T> frames(count);
  for (size_t i = 0; i < count; ++i) {
    x[i] = -int32_t(images[i].width / 2);
    y[i] = int32_t(images[i].height / 2);
    if (options.groupInterval > 0) rate[i] = float(double(options.groupInterval) * double(i + 1));
    frames[i] = VNLPICTURE_T{images[i].width, images[i].height, const_cast<uint8_t*>(images[i].pixels.data())};
  }
  const bool grouped = options.groupInterval > 0;
  VNLSPRITE_T sprite{};
  sprite.spriteType = 2;  // faces the viewer, upright on the screen
  sprite.sheetCount = grouped ? 1 : uint32_t(count);
  sprite.frameExtra = grouped ? uint32_t(count - 1) : 0;
  sprite.originX = x.data();
  sprite.originY = y.data();
  sprite.rate = rate.data();
  sprite.frames = frames.data();
  const uint32_t groupSize = uint32_t(count);
  return vnlSpriteSave(&sprite, grouped ? &groupSize : nullptr, &saved.block, &saved.length);
}

int32_t SaveWad(const RunOptions& options, const VNLPALETTE_T& palette, const std::vector<Indexed>& images,
                SavedBlock& saved) {
  const bool pictures = (options.flags & OPT_WADPICS) != 0;
  std::vector<SavedBlock> lumps(images.size());
  std::vector<VNLMEMBER_T> members;
  for (size_t i = 0; i < images.size(); ++i) {
    int32_t code = VNL_OK;
    if (pictures) {
      code = SavePictureLump(images[i], lumps[i]);
    } else {
      VNLMIPTEX_T texture{};
      std::snprintf(texture.name, sizeof texture.name, "%s", images[i].name.c_str());
      texture.levels[0] =
          VNLPICTURE_T{images[i].width, images[i].height, const_cast<uint8_t*>(images[i].pixels.data())};
      code = vnlMipTexSave(&texture, &palette, &lumps[i].block, &lumps[i].length);
    }
    if (code != VNL_OK) return code;
    members.push_back({images[i].name.c_str(), lumps[i].block, lumps[i].length,
                       uint8_t(pictures ? VNL_LUMP_PICTURE : VNL_LUMP_MIPTEX)});
  }
  return vnlWadSave(members.data(), uint32_t(members.size()), &saved.block, &saved.length);
}

// The images the pattern names: the matches of a wildcard, or the one file.
std::vector<SourceMatch> ImageSources(const std::string& pattern) {
  std::vector<SourceMatch> matches;
  if (HasWildcard(pattern))
    ExpandDiskPattern(pattern, matches);
  else if (!pattern.empty() && OutputExists(pattern))
    matches.push_back(SourceMatch{pattern, "", {}, false, ""});
  return matches;
}

}  // namespace

int RunImageConversion(const RunOptions& options, ItemState& item, RunOutcome& outcome) {
  SectionLine(":: IMAGE");
  const Made made = MadeFrom(options.dstTyped);
  if (made == Made::Unknown) return FailWith(outcome, "Image: -dst must end in .lmp, .spr or .wad");
  if (options.paletteFile.empty())
    return FailWith(outcome, "Palette: you must specify a palette file to convert pictures");
  ValueLine("  Palette:", options.paletteFile);
  // The loader cleans the names it is handed: it gets copies.
  std::string pack = options.palettePack, file = options.paletteFile;
  const int32_t code = vnlPaletteLoad(pack, file, item.palette);
  if (code != VNL_OK) return FailWith(outcome, "Palette: ", code);
  ValueLine("  Pattern:", options.imagePattern);

  const std::vector<SourceMatch> matches = ImageSources(options.imagePattern);
  if (matches.empty())
    return FailWith(outcome, "Image: nothing matches \"" + PrintableName(options.imagePattern) + "\"");
  if (made == Made::Lump && matches.size() > 1)
    return FailWith(outcome, "Image: a picture lump is made from one image (" + std::to_string(matches.size()) +
                                 " match \"" + PrintableName(options.imagePattern) + "\")");
  std::vector<Indexed> images(matches.size());
  std::set<std::string> folded;
  for (size_t i = 0; i < matches.size(); ++i) {
    std::string failure = matches[i].refusal;
    if (!failure.empty() || !ReadImage(options, item.palette, made, matches[i], images[i], failure))
      return FailOn(outcome, matches[i].name, failure);
    const std::string refusal = made == Made::Wad ? WadRefusal(options, images[i], folded) : "";
    if (!refusal.empty()) return FailOn(outcome, matches[i].name, refusal);
  }
  ValueLabel("  Images:");
  ConsoleLine(std::to_string(images.size()));

  SavedBlock saved;
  const int32_t saveCode = made == Made::Lump     ? SavePictureLump(images[0], saved)
                           : made == Made::Sprite ? SaveSprite(options, images, saved)
                                                  : SaveWad(options, item.palette, images, saved);
  if (saveCode != VNL_OK) return FailWith(outcome, "Image: ", saveCode);
  SectionLine(":: OUTPUTS");
  ValueLine(made == Made::Lump ? "  Picture:" : made == Made::Sprite ? "  Sprite:" : "  Wad:", options.dstTyped);
  WriteOutput(options, outcome, options.dstTyped, saved.block, saved.length);
  return 0;
}
