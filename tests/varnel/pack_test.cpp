#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builders.h"
#include "file_io.h"
#include "files.h"
#include "pack_builder.h"
#include "varnel/varnel.h"

namespace {

using testdata::Bytes;
using testdata::PackMember;
using testdata::RawPackEntry;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A pack written into its own temp folder.
struct PackFile {
  testdata::TempDir dir;
  std::string path;
  explicit PackFile(const Bytes& bytes, const std::string& name = "test.pak") : path(dir.file(name)) {
    EXPECT_TRUE(testdata::WriteFile(path, bytes));
  }
};

struct Member {
  int32_t code = -1;
  Bytes data;
  std::string fileName;  // the caller's string after the call
  std::string packName;
};

Member LoadMember(std::string packName, std::string fileName) {
  Member result;
  uint8_t* block = nullptr;
  uint32_t length = 0;
  result.code = vnlPackFileLoad(packName, fileName, block, length);
  if (block != nullptr)
    result.data.assign(block, block + length);
  else
    EXPECT_EQ(length, 0u);
  std::free(block);
  result.fileName = fileName;
  result.packName = packName;
  return result;
}

struct Directory {
  int32_t code = -1;
  VNLPACKINFO_T info{};
  std::string packName;
  ~Directory() { vnlPackInfoKill(info); }
};

std::unique_ptr<Directory> ReadDirectory(const std::string& packName) {
  auto result = std::make_unique<Directory>();
  result->packName = packName;
  result->code = vnlPackInfoRead(result->packName, result->info);
  return result;
}

// Runs a block of a test inside another current folder.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) {
    char buffer[4096];
    old_ = getcwd(buffer, sizeof buffer) ? buffer : "/";
    EXPECT_EQ(chdir(folder.c_str()), 0);
  }
  ~InFolder() { (void)chdir(old_.c_str()); }

 private:
  std::string old_;
};

// ---- the directory ----

TEST(PackDirectory, ListsCleanedNamesOffsetsAndLengthsInFileOrder) {
  PackFile pack(testdata::BuildPack({{"progs/a.mdl", Text("AAAA")}, {" maps / e1m1.bsp ", Text("BBBBBBBB")}}));
  auto dir = ReadDirectory(pack.path);
  ASSERT_EQ(dir->code, VNL_OK);
  EXPECT_STREQ(dir->info.magic, "PACK");
  EXPECT_EQ(dir->info.dirOffset, 12u + 12u);
  EXPECT_EQ(dir->info.dirLength, 128u);
  ASSERT_EQ(dir->info.entryCount, 2u);
  EXPECT_STREQ(dir->info.entries[0].name, "progs\\a.mdl");
  EXPECT_EQ(dir->info.entries[0].offset, 12u);
  EXPECT_EQ(dir->info.entries[0].length, 4u);
  EXPECT_EQ(dir->info.entries[0].usable, 1);
  // The name ends at its first zero byte, so cleaning trims the blank before it.
  EXPECT_STREQ(dir->info.entries[1].name, "maps\\e1m1.bsp");
  EXPECT_EQ(dir->info.entries[1].offset, 16u);
  EXPECT_EQ(dir->info.entries[1].length, 8u);
  EXPECT_EQ(LoadMember(pack.path, "maps/e1m1.bsp").data, Text("BBBBBBBB"));
}

TEST(PackDirectory, MemberRightAfterTheHeaderIsUsableAndLoadable) {
  PackFile pack(testdata::BuildPack({{"first.lmp", Text("hello")}}));
  auto dir = ReadDirectory(pack.path);
  ASSERT_EQ(dir->code, VNL_OK);
  EXPECT_EQ(dir->info.entries[0].offset, 12u);
  EXPECT_EQ(dir->info.entries[0].usable, 1);
  Member m = LoadMember(pack.path, "first.lmp");
  EXPECT_EQ(m.code, VNL_OK);
  EXPECT_EQ(m.data, Text("hello"));
}

struct HeaderCase {
  const char* what;
  void (*patch)(Bytes& pack);
  int32_t code;
};

TEST(PackDirectory, HeaderChecksDecideTheCode) {
  const HeaderCase cases[] = {
      {"directory length 100", [](Bytes& p) { testdata::PutU32(p, 8, 100); }, VNL_PAK_CORRUPT},
      {"directory length 0", [](Bytes& p) { testdata::PutU32(p, 8, 0); }, VNL_PAK_CORRUPT},
      {"directory offset 8", [](Bytes& p) { testdata::PutU32(p, 4, 8); }, VNL_PAK_CORRUPT},
      {"directory offset 0", [](Bytes& p) { testdata::PutU32(p, 4, 0); }, VNL_PAK_CORRUPT},
      {"directory ends one byte past the end", [](Bytes& p) { testdata::PutU32(p, 4, testdata::PackDirOffset(p) + 1); },
       VNL_PAK_CORRUPT},
      {"directory ends exactly at the end", [](Bytes&) {}, VNL_OK},
      {"directory offset + length wraps 32 bits",
       [](Bytes& p) {
         testdata::PutU32(p, 4, 0xFFFFFFC0u + 0);
         testdata::PutU32(p, 8, 128);
       },
       VNL_PAK_CORRUPT},
      {"directory length 0xFFFFFFC0", [](Bytes& p) { testdata::PutU32(p, 8, 0xFFFFFFC0u); }, VNL_PAK_CORRUPT},
      {"lower-case magic", [](Bytes& p) { std::memcpy(p.data(), "pack", 4); }, VNL_NOT_PAK},
      {"magic cut by a zero byte", [](Bytes& p) { p[3] = 0; }, VNL_NOT_PAK},
      {"bad magic wins over a bad directory",
       [](Bytes& p) {
         p[0] = 'X';
         testdata::PutU32(p, 8, 100);
       },
       VNL_NOT_PAK},
  };
  for (const HeaderCase& c : cases) {
    Bytes bytes = testdata::BuildPack({{"a", Text("12345678")}, {"b", Text("xyz")}});
    c.patch(bytes);
    PackFile pack(bytes);
    auto dir = ReadDirectory(pack.path);
    EXPECT_EQ(dir->code, c.code) << c.what;
    if (c.code != VNL_OK) {
      EXPECT_EQ(dir->info.entries, nullptr) << c.what;
      EXPECT_EQ(dir->info.entryCount, 0u) << c.what;
    }
  }
}

TEST(PackDirectory, AnyWrongMagicByteGivesNotPak) {
  for (size_t i = 0; i < 4; ++i) {
    Bytes bytes = testdata::BuildPack({{"a", Text("1")}});
    bytes[i] ^= 0x01;
    PackFile pack(bytes);
    EXPECT_EQ(ReadDirectory(pack.path)->code, VNL_NOT_PAK) << "byte " << i;
  }
}

TEST(PackDirectory, FilesThatAreNoPackGiveTheirCodes) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("empty.pak"), {}));
  ASSERT_TRUE(testdata::WriteFile(dir.file("short.pak"), Text("PAC")));
  ASSERT_TRUE(testdata::WriteFile(dir.file("magic.pak"), Text("PACK")));
  ASSERT_EQ(mkdir(dir.file("folder.pak").c_str(), 0700), 0);
  EXPECT_EQ(ReadDirectory(dir.file("empty.pak"))->code, VNL_EMPTY_FILE);
  EXPECT_EQ(ReadDirectory(dir.file("short.pak"))->code, VNL_NOT_PAK);
  EXPECT_EQ(ReadDirectory(dir.file("magic.pak"))->code, VNL_PAK_CORRUPT);
  EXPECT_EQ(ReadDirectory(dir.file("folder.pak"))->code, VNL_NOT_FOUND);
  EXPECT_EQ(ReadDirectory(dir.file("missing.pak"))->code, VNL_NOT_FOUND);
  auto blank = ReadDirectory("   ");
  EXPECT_EQ(blank->code, VNL_NO_NAME);
  EXPECT_EQ(blank->packName, "");
}

TEST(PackDirectory, DirectoryBeyondTheAllocationBudgetGivesNoMemory) {
  // A sparse file whose directory would need more than VNL_MAX_ALLOCATION of entries.
  const uint64_t entries = VNL_MAX_ALLOCATION / sizeof(VNLPACKENTRY_T) + 1;
  const uint32_t dirLength = uint32_t(entries * 64);
  testdata::TempDir dir;
  std::string path = dir.file("huge.pak");
  ASSERT_TRUE(testdata::WriteFile(path, testdata::ByteWriter().text("PACK").u32(12).u32(dirLength).take()));
  ASSERT_EQ(truncate(path.c_str(), off_t(12) + dirLength), 0);
  auto read = ReadDirectory(path);
  EXPECT_EQ(read->code, VNL_NO_MEMORY);
  EXPECT_EQ(read->info.entries, nullptr);
  EXPECT_EQ(read->info.entryCount, 0u);
  EXPECT_EQ(vnl::FreeHandleCount(), vnl::kHandleCount);
}

TEST(PackDirectory, PackNameWithoutExtensionOpensDotPak) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("pak0.pak"), testdata::BuildPack({{"x", Text("1")}})));
  InFolder inside(dir.path());
  auto read = ReadDirectory("pak0");
  EXPECT_EQ(read->code, VNL_OK);
  EXPECT_EQ(read->packName, "pak0.pak");
  EXPECT_EQ(read->info.entryCount, 1u);
}

TEST(PackDirectory, FailedReadEmptiesALoadedRecord) {
  PackFile good(testdata::BuildPack({{"x", Text("1")}}));
  Bytes bad = testdata::BuildPack({{"x", Text("1")}});
  testdata::PutU32(bad, 8, 100);
  PackFile corrupt(bad);
  VNLPACKINFO_T info{};
  std::string name = good.path;
  ASSERT_EQ(vnlPackInfoRead(name, info), VNL_OK);
  ASSERT_NE(info.entries, nullptr);
  name = corrupt.path;
  EXPECT_EQ(vnlPackInfoRead(name, info), VNL_PAK_CORRUPT);
  EXPECT_EQ(info.entries, nullptr);
  EXPECT_EQ(info.entryCount, 0u);
  EXPECT_EQ(info.dirLength, 0u);
  vnlPackInfoKill(info);
}

TEST(PackDirectory, KillFreesEntriesAndKeepsTheMagic) {
  PackFile pack(testdata::BuildPack({{"x", Text("1")}}));
  VNLPACKINFO_T info{};
  std::string name = pack.path;
  ASSERT_EQ(vnlPackInfoRead(name, info), VNL_OK);
  vnlPackInfoKill(info);
  EXPECT_EQ(info.entries, nullptr);
  EXPECT_EQ(info.entryCount, 0u);
  EXPECT_EQ(info.dirOffset, 0u);
  EXPECT_EQ(info.dirLength, 0u);
  EXPECT_STREQ(info.magic, "PACK");
  vnlPackInfoKill(info);  // an empty record may be killed again
  EXPECT_EQ(info.entries, nullptr);
}

// ---- entries whose data cannot be read ----

struct EntryCase {
  const char* what;
  uint32_t offset;
  uint32_t length;
};

TEST(PackEntries, UnusableEntryIsListedButNeverLoaded) {
  const Bytes data = Text("0123456789abcdef");  // file offsets 12..27; directory at 28
  const uint32_t fileSize = 12 + 16 + 64;
  const EntryCase cases[] = {
      {"data passes the end by one byte", 12, fileSize - 12 + 1},
      {"data starts past the end", fileSize + 5, 1},
      {"offset inside the header", 8, 4},
      {"offset 0", 0, 4},
      {"offset + length wraps 32 bits", 0xFFFFFFF0u, 0x20},
      {"largest offset and length", 0xFFFFFFFFu, 0xFFFFFFFFu},
  };
  for (const EntryCase& c : cases) {
    PackFile pack(testdata::BuildRawPack(data, {{"progs/x.mdl", c.offset, c.length}}));
    auto dir = ReadDirectory(pack.path);
    ASSERT_EQ(dir->code, VNL_OK) << c.what;
    ASSERT_EQ(dir->info.entryCount, 1u) << c.what;
    EXPECT_STREQ(dir->info.entries[0].name, "progs\\x.mdl") << c.what;
    EXPECT_EQ(dir->info.entries[0].offset, c.offset) << c.what;
    EXPECT_EQ(dir->info.entries[0].length, c.length) << c.what;
    EXPECT_EQ(dir->info.entries[0].usable, 0) << c.what;
    Member m = LoadMember(pack.path, "progs/x.mdl");
    EXPECT_EQ(m.code, VNL_NOT_FOUND) << c.what;
    EXPECT_TRUE(m.data.empty()) << c.what;
  }
}

TEST(PackEntries, DataEndingExactlyAtTheEndOfTheFileIsUsable) {
  // Directory first, member last: the member's end is the file's end.
  Bytes bytes = testdata::BuildRawPack({}, {{"tail", 12 + 64, 3}});
  bytes.insert(bytes.end(), {'e', 'n', 'd'});
  PackFile pack(bytes);
  auto dir = ReadDirectory(pack.path);
  ASSERT_EQ(dir->code, VNL_OK);
  EXPECT_EQ(dir->info.entries[0].usable, 1);
  EXPECT_EQ(LoadMember(pack.path, "tail").data, Text("end"));
}

TEST(PackEntries, EmptyMemberLoadsAsAnEmptyBlock) {
  PackFile pack(testdata::BuildRawPack(Text("data"), {{"empty.txt", 12, 0}, {"end.txt", 12 + 4, 0}}));
  auto dir = ReadDirectory(pack.path);
  ASSERT_EQ(dir->code, VNL_OK);
  for (const char* name : {"empty.txt", "end.txt"}) {
    std::string packName = pack.path, fileName = name;
    uint8_t* block = nullptr;
    uint32_t length = 99;
    EXPECT_EQ(vnlPackFileLoad(packName, fileName, block, length), VNL_OK) << name;
    EXPECT_NE(block, nullptr) << name;
    EXPECT_EQ(length, 0u) << name;
    std::free(block);
  }
  // A loader given such a member finds it as empty as an empty disk file.
  std::string packName = pack.path, fileName = "empty.txt";
  int32_t type = 0;
  EXPECT_EQ(vnlWhatIs(packName, fileName, type), VNL_EMPTY_FILE);
}

TEST(PackEntries, EntryLoadGivesTheBytesOfEachEntryOfAnEarlierDirectory) {
  // Entries: a member, an empty one, one past the end of the file.
  PackFile pack(testdata::BuildRawPack(Text("abcdef"), {{"a", 12, 4}, {"empty", 16, 0}, {"far", 5000, 2}}));
  auto dir = ReadDirectory(pack.path);
  ASSERT_EQ(dir->code, VNL_OK);
  ASSERT_EQ(dir->info.entryCount, 3u);
  const struct {
    uint32_t index;
    int32_t code;
    Bytes data;
    bool block;
  } cases[] = {{0, VNL_OK, Text("abcd"), true}, {1, VNL_OK, {}, true}, {2, VNL_NOT_FOUND, {}, false}};
  for (const auto& c : cases) {
    uint8_t* block = static_cast<uint8_t*>(std::malloc(8));  // an old block is freed
    uint32_t length = 99;
    EXPECT_EQ(vnlPackEntryLoad(pack.path.c_str(), &dir->info.entries[c.index], &block, &length), c.code) << c.index;
    EXPECT_EQ(block != nullptr, c.block) << c.index;
    EXPECT_EQ(Bytes(block, block + length), c.data) << c.index;
    std::free(block);
  }
  uint8_t* block = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(vnlPackEntryLoad(pack.path.c_str(), nullptr, &block, &length), VNL_NOT_FOUND);
  EXPECT_EQ(vnlPackEntryLoad("", &dir->info.entries[0], &block, &length), VNL_NO_NAME);
  EXPECT_EQ(block, nullptr);
}

TEST(PackEntries, UnusableEntryDoesNotHideAUsableOneOfTheSameName) {
  Bytes data = Text("good");
  PackFile pack(testdata::BuildRawPack(data, {{"dup", 1000, 4}, {"dup", 12, 4}}));
  Member m = LoadMember(pack.path, "dup");
  EXPECT_EQ(m.code, VNL_OK);
  EXPECT_EQ(m.data, Text("good"));
}

// ---- names ----

TEST(PackNames, FullFiftySixByteNameWithoutZeroByteStaysInsideItsField) {
  const std::string name(56, 'n');
  PackFile pack(testdata::BuildPack({{name, Text("long")}, {"next", Text("other")}}));
  auto dir = ReadDirectory(pack.path);
  ASSERT_EQ(dir->code, VNL_OK);
  EXPECT_EQ(std::string(dir->info.entries[0].name), name);
  EXPECT_STREQ(dir->info.entries[1].name, "next");
  EXPECT_EQ(LoadMember(pack.path, name).data, Text("long"));
  EXPECT_EQ(LoadMember(pack.path, name + "n").code, VNL_NOT_FOUND);
}

TEST(PackNames, NameEndsAtItsFirstZeroByte) {
  using namespace std::string_literals;
  PackFile pack(testdata::BuildPack({{"x/..\0/y"s, Text("1")},
                                     {"x/../y"s, Text("2")},
                                     {"a/b\0junk"s, Text("3")},
                                     {"ok.txt\0/../../etc/passwd"s, Text("4")}}));
  auto dir = ReadDirectory(pack.path);
  ASSERT_EQ(dir->code, VNL_OK);
  EXPECT_STREQ(dir->info.entries[0].name, "");  // "x/.." resolves to nothing
  EXPECT_STREQ(dir->info.entries[1].name, "y");
  EXPECT_STREQ(dir->info.entries[2].name, "a\\b");
  EXPECT_STREQ(dir->info.entries[3].name, "ok.txt");
  EXPECT_EQ(LoadMember(pack.path, "ok.txt").data, Text("4"));
  EXPECT_EQ(LoadMember(pack.path, "a/b").data, Text("3"));
}

TEST(PackNames, BothSeparatorsMatchEitherSeparator) {
  PackFile slash(testdata::BuildPack({{"progs/player.mdl", Text("slash")}}));
  PackFile backslash(testdata::BuildPack({{"progs\\player.mdl", Text("backslash")}}));
  for (const char* asked : {"progs/player.mdl", "progs\\player.mdl", "progs//./player.mdl"}) {
    EXPECT_EQ(LoadMember(slash.path, asked).data, Text("slash")) << asked;
    EXPECT_EQ(LoadMember(backslash.path, asked).data, Text("backslash")) << asked;
  }
}

TEST(PackNames, MatchIsCaseSensitive) {
  PackFile pack(testdata::BuildPack({{"progs/player.mdl", Text("x")}}));
  EXPECT_EQ(LoadMember(pack.path, "PROGS/PLAYER.MDL").code, VNL_NOT_FOUND);
  EXPECT_EQ(LoadMember(pack.path, "progs/Player.mdl").code, VNL_NOT_FOUND);
}

TEST(PackNames, FirstOfTwoEqualNamesWins) {
  PackFile pack(testdata::BuildPack({{"a/b", Text("first")}, {"a\\b", Text("second")}}));
  EXPECT_EQ(LoadMember(pack.path, "a/b").data, Text("first"));
}

TEST(PackNames, LeadingSeparatorDoesNotCountInsideAPack) {
  PackFile pack(testdata::BuildPack(
      {{"/progs/x.mdl", Text("rooted")}, {"\\maps\\y.bsp", Text("map")}, {"gfx/z.lmp", Text("plain")}}));
  auto dir = ReadDirectory(pack.path);
  ASSERT_EQ(dir->code, VNL_OK);
  EXPECT_STREQ(dir->info.entries[0].name, "progs\\x.mdl");
  EXPECT_STREQ(dir->info.entries[1].name, "maps\\y.bsp");
  for (const char* asked : {"progs/x.mdl", "/progs/x.mdl", "\\progs\\x.mdl"}) {
    Member m = LoadMember(pack.path, asked);
    EXPECT_EQ(m.data, Text("rooted")) << asked;
    EXPECT_EQ(m.fileName, "progs\\x.mdl") << asked;
  }
  EXPECT_EQ(LoadMember(pack.path, "maps/y.bsp").data, Text("map"));
  EXPECT_EQ(LoadMember(pack.path, "/gfx/z.lmp").data, Text("plain"));
}

TEST(PackNames, DotDotNamesAreOnlyNamesAndNeverReachTheDisk) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("outside.txt"), Text("from the disk")));
  std::string packPath = dir.path() + "/sub/p.pak";
  ASSERT_EQ(mkdir((dir.path() + "/sub").c_str(), 0700), 0);
  ASSERT_TRUE(testdata::WriteFile(packPath,
                                  testdata::BuildPack({{"../outside.txt", Text("member")}, {"a/../b", Text("bee")}})));
  auto read = ReadDirectory(packPath);
  ASSERT_EQ(read->code, VNL_OK);
  EXPECT_STREQ(read->info.entries[0].name, "..\\outside.txt");
  EXPECT_STREQ(read->info.entries[1].name, "b");
  EXPECT_EQ(LoadMember(packPath, "../outside.txt").data, Text("member"));
  EXPECT_EQ(LoadMember(packPath, "b").data, Text("bee"));
  EXPECT_EQ(LoadMember(packPath, "x/../b").data, Text("bee"));
  EXPECT_EQ(LoadMember(packPath, "../../outside.txt").code, VNL_NOT_FOUND);
}

// ---- loading a member or a disk file ----

TEST(PackFileLoad, MemberIsACopyOfItsBytesAndNamesComeBackCleaned) {
  Bytes payload;
  for (int i = 0; i < 1000; ++i) payload.push_back(uint8_t(i * 31));
  PackFile pack(testdata::BuildPack({{"pre", Text("xx")}, {"gfx/pic.lmp", payload}}), "base.pak");
  std::string packNoExtension = pack.path.substr(0, pack.path.size() - 4);
  Member m = LoadMember(packNoExtension, " gfx / pic.lmp ");
  ASSERT_EQ(m.code, VNL_OK);
  EXPECT_EQ(m.data, payload);
  EXPECT_EQ(m.fileName, "gfx\\pic.lmp");
  EXPECT_EQ(m.packName.substr(m.packName.size() - 9), "\\base.pak");
}

TEST(PackFileLoad, MissingMemberGivesNotFound) {
  PackFile pack(testdata::BuildPack({{"a", Text("1")}}));
  EXPECT_EQ(LoadMember(pack.path, "b").code, VNL_NOT_FOUND);
  EXPECT_EQ(LoadMember(pack.path, "a/a").code, VNL_NOT_FOUND);
}

TEST(PackFileLoad, DirectoryFailuresArePassedOn) {
  Bytes bad = testdata::BuildPack({{"a", Text("1")}});
  bad[0] = 'Q';
  PackFile notPak(bad);
  EXPECT_EQ(LoadMember(notPak.path, "a").code, VNL_NOT_PAK);
  testdata::TempDir dir;
  EXPECT_EQ(LoadMember(dir.file("none.pak"), "a").code, VNL_NOT_FOUND);
}

TEST(PackFileLoad, EmptyOrBlankPackNameReadsFromTheDisk) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("loose.bin"), Text("on disk")));
  ASSERT_TRUE(testdata::WriteFile(dir.file("zero.bin"), {}));
  InFolder inside(dir.path());
  for (const char* pack : {"", "   "}) {
    Member m = LoadMember(pack, "./loose.bin");
    EXPECT_EQ(m.code, VNL_OK) << "[" << pack << "]";
    EXPECT_EQ(m.data, Text("on disk"));
    EXPECT_EQ(m.fileName, "loose.bin");
    EXPECT_EQ(m.packName, "");
  }
  EXPECT_EQ(LoadMember("", "zero.bin").code, VNL_EMPTY_FILE);
  EXPECT_EQ(LoadMember("", "none.bin").code, VNL_NOT_FOUND);
  EXPECT_EQ(LoadMember("", "   ").code, VNL_NO_NAME);
  EXPECT_EQ(LoadMember("", dir.path()).code, VNL_NOT_FOUND);
}

TEST(PackFileLoad, OldBlockIsFreedWhateverTheOutcome) {
  PackFile pack(testdata::BuildPack({{"a", Text("abc")}}));
  struct Case {
    std::string pack, file;
    int32_t code;
  };
  const Case cases[] = {{pack.path, "a", VNL_OK},
                        {pack.path, "missing", VNL_NOT_FOUND},
                        {"", "   ", VNL_NO_NAME},
                        {pack.dir.file("none.pak"), "a", VNL_NOT_FOUND}};
  for (const Case& c : cases) {
    // A block that only free can release; a leak checker reports it if it is dropped.
    auto* old = static_cast<uint8_t*>(std::calloc(4096, 1));
    uint8_t* block = old;
    uint32_t length = 4096;
    std::string packName = c.pack, fileName = c.file;
    EXPECT_EQ(vnlPackFileLoad(packName, fileName, block, length), c.code) << c.file;
    if (c.code == VNL_OK) {
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(length, 3u);
      EXPECT_EQ(std::memcmp(block, "abc", 3), 0);
    } else {
      EXPECT_EQ(block, nullptr) << c.file;
      EXPECT_EQ(length, 0u) << c.file;
    }
    std::free(block);
  }
}

TEST(PackFileLoad, NoFreeHandleGivesCodeTwoAndLeavesThePackNameAlone) {
  PackFile pack(testdata::BuildPack({{"a", Text("abc")}}));
  std::vector<std::unique_ptr<vnl::FileHandle>> taken;
  while (vnl::FreeHandleCount() > 0) taken.push_back(std::make_unique<vnl::FileHandle>());
  VNLPACKINFO_T info{};
  std::string name = " pak0 ";
  EXPECT_EQ(vnlPackInfoRead(name, info), VNL_NO_HANDLE);
  EXPECT_EQ(name, " pak0 ");
  EXPECT_EQ(info.entries, nullptr);
  Member fromPack = LoadMember(pack.path, "a");
  EXPECT_EQ(fromPack.code, VNL_NO_HANDLE);
  EXPECT_TRUE(fromPack.data.empty());
  EXPECT_EQ(LoadMember("", pack.path).code, VNL_NO_HANDLE);
  taken.clear();
  EXPECT_EQ(LoadMember(pack.path, "a").code, VNL_OK);
}

TEST(PackFileLoad, FailingLoadsGiveTheirHandlesBack) {
  testdata::TempDir dir;
  Bytes corrupt = testdata::BuildPack({{"a", Text("1")}});
  testdata::PutU32(corrupt, 8, 100);
  Bytes notPak = testdata::BuildPack({{"a", Text("1")}});
  notPak[1] = 'Z';
  ASSERT_TRUE(testdata::WriteFile(dir.file("good.pak"), testdata::BuildPack({{"a", Text("1")}})));
  ASSERT_TRUE(testdata::WriteFile(dir.file("corrupt.pak"), corrupt));
  ASSERT_TRUE(testdata::WriteFile(dir.file("notpak.pak"), notPak));
  ASSERT_TRUE(testdata::WriteFile(dir.file("empty.pak"), {}));
  const int before = vnl::FreeHandleCount();
  const struct {
    std::string pack, file;
    int32_t code;
  } failures[] = {
      {dir.file("good.pak"), "missing", VNL_NOT_FOUND}, {dir.file("corrupt.pak"), "a", VNL_PAK_CORRUPT},
      {dir.file("notpak.pak"), "a", VNL_NOT_PAK},       {dir.file("empty.pak"), "a", VNL_EMPTY_FILE},
      {"", dir.file("empty.pak"), VNL_EMPTY_FILE},      {"", dir.file("missing"), VNL_NOT_FOUND},
  };
  for (int i = 0; i < 300; ++i) {
    const auto& f = failures[i % 6];
    ASSERT_EQ(LoadMember(f.pack, f.file).code, f.code) << i;
  }
  EXPECT_EQ(vnl::FreeHandleCount(), before);
  EXPECT_EQ(LoadMember(dir.file("good.pak"), "a").code, VNL_OK);
}

// ---- real data ----

std::string CorpusPack() { return testdata::CorpusFile("pak0.pak"); }

TEST(PackCorpus, DirectoryListsTwentyThreeUsableEntries) {
  SKIP_WITHOUT_CORPUS();
  auto dir = ReadDirectory(CorpusPack());
  ASSERT_EQ(dir->code, VNL_OK);
  ASSERT_EQ(dir->info.entryCount, 23u);
  for (uint32_t i = 0; i < 23; ++i) EXPECT_EQ(dir->info.entries[i].usable, 1) << dir->info.entries[i].name;
  EXPECT_STREQ(dir->info.entries[0].name, "gfx\\box_tl.lmp");
  EXPECT_STREQ(dir->info.entries[22].name, "progs\\wizard.mdl");
}

TEST(PackCorpus, MembersEqualTheLooseFiles) {
  SKIP_WITHOUT_CORPUS();
  for (const char* name : {"progs/h_dog.mdl", "gfx/palette.lmp", "progs/s_explod.spr", "progs/s_bubbles.spr"}) {
    Member packed = LoadMember(CorpusPack(), name);
    Member loose = LoadMember("", testdata::CorpusFile(name));
    ASSERT_EQ(packed.code, VNL_OK) << name;
    ASSERT_EQ(loose.code, VNL_OK) << name;
    EXPECT_FALSE(packed.data.empty());
    EXPECT_EQ(packed.data, loose.data) << name;
  }
}

TEST(PackCorpus, PaletteFromThePackEqualsTheLoosePalette) {
  SKIP_WITHOUT_CORPUS();
  VNLPALETTE_T packed{}, loose{};
  std::string pack = CorpusPack(), file = "gfx/palette", none, path = testdata::CorpusFile("gfx/palette.lmp");
  ASSERT_EQ(vnlPaletteLoad(pack, file, packed), VNL_OK);
  EXPECT_EQ(file, "gfx\\palette.lmp");
  ASSERT_EQ(vnlPaletteLoad(none, path, loose), VNL_OK);
  ASSERT_NE(packed.colors, nullptr);
  ASSERT_NE(loose.colors, nullptr);
  EXPECT_EQ(std::memcmp(packed.colors, loose.colors, 256 * sizeof(uint32_t)), 0);
  vnlPaletteKill(packed);
  vnlPaletteKill(loose);
}

template <class T>
bool SameArray(const T* a, const T* b, size_t count) {
  if (count == 0) return true;
  if (a == nullptr || b == nullptr) return a == b;
  return std::memcmp(a, b, count * sizeof(T)) == 0;
}

TEST(PackCorpus, ModelFromThePackEqualsTheLooseModel) {
  SKIP_WITHOUT_CORPUS();
  VNLMODEL_T a{}, b{};
  std::string pack = CorpusPack(), file = "progs/h_dog", none, path = testdata::CorpusFile("progs/h_dog.mdl");
  ASSERT_EQ(vnlModelLoad(pack, file, a), VNL_OK);
  EXPECT_EQ(file, "progs\\h_dog.mdl");
  ASSERT_EQ(vnlModelLoad(none, path, b), VNL_OK);
  EXPECT_EQ(a.fileSize, b.fileSize);
  ASSERT_EQ(a.skinCount, b.skinCount);
  ASSERT_EQ(a.skinExtra, b.skinExtra);
  ASSERT_EQ(a.frameCount, b.frameCount);
  ASSERT_EQ(a.frameExtra, b.frameExtra);
  ASSERT_EQ(a.vertexCount, b.vertexCount);
  ASSERT_EQ(a.triangleCount, b.triangleCount);
  ASSERT_EQ(a.seamCount, b.seamCount);
  size_t skins = size_t(a.skinCount) + a.skinExtra, frames = size_t(a.frameCount) + a.frameExtra;
  size_t vertices = size_t(a.vertexCount) + a.seamCount;
  for (size_t i = 0; i < skins; ++i) {
    EXPECT_EQ(a.skins[i].width, b.skins[i].width);
    EXPECT_EQ(a.skins[i].height, b.skins[i].height);
    EXPECT_TRUE(SameArray(a.skins[i].pixels, b.skins[i].pixels, size_t(a.skins[i].width) * a.skins[i].height));
  }
  EXPECT_TRUE(SameArray(a.frameNames, b.frameNames, frames));
  EXPECT_TRUE(SameArray(a.triangles, b.triangles, a.triangleCount));
  EXPECT_TRUE(SameArray(a.skinCoords, b.skinCoords, vertices));
  EXPECT_TRUE(SameArray(a.frameVertices, b.frameVertices, frames * vertices));
  vnlModelKill(a);
  vnlModelKill(b);
}

}  // namespace
