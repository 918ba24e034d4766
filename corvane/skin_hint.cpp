// The skin hint: every triangle's edges drawn in skin space, white on black.
#include "skin_hint.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "console.h"
#include "images.h"
#include "output.h"

namespace {

constexpr uint32_t kHintBackground = 0xFF000000;
constexpr uint32_t kHintLine = 0xFFFFFFFF;
// Mapped coordinates farther out than this cannot be stepped exactly in double
// precision; no real skin coordinate comes near it.
constexpr double kMaxHintCoordinate = double(int64_t(1) << 40);

// A mapped coordinate, or false when it is too far out to draw with.
bool MapToPixel(double coordinate, int32_t size, int64_t& pixel) {
  double mapped = std::floor(coordinate * size);
  if (!(std::fabs(mapped) <= kMaxHintCoordinate)) return false;  // also catches nan
  pixel = int64_t(mapped);
  return true;
}

// The hint's line, and why it is not made.
void RefuseHint(RunOutcome& outcome, const std::string& fileName, const std::string& reason) {
  ValueLine("  Picture:", fileName);
  FailOutput(outcome, fileName, reason);
}

}  // namespace

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

void BuildSkinHint(const RunOptions& options, const ItemState& item, RunOutcome& outcome) {
  if (!ConfirmReplace(options, outcome, options.hintFile)) return;
  const int32_t width = item.skinWidth;
  const int32_t height = item.skinHeight;
  const std::string fileName = options.hintFile + "." + options.imageExt;
  if (width < 1 || height < 1) return;  // no skin to draw on
  if (!ImageSizeIsSane(width, height))
    return RefuseHint(outcome, fileName, ImageSizeRefusal(options.imageFormat, width, height));

  const size_t count = size_t(int64_t(width) * height);
  auto* pixels = static_cast<uint32_t*>(std::malloc(count * sizeof(uint32_t)));
  if (pixels == nullptr) return RefuseHint(outcome, fileName, std::strerror(ENOMEM));
  for (size_t i = 0; i < count; ++i) pixels[i] = kHintBackground;

  const VNLMODEL_T& model = item.model;
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
  SaveImage(options, outcome, options.hintFile, pixels, width, height, 0, 0, false);
  std::free(pixels);
}
