// Wildcard sources: every match through its single-item mode, one line per item,
// the summary, the exit code, and extraction of many members into folders.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "builders.h"
#include "corvane_run.h"
#include "files.h"
#include "sources.h"

namespace {

using corvane_test::Count;
using corvane_test::RunCorvane;
using corvane_test::RunResult;
using testdata::Bytes;
using testdata::PackMember;

Bytes Model(int seed) {
  testdata::ModelRecipe recipe = testdata::SmallModel();
  recipe.skins[0].pictures[0] = testdata::SkinPixels(recipe, seed);
  return testdata::BuildModel(recipe);
}

Bytes Sprite() {
  testdata::SpriteRecipe recipe;
  recipe.entries.push_back({false, {}, {testdata::MakeSpriteFrame(4, 3, 0, 0, 1)}});
  recipe.entries.push_back({false, {}, {testdata::MakeSpriteFrame(2, 2, 0, 0, 2)}});
  return testdata::BuildSprite(recipe);
}

Bytes Bytes300(int seed) {
  Bytes bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(uint8_t(i * 13 + seed));
  return bytes;
}

// Models, a sprite, lumps and the palette, in one pack.
std::vector<PackMember> AssetMembers() {
  return {{"progs/a.mdl", Model(1)},
          {"progs/b.mdl", Model(2)},
          {"progs/sub/c.mdl", Model(3)},
          {"progs/s.spr", Sprite()},
          {"gfx/l1.lmp", testdata::BuildLump(2, 2, {1, 2, 3, 4})},
          {"gfx/l2.lmp", testdata::BuildLump(1, 3, {5, 6, 7})},
          {"gfx/palette.lmp", testdata::DistinctPalette()}};
}

void WritePack(const testdata::TempDir& dir, const std::string& name, const std::vector<PackMember>& members) {
  ASSERT_TRUE(testdata::WriteFile(dir.file(name), testdata::BuildPack(members)));
}

TEST(WildcardMatch, StarStaysInOneLevelAndTwoStarsCross) {
  EXPECT_TRUE(MatchPattern("progs\\*.mdl", "progs\\a.mdl"));
  EXPECT_FALSE(MatchPattern("progs\\*.mdl", "progs\\sub\\c.mdl"));
  EXPECT_TRUE(MatchPattern("progs\\**.mdl", "progs\\sub\\c.mdl"));
  EXPECT_TRUE(MatchPattern("**", "a\\b\\c"));
  EXPECT_TRUE(MatchPattern("gfx\\l?.lmp", "gfx\\l1.lmp"));
  EXPECT_FALSE(MatchPattern("gfx\\l?.lmp", "gfx\\l10.lmp"));
  EXPECT_FALSE(MatchPattern("a?b", "a\\b"));
  EXPECT_FALSE(MatchPattern("Progs\\*.mdl", "progs\\a.mdl"));  // case is kept, as in member lookup
}

TEST(WildcardMatch, ExtractedPathsStayInside) {
  EXPECT_EQ(PathInsideFolder("..\\..\\x"), "x");
  EXPECT_EQ(PathInsideFolder("\\x"), "x");
  EXPECT_EQ(PathInsideFolder("c:x"), "x");
  EXPECT_EQ(PathInsideFolder("c:\\d\\x"), "d\\x");
  EXPECT_EQ(PathInsideFolder("progs\\dog.mdl"), "progs\\dog.mdl");
  EXPECT_EQ(PathInsideFolder("..\\.."), "");
}

TEST(BatchRuns, EveryMatchIsConvertedWithOneLineEachAndASummary) {
  testdata::TempDir dir;
  WritePack(dir, "p.pak", AssetMembers());
  RunResult run =
      RunCorvane(dir.path(), {"-model", "p.pak::progs/*.mdl", "-pal", "p.pak::gfx/palette.lmp", "-dst", "out/*.obj"});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("  \"progs\\a.mdl\" -> out/a.obj, out/a.mtl, a_0.tga\n"
                           "  \"progs\\b.mdl\" -> out/b.obj, out/b.mtl, b_0.tga\n"
                           ":: SUMMARY\n  2 converted, 0 failed\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(testdata::FileExists(dir.file("out/b.obj")));
  EXPECT_FALSE(testdata::FileExists(dir.file("out/c.obj")));  // "*" keeps to its level

  // "**" crosses folders; the default model file is each item's own .ase.
  run = RunCorvane(dir.path(), {"-model", "p.pak::**", "-report", "rep/*.txt"});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("3 converted, 0 failed"), std::string::npos) << run.out;
  for (const char* name : {"a.ase", "b.ase", "c.ase", "rep/c.txt"})
    EXPECT_TRUE(testdata::FileExists(dir.file(name))) << name;

  run = RunCorvane(dir.path(), {"-sprite", "p.pak::**.spr", "-pal", "p.pak::gfx/palette.lmp"});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("  \"progs\\s.spr\" -> s_0.tga, s_1.tga\n"), std::string::npos) << run.out;
  run = RunCorvane(dir.path(), {"-lump", "p.pak::gfx/l?.lmp", "-pal", "p.pak::gfx/palette.lmp", "-outimg", "png"});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(Count(run.after, " -> l"), 2u) << run.out;
  EXPECT_TRUE(testdata::FileExists(dir.file("l2.png")));
}

TEST(BatchRuns, AFailingItemIsListedTwiceAndTheOthersAreWritten) {
  testdata::TempDir dir;
  WritePack(dir, "p.pak", {{"a.mdl", Model(1)}, {"bad.mdl", Bytes300(5)}, {"c.mdl", Model(3)}, {"a.mdl", Model(4)}});
  RunResult run = RunCorvane(dir.path(), {"-model", "p.pak::*.mdl", "-dst", "*.obj"});
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_EQ(Count(run.after, "\"bad.mdl\""), 2u) << run.out;
  EXPECT_EQ(Count(run.after, "repeats an earlier member"), 2u) << run.out;
  EXPECT_NE(run.after.find("2 converted, 2 failed"), std::string::npos) << run.out;
  EXPECT_NE(run.after.find("!!ERROR!! 2 items failed"), std::string::npos) << run.out;
  EXPECT_TRUE(testdata::FileExists(dir.file("a.obj")));
  EXPECT_TRUE(testdata::FileExists(dir.file("c.obj")));
  EXPECT_FALSE(testdata::FileExists(dir.file("bad.obj")));
}

TEST(BatchRuns, TwoItemsNeverWriteOneName) {
  testdata::TempDir dir;
  WritePack(dir, "p.pak", {{"a/m.mdl", Model(1)}, {"b/m.mdl", Model(2)}});
  RunResult run = RunCorvane(dir.path(), {"-model", "p.pak::**.mdl", "-dst", "*.obj"});
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_NE(run.after.find("  \"b\\m.mdl\" failed: m.obj: an earlier item wrote that name"), std::string::npos)
      << run.out;
  const std::string first = testdata::ReadText(dir.file("m.obj"));
  RunResult single = RunCorvane(dir.path(), {"-model", "p.pak::a/m.mdl", "-dst", "single.obj"});
  EXPECT_EQ(single.code, 0) << single.out;
  EXPECT_EQ(Count(first, "\nv "), Count(testdata::ReadText(dir.file("single.obj")), "\nv "));
}

TEST(BatchRuns, AnOutputFolderThatCannotBeMadeFailsEachItem) {
  testdata::TempDir dir;
  WritePack(dir, "p.pak", {{"a.mdl", Model(1)}, {"b.mdl", Model(2)}});
  ASSERT_TRUE(testdata::WriteText(dir.file("f"), "a file where a folder should be"));
  RunResult run = RunCorvane(dir.path(), {"-model", "p.pak::*.mdl", "-dst", "f/*.obj", "-report", "*.txt"});
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_EQ(Count(run.after, "failed: folder \"f\" cannot be made"), 2u) << run.out;
  EXPECT_NE(run.after.find("0 converted, 2 failed"), std::string::npos) << run.out;
  EXPECT_FALSE(testdata::FileExists(dir.file("a.txt")));  // an item that cannot run writes nothing
}

TEST(BatchRuns, APatternWithoutMatchesIsAnErrorNamingIt) {
  testdata::TempDir dir;
  WritePack(dir, "p.pak", AssetMembers());
  RunResult run = RunCorvane(dir.path(), {"-model", "p.pak::maps/*.mdl"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.after.find("!!ERROR!! Nothing matches \"p.pak::maps\\*.mdl\""), std::string::npos) << run.out;
  WritePack(dir, "empty.pak", {});
  EXPECT_EQ(RunCorvane(dir.path(), {"-pakextract", "empty.pak::**"}).code, 1);
}

TEST(BatchRuns, DiskMatchesRunInNameOrder) {
  testdata::TempDir dir;
  ASSERT_EQ(mkdir(dir.file("in").c_str(), 0777), 0);
  for (const char* name : {"in/z.mdl", "in/a.mdl", "in/m.mdl"}) testdata::WriteFile(dir.file(name), Model(1));
  RunResult run = RunCorvane(dir.path(), {"-model", "in/*.mdl"});
  EXPECT_EQ(run.code, 0) << run.out;
  const size_t a = run.after.find("\"in\\a.mdl\" -> a.ase"), m = run.after.find("\"in\\m.mdl\""),
               z = run.after.find("\"in\\z.mdl\"");
  EXPECT_TRUE(a != std::string::npos && a < m && m < z && z != std::string::npos) << run.out;
}

TEST(BatchExtract, EveryMemberInItsFoldersAsExtractedAlone) {
  testdata::TempDir dir;
  std::vector<PackMember> members = AssetMembers();
  std::string pack = dir.file("p.pak");
  WritePack(dir, "p.pak", members);
  if (!testdata::CorpusFile("pak0.pak").empty()) {
    pack = testdata::CorpusFile("pak0.pak");
    members.clear();
    RunResult list = RunCorvane(dir.path(), {"-paklist", pack + "::list.txt"});
    ASSERT_EQ(list.code, 0) << list.out;
    const std::string text = testdata::ReadText(dir.file("list.txt"));
    for (size_t at = text.find("]:"); at != std::string::npos; at = text.find("]:", at + 1)) {
      const size_t open = text.find('"', at), close = text.find('"', open + 1);
      members.push_back({text.substr(open + 1, close - open - 1), {}});
    }
    ASSERT_FALSE(members.empty());
  }
  ASSERT_EQ(mkdir(dir.file("all").c_str(), 0777), 0);
  RunResult run = RunCorvane(dir.file("all"), {"-pakextract", pack + "::**"});
  EXPECT_EQ(run.code, 0) << run.out;
  ASSERT_EQ(mkdir(dir.file("one").c_str(), 0777), 0);
  for (const PackMember& member : members) {
    std::string path = member.name;
    for (char& c : path)
      if (c == '\\') c = '/';
    ASSERT_EQ(RunCorvane(dir.file("one"), {"-pakextract", pack + "::" + path, "-replace"}).code, 0) << path;
    const std::string own = path.substr(path.rfind('/') + 1);
    ASSERT_TRUE(testdata::FileExists(dir.file("all/" + path))) << path;
    EXPECT_EQ(testdata::ReadFile(dir.file("all/" + path)), testdata::ReadFile(dir.file("one/" + own))) << path;
  }
}

TEST(BatchExtract, NamesThatClimbOutLandBelowTheCurrentFolder) {
  testdata::TempDir dir;
  ASSERT_EQ(mkdir(dir.file("a").c_str(), 0777), 0);
  ASSERT_EQ(mkdir(dir.file("a/b").c_str(), 0777), 0);
  WritePack(dir, "a/b/p.pak",
            {{"../../x", Bytes300(1)}, {"/y", Bytes300(2)}, {"c:z", Bytes300(3)}, {"d/../../../w", Bytes300(4)}});
  RunResult run = RunCorvane(dir.file("a/b"), {"-pakextract", "p.pak::**"});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_EQ(testdata::ReadFile(dir.file("a/b/x")), Bytes300(1));
  EXPECT_EQ(testdata::ReadFile(dir.file("a/b/y")), Bytes300(2));
  EXPECT_EQ(testdata::ReadFile(dir.file("a/b/z")), Bytes300(3));
  EXPECT_EQ(testdata::ReadFile(dir.file("a/b/w")), Bytes300(4));
  for (const char* outside : {"x", "w", "a/x", "a/w", "y", "z"})
    EXPECT_FALSE(testdata::FileExists(dir.file(outside))) << outside;
}

TEST(BatchExtract, AFolderThatIsALinkLeadingOutIsRefused) {
  testdata::TempDir dir;
  ASSERT_EQ(mkdir(dir.file("work").c_str(), 0777), 0);
  ASSERT_EQ(mkdir(dir.file("elsewhere").c_str(), 0777), 0);
  ASSERT_EQ(symlink("../elsewhere", dir.file("work/progs").c_str()), 0);
  ASSERT_EQ(symlink("../elsewhere/f", dir.file("work/top").c_str()), 0);
  WritePack(dir, "work/p.pak", {{"progs/a.mdl", Model(1)}, {"top", Bytes300(1)}, {"gfx/ok.lmp", Bytes300(2)}});
  RunResult run = RunCorvane(dir.file("work"), {"-pakextract", "p.pak::**"});
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_NE(run.after.find("\"progs\\a.mdl\" failed: folder \"progs\": a symbolic link or a file stands there"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.after.find("1 converted, 2 failed"), std::string::npos) << run.out;
  EXPECT_FALSE(testdata::FileExists(dir.file("elsewhere/a.mdl")));
  EXPECT_FALSE(testdata::FileExists(dir.file("elsewhere/f")));
  EXPECT_EQ(testdata::ReadFile(dir.file("work/gfx/ok.lmp")), Bytes300(2));
}

// An output that is the run's own pack, by its name or by another name of the
// same file, is refused even with -replace, and the later members still come out.
TEST(BatchExtract, TheSourcePackIsNeverReplaced) {
  for (const char* member : {"p.pak", "h.pak"}) {
    testdata::TempDir dir;
    WritePack(dir, "p.pak", {{member, Bytes300(1)}, {"later.bin", Bytes300(2)}});
    ASSERT_EQ(link(dir.file("p.pak").c_str(), dir.file("h.pak").c_str()), 0);
    const Bytes before = testdata::ReadFile(dir.file("p.pak"));
    RunResult run = RunCorvane(dir.path(), {"-pakextract", "p.pak::**", "-replace"});
    EXPECT_EQ(run.code, 1) << member << run.out;
    EXPECT_NE(run.after.find(std::string(member) + ": it is a source of this run"), std::string::npos) << run.out;
    EXPECT_EQ(testdata::ReadFile(dir.file("p.pak")), before) << member;
    EXPECT_EQ(testdata::ReadFile(dir.file("later.bin")), Bytes300(2)) << member << run.out;
  }
}

TEST(BatchRuns, AGltfPairWrittenEarlierFailsWithoutAQuestion) {
  testdata::TempDir dir;
  WritePack(dir, "p.pak", {{"progs/a.mdl", Model(1)}, {"progs/sub/a.mdl", Model(2)}});
  RunResult run = RunCorvane(dir.path(), {"-model", "p.pak::progs/**.mdl", "-dst", "out/*.gltf"}, "y\ny\ny\n");
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_EQ(Count(run.after, "already exists"), 0u) << run.out;
  EXPECT_NE(run.after.find("\"progs\\sub\\a.mdl\" failed: "), std::string::npos) << run.out;
  EXPECT_NE(run.after.find("an earlier item wrote"), std::string::npos) << run.out;
}

TEST(BatchExtract, ControlBytesOfMemberNamesBecomeQuestionMarksInFileNames) {
  const struct {
    const char* member;
    const char* file;
  } cases[] = {{"esc\x1b[2J.txt", "esc?[2J.txt"},
               {"bell\a.txt", "bell?.txt"},
               {"line\nfeed.txt", "line?feed.txt"},
               {"dir\x1b/inner.txt", "dir?/inner.txt"}};
  testdata::TempDir dir;
  std::vector<PackMember> members;
  for (int i = 0; i < 4; ++i) members.push_back({cases[i].member, Bytes300(i)});
  WritePack(dir, "p.pak", members);
  RunResult run = RunCorvane(dir.path(), {"-pakextract", "p.pak::**"});
  EXPECT_EQ(run.code, 0) << run.out;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(testdata::ReadFile(dir.file(cases[i].file)), Bytes300(i)) << cases[i].file;
    EXPECT_FALSE(testdata::FileExists(dir.file(cases[i].member))) << cases[i].file;
  }
  // A model's outputs are named from the same printable base name.
  testdata::TempDir models;
  WritePack(models, "m.pak", {{"progs/ru\x1bn.mdl", Model(1)}, {"gfx/palette.lmp", testdata::DistinctPalette()}});
  run = RunCorvane(models.path(), {"-model", "m.pak::progs/*.mdl", "-pal", "m.pak::gfx/palette.lmp", "-dst", "*.obj"});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_TRUE(testdata::FileExists(models.file("ru?n.obj"))) << run.out;
  EXPECT_FALSE(testdata::FileExists(models.file("ru\x1bn.obj")));
}

// Files named like the run's temporaries anywhere below `folder`.
size_t TemporariesBelow(const std::string& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    count += entry.path().filename().string().rfind(".corvane-", 0) == 0;
  return count;
}

// While thousands of members are extracted, another process keeps swapping the
// folder they go to for a link leading out: nothing lands outside, and no
// temporary file is left anywhere.
TEST(BatchExtract, AFolderSwappedForALinkDuringTheRunLeadsNowhereElse) {
  testdata::TempDir dir;
  for (const char* folder : {"work", "work/d", "outside"}) ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0777), 0);
  ASSERT_EQ(symlink("../outside", dir.file("work/link").c_str()), 0);
  std::vector<PackMember> members;
  for (int i = 0; i < 3000; ++i) members.push_back({"d/m" + std::to_string(i) + ".bin", Bytes300(i)});
  WritePack(dir, "p.pak", members);
  const std::string folder = dir.file("work/d"), link = dir.file("work/link");
  if (renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) != 0)
    GTEST_SKIP() << "this file system cannot exchange two names: " << std::strerror(errno);
  renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
  const pid_t swapper = fork();
  ASSERT_GE(swapper, 0);
  if (swapper == 0) {
    for (;;) {
      renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
      usleep(50);
    }
  }
  RunResult run = RunCorvane(dir.file("work"), {"-pakextract", "../p.pak::**"});
  kill(swapper, SIGKILL);
  waitpid(swapper, nullptr, 0);
  struct stat info {};
  if (lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
    renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("outside"))) << run.out.substr(run.out.size() - 300);
  EXPECT_EQ(TemporariesBelow(dir.path()), 0u);
  const size_t written = size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
  EXPECT_GT(written, 0u) << run.out.substr(0, 2000);  // some members went in between the swaps
  EXPECT_NE(run.after.find(std::to_string(written) + " converted"), std::string::npos) << written;
}

// A base name that names no file ("progs/...mdl" has "..") fails its item, and
// two names of one file are one output ("o/x.obj" and "p/x.obj" through a link).
TEST(BatchRuns, BaseNamesThatNameNoFileFailAndOneFileIsOneOutput) {
  testdata::TempDir dir;
  for (const char* folder : {"sub", "sub/o"}) ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0777), 0);
  ASSERT_EQ(symlink("o", dir.file("sub/p").c_str()), 0);
  WritePack(dir, "p.pak",
            {{"progs/...mdl", Model(1)},
             {"progs/..mdl", Model(2)},
             {"progs/.mdl", Model(3)},
             {"progs/o.mdl", Model(4)},
             {"progs/p.mdl", Model(5)}});
  RunResult run = RunCorvane(dir.path(), {"-model", "p.pak::progs/*.mdl", "-dst", "sub/*/x.obj", "-replace"});
  EXPECT_EQ(run.code, 1) << run.out;
  for (const char* base : {"..", ".", ""})
    EXPECT_NE(run.after.find("failed: its base name \"" + std::string(base) + "\" cannot name a file"),
              std::string::npos)
        << base << run.out;
  EXPECT_NE(run.after.find("\"progs\\p.mdl\" failed: sub/p/x.obj: an earlier item wrote that name"), std::string::npos)
      << run.out;
  EXPECT_NE(run.after.find("1 converted, 4 failed"), std::string::npos) << run.out;
  for (const char* wrong : {"x.obj", "x.mtl", "sub/x.obj", "sub/x.mtl"})
    EXPECT_FALSE(testdata::FileExists(dir.file(wrong))) << wrong;
  EXPECT_TRUE(testdata::FileExists(dir.file("sub/o/x.obj")));
}

// Runs corvane as `nobody` when the tests run as root (whom no folder keeps
// out), else as the user running them. False when there is no such user.
bool RunAsAnyoneButRoot(const std::string& folder, const std::vector<std::string>& args, RunResult& result) {
  if (geteuid() != 0) {
    result = RunCorvane(folder, args);
    return true;
  }
  const passwd* nobody = getpwnam("nobody");
  int pipeEnds[2];
  if (nobody == nullptr || pipe(pipeEnds) != 0) return false;
  const uid_t uid = nobody->pw_uid;
  const gid_t gid = nobody->pw_gid;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(1);
    const RunResult run = RunCorvane(folder, args);
    const std::string text = std::to_string(run.code) + "\n" + run.after;
    _exit(write(pipeEnds[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 1);
  }
  close(pipeEnds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(got));
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.find('\n') == std::string::npos) return false;
  result.code = std::stoi(text.substr(0, text.find('\n')));
  result.after = result.out = text.substr(text.find('\n') + 1);
  return true;
}

// A folder the walk cannot read fails as an item with its reason; the walk goes
// on to the folders after it.
TEST(BatchRuns, AFolderTheDiskWalkCannotReadFailsAndTheWalkGoesOn) {
  testdata::TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
  for (const char* folder : {"in", "in/locked", "in/z"}) ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0777), 0);
  for (const char* name : {"in/a.mdl", "in/locked/b.mdl", "in/z/z.mdl"}) testdata::WriteFile(dir.file(name), Model(1));
  ASSERT_EQ(chmod(dir.file("in/locked").c_str(), 0), 0);
  RunResult run;
  const bool ran = RunAsAnyoneButRoot(dir.path(), {"-model", "in/**.mdl", "-dst", "*.obj"}, run);
  chmod(dir.file("in/locked").c_str(), 0777);
  ASSERT_TRUE(ran) << "no user \"nobody\" to run as";
  EXPECT_EQ(run.code, 1) << run.out;
  EXPECT_NE(run.after.find("  \"in\\locked\" failed: the folder cannot be read: Permission denied\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.after.find("2 converted, 1 failed"), std::string::npos) << run.out;
  EXPECT_TRUE(testdata::FileExists(dir.file("z.obj")));
}

// Disk names the loaders would read as others (a "\\" is a separator to them,
// blanks around a level are trimmed) are read by the name that matched.
TEST(BatchRuns, DiskNamesWithABackslashOrBlanksAroundAreLoadedAsTheyMatched) {
  const struct {
    const char* file;
    const char* written;
  } cases[] = {{"in/a\\b.mdl", "b.obj"}, {"in/ lead.mdl", " lead.obj"}, {"in/ sub/c.mdl", "c.obj"}};
  testdata::TempDir dir;
  for (const char* folder : {"in", "in/ sub"}) ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0777), 0);
  for (const auto& item : cases) ASSERT_TRUE(testdata::WriteFile(dir.file(item.file), Model(1))) << item.file;
  RunResult run = RunCorvane(dir.path(), {"-model", "in/**", "-dst", "*.obj"});
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.after.find("3 converted, 0 failed"), std::string::npos) << run.out;
  for (const auto& item : cases) EXPECT_TRUE(testdata::FileExists(dir.file(item.written))) << item.written << run.out;
}

TEST(BatchProgress, ShownOnATerminalOnly) {
  testdata::TempDir dir;
  WritePack(dir, "p.pak", AssetMembers());
  RunResult piped = RunCorvane(dir.path(), {"-model", "p.pak::**.mdl", "-replace"});
  EXPECT_EQ(piped.code, 0) << piped.out;
  EXPECT_EQ(Count(piped.out, "[1/3]"), 0u);
  if (!corvane_test::HaveScript()) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
  RunResult shown = corvane_test::RunCorvaneOnTerminal(dir.path(), {"-model", "p.pak::**.mdl", "-replace"}, "");
  EXPECT_EQ(shown.code, 0) << shown.out;
  EXPECT_EQ(Count(shown.out, "\x1b[2K\r[1/3] progs\\a.mdl  "), 1u) << shown.out;
  EXPECT_EQ(Count(shown.out, "\x1b[2K\r[3/3] progs\\sub\\c.mdl  "), 1u) << shown.out;
  EXPECT_NE(shown.out.find("\x1b[2K\r  \"progs\\sub\\c.mdl\" -> c.ase"), std::string::npos) << shown.out;
}

}  // namespace
