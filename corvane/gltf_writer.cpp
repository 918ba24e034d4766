// The two containers of one glTF document: a .glb (header, JSON chunk, binary
// chunk) or a .gltf whose buffer is a .bin file beside it.
#include "gltf_writer.h"

#include <cstdint>
#include <limits>

#include "gltf_buffer.h"
#include "gltf_document.h"
#include "gltf_mesh.h"

namespace {

constexpr uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr uint32_t kGlbVersion = 2;
constexpr uint32_t kJsonChunk = 0x4E4F534A;    // "JSON"
constexpr uint32_t kBinaryChunk = 0x004E4942;  // "BIN\0"
constexpr uint64_t kGlbHeaderBytes = 12;
constexpr uint64_t kChunkHeaderBytes = 8;

void AppendU32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(char((v >> shift) & 0xFF));
}

struct Prepared {
  GltfMesh mesh;
  GltfLayout layout;
};

bool Prepare(const GltfInput& input, Prepared& prepared) {
  if (!DescribeMesh(input, prepared.mesh)) return false;
  prepared.layout = LayOutBuffer(prepared.mesh, input.skinImages);
  return true;
}

}  // namespace

GltfResult WriteGlb(const GltfInput& input, const GltfSink& glb) {
  Prepared prepared;
  if (!Prepare(input, prepared)) return GltfResult::NotAModel;
  std::string json = GltfJson(prepared.mesh, prepared.layout, input.baseName, "");
  // The JSON chunk is padded with blanks, which JSON ignores.
  while (json.size() % 4 != 0) json.push_back(' ');

  const uint64_t total = kGlbHeaderBytes + kChunkHeaderBytes + json.size() + kChunkHeaderBytes + prepared.layout.total;
  if (total > std::numeric_limits<uint32_t>::max()) return GltfResult::TooLarge;

  std::string head;
  AppendU32(head, kGlbMagic);
  AppendU32(head, kGlbVersion);
  AppendU32(head, uint32_t(total));
  AppendU32(head, uint32_t(json.size()));
  AppendU32(head, kJsonChunk);
  std::string binaryHead;
  AppendU32(binaryHead, uint32_t(prepared.layout.total));
  AppendU32(binaryHead, kBinaryChunk);

  bool ok = glb(head.data(), head.size()) && glb(json.data(), json.size()) &&
            glb(binaryHead.data(), binaryHead.size()) &&
            StreamBuffer(prepared.mesh, input.skinImages, prepared.layout, glb);
  return ok ? GltfResult::Written : GltfResult::SinkFailed;
}

GltfResult WriteGltf(const GltfInput& input, const std::string& binFileName, const GltfSink& json,
                     const GltfSink& bin) {
  Prepared prepared;
  if (!Prepare(input, prepared)) return GltfResult::NotAModel;
  const std::string text = GltfJson(prepared.mesh, prepared.layout, input.baseName, UriOfFileName(binFileName));
  bool ok = json(text.data(), text.size()) && StreamBuffer(prepared.mesh, input.skinImages, prepared.layout, bin);
  return ok ? GltfResult::Written : GltfResult::SinkFailed;
}
