// Helpers for the image tests: reading saved images back through FreeImage (bound
// at run time like the converter does), feeding answers to the replace prompt, and
// catching what the converter writes on the console.
#ifndef TESTS_CORVANE_IMAGE_CHECK_H
#define TESTS_CORVANE_IMAGE_CHECK_H

#include <cstdint>
#include <string>
#include <vector>

namespace imagecheck {

struct Decoded {
  bool loaded = false;
  int format = -1;  // FreeImage's format id as told from the file's content
  unsigned width = 0;
  unsigned height = 0;
  unsigned bitsPerPixel = 0;
  std::vector<uint32_t> rgb;  // 0x00RRGGBB, the top row of the image first

  uint32_t at(unsigned x, unsigned y) const { return rgb[size_t(y) * width + x]; }
};

// Loads an image file; `loaded` is false when FreeImage or the file is missing.
Decoded Decode(const std::string& path);

// 0x00RRGGBB of palette entry `index` of testdata::DistinctPalette.
uint32_t DistinctRgb(int index);
// 0x00RRGGBB of a palette colour as the library packs it (0xFFRRGGBB).
inline uint32_t Rgb(uint32_t packed) { return packed & 0x00FFFFFFu; }

// Standard input reads `answers` (then its end) while the object lives.
class StdinFrom {
 public:
  explicit StdinFrom(const std::string& answers);
  ~StdinFrom();
  StdinFrom(const StdinFrom&) = delete;
  StdinFrom& operator=(const StdinFrom&) = delete;

 private:
  int saved_ = -1;
};

// Collects what is written to standard output while the object lives.
class ConsoleCapture {
 public:
  ConsoleCapture();
  ~ConsoleCapture();
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;
  // Stops capturing (once) and returns the text.
  std::string text();

 private:
  bool active_ = true;
  std::string text_;
};

}  // namespace imagecheck

#endif
