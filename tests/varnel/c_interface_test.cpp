// The C interface as C callers meet it: names out through a caller's buffer,
// null records refused, and the C++ forms in the header rewriting the caller's
// names exactly as the loaders clean them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "builders.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

TEST(CBuffers, ReturnTheWholeLengthAndWriteWhatFitsTerminated) {
  struct Case {
    size_t capacity;
    const char* written;
  } cases[] = {{64, "file no found"}, {14, "file no found"}, {13, "file no foun"}, {2, "f"}, {1, ""}};
  for (const Case& c : cases) {
    char text[65];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(vnlErrorString(VNL_NOT_FOUND, text, c.capacity), std::strlen("file no found")) << c.capacity;
    EXPECT_STREQ(text, c.written) << c.capacity;
    EXPECT_EQ(text[c.capacity], '#') << "wrote past the capacity " << c.capacity;
  }
}

TEST(CBuffers, ANullBufferOfCapacityZeroAsksForTheLengthAlone) {
  EXPECT_EQ(vnlErrorString(VNL_NOT_MDL, nullptr, 0), std::strlen("file is not a Quake MDL"));
  EXPECT_EQ(vnlCleanPath("a/./b/../c", 1, nullptr, 0), std::strlen("a\\c"));
  EXPECT_EQ(vnlForceType("a/b", ".mdl", nullptr, 0), std::strlen("a\\b.mdl"));
}

TEST(CBuffers, ACodeWithoutMessageWritesAnEmptyText) {
  char text[8] = "old";
  EXPECT_EQ(vnlErrorString(9, text, sizeof text), 0u);
  EXPECT_STREQ(text, "");
}

TEST(CBuffers, APathMayBeCleanedInItsOwnBuffer) {
  char path[32] = " a/./b/../c.mdl ";
  EXPECT_EQ(vnlCleanPath(path, 1, path, sizeof path), 7u);
  EXPECT_STREQ(path, "a\\c.mdl");
  char forced[32] = "progs/ogre";
  EXPECT_EQ(vnlForceType(forced, " .MDL ", forced, sizeof forced), 14u);
  EXPECT_STREQ(forced, "progs\\ogre.mdl");
}

TEST(CRecords, NullRecordsAreRefusedAsMissingAndKillsIgnoreThem) {
  const uint8_t byte = 0;
  EXPECT_EQ(vnlModelLoad(&byte, 1, nullptr), VNL_NO_BLOCK);
  EXPECT_EQ(vnlSpriteLoad(&byte, 1, nullptr), VNL_NO_BLOCK);
  EXPECT_EQ(vnlPaletteLoad(&byte, 1, nullptr), VNL_NO_BLOCK);
  EXPECT_EQ(vnlColorMapLoad(&byte, 1, nullptr), VNL_NO_BLOCK);
  EXPECT_EQ(vnlPictureLoad(&byte, 1, nullptr), VNL_NO_BLOCK);
  EXPECT_EQ(VNLWADGETINFO(&byte, 1, nullptr), VNL_NO_BLOCK);
  EXPECT_EQ(vnlWhatIs(&byte, 1, nullptr), VNL_NO_BLOCK);
  EXPECT_EQ(vnlModelLoadFile("", "x.mdl", nullptr), VNL_NO_BLOCK);
  EXPECT_EQ(vnlPackInfoRead("x.pak", nullptr), VNL_NO_BLOCK);
  EXPECT_EQ(vnlPackFileLoad("", "x", nullptr, nullptr), VNL_NO_BLOCK);
  vnlModelKill(nullptr);
  vnlSpriteKill(nullptr);
  vnlPaletteKill(nullptr);
  vnlPictureKill(nullptr);
  vnlPackInfoKill(nullptr);
  VNLWADKILL(nullptr);
  EXPECT_EQ(vnlFrameNumber(nullptr, "x"), 0);
  EXPECT_EQ(vnlFrameOffset(nullptr, "x"), 0u);
  EXPECT_EQ(vnlPictureToRGB(nullptr, nullptr, nullptr), nullptr);
}

TEST(CRecords, TheFileFormTakesNullNamesAsEmpty) {
  VNLMODEL_T model{};
  EXPECT_EQ(vnlModelLoadFile(nullptr, nullptr, &model), VNL_NO_NAME);
  EXPECT_EQ(vnlMapLoadFile(nullptr, nullptr), VNL_NO_NAME);
}

TEST(CRecords, ANullLevelUsesThePlainPalette) {
  VNLPALETTE_T palette{};
  const testdata::Bytes colours = testdata::DistinctPalette();
  ASSERT_EQ(vnlPaletteLoad(colours.data(), uint32_t(colours.size()), &palette), VNL_OK);
  uint8_t pixels[2] = {1, 2};
  VNLPICTURE_T picture{2, 1, pixels};
  uint32_t* rgb = vnlPictureToRGB(&picture, &palette, nullptr);
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(rgb[0], palette.colors[1]);
  EXPECT_EQ(rgb[1], palette.colors[2]);
  std::free(rgb);
  vnlPaletteKill(&palette);
}

// The C++ forms hand the caller's strings back as the loader used them.
TEST(CxxForms, FileFormsRewriteTheNamesAsTheLoaderReadsThem) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("m.mdl"), testdata::BuildModel(testdata::SmallModel())));
  struct Case {
    std::string pack, file, expectedPack, expectedFile;
    int32_t code;
  } cases[] = {
      {"", dir.path() + "/./m", "", dir.path() + "/m.mdl", VNL_OK},
      {"", dir.path() + "/none", "", dir.path() + "/none.mdl", VNL_NOT_FOUND},
      {dir.path() + "/p", "/progs/x", dir.path() + "/p.pak", "progs\\x.mdl", VNL_NOT_FOUND},
      {"p", "  ", "p", "", VNL_NO_NAME},  // an empty name stops before the pack name
  };
  for (Case& c : cases) {
    VNLMODEL_T model{};
    EXPECT_EQ(vnlModelLoad(c.pack, c.file, model), c.code) << c.file;
    std::string expectedFile = c.expectedFile, expectedPack = c.expectedPack;
    for (char& ch : expectedFile)
      if (ch == '/') ch = '\\';
    for (char& ch : expectedPack)
      if (ch == '/') ch = '\\';
    EXPECT_EQ(c.file, expectedFile);
    EXPECT_EQ(c.pack, expectedPack);
    vnlModelKill(model);
  }
}

TEST(CxxForms, ErrorStringLeavesTheTextAloneForCodesWithoutMessage) {
  std::string text = "kept";
  vnlErrorString(9, text);
  EXPECT_EQ(text, "kept");
  vnlErrorString(VNL_NOT_PAK, text);
  EXPECT_EQ(text, "file is not a Quake PAK");
}

}  // namespace
