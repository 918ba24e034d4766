#include "images.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "console.h"
#include "image_library.h"
#include "output.h"
#include "state.h"

namespace {

constexpr int kBilinearFilter = 2;
constexpr uint32_t kHintBackground = 0xFF000000;
constexpr uint32_t kHintLine = 0xFFFFFFFF;
// The largest image the converter makes itself (a rescaled skin, a hint): 8192 x 8192.
// Buffers it is handed are saved at whatever size they come.
// Quake skins are a few hundred pixels wide; anything near this is a typing slip.
constexpr int64_t kMaxImagePixels = int64_t(1) << 26;
// Mapped coordinates farther out than this cannot be stepped exactly in double
// precision; no real skin coordinate comes near it.
constexpr double kMaxHintCoordinate = double(int64_t(1) << 40);

// FreeImage's format ids of the two formats with a size field narrower than ours.
constexpr int32_t kTargaFormat = 17;
constexpr int32_t kJpegFormat = 2;
constexpr int32_t kTargaMaxSide = 65535;  // 16-bit width and height fields
constexpr int32_t kJpegMaxSide = 65500;   // the JPEG library's own limit

bool SizeIsSane(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width * height <= kMaxImagePixels;
}

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Why an image of `width` x `height` cannot be saved in the chosen format, or "".
std::string SizeRefusal(int32_t imageFormat, int64_t width, int64_t height) {
  if (width < 1 || height < 1) return "an image cannot be " + SizeText(width, height);
  if (!SizeIsSane(width, height))
    return SizeText(width, height) + ": more than the " + std::to_string(kMaxImagePixels) +
           " pixels an image made here may have";
  if (imageFormat == kTargaFormat && (width > kTargaMaxSide || height > kTargaMaxSide))
    return "a TGA image is at most 65535 pixels wide and high";
  if (imageFormat == kJpegFormat && (width > kJpegMaxSide || height > kJpegMaxSide))
    return "a JPEG image is at most 65500 pixels wide and high";
  return "";
}

// The announcement of an image that is not made, and its failure line.
void RefuseImage(ConverterState& state, const std::string& fileName, const std::string& reason) {
  ValueLine("  Picture:", fileName);
  ReportOutputFailure(state, fileName, reason);
}

// Encodes the bitmap in memory (unloading it) and writes the bytes as the output.
void WriteEncoded(const ConverterState& state, Output& out, const ImageLibrary& fi, ImageBitmap* bitmap) {
  ImageMemory* memory = fi.OpenMemory(nullptr, 0);
  TakeImageLibraryMessage();
  bool encoded = memory != nullptr && fi.SaveToMemory(state.imageFormat, bitmap, memory, state.imageFlags) != 0;
  fi.Unload(bitmap);
  uint8_t* bytes = nullptr;
  uint32_t size = 0;
  encoded = encoded && fi.AcquireMemory(memory, &bytes, &size) != 0 && bytes != nullptr && size > 0;
  if (encoded) {
    FinishOutput(out, bytes, size);
  } else {
    std::string said = TakeImageLibraryMessage();
    FailOutput(out, said.empty() ? "FreeImage could not encode the image" : "FreeImage: " + said);
  }
  if (memory != nullptr) fi.CloseMemory(memory);
}

// The 32-bit buffer as a 24-bit bitmap of imageWidth x height, rescaled when asked;
// null when FreeImage could not make it.
ImageBitmap* MakeBitmap(const ImageLibrary& fi, const uint32_t* pixels, int32_t width, int32_t imageWidth,
                        int32_t height, int32_t targetWidth, int32_t targetHeight) {
  // FreeImage only reads the bits, whatever its prototype says.
  uint8_t* bits = reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(pixels));
  ImageBitmap* bitmap =
      fi.ConvertFromRawBits(bits, imageWidth, height, width * 4, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 1);
  if (bitmap == nullptr) return nullptr;
  if (targetWidth != imageWidth || targetHeight != height) {
    ImageBitmap* scaled = fi.Rescale(bitmap, targetWidth, targetHeight, kBilinearFilter);
    fi.Unload(bitmap);
    if (scaled == nullptr) return nullptr;
    bitmap = scaled;
  }
  ImageBitmap* flat = fi.ConvertTo24Bits(bitmap);
  fi.Unload(bitmap);
  return flat;
}

// A mapped coordinate, or false when it is too far out to draw with.
bool MapToPixel(double coordinate, int32_t size, int64_t& pixel) {
  double mapped = std::floor(coordinate * size);
  if (!(std::fabs(mapped) <= kMaxHintCoordinate)) return false;  // also catches nan
  pixel = int64_t(mapped);
  return true;
}

}  // namespace

void SaveImage(ConverterState& state, const std::string& name, const uint32_t* pixels, int32_t width, int32_t height,
               int32_t newWidth, int32_t newHeight, bool halve) {
  const std::string fileName = name + "." + state.imageExt;
  const int32_t imageWidth = halve ? width / 2 : width;
  // The wanted size is compared with the image as saved, so that an explicit size
  // is honoured also when only the front half is kept.
  const int32_t targetWidth = newWidth != 0 ? newWidth : imageWidth;
  const int32_t targetHeight = newHeight != 0 ? newHeight : height;

  std::string failure;
  const ImageLibrary* fi = BindImageLibrary(failure);
  // The reason is said once, on the first image; every image gets its failure line.
  if (fi == nullptr && !failure.empty())
    ConsoleLine("  Images are not written: FreeImage is not available (" + failure + ")");
  ValueLine("  Picture:", fileName);
  std::string refusal;
  if (fi == nullptr) refusal = "FreeImage is not available";
  else if (pixels == nullptr || imageWidth < 1 || height < 1) refusal = "the picture has no pixels";
  else if (int64_t(width) * 4 > std::numeric_limits<int>::max()) refusal = "the picture is too wide";
  else refusal = SizeRefusal(state.imageFormat, targetWidth, targetHeight);
  if (!refusal.empty()) return ReportOutputFailure(state, fileName, refusal);

  Output out;
  if (!OpenOutput(state, out, fileName)) return;
  ImageBitmap* bitmap = MakeBitmap(*fi, pixels, width, imageWidth, height, targetWidth, targetHeight);
  if (bitmap == nullptr) return FailOutput(out, "FreeImage could not make the bitmap");
  WriteEncoded(state, out, *fi, bitmap);
}

void DrawHintLine(uint32_t* pixels, int32_t width, int32_t height, float uA, float vA, float uB, float vB) {
  if (pixels == nullptr || width < 1 || height < 1) return;
  // v grows upwards in skin space; rows are counted from the top.
  int64_t xA, yA, xB, yB;
  if (!MapToPixel(uA, width, xA) || !MapToPixel(std::fabs(double(vA) - 1.0), height, yA) ||
      !MapToPixel(uB, width, xB) || !MapToPixel(std::fabs(double(vB) - 1.0), height, yB))
    return;
  const int64_t dx = xB - xA;
  const int64_t dy = yB - yA;

  // Step one pixel at a time along the longer axis, from its smaller end.
  const bool alongX = std::llabs(dx) > std::llabs(dy);
  int64_t startX, startY;
  double stepX, stepY;
  int64_t steps;
  if (alongX) {
    const bool fromA = xA < xB;
    startX = fromA ? xA : xB;
    startY = fromA ? yA : yB;
    steps = std::llabs(dx);
    stepX = 1;
    stepY = double(dy) / double(dx);
  } else {
    const bool fromA = yA < yB;
    startX = fromA ? xA : xB;
    startY = fromA ? yA : yB;
    steps = std::llabs(dy);
    stepY = 1;
    stepX = dy != 0 ? double(dx) / double(dy) : 0.0;
  }

  // Points off the image are skipped one by one; along the major axis those are
  // exactly the steps before and after the image, so they are not walked at all.
  const int64_t majorStart = alongX ? startX : startY;
  const int64_t majorSize = alongX ? width : height;
  const int64_t first = std::max<int64_t>(0, -majorStart);
  const int64_t last = std::min<int64_t>(steps, majorSize - 1 - majorStart);
  for (int64_t k = first; k <= last; ++k) {
    const double x = std::nearbyint(double(startX) + double(k) * stepX);
    const double y = std::nearbyint(double(startY) + double(k) * stepY);
    if (x >= 0 && x < width && y >= 0 && y < height) pixels[int64_t(y) * width + int64_t(x)] = kHintLine;
  }
}

void BuildSkinHint(ConverterState& state) {
  if (!ConfirmReplace(state.hintFile, &state.flags, OPT_REPLACE)) return;
  const int32_t width = state.skinWidth;
  const int32_t height = state.skinHeight;
  const std::string fileName = state.hintFile + "." + state.imageExt;
  if (width < 1 || height < 1) return;  // no skin to draw on
  if (!SizeIsSane(width, height)) return RefuseImage(state, fileName, SizeRefusal(state.imageFormat, width, height));

  const size_t count = size_t(int64_t(width) * height);
  auto* pixels = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
  if (pixels == nullptr) return RefuseImage(state, fileName, std::strerror(ENOMEM));
  for (size_t i = 0; i < count; ++i) pixels[i] = kHintBackground;

  const VNLMODEL_T& model = state.model;
  const uint64_t coordCount = uint64_t(model.vertexCount) + model.seamCount;
  if (model.triangles != nullptr && model.skinCoords != nullptr) {
    for (uint32_t t = 0; t < model.triangleCount; ++t) {
      const uint16_t* corner = model.triangles[t].index;
      if (corner[0] >= coordCount || corner[1] >= coordCount || corner[2] >= coordCount) continue;
      const VNLVEC3_T& a = model.skinCoords[corner[0]];
      const VNLVEC3_T& b = model.skinCoords[corner[1]];
      const VNLVEC3_T& c = model.skinCoords[corner[2]];
      DrawHintLine(pixels, width, height, a.x, a.y, b.x, b.y);
      DrawHintLine(pixels, width, height, a.x, a.y, c.x, c.y);
      DrawHintLine(pixels, width, height, b.x, b.y, c.x, c.y);
    }
  }
  SaveImage(state, state.hintFile, pixels, width, height, 0, 0, false);
  std::free(pixels);
}
