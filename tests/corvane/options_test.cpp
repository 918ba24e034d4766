// The option table and the 18 handlers, driven in-process through ParseCommandLine.
#include "options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "state.h"

namespace {

class CommandLineTest : public testing::Test {
 protected:
  int Parse(const std::vector<std::string>& args) { return ParseInto(state, args); }
  // A run of its own: the state and a table made for it.
  int ParseInto(ConverterState& run, const std::vector<std::string>& args) {
    OptionTable table = ProgramOptions();
    run.options.arguments = {"corvane"};
    run.options.arguments.insert(run.options.arguments.end(), args.begin(), args.end());
    testing::internal::CaptureStdout();
    int result = ParseCommandLine(run.options, table);
    shown_ = testing::internal::GetCapturedStdout();
    return result;
  }
  ConverterState state;
  std::string shown_;
};

// ---- the table ----

TEST(OptionTable, AddOptionNormalisesAndFillsOneSlotAtATime) {
  OptionTable table = NewOptionTable();
  std::string name = "  -FOO ", text = "  Do foo  ";
  AddOption(table, 0, name, nullptr, 4, text);
  EXPECT_EQ(name, "  -FOO ");  // the caller's strings are its own
  EXPECT_EQ(text, "  Do foo  ");
  ASSERT_EQ(table.size(), 1u);  // the empty start slot was used
  EXPECT_EQ(table[0].name, "-foo");
  EXPECT_EQ(table[0].description, "Do foo");
  EXPECT_TRUE(table[0].flag);
  EXPECT_EQ(table[0].handler, nullptr);
  EXPECT_EQ(table[0].value, 4);

  std::string second = "-bar", params = "[X]";
  OptionHandler handler = [](RunOptions&, std::vector<std::string>&) {};
  AddOption(table, 1, second, handler, 1, params);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_NE(table[1].handler, nullptr);
  EXPECT_FALSE(table[1].flag);
}

TEST(OptionTable, SlotWithoutDescriptionIsTakenByTheNextOption) {
  OptionTable table = NewOptionTable();
  std::string a = "-a", empty = "", b = "-b", text = "B";
  AddOption(table, 0, a, nullptr, 1, empty);
  AddOption(table, 0, b, nullptr, 2, text);
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].name, "-b");
  EXPECT_EQ(table[0].value, 2);
}

TEST(OptionTable, ProgramRegistersTwentyTwoOptionsInUsageOrder) {
  const OptionTable options = ProgramOptions();
  const char* names[] = {"-model",     "-pal",     "-frame",      "-scale",      "-dst",    "-skinhint",
                         "-skinsize",  "-outimg",  "-skinnoback", "-report",     "-swap",   "-swapyz",
                         "-invh",      "-replace", "-paklist",    "-pakextract", "-sprite", "-lump",
                         "-pakcreate", "-image",   "-group",      "-wadpics"};
  ASSERT_EQ(options.size(), 22u);
  for (size_t i = 0; i < 22; ++i) {
    EXPECT_EQ(options[i].name, names[i]);
    EXPECT_TRUE((options[i].handler != nullptr) != options[i].flag) << names[i];
  }
  struct Flag {
    size_t index;
    uint32_t bit;
  } flags[] = {{8, OPT_SKINNOBACK}, {10, OPT_SWAP},    {11, OPT_SWAPYZ},
               {12, OPT_INVH},      {13, OPT_REPLACE}, {21, OPT_WADPICS}};
  for (const Flag& f : flags) {
    EXPECT_TRUE(options[f.index].flag);
    EXPECT_EQ(uint32_t(options[f.index].value), f.bit);
  }
  EXPECT_EQ(options[6].value, 2);  // -skinsize takes two
}

// ---- the parse ----

TEST_F(CommandLineTest, FlagsAreSetAndAnnouncedOnce) {
  EXPECT_EQ(Parse({"-swapyz", "-REPLACE", "-swapyz"}), 0);
  EXPECT_EQ(state.options.flags, OPT_SWAPYZ | OPT_REPLACE);
  EXPECT_EQ(shown_, ":: OPTIONS\n  Swap Y & Z coordinates\n  Always replace existing files\n");
}

TEST_F(CommandLineTest, ParametersAreTakenVerbatimEvenWhenTheyLookLikeOptions) {
  EXPECT_EQ(Parse({"-model", "-pal"}), 0);
  EXPECT_EQ(state.options.modelFile, "-pal.mdl");
  EXPECT_TRUE(state.options.paletteFile.empty());
}

TEST_F(CommandLineTest, MissingSecondParameterStillRunsTheHandler) {
  state.options.skinHeight = 77;
  EXPECT_EQ(Parse({"-skinsize", "128"}), 1);
  EXPECT_EQ(state.options.skinWidth, 128);
  EXPECT_EQ(state.options.skinHeight, 0);
  EXPECT_EQ(shown_, "Missing parameters for: \"-skinsize\"\n");
}

TEST_F(CommandLineTest, UnknownArgumentDoesNotStopLaterOptions) {
  EXPECT_EQ(Parse({"-what", "-swap", "loose", "-frame", "X"}), 1);
  EXPECT_EQ(state.options.flags, OPT_SWAP);
  EXPECT_EQ(state.options.frameName, "x");
  EXPECT_EQ(shown_, "Argument unknown: \"-what\"\n:: OPTIONS\n  Swap triangles side\nLoose parameter: \"loose\"\n");
}

TEST_F(CommandLineTest, HandlersStoreWhatTheModesRead) {
  struct Case {
    std::vector<std::string> args;
    std::function<void(const ConverterState&)> check;
  } cases[] = {
      {{"-model", "progs/x"},
       [](const ConverterState& parsed) {
         EXPECT_EQ(parsed.options.modelFile, "progs\\x.mdl");
         EXPECT_EQ(parsed.options.baseName, "x");
         EXPECT_EQ(parsed.options.dstFile, "x.ase");
       }},
      {{"-dst", "out.obj", "-model", "x"},
       [](const ConverterState& parsed) { EXPECT_EQ(parsed.options.dstFile, "out.obj"); }},
      {{"-model", "x", "-dst", "out"},
       [](const ConverterState& parsed) { EXPECT_EQ(parsed.options.dstFile, "out.ase"); }},
      {{"-model", "a::b::c"},
       [](const ConverterState& parsed) {
         EXPECT_EQ(parsed.options.modelPack, "");
         EXPECT_EQ(parsed.options.modelFile, "");
         EXPECT_EQ(parsed.options.dstFile, "");
       }},
      {{"-model", "pak0::progs/soldier"},
       [](const ConverterState& parsed) {
         EXPECT_EQ(parsed.options.modelPack, "pak0.pak");
         EXPECT_EQ(parsed.options.modelFile, "progs\\soldier.mdl");
       }},
      {{"-pal", "gfx/palette"},
       [](const ConverterState& parsed) { EXPECT_EQ(parsed.options.paletteFile, "gfx\\palette.lmp"); }},
      {{"-frame", "  WALK1  "}, [](const ConverterState& parsed) { EXPECT_EQ(parsed.options.frameName, "walk1"); }},
      {{"-skinhint", "hint.tga"}, [](const ConverterState& parsed) { EXPECT_EQ(parsed.options.hintFile, "hint.tga"); }},
      {{"-skinsize", " 64px", "-3"},
       [](const ConverterState& parsed) {
         EXPECT_EQ(parsed.options.skinWidth, 64);
         EXPECT_EQ(parsed.options.skinHeight, -3);
       }},
      {{"-report", "r"}, [](const ConverterState& parsed) { EXPECT_EQ(parsed.options.reportFile, "r.txt"); }},
      {{"-paklist", "pak0.pak::list"},
       [](const ConverterState& parsed) {
         EXPECT_EQ(parsed.options.listPack, "pak0.pak");
         EXPECT_EQ(parsed.options.listFile, "list.txt");
         EXPECT_EQ(parsed.options.reportFile, "list.txt");
       }},
      {{"-pakextract", "pak0::progs/player.mdl"},
       [](const ConverterState& parsed) {
         EXPECT_EQ(parsed.options.extractPack, "pak0.pak");
         EXPECT_EQ(parsed.options.extractFile, "progs\\player.mdl");
         EXPECT_EQ(parsed.options.baseName, "player.mdl");
       }},
      {{"-sprite", "progs/s_light"},
       [](const ConverterState& parsed) {
         EXPECT_EQ(parsed.options.spriteFile, "progs\\s_light.spr");
         EXPECT_EQ(parsed.options.baseName, "s_light");
       }},
      {{"-lump", "gfx/conback"},
       [](const ConverterState& parsed) {
         EXPECT_EQ(parsed.options.lumpFile, "gfx\\conback.lmp");
         EXPECT_EQ(parsed.options.baseName, "conback");
       }},
      {{"-frame", "a", "-frame", "b"}, [](const ConverterState& parsed) { EXPECT_EQ(parsed.options.frameName, "b"); }},
  };
  for (Case& c : cases) {
    ConverterState run;
    EXPECT_EQ(ParseInto(run, c.args), 0) << c.args[0] << " " << shown_;
    c.check(run);
  }
}

TEST_F(CommandLineTest, OutImgPicksFormatExtensionAndFlags) {
  struct Case {
    const char* kind;
    const char* ext;
    int32_t format;
    int32_t flags;
  } cases[] = {{"bmp", "bmp", 0, 0},    {"PNG", "png", 13, 6}, {"jpg", "jpg", 2, 128},
               {"JPEG", "jpg", 2, 128}, {"gif", "tga", 17, 0}, {"tga", "tga", 17, 0}};
  for (const Case& c : cases) {
    Parse({"-outimg", c.kind});
    EXPECT_EQ(state.options.imageExt, c.ext) << c.kind;
    EXPECT_EQ(state.options.imageFormat, c.format) << c.kind;
    EXPECT_EQ(state.options.imageFlags, c.flags) << c.kind;
  }
}

TEST_F(CommandLineTest, ScaleKeepsItsValueForZeroAndNonFiniteFactors) {
  struct Case {
    const char* factor;
    float scale;
  } cases[] = {{"2", 2},    {"0", 2},     {"abc", 2},  {"nan", 2},       {"inf", 2},      {"-INF", 2},
               {"1e40", 2}, {"1e-60", 2}, {"0x20", 2}, {" -1.5", -1.5f}, {"3.25x", 3.25f}};
  for (const Case& c : cases) {
    state.options.scale = 2;
    Parse({"-scale", c.factor});
    EXPECT_EQ(state.options.scale, c.scale) << c.factor;
  }
}

// ---- numbers ----

TEST(ReadNumbers, IntegersSaturateAndStopAtTheFirstStrangeCharacter) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {{"12", 12},
               {"  -7", -7},
               {"+5", 5},
               {"3x", 3},
               {"x3", 0},
               {"", 0},
               {"2147483647", 2147483647},
               {"2147483648", 2147483647},
               {"-2147483648", INT32_MIN},
               {"-99999999999999999999", INT32_MIN},
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
