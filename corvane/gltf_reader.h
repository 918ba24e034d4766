// glTF models read back into an alias model's stored record: the mesh of the
// file's first node (or first mesh), its morph targets as frames, its base colour
// textures as skins, and the values corvane's glTF writer keeps in mesh.extras.
#ifndef CORVANE_GLTF_READER_H
#define CORVANE_GLTF_READER_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "varnel/varnel.h"

// What the reader makes of one glTF file: the arrays a VNLMODELDATA_T points to.
struct GltfModel {
  VNLVEC3_T scale{0, 0, 0};  // all zero: the saver fits a lattice to `positions`
  VNLVEC3_T origin{0, 0, 0};
  VNLVEC3_T eye{0, 0, 0};
  float radius = 0;  // 0: the saver computes it
  float size = 0;
  uint32_t flags = 0;
  uint32_t syncType = 0;
  uint32_t skinWidth = 0;
  uint32_t skinHeight = 0;
  uint32_t vertexCount = 0;
  uint32_t frameCount = 0;
  std::vector<VNLSKINVERTEX_T> skinVertices;
  std::vector<VNLFACE_T> faces;
  std::vector<std::array<char, 16>> frameNames;
  std::vector<VNLVEC3_T> positions;      // frameCount x vertexCount in the game's axes, or empty
  std::vector<VNLTRIVERTEX_T> vertices;  // frameCount x vertexCount: exact ones when positions is
                                         // empty, else only their normal indices; or empty
  std::vector<uint32_t> frameEntrySize;  // empty: every frame its own entry
  std::vector<VNLTRIVERTEX_T> frameEntryBox;
  std::vector<VNLTRIVERTEX_T> frameBoxes;
  std::vector<float> frameIntervals;
  std::vector<uint32_t> skinEntrySize;  // empty: every skin its own entry
  std::vector<float> skinIntervals;
  std::vector<std::vector<uint8_t>> skinPixels;  // skinWidth x skinHeight indices each
  std::vector<VNLPICTURE_T> pictures;            // filled by Record()

  bool exact = false;              // the extras carried the stored lattice: vertices are exact
  uint32_t mappedSkins = 0;        // true-colour pictures mapped to the palette
  std::vector<std::string> notes;  // warning lines for the console

  // The stored-model record over these arrays, for vnlModelSave; valid while
  // this object lives unchanged.
  VNLMODELDATA_T Record();
};

// The source to read: a disk file (empty packName) or a pack member.
struct GltfSource {
  std::string packName;
  std::string fileName;
  const VNLPALETTE_T* palette = nullptr;  // for true-colour skins; null or empty without -pal
  bool needsIndices = false;              // true-colour skins without a palette are refused
};

// Reads the glTF model; false with `failure` (one line, no prefix) when it cannot
// become an alias model.
bool ReadGltfModel(const GltfSource& source, GltfModel& model, std::string& failure);

#endif
