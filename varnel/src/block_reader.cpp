#include "block_reader.h"

#include <cstring>

namespace vnl {

uint64_t BlockReader::take(void* target, uint64_t count) {
  if (block_ == nullptr || count == 0 || cursor_ >= length_) return 0;
  uint64_t available = length_ - cursor_;
  uint64_t taken = count < available ? count : available;
  std::memcpy(target, block_ + cursor_, static_cast<size_t>(taken));
  cursor_ += taken;
  return taken;
}

void BlockReader::read(void* target, uint64_t count) {
  uint64_t taken = take(target, count);
  if (taken < count) std::memset(static_cast<uint8_t*>(target) + taken, 0, static_cast<size_t>(count - taken));
}

uint8_t BlockReader::u8() {
  uint8_t value = 0;
  take(&value, 1);
  return value;
}

uint32_t BlockReader::u32() {
  uint8_t bytes[4] = {0, 0, 0, 0};
  take(bytes, 4);
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

float BlockReader::f32() {
  uint32_t bits = u32();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string BlockReader::text(uint32_t count) {
  char buffer[256];
  std::string result;
  while (count > 0) {
    uint32_t chunk = count < sizeof buffer ? count : uint32_t(sizeof buffer);
    uint64_t taken = take(buffer, chunk);
    if (taken == 0) break;
    result.append(buffer, static_cast<size_t>(taken));
    count -= static_cast<uint32_t>(taken);
    if (taken < chunk) break;
  }
  size_t nul = result.find('\0');
  if (nul != std::string::npos) result.resize(nul);
  return result;
}

}  // namespace vnl
