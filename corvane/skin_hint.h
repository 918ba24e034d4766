// The skin hint: a picture of the model's triangles in skin space, a guide for
// painting a new skin.
#ifndef CORVANE_SKIN_HINT_H
#define CORVANE_SKIN_HINT_H

#include <cstdint>

#include "state.h"

// Draws every triangle's edges in skin space, white on black, at the item's skin
// size, and saves it as hintFile.
void BuildSkinHint(const RunOptions& options, const ItemState& item, RunOutcome& outcome);
// One line from (uA, vA) to (uB, vB) in skin space; points outside are skipped.
void DrawHintLine(uint32_t* pixels, int32_t width, int32_t height, float uA, float vA, float uB, float vB);

#endif
