#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "files.h"
#include "varnel/varnel.h"

namespace {

struct MapRun {
  int32_t code;
  std::string output;
};

// Runs the memory form on `text` and catches what it prints. Under the test the
// console is not a terminal, so the print zones use a width of 80.
MapRun RunMap(const std::string& text) {
  std::string copy = text;  // the parser must not need a terminator past the length
  uint8_t* block = copy.empty() ? nullptr : reinterpret_cast<uint8_t*>(&copy[0]);
  uint32_t length = uint32_t(copy.size());
  testing::internal::CaptureStdout();
  int32_t code = vnlMapLoad(block, length);
  return {code, testing::internal::GetCapturedStdout()};
}

std::string Pair(const std::string& key, const std::string& value) {
  return key + std::string(28 - key.size(), ' ') + value + "\n";
}

std::string Counts(int lines, int entities, int brushes) {
  return " " + std::to_string(lines) + "\n " + std::to_string(entities) + "\n " + std::to_string(brushes) + "\n";
}

const char kTenLines[] =
    "{\r\n"
    "\"classname\" \"worldspawn\"\r\n"
    "\"message\" \"The Hall\"\r\n"
    "{\r\n"
    "( 0 0 0 ) ( 1 0 0 ) ( 0 1 0 ) tex 0 0 0 1 1\r\n"
    "( 0 0 8 ) ( 0 1 8 ) ( 1 0 8 ) tex 0 0 0 1 1\r\n"
    "( 0 0 0 ) ( 0 0 1 ) ( 1 0 0 ) tex 0 0 0 1 1\r\n"
    "( 0 8 0 ) ( 1 8 0 ) ( 0 8 1 ) tex 0 0 0 1 1\r\n"
    "}\r\n"
    "}\r\n";

TEST(MapLoad, EntityWithTwoPairsAndOneBrushPrintsPairsThenCounts) {
  MapRun run = RunMap(kTenLines);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Pair("classname", "worldspawn") + Pair("message", "The Hall") + Counts(11, 1, 1));
}

TEST(MapLoad, LastLineWithoutLineEndIsStillParsed) {
  std::string text = kTenLines;
  text.resize(text.size() - 2);
  MapRun run = RunMap(text);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Pair("classname", "worldspawn") + Pair("message", "The Hall") + Counts(11, 1, 1));

  // A closing brace too many on the unterminated last line must be seen.
  EXPECT_EQ(RunMap("{\r\n}\r\n}").code, VNL_MAP_SCOPE_LOW);
  EXPECT_EQ(RunMap("{\r\n\"a\" \"b\"").output, Pair("a", "b") + Counts(3, 1, 0));
}

TEST(MapLoad, AbsentOrEmptyBlockCountsTheOneEmptyRead) {
  uint8_t* none = nullptr;
  uint32_t length = 5;
  testing::internal::CaptureStdout();
  int32_t code = vnlMapLoad(none, length);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), Counts(1, 0, 0));
  EXPECT_EQ(code, 0);

  MapRun empty = RunMap("");
  EXPECT_EQ(empty.code, 0);
  EXPECT_EQ(empty.output, Counts(1, 0, 0));

  char text[] = "{\r\n";
  uint8_t* block = reinterpret_cast<uint8_t*>(text);
  uint32_t zero = 0;
  testing::internal::CaptureStdout();
  code = vnlMapLoad(block, zero);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), Counts(1, 0, 0));
  EXPECT_EQ(code, 0);
}

TEST(MapLoad, KeyIsLowerCasedAndValueKeepsItsCase) {
  MapRun run = RunMap("{\r\n\"ClassName\" \"Info_Player_START\"\r\n}\r\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Pair("classname", "Info_Player_START") + Counts(4, 1, 0));
}

TEST(MapLoad, ControlBytesInKeysAndValuesReachTheConsoleAsQuestionMarks) {
  MapRun run = RunMap("{\r\n\"K\x1b[2J\" \"\x1b]0;t\x07\x7f\"\r\n}\r\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Pair("k?[2j", "?]0;t??") + Counts(4, 1, 0));
}

TEST(MapLoad, TextOutsideTheQuotesIsIgnored) {
  MapRun run = RunMap("{\r\nx\"k\"y \"v w\" z\r\n}\r\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Pair("k", "v w") + Counts(4, 1, 0));
}

TEST(MapLoad, BlankAndTabLinesAndCommentsAreIgnored) {
  // At the root any statement would give 42, so these lines must count as nothing.
  MapRun run = RunMap(" \t \t\r\n// a comment\r\n\t // indented comment\r\n\r\n{\r\n}\r\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Counts(7, 1, 0));
}

TEST(MapLoad, TabIndentedBracesOpenAndCloseScopes) {
  MapRun run = RunMap("\t\t{\r\n\t\"a\"\t\"b\"\r\n\t{ \t\r\n\t}\r\n  }\t\r\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Pair("a", "b") + Counts(6, 1, 1));
}

TEST(MapLoad, BrushLinesAreNotReadAsPairs) {
  // A plane line with quotes in it would be a bad pair if it were read.
  MapRun run = RunMap("{\r\n{\r\n\"odd\" plane \"\r\nanything\r\n}\r\n}\r\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Counts(7, 1, 1));
}

TEST(MapLoad, ScopeLeftOpenAtTheEndIsNotAFault) {
  MapRun run = RunMap("{\r\n{\r\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Counts(3, 1, 1));
}

TEST(MapLoad, EntitiesAndBrushesAreCountedAcrossTheText) {
  MapRun run = RunMap("{\r\n{\r\n}\r\n{\r\n}\r\n}\r\n{\r\n}\r\n{\r\n{\r\n}\r\n}\r\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, Counts(13, 3, 3));
}

TEST(MapLoad, LoneCrBelongsToTheLine) {
  // "\r\r\n" ends a line holding one CR, which is not a brace.
  EXPECT_EQ(RunMap("{\r\r\n").code, VNL_MAP_ROOT_STATEMENT);
  // A CR inside a value stays in the value, shown as '?' like every control byte.
  EXPECT_EQ(RunMap("{\r\n\"k\" \"a\rb\"\r\n}\r\n").output, Pair("k", "a?b") + Counts(4, 1, 0));
}

std::string WithoutCr(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

TEST(MapLoad, LoneLfEndsALineAsCrLfDoes) {
  const std::string withComment = std::string("// written on Linux\r\n") + kTenLines;
  for (const std::string& text : {std::string(kTenLines), withComment}) {
    const MapRun crLf = RunMap(text);
    ASSERT_EQ(crLf.code, 0);
    const MapRun lf = RunMap(WithoutCr(text));
    EXPECT_EQ(lf.code, 0);
    EXPECT_EQ(lf.output, crLf.output);
  }
  // Both line ends in one text.
  EXPECT_EQ(RunMap("{\n}\r\n").output, Counts(3, 1, 0));
  EXPECT_EQ(RunMap("{\n\"classname\" \"worldspawn\"\n}\n").output, Pair("classname", "worldspawn") + Counts(4, 1, 0));
  // A fault in an LF text is seen as in a CR LF one.
  EXPECT_EQ(RunMap("{\n}\n}\n").code, VNL_MAP_SCOPE_LOW);
}

struct FaultCase {
  const char* label;
  const char* text;
  int32_t code;
};

class MapFault : public testing::TestWithParam<FaultCase> {};

TEST_P(MapFault, StopsWithItsCodeAndPrintsNoCounts) {
  MapRun run = RunMap(GetParam().text);
  EXPECT_EQ(run.code, GetParam().code);
  EXPECT_EQ(run.output, "");
}

INSTANTIATE_TEST_SUITE_P(Faults, MapFault,
                         testing::Values(FaultCase{"StatementAtTheRoot", "\"classname\" \"worldspawn\"\r\n", 42},
                                         FaultCase{"StatementAfterTheEntityClosed", "{\r\n}\r\nstray\r\n", 42},
                                         FaultCase{"CloseAtTheRoot", "}\r\n", 41},
                                         FaultCase{"CloseTooManyLater", "{\r\n}\r\n}\r\n{\r\n", 41},
                                         FaultCase{"ThreeNestedOpens", "{\r\n{\r\n{\r\n", 40},
                                         FaultCase{"SixQuotes", "{\r\n\"a\" \"b\" \"c\"\r\n}\r\n", 43},
                                         FaultCase{"FiveQuotes", "{\r\n\"a\" \"b\"\"\r\n}\r\n", 43},
                                         FaultCase{"ValueHoldsAQuote", "{\r\n\"message\" \"say \"hi\" now\"\r\n}\r\n",
                                                   43},
                                         FaultCase{"ThreeQuotes", "{\r\n\"a\" \"b\r\n}\r\n", 43},
                                         FaultCase{"NoQuotes", "{\r\nclassname worldspawn\r\n}\r\n", 43}),
                         [](const testing::TestParamInfo<FaultCase>& tested) { return tested.param.label; });

TEST(MapLoad, PairsBeforeAFaultStayPrinted) {
  MapRun run = RunMap("{\r\n\"first\" \"1\"\r\n\"broken\r\n\"never\" \"2\"\r\n}\r\n");
  EXPECT_EQ(run.code, VNL_MAP_BAD_ENTITY);
  EXPECT_EQ(run.output, Pair("first", "1"));
}

struct ZoneCase {
  size_t keyLength;
  std::string between;  // what comes between the key and the value
};

class MapPrintZones : public testing::TestWithParam<ZoneCase> {};

// Zones are 14 columns apart; on an 80-column console a zone at column 66 or
// later begins a new line instead, and a key longer than the line wraps.
TEST_P(MapPrintZones, ValueStartsAtTheSecondZoneAfterTheKey) {
  std::string key(GetParam().keyLength, 'k');
  MapRun run = RunMap("{\r\n\"" + key + "\" \"v\"\r\n}\r\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.output, key + GetParam().between + "v\n" + Counts(4, 1, 0));
}

INSTANTIATE_TEST_SUITE_P(Keys, MapPrintZones,
                         testing::Values(ZoneCase{0, std::string(28, ' ')},          // 0 -> 14 -> 28
                                         ZoneCase{1, std::string(27, ' ')},          // 1 -> 14 -> 28
                                         ZoneCase{13, std::string(15, ' ')},         // 13 -> 14 -> 28
                                         ZoneCase{14, std::string(28, ' ')},         // 14 -> 28 -> 42
                                         ZoneCase{27, std::string(15, ' ')},         // 27 -> 28 -> 42
                                         ZoneCase{41, std::string(15, ' ')},         // 41 -> 42 -> 56
                                         ZoneCase{42, std::string(14, ' ') + "\n"},  // 42 -> 56, 70 is too late
                                         ZoneCase{55, " \n"},                        // 55 -> 56, 70 is too late
                                         ZoneCase{56, "\n" + std::string(14, ' ')},  // 70 too late -> new line, -> 14
                                         ZoneCase{79, "\n" + std::string(14, ' ')},
                                         ZoneCase{80, std::string(28, ' ')},   // wrapped to column 0
                                         ZoneCase{85, std::string(23, ' ')}),  // wrapped to 5 -> 14 -> 28
                         [](const testing::TestParamInfo<ZoneCase>& tested) {
                           return "Key" + std::to_string(tested.param.keyLength);
                         });

TEST(MapLoad, FileFormForcesTheExtensionAndReadsTheDisk) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteText(dir.file("room.map"), "{\r\n\"classname\" \"light\"\r\n}\r\n"));
  std::string pack;
  std::string name = dir.file("room");
  testing::internal::CaptureStdout();
  int32_t code = vnlMapLoad(pack, name);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, 0);
  EXPECT_EQ(output, Pair("classname", "light") + Counts(4, 1, 0));
  EXPECT_EQ(name.substr(name.size() - 9), "\\room.map");
}

TEST(MapLoad, FileFormPassesOnItsFailures) {
  std::string pack;
  std::string blanks = "   ";
  EXPECT_EQ(vnlMapLoad(pack, blanks), VNL_NO_NAME);
  EXPECT_EQ(blanks, "");

  testdata::TempDir dir;
  std::string missing = dir.file("nothing");
  EXPECT_EQ(vnlMapLoad(pack, missing), VNL_NOT_FOUND);

  ASSERT_TRUE(testdata::WriteText(dir.file("bad.map"), "}\r\n"));
  std::string bad = dir.file("bad.map");
  testing::internal::CaptureStdout();
  EXPECT_EQ(vnlMapLoad(pack, bad), VNL_MAP_SCOPE_LOW);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// Counts worked out here from the text itself, independently of the parser.
struct MapFacts {
  int lines = 1;  // the final empty read
  int entities = 0;
  int brushes = 0;
  int classnames = 0;
};

MapFacts CountByHand(const std::string& text) {
  MapFacts facts;
  int depth = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() : end + 2;
    ++facts.lines;
    size_t first = line.find_first_not_of(" \t");
    size_t last = line.find_last_not_of(" \t");
    if (first == std::string::npos) continue;
    line = line.substr(first, last - first + 1);
    if (line == "{") {
      ++depth;
      if (depth == 1) ++facts.entities;
      if (depth == 2) ++facts.brushes;
    } else if (line == "}") {
      --depth;
    } else if (depth == 1 && line.rfind("\"classname\"", 0) == 0) {
      ++facts.classnames;
    }
  }
  return facts;
}

TEST(MapLoad, RealMapPrintsItsPairsAndCounts) {
  SKIP_WITHOUT_CORPUS();
  std::string path = testdata::CorpusFile("maps/b_bh10.map");
  if (path.empty()) GTEST_SKIP() << "maps/b_bh10.map not in the corpus";
  MapFacts facts = CountByHand(testdata::ReadText(path));
  ASSERT_GT(facts.entities, 0);

  std::string pack;
  std::string name = path;
  testing::internal::CaptureStdout();
  int32_t code = vnlMapLoad(pack, name);
  std::string output = testing::internal::GetCapturedStdout();
  ASSERT_EQ(code, 0);

  int classnameLines = 0;
  for (size_t at = output.find("classname"); at != std::string::npos; at = output.find("classname", at + 1))
    if (at == 0 || output[at - 1] == '\n') ++classnameLines;
  EXPECT_EQ(classnameLines, facts.classnames);
  EXPECT_EQ(facts.entities, facts.classnames);  // every entity of this map names its class
  EXPECT_NE(output.find(Pair("classname", "worldspawn")), std::string::npos);
  std::string tail = Counts(facts.lines, facts.entities, facts.brushes);
  ASSERT_GE(output.size(), tail.size());
  EXPECT_EQ(output.substr(output.size() - tail.size()), tail);
}

}  // namespace
