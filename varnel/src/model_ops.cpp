// In-place changes of a loaded model. Each touches one part of the record only
// (positions, v, u or the winding), so they can be applied in any order. None
// reports anything: a record that does not qualify is left as it is.
#include <cmath>

#include "varnel/varnel.h"

namespace {

uint64_t VertexTotal(const VNLMODEL_T& model) { return uint64_t(model.vertexCount) + model.seamCount; }

uint64_t FrameTotal(const VNLMODEL_T& model) { return uint64_t(model.frameCount) + model.frameExtra; }

bool HasSkinCoords(const VNLMODEL_T& model) {
  return VertexTotal(model) != 0 && model.skinCount != 0 && model.skinCoords != nullptr;
}

}  // namespace

void vnlModelScale(VNLMODEL_T* record, float factor) {
  if (record == nullptr) return;
  VNLMODEL_T& model = *record;
  if (std::isnan(factor) || factor == 0.0f || factor == 1.0f) return;
  const uint64_t count = FrameTotal(model) * VertexTotal(model);
  if (count == 0 || model.frameVertices == nullptr) return;
  const double f = factor;
  for (uint64_t i = 0; i < count; ++i) {
    VNLVEC3_T& p = model.frameVertices[i];
    p.x = float(f * p.x);
    p.y = float(f * p.y);
    p.z = float(f * p.z);
  }
}

void vnlModelSkinInv(VNLMODEL_T* record) {
  if (record == nullptr) return;
  VNLMODEL_T& model = *record;
  if (!HasSkinCoords(model)) return;
  const uint64_t count = VertexTotal(model);
  for (uint64_t i = 0; i < count; ++i) {
    float& v = model.skinCoords[i].y;
    v = float(std::fabs(double(v) - 1.0));
  }
}

// The front half (u up to 0.5) and the back half both end up spanning 0..1, so
// the coordinates address a skin of half the width holding the front only.
void vnlModelSkinNoBack(VNLMODEL_T* record) {
  if (record == nullptr) return;
  VNLMODEL_T& model = *record;
  if (!HasSkinCoords(model)) return;
  const uint64_t count = VertexTotal(model);
  for (uint64_t i = 0; i < count; ++i) {
    float& u = model.skinCoords[i].x;
    double folded = u;
    if (folded > 0.5) folded -= 0.5;
    u = float(folded * 2.0);
  }
}

void vnlModelSwapTris(VNLMODEL_T* record) {
  if (record == nullptr) return;
  VNLMODEL_T& model = *record;
  if (model.triangleCount == 0 || model.triangles == nullptr) return;
  for (uint32_t n = 0; n < model.triangleCount; ++n) {
    uint16_t* index = model.triangles[n].index;
    uint16_t first = index[0];
    index[0] = index[2];
    index[2] = first;
  }
}
