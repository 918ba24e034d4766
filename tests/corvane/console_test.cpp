// The console layer and the replace prompt: in-process with stdin taken from a
// pipe, and end to end through the binary, on a pipe and on a pseudo-terminal.
#include "console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "corvane_run.h"
#include "files.h"
#include "output.h"  // ConfirmReplace
#include "state.h"

namespace {

using corvane_test::Count;
using corvane_test::RunCorvane;
using corvane_test::RunCorvaneOnTerminal;
using corvane_test::RunResult;
using corvane_test::WriteModelAndPalette;

// Makes `text` the whole of stdin for the object's lifetime; `keepOpen` leaves the
// pipe's writing end open, so that reads wait instead of meeting the end.
class StdinFrom {
 public:
  explicit StdinFrom(const std::string& text, bool keepOpen = false) {
    int fds[2];
    if (pipe(fds) != 0) return;
    if (write(fds[1], text.data(), text.size()) != ssize_t(text.size())) ADD_FAILURE() << "pipe too small";
    if (keepOpen) writer_ = fds[1];
    else close(fds[1]);
    saved_ = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
  }
  ~StdinFrom() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
    if (writer_ >= 0) close(writer_);
  }

 private:
  int saved_ = -1;
  int writer_ = -1;
};

struct Asked {
  int answer;
  std::string shown;
};

Asked Ask(const std::string& keys, const std::string& choices) {
  StdinFrom input(keys);
  testing::internal::CaptureStdout();
  int answer = AskChoice("Go on", choices);
  return {answer, testing::internal::GetCapturedStdout()};
}

// ---- value lines ----

TEST(ConsoleLines, ValuesStartInColumnTwelve) {
  struct Case {
    const char* label;
    const char* line;
  } cases[] = {
      {"  Model:", "  Model:   \"x\"\n"},
      {"  Source:", "  Source:  \"x\"\n"},
      {"  Palette:", "  Palette: \"x\"\n"},
      {"  Extract:", "  Extract: \"x\"\n"},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    ValueLine(c.label, "x");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
  }
}

TEST(ConsoleLines, ColumnFollowsWhatWasWritten) {
  testing::internal::CaptureStdout();
  ConsoleWrite("abc\nde");
  int afterAscii = ConsoleColumn();
  ConsoleWrite("\u2500\u2500");
  int afterWide = ConsoleColumn();
  ConsoleLine("");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(afterAscii, 2);
  EXPECT_EQ(afterWide, 4);
  EXPECT_EQ(ConsoleColumn(), 0);
}

TEST(ConsoleLines, NoTerminalMeansNoEscapesAndEightyColumns) {
  testing::internal::CaptureStdout();
  SetColour(4);
  SetColour(7);
  int width = ConsoleWidth();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(width, 80);
}

// ---- keys and choices ----

TEST(AskChoice, FirstMatchingKeyAnswersAndOthersArePassedOver) {
  struct Case {
    const char* keys;
    const char* choices;
    int answer;
  } cases[] = {
      {"xn", "Yes/No/Always", 2},   {"A", "Yes/No/Always", 3},   {"?1Y", "Yes/No/Always", 1},
      {"y", "", 1},                 {"zN", "", 2},               {"y", "Yes/Yonder", 1},
      {"\x1b[Aa", "Yes/No/Always", 3},  // an arrow key, then a
      {"\x1bOPn", "Yes/No/Always", 2},  // a function key, then n
      {"\xc3\xa9y", "Yes/No", 1},       // a non-ASCII key is no answer
  };
  for (const Case& c : cases) EXPECT_EQ(Ask(c.keys, c.choices).answer, c.answer) << c.keys;
}

TEST(AskChoice, EndOfInputPicksTheFallback) {
  EXPECT_EQ(Ask("", "Yes/No/Always").answer, 2);
  EXPECT_EQ(Ask("qqq", "Yes/No/Always").answer, 2);
  StdinFrom input("");
  testing::internal::CaptureStdout();
  EXPECT_EQ(AskChoice("Go on", "Yes/No/Always", 3), 3);
  testing::internal::GetCapturedStdout();
}

TEST(AskChoice, PromptIsOneLineWhenNotOnATerminal) {
  EXPECT_EQ(Ask("n", "Yes/No/Always").shown, "Go on? [Yes/No/Always]\n");
  EXPECT_EQ(Ask("n", "").shown, "Go on? [Yes/No]\n");
  EXPECT_EQ(Ask("n", "Yes/No/").shown, "Go on? [Yes/No]\n");
}

TEST(WaitKey, ReturnsAtOnceWhenStdinIsNoTerminal) {
  StdinFrom input("", true);  // nothing ever arrives, and the pipe stays open
  WaitKey();
  SUCCEED();
}

// ---- ConfirmReplace in-process ----

class ConfirmReplaceTest : public testing::Test {
 protected:
  int Confirm(const std::string& name, const std::string& keys, uint32_t* flags) {
    StdinFrom input(keys);
    testing::internal::CaptureStdout();
    int result = ConfirmReplace(dir_.file(name), flags, OPT_REPLACE);
    shown_ = testing::internal::GetCapturedStdout();
    return result;
  }
  testdata::TempDir dir_;
  std::string shown_;
};

TEST_F(ConfirmReplaceTest, AbsentFileNeedsNoQuestion) {
  uint32_t flags = 0;
  EXPECT_EQ(Confirm("new.ase", "n", &flags), 1);
  EXPECT_EQ(shown_, "");
}

TEST_F(ConfirmReplaceTest, ReplaceBitAnswersWithoutAsking) {
  testdata::WriteText(dir_.file("old.ase"), "old");
  uint32_t flags = OPT_REPLACE;
  EXPECT_EQ(Confirm("old.ase", "n", &flags), 1);
  EXPECT_EQ(shown_, "");
}

TEST_F(ConfirmReplaceTest, AnswersDecideAndTheOldFileIsNeverTouched) {
  struct Case {
    const char* keys;
    int result;
    uint32_t flags;
  } cases[] = {{"y", 1, 0}, {"xn", 0, 0}, {"a", 1, OPT_REPLACE}, {"", 0, 0}};
  for (const Case& c : cases) {
    testdata::WriteText(dir_.file("old.ase"), "old");
    uint32_t flags = OPT_SWAP;
    EXPECT_EQ(Confirm("old.ase", c.keys, &flags), c.result) << c.keys;
    EXPECT_EQ(flags, OPT_SWAP | c.flags) << c.keys;
    EXPECT_EQ(testdata::ReadText(dir_.file("old.ase")), "old") << c.keys;  // writers replace it atomically
    EXPECT_EQ(shown_, "\"" + dir_.file("old.ase") + "\" already exists, replace? [Yes/No/Always]\n");
  }
}

TEST_F(ConfirmReplaceTest, HiddenFileIsAnOrdinaryExistingFile) {
  testdata::WriteText(dir_.file(".old.ase"), "old");
  uint32_t flags = 0;
  EXPECT_EQ(Confirm(".old.ase", "n", &flags), 0);
  EXPECT_EQ(Count(shown_, "already exists"), 1u);
}

// ---- the replace prompt end to end ----

TEST(ReplacePrompt, NewFilesAreWrittenWithoutAQuestion) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-pal", "pal", "-report", "m"}, "n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Count(run.out, "already exists"), 0u);
  EXPECT_TRUE(testdata::FileExists(dir.file("m.ase")));
  EXPECT_TRUE(testdata::FileExists(dir.file("m.txt")));
}

TEST(ReplacePrompt, ReplaceOptionOverwritesSilently) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file("m.ase"), "old");
  testdata::WriteText(dir.file("m.txt"), "old");
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-report", "m", "-replace"}, "", true);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Count(run.out, "already exists"), 0u);
  EXPECT_NE(testdata::ReadText(dir.file("m.ase")), "old");
  EXPECT_NE(testdata::ReadText(dir.file("m.txt")), "old");
}

TEST(ReplacePrompt, OtherKeysAreIgnoredAndNoKeepsTheOldFile) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file("m.ase"), "old");
  RunResult run = RunCorvane(dir.path(), {"-model", "m"}, "xn");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(testdata::ReadText(dir.file("m.ase")), "old");
  EXPECT_NE(run.after.find("  Model:   \"m.ase\"\n\"m.ase\" already exists, replace? [Yes/No/Always]\n"),
            std::string::npos)
      << run.after;
}

TEST(ReplacePrompt, EndOfInputAnswersNo) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file("m.ase"), "old");
  RunResult run = RunCorvane(dir.path(), {"-model", "m"}, "", true);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Count(run.out, "already exists"), 1u);
  EXPECT_EQ(testdata::ReadText(dir.file("m.ase")), "old");
}

TEST(ReplacePrompt, AlwaysCoversTheRestOfTheRun) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  for (const char* name : {"m.ase", "m_0.tga", "m.txt"}) testdata::WriteText(dir.file(name), "old");
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-pal", "pal", "-report", "m"}, "a");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Count(run.out, "already exists"), 1u) << run.out;
  for (const char* name : {"m.ase", "m_0.tga", "m.txt"}) EXPECT_NE(testdata::ReadText(dir.file(name)), "old") << name;
}

TEST(ReplacePrompt, EachAnswerCountsForItsOwnFile) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  for (const char* name : {"m.ase", "m.txt"}) testdata::WriteText(dir.file(name), "old");
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-report", "m"}, "ny");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Count(run.out, "already exists"), 2u);
  EXPECT_EQ(testdata::ReadText(dir.file("m.ase")), "old");
  EXPECT_NE(testdata::ReadText(dir.file("m.txt")), "old");
}

TEST(ReplacePrompt, HiddenOutputFileIsAskedAboutNotOverwritten) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file(".m.ase"), "old");
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-dst", ".m.ase"}, "n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Count(run.out, "\".m.ase\" already exists, replace? [Yes/No/Always]"), 1u) << run.out;
  EXPECT_EQ(testdata::ReadText(dir.file(".m.ase")), "old");
}

// ---- on a terminal ----

// What an 80-column terminal shows after `bytes`: enough of the escape sequences
// the converter writes (cursor up and forward, erase, colours) to judge its screen.
std::vector<std::string> Screen(const std::string& bytes) {
  const size_t width = 80;
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(width, " "));
  size_t row = 0, col = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = bytes[i];
    if (c == '\r') {
      col = 0;
    } else if (c == '\n') {
      if (++row == rows.size()) rows.emplace_back(width, " ");
    } else if (c == 0x1B && i + 1 < bytes.size() && bytes[i + 1] == '[') {
      size_t end = i + 2;
      while (end < bytes.size() && !(bytes[end] >= 0x40 && bytes[end] <= 0x7E)) ++end;
      if (end >= bytes.size()) break;
      int n = std::max(1, std::atoi(bytes.substr(i + 2, end - i - 2).c_str()));
      if (bytes[end] == 'A') row = row >= size_t(n) ? row - n : 0;
      if (bytes[end] == 'C') col = std::min(width - 1, col + n);
      if (bytes[end] == 'J') {
        for (size_t k = col; k < width; ++k) rows[row][k] = " ";
        rows.resize(row + 1);
      }
      i = end;
    } else if ((c & 0xC0) != 0x80) {
      if (col == width) {  // the wrap is made by the character after the last column
        col = 0;
        if (++row == rows.size()) rows.emplace_back(width, " ");
      }
      size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      rows[row][col++] = bytes.substr(i, len);
      i += len - 1;
    }
  }
  std::vector<std::string> lines;
  for (auto& cells : rows) {
    std::string line;
    for (auto& cell : cells) line += cell;
    lines.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
  }
  return lines;
}

// script(1) present and able to open a pseudo-terminal here.
bool HaveScript() { return testdata::RunCommand("script -qefc true /dev/null </dev/null >/dev/null 2>&1") == 0; }

TEST(ReplacePromptOnTerminal, PromptIsErasedAndTheLogGoesOnOverIt) {
  if (!HaveScript()) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file("m.ase"), "old");
  RunResult run = RunCorvaneOnTerminal(dir.path(), {"-model", "m", "-report", "m"}, "xy");
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(Count(run.out, "\"m.ase\" already exists, replace? [Yes/No/Always]"), 1u) << run.out;
  std::vector<std::string> screen = Screen(run.out);
  ASSERT_GE(screen.size(), 3u);
  std::vector<std::string> tail(screen.end() - 3, screen.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"  Model:   \"m.ase\"", "  Report:  \"m.txt\"", ""}));
  EXPECT_NE(testdata::ReadText(dir.file("m.ase")), "old");
}

TEST(ReplacePromptOnTerminal, WrappedPromptIsErasedWhole) {
  if (!HaveScript()) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  const std::string name(90, 'n');
  testdata::WriteText(dir.file(name + ".ase"), "old");
  RunResult run = RunCorvaneOnTerminal(dir.path(), {"-model", "m", "-dst", name, "-report", "m"}, "n");
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(Count(run.out, "already exists"), 1u);
  std::vector<std::string> screen = Screen(run.out);
  for (const std::string& line : screen) EXPECT_EQ(Count(line, "replace?"), 0u) << line;
  ASSERT_GE(screen.size(), 2u);
  EXPECT_EQ(screen[screen.size() - 2], "  Report:  \"m.txt\"");
  EXPECT_EQ(testdata::ReadText(dir.file(name + ".ase")), "old");
}

}  // namespace
