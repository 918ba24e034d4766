// What the model writers check before they read a frame of the record.
#ifndef CORVANE_MODEL_FRAME_H
#define CORVANE_MODEL_FRAME_H

#include <cstdint>

#include "varnel/varnel.h"

// True when the record holds the arrays the writers read and the frame whose first
// vertex is `offset` lies wholly inside frameVertices; an empty or half-filled
// record is never read.
inline bool ModelFrameReadable(const VNLMODEL_T& model, uint32_t offset) {
  const uint64_t stride = uint64_t(model.vertexCount) + model.seamCount;
  const uint64_t frames = uint64_t(model.frameCount) + model.frameExtra;
  if (stride == 0 || frames == 0) return false;
  if (!model.frameVertices || !model.skinCoords || !model.triangles) return false;
  return offset + stride <= frames * stride;
}

#endif
