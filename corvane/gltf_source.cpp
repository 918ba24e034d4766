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

int LoadGltfSource(ConverterState& state) {
  if (!state.paletteFile.empty()) {
    const int32_t code = vnlPaletteLoad(state.palettePack, state.paletteFile, state.palette);
    if (code != VNL_OK) return FailWithCode(state, "Palette: ", code);
  }
  GltfSource source;
  source.packName = state.modelPack;
  source.fileName = state.modelFile;
  source.palette = &state.palette;
  source.needsIndices = WritesMdl(state.dstFile);
  GltfModel read;
  std::string failure;
  if (!ReadGltfModel(source, read, failure)) return FailWith(state, "Source model: " + failure);
  for (const std::string& note : read.notes) ConsoleLine("  Warning:  " + note);
  if (read.mappedSkins > 0 && state.palette.colors == nullptr)
    ConsoleLine("  Warning:  true-colour skins left blank without -pal");

  VNLMODELDATA_T record = read.Record();
  Block block;
  int32_t code = vnlModelSave(&record, &block.bytes, &block.length);
  if (code == VNL_OK) code = vnlModelLoad(block.bytes, block.length, state.model);
  if (code == VNL_OK) code = vnlModelDataLoad(block.bytes, block.length, &state.stored);
  if (code != VNL_OK) return FailWithCode(state, "Source model: ", code);
  state.sourcePositions = std::move(read.positions);
  return 0;
}
