#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "builders.h"
#include "costly_inputs.h"
#include "file_io.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using testdata::Bytes;
using testdata::MakeSpriteFrame;
using testdata::SpriteEntry;
using testdata::SpriteFrame;
using testdata::SpriteRecipe;

constexpr size_t kFramesStart = 36;

// A record that is killed at the end of the test.
struct Sprite {
  VNLSPRITE_T record{};
  ~Sprite() { vnlSpriteKill(record); }
  uint32_t frameCount() const { return record.sheetCount + record.frameExtra; }
};

int32_t Load(const Bytes& bytes, VNLSPRITE_T& sprite) {
  uint8_t* block = const_cast<uint8_t*>(bytes.data());
  uint32_t length = uint32_t(bytes.size());
  return vnlSpriteLoad(block, length, sprite);
}

SpriteEntry Single(const SpriteFrame& frame) { return SpriteEntry{false, {}, {frame}}; }

Bytes PixelsOf(const VNLPICTURE_T& picture) {
  size_t count = size_t(picture.width) * picture.height;
  return picture.pixels ? Bytes(picture.pixels, picture.pixels + count) : Bytes();
}

void ExpectEmpty(const VNLSPRITE_T& s) {
  EXPECT_EQ(s.sheetCount, 0u);
  EXPECT_EQ(s.frameExtra, 0u);
  EXPECT_EQ(s.frames, nullptr);
  EXPECT_EQ(s.rate, nullptr);
  EXPECT_EQ(s.originX, nullptr);
  EXPECT_EQ(s.originY, nullptr);
  EXPECT_EQ(s.spriteType, 0);
  EXPECT_EQ(s.syncType, 0);
}

// ---- well-formed sprites ----

TEST(SpriteLoad, ThreeSingleFramesHaveRateZero) {
  SpriteRecipe recipe;
  recipe.type = 3;
  recipe.syncType = 1;
  for (int i = 0; i < 3; ++i) recipe.entries.push_back(Single(MakeSpriteFrame(4, 2, i, -i, i)));
  Sprite s;
  ASSERT_EQ(Load(testdata::BuildSprite(recipe), s.record), VNL_OK);
  EXPECT_EQ(s.record.spriteType, 3);
  EXPECT_EQ(s.record.syncType, 1);
  EXPECT_EQ(s.record.sheetCount, 3u);
  EXPECT_EQ(s.record.frameExtra, 0u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(s.record.rate[i], 0.0f);
    EXPECT_EQ(s.record.originX[i], i);
    EXPECT_EQ(s.record.originY[i], -i);
    EXPECT_EQ(PixelsOf(s.record.frames[i]), MakeSpriteFrame(4, 2, 0, 0, i).pixels);
  }
}

TEST(SpriteLoad, GroupIsFlattenedWithItsIntervals) {
  SpriteRecipe recipe;
  recipe.entries.push_back(Single(MakeSpriteFrame(2, 2, 0, 0, 100)));
  SpriteEntry group{true, {0.1f, 0.2f, 0.3f, 0.4f}, {}};
  for (int i = 0; i < 4; ++i) group.frames.push_back(MakeSpriteFrame(3, 1, 10 + i, 20 + i, i));
  recipe.entries.push_back(group);
  Sprite s;
  ASSERT_EQ(Load(testdata::BuildSprite(recipe), s.record), VNL_OK);
  EXPECT_EQ(s.record.sheetCount, 2u);
  EXPECT_EQ(s.record.frameExtra, 3u);
  const float rates[] = {0, 0.1f, 0.2f, 0.3f, 0.4f};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(s.record.rate[k], rates[k]) << k;
  EXPECT_EQ(PixelsOf(s.record.frames[0]), MakeSpriteFrame(2, 2, 0, 0, 100).pixels);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.record.originX[1 + i], 10 + i);
    EXPECT_EQ(s.record.originY[1 + i], 20 + i);
    EXPECT_EQ(s.record.frames[1 + i].width, 3u);
    EXPECT_EQ(PixelsOf(s.record.frames[1 + i]), MakeSpriteFrame(3, 1, 0, 0, i).pixels);
  }
}

TEST(SpriteLoad, FramesKeepTheirOwnSizesAndNegativeOrigins) {
  SpriteRecipe recipe;
  recipe.maxWidth = 1;  // the header's largest size is only checked against 0
  recipe.maxHeight = 1;
  recipe.entries.push_back(Single(MakeSpriteFrame(16, 8, -16, -4, 1)));
  recipe.entries.push_back(Single(MakeSpriteFrame(3, 30, 7, -2147483647 - 1, 2)));
  recipe.entries.push_back(Single(MakeSpriteFrame(0, 5, 0, 0)));
  Sprite s;
  ASSERT_EQ(Load(testdata::BuildSprite(recipe), s.record), VNL_OK);
  ASSERT_EQ(s.frameCount(), 3u);
  EXPECT_EQ(s.record.frames[0].width, 16u);
  EXPECT_EQ(s.record.frames[0].height, 8u);
  EXPECT_EQ(s.record.originX[0], -16);
  EXPECT_EQ(s.record.originY[0], -4);
  EXPECT_EQ(s.record.frames[1].width, 3u);
  EXPECT_EQ(s.record.frames[1].height, 30u);
  EXPECT_EQ(s.record.originY[1], INT32_MIN);
  EXPECT_EQ(PixelsOf(s.record.frames[1]), MakeSpriteFrame(3, 30, 0, 0, 2).pixels);
  // A frame without pixels gets no buffer.
  EXPECT_EQ(s.record.frames[2].width, 0u);
  EXPECT_EQ(s.record.frames[2].height, 5u);
  EXPECT_EQ(s.record.frames[2].pixels, nullptr);
}

TEST(SpriteLoad, TypesKeepTheirLowEightBits) {
  SpriteRecipe recipe;
  recipe.type = 0x1234;
  recipe.syncType = -1;
  recipe.entries.push_back(Single(MakeSpriteFrame(1, 1, 0, 0)));
  Sprite s;
  ASSERT_EQ(Load(testdata::BuildSprite(recipe), s.record), VNL_OK);
  EXPECT_EQ(s.record.spriteType, 0x34);
  EXPECT_EQ(s.record.syncType, 0xFF);
}

TEST(SpriteLoad, SecondSpriteReplacesTheFirst) {
  SpriteRecipe first;
  SpriteEntry group{
      true, {1, 2, 3}, {MakeSpriteFrame(5, 5, 1, 1), MakeSpriteFrame(5, 5, 2, 2), MakeSpriteFrame(5, 5, 3, 3)}};
  first.entries = {group, Single(MakeSpriteFrame(9, 9, 0, 0))};
  SpriteRecipe second;
  second.entries = {Single(MakeSpriteFrame(2, 3, -5, 6, 9))};
  Sprite s;
  ASSERT_EQ(Load(testdata::BuildSprite(first), s.record), VNL_OK);
  ASSERT_EQ(s.frameCount(), 4u);
  ASSERT_EQ(Load(testdata::BuildSprite(second), s.record), VNL_OK);
  EXPECT_EQ(s.record.sheetCount, 1u);
  EXPECT_EQ(s.record.frameExtra, 0u);
  EXPECT_EQ(s.record.frames[0].width, 2u);
  EXPECT_EQ(s.record.frames[0].height, 3u);
  EXPECT_EQ(s.record.originX[0], -5);
  EXPECT_EQ(s.record.rate[0], 0.0f);
  EXPECT_EQ(PixelsOf(s.record.frames[0]), MakeSpriteFrame(2, 3, 0, 0, 9).pixels);
}

TEST(SpriteLoad, BlockThatEndsEarlyLoadsWithZeros) {
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(4, 4, 3, 3, 1)), Single(MakeSpriteFrame(4, 4, 5, 5, 2))};
  Bytes bytes = testdata::BuildSprite(recipe);
  const size_t firstFrameEnd = kFramesStart + 4 + 16 + 16;
  bytes.resize(firstFrameEnd - 6);  // the first frame loses its last six pixels
  Sprite s;
  ASSERT_EQ(Load(bytes, s.record), VNL_OK);
  ASSERT_EQ(s.frameCount(), 2u);
  Bytes expected = MakeSpriteFrame(4, 4, 0, 0, 1).pixels;
  std::fill(expected.end() - 6, expected.end(), 0);
  EXPECT_EQ(PixelsOf(s.record.frames[0]), expected);
  EXPECT_EQ(s.record.frames[1].width, 0u);
  EXPECT_EQ(s.record.frames[1].pixels, nullptr);
  EXPECT_EQ(s.record.originX[1], 0);
}

TEST(SpriteLoad, HeaderOnlyLoadsItsFramesAsEmptyPictures) {
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(2, 2, 0, 0))};
  Bytes bytes = testdata::BuildSprite(recipe);
  bytes.resize(kFramesStart);
  testdata::PutU32(bytes, 24, 1000);
  Sprite s;
  ASSERT_EQ(Load(bytes, s.record), VNL_OK);
  EXPECT_EQ(s.record.sheetCount, 1000u);
  EXPECT_EQ(s.record.frameExtra, 0u);
  EXPECT_EQ(s.record.frames[999].width, 0u);
  EXPECT_EQ(s.record.frames[999].pixels, nullptr);
}

TEST(SpriteLoad, GroupCutAfterItsCountGivesEmptyFramesWithRateZero) {
  SpriteRecipe recipe;
  recipe.entries = {
      Single(MakeSpriteFrame(2, 2, 4, 4, 1)),
      SpriteEntry{true,
                  {0.5f, 0.5f, 0.5f},
                  {MakeSpriteFrame(2, 2, 0, 0), MakeSpriteFrame(2, 2, 0, 0), MakeSpriteFrame(2, 2, 0, 0)}}};
  Bytes bytes = testdata::BuildSprite(recipe);
  const size_t groupStart = kFramesStart + 4 + 16 + 4;
  bytes.resize(groupStart + 8 + 4);  // group word, count, one interval
  Sprite s;
  ASSERT_EQ(Load(bytes, s.record), VNL_OK);
  ASSERT_EQ(s.frameCount(), 4u);
  EXPECT_EQ(s.record.frameExtra, 2u);
  EXPECT_EQ(s.record.originX[0], 4);
  EXPECT_EQ(s.record.rate[1], 0.5f);
  for (uint32_t k = 1; k < 4; ++k) {
    if (k > 1) {
      EXPECT_EQ(s.record.rate[k], 0.0f) << k;
    }
    EXPECT_EQ(s.record.frames[k].width, 0u) << k;
    EXPECT_EQ(s.record.frames[k].pixels, nullptr) << k;
    EXPECT_EQ(s.record.originX[k], 0) << k;
  }
}

// ---- header checks ----

struct HeaderCase {
  const char* what;
  size_t offset;
  uint32_t value;
  int32_t code;
};

TEST(SpriteLoad, HeaderChecksRunInFileOrder) {
  const HeaderCase cases[] = {
      {"magic IDSQ", 0, 0x51534449u, VNL_NOT_SPRITE},
      {"magic idsp", 0, 0x70736469u, VNL_NOT_SPRITE},
      {"magic IDS and a zero byte", 0, 0x00534449u, VNL_NOT_SPRITE},
      {"version 2", 4, 2, VNL_SPR_VERSION},
      {"version 0", 4, 0, VNL_SPR_VERSION},
      {"width 0", 16, 0, VNL_SPR_NO_WIDTH},
      {"height 0", 20, 0, VNL_SPR_NO_HEIGHT},
      {"frame count 0", 24, 0, VNL_SPR_NO_FRAME},
  };
  for (const HeaderCase& c : cases) {
    SpriteRecipe recipe;
    recipe.entries = {Single(MakeSpriteFrame(2, 2, 0, 0))};
    Bytes bytes = testdata::BuildSprite(recipe);
    testdata::PutU32(bytes, c.offset, c.value);
    Sprite s;
    EXPECT_EQ(Load(bytes, s.record), c.code) << c.what;
    ExpectEmpty(s.record);
  }
}

TEST(SpriteLoad, WidthIsCheckedBeforeTheFrameCount) {
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(2, 2, 0, 0))};
  Bytes bytes = testdata::BuildSprite(recipe);
  testdata::PutU32(bytes, 16, 0);
  testdata::PutU32(bytes, 24, 0);
  Sprite s;
  EXPECT_EQ(Load(bytes, s.record), VNL_SPR_NO_WIDTH);
}

TEST(SpriteLoad, FailureEmptiesALoadedRecord) {
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(2, 2, 0, 0))};
  Bytes good = testdata::BuildSprite(recipe);
  Bytes bad = good;
  testdata::PutU32(bad, 4, 2);
  Sprite s;
  ASSERT_EQ(Load(good, s.record), VNL_OK);
  EXPECT_EQ(Load(bad, s.record), VNL_SPR_VERSION);
  ExpectEmpty(s.record);
}

TEST(SpriteLoad, AbsentBlockLeavesTheRecordAlone) {
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(2, 2, 0, 0))};
  Sprite s;
  ASSERT_EQ(Load(testdata::BuildSprite(recipe), s.record), VNL_OK);
  VNLPICTURE_T* frames = s.record.frames;
  uint8_t* none = nullptr;
  uint32_t length = 100;
  EXPECT_EQ(vnlSpriteLoad(none, length, s.record), VNL_NO_BLOCK);
  uint8_t byte = 0;
  uint8_t* one = &byte;
  uint32_t zero = 0;
  EXPECT_EQ(vnlSpriteLoad(one, zero, s.record), VNL_NO_BLOCK);
  EXPECT_EQ(s.record.frames, frames);
  EXPECT_EQ(s.record.sheetCount, 1u);
}

TEST(SpriteKill, EmptyRecordMayBeKilledTwice) {
  VNLSPRITE_T s{};
  vnlSpriteKill(s);
  vnlSpriteKill(s);
  ExpectEmpty(s);
}

// ---- hostile counts and sizes ----

// A sprite of one group entry whose count word is `count`, followed by a few bytes.
Bytes GroupWithCount(uint32_t count) {
  SpriteRecipe recipe;
  recipe.entries = {SpriteEntry{true, {0.5f, 0.5f}, {MakeSpriteFrame(2, 2, 0, 0), MakeSpriteFrame(2, 2, 0, 0)}}};
  Bytes bytes = testdata::BuildSprite(recipe);
  testdata::PutU32(bytes, kFramesStart + 4, count);
  return bytes;
}

TEST(SpriteHostile, GroupCountZeroOrNegativeIsRejected) {
  for (uint32_t count : {0u, 0x80000000u, 0xFFFFFFFFu}) {
    Sprite s;
    EXPECT_EQ(Load(GroupWithCount(count), s.record), VNL_SPR_NO_FRAME) << count;
    ExpectEmpty(s.record);
  }
}

TEST(SpriteHostile, GroupOfOneAddsNoExtraFrame) {
  Sprite s;
  ASSERT_EQ(Load(GroupWithCount(1), s.record), VNL_OK);
  EXPECT_EQ(s.record.sheetCount, 1u);
  EXPECT_EQ(s.record.frameExtra, 0u);
  EXPECT_EQ(s.record.rate[0], 0.5f);
}

struct BudgetCase {
  const char* what;
  size_t offset;
  uint32_t value;
};

TEST(SpriteHostile, LoadsBeyondTheAllocationBudgetGiveNoMemory) {
  const size_t frame = kFramesStart + 4;  // after the first group word
  const BudgetCase cases[] = {
      {"frame of 65536 x 65536 pixels", frame + 8, 65536},
      {"frame of 0xFFFFFFFF x 0xFFFFFFFF pixels", frame + 8, 0xFFFFFFFFu},
      {"frame count 0xFFFFFFFF", 24, 0xFFFFFFFFu},
      {"frame count 0x7FFFFFFF", 24, 0x7FFFFFFFu},
  };
  for (const BudgetCase& c : cases) {
    SpriteRecipe recipe;
    recipe.entries = {Single(MakeSpriteFrame(2, 2, 0, 0))};
    Bytes bytes = testdata::BuildSprite(recipe);
    testdata::PutU32(bytes, c.offset, c.value);
    if (c.offset == frame + 8) testdata::PutU32(bytes, frame + 12, c.value);
    Sprite s;
    EXPECT_EQ(Load(bytes, s.record), VNL_NO_MEMORY) << c.what;
    ExpectEmpty(s.record);
  }
  Sprite s;
  EXPECT_EQ(Load(GroupWithCount(0x7FFFFFFFu), s.record), VNL_NO_MEMORY);
  ExpectEmpty(s.record);
}

TEST(SpriteHostile, BudgetCountsTheArraysAndSumsOverFrames) {
  const uint64_t arraysPerFrame = 3 * 4 + sizeof(VNLPICTURE_T);
  // Pixels that fit alone, but not with the frame's own array slots.
  SpriteRecipe recipe;
  recipe.entries = {Single(SpriteFrame{0, 0, 1, 1, {}})};
  Bytes one = testdata::BuildSprite(recipe);
  testdata::PutU32(one, kFramesStart + 4 + 8, uint32_t(VNL_MAX_ALLOCATION - arraysPerFrame + 1));
  Sprite s;
  EXPECT_EQ(Load(one, s.record), VNL_NO_MEMORY);
  ExpectEmpty(s.record);
  // A frame that fits with its slots; two more (empty) frames push the load over.
  Bytes three = one;
  testdata::PutU32(three, kFramesStart + 4 + 8, uint32_t(VNL_MAX_ALLOCATION - 2 * arraysPerFrame));
  testdata::PutU32(three, 24, 3);
  EXPECT_EQ(Load(three, s.record), VNL_NO_MEMORY);
  ExpectEmpty(s.record);
}

TEST(SpriteHostile, LargeFrameInAShortBlockReadsAsZeros) {
  SpriteRecipe recipe;
  recipe.entries = {Single(SpriteFrame{1, 2, 2048, 2048, {7, 7, 7}})};
  Bytes bytes = testdata::BuildSprite(recipe);
  bytes.resize(kFramesStart + 4 + 16 + 3);
  Sprite s;
  ASSERT_EQ(Load(bytes, s.record), VNL_OK);
  const VNLPICTURE_T& p = s.record.frames[0];
  ASSERT_EQ(p.width, 2048u);
  ASSERT_NE(p.pixels, nullptr);
  EXPECT_EQ(p.pixels[2], 7);
  EXPECT_EQ(p.pixels[3], 0);
  EXPECT_EQ(p.pixels[2048 * 2048 - 1], 0);
}

// ---- the file form ----

TEST(SpriteFile, LoadsFromTheDiskWithTheExtensionForced) {
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(3, 3, 1, 1, 5))};
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("puff.spr"), testdata::BuildSprite(recipe)));
  Sprite s;
  std::string pack, file = dir.file("puff");
  ASSERT_EQ(vnlSpriteLoad(pack, file, s.record), VNL_OK);
  EXPECT_EQ(file.substr(file.size() - 9), "\\puff.spr");
  EXPECT_EQ(PixelsOf(s.record.frames[0]), MakeSpriteFrame(3, 3, 0, 0, 5).pixels);
}

TEST(SpriteFile, LoadsAMemberOfAPack) {
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(3, 3, 1, 1, 5)), Single(MakeSpriteFrame(1, 2, 3, 4, 6))};
  testdata::TempDir dir;
  ASSERT_TRUE(
      testdata::WriteFile(dir.file("p.pak"), testdata::BuildPack({{"progs/s.spr", testdata::BuildSprite(recipe)}})));
  Sprite s;
  std::string pack = dir.file("p"), file = "progs/s";
  ASSERT_EQ(vnlSpriteLoad(pack, file, s.record), VNL_OK);
  EXPECT_EQ(file, "progs\\s.spr");
  ASSERT_EQ(s.frameCount(), 2u);
  EXPECT_EQ(s.record.originY[1], 4);
}

TEST(SpriteFile, FailuresPassTheirCodesOn) {
  testdata::TempDir dir;
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(1, 1, 0, 0))};
  Bytes version2 = testdata::BuildSprite(recipe);
  testdata::PutU32(version2, 4, 2);
  ASSERT_TRUE(testdata::WriteFile(dir.file("v2.spr"), version2));
  ASSERT_TRUE(testdata::WriteFile(dir.file("v2.pak"), version2));
  ASSERT_TRUE(testdata::WriteFile(dir.file("empty.spr"), {}));
  struct Case {
    std::string pack, file;
    int32_t code;
  };
  const Case cases[] = {
      {"", "   ", VNL_NO_NAME},
      {"", dir.file("missing"), VNL_NOT_FOUND},
      {"", dir.file("empty"), VNL_EMPTY_FILE},
      {"", dir.file("v2"), VNL_SPR_VERSION},
      {dir.file("v2"), "x", VNL_NOT_PAK},
  };
  for (const Case& c : cases) {
    Sprite s;
    std::string pack = c.pack, file = c.file;
    EXPECT_EQ(vnlSpriteLoad(pack, file, s.record), c.code) << c.file;
    ExpectEmpty(s.record);
  }
  Sprite s;
  std::string pack, blank = "   ";
  ASSERT_EQ(vnlSpriteLoad(pack, blank, s.record), VNL_NO_NAME);
  EXPECT_EQ(blank, "");
}

TEST(SpriteFile, FailingLoadsGiveTheirHandlesBack) {
  testdata::TempDir dir;
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(1, 1, 0, 0))};
  Bytes bad = testdata::BuildSprite(recipe);
  bad[0] = 'X';
  ASSERT_TRUE(testdata::WriteFile(dir.file("bad.spr"), bad));
  ASSERT_TRUE(testdata::WriteFile(dir.file("good.spr"), testdata::BuildSprite(recipe)));
  ASSERT_TRUE(testdata::WriteFile(dir.file("p.pak"), testdata::BuildPack({{"bad.spr", bad}})));
  const int before = vnl::FreeHandleCount();
  for (int i = 0; i < 300; ++i) {
    Sprite s;
    std::string pack = i % 2 ? dir.file("p") : "", file = i % 3 ? "bad" : "missing";
    if (pack.empty()) file = dir.file(file);
    int32_t code = vnlSpriteLoad(pack, file, s.record);
    ASSERT_TRUE(code == VNL_NOT_SPRITE || code == VNL_NOT_FOUND) << i << " " << code;
  }
  EXPECT_EQ(vnl::FreeHandleCount(), before);
  Sprite s;
  std::string pack, file = dir.file("good");
  EXPECT_EQ(vnlSpriteLoad(pack, file, s.record), VNL_OK);
}

// ---- real data ----

void ExpectSameSprite(const VNLSPRITE_T& a, const VNLSPRITE_T& b) {
  ASSERT_EQ(a.sheetCount, b.sheetCount);
  ASSERT_EQ(a.frameExtra, b.frameExtra);
  EXPECT_EQ(a.spriteType, b.spriteType);
  EXPECT_EQ(a.syncType, b.syncType);
  for (uint32_t k = 0; k < a.sheetCount + a.frameExtra; ++k) {
    EXPECT_EQ(a.originX[k], b.originX[k]) << k;
    EXPECT_EQ(a.originY[k], b.originY[k]) << k;
    EXPECT_EQ(a.rate[k], b.rate[k]) << k;
    EXPECT_EQ(a.frames[k].width, b.frames[k].width) << k;
    EXPECT_EQ(a.frames[k].height, b.frames[k].height) << k;
    EXPECT_EQ(PixelsOf(a.frames[k]), PixelsOf(b.frames[k])) << k;
  }
}

TEST(SpriteCorpus, PackedSpritesEqualTheLooseOnes) {
  SKIP_WITHOUT_CORPUS();
  for (const char* name : {"progs/s_explod", "progs/s_bubbles"}) {
    Sprite packed, loose;
    std::string pack = testdata::CorpusFile("pak0.pak"), file = name;
    ASSERT_EQ(vnlSpriteLoad(pack, file, packed.record), VNL_OK) << name;
    std::string none, path = testdata::CorpusFile(std::string(name) + ".spr");
    ASSERT_EQ(vnlSpriteLoad(none, path, loose.record), VNL_OK) << name;
    ASSERT_GT(packed.frameCount(), 0u);
    for (uint32_t k = 0; k < packed.frameCount(); ++k) {
      EXPECT_GT(packed.record.frames[k].width, 0u);
      EXPECT_NE(packed.record.frames[k].pixels, nullptr);
    }
    ExpectSameSprite(packed.record, loose.record);
  }
}

// ---- the load budget: 8 x the block + 16 MiB, each frame counting 4 KiB at least ----

namespace budget {

constexpr uint64_t kFrameCost = 3 * 4 + sizeof(VNLPICTURE_T) + 4096;  // array slots + the least picture

Bytes HeaderClaiming(uint32_t frames) {
  SpriteRecipe recipe;
  recipe.entries = {Single(MakeSpriteFrame(1, 1, 0, 0))};
  Bytes bytes = testdata::BuildSprite(recipe);
  bytes.resize(kFramesStart);  // every frame past the header reads as an empty one
  testdata::PutU32(bytes, 24, frames);
  return bytes;
}

TEST(SpriteBudget, EmptyFramesCountFourKilobytesEach) {
  const uint64_t budget = 8 * kFramesStart + (uint64_t(16) << 20);
  const uint32_t most = uint32_t(budget / kFrameCost);
  Sprite s;
  ASSERT_EQ(Load(HeaderClaiming(most), s.record), VNL_OK);
  EXPECT_EQ(s.frameCount(), most);
  EXPECT_EQ(s.record.frames[most - 1].pixels, nullptr);
  EXPECT_EQ(Load(HeaderClaiming(most + 1), s.record), VNL_NO_MEMORY);
  ExpectEmpty(s.record);
}

TEST(SpriteBudget, FramesClaimingFarMoreThanTheBlockAreRefused) {
  const Bytes cases[] = {testdata::ManyFramesSprite(), testdata::GigapixelFrameSprite()};
  for (const Bytes& bytes : cases) {
    Sprite s;
    EXPECT_EQ(Load(bytes, s.record), VNL_NO_MEMORY) << bytes.size();
    ExpectEmpty(s.record);
  }
}

// A large real sprite cut short still loads: what it claims stays within eight
// times what it holds.
TEST(SpriteBudget, LargeSpriteCutShortStillLoadsWithZeros) {
  SpriteRecipe recipe;
  for (int i = 0; i < 8; ++i) recipe.entries.push_back(Single(MakeSpriteFrame(1024, 1024, 0, 0, i)));
  Bytes bytes = testdata::BuildSprite(recipe);
  bytes.resize(bytes.size() * 2 / 10);  // 1.6 frames of 8
  Sprite s;
  ASSERT_EQ(Load(bytes, s.record), VNL_OK);
  ASSERT_EQ(s.frameCount(), 8u);
  EXPECT_EQ(s.record.frames[1].width, 1024u);
  EXPECT_EQ(s.record.frames[1].pixels[1024 * 1024 - 1], 0);
  EXPECT_EQ(s.record.frames[2].width, 0u);
}

}  // namespace budget

}  // namespace
