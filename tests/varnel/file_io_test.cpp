#include "file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "builders.h"
#include "bytes.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

using testdata::Bytes;

// What a caller of the library would pass: the host path, cleaned.
std::string CleanedName(const std::string& hostPath) {
  std::string name = hostPath;
  vnlCleanPath(name, 1);
  return name;
}

struct Read {
  int32_t code;
  uint8_t* block = nullptr;
  uint32_t length = 0;
  ~Read() { std::free(block); }
};

void DiskReadInto(const std::string& cleanedName, Read& read) {
  read.code = vnl::DiskRead(cleanedName, read.block, read.length);
}

class AllHandlesTaken {
 public:
  AllHandlesTaken() {
    for (int i = 0; i < vnl::kHandleCount; ++i) held_.push_back(std::make_unique<vnl::FileHandle>());
  }

 private:
  std::vector<std::unique_ptr<vnl::FileHandle>> held_;
};

TEST(DiskRead, ReadsTheWholeFileThroughACleanedAbsoluteName) {
  testdata::TempDir dir;
  Bytes content = testdata::BuildLump(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  ASSERT_TRUE(testdata::WriteFile(dir.file("pic.lmp"), content));
  std::string name = CleanedName(dir.path() + "/sub/../pic.lmp");
  ASSERT_EQ(name.front(), '\\');
  Read read;
  DiskReadInto(name, read);
  ASSERT_EQ(read.code, 0);
  ASSERT_EQ(read.length, content.size());
  EXPECT_EQ(Bytes(read.block, read.block + read.length), content);
}

TEST(DiskRead, FailuresGiveTheirCodesAndHandNoBlock) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("empty.lmp"), {}));
  ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0700), 0);
  struct Case {
    const char* what;
    std::string name;
    int32_t code;
  };
  const Case cases[] = {
      {"empty file", CleanedName(dir.file("empty.lmp")), VNL_EMPTY_FILE},
      {"folder", CleanedName(dir.file("folder")), VNL_NOT_FOUND},
      {"missing file", CleanedName(dir.file("missing.lmp")), VNL_NOT_FOUND},
      {"missing folder", CleanedName(dir.file("nowhere/x.lmp")), VNL_NOT_FOUND},
      {"empty name", "", VNL_NO_NAME},
  };
  for (const Case& c : cases) {
    Read read;
    read.length = 77;
    DiskReadInto(c.name, read);
    EXPECT_EQ(read.code, c.code) << c.what;
    EXPECT_EQ(read.block, nullptr) << c.what;
    EXPECT_EQ(read.length, 77u) << c.what;
  }
}

TEST(DiskRead, UnreadableFileGives6) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("locked.lmp"), Bytes(10, 1)));
  ASSERT_EQ(chmod(dir.file("locked.lmp").c_str(), 0), 0);
  Read read;
  DiskReadInto(CleanedName(dir.file("locked.lmp")), read);
  EXPECT_EQ(read.code, VNL_IO_ERROR);
  EXPECT_EQ(read.block, nullptr);
}

TEST(HandleTable, NoFreeHandleGives2BeforeAnyOtherCheck) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("pic.lmp"), testdata::BuildLump(1, 1, {1})));
  {
    AllHandlesTaken taken;
    EXPECT_EQ(vnl::FreeHandleCount(), 0);
    vnl::FileHandle extra;
    EXPECT_FALSE(extra.acquired());
    for (const std::string& name :
         {std::string(), CleanedName(dir.file("missing")), CleanedName(dir.file("pic.lmp"))}) {
      Read read;
      DiskReadInto(name, read);
      EXPECT_EQ(read.code, VNL_NO_HANDLE) << name;
      EXPECT_EQ(read.block, nullptr);
    }
    // The same through the exported doors that reach the disk.
    std::string pack, name = dir.file("pic.lmp");
    VNLPICTURE_T picture{};
    EXPECT_EQ(vnlPictureLoad(pack, name, picture), VNL_NO_HANDLE);
    EXPECT_EQ(picture.pixels, nullptr);
  }
  EXPECT_EQ(vnl::FreeHandleCount(), vnl::kHandleCount);
}

TEST(HandleTable, EveryCallGivesItsHandlesBack) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("bad.lmp"), Bytes(10, 1)));
  ASSERT_TRUE(testdata::WriteFile(dir.file("empty.lmp"), {}));
  ASSERT_TRUE(testdata::WriteFile(dir.file("lumps.pak"), testdata::BuildPack({{"a.lmp", Bytes(5, 1)}})));
  ASSERT_EQ(vnl::FreeHandleCount(), vnl::kHandleCount);
  for (int i = 0; i < 300; ++i) {
    VNLPALETTE_T palette{};
    std::string pack, name;
    name = dir.file("missing");
    ASSERT_EQ(vnlPaletteLoad(pack, name, palette), VNL_NOT_FOUND);
    name = dir.file("empty");
    ASSERT_EQ(vnlPaletteLoad(pack, name, palette), VNL_EMPTY_FILE);
    name = dir.file("bad");
    ASSERT_EQ(vnlPaletteLoad(pack, name, palette), VNL_NOT_PALETTE);
    pack = dir.file("lumps");
    name = "b";
    ASSERT_EQ(vnlPaletteLoad(pack, name, palette), VNL_NOT_FOUND);
    pack = dir.file("lumps");
    name = "a";
    ASSERT_EQ(vnlPaletteLoad(pack, name, palette), VNL_NOT_PALETTE);
  }
  EXPECT_EQ(vnl::FreeHandleCount(), vnl::kHandleCount);
}

TEST(HandleTable, HandlesAreReusedAfterRelease) {
  int slotsBefore = vnl::FreeHandleCount();
  {
    vnl::FileHandle a, b;
    EXPECT_TRUE(a.acquired());
    EXPECT_TRUE(b.acquired());
    EXPECT_EQ(vnl::FreeHandleCount(), slotsBefore - 2);
  }
  EXPECT_EQ(vnl::FreeHandleCount(), slotsBefore);
}

TEST(HostPath, BackslashesBecomeSlashesAndNothingElseChanges) {
  EXPECT_EQ(vnl::HostPath("\\tmp\\a b\\Pic.LMP"), "/tmp/a b/Pic.LMP");
  EXPECT_EQ(vnl::HostPath("progs\\player.mdl"), "progs/player.mdl");
  EXPECT_EQ(vnl::HostPath(""), "");
}

TEST(FileForm, BlankNameGives3BeforeTouchingTheDisk) {
  AllHandlesTaken taken;  // any disk access would answer 2
  std::string pack = "some.pak", name = "   ";
  VNLPALETTE_T palette{};
  EXPECT_EQ(vnlPaletteLoad(pack, name, palette), VNL_NO_NAME);
  EXPECT_EQ(name, "");
  EXPECT_EQ(palette.colors, nullptr);
}

TEST(FileForm, FetchBlockForcesTheExtensionOnDiskNames) {
  testdata::TempDir dir;
  ASSERT_TRUE(testdata::WriteFile(dir.file("x.lmp"), Bytes(3, 9)));
  std::string pack, name = dir.file("x");
  uint8_t* block = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(vnl::FetchBlock(pack, name, ".lmp", block, length), 0);
  EXPECT_EQ(length, 3u);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[2], 9);
  std::free(block);
  EXPECT_EQ(vnl::HostPath(name), dir.file("x.lmp"));
}

}  // namespace
