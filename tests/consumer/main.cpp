// Writes a palette and a one-triangle model, loads both through the installed
// library's file forms, and exits 0 when everything reads back as written.
#include <varnel/varnel.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Word(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void Float(std::vector<uint8_t>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  Word(out, bits);
}

std::vector<uint8_t> Model() {
  std::vector<uint8_t> m = {'I', 'D', 'P', 'O'};
  Word(m, 6);
  for (int i = 0; i < 3; ++i) Float(m, 1.0f);                      // scale
  for (int i = 0; i < 3; ++i) Float(m, 0.0f);                      // origin
  for (int i = 0; i < 4; ++i) Float(m, 0.0f);                      // radius, eye
  for (uint32_t v : {1u, 2u, 2u, 3u, 1u, 1u, 0u, 0u}) Word(m, v);  // skins 2x2, 3 verts, 1 tri, 1 frame
  Float(m, 1.0f);
  Word(m, 0);
  for (int i = 0; i < 4; ++i) m.push_back(uint8_t(i));  // one 2 x 2 skin
  for (int i = 0; i < 3; ++i) {
    Word(m, 0);
    Word(m, uint32_t(i & 1));
    Word(m, uint32_t(i >> 1));
  }
  Word(m, 1);
  Word(m, 0);
  Word(m, 1);
  Word(m, 2);                                  // one front-facing triangle
  Word(m, 0);                                  // a simple frame
  for (int i = 0; i < 8; ++i) m.push_back(0);  // bounds
  const char name[16] = "base";
  m.insert(m.end(), name, name + 16);
  for (int i = 0; i < 3; ++i) {
    m.push_back(uint8_t(10 * i));
    m.push_back(0);
    m.push_back(0);
    m.push_back(0);
  }
  return m;
}

bool Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : ".";
  std::vector<uint8_t> palette(768);
  palette[0] = 1;
  palette[1] = 2;
  palette[2] = 3;
  if (!Save(folder + "/palette.lmp", palette) || !Save(folder + "/tri.mdl", Model())) return 2;

  std::string pack, file = folder + "/palette";
  VNLPALETTE_T pal{};
  int32_t code = vnlPaletteLoad(pack, file, pal);
  std::printf("palette: %d %08x\n", code, pal.colors ? pal.colors[0] : 0u);
  bool ok = code == 0 && pal.colors[0] == 0xFF010203u;
  vnlPaletteKill(pal);

  std::string modelName = folder + "/tri";
  VNLMODEL_T model{};
  code = vnlModelLoad(pack, modelName, model);
  std::printf("model: %d, %u vertices, %u triangles, frame x %.1f\n", code, model.vertexCount, model.triangleCount,
              model.frameVertices ? model.frameVertices[1].x : -1.0f);
  ok = ok && code == 0 && model.vertexCount == 3 && model.triangleCount == 1 && model.frameVertices[1].x == 10.0f;
  vnlModelKill(model);
  return ok ? 0 : 1;
}
