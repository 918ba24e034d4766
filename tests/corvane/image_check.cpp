#include "image_check.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "builders.h"

namespace imagecheck {

namespace {

struct Bitmap;

struct Reader {
  int (*GetFileType)(const char*, int) = nullptr;
  Bitmap* (*Load)(int, const char*, int) = nullptr;
  Bitmap* (*ConvertTo32Bits)(Bitmap*) = nullptr;
  unsigned (*GetWidth)(Bitmap*) = nullptr;
  unsigned (*GetHeight)(Bitmap*) = nullptr;
  unsigned (*GetBPP)(Bitmap*) = nullptr;
  uint8_t* (*GetScanLine)(Bitmap*, int) = nullptr;
  void (*Unload)(Bitmap*) = nullptr;
  bool ready = false;
};

template <typename Function>
bool Find(void* handle, const char* name, Function& out) {
  out = reinterpret_cast<Function>(dlsym(handle, name));
  return out != nullptr;
}

const Reader& TheReader() {
  static Reader reader = [] {
    Reader r;
    void* handle = dlopen("libfreeimage.so.3", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return r;
    r.ready = Find(handle, "FreeImage_GetFileType", r.GetFileType) && Find(handle, "FreeImage_Load", r.Load) &&
              Find(handle, "FreeImage_ConvertTo32Bits", r.ConvertTo32Bits) &&
              Find(handle, "FreeImage_GetWidth", r.GetWidth) && Find(handle, "FreeImage_GetHeight", r.GetHeight) &&
              Find(handle, "FreeImage_GetBPP", r.GetBPP) && Find(handle, "FreeImage_GetScanLine", r.GetScanLine) &&
              Find(handle, "FreeImage_Unload", r.Unload);
    return r;
  }();
  return reader;
}

}  // namespace

Decoded Decode(const std::string& path) {
  Decoded image;
  const Reader& fi = TheReader();
  if (!fi.ready) return image;
  image.format = fi.GetFileType(path.c_str(), 0);
  if (image.format < 0) return image;
  Bitmap* bitmap = fi.Load(image.format, path.c_str(), 0);
  if (bitmap == nullptr) return image;
  image.bitsPerPixel = fi.GetBPP(bitmap);
  Bitmap* wide = fi.ConvertTo32Bits(bitmap);
  fi.Unload(bitmap);
  if (wide == nullptr) return image;
  image.width = fi.GetWidth(wide);
  image.height = fi.GetHeight(wide);
  image.rgb.resize(size_t(image.width) * image.height);
  // FreeImage keeps the bottom row first; little-endian 32-bit pixels read 0xAARRGGBB.
  for (unsigned y = 0; y < image.height; ++y) {
    const uint8_t* line = fi.GetScanLine(wide, int(image.height - 1 - y));
    for (unsigned x = 0; x < image.width; ++x) {
      const uint8_t* p = line + 4 * x;
      image.rgb[size_t(y) * image.width + x] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
  }
  fi.Unload(wide);
  image.loaded = true;
  return image;
}

uint32_t DistinctRgb(int index) {
  testdata::Rgb c = testdata::DistinctColour(index);
  return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

StdinFrom::StdinFrom(const std::string& answers) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return;
  std::fwrite(answers.data(), 1, answers.size(), file);
  std::fflush(file);
  std::rewind(file);
  saved_ = dup(STDIN_FILENO);
  dup2(fileno(file), STDIN_FILENO);
  std::fclose(file);  // the duplicate on descriptor 0 keeps it open
}

StdinFrom::~StdinFrom() {
  if (saved_ < 0) return;
  dup2(saved_, STDIN_FILENO);
  close(saved_);
}

ConsoleCapture::ConsoleCapture() { testing::internal::CaptureStdout(); }

ConsoleCapture::~ConsoleCapture() { text(); }

std::string ConsoleCapture::text() {
  if (active_) {
    std::fflush(stdout);
    text_ = testing::internal::GetCapturedStdout();
    active_ = false;
  }
  return text_;
}

}  // namespace imagecheck
