// glTF sources read into an alias model and saved, on one input written to a
// temporary file (.glb when it starts as one, else .gltf). A file the reader
// takes must save to a model that loads back with the counts read, or be refused
// by the saver with one of its codes.
#include <fstream>
#include <string>

#include "gltf_reader.h"
#include "harness.h"
#include "temporary_folder.h"

namespace {

// A grey ramp: true-colour skins map to it.
const VNLPALETTE_T& Palette() {
  static uint32_t colours[256];
  static VNLPALETTE_T palette{};
  for (uint32_t i = 0; i < 256; ++i) colours[i] = i | i << 8 | i << 16;
  palette.colors = colours;
  return palette;
}

std::string SaveAndReload(GltfModel& read) {
  const VNLMODELDATA_T record = read.Record();
  uint8_t* block = nullptr;
  uint32_t length = 0;
  const int32_t code = vnlModelSave(&record, &block, &length);
  if (code != VNL_OK) {
    const bool documented = (code >= VNL_MDL_NO_SKIN && code <= VNL_MDL_BAD_INDEX) ||
                            (code >= VNL_MDL_COUNT && code <= VNL_MDL_OFF_LATTICE) || code == VNL_NO_MEMORY;
    return documented ? "" : harness::Unexpected("vnlModelSave", code);
  }
  VNLMODELDATA_T back{};
  const int32_t loaded = vnlModelDataLoad(block, length, &back);
  std::string problem;
  if (loaded != VNL_OK)
    problem = "a saved model does not load back: code " + std::to_string(loaded);
  else if (back.vertexCount != record.vertexCount || back.triangleCount != record.triangleCount ||
           back.frameCount != record.frameCount || back.skinCount != record.skinCount)
    problem = "a saved model loads back with other counts";
  vnlModelDataKill(&back);
  std::free(block);
  return problem;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bool binary = size >= 4 && std::string(reinterpret_cast<const char*>(data), 4) == "glTF";
  const std::string path = harness::TemporaryFolder("fuzz-gltf") + (binary ? "/in.glb" : "/in.gltf");
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), long(size));
  GltfSource source;
  source.fileName = path;
  source.palette = &Palette();
  GltfModel read;
  std::string failure;
  if (ReadGltfModel(source, read, failure)) harness::Require(SaveAndReload(read));
  return 0;
}
