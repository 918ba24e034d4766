// glTF files made by the program: valid for the Khronos validator and assimp,
// the model options acting on them, the prompt and the failures of their outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "builders.h"
#include "corvane_run.h"
#include "driver.h"
#include "files.h"
#include "gltf_check.h"
#include "image_check.h"
#include "image_library.h"
#include "modes.h"
#include "options.h"
#include "state.h"
#include "writer_fixture.h"

namespace {

using corvane_test::RunCorvane;
using corvane_test::RunResult;
using gltfcheck::Document;
using nlohmann::json;

// `recipe` as m.mdl beside the distinct palette pal.lmp.
void WriteSources(const testdata::TempDir& dir, const testdata::ModelRecipe& recipe) {
  testdata::WriteFile(dir.file("m.mdl"), testdata::BuildModel(recipe));
  testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette());
}

Document ReadGlbFile(const std::string& path) { return gltfcheck::ReadGlb(testdata::ReadText(path)); }

// Every file: "errors 0 warnings 0" opens its report.
void ExpectValid(const std::vector<std::string>& files) {
  std::string why;
  std::map<std::string, std::string> reports = gltfcheck::Validate(files, why);
  if (reports.empty()) GTEST_SKIP() << why;
  for (const std::string& file : files)
    EXPECT_EQ(reports[file].rfind("errors 0 warnings 0 ", 0), 0u) << file << ": " << reports[file];
}

// Each skin picture of the model, decoded from the image its material shows,
// holds the model's own palette indices.
void ExpectSkinIndices(const Document& doc, const std::string& mdl) {
  VNLMODEL_T model{};
  testdata::Bytes bytes = testdata::ReadFile(mdl);
  uint8_t* block = bytes.data();
  ASSERT_EQ(vnlModelLoad(block, uint32_t(bytes.size()), model), 0) << mdl;
  const std::vector<std::string> images = gltfcheck::EmbeddedImages(doc);
  const size_t pictures = size_t(model.skinCount) + model.skinExtra;
  ASSERT_EQ(doc.json["materials"].size(), pictures) << mdl;
  for (size_t p = 0; p < pictures; ++p) {
    const size_t texture = doc.json["materials"][p]["pbrMetallicRoughness"]["baseColorTexture"]["index"];
    const size_t image = doc.json["textures"][texture]["source"];
    ASSERT_LT(image, images.size());
    const gltfcheck::Png png = gltfcheck::DecodePng(images[image]);
    const VNLPICTURE_T& skin = model.skins[p];
    EXPECT_TRUE(png.ok && png.colourType == 3) << mdl << " skin " << p;
    EXPECT_EQ(png.pixels, std::vector<uint8_t>(skin.pixels, skin.pixels + size_t(skin.width) * skin.height))
        << mdl << " skin " << p;
  }
  vnlModelKill(model);
}

TEST(GltfRuns, EveryCorpusModelAsGlbAndGltfIsValidWithEverySkinEmbedded) {
  SKIP_WITHOUT_CORPUS();
  testdata::TempDir dir;
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(testdata::CorpusDir() + "/progs")) {
    if (entry.path().extension() != ".mdl") continue;
    const std::string stem = entry.path().stem().string();
    for (const std::string ending : {".glb", ".gltf"}) {
      RunResult run =
          RunCorvane(dir.path(), {"-model", entry.path().string(), "-pal", testdata::CorpusFile("gfx/palette.lmp"),
                                  "-dst", stem + ending, "-replace"});
      ASSERT_EQ(run.code, 0) << run.out;
      files.push_back(dir.file(stem + ending));
    }
    ExpectSkinIndices(ReadGlbFile(dir.file(stem + ".glb")), entry.path().string());
    EXPECT_FALSE(testdata::FileExists(dir.file(stem + "_0.tga"))) << stem;  // inside the file already
  }
  ASSERT_GT(files.size(), 10u);
  ExpectValid(files);
}

TEST(GltfRuns, SyntheticModelsAreValidOneFrameIsAPlainMeshAndNoPaletteNoTexture) {
  testdata::ModelRecipe odd = gltfcheck::GroupedModel();
  odd.frames[0].frames[0].name = "q\"\\\x01\n12";
  const std::pair<const char*, testdata::ModelRecipe> models[] = {
      {"grouped", gltfcheck::GroupedModel()}, {"odd", odd}, {"single", gltfcheck::OneFrameModel()}};
  testdata::TempDir dir;
  std::vector<std::string> files;
  for (const auto& [name, recipe] : models) {
    testdata::WriteFile(dir.file(std::string(name) + ".mdl"), testdata::BuildModel(recipe));
    testdata::WriteFile(dir.file("pal.lmp"), testdata::DistinctPalette());
    for (const std::string ending : {".glb", ".gltf"}) {
      ASSERT_EQ(RunCorvane(dir.path(), {"-model", name, "-pal", "pal", "-dst", name + ending}).code, 0) << name;
      files.push_back(dir.file(name + ending));
    }
  }
  ASSERT_EQ(RunCorvane(dir.path(), {"-model", "grouped", "-dst", "bare.glb"}).code, 0);
  files.push_back(dir.file("bare.glb"));
  ExpectValid(files);

  const json single = ReadGlbFile(dir.file("single.glb")).json;
  EXPECT_FALSE(single["meshes"][0]["primitives"][0].contains("targets"));
  EXPECT_FALSE(single.contains("animations"));
  EXPECT_EQ(single["images"].size(), 1u);
  EXPECT_EQ(ReadGlbFile(dir.file("odd.glb")).json["meshes"][0]["extras"]["targetNames"][0], "q\"\\\x01\n12");
  const json bare = ReadGlbFile(dir.file("bare.glb")).json;
  EXPECT_FALSE(bare.contains("images"));
  EXPECT_EQ(bare["materials"].size(), 3u);
  for (const json& material : bare["materials"])
    EXPECT_FALSE(material["pbrMetallicRoughness"].contains("baseColorTexture"));
}

TEST(GltfRuns, AssimpReadsEveryFaceAndATexture) {
  if (testdata::RunCommand("command -v assimp >/dev/null 2>&1") != 0) GTEST_SKIP() << "no assimp command line";
  testdata::TempDir dir;
  WriteSources(dir, gltfcheck::GroupedModel());
  ASSERT_EQ(RunCorvane(dir.path(), {"-model", "m", "-pal", "pal", "-dst", "m.glb"}).code, 0);
  std::string output;
  ASSERT_EQ(testdata::RunCommand("assimp info '" + dir.file("m.glb") + "'", &output, true), 0) << output;
  EXPECT_NE(output.find("\nFaces:              4\n"), std::string::npos) << output;
  EXPECT_NE(output.find("\nTextures (embed.):  1\n"), std::string::npos) << output;
}

// -frame picks the base, -swapyz turns every frame as it turns the chosen one,
// -scale grows them all, -skinnoback embeds the front half as it saves it.
TEST(GltfRuns, FrameSwapScaleAndHalfSkinActOnEveryFrame) {
  testdata::TempDir dir;
  WriteSources(dir, gltfcheck::GroupedModel());
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-pal", "pal", "-dst", "m.glb", "-frame", "walk2", "-swapyz",
                                          "-scale", "2", "-skinnoback"});
  ASSERT_EQ(run.code, 0) << run.out;
  Document doc = ReadGlbFile(dir.file("m.glb"));
  ASSERT_TRUE(doc.ok);
  const json& primitive = doc.json["meshes"][0]["primitives"][0];
  // glTF's (x, y, z) is the game's (x, z, -y); turned, the game's (x, z, y): (x, y, -z).
  std::vector<float> base = doc.floats(primitive["attributes"]["POSITION"]);
  ASSERT_EQ(base.size(), 15u);
  EXPECT_EQ(std::vector<float>(base.begin() + 9, base.begin() + 12), (std::vector<float>{20, 20, -80}));
  EXPECT_EQ(doc.floats(primitive["targets"][1]["POSITION"]), std::vector<float>(15, 0.0f));
  EXPECT_EQ(doc.floats(primitive["targets"][2]["POSITION"]),
            (std::vector<float>{0, 0, 0, 20, 0, 0, 0, 20, 0, 0, 0, -20, 0, 0, 0}));
  const json& view = doc.json["bufferViews"][doc.json["images"][0]["bufferView"].get<size_t>()];
  const std::string png = doc.bin.substr(view.value("byteOffset", size_t(0)), view["byteLength"].get<size_t>());
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(12, 12), std::string("IHDR\0\0\0\x08\0\0\0\x08", 12));  // 8 x 8: the front half
  // The positions are off the stored lattice: its scale and origin are left out.
  const json& quake = doc.json["meshes"][0]["extras"]["quake"];
  EXPECT_FALSE(quake.contains("scale") || quake.contains("origin"));
  EXPECT_EQ(quake["frameEntrySize"], json::array({3, 0, 0, 0}));
}

TEST(GltfRuns, ExistingFilesAreAskedAboutAndANoToEitherKeepsTheOldPair) {
  testdata::TempDir dir;
  WriteSources(dir, gltfcheck::OneFrameModel());
  for (const char* name : {"m.glb", "m.gltf", "m.bin"}) testdata::WriteText(dir.file(name), "old");
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-dst", "m.glb"}, "n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(corvane_test::Count(run.out, "\"m.glb\" already exists, replace?"), 1u) << run.out;
  EXPECT_EQ(testdata::ReadText(dir.file("m.glb")), "old");
  // Yes to the .gltf, No to its .bin: neither changes.
  run = RunCorvane(dir.path(), {"-model", "m", "-dst", "m.gltf"}, "yn");
  EXPECT_EQ(run.code, 0);
  EXPECT_NE(run.out.find("  Model:   \"m.gltf\"\n  Model:   \"m.bin\"\n"), std::string::npos) << run.out;
  EXPECT_EQ(testdata::ReadText(dir.file("m.gltf")) + testdata::ReadText(dir.file("m.bin")), "oldold");
  // Two Yes: each asked once, both replaced.
  run = RunCorvane(dir.path(), {"-model", "m", "-dst", "m.gltf"}, "yy");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(corvane_test::Count(run.out, "already exists, replace?"), 2u) << run.out;
  EXPECT_EQ(json::parse(testdata::ReadText(dir.file("m.gltf")))["buffers"][0]["uri"], "m.bin");
  EXPECT_NE(testdata::ReadText(dir.file("m.bin")), "old");
}

TEST(GltfRuns, AMissingFolderFailsBothFilesAndWritesNothing) {
  testdata::TempDir dir;
  WriteSources(dir, gltfcheck::OneFrameModel());
  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-dst", "none/m.gltf"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("  Failed:  \"none/m.bin\" (No such file or directory)\n"
                         "  Failed:  \"none/m.gltf\" (its buffer \"none/m.bin\" was not written)\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("!!ERROR!! 2 outputs were not written"), std::string::npos);
  run = RunCorvane(dir.path(), {"-model", "m", "-dst", "none/m.glb"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("  Failed:  \"none/m.glb\" (No such file or directory)\n"), std::string::npos) << run.out;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // m.mdl, pal.lmp
}

// A .gltf and its .bin are one output: when either cannot be written, the old
// pair stays as it was and no new file appears.
TEST(GltfRuns, AFailureOfEitherFileLeavesTheOldPairAndNoNewFile) {
  enum Setup { OldPairAndASizeLimit, DanglingLink, AFolderInTheWay };
  for (Setup setup : {OldPairAndASizeLimit, DanglingLink, AFolderInTheWay}) {
    testdata::TempDir dir;
    WriteSources(dir, gltfcheck::OneFrameModel());
    std::string limit;
    if (setup == OldPairAndASizeLimit) {
      testdata::WriteText(dir.file("m.gltf"), "old document");
      testdata::WriteText(dir.file("m.bin"), "old buffer");
      limit = "ulimit -f 1; ";  // 1 KB at most: the 184-byte buffer fits, the document does not
    } else if (setup == DanglingLink) {
      std::filesystem::create_symlink("nowhere/m.gltf", dir.file("m.gltf"));
    } else {
      std::filesystem::create_directory(dir.file("m.gltf"));
    }
    std::string out;
    const int code = testdata::RunCommand("cd '" + dir.path() + "' && sh -c \"" + limit + "exec '" + CORVANE_BIN +
                                              "' -model m -dst m.gltf -replace\" < /dev/null",
                                          &out, true);
    EXPECT_NE(code, 0) << setup << out;
    if (setup == OldPairAndASizeLimit) {
      EXPECT_EQ(testdata::ReadText(dir.file("m.gltf")), "old document") << out;
      EXPECT_EQ(testdata::ReadText(dir.file("m.bin")), "old buffer") << out;
    } else {
      EXPECT_FALSE(testdata::FileExists(dir.file("m.bin"))) << setup << out;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      EXPECT_NE(entry.path().filename().string().rfind(".corvane-", 0), 0u) << setup;
  }
}

// Positions that are not finite numbers would give bounds no reader accepts:
// the model, or the factor that made them, is refused and nothing is written.
TEST(GltfRuns, PositionsThatAreNotFiniteNumbersAreRefusedWithTheirCause) {
  const struct {
    const char* what;
    float scale, origin;
    std::vector<std::string> options;
    const char* cause;
  } cases[] = {
      {"a header scale that is not a number", NAN, 0, {}, "Source model: \"m.mdl\""},
      {"an infinite header origin", 1, -INFINITY, {}, "Source model: \"m.mdl\""},
      {"frames a float cannot tell apart", 2e36f, -2.5e38f, {}, "Source model: \"m.mdl\""},
      {"a factor too large", 1, 0, {"-scale", "1e38"}, "Rescale: the factor 1e+38"},
  };
  for (const auto& item : cases) {
    for (const char* ending : {".glb", ".gltf"}) {
      testdata::ModelRecipe recipe = testdata::SmallModel();
      recipe.scale[0] = item.scale;
      recipe.origin[0] = item.origin;
      recipe.frames[1].frames[0].positions[0] = {255, 2, 2};
      testdata::TempDir dir;
      WriteSources(dir, recipe);
      std::vector<std::string> args = {"-model", "m", "-dst", std::string("m") + ending, "-report", "m.txt"};
      args.insert(args.end(), item.options.begin(), item.options.end());
      RunResult run = RunCorvane(dir.path(), args);
      EXPECT_EQ(run.code, 1) << item.what << run.out;
      EXPECT_NE(run.after.find(std::string("!!ERROR!! ") + item.cause + " gives frame \"stand"), std::string::npos)
          << item.what << run.out;
      EXPECT_NE(
          run.after.find("positions that are not finite numbers, which \"m" + std::string(ending) + "\" cannot hold"),
          std::string::npos)
          << item.what << run.out;
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << item.what;
    }
  }
}

// The skins are inside a .glb already: files of them only with -outimg. The run
// needs no image library at all then, and never loads it.
TEST(GltfRuns, SkinFilesOnlyWithOutimgAndNoImageLibraryLoaded) {
  testdata::TempDir dir;
  WriteSources(dir, gltfcheck::GroupedModel());
  const std::string libraries = dir.file("libraries.txt");
  std::string output;
  // The loader's own account of the libraries it opens goes to the file.
  ASSERT_EQ(testdata::RunCommand("cd '" + dir.path() + "' && LD_DEBUG=libs LD_DEBUG_OUTPUT='" + libraries + "' '" +
                                     CORVANE_BIN + "' -model m -pal pal -dst m.glb",
                                 &output, true),
            0)
      << output;
  std::string opened;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    if (entry.path().filename().string().rfind("libraries.txt", 0) == 0) opened += testdata::ReadText(entry.path());
  EXPECT_NE(opened.find("libvarnel"), std::string::npos) << "no loader account";
  EXPECT_EQ(opened.find("libfreeimage"), std::string::npos);
  EXPECT_FALSE(testdata::FileExists(dir.file("m_0.tga")));
  EXPECT_EQ(ReadGlbFile(dir.file("m.glb")).json["images"].size(), 3u);

  RunResult run = RunCorvane(dir.path(), {"-model", "m", "-pal", "pal", "-dst", "m.gltf", "-outimg", "png"});
  ASSERT_EQ(run.code, 0) << run.out;
  for (const char* name : {"m_0.png", "m_1.png", "m_2.png"}) EXPECT_TRUE(testdata::FileExists(dir.file(name))) << name;
}

// Without the image library the skins are still embedded; only the image files
// asked for with -outimg fail, each with its reason.
TEST(GltfRuns, WithoutTheImageLibraryTheGlbKeepsItsSkinsAndOnlyImageFilesFail) {
  testdata::TempDir dir;
  WriteSources(dir, gltfcheck::OneFrameModel());
  writertest::InFolder inside(dir.path());
  writertest::StdinFeed noAnswers("");
  ConverterState state;
  state.options.arguments = {"corvane", "-model", "m", "-pal", "pal", "-dst", "m.glb", "-outimg", "tga"};
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
  EXPECT_NE(said.find("  Model:   \"m.glb\"\n  Images are not written: FreeImage is not available ("),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("  Picture: \"m_0.tga\"\n  Failed:  \"m_0.tga\" (FreeImage is not available)\n"
                      "!!ERROR!! 1 output was not written\n"),
            std::string::npos)
      << said;
  Document doc = ReadGlbFile(dir.file("m.glb"));
  EXPECT_TRUE(doc.ok);
  EXPECT_EQ(doc.json["images"].size(), 1u);
}

}  // namespace
