// What the library fuzz targets do with one input, shared with the test suite,
// which replays the inputs kept under tests/regressions/<target>/ through the
// very same calls. Each function returns "" when everything behaved as the
// interface promises, else a description of what did not; a crash is a crash
// either way.
#ifndef FUZZ_HARNESS_H
#define FUZZ_HARNESS_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "varnel/varnel.h"

namespace harness {

inline bool OneOf(int32_t code, std::initializer_list<int32_t> allowed) {
  for (int32_t a : allowed)
    if (a == code) return true;
  return false;
}

inline std::string Unexpected(const char* call, int32_t code) {
  return std::string(call) + " returned the undocumented code " + std::to_string(code);
}

// The loaders read the block through a non-const reference to its pointer.
struct Block {
  uint8_t* data;
  uint32_t length;
  Block(const uint8_t* bytes, size_t size)
      : data(const_cast<uint8_t*>(bytes)), length(size > UINT32_MAX ? UINT32_MAX : uint32_t(size)) {}
};

// ---- models ----

inline bool ModelIsEmpty(const VNLMODEL_T& m) {
  return !m.skins && !m.triangles && !m.seamIndex && !m.skinCoords && !m.frameVertices && !m.frameNames &&
         !m.frameGroup &&
         m.skinCount + m.skinExtra + m.frameCount + m.frameExtra + m.vertexCount + m.triangleCount + m.seamCount == 0;
}

// Every index the record hands out must address its own arrays.
inline std::string CheckLoadedModel(const VNLMODEL_T& m) {
  if (!m.skins || !m.triangles || !m.seamIndex || !m.skinCoords || !m.frameVertices || !m.frameNames || !m.frameGroup)
    return "loaded model lacks an array";
  const uint32_t stride = uint32_t(m.vertexCount) + m.seamCount;
  const uint32_t frames = uint32_t(m.frameCount) + m.frameExtra;
  if (m.vertexCount == 0 || m.triangleCount == 0 || m.frameCount == 0 || m.skinCount == 0)
    return "loaded model has a zero count";
  for (uint32_t t = 0; t < m.triangleCount; ++t)
    for (uint16_t index : m.triangles[t].index)
      if (index >= stride) return "triangle index beyond the vertices";
  for (uint32_t i = 0; i < m.vertexCount; ++i)
    if (m.seamIndex[i] != 0 && (m.seamIndex[i] < m.vertexCount || m.seamIndex[i] >= stride))
      return "seam index outside the copies";
  const uint32_t skins = uint32_t(m.skinCount) + m.skinExtra;
  for (uint32_t k = 0; k < skins; ++k)
    if (!m.skins[k].pixels) return "skin without pixels";
  const std::string last = frames ? std::string(m.frameNames[frames - 1], strnlen(m.frameNames[frames - 1], 16)) : "";
  const uint64_t offset = vnlFrameOffset(m, last);
  if (offset + stride > uint64_t(stride) * frames || offset % stride != 0) return "frame offset beyond the frames";
  const int32_t number = vnlFrameNumber(m, last);
  if (number < 0 || uint32_t(number) >= frames) return "frame number beyond the frames";
  return "";
}

constexpr uint64_t kLargestSavedVertices = uint64_t(1) << 18;
constexpr uint64_t kLargestSavedPixels = uint64_t(1) << 22;

// The lossless read of the same block, and the saver on what it read: a record
// the loader took saves, and the saved file loads back with the same counts.
inline std::string StoredModel(const uint8_t* bytes, size_t size) {
  VNLMODELDATA_T stored{};
  const int32_t code = vnlModelDataLoad(bytes, size > UINT32_MAX ? UINT32_MAX : uint32_t(size), &stored);
  if (!OneOf(code,
             {VNL_OK, VNL_NO_BLOCK, VNL_NO_MEMORY, VNL_NOT_MDL, VNL_MDL_VERSION, VNL_MDL_NO_SKIN, VNL_MDL_SKIN_WIDTH,
              VNL_MDL_SKIN_HEIGHT, VNL_MDL_NO_VERTEX, VNL_MDL_NO_FACE, VNL_MDL_NO_FRAME, VNL_MDL_BAD_INDEX}))
    return Unexpected("vnlModelDataLoad", code);
  std::string problem;
  uint8_t* saved = nullptr;
  uint32_t length = 0;
  int32_t savedCode = VNL_OK;
  // A short block may load as a large model that the end of the block left zero;
  // saving and reloading one of those is work the harness inflicts on itself.
  const bool modest = uint64_t(stored.frameCount) * stored.vertexCount <= kLargestSavedVertices &&
                      uint64_t(stored.skinCount) * stored.skinWidth * stored.skinHeight <= kLargestSavedPixels;
  if (code == VNL_OK && modest) savedCode = vnlModelSave(&stored, &saved, &length);
  // Intervals of 0 or less and names of 16 bytes load but are not written.
  if (code == VNL_OK && !OneOf(savedCode, {VNL_OK, VNL_MDL_BAD_INTERVAL, VNL_MDL_LONG_NAME, VNL_NO_MEMORY}))
    problem = Unexpected("vnlModelSave of a loaded record", savedCode);
  if (saved != nullptr) {
    VNLMODELDATA_T back{};
    if (vnlModelDataLoad(saved, length, &back) != VNL_OK)
      problem = "a saved model does not load back";
    else if (back.vertexCount != stored.vertexCount || back.triangleCount != stored.triangleCount ||
             back.frameCount != stored.frameCount || back.skinCount != stored.skinCount)
      problem = "a saved model loads back with other counts";
    vnlModelDataKill(&back);
  }
  std::free(saved);
  vnlModelDataKill(&stored);
  return problem;
}

inline std::string Model(const uint8_t* bytes, size_t size) {
  Block block(bytes, size);
  VNLMODEL_T model{};
  std::string problem;
  const int32_t code = vnlModelLoad(block.data, block.length, model);
  if (!OneOf(code,
             {VNL_OK, VNL_NO_BLOCK, VNL_NO_MEMORY, VNL_NOT_MDL, VNL_MDL_VERSION, VNL_MDL_NO_SKIN, VNL_MDL_SKIN_WIDTH,
              VNL_MDL_SKIN_HEIGHT, VNL_MDL_NO_VERTEX, VNL_MDL_NO_FACE, VNL_MDL_NO_FRAME, VNL_MDL_BAD_INDEX}))
    problem = Unexpected("vnlModelLoad", code);
  else if (code != VNL_OK && !ModelIsEmpty(model))
    problem = "a failed model load left arrays or counts behind";
  else if (code == VNL_OK)
    problem = CheckLoadedModel(model);
  if (code == VNL_OK && problem.empty()) {
    vnlModelScale(model, 2.0f);
    vnlModelSkinInv(model);
    vnlModelSkinNoBack(model);
    vnlModelSwapTris(model);
    problem = CheckLoadedModel(model);
    // A second load into the loaded record must give the same result.
    if (problem.empty() && vnlModelLoad(block.data, block.length, model) != VNL_OK)
      problem = "a second load of the same block failed";
  }
  vnlModelKill(model);
  if (problem.empty() && !ModelIsEmpty(model)) problem = "the model kill left arrays or counts behind";
  return problem.empty() ? StoredModel(bytes, size) : problem;
}

// ---- sprites ----

inline bool SpriteIsEmpty(const VNLSPRITE_T& s) {
  return !s.frames && !s.originX && !s.originY && !s.rate && s.sheetCount == 0 && s.frameExtra == 0;
}

// A valid sprite may list millions of empty frames, or one frame of hundreds of
// millions of pixels that the end of the block left zero: loading those is cheap,
// converting all of them would be work the harness inflicts on itself. So only
// the first frames are converted, and only those of a size a real sprite has.
constexpr uint32_t kSpriteFramesConverted = 64;
constexpr uint64_t kLargestConvertedPixels = uint64_t(1) << 22;

inline std::string Sprite(const uint8_t* bytes, size_t size) {
  Block block(bytes, size);
  VNLSPRITE_T sprite{};
  std::string problem;
  const int32_t code = vnlSpriteLoad(block.data, block.length, sprite);
  if (!OneOf(code, {VNL_OK, VNL_NO_BLOCK, VNL_NO_MEMORY, VNL_NOT_SPRITE, VNL_SPR_VERSION, VNL_SPR_NO_WIDTH,
                    VNL_SPR_NO_HEIGHT, VNL_SPR_NO_FRAME}))
    problem = Unexpected("vnlSpriteLoad", code);
  else if (code != VNL_OK && !SpriteIsEmpty(sprite))
    problem = "a failed sprite load left arrays or counts behind";
  else if (code == VNL_OK && (!sprite.frames || !sprite.originX || !sprite.originY || !sprite.rate))
    problem = "loaded sprite lacks an array";
  if (code == VNL_OK && problem.empty()) {
    static uint8_t paletteBytes[768];
    Block paletteBlock(paletteBytes, sizeof paletteBytes);
    VNLPALETTE_T palette{};
    vnlPaletteLoad(paletteBlock.data, paletteBlock.length, palette);
    const uint64_t total = uint64_t(sprite.sheetCount) + sprite.frameExtra;
    for (uint64_t i = 0; i < total && i < kSpriteFramesConverted && problem.empty(); ++i) {
      const VNLPICTURE_T& frame = sprite.frames[i];
      const uint64_t pixels = uint64_t(frame.width) * frame.height;
      if (pixels != 0 && !frame.pixels) problem = "a frame with a size has no pixels";
      if (pixels == 0 || pixels > kLargestConvertedPixels) continue;
      int32_t level = -1;
      uint32_t* rgb = vnlPictureToRGB(frame, palette, level);
      if (!rgb) problem = "a frame of a real size did not convert";
      std::free(rgb);
    }
    vnlPaletteKill(palette);
  }
  vnlSpriteKill(sprite);
  return problem;
}

// ---- palettes, colormaps, pictures ----

// Converts `picture` at `level` and compares every colour with the palette's own
// (through the colormap row the level clamps to, when there is one).
inline std::string CheckConversion(const VNLPICTURE_T& picture, const VNLPALETTE_T& palette, int32_t level) {
  const int32_t asked = level;
  uint32_t* rgb = vnlPictureToRGB(picture, palette, level);
  const uint64_t count = uint64_t(picture.width) * picture.height;
  if (!rgb) return count == 0 || !palette.colors ? "" : "a picture did not convert";
  const bool mapped = asked >= 0 && palette.colorMap && palette.shadingLevels > 0;
  std::string problem;
  if (mapped) {
    const int64_t row = asked < int64_t(palette.shadingLevels) ? asked : int64_t(palette.shadingLevels) - 1;
    if (level != row * 256) problem = "the level did not become its clamped row's offset";
  } else if (level != asked) {
    problem = "a conversion without colormap changed the level";
  }
  for (uint64_t i = 0; i < count && problem.empty(); ++i) {
    const uint8_t index = mapped ? palette.colorMap[level + picture.pixels[i]] : picture.pixels[i];
    if (rgb[i] != palette.colors[index]) problem = "a converted colour differs from the palette's";
  }
  std::free(rgb);
  return problem;
}

// The input as a palette, and as a colormap attached to a loaded palette; a
// small lump goes through whatever attached.
inline std::string Palette(const uint8_t* bytes, size_t size) {
  Block block(bytes, size);
  std::string problem;
  VNLPALETTE_T palette{};
  int32_t code = vnlPaletteLoad(block.data, block.length, palette);
  if (!OneOf(code, {VNL_OK, VNL_NO_BLOCK, VNL_NO_MEMORY, VNL_NOT_PALETTE}))
    problem = Unexpected("vnlPaletteLoad", code);
  else if ((code == VNL_OK) != (palette.colors != nullptr))
    problem = "the palette's colours do not match its result";

  // A colormap needs a palette first.
  VNLPALETTE_T bare{};
  code = vnlColorMapLoad(block.data, block.length, bare);
  if (problem.empty() && !OneOf(code, {VNL_NO_BLOCK, VNL_NO_PALETTE}))
    problem = Unexpected("vnlColorMapLoad without palette", code);

  static uint8_t plain[768];
  Block plainBlock(plain, sizeof plain);
  VNLPALETTE_T withMap{};
  vnlPaletteLoad(plainBlock.data, plainBlock.length, withMap);
  for (uint32_t i = 0; i < 256; ++i) withMap.colors[i] = 0xFF000000u | i;  // tell the colours apart
  code = vnlColorMapLoad(block.data, block.length, withMap);
  if (problem.empty() && !OneOf(code, {VNL_OK, VNL_NO_BLOCK, VNL_NO_MEMORY, VNL_NOT_COLORMAP}))
    problem = Unexpected("vnlColorMapLoad", code);
  if (problem.empty() && code == VNL_OK) {
    if (uint64_t(withMap.shadingLevels) * 256 + 1 != size)
      problem = "the colormap's rows do not match its size";
    else if (vnlColorMapLoad(block.data, block.length, withMap) != VNL_COLORMAP_LOADED)
      problem = "a second colormap did not give 34";
    static uint8_t lump[8 + 16] = {4, 0, 0, 0, 4, 0, 0, 0, 0, 1, 2, 3, 250, 251, 252, 253, 254, 255};
    Block lumpBlock(lump, sizeof lump);
    VNLPICTURE_T picture{};
    vnlPictureLoad(lumpBlock.data, lumpBlock.length, picture);
    for (int32_t level : {-1, 0, 1, 63, 100000, INT32_MAX})
      if (problem.empty()) problem = CheckConversion(picture, withMap, level);
    vnlPictureKill(picture);
  }
  vnlPaletteKill(withMap);
  vnlPaletteKill(palette);
  return problem;
}

inline std::string Picture(const uint8_t* bytes, size_t size) {
  Block block(bytes, size);
  std::string problem;
  VNLPICTURE_T picture{};
  int32_t code = vnlPictureLoad(block.data, block.length, picture);
  if (!OneOf(code, {VNL_OK, VNL_NO_BLOCK, VNL_NO_MEMORY, VNL_NOT_PICTURE}))
    problem = Unexpected("vnlPictureLoad", code);
  if (problem.empty() && code == VNL_OK) {
    const uint64_t count = uint64_t(picture.width) * picture.height;
    if (count + 8 != size)
      problem = "the picture's size does not match the block";
    else if (count != 0 && std::memcmp(picture.pixels, bytes + 8, count) != 0)
      problem = "the picture's pixels differ from the block";
    static uint8_t paletteBytes[768];
    for (uint32_t i = 0; i < 768; ++i) paletteBytes[i] = uint8_t(i * 7);
    Block paletteBlock(paletteBytes, sizeof paletteBytes);
    VNLPALETTE_T palette{};
    vnlPaletteLoad(paletteBlock.data, paletteBlock.length, palette);
    if (problem.empty()) problem = CheckConversion(picture, palette, -1);
    vnlPaletteKill(palette);
  }
  int32_t type = 0;
  code = vnlWhatIs(block.data, block.length, type);
  if (problem.empty() &&
      !((code == VNL_OK && type != VNL_TYPE_UNKNOWN) || (code == VNL_UNSUPPORTED && type == VNL_TYPE_UNKNOWN)))
    problem = Unexpected("vnlWhatIs", code);
  vnlPictureKill(picture);
  return problem;
}

// ---- WAD2 directories, map text ----

inline std::string Wad(const uint8_t* bytes, size_t size) {
  Block block(bytes, size);
  std::string problem;
  VNLWADINFO_T wad{};
  int32_t code = VNLWADGETINFO(block.data, block.length, wad);
  if (!OneOf(code, {VNL_OK, VNL_NO_MEMORY, VNL_NOT_WAD2, VNL_WAD2_CORRUPT}))
    problem = Unexpected("VNLWADGETINFO", code);
  else if (code != VNL_OK && (wad.entries || wad.entryCount))
    problem = "a failed WAD2 read touched the record";
  else if (code == VNL_OK && uint64_t(wad.dirOffset) + 32 * uint64_t(wad.entryCount) > size)
    problem = "the WAD2 directory reaches past the block";
  for (uint32_t i = 0; code == VNL_OK && problem.empty() && i < wad.entryCount; ++i)
    if (wad.entries[i].name[17] != '\0' || strnlen(wad.entries[i].name, 18) > 16)
      problem = "a WAD2 entry name is not terminated";
  VNLWADKILL(wad);
  return problem;
}

// The parser prints every pair; the fuzz target closes stdout for it.
inline std::string Map(const uint8_t* bytes, size_t size) {
  Block block(bytes, size);
  int32_t code = vnlMapLoad(block.data, block.length);
  if (!OneOf(code, {VNL_OK, VNL_MAP_SCOPE_HIGH, VNL_MAP_SCOPE_LOW, VNL_MAP_ROOT_STATEMENT, VNL_MAP_BAD_ENTITY}))
    return Unexpected("vnlMapLoad", code);
  return "";
}

// ---- paths ----

// A cleaned file path: "\" separators only, no empty, "." or blank-edged parts,
// ".." only at the start of a relative path; cleaning it again changes nothing.
inline std::string CheckCleanFilePath(const std::string& path) {
  if (path.find('/') != std::string::npos) return "a cleaned path kept a \"/\"";
  const bool rooted = !path.empty() && path.front() == '\\';
  std::string rest = rooted ? path.substr(1) : path;
  bool leading = true;
  size_t start = 0;
  while (!rest.empty() && start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    const std::string part = rest.substr(start, end - start);
    if (part.empty() || part == ".") return "a cleaned path has an empty or \".\" part";
    if (part.front() == ' ' || part.back() == ' ') return "a cleaned path part has blanks around it";
    if (part == "..") {
      if (rooted || !leading) return "a cleaned path kept a \"..\" it could resolve";
    } else {
      leading = false;
    }
    start = end + 1;
  }
  std::string again = path;
  vnlCleanPath(again, 1);
  if (again != path) return "cleaning a cleaned path changed it";
  return "";
}

// The input is "path\0extensions" (without a zero byte the extensions are ".mdl").
inline std::string Paths(const uint8_t* bytes, size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  const size_t split = text.find('\0');
  const std::string path = text.substr(0, split);
  std::string extensions = split == std::string::npos ? ".mdl" : text.substr(split + 1);

  std::string file = path;
  vnlCleanPath(file, 1);
  std::string problem = CheckCleanFilePath(file);
  std::string folder = path;
  vnlCleanPath(folder, 0);
  if (problem.empty() && !folder.empty() && folder.back() != '\\') problem = "a cleaned folder lacks its \"\\\"";

  std::string forced = path;
  vnlForceType(forced, extensions);
  if (problem.empty() && forced.compare(0, file.size(), file) != 0) problem = "forcing a type did not clean first";
  return problem;
}

// ---- packs ----

inline std::string TrimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The entry a load of `entry`'s name must return: the first usable entry of that
// name (blanks around a stored name do not count), in directory order.
inline const VNLPACKENTRY_T& FirstUsableNamed(const VNLPACKINFO_T& info, const VNLPACKENTRY_T& entry) {
  for (uint32_t i = 0; i < info.entryCount; ++i)
    if (info.entries[i].usable && TrimSpaces(info.entries[i].name) == entry.name) return info.entries[i];
  return entry;
}

// A stored name that cleaning leaves as it is, is one a caller can ask for.
inline bool IsPlainName(const char* name) {
  std::string cleaned = name;
  vnlCleanPath(cleaned, 1);
  return !cleaned.empty() && cleaned == name && cleaned.front() != '\\';
}

inline std::string LoadMember(const std::string& path, const uint8_t* bytes, size_t size, const VNLPACKINFO_T& info,
                              const VNLPACKENTRY_T& entry) {
  std::string pack = path, member = entry.name;
  uint8_t* block = nullptr;
  uint32_t length = 0;
  const int32_t code = vnlPackFileLoad(pack, member, block, length);
  const bool plain = entry.usable && IsPlainName(entry.name);
  std::string problem;
  if (!OneOf(code, {VNL_OK, VNL_NOT_FOUND, VNL_NO_MEMORY}))
    problem = Unexpected("vnlPackFileLoad", code);
  else if (code != VNL_OK && (block || length))
    problem = "a failed member load handed out a block";
  else if (plain && code != VNL_OK)
    problem = "a listed, usable member did not load";
  else if (plain) {
    const VNLPACKENTRY_T& expected = FirstUsableNamed(info, entry);
    if (length != expected.length || uint64_t(expected.offset) + length > size ||
        std::memcmp(block, bytes + expected.offset, length) != 0)
      problem = "a member load did not return the first usable entry of its name";
  }
  std::free(block);
  return problem;
}

// The input is written to `tempPack` (a name ending in ".pak": the library forces
// that extension, so any other name would never be found) and read as a pack.
inline std::string Pack(const uint8_t* bytes, size_t size, const std::string& tempPack) {
  FILE* file = std::fopen(tempPack.c_str(), "wb");
  if (!file) return "";
  const bool written = std::fwrite(bytes, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) return "";

  std::string packName = tempPack;
  VNLPACKINFO_T info{};
  std::string problem;
  const int32_t code = vnlPackInfoRead(packName, info);
  if (!OneOf(code, {VNL_OK, VNL_EMPTY_FILE, VNL_NO_MEMORY, VNL_NOT_PAK, VNL_PAK_CORRUPT}))
    problem = Unexpected("vnlPackInfoRead", code);
  else if (code != VNL_OK && info.entries)
    problem = "a failed directory read handed out entries";
  else if (code == VNL_OK && (info.entryCount != info.dirLength / 64 || info.entryCount == 0 ||
                              uint64_t(info.dirOffset) + info.dirLength > size))
    problem = "the directory does not match its header";
  // A bounded number of member loads keeps each input fast.
  for (uint32_t i = 0; code == VNL_OK && problem.empty() && i < info.entryCount && i < 8; ++i)
    problem = LoadMember(tempPack, bytes, size, info, info.entries[i]);
  if (code == VNL_OK && problem.empty()) {
    VNLPACKENTRY_T missing{};
    std::strcpy(missing.name, "no\\such\\member.mdl");
    problem = LoadMember(tempPack, bytes, size, info, missing);
  }
  vnlPackInfoKill(info);
  return problem;
}

// For the fuzz targets: a broken promise is a crash, with its reason on stderr.
inline void Require(const std::string& problem) {
  if (problem.empty()) return;
  std::fprintf(stderr, "harness: %s\n", problem.c_str());
  __builtin_trap();
}

}  // namespace harness

#endif  // FUZZ_HARNESS_H
