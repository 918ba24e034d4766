// Pack reading: what one member load costs in bytes read from the file, and how
// fast a large directory is read.
//
// The bytes counter comes from the kernel's own count of bytes this process has
// read ("rchar" in /proc/self/io), so it shows what the loader really asked for:
// a member load should cost its own bytes plus the header and directory, however
// large the pack around it is.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "builders.h"
#include "files.h"
#include "varnel/varnel.h"

namespace {

constexpr uint64_t kLargePackSize = 100ull << 20;
constexpr uint32_t kMemberOffset = 50u << 20;
constexpr uint32_t kMemberLength = 20;
constexpr uint32_t kDirectoryEntries = 10000;

uint64_t BytesReadByProcess() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return 0;
}

testdata::TempDir& Folder() {
  static testdata::TempDir folder;
  return folder;
}

void WriteAt(int fd, uint64_t offset, const testdata::Bytes& bytes) {
  if (pwrite(fd, bytes.data(), bytes.size(), off_t(offset)) != ssize_t(bytes.size())) std::abort();
}

// 100 MB, mostly a hole: the header, one 20-byte member in the middle, and a
// one-entry directory at the very end.
const std::string& LargePack() {
  static const std::string path = [] {
    std::string name = Folder().file("large.pak");
    int fd = ::open(name.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    if (fd < 0 || ftruncate(fd, off_t(kLargePackSize)) != 0) std::abort();
    const uint32_t dirOffset = uint32_t(kLargePackSize - 64);
    WriteAt(fd, 0, testdata::ByteWriter().text("PACK").u32(dirOffset).u32(64).take());
    WriteAt(fd, kMemberOffset, testdata::ByteWriter().text("twenty bytes of data").take());
    WriteAt(fd, dirOffset,
            testdata::ByteWriter().field("progs/member.bin", 56).u32(kMemberOffset).u32(kMemberLength).take());
    ::close(fd);
    return name;
  }();
  return path;
}

const std::string& WideDirectoryPack() {
  static const std::string path = [] {
    std::vector<testdata::PackMember> members;
    for (uint32_t i = 0; i < kDirectoryEntries; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "progs/file%05u.mdl", i);
      members.push_back({name, {uint8_t(i)}});
    }
    std::string name = Folder().file("wide.pak");
    if (!testdata::WriteFile(name, testdata::BuildPack(members))) std::abort();
    return name;
  }();
  return path;
}

void BM_MemberLoadFromLargePack(benchmark::State& state) {
  const std::string& pack = LargePack();
  uint8_t* block = nullptr;
  uint32_t length = 0;
  uint64_t before = BytesReadByProcess();
  for (auto _ : state) {
    std::string packName = pack, fileName = "progs/member.bin";
    if (vnlPackFileLoad(packName, fileName, block, length) != VNL_OK || length != kMemberLength) {
      state.SkipWithError("member load failed");
      break;
    }
    benchmark::DoNotOptimize(block);
  }
  uint64_t after = BytesReadByProcess();
  std::free(block);
  state.counters["bytes_read_per_load"] =
      benchmark::Counter(double(after - before) / double(state.iterations() ? state.iterations() : 1));
  state.counters["pack_bytes"] = double(kLargePackSize);
  state.counters["member_bytes"] = double(kMemberLength);
}
BENCHMARK(BM_MemberLoadFromLargePack);

void BM_DirectoryRead10000Entries(benchmark::State& state) {
  const std::string& pack = WideDirectoryPack();
  VNLPACKINFO_T info{};
  for (auto _ : state) {
    std::string packName = pack;
    if (vnlPackInfoRead(packName, info) != VNL_OK || info.entryCount != kDirectoryEntries) {
      state.SkipWithError("directory read failed");
      break;
    }
    benchmark::DoNotOptimize(info.entries);
  }
  vnlPackInfoKill(info);
  state.SetItemsProcessed(int64_t(state.iterations()) * kDirectoryEntries);
  state.SetBytesProcessed(int64_t(state.iterations()) * kDirectoryEntries * 64);
}
BENCHMARK(BM_DirectoryRead10000Entries)->Unit(benchmark::kMillisecond);

void BM_LastMemberOf10000(benchmark::State& state) {
  const std::string& pack = WideDirectoryPack();
  uint8_t* block = nullptr;
  uint32_t length = 0;
  for (auto _ : state) {
    std::string packName = pack, fileName = "progs/file09999.mdl";
    if (vnlPackFileLoad(packName, fileName, block, length) != VNL_OK) {
      state.SkipWithError("member load failed");
      break;
    }
    benchmark::DoNotOptimize(block);
  }
  std::free(block);
  // The directory is read whole and searched in order: the cost of any lookup.
  state.SetItemsProcessed(int64_t(state.iterations()) * kDirectoryEntries);
}
BENCHMARK(BM_LastMemberOf10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
