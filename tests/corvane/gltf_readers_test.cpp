// What outside readers make of the glTF files: the Khronos validator on every
// corpus model and on synthetic ones, assimp, and Blender where it is installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "builders.h"
#include "files.h"
#include "gltf_check.h"

namespace {

using gltfcheck::LoadedModel;

bool Have(const std::string& tool) { return testdata::RunCommand("command -v " + tool + " >/dev/null 2>&1") == 0; }

std::vector<std::string> CorpusModels() {
  std::vector<std::string> models;
  std::string dir = testdata::CorpusFile("progs/h_dog.mdl").empty() ? "" : testdata::CorpusDir() + "/progs";
  if (dir.empty()) return models;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".mdl") models.push_back(entry.path().string());
  std::sort(models.begin(), models.end());
  return models;
}

// Writes `name`.glb, `name`.gltf and `name`.bin of the model into `dir`; returns the two documents.
std::vector<std::string> WriteBoth(const LoadedModel& model, const testdata::TempDir& dir, const std::string& name) {
  GltfInput input = model.input(name);
  EXPECT_TRUE(gltfcheck::WriteGlbFile(input, dir.file(name + ".glb"))) << name;
  EXPECT_TRUE(gltfcheck::WriteGltfFiles(input, dir.file(name + ".gltf"), dir.file(name + ".bin"))) << name;
  return {dir.file(name + ".glb"), dir.file(name + ".gltf")};
}

// Every file: "errors 0 warnings 0" opens its report.
void ExpectClean(const std::vector<std::string>& files) {
  std::string why;
  std::map<std::string, std::string> reports = gltfcheck::Validate(files, why);
  if (reports.empty()) GTEST_SKIP() << why;
  for (const std::string& file : files) {
    ASSERT_TRUE(reports.count(file)) << file << " not reported";
    EXPECT_EQ(reports[file].rfind("errors 0 warnings 0 ", 0), 0u) << file << ": " << reports[file];
    std::printf("  %s: %s\n", std::filesystem::path(file).filename().c_str(), reports[file].c_str());
  }
}

TEST(GltfValidator, EveryCorpusModelAsGlbAndGltfWithItsSkins) {
  SKIP_WITHOUT_CORPUS();
  std::vector<std::string> sources = CorpusModels();
  ASSERT_FALSE(sources.empty());
  testdata::TempDir dir;
  std::vector<std::string> files;
  for (const std::string& source : sources) {
    LoadedModel model(testdata::ReadFile(source), testdata::ReadFile(testdata::CorpusFile("gfx/palette.lmp")));
    ASSERT_EQ(model.code, 0) << source;
    for (const std::string& file : WriteBoth(model, dir, std::filesystem::path(source).stem().string()))
      files.push_back(file);
  }
  ExpectClean(files);
}

TEST(GltfValidator, SyntheticModelsWithSkinGroupsFrameGroupsAndSeams) {
  testdata::TempDir dir;
  std::vector<std::string> files;
  const testdata::Bytes palette = testdata::DistinctPalette();
  LoadedModel grouped(testdata::BuildModel(gltfcheck::GroupedModel()), palette);
  LoadedModel untextured(testdata::BuildModel(gltfcheck::GroupedModel()), {});
  LoadedModel single(testdata::BuildModel(gltfcheck::OneFrameModel()), palette);
  LoadedModel small(testdata::BuildModel(testdata::SmallModel()), palette);
  for (auto [model, name] : {std::pair{&grouped, "grouped"}, {&untextured, "untextured"}, {&single, "single"},
                             {&small, "small"}}) {
    ASSERT_EQ(model->code, 0) << name;
    for (const std::string& file : WriteBoth(*model, dir, name)) files.push_back(file);
  }
  ExpectClean(files);
}

}  // namespace
