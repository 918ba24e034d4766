// Outputs through the real program: every output that is not written is said
// where it is announced and fails the run; nothing of the user's is replaced
// unasked or lost; no temporary file stays behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <set>

#include "builders.h"
#include "corvane_run.h"
#include "driver.h"
#include "files.h"
#include "image_check.h"
#include "image_library.h"
#include "modes.h"
#include "options.h"
#include "state.h"
#include "writer_fixture.h"

namespace {

using corvane_test::Count;
using corvane_test::RunCorvane;
using corvane_test::RunResult;
using corvane_test::WriteModelAndPalette;

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  for (auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

bool HasTemporary(const std::string& folder) {
  for (const std::string& name : Entries(folder))
    if (name.rfind(".corvane-", 0) == 0) return true;
  return false;
}

unsigned PermissionBits(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// ---- failures ----

TEST(OutputFailures, EachIsSaidUnderItsOutputAndTheRunGoesOnToFail) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  std::filesystem::create_directory(dir.file("r.txt"));  // a folder at the report's name
  const std::string longName(300, 'h');
  RunResult run =
      RunCorvane(dir.path(),
                 {"-model", "m", "-pal", "pal", "-dst", "nope/x.obj", "-skinhint", longName, "-report", "r"}, "", true);
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.after.find("  Model:   \"nope\\x.obj\"\n"
                           "  Failed:  \"nope/x.obj\" (No such file or directory)\n"
                           "  Failed:  \"nope/x.mtl\" (No such file or directory)\n"
                           "  Picture: \"m_0.tga\"\n"
                           "  Picture: \"" +
                           longName +
                           ".tga\"\n"
                           "  Failed:  \"" +
                           longName +
                           ".tga\" (File name too long)\n"
                           "  Report:  \"r.txt\"\n"
                           "  Failed:  \"r.txt\" (Is a directory)\n"
                           "!!ERROR!! 4 outputs were not written\n"),
            std::string::npos)
      << run.after;
  EXPECT_EQ(Count(run.out, "!!ERROR!!"), 1u);
  EXPECT_TRUE(testdata::FileExists(dir.file("m_0.tga")));  // the others are still written
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"m.mdl", "pal.lmp", "m_0.tga", "r.txt"}));
}

TEST(OutputFailures, SizesTheImageFormatCannotStoreAreRefused) {
  struct Case {
    const char* format;
    const char* width;
    const char* height;
    const char* said;
  } cases[] = {{"tga", "65536", "1", "  Failed:  \"m_0.tga\" (a TGA image is at most 65535 pixels wide and high)\n"},
               {"jpg", "1", "65501", "  Failed:  \"m_0.jpg\" (a JPEG image is at most 65500 pixels wide and high)\n"}};
  for (const Case& c : cases) {
    testdata::TempDir dir;
    WriteModelAndPalette(dir);
    RunResult run = RunCorvane(
        dir.path(), {"-model", "m", "-pal", "pal", "-outimg", c.format, "-skinsize", c.width, c.height, "-report", "m"},
        "", true);
    EXPECT_EQ(run.code, 1) << c.format;
    EXPECT_EQ(Count(run.after, c.said), 1u) << run.after;
    EXPECT_EQ(Count(run.after, "!!ERROR!! 1 output was not written\n"), 1u) << run.after;
    EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"m.mdl", "pal.lmp", "m.ase", "m.txt"}));
  }
}

// The image library is bound at run time; a test hook points it at a name that
// does not exist, and the run goes through the driver in this process.
TEST(OutputFailures, WithoutTheImageLibraryEveryImageFails) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  writertest::InFolder inside(dir.path());
  writertest::StdinFeed noAnswers("");
  ConverterState state;
  state.options.arguments = {"corvane", "-model", "m", "-pal", "pal", "-skinhint", "hint"};
  RebindImageLibrary("libfreeimage-absent.so.0");
  std::string said;
  int code;
  {
    imagecheck::ConsoleCapture console;
    code = FinishRun(state, RunConverter(state));
    said = console.text();
  }
  RebindImageLibrary(kImageLibraryName);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(Count(said, "  Images are not written: FreeImage is not available ("), 1u) << said;
  EXPECT_NE(said.find("  Picture: \"m_0.tga\"\n  Failed:  \"m_0.tga\" (FreeImage is not available)\n"
                      "  Picture: \"hint.tga\"\n  Failed:  \"hint.tga\" (FreeImage is not available)\n"
                      "!!ERROR!! 2 outputs were not written\n"),
            std::string::npos)
      << said;
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"m.mdl", "pal.lmp", "m.ase"}));
}

// ---- consent and what the user had ----

TEST(OutputConsent, TheMaterialLibraryIsAskedAboutAndANoIsNoFailure) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file("x.mtl"), "old library");
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-dst", "x.obj"}, "n");
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.after.find("  Model:   \"x.obj\"\n\"x.mtl\" already exists, replace? [Yes/No/Always]\n"),
            std::string::npos)
      << run.after;
  EXPECT_EQ(Count(run.out, "Failed"), 0u);
  EXPECT_EQ(testdata::ReadText(dir.file("x.mtl")), "old library");
  EXPECT_TRUE(testdata::FileExists(dir.file("x.obj")));
}

TEST(OutputConsent, AReplacedFileKeepsItsPermissionBits) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  testdata::WriteText(dir.file("m.txt"), "old");
  chmod(dir.file("m.txt").c_str(), 0600);
  testdata::WriteText(dir.file("m.ase"), "old");
  chmod(dir.file("m.ase").c_str(), 0751);
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-report", "m", "-replace"}, "", true);
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(testdata::ReadText(dir.file("m.txt")), "old");
  EXPECT_EQ(PermissionBits(dir.file("m.txt")), 0600u);
  EXPECT_EQ(PermissionBits(dir.file("m.ase")), 0751u);
}

TEST(OutputConsent, ALinkKeepsPointingAtItsTargetWhichIsAskedAboutAndWritten) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  std::filesystem::create_directory(dir.file("real"));
  testdata::WriteText(dir.file("real/t.ase"), "old");
  std::filesystem::create_symlink("real/t.ase", dir.file("x.ase"));
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-dst", "x.ase"}, "y");
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(Count(run.after, "\"x.ase\" already exists, replace? [Yes/No/Always]"), 1u) << run.after;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("x.ase")));
  EXPECT_EQ(testdata::ReadText(dir.file("real/t.ase")).rfind("*3DSMAX_ASCIIEXPORT", 0), 0u);
  EXPECT_EQ(Entries(dir.file("real")), (std::set<std::string>{"t.ase"}));
}

// In a folder anyone may write to and only owners clear (/tmp), a link is
// followed only when it belongs to the user or to the folder's owner: another
// user's link would have root replace a file that user cannot touch.
TEST(OutputConsent, ALinkOfAnotherUserInASharedFolderIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "a link of another user needs root to be made (lchown)";
  const uid_t self = geteuid(), nobody = 65534;
  const struct {
    uid_t linkOwner, folderOwner;
    bool followed;
  } cases[] = {{self, self, true}, {nobody, self, false}, {nobody, nobody, true}};
  for (const auto& item : cases) {
    testdata::TempDir dir;
    WriteModelAndPalette(dir);
    testdata::WriteText(dir.file("secret"), "root only");
    ASSERT_EQ(chmod(dir.file("secret").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("shared"));
    ASSERT_EQ(chmod(dir.file("shared").c_str(), 01777), 0);
    ASSERT_EQ(chown(dir.file("shared").c_str(), item.folderOwner, item.folderOwner), 0);
    std::filesystem::create_symlink("../secret", dir.file("shared/m.ase"));
    ASSERT_EQ(lchown(dir.file("shared/m.ase").c_str(), item.linkOwner, item.linkOwner), 0);
    RunResult run = RunCorvane(dir.path(), {"-model", "m", "-dst", "shared/m.ase", "-replace"});
    const std::string secret = testdata::ReadText(dir.file("secret"));
    EXPECT_EQ(run.code, item.followed ? 0 : 1) << item.linkOwner << run.out;
    EXPECT_EQ(secret == "root only", !item.followed) << item.linkOwner << " " << item.folderOwner;
    EXPECT_EQ(Count(run.after, "\"shared/m.ase\" (a symbolic link of another user in a shared folder is not followed)"),
              item.followed ? 0u : 1u)
        << run.out;
  }
}

TEST(OutputConsent, ALinkToNothingOrToAFolderIsAFailureNeverReplaced) {
  struct Case {
    const char* target;
    const char* reason;
  } cases[] = {{"nowhere.ase", "the symbolic link points to no file"}, {".", "Is a directory"}};
  for (const Case& c : cases) {
    testdata::TempDir dir;
    WriteModelAndPalette(dir);
    std::filesystem::create_symlink(c.target, dir.file("x.ase"));
    RunResult run = RunCorvane(dir.path(), {"-model", "m", "-dst", "x.ase", "-replace"}, "", true);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(Count(run.after, "  Failed:  \"x.ase\" (" + std::string(c.reason) + ")\n"), 1u) << run.after;
    EXPECT_EQ(std::filesystem::read_symlink(dir.file("x.ase")), c.target);
    EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"m.mdl", "pal.lmp", "x.ase"}));
  }
}

// ---- a slow image: the replace race and signals ----

// Starts corvane in the background on a skin rescaled to 8192 x 8192 PNG (seconds
// of encoding), waits until its model file is published and the image's temporary
// file is there, runs `action` (shell text; $pid is corvane, or on a terminal the
// `script` that runs it; the log is in $log), and waits for the end. Returns the
// status ("seen" in `log` when the temporary was met).
int DuringASlowEncode(const testdata::TempDir& dir, const std::string& action, std::string& log,
                      bool onTerminal = false) {
  testdata::TempDir logs;
  const std::string corvane =
      corvane_test::CorvaneCommand({"-model", "m", "-pal", "pal", "-skinsize", "8192", "8192", "-outimg", "png"});
  // On a terminal the keyboard stays open, typing nothing, until the action is done.
  const std::string keyboard = "(k=0; while [ ! -e \"$log.done\" ] && [ $k -lt 600 ]; do sleep 0.05; k=$((k+1)); done)";
  const std::string start =
      onTerminal ? keyboard + " | script -qefc \"" + corvane + "\" /dev/null" : corvane + " < /dev/null";
  const std::string command = "cd '" + dir.path() + "' || exit 1; log='" + logs.file("log") + "'; " + start +
                              " > \"$log\" 2>&1 & pid=$!; i=0; "
                              "while [ $i -lt 3000 ] && ! { [ -e m.ase ] && ls -A | grep -q '^\\.corvane-'; }; do "
                              "sleep 0.01; i=$((i+1)); done; "
                              "[ $i -lt 3000 ] && echo seen; " +
                              action + "; touch \"$log.done\"; wait $pid; echo $? > '" + logs.file("status") + "'";
  testdata::RunCommand(command, &log, true);
  log += testdata::ReadText(logs.file("log"));
  return std::atoi(testdata::ReadText(logs.file("status")).c_str());
}

TEST(ReplaceRace, AFileCreatedDuringTheEncodeIsAskedAboutNotReplaced) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  std::string log;
  int status = DuringASlowEncode(dir, "printf keep > m_0.png", log);
  ASSERT_EQ(log.rfind("seen", 0), 0u) << log;
  EXPECT_EQ(status, 0) << log;  // no input: No, which is no failure
  EXPECT_EQ(Count(log, "\"m_0.png\" already exists, replace? [Yes/No/Always]"), 1u) << log;
  EXPECT_TRUE(testdata::ReadText(dir.file("m_0.png")) == "keep");
  EXPECT_FALSE(HasTemporary(dir.path()));
}

TEST(TemporaryFiles, SigtermDuringAnEncodeRemovesTheTemporaryAndEndsTheRunBySigterm) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  std::string log;
  int status = DuringASlowEncode(dir, "kill -TERM $pid", log);
  ASSERT_EQ(log.rfind("seen", 0), 0u) << log;
  EXPECT_EQ(status, 128 + SIGTERM) << log;
  EXPECT_FALSE(HasTemporary(dir.path()));
  EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"m.mdl", "pal.lmp", "m.ase"}));
}

// The question about a file that appeared comes while the temporary file is in
// flight; on a terminal the prompt's raw mode has signal handlers of its own, which
// hand the signal on.
TEST(TemporaryFiles, SigtermDuringTheRepeatedQuestionOnATerminalRemovesTheTemporary) {
  if (testdata::RunCommand("script -qefc true /dev/null </dev/null >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no script(1) for a pseudo-terminal";
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  std::string log;
  int status = DuringASlowEncode(dir,
                                 "printf keep > m_0.png; j=0; until grep -q 'already exists' \"$log\" || "
                                 "[ $j -gt 1000 ]; do sleep 0.02; j=$((j+1)); done; "
                                 "kill -TERM $(ps -o pid= --ppid $pid)",
                                 log, true);
  ASSERT_EQ(log.rfind("seen", 0), 0u) << log;
  EXPECT_EQ(Count(log, "\"m_0.png\" already exists, replace? [Yes/No/Always]"), 1u) << log;
  EXPECT_EQ(status, 128 + SIGTERM) << log;
  EXPECT_FALSE(HasTemporary(dir.path()));
  EXPECT_TRUE(testdata::ReadText(dir.file("m_0.png")) == "keep");
}

TEST(TemporaryFiles, TheFileSizeSignalRemovesTheTemporaryAndEndsTheRunByIt) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  // The scene and the 32 x 32 TGA are each over 3 KB, more than 2 blocks of at most 1 KB.
  corvane_test::Launch launch;
  launch.args = {"-model", "m", "-pal", "pal", "-skinsize", "32", "32"};
  launch.closedInput = true;
  launch.before = "ulimit -f 2;";
  corvane_test::RunResult run = corvane_test::RunCorvaneWith(dir.path(), launch);
  EXPECT_EQ(run.code, 128 + SIGXFSZ) << run.out;
  EXPECT_FALSE(HasTemporary(dir.path()));
  EXPECT_FALSE(testdata::FileExists(dir.file("m_0.tga")));
}

// ---- where the OBJ's materials find the skins ----

TEST(MaterialPaths, ALibraryInASubfolderNamesTheSkinsByTheWayBack) {
  testdata::TempDir dir;
  WriteModelAndPalette(dir);
  std::filesystem::create_directories(dir.file("out/deep"));
  for (const char* dst : {"out/x.obj", "out/deep/x.obj"}) {
    RunResult run = RunCorvane(dir.path(), {"-model", "m", "-pal", "pal", "-dst", dst, "-replace"}, "", true);
    ASSERT_EQ(run.code, 0) << run.out;
  }
  EXPECT_NE(testdata::ReadText(dir.file("out/x.mtl")).find("\r\nmap_Kd -s 1 1 1 -o 0 0 0 -mm 0 1 ../m_0.tga\r\n"),
            std::string::npos);
  EXPECT_NE(testdata::ReadText(dir.file("out/deep/x.mtl")).find("-mm 0 1 ../../m_0.tga\r\n"), std::string::npos);
}

}  // namespace
