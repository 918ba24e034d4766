#include <gtest/gtest.h>

#include <string>

#include "text.h"
#include "varnel/varnel.h"

namespace {

struct CleanCase {
  const char* input;
  const char* expected;
};

std::string Cleaned(const std::string& input, int32_t fileFlag) {
  std::string path = input;
  vnlCleanPath(path, fileFlag);
  return path;
}

void ExpectCleaned(const CleanCase* cases, size_t count, int32_t fileFlag) {
  for (size_t i = 0; i < count; ++i)
    EXPECT_EQ(Cleaned(cases[i].input, fileFlag), cases[i].expected) << "input [" << cases[i].input << "]";
}

template <size_t N>
void ExpectCleaned(const CleanCase (&cases)[N], int32_t fileFlag) {
  ExpectCleaned(cases, N, fileFlag);
}

TEST(CleanPath, SeparatorsBlanksAndDotsAreNormalised) {
  const CleanCase cases[] = {
      {"progs/player.mdl", "progs\\player.mdl"},
      {"progs\\player.mdl", "progs\\player.mdl"},
      {" maps / e1m1.bsp ", "maps\\e1m1.bsp"},
      {"a/./b//c", "a\\b\\c"},
      {"a\\/b", "a\\b"},
      {"./x", "x"},
      {".", ""},
      {"   ", ""},
      {"", ""},
      {"Progs/Player.MDL", "Progs\\Player.MDL"},  // case is kept
      {"a\t/b", "a\t\\b"},                        // only spaces are blanks
      {"a/b/", "a\\b"},
      {"a/b/ ", "a\\b"},
  };
  ExpectCleaned(cases, 1);
}

TEST(CleanPath, DotDotCancelsTheSlotBeforeIt) {
  const CleanCase cases[] = {
      {"a/b/../c", "a\\c"},
      {"a/..", ""},
      {"a//../b", "a\\b"},  // cancels the empty slot, not the one
                            // holding a
      {"../../x", "..\\..\\x"},
      {"a/../../x", "..\\x"},
      {"./../x", "..\\x"},
      {"a/b/c/../../d", "a\\d"},
      {" a / .. / b ", "b"},
  };
  ExpectCleaned(cases, 1);
}

// On this platform a leading separator makes a path absolute; the root survives
// cleaning and no ".." climbs above it.
TEST(CleanPath, LeadingSeparatorKeepsOneRootThatDotDotCannotClimb) {
  const CleanCase files[] = {
      {"/root/x", "\\root\\x"},
      {"\\root\\x", "\\root\\x"},
      {"//server/share", "\\server\\share"},
      {" /root/ x ", "\\root\\x"},
      {"/..", ""},
      {"/../x", "\\x"},
      {"/../../x", "\\x"},
      {"/a/../../x", "\\x"},
      {"/a//../../x", "\\x"},
      {"/a/b/../c", "\\a\\c"},
      {"/./x", "\\x"},
  };
  ExpectCleaned(files, 1);
  const CleanCase folders[] = {
      {"/", "\\"},
      {"/..", "\\"},
      {"/tmp/", "\\tmp\\"},
      {"/tmp/../..", "\\"},
  };
  ExpectCleaned(folders, 0);
}

TEST(CleanPath, FolderFlagEndsANonEmptyResultWithOneSeparator) {
  const CleanCase cases[] = {
      {"a/b", "a\\b\\"}, {"a/b/", "a\\b\\"}, {"a\\b\\\\", "a\\b\\"}, {".", ""},
      {"a/..", ""},      {"   ", ""},        {"..", "..\\"},
  };
  ExpectCleaned(cases, 0);
}

TEST(CleanPath, AnyNonZeroFlagMeansAFile) {
  EXPECT_EQ(Cleaned("a/b", 7), "a\\b");
  EXPECT_EQ(Cleaned("a/b", -1), "a\\b");
}

struct ForceCase {
  const char* path;
  const char* extensions;
  const char* expectedPath;
  const char* expectedExtensions;
};

TEST(ForceType, KeepsAFittingExtensionOrAppendsTheFirstWanted) {
  const ForceCase cases[] = {
      {"model", ".mdl", "model.mdl", ".mdl"},
      {"Model.MDL", ".mdl", "Model.MDL", ".mdl"},
      {"out", " .ASE .obj ", "out.ase", ".ase .obj"},
      {"out.obj", ".ase .obj", "out.obj", ".ase .obj"},
      {"x.m", ".mdl", "x.m", ".mdl"},  // ".m" occurs inside ".mdl"
      {"mdl", ".mdl", "mdl.mdl", ".mdl"},
      {"dir.old/model", ".mdl", "dir.old\\model.mdl", ".mdl"},
      {"a/b/../c.txt", ".ase .obj", "a\\c.txt.ase", ".ase .obj"},
      {"", ".mdl", "", ".mdl"},
      {"   ", " .MDL ", "", ".mdl"},
      {"/abs/model", ".mdl", "\\abs\\model.mdl", ".mdl"},
      {"name.", ".lmp", "name.", ".lmp"},  // "." occurs in every extension list
      {"name.lmp", "", "name.lmp", ""},
      {"name", "", "name", ""},
      {"a/b", "", "a\\b", ""},
  };
  for (const ForceCase& c : cases) {
    std::string path = c.path;
    std::string extensions = c.extensions;
    vnlForceType(path, extensions);
    EXPECT_EQ(path, c.expectedPath) << "path [" << c.path << "] extensions [" << c.extensions << "]";
    EXPECT_EQ(extensions, c.expectedExtensions) << "path [" << c.path << "]";
  }
}

TEST(Text, TrimBlanksRemovesSpacesAndNothingElse) {
  EXPECT_EQ(vnl::TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(vnl::TrimBlanks("\ta\t"), "\ta\t");
  EXPECT_EQ(vnl::TrimBlanks(std::string(" a\0 ", 4)), std::string("a\0", 2));
  EXPECT_EQ(vnl::TrimBlanks("    "), "");
}

TEST(Text, LowerCaseTurnsAToZAndLeavesOtherBytesInTheCLocale) {
  EXPECT_EQ(vnl::LowerCase("ABCXYZ az09 .MDL"), "abcxyz az09 .mdl");
  std::string high = "\xC4\xD6\xFF";
  EXPECT_EQ(vnl::LowerCase(high), high);
}

}  // namespace
