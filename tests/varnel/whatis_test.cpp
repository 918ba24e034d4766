#include <dirent.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "builders.h"
#include "bytes.h"
#include "file_io.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using testdata::Bytes;
using testdata::ByteWriter;

struct Detected {
  int32_t result;
  int32_t type;
};

Detected Detect(const Bytes& bytes) {
  uint8_t* block = const_cast<uint8_t*>(bytes.data());
  uint32_t length = static_cast<uint32_t>(bytes.size());
  int32_t type = -1;
  int32_t result = vnlWhatIs(block, length, type);
  return {result, type};
}

Bytes Zeros(size_t n) { return Bytes(n, 0); }

Bytes Padded(const std::string& start, size_t length) {
  Bytes bytes = ByteWriter().text(start).take();
  bytes.resize(length, 0);
  return bytes;
}

struct Case {
  const char* what;
  Bytes block;
  int32_t result;
  int32_t type;
};

void ExpectDetected(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Detected got = Detect(c.block);
    EXPECT_EQ(got.result, c.result) << c.what;
    EXPECT_EQ(got.type, c.type) << c.what;
  }
}

TEST(WhatIs, MagicDecidesWhateverTheLength) {
  ExpectDetected({
      {"PACK alone", Padded("PACK", 4), 0, VNL_TYPE_PAK},
      {"PACK of 768", Padded("PACK", 768), 0, VNL_TYPE_PAK},
      {"PACK of 16385", Padded("PACK", 16385), 0, VNL_TYPE_PAK},
      {"PACK of 4000", Padded("PACK", 4000), 0, VNL_TYPE_PAK},
      {"WAD2", Padded("WAD2", 100), 0, VNL_TYPE_WAD2},
      {"IDPO of 768", Padded("IDPO", 768), 0, VNL_TYPE_MDL},
      {"IDSP", Padded("IDSP", 20), 0, VNL_TYPE_SPR},
      {"RIFF", Padded("RIFFxxxx", 12), 0, VNL_TYPE_RIFF},
  });
}

TEST(WhatIs, MagicMustMatchExactlyAndWhole) {
  ExpectDetected({
      {"lower-case pack", Padded("pack", 100), 7, VNL_TYPE_UNKNOWN},
      {"lower-case idpo of 768", Padded("idpo", 768), 0, VNL_TYPE_PALETTE},
      {"PAC and a zero byte", Padded("PAC", 100), 7, VNL_TYPE_UNKNOWN},
      {"PAC cut by the end", Padded("PAC", 3), 7, VNL_TYPE_UNKNOWN},
      {"PACX", Padded("PACX", 100), 7, VNL_TYPE_UNKNOWN},
  });
}

TEST(WhatIs, LumpsWithoutMagicAreToldByLength) {
  ExpectDetected({
      {"768 zeros", Zeros(768), 0, VNL_TYPE_PALETTE},
      {"768 with words 20 and 38", ByteWriter().u32(20).u32(38).zeros(760).take(), 0, VNL_TYPE_PICTURE},
      {"8193 zeros", Zeros(8193), 0, VNL_TYPE_COLORMAP},
      {"16385 zeros", Zeros(16385), 0, VNL_TYPE_COLORMAP},
      {"4097 zeros (16 rows)", Zeros(4097), 7, VNL_TYPE_UNKNOWN},
      {"4000 zeros", Zeros(4000), 0, VNL_TYPE_4000},
      {"9 bytes with words 1 and 1", ByteWriter().u32(1).u32(1).u8(7).take(), 0, VNL_TYPE_PICTURE},
      {"8 zeros", Zeros(8), 0, VNL_TYPE_PICTURE},
      {"16384 zeros", Zeros(16384), 7, VNL_TYPE_UNKNOWN},
      {"one byte", Zeros(1), 7, VNL_TYPE_UNKNOWN},
  });
}

TEST(WhatIs, PictureSizeIsComputedWithoutOverflow) {
  // 65536 x 65536 wraps to 0 in 32 bits, which would match an 8-byte block.
  ExpectDetected({
      {"65536 x 65536 in 8 bytes", ByteWriter().u32(65536).u32(65536).take(), 7, VNL_TYPE_UNKNOWN},
      {"max x max in 8 bytes", ByteWriter().u32(UINT32_MAX).u32(UINT32_MAX).take(), 7, VNL_TYPE_UNKNOWN},
  });
}

TEST(WhatIs, NullBlockIsDecidedByTheLengthAlone) {
  struct NullCase {
    uint32_t length;
    int32_t result;
    int32_t type;
  };
  const NullCase cases[] = {
      {0, 7, VNL_TYPE_UNKNOWN},      {8, 0, VNL_TYPE_PICTURE}, {768, 0, VNL_TYPE_PALETTE}, {8193, 0, VNL_TYPE_COLORMAP},
      {16385, 0, VNL_TYPE_COLORMAP}, {4000, 0, VNL_TYPE_4000}, {9, 7, VNL_TYPE_UNKNOWN},
  };
  for (const NullCase& c : cases) {
    uint8_t* block = nullptr;
    int32_t type = -1;
    EXPECT_EQ(vnlWhatIs(block, c.length, type), c.result) << "length " << c.length;
    EXPECT_EQ(type, c.type) << "length " << c.length;
  }
}

TEST(WhatIs, ZeroLengthIgnoresTheBytes) {
  Bytes bytes = Padded("PACK", 8);
  uint8_t* block = bytes.data();
  int32_t type = -1;
  EXPECT_EQ(vnlWhatIs(block, 0, type), 7);
  EXPECT_EQ(type, VNL_TYPE_UNKNOWN);
}

TEST(WhatIsFile, BlankNameReturns3BeforeTouchingTheDisk) {
  // With every handle taken, any disk access would answer 2 instead.
  std::vector<std::unique_ptr<vnl::FileHandle>> held;
  for (int i = 0; i < vnl::kHandleCount; ++i) held.push_back(std::make_unique<vnl::FileHandle>());
  ASSERT_EQ(vnl::FreeHandleCount(), 0);

  std::string pack;
  std::string name = "   ";
  int32_t type = 1234;
  EXPECT_EQ(vnlWhatIs(pack, name, type), VNL_NO_NAME);
  EXPECT_EQ(name, "");
  EXPECT_EQ(type, 1234);
}

TEST(WhatIsFile, FailedFetchLeavesTheTypeAlone) {
  testdata::TempDir dir;
  std::string pack;
  std::string name = dir.file("missing.bin");
  int32_t type = 1234;
  EXPECT_EQ(vnlWhatIs(pack, name, type), VNL_NOT_FOUND);
  EXPECT_EQ(type, 1234);
}

TEST(WhatIsFile, NameIsOnlyCleanedAndTheContentDecides) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("lump"), testdata::DistinctPalette()));
  std::string pack;
  std::string name = dir.path() + "//./lump";
  int32_t type = -1;
  EXPECT_EQ(vnlWhatIs(pack, name, type), 0);
  EXPECT_EQ(type, VNL_TYPE_PALETTE);
  std::string expected = dir.path() + "/lump";
  for (char& c : expected)
    if (c == '/') c = '\\';
  EXPECT_EQ(name, expected);
}

TEST(WhatIsFile, PackMemberIsDetected) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("lumps.pak"),
                                  testdata::BuildPack({{"gfx/colormap.lmp", testdata::BuildColormap(64, 7)}})));
  std::string pack = dir.file("lumps");
  std::string name = "gfx/colormap.lmp";
  int32_t type = -1;
  EXPECT_EQ(vnlWhatIs(pack, name, type), 0);
  EXPECT_EQ(type, VNL_TYPE_COLORMAP);
  EXPECT_EQ(name, "gfx\\colormap.lmp");
}

int32_t DetectCorpusFile(const std::string& relative) {
  std::string pack;
  std::string name = testdata::CorpusFile(relative);
  if (name.empty()) ADD_FAILURE() << relative << " missing from the corpus";
  int32_t type = -1;
  int32_t result = vnlWhatIs(pack, name, type);
  EXPECT_EQ(result, 0) << relative;
  return type;
}

std::vector<std::string> CorpusFilesEndingIn(const std::string& folder, const std::string& ending) {
  std::vector<std::string> names;
  std::string path = testdata::CorpusDir() + "/" + folder;
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
        names.push_back(folder + "/" + name);
    }
    closedir(dir);
  }
  return names;
}

TEST(WhatIsCorpus, RealFilesAreRecognised) {
  SKIP_WITHOUT_CORPUS();
  std::vector<std::string> models = CorpusFilesEndingIn("progs", ".mdl");
  std::vector<std::string> sprites = CorpusFilesEndingIn("progs", ".spr");
  ASSERT_FALSE(models.empty());
  ASSERT_FALSE(sprites.empty());
  for (const std::string& model : models) EXPECT_EQ(DetectCorpusFile(model), VNL_TYPE_MDL) << model;
  for (const std::string& sprite : sprites) EXPECT_EQ(DetectCorpusFile(sprite), VNL_TYPE_SPR) << sprite;
  EXPECT_EQ(DetectCorpusFile("pak0.pak"), VNL_TYPE_PAK);
  EXPECT_EQ(DetectCorpusFile("gfx.wad"), VNL_TYPE_WAD2);
  EXPECT_EQ(DetectCorpusFile("gfx/palette.lmp"), VNL_TYPE_PALETTE);
  EXPECT_EQ(DetectCorpusFile("gfx/colormap.lmp"), VNL_TYPE_COLORMAP);
  EXPECT_EQ(DetectCorpusFile("gfx/conback.lmp"), VNL_TYPE_PICTURE);
}

}  // namespace
