#include "big_model.h"

namespace testdata {

ModelSpec BigModel(int vertices, int frames, int skinWidth, int skinHeight) {
  ModelSpec spec;
  spec.scale[0] = 0.37f;
  spec.scale[1] = 0.41f;
  spec.scale[2] = 0.53f;
  spec.origin[0] = -47.5f;
  spec.origin[1] = -52.25f;
  spec.origin[2] = -24.0f;
  spec.skinWidth = skinWidth;
  spec.skinHeight = skinHeight;
  spec.skins.push_back(ModelSkin{false, {}, {SkinPixels(spec)}});
  for (int i = 0; i < vertices; ++i)
    spec.vertices.push_back(ModelSkinVertex{i % 8 == 0 ? 1 : 0, (i * 37) % skinWidth, (i * 53) % skinHeight});
  for (int i = 0; i + 2 < vertices && spec.triangles.size() + 2 <= 65535; ++i) {  // counts are 16-bit
    spec.triangles.push_back(ModelTriangle{i % 3 == 0 ? 0 : 1, {i, i + 1, i + 2}});
    spec.triangles.push_back(ModelTriangle{1, {i + 2, i + 1, (i * 7) % vertices}});
  }
  for (int f = 0; f < frames; ++f) {
    ModelFrame frame;
    frame.name = "frame" + std::to_string(f);
    for (int i = 0; i < vertices; ++i)
      frame.positions.push_back({uint8_t((i * 3 + f) & 255), uint8_t((i * 5 + 2 * f) & 255), uint8_t((i * 11 + f) & 255)});
    spec.frames.push_back(ModelFrameEntry{false, {}, {frame}});
  }
  return spec;
}

}  // namespace testdata
