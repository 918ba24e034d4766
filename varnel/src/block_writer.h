// The savers' counterpart of the block reader: a growing buffer of little-endian
// fields, handed to the caller once as a calloc block.
#ifndef VARNEL_BLOCK_WRITER_H
#define VARNEL_BLOCK_WRITER_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "varnel/varnel.h"

namespace vnl {

class BlockWriter {
 public:
  void u8(uint8_t value) { bytes_.push_back(value); }
  void u32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(uint8_t(value >> shift));
  }
  void i32(int32_t value) { u32(uint32_t(value)); }
  void f32(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    u32(word);
  }
  void raw(const void* data, size_t count) {
    if (count == 0) return;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + count);
  }
  // `text` in a field of `size` bytes, zero-padded (the caller checked it fits).
  void field(const char* text, size_t size) {
    size_t used = strnlen(text, size);
    raw(text, used);
    bytes_.insert(bytes_.end(), size - used, 0);
  }
  // Overwrites the word at `at`, a place reserved earlier.
  void patch(size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = uint8_t(value >> (8 * i));
  }
  size_t size() const { return bytes_.size(); }

  // Copies the bytes into a new calloc block for the caller: 0, or 8 when the
  // block cannot be had or would not fit a 32-bit length.
  int32_t handOver(uint8_t** block, uint32_t* length) const {
    if (bytes_.size() > UINT32_MAX) return VNL_NO_MEMORY;
    auto* out = static_cast<uint8_t*>(std::calloc(bytes_.empty() ? 1 : bytes_.size(), 1));
    if (out == nullptr) return VNL_NO_MEMORY;
    if (!bytes_.empty()) std::memcpy(out, bytes_.data(), bytes_.size());
    *block = out;
    *length = uint32_t(bytes_.size());
    return VNL_OK;
  }

 private:
  std::vector<uint8_t> bytes_;
};

// Empties the caller's out parameters before a saver starts; false when there are none.
inline bool BeginSave(uint8_t** block, uint32_t* length) {
  if (block == nullptr || length == nullptr) return false;
  *block = nullptr;
  *length = 0;
  return true;
}

}  // namespace vnl

#endif
