#include "gltf_check.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "files.h"
#include "indexed_png.h"

namespace gltfcheck {

namespace {

GltfSink FileSink(std::ofstream& out) {
  return [&out](const char* data, size_t size) {
    out.write(data, std::streamsize(size));
    return bool(out);
  };
}

uint32_t U32At(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  if (at + 4 <= bytes.size()) std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

size_t ComponentCount(const std::string& type) {
  static const std::map<std::string, size_t> counts = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}};
  auto found = counts.find(type);
  return found == counts.end() ? 0 : found->second;
}

// The bytes of a view at an extra offset, or "" when they lie outside the chunk.
std::string ViewBytes(const Document& doc, const nlohmann::json& view, size_t offset, size_t length) {
  size_t start = view.value("byteOffset", size_t(0)) + offset;
  if (start + length > doc.bin.size()) {
    ADD_FAILURE() << "view reaches past the binary chunk";
    return "";
  }
  return doc.bin.substr(start, length);
}

std::vector<uint32_t> ReadIntegers(const Document& doc, const nlohmann::json& source, size_t count) {
  const nlohmann::json& view = doc.json["bufferViews"][source["bufferView"].get<size_t>()];
  const size_t width = source["componentType"] == 5125 ? 4 : source["componentType"] == 5123 ? 2 : 1;
  std::string bytes = ViewBytes(doc, view, source.value("byteOffset", size_t(0)), count * width);
  std::vector<uint32_t> values;
  for (size_t i = 0; i + width <= bytes.size(); i += width) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + i, width);
    values.push_back(v);
  }
  return values;
}

std::vector<float> ReadFloats(const Document& doc, const nlohmann::json& source, size_t count) {
  std::vector<float> values(count, 0.0f);
  if (!source.contains("bufferView")) return values;
  const nlohmann::json& view = doc.json["bufferViews"][source["bufferView"].get<size_t>()];
  std::string bytes = ViewBytes(doc, view, source.value("byteOffset", size_t(0)), count * 4);
  if (!bytes.empty()) std::memcpy(values.data(), bytes.data(), count * 4);
  return values;
}

}  // namespace

bool WriteGlbFile(const GltfInput& input, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return WriteGlb(input, FileSink(out)) == GltfResult::Written && bool(out.flush());
}

bool WriteGltfFiles(const GltfInput& input, const std::string& jsonPath, const std::string& binPath) {
  std::ofstream json(jsonPath, std::ios::binary | std::ios::trunc);
  std::ofstream bin(binPath, std::ios::binary | std::ios::trunc);
  std::string binName = binPath.substr(binPath.find_last_of('/') + 1);
  return WriteGltf(input, binName, FileSink(json), FileSink(bin)) == GltfResult::Written && bool(json.flush()) &&
         bool(bin.flush());
}

Document ReadGlb(const std::string& bytes) {
  Document doc;
  const size_t jsonLength = U32At(bytes, 12);
  const size_t binAt = 20 + jsonLength;
  if (U32At(bytes, 0) != 0x46546C67 || U32At(bytes, 4) != 2 || U32At(bytes, 8) != bytes.size() ||
      U32At(bytes, 16) != 0x4E4F534A || binAt + 8 > bytes.size() || U32At(bytes, binAt + 4) != 0x004E4942 ||
      binAt + 8 + U32At(bytes, binAt) != bytes.size()) {
    ADD_FAILURE() << "not a well-formed .glb of " << bytes.size() << " bytes";
    return doc;
  }
  doc.json = nlohmann::json::parse(bytes.substr(20, jsonLength), nullptr, false);
  doc.bin = bytes.substr(binAt + 8);
  doc.ok = !doc.json.is_discarded();
  EXPECT_TRUE(doc.ok) << "JSON chunk does not parse";
  return doc;
}

std::vector<float> Document::floats(int index) const {
  const nlohmann::json& accessor = json["accessors"][size_t(index)];
  EXPECT_EQ(accessor["componentType"], 5126);
  const size_t count = accessor["count"].get<size_t>() * ComponentCount(accessor["type"]);
  std::vector<float> values = ReadFloats(*this, accessor, count);
  if (!accessor.contains("sparse")) return values;
  const nlohmann::json& sparse = accessor["sparse"];
  const size_t changed = sparse["count"].get<size_t>();
  std::vector<uint32_t> at = ReadIntegers(*this, sparse["indices"], changed);
  std::vector<float> replaced = ReadFloats(*this, sparse["values"], changed);
  for (size_t k = 0; k < at.size() && k < replaced.size(); ++k) {
    if (at[k] >= values.size())
      ADD_FAILURE() << "sparse index " << at[k] << " out of range";
    else
      values[at[k]] = replaced[k];
  }
  return values;
}

std::vector<uint32_t> Document::integers(int index) const {
  const nlohmann::json& accessor = json["accessors"][size_t(index)];
  return ReadIntegers(*this, accessor, accessor["count"].get<size_t>());
}

std::vector<std::string> SkinPngs(const VNLMODEL_T& model, const VNLPALETTE_T& palette) {
  std::vector<std::string> pngs;
  for (uint32_t p = 0; p < uint32_t(model.skinCount) + model.skinExtra; ++p) {
    std::string png, failure;
    EXPECT_TRUE(EncodeIndexedPng(model.skins[p], palette.colors, false, png, failure)) << failure;
    pngs.push_back(png);
  }
  return pngs;
}

Png DecodePng(const std::string& bytes) {
  Png png;
  // The header's colour type, read from the bytes themselves: 8-byte signature,
  // IHDR length and name, width, height, bit depth, colour type.
  if (bytes.size() > 25) png.colourType = uint8_t(bytes[25]);
  spng_ctx* context = spng_ctx_new(0);
  spng_ihdr header{};
  spng_plte palette{};
  size_t size = 0;
  bool ok = context != nullptr && spng_set_png_buffer(context, bytes.data(), bytes.size()) == 0 &&
            spng_get_ihdr(context, &header) == 0 && spng_get_plte(context, &palette) == 0 &&
            spng_decoded_image_size(context, SPNG_FMT_PNG, &size) == 0;
  if (ok) {
    png.pixels.resize(size);
    ok = spng_decode_image(context, png.pixels.data(), size, SPNG_FMT_PNG, 0) == 0;
  }
  if (ok) {
    png.width = header.width;
    png.height = header.height;
    png.bitDepth = header.bit_depth;
    for (uint32_t i = 0; i < palette.n_entries; ++i)
      png.palette.push_back(0xFF000000u | uint32_t(palette.entries[i].red) << 16 |
                            uint32_t(palette.entries[i].green) << 8 | palette.entries[i].blue);
  }
  spng_ctx_free(context);
  png.ok = ok;
  return png;
}

std::vector<std::string> EmbeddedImages(const Document& doc) {
  std::vector<std::string> images;
  for (const nlohmann::json& image : doc.json.value("images", nlohmann::json::array())) {
    const nlohmann::json& view = doc.json["bufferViews"][image["bufferView"].get<size_t>()];
    images.push_back(ViewBytes(doc, view, 0, view["byteLength"].get<size_t>()));
  }
  return images;
}

std::map<std::string, std::string> Validate(const std::vector<std::string>& files, std::string& why) {
  std::map<std::string, std::string> reports;
  std::string command = "node '" GLTF_SCRIPTS_DIR "/validate.js' '" GLTF_VALIDATOR_DIR "'";
  for (const std::string& file : files) command += " '" + file + "'";
  std::string output;
  int status = testdata::RunCommand(command, &output, true);
  constexpr int kNoValidator = 2, kNoNode = 127;
  if (status == kNoValidator || status == kNoNode) {
    why = "no glTF validator here (scripts/deps.sh installs it): " + output;
    return reports;
  }
  EXPECT_EQ(status, 0) << output;
  std::istringstream lines(output);
  std::string current;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  ", 0) == 0 && !current.empty()) {
      reports[current] += "\n" + line;
      continue;
    }
    size_t cut = line.find(' ');
    current = line.substr(0, cut);
    reports[current] = cut == std::string::npos ? "" : line.substr(cut + 1);
  }
  return reports;
}

LoadedModel::LoadedModel(const testdata::Bytes& file, const testdata::Bytes& paletteFile) : bytes(file) {
  uint8_t* block = bytes.data();
  code = vnlModelLoad(block, uint32_t(bytes.size()), model);
  if (code == 0) code = vnlModelDataLoad(bytes.data(), uint32_t(bytes.size()), &stored);
  if (code != 0 || paletteFile.empty()) return;
  testdata::Bytes colours = paletteFile;
  uint8_t* paletteBlock = colours.data();
  code = vnlPaletteLoad(paletteBlock, uint32_t(colours.size()), palette);
  if (code == 0) pngs = SkinPngs(model, palette);
}

LoadedModel::~LoadedModel() {
  vnlModelKill(model);
  vnlModelDataKill(&stored);
  vnlPaletteKill(palette);
}

GltfInput LoadedModel::input(const std::string& base, uint32_t baseFrame) const {
  GltfInput in;
  in.model = &model;
  in.stored = &stored;
  in.baseFrame = baseFrame;
  in.baseName = base;
  in.skinImages = pngs;
  return in;
}

namespace {

testdata::ModelFrame TetrahedronFrame(const std::string& name, uint8_t size) {
  return testdata::ModelFrame{
      name, {{10, 10, 10}, {uint8_t(10 + size), 10, 10}, {10, uint8_t(10 + size), 10}, {10, 10, uint8_t(10 + size)}}};
}

}  // namespace

testdata::ModelRecipe GroupedModel() {
  testdata::ModelRecipe recipe = OneFrameModel();
  recipe.skins.push_back(
      testdata::ModelSkin{true, {}, {testdata::SkinPixels(recipe, 40), testdata::SkinPixels(recipe, 80)}});
  recipe.frames = {
      testdata::ModelFrameEntry{
          true, {}, {TetrahedronFrame("walk1", 20), TetrahedronFrame("walk2", 30), TetrahedronFrame("walk3", 40)}},
      testdata::ModelFrameEntry{false, {}, {TetrahedronFrame("pain1", 50)}},
      testdata::ModelFrameEntry{false, {}, {TetrahedronFrame("pain2", 60)}},
      testdata::ModelFrameEntry{false, {}, {TetrahedronFrame("death", 70)}}};
  return recipe;
}

testdata::ModelRecipe OneFrameModel() {
  testdata::ModelRecipe recipe;
  recipe.skinWidth = 16;
  recipe.skinHeight = 8;
  recipe.skins.push_back(testdata::ModelSkin{false, {}, {testdata::SkinPixels(recipe)}});
  // Vertex 0 lies on the seam; the second triangle faces back and takes its copy.
  recipe.vertices = {{1, 0, 4}, {0, 6, 1}, {0, 4, 7}, {0, 2, 0}};
  // Clockwise seen from outside, as the game stores its triangles.
  recipe.triangles = {{1, {0, 1, 2}}, {0, {0, 3, 1}}, {1, {0, 2, 3}}, {1, {1, 3, 2}}};
  recipe.frames = {testdata::ModelFrameEntry{false, {}, {TetrahedronFrame("base", 50)}}};
  return recipe;
}

}  // namespace gltfcheck
