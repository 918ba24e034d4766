// The skin images, and the table of model writers by ending (the first is the default).
#include "model_writers.h"

#if CORVANE_GLTF
#include "gltf_output.h"
#endif
#include "images.h"
#include "text_rules.h"

namespace {

constexpr ModelWriter kModelWriters[] = {
    {".ase", WriteAse, false, false, false},   {".obj", WriteObj, false, false, false},
#if CORVANE_GLTF
    {".glb", WriteGlbModel, true, true, true}, {".gltf", WriteGltfModel, true, true, true},
#else
    // Built without the JSON library: the names are known, and refused with the reason.
    {".glb", nullptr, false, false, false},
    {".gltf", nullptr, false, false, false},
#endif
    {".mdl", WriteMdl, true, false, false},
};

}  // namespace

void WriteSkinImages(const RunOptions& options, const ItemState& item, RunOutcome& outcome) {
  const VNLMODEL_T& model = item.model;
  if (model.skins == nullptr || item.skinWidth < 1 || item.skinHeight < 1) return;
  const size_t count = size_t(model.skinCount) + model.skinExtra;
  for (size_t i = 0; i < count; ++i)
    SavePicture(options, outcome, options.baseName + "_" + std::to_string(i), model.skins[i], item.palette, 0,
                item.skinWidth, item.skinHeight, (options.flags & OPT_SKINNOBACK) != 0);
}

const ModelWriter* ModelWriterFor(const std::string& name) {
  size_t dot = name.find_last_of(".\\/");
  if (dot == std::string::npos || name[dot] != '.') return nullptr;
  const std::string ending = LowerAscii(name.substr(dot));
  for (const ModelWriter& writer : kModelWriters)
    if (ending == writer.ending) return &writer;
  return nullptr;
}

std::string ModelEndings() {
  std::string list;
  for (const ModelWriter& writer : kModelWriters) list += std::string(list.empty() ? "" : " ") + writer.ending;
  return list;
}

std::string WrittenModelEndings() {
  std::string accepted;
  for (const ModelWriter& writer : kModelWriters)
    if (writer.write != nullptr) accepted += std::string(accepted.empty() ? "" : ", ") + writer.ending;
  return accepted;
}

bool IsModelOutputName(const std::string& name) {
  const ModelWriter* writer = ModelWriterFor(name);
  return writer != nullptr && writer->write != nullptr;
}
