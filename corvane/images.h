// Image files through FreeImage (loaded on first use).
#ifndef CORVANE_IMAGES_H
#define CORVANE_IMAGES_H

#include <cstdint>
#include <string>

#include "state.h"

// Saves `pixels` (width x height colours 0xAARRGGBB, top row first) as name.imageExt
// in the run's image format,
// after the "  Picture:" line and the replace prompt; `halve` keeps the left half of
// every row; a non-zero newWidth/newHeight rescales (bilinear). An image that cannot
// be saved (no FreeImage, a size the format cannot store, a failed encode or write)
// gets its failure line and counts against the run.
void SaveImage(ConverterState& state, const std::string& name, const uint32_t* pixels, int32_t width, int32_t height,
               int32_t newWidth, int32_t newHeight, bool halve);
// True for a size the converter makes an image of itself: at least 1 x 1, at most
// 64 M pixels (8192 x 8192).
bool ImageSizeIsSane(int64_t width, int64_t height);
// Why an image of `width` x `height` cannot be saved in `imageFormat`, or "".
std::string ImageSizeRefusal(int32_t imageFormat, int64_t width, int64_t height);
// The announcement of an image that is not made, and its failure line.
void RefuseImage(ConverterState& state, const std::string& fileName, const std::string& reason);

#endif
