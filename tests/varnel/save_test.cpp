// The savers of packs, picture lumps, sprites, WAD2 archives and mip textures:
// what they write reads back as it was given, and what they cannot store is refused
// with its code and no block.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "builders.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using testdata::Bytes;

// A block handed out by a saver, freed at the end of the test.
struct Saved {
  uint8_t* block = nullptr;
  uint32_t length = 0;
  ~Saved() { std::free(block); }
  Bytes bytes() const { return block ? Bytes(block, block + length) : Bytes(); }
};

VNLMEMBER_T Member(const char* name, const Bytes& data, uint8_t type = 0) {
  return VNLMEMBER_T{name, data.empty() ? nullptr : data.data(), uint32_t(data.size()), type};
}

Bytes Sequence(size_t count, int seed) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(i * 7 + seed);
  return bytes;
}

// ---- packs ----

TEST(PackSave, MembersReadBackInOrderWithTheirBytes) {
  const Bytes a = Sequence(100, 1), b = {}, c = Sequence(3, 9);
  const std::vector<VNLMEMBER_T> members = {Member("progs/a.mdl", a), Member("empty.txt", b),
                                            Member("maps\\deep/c.bsp", c)};
  Saved saved;
  ASSERT_EQ(vnlPackSave(members.data(), uint32_t(members.size()), &saved.block, &saved.length), VNL_OK);
  const Bytes bytes = saved.bytes();
  // The directory is the last thing in the file.
  uint32_t dirOffset = 0, dirLength = 0;
  std::memcpy(&dirOffset, bytes.data() + 4, 4);
  std::memcpy(&dirLength, bytes.data() + 8, 4);
  EXPECT_EQ(dirOffset + dirLength, saved.length);

  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("made.pak"), bytes));
  std::string pack = dir.file("made.pak");
  VNLPACKINFO_T info{};
  ASSERT_EQ(vnlPackInfoRead(pack, info), VNL_OK);
  ASSERT_EQ(info.entryCount, 3u);
  const char* cleaned[] = {"progs\\a.mdl", "empty.txt", "maps\\deep\\c.bsp"};
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_STREQ(info.entries[i].name, cleaned[i]);
    EXPECT_EQ(info.entries[i].length, members[i].length);
    uint8_t* block = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(vnlPackEntryLoad(pack.c_str(), &info.entries[i], &block, &length), VNL_OK);
    EXPECT_EQ(Bytes(block, block + length), Bytes(members[i].data, members[i].data + members[i].length));
    std::free(block);
  }
  // Names are stored with "/" separators.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + dirOffset + 128)), "maps/deep/c.bsp");
  vnlPackInfoKill(info);
}

// One table for the savers that judge names and sizes before they write.
TEST(Savers, RefuseWhatTheirFormatCannotHoldWithNoBlock) {
  const Bytes data = {1, 2, 3};
  const std::string longest(55, 'n'), tooLong(56, 'n');
  uint8_t pixel = 0;
  enum Saver { Pack, Wad, Picture, MipTex };
  const struct {
    Saver saver;
    std::vector<std::string> names;  // members, or the texture's name
    uint32_t width;                  // pictures and textures (height 16)
    int32_t code;
  } cases[] = {
      {Pack, {""}, 0, VNL_PAK_NAME},
      {Pack, {"../up.txt"}, 0, VNL_PAK_NAME},
      {Pack, {"a/../b.txt"}, 0, VNL_PAK_NAME},
      {Pack, {"/root.txt"}, 0, VNL_PAK_NAME},
      {Pack, {"a//b.txt"}, 0, VNL_PAK_NAME},
      {Pack, {"./a.txt"}, 0, VNL_PAK_NAME},
      {Pack, {"c:x.txt"}, 0, VNL_PAK_NAME},
      {Pack, {"tab\there"}, 0, VNL_PAK_NAME},
      {Pack, {" lead.txt"}, 0, VNL_PAK_NAME},
      {Pack, {tooLong}, 0, VNL_PAK_NAME},
      {Pack, {"A/b.TXT", "a/B.txt"}, 0, VNL_PAK_REPEAT},
      {Pack, {longest, "a.txt"}, 0, VNL_OK},
      {Wad, {""}, 0, VNL_WAD2_NAME},
      {Wad, {"sixteen_bytes___"}, 0, VNL_WAD2_NAME},
      {Wad, {"bell\a"}, 0, VNL_WAD2_NAME},
      {Wad, {"Conback", "CONBACK"}, 0, VNL_WAD2_REPEAT},
      {Wad, {"fifteen_bytes__", "conback"}, 0, VNL_OK},
      {Picture, {}, 0, VNL_PICTURE_SIZE},
      {MipTex, {"wall"}, 24, VNL_PICTURE_SIZE},
      {MipTex, {"wall"}, 0, VNL_PICTURE_SIZE},
      {MipTex, {""}, 16, VNL_WAD2_NAME},
      {MipTex, {"wall"}, 16, VNL_NO_BLOCK},  // smaller levels to make, and no palette
  };
  for (const auto& c : cases) {
    const std::string what = std::to_string(int(c.saver)) + " " + (c.names.empty() ? "" : c.names[0]);
    std::vector<VNLMEMBER_T> members;
    for (const std::string& name : c.names) members.push_back(Member(name.c_str(), data, VNL_LUMP_PICTURE));
    Bytes pixels(size_t(c.width) * 16 + 1);
    VNLMIPTEX_T texture{};
    if (!c.names.empty()) std::snprintf(texture.name, sizeof texture.name, "%s", c.names[0].c_str());
    texture.levels[0] = VNLPICTURE_T{c.width, 16, pixels.data()};
    const VNLPICTURE_T picture{c.width, 16, &pixel};
    Saved saved;
    int32_t code = c.saver == Pack  ? vnlPackSave(members.data(), uint32_t(members.size()), &saved.block, &saved.length)
                   : c.saver == Wad ? vnlWadSave(members.data(), uint32_t(members.size()), &saved.block, &saved.length)
                   : c.saver == Picture ? vnlPictureSave(&picture, &saved.block, &saved.length)
                                        : vnlMipTexSave(&texture, nullptr, &saved.block, &saved.length);
    EXPECT_EQ(code, c.code) << what;
    EXPECT_EQ(saved.block == nullptr, c.code != VNL_OK) << what;
  }
  Saved none;
  EXPECT_EQ(vnlPackSave(nullptr, 0, &none.block, &none.length), VNL_NO_BLOCK);
}

// ---- sprites ----

testdata::SpriteRecipe TwoSinglesAndAGroup() {
  testdata::SpriteRecipe recipe;
  recipe.type = 3;
  recipe.syncType = 1;
  recipe.radius = float(std::sqrt(8.0 * 8 + 10.0 * 10) / 2);  // the largest sizes' half diagonal
  recipe.entries.push_back({false, {}, {testdata::MakeSpriteFrame(8, 4, -4, 2, 1)}});
  recipe.entries.push_back({true,
                            {0.1f, 0.25f, 0.5f},
                            {testdata::MakeSpriteFrame(2, 2, 0, 0, 2), testdata::MakeSpriteFrame(6, 10, -3, 5, 3),
                             testdata::MakeSpriteFrame(1, 1, 7, -7, 4)}});
  recipe.entries.push_back({false, {}, {testdata::MakeSpriteFrame(5, 3, -2, 1, 5)}});
  return recipe;
}

// The record loaded from the recipe's file, spoilt by `spoil` and saved; the
// spoilt fields are put back before the record is freed.
int32_t SaveSpoilt(void (*spoil)(VNLSPRITE_T&, uint32_t*), bool withSizes, Saved& saved) {
  const Bytes file = testdata::BuildSprite(TwoSinglesAndAGroup());
  VNLSPRITE_T sprite{};
  if (vnlSpriteLoad(const_cast<uint8_t*>(file.data()), uint32_t(file.size()), sprite) != VNL_OK) return -1;
  uint32_t sizes[3] = {0, 3, 0};
  const VNLSPRITE_T kept = sprite;
  const VNLPICTURE_T keptFrames[5] = {sprite.frames[0], sprite.frames[1], sprite.frames[2], sprite.frames[3],
                                      sprite.frames[4]};
  const float keptRates[5] = {sprite.rate[0], sprite.rate[1], sprite.rate[2], sprite.rate[3], sprite.rate[4]};
  spoil(sprite, sizes);
  const int32_t code = vnlSpriteSave(&sprite, withSizes ? sizes : nullptr, &saved.block, &saved.length);
  sprite = kept;
  for (int i = 0; i < 5; ++i) sprite.frames[i] = keptFrames[i], sprite.rate[i] = keptRates[i];
  vnlSpriteKill(sprite);
  return code;
}

TEST(SpriteSave, SaveOfLoadGivesTheFileBack) {
  Saved saved;
  ASSERT_EQ(SaveSpoilt([](VNLSPRITE_T&, uint32_t*) {}, true, saved), VNL_OK);
  EXPECT_EQ(saved.bytes(), testdata::BuildSprite(TwoSinglesAndAGroup()));
}

TEST(SpriteSave, RefusesWhatTheFormatCannotHold) {
  const struct {
    const char* what;
    void (*spoil)(VNLSPRITE_T&, uint32_t*);
    bool withSizes;
    int32_t code;
  } cases[] = {
      {"groups without entry sizes", [](VNLSPRITE_T&, uint32_t*) {}, false, VNL_SPR_NO_FRAME},
      {"no entries", [](VNLSPRITE_T& s, uint32_t*) { s.sheetCount = 0; }, true, VNL_SPR_NO_FRAME},
      {"sizes not covering", [](VNLSPRITE_T&, uint32_t* sizes) { sizes[1] = 2; }, true, VNL_SPR_NO_FRAME},
      {"zero width", [](VNLSPRITE_T& s, uint32_t*) { s.frames[2].width = 0; }, true, VNL_SPR_NO_WIDTH},
      {"zero height", [](VNLSPRITE_T& s, uint32_t*) { s.frames[0].height = 0; }, true, VNL_SPR_NO_HEIGHT},
      {"interval of 0", [](VNLSPRITE_T& s, uint32_t*) { s.rate[1] = 0; }, true, VNL_SPR_BAD_INTERVAL},
      {"falling intervals", [](VNLSPRITE_T& s, uint32_t*) { s.rate[3] = 0.2f; }, true, VNL_SPR_BAD_INTERVAL},
      {"no pixels", [](VNLSPRITE_T& s, uint32_t*) { s.frames[4].pixels = nullptr; }, true, VNL_NO_BLOCK},
  };
  for (const auto& c : cases) {
    Saved saved;
    EXPECT_EQ(SaveSpoilt(c.spoil, c.withSizes, saved), c.code) << c.what;
    EXPECT_EQ(saved.block, nullptr) << c.what;
  }
}

// ---- mip textures ----

// Entry i is the grey (i, i, i): averages of greys are greys, so every level is predictable.
struct GreyPalette {
  std::vector<uint32_t> colours;
  VNLPALETTE_T palette{};
  GreyPalette() : colours(256) {
    for (uint32_t i = 0; i < 256; ++i) colours[i] = 0xFF000000u | i << 16 | i << 8 | i;
    palette.colors = colours.data();
  }
};

struct MipTex {
  VNLMIPTEX_T texture{};
  ~MipTex() { vnlMipTexKill(&texture); }
};

// A 16 x 16 texture of 2 x 2 blocks; block (bx, by) holds `block(bx, by)` in its
// upper row and `low(bx, by)` in its lower row.
Bytes Blocks(uint8_t (*upper)(uint32_t, uint32_t), uint8_t (*lower)(uint32_t, uint32_t)) {
  Bytes pixels(256);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 0; x < 16; ++x) pixels[y * 16 + x] = (y % 2 == 0 ? upper : lower)(x / 2, y / 2);
  return pixels;
}

TEST(MipTexSave, SmallerLevelsAverageTheLevelAbove) {
  GreyPalette grey;
  const struct {
    const char* name;
    Bytes top;
    uint8_t level1;  // every pixel of level 1
  } cases[] = {
      {"flat", Bytes(256, 40), 40},
      {"stripes",
       Blocks([](uint32_t, uint32_t) -> uint8_t { return 10; }, [](uint32_t, uint32_t) -> uint8_t { return 20; }), 15},
      {"{fence",
       Blocks([](uint32_t, uint32_t) -> uint8_t { return 255; }, [](uint32_t, uint32_t) -> uint8_t { return 90; }),
       255},
      {"{grate",
       Blocks([](uint32_t, uint32_t) -> uint8_t { return 60; }, [](uint32_t, uint32_t) -> uint8_t { return 60; }), 60},
  };
  for (const auto& c : cases) {
    MipTex given;
    std::snprintf(given.texture.name, sizeof given.texture.name, "%s", c.name);
    Bytes top = c.top;
    given.texture.levels[0] = VNLPICTURE_T{16, 16, top.data()};
    Saved saved;
    ASSERT_EQ(vnlMipTexSave(&given.texture, &grey.palette, &saved.block, &saved.length), VNL_OK) << c.name;
    given.texture.levels[0].pixels = nullptr;  // not ours to free
    EXPECT_EQ(saved.length, 40u + 256 + 64 + 16 + 4) << c.name;
    MipTex back;
    ASSERT_EQ(vnlMipTexLoad(saved.block, saved.length, &back.texture), VNL_OK) << c.name;
    EXPECT_STREQ(back.texture.name, c.name);
    EXPECT_EQ(Bytes(back.texture.levels[0].pixels, back.texture.levels[0].pixels + 256), c.top) << c.name;
    for (uint32_t level = 1; level < 4; ++level) {
      const VNLPICTURE_T& p = back.texture.levels[level];
      ASSERT_EQ(p.width, 16u >> level);
      EXPECT_EQ(Bytes(p.pixels, p.pixels + p.width * p.height), Bytes(p.width * p.height, c.level1))
          << c.name << " level " << level;
    }
  }
}

// ---- the corpus ----

TEST(SaveCorpus, EveryPictureOfTheWadAndEverySpriteSavesToItsOwnBytes) {
  SKIP_WITHOUT_CORPUS();
  const Bytes wad = testdata::ReadFile(testdata::CorpusFile("gfx.wad"));
  VNLWADINFO_T info{};
  ASSERT_EQ(VNLWADGETINFO(const_cast<uint8_t*>(wad.data()), uint32_t(wad.size()), info), VNL_OK);
  int pictures = 0;
  for (uint32_t i = 0; i < info.entryCount; ++i) {
    if (info.entries[i].type != VNL_LUMP_PICTURE) continue;
    Bytes lump(wad.begin() + info.entries[i].offset, wad.begin() + info.entries[i].offset + info.entries[i].length);
    VNLPICTURE_T picture{};
    ASSERT_EQ(vnlPictureLoad(lump.data(), uint32_t(lump.size()), picture), VNL_OK) << info.entries[i].name;
    Saved saved;
    ASSERT_EQ(vnlPictureSave(&picture, &saved.block, &saved.length), VNL_OK);
    EXPECT_EQ(saved.bytes(), lump) << info.entries[i].name;
    vnlPictureKill(picture);
    ++pictures;
  }
  VNLWADKILL(info);
  EXPECT_GT(pictures, 100);

  int sprites = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testdata::CorpusDir() + "/progs")) {
    if (entry.path().extension() != ".spr") continue;
    const Bytes file = testdata::ReadFile(entry.path().string());
    VNLSPRITE_T sprite{};
    ASSERT_EQ(vnlSpriteLoad(const_cast<uint8_t*>(file.data()), uint32_t(file.size()), sprite), VNL_OK);
    ASSERT_EQ(sprite.frameExtra, 0u) << "a grouped corpus sprite needs its entry sizes here";
    Saved saved;
    ASSERT_EQ(vnlSpriteSave(&sprite, nullptr, &saved.block, &saved.length), VNL_OK);
    // Everything but the radius (bytes 12 to 15), which the saver works out itself.
    Bytes mine = saved.bytes(), theirs = file;
    ASSERT_EQ(mine.size(), theirs.size()) << entry.path();
    std::fill(mine.begin() + 12, mine.begin() + 16, 0);
    std::fill(theirs.begin() + 12, theirs.begin() + 16, 0);
    EXPECT_EQ(mine, theirs) << entry.path();
    vnlSpriteKill(sprite);
    ++sprites;
  }
  EXPECT_GE(sprites, 2);
}

}  // namespace
