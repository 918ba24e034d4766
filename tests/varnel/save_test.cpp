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

TEST(PackSave, RefusesNamesItCannotStore) {
  const Bytes data = {1, 2, 3};
  const std::string longest(55, 'n'), tooLong(56, 'n');
  struct Case {
    std::vector<std::string> names;
    int32_t code;
  } cases[] = {
      {{""}, VNL_PAK_NAME},
      {{"../up.txt"}, VNL_PAK_NAME},
      {{"a/../b.txt"}, VNL_PAK_NAME},
      {{"/root.txt"}, VNL_PAK_NAME},
      {{"a//b.txt"}, VNL_PAK_NAME},
      {{"./a.txt"}, VNL_PAK_NAME},
      {{"c:x.txt"}, VNL_PAK_NAME},
      {{"tab\there"}, VNL_PAK_NAME},
      {{" lead.txt"}, VNL_PAK_NAME},
      {{tooLong}, VNL_PAK_NAME},
      {{"A/b.TXT", "a/B.txt"}, VNL_PAK_REPEAT},
      {{longest, "a.txt"}, VNL_OK},
  };
  for (const Case& c : cases) {
    std::vector<VNLMEMBER_T> members;
    for (const std::string& name : c.names) members.push_back(Member(name.c_str(), data));
    Saved saved;
    EXPECT_EQ(vnlPackSave(members.data(), uint32_t(members.size()), &saved.block, &saved.length), c.code) << c.names[0];
    EXPECT_EQ(saved.block == nullptr, c.code != VNL_OK) << c.names[0];
  }
  Saved none;
  EXPECT_EQ(vnlPackSave(nullptr, 0, &none.block, &none.length), VNL_NO_BLOCK);
}

// ---- picture lumps ----

TEST(PictureSave, LoadOfSaveGivesThePicture) {
  const uint32_t sizes[][2] = {{1, 1}, {3, 5}, {320, 200}};
  for (const auto& size : sizes) {
    Bytes pixels = Sequence(size_t(size[0]) * size[1], int(size[0]));
    VNLPICTURE_T picture{size[0], size[1], pixels.data()};
    Saved saved;
    ASSERT_EQ(vnlPictureSave(&picture, &saved.block, &saved.length), VNL_OK);
    EXPECT_EQ(saved.bytes(), testdata::BuildLump(size[0], size[1], pixels));
    VNLPICTURE_T back{};
    ASSERT_EQ(vnlPictureLoad(saved.block, saved.length, back), VNL_OK);
    EXPECT_EQ(back.width, size[0]);
    EXPECT_EQ(Bytes(back.pixels, back.pixels + pixels.size()), pixels);
    vnlPictureKill(back);
  }
}

TEST(PictureSave, RefusesAnEmptyPicture) {
  uint8_t pixel = 0;
  const struct {
    VNLPICTURE_T picture;
    int32_t code;
  } cases[] = {{{0, 4, &pixel}, VNL_PICTURE_SIZE}, {{4, 0, &pixel}, VNL_PICTURE_SIZE}, {{2, 2, nullptr}, VNL_NO_BLOCK}};
  for (const auto& c : cases) {
    Saved saved;
    EXPECT_EQ(vnlPictureSave(&c.picture, &saved.block, &saved.length), c.code);
    EXPECT_EQ(saved.block, nullptr);
  }
}

// ---- sprites ----

// A sprite record over the recipe's frames (flattened), with its entry sizes.
struct SpriteRecord {
  VNLSPRITE_T sprite{};
  std::vector<int32_t> x, y;
  std::vector<float> rate;
  std::vector<VNLPICTURE_T> frames;
  std::vector<uint32_t> entrySize;

  explicit SpriteRecord(testdata::SpriteRecipe& recipe) {
    for (testdata::SpriteEntry& entry : recipe.entries) {
      entrySize.push_back(entry.group ? uint32_t(entry.frames.size()) : 0);
      for (size_t i = 0; i < entry.frames.size(); ++i) {
        testdata::SpriteFrame& f = entry.frames[i];
        x.push_back(f.originX);
        y.push_back(f.originY);
        rate.push_back(entry.group ? entry.intervals[i] : 0);
        frames.push_back(VNLPICTURE_T{f.width, f.height, f.pixels.data()});
      }
    }
    sprite.spriteType = uint8_t(recipe.type);
    sprite.syncType = uint8_t(recipe.syncType);
    sprite.sheetCount = uint32_t(recipe.entries.size());
    sprite.frameExtra = uint32_t(frames.size() - recipe.entries.size());
    sprite.originX = x.data();
    sprite.originY = y.data();
    sprite.rate = rate.data();
    sprite.frames = frames.data();
  }
};

testdata::SpriteRecipe TwoSinglesAndAGroup() {
  testdata::SpriteRecipe recipe;
  recipe.type = 3;
  recipe.syncType = 1;
  recipe.entries.push_back({false, {}, {testdata::MakeSpriteFrame(8, 4, -4, 2, 1)}});
  recipe.entries.push_back({true,
                            {0.1f, 0.25f, 0.5f},
                            {testdata::MakeSpriteFrame(2, 2, 0, 0, 2), testdata::MakeSpriteFrame(6, 10, -3, 5, 3),
                             testdata::MakeSpriteFrame(1, 1, 7, -7, 4)}});
  recipe.entries.push_back({false, {}, {testdata::MakeSpriteFrame(5, 3, -2, 1, 5)}});
  return recipe;
}

TEST(SpriteSave, WritesTheFileTheRecordDescribes) {
  testdata::SpriteRecipe recipe = TwoSinglesAndAGroup();
  recipe.radius = float(std::sqrt(8.0 * 8 + 10.0 * 10) / 2);  // the largest sizes' half diagonal
  SpriteRecord record(recipe);
  Saved saved;
  ASSERT_EQ(vnlSpriteSave(&record.sprite, record.entrySize.data(), &saved.block, &saved.length), VNL_OK);
  EXPECT_EQ(saved.bytes(), testdata::BuildSprite(recipe));

  VNLSPRITE_T back{};
  ASSERT_EQ(vnlSpriteLoad(saved.block, saved.length, back), VNL_OK);
  EXPECT_EQ(back.spriteType, 3);
  EXPECT_EQ(back.syncType, 1);
  EXPECT_EQ(back.sheetCount, 3u);
  ASSERT_EQ(back.frameExtra, 2u);
  for (size_t i = 0; i < record.frames.size(); ++i) {
    EXPECT_EQ(back.originX[i], record.x[i]);
    EXPECT_EQ(back.originY[i], record.y[i]);
    EXPECT_EQ(back.rate[i], record.rate[i]);
    const VNLPICTURE_T& f = record.frames[i];
    ASSERT_EQ(back.frames[i].width, f.width);
    ASSERT_EQ(back.frames[i].height, f.height);
    EXPECT_EQ(0, std::memcmp(back.frames[i].pixels, f.pixels, size_t(f.width) * f.height));
  }
  vnlSpriteKill(back);
}

TEST(SpriteSave, RefusesWhatTheFormatCannotHold) {
  struct Case {
    const char* what;
    void (*spoil)(SpriteRecord&);
    bool withSizes;
    int32_t code;
  } cases[] = {
      {"groups without entry sizes", [](SpriteRecord&) {}, false, VNL_SPR_NO_FRAME},
      {"no entries", [](SpriteRecord& r) { r.sprite.sheetCount = 0; }, true, VNL_SPR_NO_FRAME},
      {"sizes not covering", [](SpriteRecord& r) { r.entrySize[1] = 2; }, true, VNL_SPR_NO_FRAME},
      {"zero width", [](SpriteRecord& r) { r.frames[2].width = 0; }, true, VNL_SPR_NO_WIDTH},
      {"zero height", [](SpriteRecord& r) { r.frames[0].height = 0; }, true, VNL_SPR_NO_HEIGHT},
      {"interval of 0", [](SpriteRecord& r) { r.rate[1] = 0; }, true, VNL_SPR_BAD_INTERVAL},
      {"falling intervals", [](SpriteRecord& r) { r.rate[3] = 0.2f; }, true, VNL_SPR_BAD_INTERVAL},
      {"no pixels", [](SpriteRecord& r) { r.frames[4].pixels = nullptr; }, true, VNL_NO_BLOCK},
  };
  for (const Case& c : cases) {
    testdata::SpriteRecipe recipe = TwoSinglesAndAGroup();
    SpriteRecord record(recipe);
    c.spoil(record);
    Saved saved;
    EXPECT_EQ(
        vnlSpriteSave(&record.sprite, c.withSizes ? record.entrySize.data() : nullptr, &saved.block, &saved.length),
        c.code)
        << c.what;
    EXPECT_EQ(saved.block, nullptr) << c.what;
  }
}

// ---- WAD2 archives and mip textures ----

TEST(WadSave, LumpsReadBackByNameWithTheirTypes) {
  const Bytes a = Sequence(13, 1), b = Sequence(40, 2);
  const std::vector<VNLMEMBER_T> lumps = {Member("conback", a, VNL_LUMP_PICTURE),
                                          Member("fifteen_bytes__", b, VNL_LUMP_MIPTEX)};
  Saved saved;
  ASSERT_EQ(vnlWadSave(lumps.data(), 2, &saved.block, &saved.length), VNL_OK);
  VNLWADINFO_T info{};
  ASSERT_EQ(VNLWADGETINFO(saved.block, saved.length, info), VNL_OK);
  ASSERT_EQ(info.entryCount, 2u);
  EXPECT_STREQ(info.entries[1].name, "fifteen_bytes__");
  EXPECT_EQ(info.entries[1].offset % 4, 0u);
  VNLWADKILL(info);
  for (const VNLMEMBER_T& lump : lumps) {
    std::string upper = lump.name;
    for (char& ch : upper) ch = char(std::toupper(ch));
    uint8_t* bytes = nullptr;
    uint32_t length = 0;
    uint8_t type = 0;
    ASSERT_EQ(vnlWadLumpLoad(saved.block, saved.length, upper.c_str(), &bytes, &length, &type), VNL_OK);
    EXPECT_EQ(Bytes(bytes, bytes + length), Bytes(lump.data, lump.data + lump.length));
    EXPECT_EQ(type, lump.type);
    std::free(bytes);
  }
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  uint8_t type = 0;
  EXPECT_EQ(vnlWadLumpLoad(saved.block, saved.length, "absent", &bytes, &length, &type), VNL_NOT_FOUND);
  EXPECT_EQ(bytes, nullptr);
}

TEST(WadSave, RefusesNamesItCannotStore) {
  const Bytes data = {1};
  const struct {
    std::vector<const char*> names;
    int32_t code;
  } cases[] = {
      {{""}, VNL_WAD2_NAME},
      {{"sixteen_bytes___"}, VNL_WAD2_NAME},
      {{"bell\a"}, VNL_WAD2_NAME},
      {{"Conback", "CONBACK"}, VNL_WAD2_REPEAT},
  };
  for (const auto& c : cases) {
    std::vector<VNLMEMBER_T> lumps;
    for (const char* name : c.names) lumps.push_back(Member(name, data, VNL_LUMP_PICTURE));
    Saved saved;
    EXPECT_EQ(vnlWadSave(lumps.data(), uint32_t(lumps.size()), &saved.block, &saved.length), c.code) << c.names[0];
    EXPECT_EQ(saved.block, nullptr);
  }
}

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

TEST(MipTexSave, GivenLevelsAreKeptAndRefusalsGiveTheirCodes) {
  Bytes levels[4] = {Sequence(32 * 16, 1), Sequence(16 * 8, 2), Sequence(8 * 4, 3), Sequence(4 * 2, 4)};
  VNLMIPTEX_T texture{};
  std::snprintf(texture.name, sizeof texture.name, "wall");
  for (uint32_t i = 0; i < 4; ++i) texture.levels[i] = VNLPICTURE_T{32u >> i, 16u >> i, levels[i].data()};
  Saved saved;
  ASSERT_EQ(vnlMipTexSave(&texture, nullptr, &saved.block, &saved.length), VNL_OK);
  MipTex back;
  ASSERT_EQ(vnlMipTexLoad(saved.block, saved.length, &back.texture), VNL_OK);
  for (uint32_t i = 0; i < 4; ++i)
    EXPECT_EQ(Bytes(back.texture.levels[i].pixels, back.texture.levels[i].pixels + levels[i].size()), levels[i]);
  // A cut lump no longer holds its last level.
  MipTex cut;
  EXPECT_EQ(vnlMipTexLoad(saved.block, saved.length - 1, &cut.texture), VNL_PICTURE_SIZE);

  const struct {
    const char* what;
    uint32_t width;
    const char* name;
    bool dropLevel;
    int32_t code;
  } cases[] = {
      {"width 24", 24, "wall", false, VNL_PICTURE_SIZE},
      {"width 0", 0, "wall", false, VNL_PICTURE_SIZE},
      {"no name", 32, "", false, VNL_WAD2_NAME},
      {"missing level, no palette", 32, "wall", true, VNL_NO_BLOCK},
  };
  for (const auto& c : cases) {
    VNLMIPTEX_T spoilt = texture;
    spoilt.levels[0].width = c.width;
    std::snprintf(spoilt.name, sizeof spoilt.name, "%s", c.name);
    if (c.dropLevel) spoilt.levels[2].pixels = nullptr;
    Saved refused;
    EXPECT_EQ(vnlMipTexSave(&spoilt, nullptr, &refused.block, &refused.length), c.code) << c.what;
    EXPECT_EQ(refused.block, nullptr) << c.what;
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
