// Image files through FreeImage (loaded on first use), and the skin hint.
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
// Draws every triangle's edges in skin space, white on black, and saves it as hintFile.
void BuildSkinHint(ConverterState& state);
// One line from (uA, vA) to (uB, vB) in skin space; points outside are skipped.
void DrawHintLine(uint32_t* pixels, int32_t width, int32_t height, float uA, float vA, float uB, float vB);

#endif
