// What outside readers make of the glTF files: the Khronos validator on every
// corpus model and on synthetic ones, assimp, and Blender where it is installed.
#include <gtest/gtest.h>

#include <algorithm>
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
using nlohmann::json;

bool Have(const std::string& tool) { return testdata::RunCommand("command -v " + tool + " >/dev/null 2>&1") == 0; }

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
  std::vector<std::string> sources = testdata::CorpusModels();
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
  for (auto [model, name] :
       {std::pair{&grouped, "grouped"}, {&untextured, "untextured"}, {&single, "single"}, {&small, "small"}}) {
    ASSERT_EQ(model->code, 0) << name;
    for (const std::string& file : WriteBoth(*model, dir, name)) files.push_back(file);
  }
  ExpectClean(files);
}

// `assimp info` of a file: the value after "label:" in its summary, or -1.
long AssimpFigure(const std::string& file, const std::string& label) {
  std::string output;
  EXPECT_EQ(testdata::RunCommand("assimp info '" + file + "'", &output, true), 0) << output;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(label + ":", 0) == 0) return std::stol(line.substr(label.size() + 1));
  return -1;
}

TEST(GltfAssimp, ReadsEveryFaceAndTheEmbeddedSkin) {
  if (!Have("assimp")) GTEST_SKIP() << "no assimp command line";
  testdata::TempDir dir;
  LoadedModel model(testdata::BuildModel(gltfcheck::GroupedModel()), testdata::DistinctPalette());
  if (model.pngs.empty()) GTEST_SKIP() << "no FreeImage to encode skins";
  std::string source = testdata::CorpusFile("progs/h_dog.mdl");
  LoadedModel dog(source.empty() ? testdata::Bytes{} : testdata::ReadFile(source),
                  testdata::ReadFile(testdata::CorpusFile("gfx/palette.lmp")));
  for (const LoadedModel* m : {&model, &dog}) {
    if (m->code != 0) continue;  // no corpus
    std::string file = dir.file("m.glb");
    ASSERT_TRUE(gltfcheck::WriteGlbFile(m->input("m"), file));
    EXPECT_EQ(AssimpFigure(file, "Faces"), long(m->model.triangleCount));
    EXPECT_EQ(AssimpFigure(file, "Textures (embed.)"), 1);  // the one material in use
  }
}

// Blender's glTF importer, where Blender is installed: shape keys, actions, UVs,
// the image, the winding and the axes of the imported mesh.
struct BlenderFigures {
  bool ran = false;
  json figures;
};

BlenderFigures ImportIntoBlender(const std::string& file) {
  BlenderFigures result;
  std::string output;
  int status = testdata::RunCommand("blender -b --factory-startup --python-exit-code 1 --python '" GLTF_SCRIPTS_DIR
                                    "/blender_import.py' -- '" +
                                        file + "'",
                                    &output, true);
  size_t at = output.find("FIGURES ");
  EXPECT_EQ(status, 0) << output;
  if (at == std::string::npos) {
    ADD_FAILURE() << "no figures from Blender:\n" << output;
    return result;
  }
  result.figures = json::parse(output.substr(at + 8, output.find('\n', at) - at - 8));
  result.ran = true;
  std::printf("  Blender: %s\n", result.figures.dump().c_str());
  return result;
}

// The game's axes come back: Blender's Z is the game's Z, the bounds are the frame's.
void ExpectGameBounds(const json& figures, const VNLMODEL_T& model) {
  const uint32_t total = uint32_t(model.vertexCount) + model.seamCount;
  for (int axis = 0; axis < 3; ++axis) {
    float low = 1e30f, high = -1e30f;
    for (uint32_t i = 0; i < total; ++i) {
      const float* p = &model.frameVertices[i].x;
      low = std::min(low, p[axis]);
      high = std::max(high, p[axis]);
    }
    EXPECT_NEAR(figures["min"][axis].get<double>(), low, 1e-4) << "axis " << axis;
    EXPECT_NEAR(figures["max"][axis].get<double>(), high, 1e-4) << "axis " << axis;
  }
}

void ExpectImported(const LoadedModel& model, const json& figures, const std::vector<std::string>& actions) {
  const uint32_t frames = uint32_t(model.model.frameCount) + model.model.frameExtra;
  EXPECT_EQ(figures["faces"], model.model.triangleCount);
  EXPECT_EQ(figures["shape_keys"], frames + 1);  // and the basis
  EXPECT_EQ(figures["actions"], json(actions));
  EXPECT_EQ(figures["uv_layers"], 1);
  EXPECT_EQ(figures["uv_corners"], figures["corners"]);
  ASSERT_FALSE(figures["images"].empty());
  EXPECT_EQ(figures["images"][0][3], true);  // pixels loaded
  EXPECT_GT(figures["volume"].get<double>(), 0.0);
  ExpectGameBounds(figures, model.model);
}

TEST(GltfBlender, ImportsShapeKeysActionsSkinAndTheGamesAxes) {
  if (!Have("blender")) GTEST_SKIP() << "Blender is not installed: this import is not checked here";
  testdata::TempDir dir;
  LoadedModel grouped(testdata::BuildModel(gltfcheck::GroupedModel()), testdata::DistinctPalette());
  if (grouped.pngs.empty()) GTEST_SKIP() << "no FreeImage to encode skins";
  ASSERT_TRUE(gltfcheck::WriteGlbFile(grouped.input("g"), dir.file("g.glb")));
  BlenderFigures seen = ImportIntoBlender(dir.file("g.glb"));
  if (!seen.ran) return;
  // Blender names an action after the animation and the mesh.
  ExpectImported(grouped, seen.figures, {"death_g", "pain_g", "walk_g"});
  EXPECT_EQ(seen.figures["peaks"]["pain_g"], json::array({"pain1", "pain2"}));
  EXPECT_EQ(seen.figures["images"].size(), 3u);

  std::string source = testdata::CorpusFile("progs/wizard.mdl");
  if (source.empty()) GTEST_SKIP() << "no shared corpus: the corpus model is not imported";
  LoadedModel wizard(testdata::ReadFile(source), testdata::ReadFile(testdata::CorpusFile("gfx/palette.lmp")));
  ASSERT_TRUE(gltfcheck::WriteGlbFile(wizard.input("wizard"), dir.file("wizard.glb")));
  seen = ImportIntoBlender(dir.file("wizard.glb"));
  if (seen.ran) ExpectImported(wizard, seen.figures, {"frame_wizard"});
}

}  // namespace
