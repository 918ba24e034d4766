// Format detection by content: a magic first, then the lengths of the lumps
// that have none.
#include "block_reader.h"
#include "file_io.h"
#include "varnel/varnel.h"

namespace {

struct Magic {
  const char* text;
  int32_t type;
};

constexpr Magic kMagics[] = {
    {"PACK", VNL_TYPE_PAK}, {"WAD2", VNL_TYPE_WAD2}, {"IDPO", VNL_TYPE_MDL},
    {"IDSP", VNL_TYPE_SPR}, {"RIFF", VNL_TYPE_RIFF},
};

constexpr uint32_t kPaletteLength = 768;
constexpr uint32_t kColormap32Length = 32 * 256 + 1;
constexpr uint32_t kColormap64Length = 64 * 256 + 1;
constexpr uint32_t kBlock4000Length = 4000;

int32_t TypeOf(const uint8_t* block, uint32_t length) {
  // A null block reads as nothing, so only `length` (the caller's, not the
  // reader's) can still decide.
  vnl::BlockReader reader(block, length);
  std::string magic = reader.text(4);
  for (const Magic& candidate : kMagics)
    if (magic == candidate.text) return candidate.type;

  reader.seek(0);
  uint64_t width = reader.u32();
  reader.seek(4);
  uint64_t height = reader.u32();
  if (width * height + 8 == length) return VNL_TYPE_PICTURE;
  if (length == kPaletteLength) return VNL_TYPE_PALETTE;
  if (length == kColormap32Length || length == kColormap64Length) return VNL_TYPE_COLORMAP;
  if (length == kBlock4000Length) return VNL_TYPE_4000;
  return VNL_TYPE_UNKNOWN;
}

}  // namespace

int32_t vnlWhatIs(const uint8_t* block, uint32_t length, int32_t* type) {
  if (type == nullptr) return VNL_NO_BLOCK;
  *type = TypeOf(block, length);
  return *type == VNL_TYPE_UNKNOWN ? VNL_UNSUPPORTED : VNL_OK;
}

int32_t vnlWhatIsFile(const char* packName, const char* fileName, int32_t* type) {
  return vnl::LoadRecordFile(packName, fileName, "", vnlWhatIs, type);
}
