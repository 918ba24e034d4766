#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bytes.h"
#include "files.h"
#include "varnel/varnel.h"
#include "wad_builder.h"

namespace {

using testdata::BuildWad;
using testdata::Bytes;
using testdata::PutU32;
using testdata::WadLump;

int32_t ReadWad(const Bytes& bytes, VNLWADINFO_T& wad) {
  uint8_t* block = const_cast<uint8_t*>(bytes.data());
  uint32_t length = uint32_t(bytes.size());
  return VNLWADGETINFO(block, length, wad);
}

Bytes TwoLumps() { return BuildWad({{"conchars", Bytes(7, 0xAB), 0x44, 0, 0}, {"pal", Bytes(5, 0xCD), 0x40, 1, 9}}); }

// A record holding values no read would produce, to see whether a failure touched it.
VNLWADINFO_T Sentinel(VNLWADENTRY_T* entries) {
  VNLWADINFO_T wad{};
  std::memcpy(wad.magic, "xyzw", 4);
  wad.dirOffset = 111;
  wad.dirLength = 222;
  wad.entryCount = 333;
  wad.entries = entries;
  return wad;
}

void ExpectSentinel(const VNLWADINFO_T& wad, const VNLWADENTRY_T* entries) {
  EXPECT_EQ(std::string(wad.magic, 4), "xyzw");
  EXPECT_EQ(wad.dirOffset, 111u);
  EXPECT_EQ(wad.dirLength, 222u);
  EXPECT_EQ(wad.entryCount, 333u);
  EXPECT_EQ(wad.entries, entries);
}

TEST(WadGetInfo, DirectoryAtTheVeryEndIsRead) {
  Bytes bytes = TwoLumps();
  ASSERT_EQ(bytes.size(), 12u + 7 + 5 + 64);
  VNLWADINFO_T wad{};
  ASSERT_EQ(ReadWad(bytes, wad), 0);
  EXPECT_EQ(std::string(wad.magic, 4), "WAD2");
  EXPECT_EQ(wad.entryCount, 2u);
  EXPECT_EQ(wad.dirLength, 64u);
  EXPECT_EQ(wad.dirOffset, 24u);
  ASSERT_NE(wad.entries, nullptr);

  const VNLWADENTRY_T& first = wad.entries[0];
  EXPECT_STREQ(first.name, "conchars");
  EXPECT_EQ(first.offset, 12u);
  EXPECT_EQ(first.diskLength, 7u);
  EXPECT_EQ(first.length, 7u);
  EXPECT_EQ(first.type, 0x44);
  EXPECT_EQ(first.compression, 0);

  const VNLWADENTRY_T& second = wad.entries[1];
  EXPECT_STREQ(second.name, "pal");
  EXPECT_EQ(second.offset, 19u);
  EXPECT_EQ(second.diskLength, 5u);
  EXPECT_EQ(second.length, 9u);
  EXPECT_EQ(second.type, 0x40);
  EXPECT_EQ(second.compression, 1);
  VNLWADKILL(wad);
}

TEST(WadGetInfo, BlockOneByteShortOfTheDirectoryIsCorrupt) {
  Bytes bytes = TwoLumps();
  bytes.pop_back();
  VNLWADENTRY_T marker{};
  VNLWADINFO_T wad = Sentinel(&marker);
  EXPECT_EQ(ReadWad(bytes, wad), VNL_WAD2_CORRUPT);
  ExpectSentinel(wad, &marker);
}

TEST(WadGetInfo, LumpNameOfSixteenCharactersArrivesWhole) {
  Bytes bytes = BuildWad({{"abcdefghijklmnop", Bytes(3, 1)}, {"short", Bytes(1, 2)}});
  VNLWADINFO_T wad{};
  ASSERT_EQ(ReadWad(bytes, wad), 0);
  EXPECT_STREQ(wad.entries[0].name, "abcdefghijklmnop");
  EXPECT_STREQ(wad.entries[1].name, "short");
  VNLWADKILL(wad);
}

TEST(WadGetInfo, NameEndsAtItsFirstZeroByteAndKeepsItsCase) {
  Bytes bytes = BuildWad({{"", Bytes(2, 0)}});
  // The field: "Sky1", a zero byte, then leftovers that must not show.
  const char field[16] = {'S', 'k', 'y', '1', 0, 'j', 'u', 'n', 'k'};
  std::memcpy(bytes.data() + bytes.size() - 16, field, 16);
  VNLWADINFO_T wad{};
  ASSERT_EQ(ReadWad(bytes, wad), 0);
  EXPECT_STREQ(wad.entries[0].name, "Sky1");
  VNLWADKILL(wad);
}

struct MagicCase {
  const char* label;
  std::string magic;
};

class WadMagic : public testing::TestWithParam<MagicCase> {};

TEST_P(WadMagic, AnythingButWad2IsRejectedAndTheRecordStays) {
  Bytes bytes = TwoLumps();
  std::memcpy(bytes.data(), GetParam().magic.data(), 4);
  VNLWADENTRY_T marker{};
  VNLWADINFO_T wad = Sentinel(&marker);
  EXPECT_EQ(ReadWad(bytes, wad), VNL_NOT_WAD2);
  ExpectSentinel(wad, &marker);
}

INSTANTIATE_TEST_SUITE_P(Magics, WadMagic,
                         testing::Values(MagicCase{"OtherLastCharacter", "WAD3"}, MagicCase{"LowerCase", "wad2"},
                                         MagicCase{"CutByZero", std::string("WAD\0", 4)}, MagicCase{"Pack", "PACK"}),
                         [](const testing::TestParamInfo<MagicCase>& tested) { return tested.param.label; });

TEST(WadGetInfo, AbsentOrEmptyBlockIsNotWad2) {
  VNLWADENTRY_T marker{};
  VNLWADINFO_T wad = Sentinel(&marker);
  uint8_t* none = nullptr;
  uint32_t someLength = 100;
  EXPECT_EQ(VNLWADGETINFO(none, someLength, wad), VNL_NOT_WAD2);
  Bytes bytes = TwoLumps();
  uint8_t* block = bytes.data();
  uint32_t zero = 0;
  EXPECT_EQ(VNLWADGETINFO(block, zero, wad), VNL_NOT_WAD2);
  ExpectSentinel(wad, &marker);
}

TEST(WadGetInfo, MagicAloneIsCorrupt) {
  Bytes bytes = {'W', 'A', 'D', '2'};
  VNLWADINFO_T wad{};
  EXPECT_EQ(ReadWad(bytes, wad), VNL_WAD2_CORRUPT);
  EXPECT_EQ(wad.entries, nullptr);
}

struct HeaderCase {
  const char* label;
  uint32_t count;
  uint32_t offset;
};

class WadHostileHeader : public testing::TestWithParam<HeaderCase> {};

// None of these may allocate for the count: the directory is not in the block.
TEST_P(WadHostileHeader, IsCorruptAndLeavesTheRecordAlone) {
  Bytes bytes = TwoLumps();
  PutU32(bytes, 4, GetParam().count);
  PutU32(bytes, 8, GetParam().offset);
  VNLWADENTRY_T marker{};
  VNLWADINFO_T wad = Sentinel(&marker);
  EXPECT_EQ(ReadWad(bytes, wad), VNL_WAD2_CORRUPT);
  ExpectSentinel(wad, &marker);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, WadHostileHeader,
    testing::Values(HeaderCase{"CountZeroAtTheRealOffset", 0, 24}, HeaderCase{"CountZeroAtOffsetZero", 0, 0},
                    HeaderCase{"CountZeroFarAway", 0, 0xFFFFFFFFu},
                    // 32 x count wraps to 32 in 32 bits and would look like one entry.
                    HeaderCase{"DirectorySizeWrapsToOneEntry", 0x08000001u, 0},
                    HeaderCase{"DirectorySizeWrapsToZero", 0x08000000u, 12}, HeaderCase{"LargestCount", 0xFFFFFFFFu, 0},
                    HeaderCase{"OffsetPlusSizeWrapsPastFourGigabytes", 1, 0xFFFFFFF0u},
                    HeaderCase{"OffsetPastTheEnd", 1, 200}, HeaderCase{"OneEntryMoreThanTheBlockHolds", 3, 24}),
    [](const testing::TestParamInfo<HeaderCase>& tested) { return tested.param.label; });

TEST(WadGetInfo, OffsetsAndLengthsOfEntriesAreNotCheckedAgainstTheBlock) {
  Bytes bytes = TwoLumps();
  PutU32(bytes, 24, 0xFFFFFF00u);  // first entry's data offset
  VNLWADINFO_T wad{};
  ASSERT_EQ(ReadWad(bytes, wad), 0);
  EXPECT_EQ(wad.entries[0].offset, 0xFFFFFF00u);
  VNLWADKILL(wad);
}

TEST(WadKill, EmptiesTheRecordWhichCanThenBeReadAgain) {
  Bytes bytes = TwoLumps();
  VNLWADINFO_T wad{};
  ASSERT_EQ(ReadWad(bytes, wad), 0);
  VNLWADKILL(wad);
  EXPECT_EQ(wad.entries, nullptr);
  EXPECT_EQ(std::string(wad.magic, 4), std::string(4, '\0'));
  EXPECT_EQ(wad.dirOffset, 0u);
  EXPECT_EQ(wad.dirLength, 0u);
  EXPECT_EQ(wad.entryCount, 0u);

  Bytes other = BuildWad({{"only", Bytes(4, 9)}});
  ASSERT_EQ(ReadWad(other, wad), 0);
  EXPECT_EQ(wad.entryCount, 1u);
  EXPECT_STREQ(wad.entries[0].name, "only");
  VNLWADKILL(wad);
  VNLWADKILL(wad);  // a second kill of an empty record is harmless
  EXPECT_EQ(wad.entries, nullptr);
}

TEST(WadGetInfo, ReadingIntoALoadedRecordReplacesItsDirectory) {
  Bytes first = TwoLumps();
  Bytes second = BuildWad({{"a", Bytes(1, 1)}, {"b", Bytes(1, 2)}, {"c", Bytes(1, 3)}});
  VNLWADINFO_T wad{};
  ASSERT_EQ(ReadWad(first, wad), 0);
  ASSERT_EQ(ReadWad(second, wad), 0);  // the first array must not leak (checked under ASan)
  EXPECT_EQ(wad.entryCount, 3u);
  EXPECT_EQ(wad.dirLength, 96u);
  EXPECT_STREQ(wad.entries[2].name, "c");
  EXPECT_EQ(wad.entries[2].offset, 14u);
  VNLWADKILL(wad);
}

TEST(WadGetInfo, RealArchiveEntriesLieInsideTheFile) {
  SKIP_WITHOUT_CORPUS();
  std::string path = testdata::CorpusFile("gfx.wad");
  if (path.empty()) GTEST_SKIP() << "gfx.wad not in the corpus";
  Bytes bytes = testdata::ReadFile(path);
  ASSERT_GE(bytes.size(), 12u);
  // The header, read here independently of the library.
  auto word = [&](size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
  };
  VNLWADINFO_T wad{};
  ASSERT_EQ(ReadWad(bytes, wad), 0);
  EXPECT_EQ(wad.entryCount, word(4));
  EXPECT_EQ(wad.dirOffset, word(8));
  EXPECT_EQ(wad.dirLength, 32 * word(4));
  ASSERT_GT(wad.entryCount, 0u);
  for (uint32_t i = 0; i < wad.entryCount; ++i) {
    const VNLWADENTRY_T& entry = wad.entries[i];
    SCOPED_TRACE(entry.name);
    EXPECT_GT(std::strlen(entry.name), 0u);
    EXPECT_GE(entry.offset, 12u);
    EXPECT_LE(uint64_t(entry.offset) + entry.diskLength, bytes.size());
  }
  VNLWADKILL(wad);
}

}  // namespace
