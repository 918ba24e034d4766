#include "images.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

#include "console.h"
#include "image_library.h"
#include "output.h"
#include "state.h"
#include "text_rules.h"

namespace {

constexpr int kBilinearFilter = 2;
// The largest image the converter makes itself (a rescaled skin, a hint): 8192 x 8192.
// Buffers it is handed are saved at whatever size they come.
// Quake skins are a few hundred pixels wide; anything near this is a typing slip.
constexpr int64_t kMaxImagePixels = int64_t(1) << 26;

// The kinds of image files, the default first. TGA stores its size in 16-bit
// fields; 65500 is the JPEG library's own limit.
constexpr ImageKind kImageKinds[] = {
    {"tga", nullptr, "TGA", kImageFormatTarga, kImageFlagsNone, 65535},
    {"png", nullptr, "PNG", kImageFormatPng, kPngDefaultCompression, 0},
    {"bmp", nullptr, "BMP", kImageFormatBmp, kImageFlagsNone, 0},
    {"jpg", "jpeg", "JPEG", kImageFormatJpeg, kJpegGoodQuality, 65500},
};

const ImageKind* KindOfFormat(int32_t format) {
  for (const ImageKind& kind : kImageKinds)
    if (kind.format == format) return &kind;
  return nullptr;
}

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Encodes the bitmap in `format` in memory (unloading it) and hands the bytes to
// `use` while they are held there; false with `failure` when none came.
bool EncodeBitmap(const ImageLibrary& fi, ImageBitmap* bitmap, int32_t format, int32_t flags,
                  const std::function<void(const uint8_t*, uint32_t)>& use, std::string& failure) {
  ImageMemory* memory = fi.OpenMemory(nullptr, 0);
  TakeImageLibraryMessage();
  bool encoded = memory != nullptr && fi.SaveToMemory(format, bitmap, memory, flags) != 0;
  fi.Unload(bitmap);
  uint8_t* bytes = nullptr;
  uint32_t size = 0;
  encoded = encoded && fi.AcquireMemory(memory, &bytes, &size) != 0 && bytes != nullptr && size > 0;
  if (encoded) {
    use(bytes, size);
  } else {
    std::string said = TakeImageLibraryMessage();
    failure = said.empty() ? "FreeImage could not encode the image" : "FreeImage: " + said;
  }
  if (memory != nullptr) fi.CloseMemory(memory);
  return encoded;
}

// Encodes the bitmap in memory (unloading it) and writes the bytes as the output.
void WriteEncoded(const RunOptions& options, Output& out, const ImageLibrary& fi, ImageBitmap* bitmap) {
  std::string failure;
  auto write = [&out](const uint8_t* bytes, uint32_t size) { FinishOutput(out, bytes, size); };
  if (!EncodeBitmap(fi, bitmap, options.imageFormat, options.imageFlags, write, failure)) FailOutput(out, failure);
}

// The bound library; when it cannot be bound, the reason is said once, on the
// first image.
const ImageLibrary* ImageLibraryOrSayWhy() {
  std::string failure;
  const ImageLibrary* fi = BindImageLibrary(failure);
  if (fi == nullptr && !failure.empty())
    ConsoleLine("  Images are not written: FreeImage is not available (" + failure + ")");
  return fi;
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

}  // namespace

const char kNoColoursReason[] = "the palette gave it no colours";

void SaveImage(const RunOptions& options, RunOutcome& outcome, const std::string& name, const uint32_t* pixels,
               int32_t width, int32_t height, int32_t newWidth, int32_t newHeight, bool halve) {
  const std::string fileName = name + "." + options.imageExt;
  const int32_t imageWidth = halve ? width / 2 : width;
  // The wanted size is compared with the image as saved, so that an explicit size
  // is honoured also when only the front half is kept.
  const int32_t targetWidth = newWidth != 0 ? newWidth : imageWidth;
  const int32_t targetHeight = newHeight != 0 ? newHeight : height;

  // Every image gets its failure line.
  const ImageLibrary* fi = ImageLibraryOrSayWhy();
  ValueLine("  Picture:", fileName);
  std::string refusal;
  if (fi == nullptr)
    refusal = "FreeImage is not available";
  else if (pixels == nullptr || imageWidth < 1 || height < 1)
    refusal = "the picture has no pixels";
  else if (int64_t(width) * 4 > std::numeric_limits<int>::max())
    refusal = "the picture is too wide";
  else
    refusal = ImageSizeRefusal(options.imageFormat, targetWidth, targetHeight);
  if (!refusal.empty()) return FailOutput(outcome, fileName, refusal);

  Output out;
  if (OpenOutput(options, outcome, out, fileName) != OpenResult::Ready) return;
  ImageBitmap* bitmap = MakeBitmap(*fi, pixels, width, imageWidth, height, targetWidth, targetHeight);
  if (bitmap == nullptr) return FailOutput(out, "FreeImage could not make the bitmap");
  WriteEncoded(options, out, *fi, bitmap);
}

void SavePicture(const RunOptions& options, RunOutcome& outcome, const std::string& name, const VNLPICTURE_T& picture,
                 const VNLPALETTE_T& palette, int32_t level, int32_t newWidth, int32_t newHeight, bool halve) {
  uint32_t* pixels = vnlPictureToRGB(picture, palette, level);
  if (pixels == nullptr) {
    const std::string fileName = name + "." + options.imageExt;
    ValueLine("  Picture:", fileName);
    return FailOutput(outcome, fileName, kNoColoursReason);
  }
  SaveImage(options, outcome, name, pixels, int32_t(picture.width), int32_t(picture.height), newWidth, newHeight,
            halve);
  std::free(pixels);
}

namespace {

// Copies a 32-bit bitmap (bottom row first in memory) into `pixels`, top row first.
void CopyRows(const ImageLibrary& fi, ImageBitmap* bitmap, uint32_t width, uint32_t height,
              std::vector<uint32_t>& pixels) {
  const uint8_t* bits = fi.GetBits(bitmap);
  const size_t pitch = fi.GetPitch(bitmap);
  pixels.resize(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y)
    std::memcpy(&pixels[size_t(y) * width], bits + (height - 1 - y) * pitch, size_t(width) * 4);
}

}  // namespace

bool DecodeImage(const uint8_t* bytes, uint32_t size, std::vector<uint32_t>& pixels, int32_t& width, int32_t& height,
                 std::string& failure) {
  const ImageLibrary* fi = ImageLibraryOrSayWhy();
  if (fi == nullptr) {
    failure = "FreeImage is not available";
    return false;
  }
  ImageMemory* memory = fi->OpenMemory(const_cast<uint8_t*>(bytes), size);
  TakeImageLibraryMessage();
  const int32_t format = memory == nullptr ? kImageFormatUnknown : fi->GetFileTypeFromMemory(memory, 0);
  ImageBitmap* loaded = nullptr;
  if (format != kImageFormatUnknown)
    loaded = fi->LoadFromMemory(format, memory, format == kImageFormatPng ? kPngIgnoreGamma : kImageFlagsNone);
  ImageBitmap* bitmap = loaded == nullptr ? nullptr : fi->ConvertTo32Bits(loaded);
  if (loaded != nullptr) fi->Unload(loaded);
  if (memory != nullptr) fi->CloseMemory(memory);
  if (bitmap == nullptr) {
    const std::string said = TakeImageLibraryMessage();
    failure = format == kImageFormatUnknown ? "not an image FreeImage knows"
                                            : "the image does not decode" + (said.empty() ? "" : " (" + said + ")");
    return false;
  }
  const uint32_t w = fi->GetWidth(bitmap), h = fi->GetHeight(bitmap);
  const bool sane = ImageSizeIsSane(w, h);
  if (sane) CopyRows(*fi, bitmap, w, h, pixels);
  fi->Unload(bitmap);
  if (!sane) {
    failure = SizeText(w, h) + ": more than the converter reads";
    return false;
  }
  width = int32_t(w);
  height = int32_t(h);
  return true;
}

const ImageKind& ImageKindNamed(const std::string& name) {
  const std::string wanted = LowerAscii(name);
  for (const ImageKind& kind : kImageKinds)
    if (wanted == kind.extension || (kind.alias != nullptr && wanted == kind.alias)) return kind;
  return kImageKinds[0];
}

void UseImageKind(RunOptions& options, const ImageKind& kind) {
  options.imageExt = kind.extension;
  options.imageFormat = kind.format;
  options.imageFlags = kind.flags;
}

bool ImageSizeIsSane(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width * height <= kMaxImagePixels;
}

std::string ImageSizeRefusal(int32_t imageFormat, int64_t width, int64_t height) {
  if (width < 1 || height < 1) return "an image cannot be " + SizeText(width, height);
  if (!ImageSizeIsSane(width, height))
    return SizeText(width, height) + ": more than the " + std::to_string(kMaxImagePixels) +
           " pixels an image made here may have";
  const ImageKind* kind = KindOfFormat(imageFormat);
  if (kind != nullptr && kind->maxSide > 0 && (width > kind->maxSide || height > kind->maxSide))
    return std::string("a ") + kind->title + " image is at most " + std::to_string(kind->maxSide) +
           " pixels wide and high";
  return "";
}
