// The table of model writers by ending; the first is the default.
#include "model_writers.h"

#if CORVANE_GLTF
#include "gltf_output.h"
#endif
#include "text_rules.h"

namespace {

constexpr ModelWriter kModelWriters[] = {
    {".ase", WriteAse, false},     {".obj", WriteObj, false},
#if CORVANE_GLTF
    {".glb", WriteGlbModel, true}, {".gltf", WriteGltfModel, true},
#else
    // Built without the JSON library: the names are known, and refused with the reason.
    {".glb", nullptr, false},
    {".gltf", nullptr, false},
#endif
    {".mdl", WriteMdl, true},
};

}  // namespace

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
