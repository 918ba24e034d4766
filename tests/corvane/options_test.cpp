// The option table and the 18 handlers, driven in-process through ParseCommandLine.
#include "options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "state.h"

namespace {

class CommandLineTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetState();
    CreateOptionTable();
    RegisterOptions();
  }
  void TearDown() override {
    ResetState();
    CreateOptionTable();
  }
  int Parse(const std::vector<std::string>& args) {
    gArguments = {"corvane"};
    gArguments.insert(gArguments.end(), args.begin(), args.end());
    testing::internal::CaptureStdout();
    int result = ParseCommandLine();
    shown_ = testing::internal::GetCapturedStdout();
    return result;
  }
  std::string shown_;
};

// ---- the table ----

TEST(OptionTable, AddOptionNormalisesAndFillsOneSlotAtATime) {
  CreateOptionTable();
  uint32_t word = 0;
  std::string name = "  -FOO ", text = "  Do foo  ";
  AddOption(0, name, &word, 4, text, 0);
  EXPECT_EQ(name, "-foo");
  EXPECT_EQ(text, "Do foo");
  ASSERT_EQ(gOptionTable.size(), 1u);  // the empty start slot was used
  EXPECT_EQ(gOptionTable[0].name, "-foo");
  EXPECT_EQ(gOptionTable[0].target, &word);
  EXPECT_EQ(gOptionTable[0].handler, nullptr);
  EXPECT_EQ(gOptionTable[0].value, 4);

  std::string second = "-bar", params = "[X]";
  OptionHandler handler = [](std::vector<std::string>&) {};
  AddOption(1, second, handler, 1, params, 12);
  ASSERT_EQ(gOptionTable.size(), 2u);
  EXPECT_NE(gOptionTable[1].handler, nullptr);
  EXPECT_EQ(gOptionTable[1].target, nullptr);
  EXPECT_EQ(gOptionTable[1].colour, 12);
  ClearOptions();
  EXPECT_TRUE(gOptionTable.empty());
  CreateOptionTable();
}

TEST(OptionTable, SlotWithoutDescriptionIsTakenByTheNextOption) {
  CreateOptionTable();
  uint32_t word = 0;
  std::string a = "-a", empty = "", b = "-b", text = "B";
  AddOption(0, a, &word, 1, empty, 0);
  AddOption(0, b, &word, 2, text, 0);
  ASSERT_EQ(gOptionTable.size(), 1u);
  EXPECT_EQ(gOptionTable[0].name, "-b");
  EXPECT_EQ(gOptionTable[0].value, 2);
  CreateOptionTable();
}

TEST(OptionTable, ProgramRegistersEighteenOptionsInUsageOrder) {
  CreateOptionTable();
  RegisterOptions();
  const char* names[] = {"-model",  "-pal",    "-frame",  "-scale",  "-dst",     "-skinhint",
                         "-skinsize", "-outimg", "-skinnoback", "-report", "-swap", "-swapyz",
                         "-invh",   "-replace", "-paklist", "-pakextract", "-sprite", "-lump"};
  ASSERT_EQ(gOptionTable.size(), 18u);
  for (size_t i = 0; i < 18; ++i) {
    EXPECT_EQ(gOptionTable[i].name, names[i]);
    EXPECT_EQ(gOptionTable[i].colour, 0);
    EXPECT_TRUE((gOptionTable[i].handler != nullptr) != (gOptionTable[i].target != nullptr)) << names[i];
  }
  struct Flag {
    size_t index;
    uint32_t bit;
  } flags[] = {{8, OPT_SKINNOBACK}, {10, OPT_SWAP}, {11, OPT_SWAPYZ}, {12, OPT_INVH}, {13, OPT_REPLACE}};
  for (const Flag& f : flags) {
    EXPECT_EQ(gOptionTable[f.index].target, &gState.flags);
    EXPECT_EQ(uint32_t(gOptionTable[f.index].value), f.bit);
  }
  EXPECT_EQ(gOptionTable[6].value, 2);  // -skinsize takes two
  CreateOptionTable();
}

// ---- the parse ----

TEST_F(CommandLineTest, FlagsAreSetAndAnnouncedOnce) {
  EXPECT_EQ(Parse({"-swapyz", "-REPLACE", "-swapyz"}), 0);
  EXPECT_EQ(gState.flags, OPT_SWAPYZ | OPT_REPLACE);
  EXPECT_EQ(shown_, ":: OPTIONS\n  Swap Y & Z coordinates\n  Always replace existing files\n");
}

TEST_F(CommandLineTest, ParametersAreTakenVerbatimEvenWhenTheyLookLikeOptions) {
  EXPECT_EQ(Parse({"-model", "-pal"}), 0);
  EXPECT_EQ(gState.modelFile, "-pal.mdl");
  EXPECT_TRUE(gState.paletteFile.empty());
}

TEST_F(CommandLineTest, MissingSecondParameterStillRunsTheHandler) {
  gState.skinHeight = 77;
  EXPECT_EQ(Parse({"-skinsize", "128"}), 1);
  EXPECT_EQ(gState.skinWidth, 128);
  EXPECT_EQ(gState.skinHeight, 0);
  EXPECT_EQ(shown_, "Missing parameters for: \"-skinsize\"\n");
}

TEST_F(CommandLineTest, UnknownArgumentDoesNotStopLaterOptions) {
  EXPECT_EQ(Parse({"-what", "-swap", "loose", "-frame", "X"}), 1);
  EXPECT_EQ(gState.flags, OPT_SWAP);
  EXPECT_EQ(gState.frameName, "x");
  EXPECT_EQ(shown_, "Argument unknown: \"-what\"\n:: OPTIONS\n  Swap triangles side\nLoose parameter: \"loose\"\n");
}

TEST_F(CommandLineTest, HandlersStoreWhatTheModesRead) {
  struct Case {
    std::vector<std::string> args;
    std::function<void()> check;
  } cases[] = {
      {{"-model", "progs/x"}, [] {
         EXPECT_EQ(gState.modelFile, "progs\\x.mdl");
         EXPECT_EQ(gState.baseName, "x");
         EXPECT_EQ(gState.dstFile, "x.ase");
       }},
      {{"-dst", "out.obj", "-model", "x"}, [] { EXPECT_EQ(gState.dstFile, "out.obj"); }},
      {{"-model", "x", "-dst", "out"}, [] { EXPECT_EQ(gState.dstFile, "out.ase"); }},
      {{"-model", "a::b::c"}, [] {
         EXPECT_EQ(gState.modelPack, "");
         EXPECT_EQ(gState.modelFile, "");
         EXPECT_EQ(gState.dstFile, "");
       }},
      {{"-model", "pak0::progs/soldier"}, [] {
         EXPECT_EQ(gState.modelPack, "pak0.pak");
         EXPECT_EQ(gState.modelFile, "progs\\soldier.mdl");
       }},
      {{"-pal", "gfx/palette"}, [] { EXPECT_EQ(gState.paletteFile, "gfx\\palette.lmp"); }},
      {{"-frame", "  WALK1  "}, [] { EXPECT_EQ(gState.frameName, "walk1"); }},
      {{"-skinhint", "hint.tga"}, [] { EXPECT_EQ(gState.hintFile, "hint.tga"); }},
      {{"-skinsize", " 64px", "-3"}, [] {
         EXPECT_EQ(gState.skinWidth, 64);
         EXPECT_EQ(gState.skinHeight, -3);
       }},
      {{"-report", "r"}, [] { EXPECT_EQ(gState.reportFile, "r.txt"); }},
      {{"-paklist", "pak0.pak::list"}, [] {
         EXPECT_EQ(gState.listPack, "pak0.pak");
         EXPECT_EQ(gState.listFile, "list.txt");
         EXPECT_EQ(gState.reportFile, "list.txt");
       }},
      {{"-pakextract", "pak0::progs/player.mdl"}, [] {
         EXPECT_EQ(gState.extractPack, "pak0.pak");
         EXPECT_EQ(gState.extractFile, "progs\\player.mdl");
         EXPECT_EQ(gState.baseName, "player.mdl");
       }},
      {{"-sprite", "progs/s_light"}, [] {
         EXPECT_EQ(gState.spriteFile, "progs\\s_light.spr");
         EXPECT_EQ(gState.baseName, "s_light");
       }},
      {{"-lump", "gfx/conback"}, [] {
         EXPECT_EQ(gState.lumpFile, "gfx\\conback.lmp");
         EXPECT_EQ(gState.baseName, "conback");
       }},
      {{"-frame", "a", "-frame", "b"}, [] { EXPECT_EQ(gState.frameName, "b"); }},
  };
  for (Case& c : cases) {
    ResetState();
    EXPECT_EQ(Parse(c.args), 0) << c.args[0] << " " << shown_;
    c.check();
  }
}

TEST_F(CommandLineTest, OutImgPicksFormatExtensionAndFlags) {
  struct Case {
    const char* kind;
    const char* ext;
    int32_t format;
    int32_t flags;
  } cases[] = {{"bmp", "bmp", 0, 0},   {"PNG", "png", 13, 6},  {"jpg", "jpg", 2, 128},
               {"JPEG", "jpg", 2, 128}, {"gif", "tga", 17, 0}, {"tga", "tga", 17, 0}};
  for (const Case& c : cases) {
    Parse({"-outimg", c.kind});
    EXPECT_EQ(gState.imageExt, c.ext) << c.kind;
    EXPECT_EQ(gState.imageFormat, c.format) << c.kind;
    EXPECT_EQ(gState.imageFlags, c.flags) << c.kind;
  }
}

TEST_F(CommandLineTest, ScaleKeepsItsValueForZeroAndNonFiniteFactors) {
  struct Case {
    const char* factor;
    float scale;
  } cases[] = {{"2", 2},     {"0", 2},    {"abc", 2},   {"nan", 2},  {"inf", 2},     {"-INF", 2},
               {"1e40", 2},  {"1e-60", 2}, {"0x20", 2}, {" -1.5", -1.5f}, {"3.25x", 3.25f}};
  for (const Case& c : cases) {
    gState.scale = 2;
    Parse({"-scale", c.factor});
    EXPECT_EQ(gState.scale, c.scale) << c.factor;
  }
}

// ---- numbers ----

TEST(ReadNumbers, IntegersSaturateAndStopAtTheFirstStrangeCharacter) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {{"12", 12},          {"  -7", -7},        {"+5", 5},          {"3x", 3},
               {"x3", 0},           {"", 0},             {"2147483647", 2147483647},
               {"2147483648", 2147483647}, {"-2147483648", INT32_MIN}, {"-99999999999999999999", INT32_MIN},
               {"99999999999999999999999", INT32_MAX}};
  for (const Case& c : cases) EXPECT_EQ(ReadInteger(c.text), c.value) << c.text;
}

TEST(ReadNumbers, DecimalsAreDecimalOnly) {
  EXPECT_EQ(ReadDecimal("0x10"), 0);
  EXPECT_EQ(ReadDecimal("-0X10"), 0);
  EXPECT_EQ(ReadDecimal(" 1.5e1z"), 15);
  EXPECT_EQ(ReadDecimal("."), 0);
  EXPECT_TRUE(std::isinf(ReadDecimal("1e999")));
}

}  // namespace
