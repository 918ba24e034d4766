// What general tools make of the converter's outputs: assimp reads the OBJ and ASE
// files of a whole run, FreeImage and ImageMagick read every image format it
// writes. The model is synthetic, so every count and colour is known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "builders.h"
#include "corvane_run.h"
#include "files.h"
#include "image_check.h"
#include "varnel/varnel.h"

namespace {

using corvane_test::RunCorvane;
using corvane_test::RunResult;

constexpr int kSkinWidth = 16;
constexpr int kSkinHeight = 8;
constexpr int kColumns = 3;  // grid cells across the skin
constexpr int kRows = 2;
// Skin k of the run is drawn from palette index (texel + seed of k) & 255.
const int kSeeds[] = {0, 40, 80};

bool Have(const std::string& tool) { return testdata::RunCommand("command -v " + tool + " >/dev/null 2>&1") == 0; }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// A model whose triangles tile its skin: a grid of 4 x 3 points, two triangles per
// cell, the point at the left of the middle row on the seam and used from the back
// by one triangle (so its copy is a vertex of its own). Skins: one single, one
// group of two, so three materials. Every vertex has a position of its own.
testdata::ModelRecipe ReaderModel() {
  testdata::ModelRecipe recipe;
  recipe.skinWidth = kSkinWidth;
  recipe.skinHeight = kSkinHeight;
  recipe.scale[0] = 0.5f;
  recipe.scale[1] = 0.25f;
  recipe.scale[2] = 2.0f;
  recipe.origin[0] = -8;
  recipe.origin[1] = 3;
  recipe.origin[2] = -1.5f;
  recipe.skins.push_back(testdata::ModelSkin{false, {}, {testdata::SkinPixels(recipe, kSeeds[0])}});
  recipe.skins.push_back(testdata::ModelSkin{
      true, {}, {testdata::SkinPixels(recipe, kSeeds[1]), testdata::SkinPixels(recipe, kSeeds[2])}});
  auto point = [](int x, int y) { return y * (kColumns + 1) + x; };
  for (int y = 0; y <= kRows; ++y)
    for (int x = 0; x <= kColumns; ++x) recipe.vertices.push_back({point(x, y) == point(0, 1) ? 1 : 0, x * 5, y * 3});
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kColumns; ++x) {
      int front = (x == 0 && y == 1) ? 0 : 1;
      recipe.triangles.push_back({front, {point(x, y), point(x + 1, y), point(x, y + 1)}});
      recipe.triangles.push_back({1, {point(x + 1, y), point(x + 1, y + 1), point(x, y + 1)}});
    }
  for (const char* name : {"first", "second"}) {
    testdata::ModelFrame frame{name, {}};
    for (size_t i = 0; i < recipe.vertices.size(); ++i)
      frame.positions.push_back({uint8_t(10 + i * 7 + name[0]), uint8_t(200 - i * 9), uint8_t(i * i + 1)});
    recipe.frames.push_back(testdata::ModelFrameEntry{false, {}, {frame}});
  }
  return recipe;
}

// The model as the converter sees it, for the expected figures.
struct Loaded {
  Loaded() {
    bytes = testdata::BuildModel(ReaderModel());
    uint8_t* block = bytes.data();
    code = vnlModelLoad(block, uint32_t(bytes.size()), model);
  }
  ~Loaded() { vnlModelKill(model); }
  uint32_t vertices() const { return uint32_t(model.vertexCount) + model.seamCount; }
  uint32_t materials() const { return uint32_t(model.skinCount) + model.skinExtra; }

  testdata::Bytes bytes;
  VNLMODEL_T model{};
  int32_t code = -1;
};

// ---- assimp's XML dump ----

struct DumpedMesh {
  int material = -1;
  std::vector<std::vector<unsigned>> faces;
  std::vector<std::vector<double>> positions;
  std::vector<std::vector<double>> uvs;  // texture coordinate set 0
  unsigned uvComponents = 0;
  unsigned uvSets = 0;
};

struct Dump {
  bool ok = false;
  std::string text;
  std::vector<std::string> materialNames;
  std::vector<std::string> textureFiles;  // $tex.file of each material, "" without one
  std::vector<DumpedMesh> meshes;
};

// The value of attribute `name` in an XML start tag, or "".
std::string Attribute(const std::string& line, const std::string& name) {
  size_t at = line.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  at += name.size() + 3;
  return line.substr(at, line.find('"', at) - at);
}

std::vector<double> Numbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> values;
  for (double v; in >> v;) values.push_back(v);
  return values;
}

// The quoted text of a property's value line.
std::string Unquoted(const std::string& line) {
  size_t first = line.find('"'), last = line.rfind('"');
  return first == std::string::npos || last <= first ? "" : line.substr(first + 1, last - first - 1);
}

// `assimp dump` of `file` with identical vertices joined (the positions and skin
// coordinates of one OBJ or ASE vertex become one vertex again), parsed.
Dump DumpOf(const testdata::TempDir& dir, const std::string& file) {
  Dump dump;
  std::string log;
  std::string command = "cd " + Quoted(dir.path()) + " && assimp dump " + Quoted(file) + " dump.xml -jiv";
  if (testdata::RunCommand(command, &log, true) != 0) {
    ADD_FAILURE() << command << ":\n" << log;
    return dump;
  }
  dump.text = testdata::ReadText(dir.file("dump.xml"));
  std::vector<std::string> lines;
  std::istringstream in(dump.text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);

  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.find("<Material>") != std::string::npos) dump.textureFiles.emplace_back();
    if (line.find("key=\"?mat.name\"") != std::string::npos && i + 2 < lines.size())
      dump.materialNames.push_back(Unquoted(lines[i + 2]));
    if (line.find("key=\"$tex.file\"") != std::string::npos && i + 2 < lines.size() && !dump.textureFiles.empty())
      dump.textureFiles.back() = Unquoted(lines[i + 2]);
    if (line.find("<Mesh ") != std::string::npos) {
      dump.meshes.emplace_back();
      dump.meshes.back().material = std::atoi(Attribute(line, "material_index").c_str());
    }
    if (dump.meshes.empty()) continue;
    DumpedMesh& mesh = dump.meshes.back();
    if (line.find("<Face ") != std::string::npos && i + 1 < lines.size()) {
      std::vector<unsigned> corners;
      for (double v : Numbers(lines[i + 1])) corners.push_back(unsigned(v));
      mesh.faces.push_back(corners);
    }
    if (line.find("<Positions ") != std::string::npos) {
      size_t count = std::strtoul(Attribute(line, "num").c_str(), nullptr, 10);
      for (size_t k = 1; k <= count && i + k < lines.size(); ++k) mesh.positions.push_back(Numbers(lines[i + k]));
    }
    if (line.find("<TextureCoords ") != std::string::npos) {
      ++mesh.uvSets;
      if (Attribute(line, "set") != "0") continue;
      mesh.uvComponents = unsigned(std::atoi(Attribute(line, "num_components").c_str()));
      size_t count = std::strtoul(Attribute(line, "num").c_str(), nullptr, 10);
      for (size_t k = 1; k <= count && i + k < lines.size(); ++k) mesh.uvs.push_back(Numbers(lines[i + k]));
    }
  }
  dump.ok = true;
  return dump;
}

// `assimp info` summary value after "label:", or -1.
long InfoValue(const testdata::TempDir& dir, const std::string& file, const std::string& label) {
  std::string output;
  if (testdata::RunCommand("cd " + Quoted(dir.path()) + " && assimp info " + Quoted(file) + " -r", &output, true) != 0)
    return -1;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(label + ":", 0) == 0) return std::stol(line.substr(label.size() + 1));
  return -1;
}

// Every face corner of the dumped mesh sits where our vertex is, with our skin
// coordinate; faces in our order, corners in our order.
void ExpectCornersMatch(const DumpedMesh& mesh, const VNLMODEL_T& model, uint32_t frameOffset) {
  ASSERT_EQ(mesh.faces.size(), size_t(model.triangleCount));
  int mismatches = 0;
  for (size_t t = 0; t < mesh.faces.size(); ++t) {
    ASSERT_EQ(mesh.faces[t].size(), 3u) << "face " << t;
    for (int k = 0; k < 3; ++k) {
      unsigned ours = model.triangles[t].index[k];
      unsigned theirs = mesh.faces[t][k];
      ASSERT_LT(theirs, mesh.positions.size());
      ASSERT_LT(theirs, mesh.uvs.size());
      const VNLVEC3_T& p = model.frameVertices[frameOffset + ours];
      const VNLVEC3_T& uv = model.skinCoords[ours];
      const std::vector<double>& seen = mesh.positions[theirs];
      const std::vector<double>& seenUv = mesh.uvs[theirs];
      bool same = seen.size() == 3 && std::fabs(seen[0] - p.x) < 1e-5 && std::fabs(seen[1] - p.y) < 1e-5 &&
                  std::fabs(seen[2] - p.z) < 1e-5 && seenUv.size() >= 2 && std::fabs(seenUv[0] - uv.x) < 1e-5 &&
                  std::fabs(seenUv[1] - uv.y) < 1e-5;
      if (!same && ++mismatches <= 3)
        ADD_FAILURE() << "face " << t << " corner " << k << ": our vertex " << ours << " at (" << p.x << ", " << p.y
                      << ", " << p.z << ") uv (" << uv.x << ", " << uv.y << "), assimp vertex " << theirs;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Vertex indices the triangles use (all of them, in this model).
size_t UsedVertices(const VNLMODEL_T& model) {
  std::set<unsigned> used;
  for (uint32_t t = 0; t < model.triangleCount; ++t)
    for (uint16_t index : model.triangles[t].index) used.insert(index);
  return used.size();
}

class AssimpReadsARun : public testing::Test {
 protected:
  void SetUp() override {
    if (!Have("assimp")) GTEST_SKIP() << "no assimp command line";
    ASSERT_EQ(loaded_.code, 0);
    // The model this test means: 12 grid points and one seam copy, 12 triangles, 3 skins.
    ASSERT_EQ(loaded_.vertices(), 13u);
    ASSERT_EQ(loaded_.model.triangleCount, 12);
    ASSERT_EQ(loaded_.materials(), 3u);
    ASSERT_EQ(UsedVertices(loaded_.model), 13u);
    ASSERT_TRUE(testdata::WriteFile(dir_.file("m.mdl"), loaded_.bytes));
  }

  // Converts m.mdl into `output`, without images.
  void Convert(const std::string& output) {
    RunResult run = RunCorvane(dir_.path(), {"-model", "m.mdl", "-dst", output}, "", true);
    ASSERT_EQ(run.code, 0) << run.out;
  }

  testdata::TempDir dir_;
  Loaded loaded_;
};

TEST_F(AssimpReadsARun, ObjectFileVerticesFacesAndSkinCoordinates) {
  Convert("m.obj");
  Dump dump = DumpOf(dir_, "m.obj");
  ASSERT_TRUE(dump.ok);
  ASSERT_EQ(dump.meshes.size(), 1u) << dump.text;
  const DumpedMesh& mesh = dump.meshes[0];
  EXPECT_EQ(mesh.positions.size(), size_t(loaded_.vertices()));
  EXPECT_EQ(mesh.uvSets, 1u);
  EXPECT_EQ(mesh.uvComponents, 2u);
  EXPECT_EQ(mesh.uvs.size(), size_t(loaded_.vertices()));
  EXPECT_EQ(InfoValue(dir_, "m.obj", "Faces"), long(loaded_.model.triangleCount));
  ExpectCornersMatch(mesh, loaded_.model, 0);
}

TEST_F(AssimpReadsARun, ObjectFileMaterialsNameTheSkinImages) {
  Convert("m.obj");
  Dump dump = DumpOf(dir_, "m.obj");
  ASSERT_TRUE(dump.ok);
  // The importer adds a default material of its own in front of the library's.
  const std::vector<std::string> names = {"DefaultMaterial", "m_0", "m_1", "m_2"};
  EXPECT_EQ(dump.materialNames, names) << dump.text;
  EXPECT_EQ(InfoValue(dir_, "m.obj", "Materials"), long(loaded_.materials()) + 1);
  ASSERT_EQ(dump.textureFiles.size(), names.size());
  EXPECT_EQ(dump.textureFiles[1], "m_0.tga");
  EXPECT_EQ(dump.textureFiles[2], "m_1.tga");
  EXPECT_EQ(dump.textureFiles[3], "m_2.tga");
  ASSERT_EQ(dump.meshes.size(), 1u);
  EXPECT_EQ(dump.meshes[0].material, 1);  // every face uses skin 0
}

TEST_F(AssimpReadsARun, AseSceneVerticesFacesAndSkinCoordinates) {
  Convert("m.ase");
  Dump dump = DumpOf(dir_, "m.ase");
  ASSERT_TRUE(dump.ok);
  ASSERT_EQ(dump.meshes.size(), 1u) << dump.text;
  const DumpedMesh& mesh = dump.meshes[0];
  EXPECT_EQ(mesh.positions.size(), size_t(loaded_.vertices()));
  EXPECT_EQ(mesh.uvSets, 1u);
  EXPECT_EQ(mesh.uvs.size(), size_t(loaded_.vertices()));
  EXPECT_EQ(InfoValue(dir_, "m.ase", "Faces"), long(loaded_.model.triangleCount));
  ExpectCornersMatch(mesh, loaded_.model, 0);
}

TEST_F(AssimpReadsARun, AseSceneMaterialOfTheMeshIsSkinZero) {
  Convert("m.ase");
  Dump dump = DumpOf(dir_, "m.ase");
  ASSERT_TRUE(dump.ok);
  ASSERT_EQ(dump.meshes.size(), 1u);
  int material = dump.meshes[0].material;
  ASSERT_GE(material, 0);
  ASSERT_LT(size_t(material), dump.materialNames.size()) << dump.text;
  EXPECT_EQ(dump.materialNames[size_t(material)], "models/mapobjects/converted/m_0");
  ASSERT_LT(size_t(material), dump.textureFiles.size());
  EXPECT_EQ(dump.textureFiles[size_t(material)], "../converted/m_0.tga");
  EXPECT_EQ(InfoValue(dir_, "m.ase", "Materials"), long(dump.materialNames.size()));
}

// ---- images ----

struct ImageFormat {
  const char* option;      // -outimg value, also the file extension
  int freeImageFormat;     // FreeImage's id for the format, told from the file's content
  const char* magickName;  // ImageMagick's name of the format
  bool lossless;
};

void PrintTo(const ImageFormat& format, std::ostream* os) { *os << format.option; }

// Palette entry i is (i, i, 255 - i): every entry its own colour, and the colours
// change smoothly with the index, so that JPEG keeps them too.
testdata::Rgb RampColour(int i) { return {uint8_t(i), uint8_t(i), uint8_t(255 - i)}; }

testdata::Bytes RampPalette() {
  std::vector<testdata::Rgb> colours;
  for (int i = 0; i < 256; ++i) colours.push_back(RampColour(i));
  return testdata::BuildPalette(colours);
}

// 0x00RRGGBB of the texels of skin k, the top row first.
std::vector<uint32_t> SkinColours(int k) {
  std::vector<uint32_t> rgb;
  for (int i = 0; i < kSkinWidth * kSkinHeight; ++i) {
    testdata::Rgb c = RampColour((i + kSeeds[k]) & 255);
    rgb.push_back(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
  }
  return rgb;
}

std::vector<uint32_t> UpsideDown(const std::vector<uint32_t>& rgb) {
  std::vector<uint32_t> flipped;
  for (int y = kSkinHeight - 1; y >= 0; --y)
    flipped.insert(flipped.end(), rgb.begin() + y * kSkinWidth, rgb.begin() + (y + 1) * kSkinWidth);
  return flipped;
}

// Mean difference per colour channel, 0 to 255.
double MeanError(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size() || a.empty()) return 255;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i)
    for (int shift : {0, 8, 16}) sum += std::abs(int((a[i] >> shift) & 255) - int((b[i] >> shift) & 255));
  return sum / (3.0 * double(a.size()));
}

// Lossless formats give the skin back exactly; a JPEG comes close to it, and
// much closer than to the skin turned upside down (the index grows by 16 from
// row to row, so a turned image is far off).
void ExpectSkin(const std::vector<uint32_t>& seen, int k, bool lossless, const std::string& what) {
  const std::vector<uint32_t> want = SkinColours(k);
  if (lossless) {
    EXPECT_EQ(seen, want) << what;
    return;
  }
  double error = MeanError(seen, want);
  EXPECT_LT(error, 10.0) << what;
  EXPECT_LT(error * 5, MeanError(seen, UpsideDown(want))) << what;
}

// `convert FILE -auto-orient rgb:-`: the pixels as ImageMagick sees them, upright.
std::vector<uint32_t> MagickPixels(const std::string& path) {
  std::string bytes;
  std::vector<uint32_t> rgb;
  if (testdata::RunCommand("convert " + Quoted(path) + " -auto-orient -depth 8 rgb:-", &bytes) != 0) return rgb;
  for (size_t i = 0; i + 2 < bytes.size(); i += 3)
    rgb.push_back(uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]));
  return rgb;
}

std::string Identify(const std::string& path, const std::string& format) {
  std::string output;
  testdata::RunCommand("identify -format '" + format + "' " + Quoted(path), &output, true);
  return output;
}

constexpr const char* kNoFreeImage = "FreeImage is not available";

class ImagesOfARun : public testing::TestWithParam<ImageFormat> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testdata::WriteFile(dir_.file("m.mdl"), testdata::BuildModel(ReaderModel())));
    ASSERT_TRUE(testdata::WriteFile(dir_.file("pal.lmp"), RampPalette()));
    RunResult run = RunCorvane(
        dir_.path(), {"-model", "m.mdl", "-pal", "pal.lmp", "-dst", "m.obj", "-outimg", GetParam().option}, "", true);
    ASSERT_EQ(run.code, 0) << run.out;
    if (run.out.find(kNoFreeImage) != std::string::npos) GTEST_SKIP() << "no FreeImage: no images are written";
  }

  std::string Image(int k) const { return dir_.file("m_" + std::to_string(k) + "." + GetParam().option); }

  testdata::TempDir dir_;
};

TEST_P(ImagesOfARun, FreeImageReadsEverySkin) {
  for (int k = 0; k < 3; ++k) {
    imagecheck::Decoded image = imagecheck::Decode(Image(k));
    ASSERT_TRUE(image.loaded) << Image(k);
    EXPECT_EQ(image.format, GetParam().freeImageFormat);
    EXPECT_EQ(image.width, unsigned(kSkinWidth));
    EXPECT_EQ(image.height, unsigned(kSkinHeight));
    EXPECT_EQ(image.bitsPerPixel, 24u);
    ExpectSkin(image.rgb, k, GetParam().lossless, Image(k));
  }
}

TEST_P(ImagesOfARun, ImageMagickReadsEverySkin) {
  if (!Have("identify") || !Have("convert")) GTEST_SKIP() << "no ImageMagick";
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(Identify(Image(k), "%m %w %h %z"), std::string(GetParam().magickName) + " 16 8 8");
    ExpectSkin(MagickPixels(Image(k)), k, GetParam().lossless, Image(k));
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ImagesOfARun,
                         testing::Values(ImageFormat{"tga", 17, "TGA", true}, ImageFormat{"png", 13, "PNG", true},
                                         ImageFormat{"bmp", 0, "BMP3", true}, ImageFormat{"jpg", 2, "JPEG", false}),
                         [](const testing::TestParamInfo<ImageFormat>& tested) {
                           return std::string(tested.param.option);
                         });

// A TGA may keep its rows bottom first or top first; a bit of the header says
// which. Ours are stored bottom first and say so. ImageMagick (6.9) reads that bit
// into its orientation tag and keeps the rows as stored, so a conversion without
// -auto-orient shows the skin upside down; the file itself is right, as these
// tests pin.
class TgaOrientation : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testdata::WriteFile(dir_.file("m.mdl"), testdata::BuildModel(ReaderModel())));
    ASSERT_TRUE(testdata::WriteFile(dir_.file("pal.lmp"), RampPalette()));
    RunResult run = RunCorvane(dir_.path(), {"-model", "m.mdl", "-pal", "pal.lmp", "-dst", "m.obj"}, "", true);
    ASSERT_EQ(run.code, 0) << run.out;
    if (run.out.find(kNoFreeImage) != std::string::npos) GTEST_SKIP() << "no FreeImage: no images are written";
  }

  testdata::TempDir dir_;
};

TEST_F(TgaOrientation, RowsAreStoredBottomFirstAndTheHeaderSaysSo) {
  testdata::Bytes file = testdata::ReadFile(dir_.file("m_0.tga"));
  const size_t rowBytes = size_t(kSkinWidth) * 3;
  ASSERT_GE(file.size(), 18 + rowBytes * kSkinHeight);
  EXPECT_EQ(file[0], 0);  // no image id
  EXPECT_EQ(file[1], 0);  // no colour map
  EXPECT_EQ(file[2], 2);  // uncompressed true colour
  EXPECT_EQ(file[12] | file[13] << 8, kSkinWidth);
  EXPECT_EQ(file[14] | file[15] << 8, kSkinHeight);
  EXPECT_EQ(file[16], 24);
  EXPECT_EQ(file[17] & 0x30, 0x00);  // origin at the bottom left: the first stored row is the bottom one
  const std::vector<uint32_t> skin = SkinColours(0);
  for (int stored = 0; stored < kSkinHeight; ++stored) {
    int row = kSkinHeight - 1 - stored;
    for (int x = 0; x < kSkinWidth; ++x) {
      const uint8_t* bgr = file.data() + 18 + size_t(stored) * rowBytes + size_t(x) * 3;
      uint32_t seen = uint32_t(bgr[2]) << 16 | uint32_t(bgr[1]) << 8 | bgr[0];
      ASSERT_EQ(seen, skin[size_t(row) * kSkinWidth + x]) << "stored row " << stored << ", x " << x;
    }
  }
}

TEST_F(TgaOrientation, ImageMagickReadsTheOriginAndTurnsTheImageUpright) {
  if (!Have("identify") || !Have("convert")) GTEST_SKIP() << "no ImageMagick";
  EXPECT_EQ(Identify(dir_.file("m_0.tga"), "%[orientation]"), "BottomLeft");
  EXPECT_EQ(MagickPixels(dir_.file("m_0.tga")), SkinColours(0));
}

}  // namespace
