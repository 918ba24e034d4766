// The console layer and the replace prompt: in-process with stdin taken from a
// pipe, and end to end through the binary, on a pipe and on a pseudo-terminal.
#include "console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "corvane_run.h"
#include "files.h"
#include "output.h"  // ConfirmReplace
#include "state.h"

namespace {

using corvane_test::Count;
using corvane_test::HaveScript;
using corvane_test::RunCorvane;
using corvane_test::RunCorvaneOnIdleTerminal;
using corvane_test::RunCorvaneOnTerminal;
using corvane_test::RunCorvaneRedirected;
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
    if (keepOpen)
      writer_ = fds[1];
    else
      close(fds[1]);
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
  ValueLine("  Model:", "m.mdl");
  int width = ConsoleWidth();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "  Model:   \"m.mdl\"\n");
  EXPECT_EQ(width, 80);
}

// ---- keys and choices ----

TEST(AskChoice, FirstMatchingKeyAnswersAndOthersArePassedOver) {
  struct Case {
    const char* keys;
    const char* choices;
    int answer;
  } cases[] = {
      {"xn", "Yes/No/Always", 2},
      {"A", "Yes/No/Always", 3},
      {"?1Y", "Yes/No/Always", 1},
      {"y", "", 1},
      {"zN", "", 2},
      {"y", "Yes/Yonder", 1},
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
  StdinFrom input("k", true);  // a key is there, and the pipe stays open
  testing::internal::CaptureStdout();
  WaitKey();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  // The key is still there for whoever reads next: the wait took nothing.
  char key = 0;
  EXPECT_EQ(read(STDIN_FILENO, &key, 1), 1);
  EXPECT_EQ(key, 'k');
}

// ---- ConfirmReplace in-process ----

class ConfirmReplaceTest : public testing::Test {
 protected:
  // 1 for a Yes, 0 for a No; `flags` are the run's option flags.
  int Confirm(const std::string& name, const std::string& keys, uint32_t flags) {
    StdinFrom input(keys);
    testing::internal::CaptureStdout();
    RunOptions options;
    options.flags = flags;
    outcome_ = RunOutcome();
    int result = ConfirmReplace(options, outcome_, dir_.file(name)) ? 1 : 0;
    shown_ = testing::internal::GetCapturedStdout();
    return result;
  }
  testdata::TempDir dir_;
  std::string shown_;
  RunOutcome outcome_;
};

TEST_F(ConfirmReplaceTest, AbsentFileNeedsNoQuestion) {
  EXPECT_EQ(Confirm("new.ase", "n", 0), 1);
  EXPECT_EQ(shown_, "");
}

TEST_F(ConfirmReplaceTest, ReplaceBitAnswersWithoutAsking) {
  testdata::WriteText(dir_.file("old.ase"), "old");
  EXPECT_EQ(Confirm("old.ase", "n", OPT_REPLACE), 1);
  EXPECT_EQ(shown_, "");
}

TEST_F(ConfirmReplaceTest, AnswersDecideAndTheOldFileIsNeverTouched) {
  struct Case {
    const char* keys;
    int result;
    bool always;
  } cases[] = {{"y", 1, false}, {"xn", 0, false}, {"a", 1, true}, {"", 0, false}};
  for (const Case& c : cases) {
    testdata::WriteText(dir_.file("old.ase"), "old");
    EXPECT_EQ(Confirm("old.ase", c.keys, OPT_SWAP), c.result) << c.keys;
    EXPECT_EQ(outcome_.alwaysReplace, c.always) << c.keys;
    EXPECT_EQ(testdata::ReadText(dir_.file("old.ase")), "old") << c.keys;  // writers replace it atomically
    EXPECT_EQ(shown_, "\"" + dir_.file("old.ase") + "\" already exists, replace? [Yes/No/Always]\n");
  }
}

TEST_F(ConfirmReplaceTest, HiddenFileIsAnOrdinaryExistingFile) {
  testdata::WriteText(dir_.file(".old.ase"), "old");
  EXPECT_EQ(Confirm(".old.ase", "n", 0), 0);
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

// ---- a prompt nobody can answer, and a log nobody reads ----

TEST(UnanswerablePrompt, StdinThatCannotAnswerSaysNoAtOnce) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file("m.ase"), "old");
  testdata::WriteText(dir.file("w.txt"), "");
  for (const char* in : {"<&-", "</dev/zero", "<.", "0>w.txt"}) {
    RunResult run = RunCorvaneRedirected(dir.path(), {"-model", "m"}, in);
    EXPECT_EQ(run.code, 0) << in << " (124: it hung)\n" << run.out;
    EXPECT_EQ(Count(run.out, "\"m.ase\" already exists, replace? [Yes/No/Always]\n"), 1u) << in << run.out;
    EXPECT_EQ(testdata::ReadText(dir.file("m.ase")), "old") << in;
  }
}

// Runs corvane in `folder` with `keys` as stdin, stdout a pipe whose reader is
// already gone and stderr the file "errors"; returns the wait status.
int RunIntoClosedPipe(const std::string& folder, const std::vector<std::string>& args, const std::string& keys) {
  testdata::WriteText(folder + "/keys", keys);
  int fds[2];
  if (pipe(fds) != 0) return -1;
  close(fds[0]);
  const int in = open((folder + "/keys").c_str(), O_RDONLY | O_CLOEXEC);
  const int errors = open((folder + "/errors").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int status = in < 0 || errors < 0 ? -1 : corvane_test::SpawnCorvane(folder, args, in, fds[1], errors);
  for (int fd : {in, errors, fds[1]})
    if (fd >= 0) close(fd);
  return status;
}

TEST(ClosedStdout, AClosedPipeEndsTheLogButNotTheRun) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file("m.ase"), "old");
  // The prompt's flush meets the closed pipe in the middle of the run; its answer
  // still counts, and the outputs after it are written whole.
  int status = RunIntoClosedPipe(dir.path(), {"-model", "m", "-pal", "pal", "-report", "m"}, "y");
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(testdata::ReadText(dir.file("errors")), "");  // a reader that left wanted nothing more
  EXPECT_NE(testdata::ReadText(dir.file("m.ase")), "old");
  EXPECT_TRUE(testdata::FileExists(dir.file("m_0.tga")));
  EXPECT_NE(testdata::ReadText(dir.file("m.txt")).find("MODEL INFOS"), std::string::npos);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().find(".corvane-"), std::string::npos) << entry.path();
}

TEST(ClosedStdout, AFullDiskUnderTheLogIsAFailedRunAndSaysSo) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  RunResult run = RunCorvaneRedirected(dir.path(), {"-model", "m"}, ">/dev/full");
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "!!ERROR!! Standard output: No space left on device\n");
  EXPECT_TRUE(testdata::FileExists(dir.file("m.ase")));
  EXPECT_EQ(RunCorvaneRedirected(dir.path(), {"--version"}, ">&-").code, 1);
  EXPECT_EQ(RunCorvaneRedirected(dir.path(), {"--version"}, ">/dev/null").code, 0);
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

TEST(ReplacePromptOnTerminal, WithTheLogInAFileTheQuestionShowsOnTheTerminal) {
  if (!HaveScript()) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file("m.ase"), "old");
  RunResult run = RunCorvaneOnTerminal(dir.path(), {"-model", "m"}, "n", "> log.txt");
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(Count(run.out, "\"m.ase\" already exists, replace? [Yes/No/Always]"), 1u) << run.out;
  for (const std::string& line : Screen(run.out)) EXPECT_EQ(Count(line, "replace?"), 0u) << line;  // erased after
  EXPECT_EQ(testdata::ReadText(dir.file("log.txt")),
            corvane_test::ExpectedBanner() +
                ":: SOURCES\n  Model:   \"m.mdl\"\n  Frame:   \"stand1\"\n:: OUTPUTS\n  Model:   \"m.ase\"\n"
                "\"m.ase\" already exists, replace? [Yes/No/Always]\n");
  EXPECT_EQ(testdata::ReadText(dir.file("m.ase")), "old");
}

TEST(ReplacePromptOnTerminal, KeyWaitOnlyWhenTheLogIsOnTheTerminal) {
  if (!HaveScript()) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
  testdata::TempDir dir;
  // After the error line: a wait on the terminal (the idle run times out), none
  // with the log in a file.
  EXPECT_EQ(RunCorvaneOnIdleTerminal(dir.path(), {"-model", "nope"}), 124);
  EXPECT_EQ(RunCorvaneOnIdleTerminal(dir.path(), {"-model", "nope"}, "> log.txt"), 1);
  EXPECT_EQ(RunCorvaneOnIdleTerminal(dir.path(), {}, "> log.txt"), 1);  // after the usage screen
  EXPECT_EQ(RunCorvaneOnIdleTerminal(dir.path(), {"--help"}), 0);       // asked for: never a wait
}

}  // namespace
