// A general-purpose importer reads the files the writers produce.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "files.h"
#include "model_writers.h"
#include "state.h"
#include "writer_fixture.h"

namespace {

bool HaveAssimp() { return testdata::RunCommand("command -v assimp >/dev/null 2>&1") == 0; }

#define SKIP_WITHOUT_ASSIMP()                                    \
  do {                                                           \
    if (!HaveAssimp()) GTEST_SKIP() << "no assimp command line"; \
  } while (0)

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// The number after "Faces:" in the summary of `assimp info`, or -1.
long FaceCountSeenBy(const std::string& path) {
  std::string output;
  if (testdata::RunCommand("assimp info " + Quoted(path), &output, true) != 0) {
    ADD_FAILURE() << "assimp info failed on " << path << ":\n" << output;
    return -1;
  }
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("Faces:", 0) == 0) return std::stol(line.substr(6));
  ADD_FAILURE() << "no face count in:\n" << output;
  return -1;
}

size_t LinesStartingWith(const std::string& text, const std::string& prefix) {
  std::istringstream lines(text);
  size_t count = 0;
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(prefix, 0) == 0) ++count;
  return count;
}

class AssimpReads : public testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_CORPUS();
    SKIP_WITHOUT_ASSIMP();
    std::string source = testdata::CorpusFile("progs/h_dog.mdl");
    if (source.empty()) GTEST_SKIP() << "no h_dog.mdl in the corpus";
    ASSERT_EQ(writertest::LoadModel(state, testdata::ReadFile(source)), 0);
    ASSERT_EQ(state.item.model.triangleCount, 247);
    std::string frame(state.item.model.frameNames[0], strnlen(state.item.model.frameNames[0], 16));
    writertest::SetNames(state, "", "progs\\h_dog.mdl", "h_dog", frame);
  }
  ConverterState state;

  testdata::TempDir dir_;
};

TEST_F(AssimpReads, EveryFaceOfOurObjectFile) {
  state.options.dstFile = dir_.file("h_dog.obj");
  WriteObj(state.options, state.item, state.outcome);
  EXPECT_EQ(FaceCountSeenBy(dir_.file("h_dog.obj")), 247);
}

TEST_F(AssimpReads, EveryFaceOfOurAseScene) {
  state.options.dstFile = dir_.file("h_dog.ase");
  WriteAse(state.options, state.item, state.outcome);
  EXPECT_EQ(FaceCountSeenBy(dir_.file("h_dog.ase")), 247);
}

// Faces that name their texture vertex keep the skin mapping through a re-export;
// faces without it lose every texture coordinate.
TEST_F(AssimpReads, TextureCoordinatesOfOurObjectSurviveAReExport) {
  state.options.dstFile = dir_.file("h_dog.obj");
  WriteObj(state.options, state.item, state.outcome);
  std::string output;
  ASSERT_EQ(testdata::RunCommand("cd " + Quoted(dir_.path()) + " && assimp export h_dog.obj again.obj", &output, true),
            0)
      << output;
  std::string again = testdata::ReadText(dir_.file("again.obj"));
  EXPECT_EQ(LinesStartingWith(again, "f "), 247u);
  EXPECT_GT(LinesStartingWith(again, "vt "), 0u);
}

}  // namespace
