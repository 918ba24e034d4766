// Test input for the coverage scan: a model whose triangles are given by their
// skin coordinates alone, one vertex per corner.
#ifndef TESTS_CORVANE_SKIN_TRIANGLES_H
#define TESTS_CORVANE_SKIN_TRIANGLES_H

#include <array>
#include <cstdlib>
#include <vector>

#include "varnel/varnel.h"

namespace testdata {

struct SkinPoint {
  float u, v;
};
using SkinTriangle = std::array<SkinPoint, 3>;

// Replaces the triangles and skin coordinates of `model` (calloc'd, so that
// vnlModelKill frees them).
inline void SetSkinTriangles(VNLMODEL_T& model, const std::vector<SkinTriangle>& triangles) {
  std::free(model.triangles);
  std::free(model.skinCoords);
  size_t count = triangles.size();
  model.triangleCount = uint16_t(count);
  model.vertexCount = uint16_t(count * 3);
  model.seamCount = 0;
  model.triangles = static_cast<VNLTRIANGLE_T*>(std::calloc(count + 1, sizeof(VNLTRIANGLE_T)));
  model.skinCoords = static_cast<VNLVEC3_T*>(std::calloc(count * 3 + 1, sizeof(VNLVEC3_T)));
  for (size_t t = 0; t < count; ++t)
    for (int c = 0; c < 3; ++c) {
      model.triangles[t].index[c] = uint16_t(t * 3 + c);
      model.skinCoords[t * 3 + c] = VNLVEC3_T{triangles[t][c].u, triangles[t][c].v, 0};
    }
}

// Two triangles that together cover columns 0 to 7 of a 16 x 16 grid, every row:
// exactly half of its cells. Their far edges cross inside the strip, so each
// sample point is inside at least one of them.
inline std::vector<SkinTriangle> LeftHalfOfSixteen() {
  return {
      SkinTriangle{{{0, 0}, {0.5f, 0}, {0, 1}}},
      SkinTriangle{{{7 / 16.f, 15 / 16.f}, {0, 15 / 16.f}, {7 / 16.f, 0}}},
  };
}

}  // namespace testdata

#endif
