// One cursor over a memory block: every byte a loader takes goes through here.
// Reads past the end never fail: they take what remains and leave the rest zero.
#ifndef VARNEL_BLOCK_READER_H
#define VARNEL_BLOCK_READER_H

#include <cstdint>
#include <string>

namespace vnl {

class BlockReader {
 public:
  BlockReader(const uint8_t* block, uint32_t length) : block_(block), length_(block ? length : 0) {}

  uint64_t cursor() const { return cursor_; }
  uint32_t length() const { return length_; }
  bool atEnd() const { return cursor_ >= length_; }
  void seek(uint64_t position) { cursor_ = position; }
  // Moves the cursor forward; saturates instead of wrapping on hostile sizes.
  void skip(uint64_t count) { cursor_ = (count > UINT64_MAX - cursor_) ? UINT64_MAX : cursor_ + count; }

  // Copies up to `count` bytes into `target`; returns how many were taken.
  // Bytes beyond the end are not written.
  uint64_t take(void* target, uint64_t count);
  // Like take, but zero-fills whatever the end cut off.
  void read(void* target, uint64_t count);

  uint8_t u8();
  uint32_t u32();  // little-endian; a cut-short word is formed by the bytes present
  int32_t i32() { return static_cast<int32_t>(u32()); }
  float f32();
  // Takes up to `count` bytes as text, ending at the first NUL.
  std::string text(uint32_t count);

 private:
  const uint8_t* block_;
  uint32_t length_;
  uint64_t cursor_ = 0;
};

}  // namespace vnl

#endif
