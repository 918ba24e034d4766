// Writes a large synthetic model: make_big_model OUT.mdl VERTICES FRAMES
#include <cstdio>
#include <cstdlib>

#include "big_model.h"
#include "files.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_big_model OUT.mdl VERTICES FRAMES\n");
    return 2;
  }
  int vertices = std::atoi(argv[2]), frames = std::atoi(argv[3]);
  if (vertices < 3 || vertices > 65535 || frames < 1 || frames > 65535) {
    std::fprintf(stderr, "vertices must be 3..65535 and frames 1..65535\n");
    return 2;
  }
  return testdata::WriteFile(argv[1], testdata::BuildModel(testdata::BigModel(vertices, frames))) ? 0 : 1;
}
