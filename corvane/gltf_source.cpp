#include "gltf_source.h"

#include <cstdlib>

#include "console.h"
#include "gltf_reader.h"
#include "model_writers.h"
#include "text_rules.h"

namespace {

struct Block {
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  ~Block() { std::free(bytes); }
};

bool WritesMdl(const std::string& name) {
  const size_t dot = name.find_last_of(".\\/");
  return dot != std::string::npos && name[dot] == '.' && LowerAscii(name.substr(dot)) == ".mdl";
}

}  // namespace

int LoadGltfSource(const RunOptions& options, ItemState& item, RunOutcome& outcome) {
  if (!options.paletteFile.empty()) {
    // The loaders clean the names they are handed: they get copies.
    std::string pack = options.palettePack, file = options.paletteFile;
    const int32_t code = vnlPaletteLoad(pack, file, item.palette);
    if (code != VNL_OK) return FailWith(outcome, "Palette: ", code);
  }
  GltfSource source;
  source.packName = options.modelPack;
  source.fileName = options.modelFile;
  source.palette = &item.palette;
  source.needsIndices = WritesMdl(options.dstFile);
  GltfModel read;
  std::string failure;
  if (!ReadGltfModel(source, read, failure)) return FailWith(outcome, "Source model: " + failure);
  for (const std::string& note : read.notes) ConsoleLine("  Warning:  " + note);
  if (read.mappedSkins > 0 && item.palette.colors == nullptr)
    ConsoleLine("  Warning:  true-colour skins left blank without -pal");

  VNLMODELDATA_T record = read.Record();
  Block block;
  int32_t code = vnlModelSave(&record, &block.bytes, &block.length);
  if (code == VNL_OK) code = vnlModelLoad(block.bytes, block.length, item.model);
  if (code == VNL_OK) code = vnlModelDataLoad(block.bytes, block.length, &item.stored);
  if (code != VNL_OK) return FailWith(outcome, "Source model: ", code);
  item.sourcePositions = std::move(read.positions);
  return 0;
}
