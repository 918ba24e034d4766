#include "block_reader.h"

#include <gtest/gtest.h>

namespace {

TEST(BlockReader, WordCutShortByTheEndTakesTheBytesPresent) {
  uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  vnl::BlockReader reader(bytes, sizeof bytes);
  EXPECT_EQ(reader.u32(), 0x04030201u);
  EXPECT_EQ(reader.u32(), 0x0605u);
  EXPECT_EQ(reader.cursor(), 6u);
  EXPECT_EQ(reader.u32(), 0u);
  EXPECT_EQ(reader.cursor(), 6u);
}

TEST(BlockReader, RawReadZeroFillsWhatTheEndCutOff) {
  uint8_t bytes[] = {7, 8, 9};
  vnl::BlockReader reader(bytes, sizeof bytes);
  reader.skip(1);
  uint8_t target[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  reader.read(target, 4);
  EXPECT_EQ(target[0], 8);
  EXPECT_EQ(target[1], 9);
  EXPECT_EQ(target[2], 0);
  EXPECT_EQ(target[3], 0);
}

TEST(BlockReader, AbsentBlockYieldsNothing) {
  vnl::BlockReader reader(nullptr, 100);
  EXPECT_EQ(reader.u32(), 0u);
  EXPECT_EQ(reader.cursor(), 0u);
  EXPECT_EQ(reader.text(4), "");
}

TEST(BlockReader, TextStopsAtNulButCursorTakesTheWholeField) {
  const char field[] = "abc\0def";
  vnl::BlockReader reader(reinterpret_cast<const uint8_t*>(field), 8);
  EXPECT_EQ(reader.text(7), "abc");
  EXPECT_EQ(reader.cursor(), 7u);
}

TEST(BlockReader, HugeSkipSaturatesInsteadOfWrapping) {
  uint8_t bytes[] = {1, 2, 3, 4};
  vnl::BlockReader reader(bytes, sizeof bytes);
  reader.skip(UINT64_MAX - 1);
  reader.skip(10);
  EXPECT_TRUE(reader.atEnd());
  EXPECT_EQ(reader.u32(), 0u);
}

}  // namespace
