// Little-endian byte assembly for synthetic inputs.
#ifndef TESTDATA_BYTES_H
#define TESTDATA_BYTES_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testdata {

using Bytes = std::vector<uint8_t>;

class ByteWriter {
 public:
  ByteWriter& u8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  ByteWriter& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(v >> (8 * i)));
    return *this;
  }
  ByteWriter& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  ByteWriter& f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
  }
  ByteWriter& raw(const Bytes& data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  ByteWriter& text(const std::string& s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  // Writes `s` into a field of `width` bytes, padded with zero bytes (cut when longer).
  ByteWriter& field(const std::string& s, size_t width) {
    for (size_t i = 0; i < width; ++i) bytes_.push_back(i < s.size() ? uint8_t(s[i]) : 0);
    return *this;
  }
  ByteWriter& zeros(size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
  }
  size_t size() const { return bytes_.size(); }
  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

// The 32-bit little-endian word at `offset`, 0 past the end.
inline uint32_t GetU32(const Bytes& bytes, uint64_t offset) {
  if (offset + 4 > bytes.size()) return 0;
  return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
         uint32_t(bytes[offset + 3]) << 24;
}

// Overwrites the 32-bit word at `offset` (for hostile headers).
inline void PutU32(Bytes& bytes, size_t offset, uint32_t v) {
  if (bytes.size() < offset + 4) bytes.resize(offset + 4, 0);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(v >> (8 * i));
}

}  // namespace testdata

#endif
