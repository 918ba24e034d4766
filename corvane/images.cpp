// Placeholder until the writer lands.
#include "images.h"
void SaveImage(const std::string&, const uint32_t*, int32_t, int32_t, int32_t, int32_t, bool) {}
void BuildSkinHint() {}
void DrawHintLine(uint32_t*, int32_t, int32_t, float, float, float, float) {}
