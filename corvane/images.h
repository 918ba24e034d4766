// Image files through FreeImage (loaded on first use).
#ifndef CORVANE_IMAGES_H
#define CORVANE_IMAGES_H

#include <cstdint>
#include <string>
#include <vector>

#include "state.h"

// Saves `pixels` (width x height colours 0xAARRGGBB, top row first) as name.imageExt
// in the run's image format,
// after the "  Picture:" line and the replace prompt; `halve` keeps the left half of
// every row; a non-zero newWidth/newHeight rescales (bilinear). An image that cannot
// be saved (no FreeImage, a size the format cannot store, a failed encode or write)
// gets its failure line and counts against the run.
void SaveImage(const RunOptions& options, RunOutcome& outcome, const std::string& name, const uint32_t* pixels,
               int32_t width, int32_t height, int32_t newWidth, int32_t newHeight, bool halve);
// The failure reason of a picture the library made no colours of (vnlPictureToRGB
// gave nothing: an empty picture, no palette colours, no memory).
extern const char kNoColoursReason[];
// Colours `picture` through `palette` (`level` as vnlPictureToRGB takes it) and
// saves it as SaveImage does; a picture that gives no colours gets its line and
// its failure.
void SavePicture(const RunOptions& options, RunOutcome& outcome, const std::string& name, const VNLPICTURE_T& picture,
                 const VNLPALETTE_T& palette, int32_t level, int32_t newWidth, int32_t newHeight, bool halve);
// Decodes an image file's bytes (any format FreeImage reads) into width x height
// colours 0xAARRGGBB, top row first; an image without alpha is opaque. False with
// `failure` when it does not decode or passes the size the converter handles.
bool DecodeImage(const uint8_t* bytes, uint32_t size, std::vector<uint32_t>& pixels, int32_t& width, int32_t& height,
                 std::string& failure);
// An image format -outimg offers.
struct ImageKind {
  const char* extension;  // the file ending, lower case, without its dot
  const char* alias;      // another name -outimg takes for it, or null
  const char* title;      // its name in a refusal
  int32_t format;         // the image library's format id
  int32_t flags;          // the image library's save flags
  int32_t maxSide;        // the widest and highest image the format stores, 0 for no limit of its own
};
// The kind -outimg names (case aside); TGA, the default, for any other name.
const ImageKind& ImageKindNamed(const std::string& name);
// Makes `kind` the run's image format.
void UseImageKind(RunOptions& options, const ImageKind& kind);

// True for a size the converter makes an image of itself: at least 1 x 1, at most
// 64 M pixels (8192 x 8192).
bool ImageSizeIsSane(int64_t width, int64_t height);
// Why an image of `width` x `height` cannot be saved in `imageFormat`, or "".
std::string ImageSizeRefusal(int32_t imageFormat, int64_t width, int64_t height);

#endif
