// Picture lumps written: width, height, then the indices, first row first.
#include "block_writer.h"
#include "varnel/varnel.h"

int32_t vnlPictureSave(const VNLPICTURE_T* picture, uint8_t** block, uint32_t* length) {
  if (!vnl::BeginSave(block, length) || picture == nullptr) return VNL_NO_BLOCK;
  if (picture->width == 0 || picture->height == 0) return VNL_PICTURE_SIZE;
  if (picture->pixels == nullptr) return VNL_NO_BLOCK;
  const uint64_t count = uint64_t(picture->width) * picture->height;
  if (count > UINT32_MAX - 8) return VNL_NO_MEMORY;
  vnl::BlockWriter w;
  w.u32(picture->width);
  w.u32(picture->height);
  w.raw(picture->pixels, size_t(count));
  return w.handOver(block, length);
}
