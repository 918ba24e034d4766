// FreeImage, bound at run time on the first image. Linking it would cost every
// run its start-up, also the many runs that save no image at all.
#ifndef CORVANE_IMAGE_LIBRARY_H
#define CORVANE_IMAGE_LIBRARY_H

#include <cstdint>
#include <string>

struct ImageBitmap;  // FreeImage's FIBITMAP, only ever handled by pointer
struct ImageMemory;  // FreeImage's FIMEMORY, a memory stream

// The functions the converter calls, with FreeImage's own signatures (its BOOL
// is a 32-bit int, its DWORD 32 bits unsigned, its format and filter ids plain
// enums). Images are encoded into a memory stream; the output module writes the
// bytes, so a file is checked and published like every other output.
struct ImageLibrary {
  ImageBitmap* (*ConvertFromRawBits)(uint8_t* bits, int width, int height, int pitch, unsigned bpp, unsigned redMask,
                                     unsigned greenMask, unsigned blueMask, int32_t topDown);
  ImageBitmap* (*Rescale)(ImageBitmap* bitmap, int width, int height, int filter);
  ImageBitmap* (*ConvertTo24Bits)(ImageBitmap* bitmap);
  void (*Unload)(ImageBitmap* bitmap);
  ImageMemory* (*OpenMemory)(uint8_t* data, uint32_t size);
  int32_t (*SaveToMemory)(int format, ImageBitmap* bitmap, ImageMemory* stream, int flags);
  int32_t (*AcquireMemory)(ImageMemory* stream, uint8_t** data, uint32_t* size);
  void (*CloseMemory)(ImageMemory* stream);
  // Reading images back.
  int32_t (*GetFileTypeFromMemory)(ImageMemory* stream, int size);
  ImageBitmap* (*LoadFromMemory)(int format, ImageMemory* stream, int flags);
  ImageBitmap* (*ConvertTo32Bits)(ImageBitmap* bitmap);
  unsigned (*GetWidth)(ImageBitmap* bitmap);
  unsigned (*GetHeight)(ImageBitmap* bitmap);
  unsigned (*GetPitch)(ImageBitmap* bitmap);
  uint8_t* (*GetBits)(ImageBitmap* bitmap);
};

// FreeImage's format ids and save flags that the converter uses.
constexpr int32_t kImageFormatBmp = 0;       // FIF_BMP
constexpr int32_t kImageFormatJpeg = 2;      // FIF_JPEG
constexpr int32_t kImageFormatPng = 13;      // FIF_PNG
constexpr int32_t kImageFormatTarga = 17;    // FIF_TARGA
constexpr int32_t kImageFormatUnknown = -1;  // FIF_UNKNOWN
constexpr int32_t kImageFlagsNone = 0;
constexpr int32_t kPngIgnoreGamma = 1;         // PNG_IGNOREGAMMA: the stored colours, not corrected ones
constexpr int32_t kPngDefaultCompression = 6;  // PNG_Z_DEFAULT_COMPRESSION
constexpr int32_t kJpegGoodQuality = 128;      // JPEG_QUALITYGOOD

// The shared library bound by default (Debian's runtime package).
extern const char* const kImageLibraryName;

// The bound functions, loading the library on the first call. Null when it cannot
// be used; `failure` then receives the reason, on the first failing call only.
const ImageLibrary* BindImageLibrary(std::string& failure);
// Forgets the binding, so that the next BindImageLibrary tries `soname` (tests).
void RebindImageLibrary(const std::string& soname);
// The library's last own message (an encoder's complaint), emptied by the call.
std::string TakeImageLibraryMessage();

#endif
