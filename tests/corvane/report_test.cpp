#include "report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "builders.h"
#include "files.h"
#include "skin_triangles.h"
#include "state.h"

namespace {

using testdata::ReadText;
using testdata::TempDir;

const char kHeader[] =
    "===== CORVANE REPORT FILE =====\r\n"
    "\r\n"
    "  Date:            03-07-2014\r\n"
    "  Time:            09:05:03\r\n"
    "  Command line:    corvane -model progs\\soldier.mdl -report r.txt\r\n";

std::string Head(const char* title) { return std::string("\r\n\r\n::\r\n:: ") + title + "\r\n::\r\n\r\n"; }

template <typename T>
T* Calloc(size_t count) {
  return static_cast<T*>(std::calloc(count ? count : 1, sizeof(T)));
}

uint32_t Colour(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | r << 16 | g << 8 | b; }

// The report's lines without their CR LF; fails the test on a line ended otherwise.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text does not end with CR LF";
      break;
    }
    std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break in: " << line;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

// The line starting with `prefix`, or "" when there is none.
std::string LineStarting(const std::string& text, const std::string& prefix) {
  for (const std::string& line : Lines(text))
    if (line.compare(0, prefix.size(), prefix) == 0) return line;
  return "";
}

void FillPalette(ConverterState& state) {
  state.options.paletteFile = "gfx\\palette.lmp";
  state.item.palette.brightCount = 32;
  state.item.palette.shadingLevels = 64;
  state.item.palette.colors = Calloc<uint32_t>(256);
  state.item.palette.colors[5] = Colour(255, 128, 0);
  state.item.palette.colors[9] = Colour(254, 1, 127);
  state.item.palette.colors[255] = Colour(255, 255, 255);
}

void FillPack(ConverterState& state, uint32_t count) {
  state.options.listPack = "id1\\pak0.pak";
  VNLPACKINFO_T& info = state.item.packInfo;
  info.dirOffset = 34579;
  info.dirLength = count * 64;
  info.entryCount = count;
  info.entries = Calloc<VNLPACKENTRY_T>(count);
  for (uint32_t i = 0; i < count; ++i) {
    std::snprintf(info.entries[i].name, sizeof info.entries[i].name, "maps\\e1m%u.bsp", i);
    info.entries[i].offset = 1000 * i;
    info.entries[i].length = 10 * i;
  }
}

void FillSprite(ConverterState& state) {
  state.options.spriteFile = "progs\\s_light.spr";
  VNLSPRITE_T& sprite = state.item.sprite;
  sprite.spriteType = 2;
  sprite.syncType = 1;
  sprite.sheetCount = 1;
  sprite.frames = Calloc<VNLPICTURE_T>(1);
  sprite.originX = Calloc<int32_t>(1);
  sprite.originY = Calloc<int32_t>(1);
  sprite.rate = Calloc<float>(1);
  sprite.frames[0].width = 32;
  sprite.frames[0].height = 48;
  sprite.originX[0] = -16;
  sprite.originY[0] = 24;
  sprite.rate[0] = 0.1f;
}

void FillPicture(ConverterState& state) {
  state.options.lumpFile = "gfx\\pause.lmp";
  state.item.picture.width = 64;
  state.item.picture.height = 32;
  state.item.picture.pixels = Calloc<uint8_t>(64 * 32);
}

// Flattened frames: `groups` gives each frame's group size (0 inside or outside a group).
void SetFrames(ConverterState& state, uint16_t frameCount, const std::vector<std::string>& names,
               const std::vector<uint8_t>& groups) {
  VNLMODEL_T& model = state.item.model;
  std::free(model.frameNames);
  std::free(model.frameGroup);
  model.frameCount = frameCount;
  model.frameExtra = uint16_t(names.size() - frameCount);
  model.frameNames = static_cast<char(*)[16]>(std::calloc(names.size(), 16));
  model.frameGroup = Calloc<uint8_t>(names.size());
  for (size_t f = 0; f < names.size(); ++f) {
    std::memcpy(model.frameNames[f], names[f].data(), std::min<size_t>(names[f].size(), 16));
    model.frameGroup[f] = groups.empty() ? 0 : groups[f];
  }
}

// A 16 x 16 skin half covered, two single frames and a group of 2.
void FillModel(ConverterState& state) {
  state.options.modelFile = "progs\\soldier.mdl";
  VNLMODEL_T& model = state.item.model;
  model.ofsSkins = 84;
  model.ofsVertices = 152;
  model.ofsTriangles = 200;
  model.ofsFrames = 232;
  model.fileSize = 400;
  model.flags = 8;
  model.syncType = 1;
  model.skinCount = 1;
  model.skinExtra = 2;
  model.skins = Calloc<VNLPICTURE_T>(3);
  model.skins[0].width = 16;
  model.skins[0].height = 16;
  testdata::SetSkinTriangles(state.item.model, testdata::LeftHalfOfSixteen());
  model.vertexCount = 5;
  model.seamCount = 1;
  SetFrames(state, 3, {"stand1", "stand2", "run1", "run2"}, {0, 0, 2, 0});
}

const std::vector<std::string> kArguments = {"corvane", "-model", "progs\\soldier.mdl", "-report", "r.txt"};

class ReportFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::tm when{};
    when.tm_year = 2014 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 7;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 3;
    SetReportTime(&when);
    state.options.arguments = kArguments;
    state.options.reportFile = dir.file("r.txt");
  }
  void TearDown() override { SetReportTime(nullptr); }

  // Writes the report (its console line is not looked at here) and reads it back.
  std::string Report() { return ReportOf(state); }
  std::string ReportOf(ConverterState& run) {
    ::testing::internal::CaptureStdout();
    WriteReport(run.options, run.item, run.outcome);
    ::testing::internal::GetCapturedStdout();
    return ReadText(dir.file("r.txt"));
  }

  ConverterState state;
  TempDir dir;
};

TEST_F(ReportFile, HeaderAloneWhenNothingWasLoaded) { EXPECT_EQ(Report(), kHeader); }

TEST_F(ReportFile, CommandLineOfTheProgramAloneEndsInABlank) {
  state.options.arguments = {"/usr/bin/corvane"};
  EXPECT_EQ(LineStarting(Report(), "  Command line:"), "  Command line:    /usr/bin/corvane ");
}

TEST_F(ReportFile, DateAndTimeComeFromTheClock) {
  SetReportTime(nullptr);
  std::string text = Report();
  EXPECT_TRUE(std::regex_match(LineStarting(text, "  Date:"),
                               std::regex("  Date:            (0[1-9]|1[0-2])-(0[1-9]|[12][0-9]|3[01])-20[0-9]{2}")))
      << text;
  EXPECT_TRUE(std::regex_match(LineStarting(text, "  Time:"),
                               std::regex("  Time:            ([01][0-9]|2[0-3]):[0-5][0-9]:[0-6][0-9]")))
      << text;
}

TEST_F(ReportFile, EmptyNameWritesAndShowsNothing) {
  FillPalette(state);
  state.options.reportFile.clear();
  ::testing::internal::CaptureStdout();
  WriteReport(state.options, state.item, state.outcome);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(ReportFile, ConsoleShowsTheReportName) {
  ::testing::internal::CaptureStdout();
  WriteReport(state.options, state.item, state.outcome);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "  Report:  \"" + dir.file("r.txt") + "\"\n");
}

TEST_F(ReportFile, PaletteSectionListsEveryEntry) {
  FillPalette(state);
  std::string text = Report();
  std::string expectedStart = std::string(kHeader) + Head("PALETTE INFOS") +
                              "  Source file:     \"gfx\\palette.lmp\"\r\n"
                              "  Bright count:    32\r\n"
                              "  Shading levels:  64\r\n"
                              "  Index[  0]:      0.00, 0.00, 0.00 (  0   0   0)\r\n";
  EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart);
  EXPECT_EQ(LineStarting(text, "  Index[  5]"), "  Index[  5]:      1.00, 0.50, 0.00 (255 128   0)");
  // 254 / 255 and 127 / 255 are cut, not rounded.
  EXPECT_EQ(LineStarting(text, "  Index[  9]"), "  Index[  9]:      0.99, 0.00, 0.49 (254   1 127)");
  EXPECT_EQ(LineStarting(text, "  Index[255]"), "  Index[255]:      1.00, 1.00, 1.00 (255 255 255)");

  std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 5u + 6u + 3u + 256u);
  EXPECT_EQ(lines.back(), "  Index[255]:      1.00, 1.00, 1.00 (255 255 255)");
  for (int i = 0; i < 256; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "  Index[%3d]:", i);
    EXPECT_EQ(lines[14 + i].substr(0, 19), std::string(key) + "      ") << i;
  }
}

TEST_F(ReportFile, PackSectionPadsTheKeyToTheCountsDigits) {
  FillPack(state, 20);
  std::strcpy(state.item.packInfo.entries[7].name, "  progs\\player.mdl ");
  state.item.packInfo.entries[7].offset = 12;
  state.item.packInfo.entries[7].length = 34567;
  std::string text = Report();
  std::string expectedStart = std::string(kHeader) + Head("PACK INFOS") +
                              "  Source file:     \"id1\\pak0.pak\"\r\n"
                              "  Directory:       @34579, 1280 bytes long\r\n"
                              "  Chunk count:     20\r\n"
                              "  Chunk[ 0]:       \"maps\\e1m0.bsp\" (@0, 0 bytes long)\r\n";
  EXPECT_EQ(text.substr(0, expectedStart.size()), expectedStart);
  EXPECT_EQ(LineStarting(text, "  Chunk[ 7]"), "  Chunk[ 7]:       \"progs\\player.mdl\" (@12, 34567 bytes long)");
  EXPECT_EQ(Lines(text).back(), "  Chunk[19]:       \"maps\\e1m19.bsp\" (@19000, 190 bytes long)");
  EXPECT_EQ(Lines(text).size(), 5u + 6u + 3u + 20u);
}

TEST_F(ReportFile, PackNameFillingItsWholeFieldStopsThere) {
  FillPack(state, 2);
  std::memset(state.item.packInfo.entries[0].name, 'a', sizeof state.item.packInfo.entries[0].name);
  std::string text = Report();
  EXPECT_EQ(LineStarting(text, "  Chunk[0]"), "  Chunk[0]:        \"" + std::string(64, 'a') + "\" (@0, 0 bytes long)");
}

TEST_F(ReportFile, SpriteSection) {
  FillSprite(state);
  EXPECT_EQ(Report(), std::string(kHeader) + Head("SPRITE INFOS") +
                          "  Source file:     \"progs\\s_light.spr\"\r\n"
                          "  Sprite type:     2\r\n"
                          "  Sync type:       1\r\n"
                          "  Sheets:          1\r\n"
                          "  Total frames:    1\r\n"
                          "  Frame[0]:        32x48px (offset: -16, 24) (rate:  0.10)\r\n");
}

TEST_F(ReportFile, SpriteCountsWithoutArraysListNoFrames) {
  state.options.spriteFile = "progs\\s_light.spr";
  state.item.sprite.sheetCount = 3;
  std::string text = Report();
  EXPECT_EQ(LineStarting(text, "  Total frames:"), "  Total frames:    3");
  EXPECT_EQ(LineStarting(text, "  Frame["), "");
}

TEST_F(ReportFile, PictureSection) {
  FillPicture(state);
  EXPECT_EQ(Report(), std::string(kHeader) + Head("PICTURE INFOS") +
                          "  Source file:     \"gfx\\pause.lmp\"\r\n"
                          "  Size:            64x32px\r\n");
}

TEST_F(ReportFile, ModelSectionWithGroupedFrames) {
  FillModel(state);
  EXPECT_EQ(Report(), std::string(kHeader) + Head("MODEL INFOS") +
                          "  Source file:     \"progs\\soldier.mdl\"\r\n"
                          "  Header block:    @0, 84 bytes long\r\n"
                          "  Skins block:     @84, 68 bytes long\r\n"
                          "  Vertices block:  @152, 48 bytes long\r\n"
                          "  Triangles block: @200, 32 bytes long\r\n"
                          "  Frames block:    @232, 168 bytes long\r\n"
                          "  Model flags:     8\r\n"
                          "  Model sync:      1\r\n"
                          "  Skin count:      1 (+2 extras 'animation')\r\n"
                          "  Skin size:       16x16px (50.00% covered)\r\n"
                          "  Vertex count:    5 (+1 extras 'on seam')\r\n"
                          "  Triangle count:  2\r\n"
                          "  Frame count:     3 (+1 extras 'grouped')\r\n"
                          "  Frame[0]:        \"stand1\"\r\n"
                          "  Frame[1]:        \"stand2\"\r\n"
                          "  Frame[2]:        \"run1\" Group of 2 frames\r\n"
                          "  Frame[2]:        \"run2\" Grouped\r\n");
}

TEST_F(ReportFile, GroupSuffixCarriesOverToTheLaterFramesOfTheGroup) {
  FillModel(state);
  SetFrames(state, 3, {"a1", "b1", "b2", "b3", "c1"}, {0, 3, 0, 0, 0});
  std::vector<std::string> lines = Lines(Report());
  std::vector<std::string> frames(lines.end() - 5, lines.end());
  EXPECT_EQ(frames, (std::vector<std::string>{
                        "  Frame[0]:        \"a1\"",
                        "  Frame[1]:        \"b1\" Group of 3 frames",
                        "  Frame[1]:        \"b2\" Grouped",
                        "  Frame[1]:        \"b3\" Grouped",
                        "  Frame[2]:        \"c1\"",
                    }));
}

TEST_F(ReportFile, TenFramesGiveTwoDigitKeys) {
  FillModel(state);
  SetFrames(state, 10, {"frame0", " frame1 ", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "abcdefghijklmnop"}, {});
  std::vector<std::string> lines = Lines(Report());
  std::vector<std::string> frames(lines.end() - 10, lines.end());
  EXPECT_EQ(frames[0], "  Frame[ 0]:       \"frame0\"");
  EXPECT_EQ(frames[1], "  Frame[ 1]:       \"frame1\"");
  // A name of all 16 bytes has no terminator; it ends with its field.
  EXPECT_EQ(frames[9], "  Frame[ 9]:       \"abcdefghijklmnop\"");
}

TEST_F(ReportFile, CoverageIsCutToTwoDecimals) {
  using testdata::SkinTriangle;
  const struct {
    std::vector<SkinTriangle> triangles;
    const char* shown;
  } cases[] = {
      {{}, "0.00"},
      {testdata::LeftHalfOfSixteen(), "50.00"},
      {{SkinTriangle{{{0, 0}, {1, 0}, {0, 1}}}}, "53.12"},  // 136 of 256 cells: 53.125
      {{SkinTriangle{{{0, 0}, {2, 0}, {0, 2}}}}, "100.00"},
  };
  for (const auto& c : cases) {
    ConverterState own;  // a run of its own
    own.options.arguments = kArguments;
    own.options.reportFile = dir.file("r.txt");
    own.options.flags = OPT_REPLACE;
    FillModel(own);
    testdata::SetSkinTriangles(own.item.model, c.triangles);
    EXPECT_EQ(LineStarting(ReportOf(own), "  Skin size:"),
              std::string("  Skin size:       16x16px (") + c.shown + "% covered)");
  }
}

TEST_F(ReportFile, SkinNoBackMeasuresTheFrontHalf) {
  FillModel(state);
  testdata::SetSkinTriangles(state.item.model, {testdata::SkinTriangle{{{0, 0}, {1, 0}, {0, 1}}}});
  state.options.flags = OPT_SKINNOBACK;
  // On the 8 x 16 grid, x / 8 + y / 16 < 1 holds 72 of 128 cells.
  EXPECT_EQ(LineStarting(Report(), "  Skin size:"), "  Skin size:       16x16px (56.25% covered)");
}

TEST_F(ReportFile, OneTexelWideSkinWithoutBackShowsZero) {
  FillModel(state);
  state.item.model.skins[0].width = 1;
  state.options.flags = OPT_SKINNOBACK;
  EXPECT_EQ(LineStarting(Report(), "  Skin size:"), "  Skin size:       1x16px (0.00% covered)");
}

// The kill keeps fileSize, so a released model still has a section; it must hold
// only zeros and no frame lines.
TEST_F(ReportFile, ReleasedModelReportsZerosWithoutReadingFreedArrays) {
  FillModel(state);
  vnlModelKill(state.item.model);
  std::string text = Report();
  EXPECT_EQ(LineStarting(text, "  Frames block:"), "  Frames block:    @0, 400 bytes long");
  EXPECT_EQ(LineStarting(text, "  Skin size:"), "  Skin size:       0x0px (0.00% covered)");
  EXPECT_EQ(Lines(text).back(), "  Frame count:     0 (+0 extras 'grouped')");
}

TEST_F(ReportFile, SectionsComeInTheirFixedOrder) {
  FillModel(state);
  FillPicture(state);
  FillSprite(state);
  FillPack(state, 3);
  FillPalette(state);
  std::vector<std::string> titles;
  for (const std::string& line : Lines(Report()))
    if (line.compare(0, 3, ":: ") == 0) titles.push_back(line);
  EXPECT_EQ(titles, (std::vector<std::string>{":: PALETTE INFOS", ":: PACK INFOS", ":: SPRITE INFOS",
                                              ":: PICTURE INFOS", ":: MODEL INFOS"}));
}

TEST_F(ReportFile, OnlyLoadedRecordsGetASection) {
  const struct {
    void (*fill)(ConverterState&);
    const char* title;
  } cases[] = {
      {FillPalette, ":: PALETTE INFOS"}, {[](ConverterState& run) { FillPack(run, 1); }, ":: PACK INFOS"},
      {FillSprite, ":: SPRITE INFOS"},   {FillPicture, ":: PICTURE INFOS"},
      {FillModel, ":: MODEL INFOS"},
  };
  for (const auto& c : cases) {
    ConverterState own;  // a run of its own
    own.options.arguments = kArguments;
    own.options.reportFile = dir.file("r.txt");
    own.options.flags = OPT_REPLACE;
    c.fill(own);
    std::vector<std::string> titles;
    for (const std::string& line : Lines(ReportOf(own)))
      if (line.compare(0, 3, ":: ") == 0) titles.push_back(line);
    EXPECT_EQ(titles, std::vector<std::string>{c.title});
  }
}

TEST_F(ReportFile, ReplaceBitOverwritesAnExistingReport) {
  testdata::WriteText(dir.file("r.txt"), "an old report that is longer than the header alone would be, surely\r\n");
  state.options.flags = OPT_REPLACE;
  EXPECT_EQ(Report(), kHeader);
}

TEST_F(ReportFile, DeclinedPromptKeepsTheOldReport) {
  testdata::WriteText(dir.file("r.txt"), "old");
  int answer[2];
  ASSERT_EQ(pipe(answer), 0);
  ASSERT_EQ(write(answer[1], "n", 1), 1);
  close(answer[1]);
  int savedStdin = dup(STDIN_FILENO);
  dup2(answer[0], STDIN_FILENO);
  close(answer[0]);
  ::testing::internal::CaptureStdout();
  WriteReport(state.options, state.item, state.outcome);
  std::string console = ::testing::internal::GetCapturedStdout();
  dup2(savedStdin, STDIN_FILENO);
  close(savedStdin);
  EXPECT_EQ(ReadText(dir.file("r.txt")), "old");
  EXPECT_EQ(console.rfind("  Report:  \"", 0), 0u) << console;
  EXPECT_NE(console.find("already exists, replace? [Yes/No/Always]"), std::string::npos) << console;
}

TEST_F(ReportFile, BackslashNameIsWrittenAtTheHostPath) {
  std::filesystem::create_directory(dir.file("sub"));
  state.options.reportFile = dir.path() + "\\sub\\r.txt";
  Report();
  EXPECT_EQ(ReadText(dir.file("sub/r.txt")), kHeader);
}

TEST_F(ReportFile, UnwritableReportIsSaidAndCounted) {
  state.options.reportFile = dir.file("missing/r.txt");
  ::testing::internal::CaptureStdout();
  WriteReport(state.options, state.item, state.outcome);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "  Report:  \"" + state.options.reportFile + "\"\n  Failed:  \"" +
                                                          state.options.reportFile +
                                                          "\" (No such file or directory)\n");
  EXPECT_EQ(state.outcome.failedOutputs, 1u);
  EXPECT_FALSE(testdata::FileExists(dir.file("missing/r.txt")));
}

// ---- loaded through the library ----

struct BlockTable {
  int64_t offset[5];
  int64_t length[5];
};

// Reads "@offset, length bytes long" from the five block lines.
bool ParseBlockTable(const std::string& text, BlockTable& table) {
  const char* labels[5] = {
      "  Header block:", "  Skins block:", "  Vertices block:", "  Triangles block:", "  Frames block:"};
  for (int i = 0; i < 5; ++i) {
    std::string line = LineStarting(text, labels[i]);
    long long offset = 0, length = 0;
    char tail[16] = {};
    if (line.size() < 19 || std::sscanf(line.c_str() + 19, "@%lld, %lld %15[a-z ]", &offset, &length, tail) != 3 ||
        std::string(tail) != "bytes long")
      return false;
    table.offset[i] = offset;
    table.length[i] = length;
  }
  return true;
}

void ExpectBlocksTile(const BlockTable& table, int64_t fileSize, const std::string& what) {
  EXPECT_EQ(table.offset[0], 0) << what;
  int64_t sum = 0;
  for (int i = 0; i < 5; ++i) {
    EXPECT_GE(table.length[i], 0) << what << " block " << i;
    if (i > 0) {
      EXPECT_EQ(table.offset[i], table.offset[i - 1] + table.length[i - 1]) << what << " block " << i;
    }
    sum += table.length[i];
  }
  EXPECT_EQ(sum, fileSize) << what;
}

TEST_F(ReportFile, LoadedModelWithAFrameGroup) {
  testdata::ModelRecipe recipe = testdata::SmallModel();
  testdata::ModelFrame run1{"run1", recipe.frames[0].frames[0].positions};
  testdata::ModelFrame run2{"run2", recipe.frames[0].frames[0].positions};
  recipe.frames.push_back(testdata::ModelFrameEntry{true, {}, {run1, run2}});
  testdata::Bytes bytes = testdata::BuildModel(recipe);
  uint8_t* block = bytes.data();
  ASSERT_EQ(vnlModelLoad(block, uint32_t(bytes.size()), state.item.model), VNL_OK);
  state.options.modelFile = "progs\\small.mdl";

  std::string text = Report();
  // 8 x 8 skin: 4 + 64 bytes; 4 vertices of 12; 2 triangles of 16; two frames of
  // 44 and a group of 2 (16 + 2 x 4 intervals + 2 x 40).
  BlockTable table;
  ASSERT_TRUE(ParseBlockTable(text, table)) << text;
  EXPECT_EQ(LineStarting(text, "  Skins block:"), "  Skins block:     @84, 68 bytes long");
  EXPECT_EQ(LineStarting(text, "  Vertices block:"), "  Vertices block:  @152, 48 bytes long");
  EXPECT_EQ(LineStarting(text, "  Triangles block:"), "  Triangles block: @200, 32 bytes long");
  EXPECT_EQ(LineStarting(text, "  Frames block:"), "  Frames block:    @232, 192 bytes long");
  ExpectBlocksTile(table, int64_t(bytes.size()), "built model");

  std::vector<std::string> lines = Lines(text);
  std::vector<std::string> frames(lines.end() - 4, lines.end());
  EXPECT_EQ(frames, (std::vector<std::string>{
                        "  Frame[0]:        \"stand1\"",
                        "  Frame[1]:        \"stand2\"",
                        "  Frame[2]:        \"run1\" Group of 2 frames",
                        "  Frame[2]:        \"run2\" Grouped",
                    }));
  EXPECT_EQ(LineStarting(text, "  Frame count:"), "  Frame count:     3 (+1 extras 'grouped')");
  EXPECT_EQ(LineStarting(text, "  Vertex count:"), "  Vertex count:    4 (+1 extras 'on seam')");
}

TEST_F(ReportFile, EveryCorpusModelsBlockTableAddsUpToItsFileSize) {
  SKIP_WITHOUT_CORPUS();
  int models = 0;
  for (const auto& entry : std::filesystem::directory_iterator(testdata::CorpusDir() + "/progs")) {
    if (entry.path().extension() != ".mdl") continue;
    ++models;
    std::string name = entry.path().string();
    ConverterState own;  // a run of its own
    own.options.arguments = kArguments;
    own.options.reportFile = dir.file("r.txt");
    own.options.flags = OPT_REPLACE;
    std::string pack, file = name;
    ASSERT_EQ(vnlModelLoad(pack, file, own.item.model), VNL_OK) << name;
    own.options.modelFile = file;

    std::string text = ReportOf(own);
    BlockTable table;
    ASSERT_TRUE(ParseBlockTable(text, table)) << name << "\n" << text;
    ExpectBlocksTile(table, int64_t(std::filesystem::file_size(entry.path())), name);

    float coverage = -1;
    std::string skin = LineStarting(text, "  Skin size:");
    size_t open = skin.find(" (");
    ASSERT_NE(open, std::string::npos) << skin;
    EXPECT_EQ(std::sscanf(skin.c_str() + open, " (%f%% covered)", &coverage), 1) << skin;
    EXPECT_GT(coverage, 0) << name;
    EXPECT_LE(coverage, 100) << name;
    EXPECT_EQ(skin.substr(skin.size() - 10), "% covered)") << name;
  }
  EXPECT_GT(models, 0);
}

}  // namespace
