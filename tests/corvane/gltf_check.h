// Helpers for the glTF tests: writing a document to files, reading a .glb back
// (its JSON and the numbers its accessors hold), skins encoded as real PNGs, and
// the outside readers (the Khronos validator, Blender) run on files.
#ifndef TESTS_CORVANE_GLTF_CHECK_H
#define TESTS_CORVANE_GLTF_CHECK_H

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "builders.h"
#include "gltf_writer.h"
#include "varnel/varnel.h"

namespace gltfcheck {

// Writes path.glb, or path.gltf with path.bin; false unless GltfResult::Written.
bool WriteGlbFile(const GltfInput& input, const std::string& path);
bool WriteGltfFiles(const GltfInput& input, const std::string& jsonPath, const std::string& binPath);

struct Document {
  bool ok = false;
  nlohmann::json json;
  std::string bin;  // the binary chunk
  // Every number of accessor `index` as a float, sparse values applied.
  std::vector<float> floats(int index) const;
  // The integers of an index accessor.
  std::vector<uint32_t> integers(int index) const;
};
// Reads a .glb's header and chunks; `ok` false (and a test failure) when malformed.
Document ReadGlb(const std::string& bytes);

// Each skin picture of the record as the indexed PNG the program embeds.
std::vector<std::string> SkinPngs(const VNLMODEL_T& model, const VNLPALETTE_T& palette);

// A PNG file decoded as stored: for an indexed one, its indices and its PLTE.
struct Png {
  bool ok = false;
  uint8_t colourType = 0;  // from the header's bytes
  uint32_t width = 0, height = 0, bitDepth = 0;
  std::vector<uint8_t> pixels;    // one byte per pixel for 8-bit indexed
  std::vector<uint32_t> palette;  // 0xFFRRGGBB per PLTE entry
};
Png DecodePng(const std::string& bytes);
// The bytes of every image of the document, in the order of its images array.
std::vector<std::string> EmbeddedImages(const Document& doc);

// One line per file from the validator script: file -> "errors E warnings W ...",
// with its error and warning lines after it. Empty map when node or the validator
// is missing (`why` says so); any other failure of the script fails the test.
std::map<std::string, std::string> Validate(const std::vector<std::string>& files, std::string& why);

// A model loaded from its bytes, with its skins as PNGs when a palette is given.
struct LoadedModel {
  LoadedModel(const testdata::Bytes& file, const testdata::Bytes& paletteFile);
  ~LoadedModel();
  LoadedModel(const LoadedModel&) = delete;
  LoadedModel& operator=(const LoadedModel&) = delete;
  // What the writer gets: base frame `baseFrame`, these skins, base name `base`.
  GltfInput input(const std::string& base, uint32_t baseFrame = 0) const;

  testdata::Bytes bytes;
  VNLMODEL_T model{};
  VNLMODELDATA_T stored{};
  VNLPALETTE_T palette{};
  std::vector<std::string> pngs;
  int32_t code = -1;
};

// A closed tetrahedron whose file triangles wind as the game's do, one of them
// facing back across the seam; skins: one single and a group of two (16 x 8);
// frames: a group "walk1" to "walk3", then "pain1", "pain2", "death".
testdata::ModelRecipe GroupedModel();
// The same shape with one skin and one frame, "base".
testdata::ModelRecipe OneFrameModel();

}  // namespace gltfcheck

#endif
