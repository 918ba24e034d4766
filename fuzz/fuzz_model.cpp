// Model loader and every model operation on whatever loads.
#include <cmath>
#include <string>

#include "varnel/varnel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t* block = const_cast<uint8_t*>(data);
  uint32_t length = static_cast<uint32_t>(size);
  VNLMODEL_T model{};
  if (vnlModelLoad(block, length, model) == 0) {
    uint32_t stride = model.vertexCount + model.seamCount;
    uint32_t frames = uint32_t(model.frameCount) + model.frameExtra;
    std::string name = frames ? std::string(model.frameNames[frames - 1], 16).c_str() : "";
    uint32_t offset = vnlFrameOffset(model, name);
    if (offset + stride > uint64_t(stride) * frames) __builtin_trap();
    for (uint32_t i = 0; i < model.triangleCount; ++i)
      for (uint16_t index : model.triangles[i].index)
        if (index >= stride) __builtin_trap();
    vnlModelScale(model, 2.0f);
    vnlModelSkinInv(model);
    vnlModelSkinNoBack(model);
    vnlModelSwapTris(model);
    vnlModelLoad(block, length, model);  // a second load into a loaded record
  }
  vnlModelKill(model);
  return 0;
}
