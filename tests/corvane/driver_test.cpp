// The corvane binary end to end: the usage screen, command-line messages, the
// model mode's log and failures, and the choice of mode.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <utility>

#include "builders.h"
#include "corvane_run.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using corvane_test::Count;
using corvane_test::Lines;
using corvane_test::RunCorvane;
using corvane_test::RunResult;
using corvane_test::WriteModelAndPalette;

// The model endings a refused -dst is told about: the glTF ones only where they are built.
#if CORVANE_GLTF
const std::string kWrittenEndings = "(.ase, .obj, .glb, .gltf, .mdl)";
#else
const std::string kWrittenEndings = "(.ase, .obj, .mdl)";
#endif

// Width and height of a TGA file (little-endian at bytes 12 and 14).
std::pair<int, int> TgaSize(const std::string& path) {
  testdata::Bytes bytes = testdata::ReadFile(path);
  if (bytes.size() < 18) return {-1, -1};
  return {bytes[12] | bytes[13] << 8, bytes[14] | bytes[15] << 8};
}

const char kUsageScreen[] =
    "Syntax: CORVANE.EXE [Commands]\n"
    "  -model       [Source(.MDL)]\n"
    "  -pal         [Palette(.LMP)]\n"
    "  -frame       [FrameName]\n"
    "  -scale       [RescaleFactor]\n"
    "  -dst         [Output(.ASE|.OBJ|.GLB|.GLTF)]\n"
    "  -skinhint    [Picture]\n"
    "  -skinsize    [Width] [Height]\n"
    "  -outimg      [TGA|PNG|BMP|JPG]\n"
    "  -skinnoback  Remove the back side of the skin\n"
    "  -report      [Report(.TXT)]\n"
    "  -swap        Swap triangles side\n"
    "  -swapyz      Swap Y & Z coordinates\n"
    "  -invh        Invert UVMap-Y coordinates\n"
    "  -replace     Always replace existing files\n"
    "  -paklist     [Source(.PAK)::Report(.TXT)]\n"
    "  -pakextract  [Source(.PAK)::File]\n"
    "  -sprite      [Source(.SPR)]\n"
    "  -lump        [Source(.LMP)]\n"
    "  -pakcreate   [Files] -dst [Output(.PAK)]\n"
    "  -image       [Images] -dst [Output(.LMP|.SPR|.WAD)]\n"
    "  -group       [FrameInterval]\n"
    "  -wadpics     Make WAD2 lumps pictures, not mip textures\n"
    "\n"
    "Note that \"-model\" is the only required parameter unless a special\n"
    "parameter is used (see the readme file for more details). You can\n"
    "specify a packed ressource as so: \"PAK0.PAK::progs/soldier.mdl\"\n";

// ---- usage screen and banner ----

TEST(Usage, NoArgumentShowsBannerAndUsageScreenAndFails) {
  testdata::TempDir dir;
  RunResult run = RunCorvane(dir.path(), {}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, corvane_test::ExpectedBanner() + kUsageScreen);
  EXPECT_EQ(Count(run.out, "!!ERROR!!"), 0u);
}

TEST(Usage, EmptyFirstArgumentIsALooseParameter) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"", "-model", "m.mdl"}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.after, "Loose parameter: \"\"\n");
}

TEST(Usage, HelpWordsShowTheUsageScreenAndSucceed) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  for (const char* word : {"--help", "-h", "-?", "--HELP", " -H "}) {
    RunResult run = RunCorvane(dir.path(), {word}, "", true);
    EXPECT_EQ(run.code, 0) << word;
    EXPECT_EQ(run.out, corvane_test::ExpectedBanner() + kUsageScreen) << word;
  }
  // Wherever an option may stand it is a request and nothing runs; as an
  // option's parameter it is a name.
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-swap", "-h"}, "", true);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.after, kUsageScreen);
  EXPECT_FALSE(testdata::FileExists(dir.file("m.ase")));
  run = RunCorvane(dir.path(), {"-model", "-h"}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.after, ":: SOURCES\n!!ERROR!! Source model: file no found\n");
}

TEST(Usage, VersionIsOneLineWithTheLibrarysVersion) {
  testdata::TempDir dir;
  for (const char* word : {"--version", "--Version"}) {
    RunResult run = RunCorvane(dir.path(), {"-swap", word}, "", true);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "corvane 1.5 (varnel 1.5.0)\n");
  }
}

TEST(Usage, BannerRuleIsEightyLineCharactersEvenWhenPiped) {
  testdata::TempDir dir;
  RunResult run = RunCorvane(dir.path(), {"-model", "nope"}, "", true);
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0].size(), 80u * 3);
  EXPECT_EQ(Count(lines[0], "\u2500"), 80u);
  EXPECT_EQ(lines[4], lines[0]);
  EXPECT_EQ(lines[1], "  CORVANE Quake Model Converter   Version 1.5");
  EXPECT_EQ(lines[2].substr(0, 18), std::string(17, ' ') + "F");
  EXPECT_LE(lines[2].size(), 80u);
  EXPECT_EQ(lines[3], " One hundred bucks to whoever recognize the layout I'm shamelessly ripping off.");
}

// ---- command-line messages ----

TEST(CommandLine, UnknownAndLooseArgumentsAreNamedAndNoModeRuns) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-foo", "-model", "m.mdl", "bar"}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.after, "Argument unknown: \"-foo\"\nLoose parameter: \"bar\"\n");
  EXPECT_FALSE(testdata::FileExists(dir.file("m.ase")));
}

TEST(CommandLine, MissingParameterNamesTheOptionAsTyped) {
  testdata::TempDir dir;
  RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "-SkinSize", "128"}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.after, "Missing parameters for: \"-SkinSize\"\n");
}

TEST(CommandLine, OptionAsLastArgumentIsMissingItsParameter) {
  testdata::TempDir dir;
  RunResult run = RunCorvane(dir.path(), {"-model"}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.after, "Missing parameters for: \"-model\"\n");
}

TEST(CommandLine, OptionNamesMatchWhateverTheirCase) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-MODEL", "m.mdl", " -Frame ", "STAND2"}, "", true);
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("  Model:   \"m.mdl\"\n  Frame:   \"stand2\"\n"), std::string::npos) << run.after;
}

TEST(CommandLine, FlagGivenTwiceIsAnnouncedOnce) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-swap", "-model", "m.mdl", "-SWAP", "-invh"}, "", true);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.after.substr(0, run.after.find(":: SOURCES")),
            ":: OPTIONS\n  Swap triangles side\n  Invert UVMap-Y coordinates\n");
}

TEST(CommandLine, EmptyArgumentIsALooseParameterAndTheParseGoesOn) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "", "-foo", "-swap"}, "", true);
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_EQ(run.after, "Loose parameter: \"\"\nArgument unknown: \"-foo\"\n:: OPTIONS\n  Swap triangles side\n");
}

// An unset shell variable as the model: the later options still count, and the
// mode refuses the empty name instead of converting nothing silently.
TEST(CommandLine, EmptyValueIsAnEmptyNameTheModeRefuses) {
  testdata::TempDir dir;
  RunResult run = RunCorvane(dir.path(), {"-model", "", "-dst", "x.obj", "-replace"}, "", true);
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_EQ(run.after,
            ":: OPTIONS\n  Always replace existing files\n:: SOURCES\n"
            "!!ERROR!! Source model: no file name specified\n");
}

TEST(CommandLine, DoubleSeparatorLeavesThePackListUnchosen) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-paklist", "a::b::c", "-model", "m.mdl"}, "", true);
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(Count(run.out, ":: PACK LIST"), 0u);
  EXPECT_EQ(Count(run.out, ":: SOURCES"), 1u);
}

TEST(CommandLine, DoubleSeparatorLeavesTheModelUnnamed) {
  testdata::TempDir dir;
  RunResult run = RunCorvane(dir.path(), {"-model", "a::b::c"}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.after, ":: SOURCES\n!!ERROR!! Source model: no file name specified\n");
}

// ---- model mode ----

TEST(ModelMode, LogNamesSourcesFrameAndOutputs) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "-pal", "pal.lmp", "-report", "r"}, "", true);
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(run.after,
            ":: SOURCES\n"
            "  Model:   \"m.mdl\"\n"
            "  Frame:   \"stand1\"\n"
            "  Palette: \"pal.lmp\"\n"
            ":: OUTPUTS\n"
            "  Model:   \"m.ase\"\n"
            "  Picture: \"m_0.tga\"\n"
            "  Report:  \"r.txt\"\n");
  EXPECT_TRUE(testdata::FileExists(dir.file("m.ase")));
  EXPECT_TRUE(testdata::FileExists(dir.file("m_0.tga")));
  EXPECT_TRUE(testdata::FileExists(dir.file("r.txt")));
}

TEST(ModelMode, ModelFromAPackLandsInTheCurrentFolder) {
  testdata::TempDir dir;
  testdata::WriteFile(dir.file("game.pak"),
                      testdata::BuildPack({{"progs/m.mdl", testdata::BuildModel(testdata::SmallModel())},
                                           {"gfx/palette.lmp", testdata::DistinctPalette()}}));
  RunResult run =
      RunCorvane(dir.path(), {"-model", "game.pak::progs/m", "-pal", "game::gfx/palette", "-dst", "x.obj"}, "", true);
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("  Model:   \"progs\\m.mdl\"\n"), std::string::npos) << run.after;
  EXPECT_NE(run.after.find("  Palette: \"gfx\\palette.lmp\"\n"), std::string::npos);
  EXPECT_NE(run.after.find(":: OUTPUTS\n  Model:   \"x.obj\"\n"), std::string::npos);
  EXPECT_TRUE(testdata::FileExists(dir.file("x.obj")));
  EXPECT_TRUE(testdata::FileExists(dir.file("x.mtl")));
  EXPECT_TRUE(testdata::FileExists(dir.file("m_0.tga")));
}

TEST(ModelMode, RealModelFromTheCorpusPackConverts) {
  SKIP_WITHOUT_CORPUS();
  const std::string pack = testdata::CorpusFile("pak0.pak");
  if (pack.empty()) GTEST_SKIP() << "no pak0.pak in the corpus";
  std::string packName = pack, fileName = "progs/h_dog.mdl";
  VNLMODEL_T model{};
  ASSERT_EQ(vnlModelLoad(packName, fileName, model), 0);
  const std::string first(model.frameNames[0], strnlen(model.frameNames[0], 16));
  const size_t skins = size_t(model.skinCount) + model.skinExtra;
  vnlModelKill(model);

  testdata::TempDir dir;
  RunResult run = RunCorvane(dir.path(),
                             {"-model", pack + "::progs/h_dog.mdl", "-pal", pack + "::gfx/palette.lmp", "-frame",
                              "no such frame", "-dst", "dog.obj"},
                             "", true);
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("  Model:   \"progs\\h_dog.mdl\"\n  Frame:   \"" + first + "\"\n"), std::string::npos)
      << run.after;
  EXPECT_TRUE(testdata::FileExists(dir.file("dog.obj")));
  for (size_t i = 0; i < skins; ++i)
    EXPECT_TRUE(testdata::FileExists(dir.file("h_dog_" + std::to_string(i) + ".tga"))) << i;
}

TEST(ModelMode, WithoutPaletteNoSkinIsWritten) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl"}, "", true);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Count(run.out, "Picture:"), 0u);
  EXPECT_FALSE(testdata::FileExists(dir.file("m_0.tga")));
  EXPECT_TRUE(testdata::FileExists(dir.file("m.ase")));
}

TEST(ModelMode, EmptyOutputNameWritesNoModelFile) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "-dst", "x::"}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.after,
            "!!ERROR!! Model output: \"x::\" is not a model format corvane writes " + kWrittenEndings + "\n");
  EXPECT_FALSE(testdata::FileExists(dir.file("m.ase")));
}

TEST(ModelMode, OutputNameNoWriterTakesIsRefusedBeforeAnythingIsRead) {
  struct Case {
    const char* typed;
    const char* shown;
  } cases[] = {{"x.as", "x.as"}, {"x.o", "x.o"},         {"x.", "x."},         {".", "."},
               {"::", "::"},     {"a::b::c", "a::b::c"}, {"x.ase.", "x.ase."}, {"x\x1b.o", "x?.o"}};
  for (const Case& c : cases) {
    const std::string name = c.typed;
    testdata::TempDir dir;
    WriteModelAndPalette(dir);
    RunResult run = RunCorvane(dir.path(), {"-model", "m", "-pal", "pal", "-report", "r", "-dst", name}, "", true);
    EXPECT_EQ(run.code, 1) << name;
    EXPECT_EQ(run.after, "!!ERROR!! Model output: \"" + std::string(c.shown) +
                             "\" is not a model format corvane writes " + kWrittenEndings + "\n");
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.exists();
    EXPECT_EQ(files, 2u) << name;  // m.mdl and pal.lmp
  }
  // Endings are matched whatever their case; a later -dst wins over an earlier one.
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  EXPECT_EQ(RunCorvane(dir.path(), {"-model", "m", "-dst", "x.o", "-dst", "y.OBJ"}, "", true).code, 0);
  EXPECT_TRUE(testdata::FileExists(dir.file("y.OBJ")));
}

// A build without the JSON library knows the glTF endings and refuses them with
// the reason, instead of writing "x.glb.ase".
#if !CORVANE_GLTF
TEST(ModelMode, GltfNamesAreRefusedByABuildWithoutGltfOutput) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-dst", "x.glb"}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.after,
            "!!ERROR!! Model output: \"x.glb\" is a glTF file, and this corvane was built without glTF output\n");
  EXPECT_FALSE(testdata::FileExists(dir.file("x.glb.ase")));
}
#endif

TEST(ModelMode, NamesFromTheModelCannotDriveTheTerminalOrBreakTheFiles) {
  testdata::ModelRecipe recipe = testdata::SmallModel();
  recipe.frames[0].frames[0].name = "a\x1b]0;x\x07\"b\nv 1";
  const std::string shown = "a?]0;x?\"b?v 1";
  testdata::TempDir dir;
  testdata::WriteFile(dir.file("m.mdl"), testdata::BuildModel(recipe));
  RunResult aseRun = RunCorvane(dir.path(), {"-model", "m", "-report", "r"}, "", true);
  EXPECT_EQ(aseRun.code, 0) << aseRun.out;
  EXPECT_NE(aseRun.after.find("  Frame:   \"" + shown + "\"\n"), std::string::npos) << aseRun.after;
  RunResult objRun = RunCorvane(dir.path(), {"-model", "m", "-dst", "m.obj"}, "", true);
  EXPECT_EQ(objRun.code, 0) << objRun.out;

  const std::string ase = testdata::ReadText(dir.file("m.ase"));
  const std::string obj = testdata::ReadText(dir.file("m.obj"));
  const std::string report = testdata::ReadText(dir.file("r.txt"));
  EXPECT_NE(ase.find("  *NODE_NAME \"a?]0;x?'b?v 1\"\r\n"), std::string::npos);
  EXPECT_NE(obj.find("\r\ng " + shown + "\r\n"), std::string::npos);
  EXPECT_NE(report.find("\"" + shown + "\""), std::string::npos);
  // Well-formed: no control byte but the CR LF line ends, in the log or a file.
  for (const std::string* text : {&std::as_const(aseRun.out), &std::as_const(objRun.out), &ase, &obj, &report}) {
    for (size_t i = 0; i < text->size(); ++i) {
      unsigned char c = (*text)[i];
      bool lineEnd = c == '\n' || (c == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n');
      EXPECT_FALSE((c < 0x20 || c == 0x7F) && !lineEnd) << "byte " << int(c) << " at " << i;
    }
  }
  // Every ASE quoted string still closes on its line.
  for (const std::string& line : Lines(ase)) EXPECT_EQ(Count(line, "\"") % 2, 0u) << line;
}

TEST(ModelMode, UnknownFrameFallsBackToTheFirst) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "-frame", "walk9"}, "", true);
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.after.find("  Frame:   \"stand1\"\n"), std::string::npos) << run.after;
}

TEST(ModelMode, RescaleLineOnlyForAUsableFactor) {
  struct Case {
    const char* factor;
    const char* line;  // "" for none
  } cases[] = {
      {"2", "  Rescale:  2\n"},
      {"-0.5", "  Rescale: -0.5\n"},
      {"1.25abc", "  Rescale:  1.25\n"},
      {"1e2", "  Rescale:  100\n"},
      {"0.1", "  Rescale:  0.1\n"},
      {"0", ""},
      {"abc", ""},
      {"nan", ""},
      {"inf", ""},
      {"-inf", ""},
      {"1e999", ""},
      {"0x10", ""},
  };
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  for (const Case& c : cases) {
    RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "-replace", "-scale", c.factor}, "", true);
    EXPECT_EQ(run.code, 0) << c.factor << run.out;
    std::string expected = std::string("  Frame:   \"stand1\"\n") + c.line + ":: OUTPUTS\n";
    EXPECT_NE(run.after.find(expected), std::string::npos) << c.factor << "\n" << run.after;
  }
}

TEST(ModelMode, SkinSizeBelowOneTakesTheSkinsSize) {
  const char* sizes[][2] = {{"-5", "-7"}, {"0", "0"}, {"-2147483649", "x"}};
  for (auto& size : sizes) {
    testdata::TempDir dir;
    WriteModelAndPalette(dir);
    RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "-pal", "pal", "-skinsize", size[0], size[1]}, "", true);
    EXPECT_EQ(run.code, 0) << run.out;
    EXPECT_EQ(TgaSize(dir.file("m_0.tga")), std::make_pair(8, 8)) << size[0];
  }
}

TEST(ModelMode, SkinNoBackHalvesOnlyTheDefaultWidth) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "-pal", "pal", "-skinnoback"}, "", true);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(TgaSize(dir.file("m_0.tga")), std::make_pair(4, 8));
  run = RunCorvane(dir.path(), {"-model", "m.mdl", "-pal", "pal", "-skinnoback", "-skinsize", "8", "8", "-replace"}, "",
                   true);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(TgaSize(dir.file("m_0.tga")), std::make_pair(8, 8));
}

TEST(ModelMode, ExplicitSkinSizeRescalesSkinsAndHint) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(
      dir.path(), {"-model", "m.mdl", "-pal", "pal", "-skinsize", "16", "12", "-skinhint", "hint"}, "", true);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(TgaSize(dir.file("m_0.tga")), std::make_pair(16, 12));
  EXPECT_EQ(TgaSize(dir.file("hint.tga")), std::make_pair(16, 12));
}

TEST(ModelMode, AbsurdSkinSizesNeitherCrashNorHangAndAreSaidAsFailures) {
  const char* sizes[][2] = {{"99999999999", "99999999999"}, {"2147483647", "1"}, {"1", "2147483647"}};
  for (auto& size : sizes) {
    testdata::TempDir dir;
    WriteModelAndPalette(dir);
    RunResult run = RunCorvane(
        dir.path(), {"-model", "m.mdl", "-pal", "pal", "-skinsize", size[0], size[1], "-skinhint", "hint"}, "", true);
    EXPECT_EQ(run.code, 1) << size[0] << " " << size[1] << run.out;
    EXPECT_EQ(Count(run.out, ":: OUTPUTS"), 1u);
    EXPECT_EQ(Count(run.out, "  Failed:  \"m_0.tga\""), 1u) << run.out;
    EXPECT_EQ(Count(run.out, "  Failed:  \"hint.tga\""), 1u) << run.out;
    EXPECT_EQ(Count(run.out, "!!ERROR!! 2 outputs were not written\n"), 1u) << run.out;
    EXPECT_TRUE(testdata::FileExists(dir.file("m.ase")));  // the model is still written
  }
}

TEST(ModelMode, OutImgChoosesTheImageEnding) {
  struct Case {
    const char* kind;
    const char* file;
  } cases[] = {{"PNG", "m_0.png"}, {"jpeg", "m_0.jpg"}, {"bmp", "m_0.bmp"}, {"gif", "m_0.tga"}};
  for (const Case& c : cases) {
    testdata::TempDir dir;
    WriteModelAndPalette(dir);
    RunResult run = RunCorvane(dir.path(), {"-model", "m.mdl", "-pal", "pal", "-outimg", c.kind}, "", true);
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(testdata::FileExists(dir.file(c.file))) << c.kind << run.out;
  }
}

// ---- failures ----

TEST(ModelMode, FailuresEndWithOneErrorLineAndExitCodeOne) {
  struct Case {
    std::vector<std::string> args;
    const char* tail;  // the end of the log
  } cases[] = {
      {{"-model", "nope.mdl"}, ":: SOURCES\n!!ERROR!! Source model: file no found\n"},
      {{"-swap"}, ":: SOURCES\n!!ERROR!! Source model: no file name specified\n"},
      {{"-model", "pal.lmp"}, ":: SOURCES\n!!ERROR!! Source model: file no found\n"},  // pal.lmp.mdl
      {{"-model", "bad"}, ":: SOURCES\n!!ERROR!! Source model: file is not a Quake MDL\n"},
      {{"-model", "m", "-pal", "nope"}, "  Palette: \"nope.lmp\"\n!!ERROR!! Palette: file no found\n"},
      {{"-model", "m", "-pal", "bad.lmp"}, "  Palette: \"bad.lmp\"\n!!ERROR!! Palette: file is not a Quake PALETTE\n"},
  };
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteFile(dir.file("bad.mdl"), testdata::DistinctPalette());
  testdata::WriteFile(dir.file("bad.lmp"), testdata::BuildModel(testdata::SmallModel()));
  for (const Case& c : cases) {
    RunResult run = RunCorvane(dir.path(), c.args, "", true);
    EXPECT_EQ(run.code, 1) << c.tail;
    ASSERT_GE(run.after.size(), std::string(c.tail).size()) << run.out;
    EXPECT_EQ(run.after.substr(run.after.size() - std::string(c.tail).size()), c.tail) << run.after;
    EXPECT_EQ(Count(run.out, "!!ERROR!!"), 1u);
    EXPECT_EQ(Count(run.out, ":: OUTPUTS"), 0u);
  }
}

// ---- mode choice ----

TEST(ModeChoice, FirstMatchingModeWins) {
  struct Case {
    std::vector<std::string> args;
    const char* section;
  } cases[] = {
      {{"-model", "m", "-pakextract", "p::x", "-paklist", "PAK0.PAK"}, ":: PACK LIST\n"},
      {{"-model", "m", "-lump", "x", "-pakextract", "PAK0.PAK"}, ":: PACK EXTRACT\n"},
      {{"-model", "m", "-lump", "x"}, ":: CONVERT LUMP\n"},
      {{"-lump", "x", "-sprite", "s"}, ":: CONVERT SPRITE\n"},
  };
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  for (const Case& c : cases) {
    RunResult run = RunCorvane(dir.path(), c.args, "", true);
    EXPECT_EQ(run.after.substr(0, std::string(c.section).size()), c.section) << run.out;
    EXPECT_EQ(run.code, 1);  // each fails: no separator, no palette
    EXPECT_EQ(Count(run.out, ":: SOURCES"), 0u);
  }
}

}  // namespace

// ---- in-process: the helpers the handlers and the model mode use ----

#include "driver.h"
#include "modes.h"
#include "options.h"
#include "state.h"

namespace {

TEST(SplitPackedName, SplitsAtTheSeparatorAndForcesExtensions) {
  struct Case {
    const char* source;
    const char* ext;
    const char* pack;
    const char* file;
  } cases[] = {
      {"pak0.pak::progs/soldier.mdl", ".mdl", "pak0.pak", "progs\\soldier.mdl"},
      {"PAK0::progs\\soldier", ".mdl", "PAK0.pak", "progs\\soldier.mdl"},
      {"x", ".mdl", "", "x.mdl"},
      {"x.OBJ", ".ase .obj", "", "x.OBJ"},
      {"p::", ".mdl", "p.pak", ""},
      {"::f", ".lmp", "", "f.lmp"},
      {"hint.tga", "", "", "hint.tga"},
  };
  for (const Case& c : cases) {
    std::string source = c.source, pack = "old", file = "old";
    SplitPackedName(source, pack, file, c.ext);
    EXPECT_EQ(pack, c.pack) << c.source;
    EXPECT_EQ(file, c.file) << c.source;
  }
}

TEST(SplitPackedName, TwoSeparatorsEmptyTheSourceAndLeaveTheOutputs) {
  for (const char* text : {"a::b::c", "a:::b", "::::", "a::b::"}) {
    std::string source = text, pack = "p", file = "f";
    SplitPackedName(source, pack, file, ".mdl");
    EXPECT_EQ(source, "") << text;
    EXPECT_EQ(pack, "p") << text;
    EXPECT_EQ(file, "f") << text;
  }
}

TEST(FailWith, EveryCodeSaysSomething) {
  ConverterState state;
  EXPECT_EQ(FailWith(state.outcome, "Source sprite: ", VNL_SPR_VERSION), 1);
  EXPECT_EQ(state.outcome.errorMessage, "Source sprite: sprite version unsupported");
  EXPECT_EQ(FailWith(state.outcome, "Source model: ", 99), 1);
  EXPECT_EQ(state.outcome.errorMessage, "Source model: error 99");
}

class SwapFrameYZTest : public testing::Test {
 protected:
  void SetUp() override {
    testdata::Bytes model = testdata::BuildModel(testdata::SmallModel());
    uint8_t* block = model.data();
    ASSERT_EQ(vnlModelLoad(block, uint32_t(model.size()), state.item.model), 0);
    perFrame_ = state.item.model.vertexCount + state.item.model.seamCount;
    total_ = perFrame_ * (state.item.model.frameCount + state.item.model.frameExtra);
    before_.assign(state.item.model.frameVertices, state.item.model.frameVertices + total_);
  }
  ConverterState state;
  size_t perFrame_ = 0, total_ = 0;
  std::vector<VNLVEC3_T> before_;
};

TEST_F(SwapFrameYZTest, OnlyTheSelectedFrameIsSwapped) {
  state.item.frameName = "stand2";
  SwapFrameYZ(state.item.model, state.item.frameName);
  for (size_t i = 0; i < total_; ++i) {
    const VNLVEC3_T& now = state.item.model.frameVertices[i];
    const VNLVEC3_T& was = before_[i];
    bool selected = i >= perFrame_;
    EXPECT_EQ(now.x, was.x);
    EXPECT_EQ(now.y, selected ? was.z : was.y) << i;
    EXPECT_EQ(now.z, selected ? was.y : was.z) << i;
  }
}

TEST_F(SwapFrameYZTest, UnknownFrameSwapsTheFirst) {
  state.item.frameName = "nope";
  SwapFrameYZ(state.item.model, state.item.frameName);
  EXPECT_EQ(state.item.model.frameVertices[0].y, before_[0].z);
  EXPECT_EQ(state.item.model.frameVertices[perFrame_].y, before_[perFrame_].y);
}

TEST_F(SwapFrameYZTest, EmptyModelIsLeftAlone) {
  ConverterState empty;  // a run that loaded nothing
  empty.item.frameName = "stand1";
  SwapFrameYZ(empty.item.model, empty.item.frameName);
  EXPECT_EQ(empty.item.model.frameVertices, nullptr);
}

}  // namespace
