#include "indexed_png.h"

#include <spng.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kPaletteSize = 256;
// Skins are flat palette colours that deflate packs well already at its fastest;
// filters only cost time on indices.
constexpr int kFastestCompression = 1;

struct ContextFree {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

std::string Refusal(int code) { return std::string("the PNG encoder refused: ") + spng_strerror(code); }

}  // namespace

bool EncodeIndexedPng(const VNLPICTURE_T& picture, const uint32_t* colours, bool halve, std::string& png,
                      std::string& failure) {
  const uint32_t width = halve ? picture.width / 2 : picture.width;
  if (picture.pixels == nullptr || width < 1 || picture.height < 1 || colours == nullptr) {
    failure = "the picture has no pixels";
    return false;
  }
  // The front half is every row's first half: a copy of those rows.
  std::vector<uint8_t> half;
  const uint8_t* rows = picture.pixels;
  if (halve) {
    half.resize(size_t(width) * picture.height);
    for (uint32_t y = 0; y < picture.height; ++y)
      std::copy_n(picture.pixels + size_t(y) * picture.width, width, half.data() + size_t(y) * width);
    rows = half.data();
  }

  std::unique_ptr<spng_ctx, ContextFree> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) {
    failure = "the PNG encoder could not start";
    return false;
  }
  spng_ihdr header{};
  header.width = width;
  header.height = picture.height;
  header.bit_depth = 8;
  header.color_type = SPNG_COLOR_TYPE_INDEXED;
  spng_plte palette{};
  palette.n_entries = kPaletteSize;
  for (uint32_t i = 0; i < kPaletteSize; ++i)
    palette.entries[i] = spng_plte_entry{uint8_t(colours[i] >> 16), uint8_t(colours[i] >> 8), uint8_t(colours[i]), 0};
  int code = spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1);
  if (code == 0) code = spng_set_option(context.get(), SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING);
  if (code == 0) code = spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, kFastestCompression);
  if (code == 0) code = spng_set_ihdr(context.get(), &header);
  if (code == 0) code = spng_set_plte(context.get(), &palette);
  if (code == 0)
    code = spng_encode_image(context.get(), rows, size_t(width) * picture.height, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  size_t size = 0;
  void* bytes = code == 0 ? spng_get_png_buffer(context.get(), &size, &code) : nullptr;
  if (bytes == nullptr) {
    failure = Refusal(code);
    return false;
  }
  png.assign(static_cast<const char*>(bytes), size);
  std::free(bytes);
  return true;
}
