// Writes a pack of many models of varied sizes, with their palette:
// make_model_pack OUT.pak COUNT
//
// Members: progs/m000.mdl ... (vertices 100 to 499, frames 20 to 59, one
// 296 x 194 skin each), then gfx/palette.lmp.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "big_model.h"
#include "files.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_model_pack OUT.pak COUNT\n");
    return 2;
  }
  const int count = std::atoi(argv[2]);
  if (count < 1 || count > 1000) {
    std::fprintf(stderr, "COUNT must be 1..1000\n");
    return 2;
  }
  std::vector<testdata::PackMember> members;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "progs/m%03d.mdl", i);
    members.push_back({name, testdata::BuildModel(testdata::BigModel(100 + (i * 37) % 400, 20 + (i * 13) % 40))});
  }
  members.push_back({"gfx/palette.lmp", testdata::DistinctPalette()});
  return testdata::WriteFile(argv[1], testdata::BuildPack(members)) ? 0 : 1;
}
