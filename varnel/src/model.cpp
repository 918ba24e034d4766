// Alias models ("IDPO" version 6): the loader, the record's kill and the frame
// lookup; and the stored-model loader, which shares the header and sizing pass.
//
// The loader walks the block twice. The sizing pass reads only the words that
// decide sizes (group counts, on-seam flags) so that every array can be sized,
// and the whole load can be refused, before anything is allocated. The fill
// pass then reads everything into arrays allocated once, with one reusable
// buffer per frame so that decoding allocates nothing per vertex.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "block_reader.h"
#include "budget.h"
#include "file_io.h"
#include "text.h"
#include "varnel/varnel.h"

namespace {

constexpr uint32_t kVersion = 6;
constexpr uint32_t kMaxCount = 0xFFFF;  // the record keeps counts and indices in 16 bits
constexpr uint32_t kNameSize = 16;
constexpr uint64_t kPackedSize = 4;            // x, y, z, light-normal index
constexpr uint32_t kLargestFrameGroup = 0xFF;  // the record keeps a group's size in 8 bits

struct Header {
  float scale[3];
  float origin[3];
  float radius;
  float eye[3];
  uint32_t skinCount;
  uint32_t skinWidth;
  uint32_t skinHeight;
  uint32_t vertexCount;
  uint32_t triangleCount;
  uint32_t frameCount;
  uint32_t syncType;
  uint32_t flags;
  float size;
};

// What the sizing pass learns.
struct Layout {
  uint64_t ofsSkins;
  uint64_t ofsVertices;
  uint64_t ofsTriangles;
  uint64_t ofsFrames;
  uint32_t skinExtra;
  uint32_t frameExtra;
  uint32_t seamCount;
};

// 0 and values that do not fit the record (negative ones included) share a code.
bool CountFits(uint32_t count) { return count != 0 && count <= kMaxCount; }

int32_t ReadHeader(vnl::BlockReader& reader, Header& header) {
  if (reader.text(4) != "IDPO") return VNL_NOT_MDL;
  if (reader.u32() != kVersion) return VNL_MDL_VERSION;
  for (float& v : header.scale) v = reader.f32();
  for (float& v : header.origin) v = reader.f32();
  header.radius = reader.f32();
  for (float& v : header.eye) v = reader.f32();
  header.skinCount = reader.u32();
  if (!CountFits(header.skinCount)) return VNL_MDL_NO_SKIN;
  header.skinWidth = reader.u32();
  if (header.skinWidth == 0) return VNL_MDL_SKIN_WIDTH;
  header.skinHeight = reader.u32();
  if (header.skinHeight == 0) return VNL_MDL_SKIN_HEIGHT;
  header.vertexCount = reader.u32();
  if (!CountFits(header.vertexCount)) return VNL_MDL_NO_VERTEX;
  header.triangleCount = reader.u32();
  if (!CountFits(header.triangleCount)) return VNL_MDL_NO_FACE;
  header.frameCount = reader.u32();
  if (!CountFits(header.frameCount)) return VNL_MDL_NO_FRAME;
  header.syncType = reader.u32();
  header.flags = reader.u32();
  header.size = reader.f32();
  return VNL_OK;
}

uint64_t PictureBytes(const Header& header) { return uint64_t(header.skinWidth) * header.skinHeight; }

uint64_t FrameBytes(const Header& header) { return kNameSize + 8 + kPackedSize * header.vertexCount; }

// Reads a group's size word; false for a size of 0 or below, or above `largest`,
// or when the extra count it adds would no longer fit 16 bits.
bool ReadGroupSize(vnl::BlockReader& reader, uint32_t largest, uint32_t& size, uint32_t& extra) {
  int32_t n = reader.i32();
  if (n <= 0 || uint32_t(n) > largest) return false;
  size = uint32_t(n);
  if (uint64_t(extra) + size - 1 > kMaxCount) return false;
  extra += size - 1;
  return true;
}

int32_t SizeBlocks(vnl::BlockReader& reader, const Header& header, Layout& layout) {
  const uint64_t pictureBytes = PictureBytes(header);
  layout.ofsSkins = reader.cursor();
  for (uint32_t e = 0; e < header.skinCount; ++e) {
    if (reader.u32() == 0) {
      reader.skip(pictureBytes);
      continue;
    }
    uint32_t n = 0;
    if (!ReadGroupSize(reader, uint32_t(INT32_MAX), n, layout.skinExtra)) return VNL_MDL_NO_SKIN;
    reader.skip(n * (4 + pictureBytes));  // below 2^62: pictureBytes is capped first
  }

  layout.ofsVertices = reader.cursor();
  for (uint32_t i = 0; i < header.vertexCount; ++i) {
    if (reader.u32() != 0) ++layout.seamCount;
    reader.skip(8);
  }

  layout.ofsTriangles = reader.cursor();
  reader.skip(16 * uint64_t(header.triangleCount));
  layout.ofsFrames = reader.cursor();

  const uint64_t frameBytes = FrameBytes(header);
  for (uint32_t e = 0; e < header.frameCount; ++e) {
    if (reader.u32() == 0) {
      reader.skip(frameBytes);
      continue;
    }
    uint32_t n = 0;
    if (!ReadGroupSize(reader, kLargestFrameGroup, n, layout.frameExtra)) return VNL_MDL_NO_FRAME;
    reader.skip(2 * kPackedSize + n * (4 + frameBytes));
  }
  return VNL_OK;
}

// What the load would cost against the budget, in 64 bits (pictureBytes is at
// most the cap); pictures and frames count at least their least cost each.
uint64_t LoadCost(const Header& header, const Layout& layout) {
  const uint64_t pictures = uint64_t(header.skinCount) + layout.skinExtra;
  const uint64_t frames = uint64_t(header.frameCount) + layout.frameExtra;
  const uint64_t stride = uint64_t(header.vertexCount) + layout.seamCount;
  return pictures * (sizeof(VNLPICTURE_T) + vnl::ItemCost(PictureBytes(header))) +
         stride * (sizeof(uint32_t) + sizeof(VNLVEC3_T)) + header.triangleCount * sizeof(VNLTRIANGLE_T) +
         frames * vnl::ItemCost(kNameSize + 1 + stride * sizeof(VNLVEC3_T));
}

template <class T>
T* Allocate(uint64_t count) {
  return static_cast<T*>(std::calloc(static_cast<size_t>(count), sizeof(T)));
}

uint32_t Offset32(uint64_t cursor) { return cursor > UINT32_MAX ? UINT32_MAX : uint32_t(cursor); }

bool ReadPicture(vnl::BlockReader& reader, const Header& header, VNLPICTURE_T& picture) {
  picture.width = header.skinWidth;
  picture.height = header.skinHeight;
  picture.pixels = Allocate<uint8_t>(PictureBytes(header));
  if (picture.pixels == nullptr) return false;
  reader.read(picture.pixels, PictureBytes(header));
  return true;
}

int32_t ReadSkins(vnl::BlockReader& reader, const Header& header, VNLMODEL_T& model) {
  const uint32_t total = uint32_t(model.skinCount) + model.skinExtra;
  model.skins = Allocate<VNLPICTURE_T>(total);
  if (model.skins == nullptr) return VNL_NO_MEMORY;
  uint32_t k = 0;
  for (uint32_t e = 0; e < header.skinCount; ++e) {
    uint32_t n = 1;
    if (reader.u32() != 0) {
      n = reader.u32();
      reader.skip(4 * uint64_t(n));  // intervals
    }
    for (uint32_t i = 0; i < n && k < total; ++i, ++k)
      if (!ReadPicture(reader, header, model.skins[k])) return VNL_NO_MEMORY;
  }
  return VNL_OK;
}

// Fills skin coordinates and the seam table; `seamVertices` gets the file
// vertices on the seam, in order (copy j belongs to seamVertices[j]).
int32_t ReadSkinVertices(vnl::BlockReader& reader, const Header& header, VNLMODEL_T& model,
                         std::vector<uint32_t>& seamVertices) {
  const uint64_t stride = uint64_t(model.vertexCount) + model.seamCount;
  model.seamIndex = Allocate<uint32_t>(stride);
  model.skinCoords = Allocate<VNLVEC3_T>(stride);
  if (model.seamIndex == nullptr || model.skinCoords == nullptr) return VNL_NO_MEMORY;
  const double width = header.skinWidth;
  const double height = header.skinHeight;
  seamVertices.reserve(model.seamCount);
  for (uint32_t i = 0; i < model.vertexCount; ++i) {
    uint32_t onSeam = reader.u32();
    uint32_t s = reader.u32();
    uint32_t t = reader.u32();
    VNLVEC3_T& coord = model.skinCoords[i];
    coord.x = float(double(s) / width);
    coord.y = float(double(t) / height);
    if (onSeam == 0 || seamVertices.size() >= model.seamCount) continue;
    uint32_t copy = model.vertexCount + uint32_t(seamVertices.size());
    model.seamIndex[i] = copy;
    model.skinCoords[copy].x = float(double(coord.x) + 0.5);
    model.skinCoords[copy].y = coord.y;
    seamVertices.push_back(i);
  }
  return VNL_OK;
}

// A back-facing triangle takes the on-seam copies, which address the skin's back
// half. Indices outside the file's vertices, or copies beyond 16 bits, refuse the file.
int32_t ReadTriangles(vnl::BlockReader& reader, VNLMODEL_T& model) {
  model.triangles = Allocate<VNLTRIANGLE_T>(model.triangleCount);
  if (model.triangles == nullptr) return VNL_NO_MEMORY;
  for (uint32_t n = 0; n < model.triangleCount; ++n) {
    uint32_t facesFront = reader.u32();
    uint32_t index[3];
    for (uint32_t& i : index) i = reader.u32();
    for (int c = 0; c < 3; ++c) {
      uint32_t i = index[c];
      if (i >= model.vertexCount) return VNL_MDL_BAD_INDEX;
      if (facesFront == 0 && model.seamIndex[i] != 0) i = model.seamIndex[i];
      if (i > kMaxCount) return VNL_MDL_BAD_INDEX;
      model.triangles[n].index[c] = uint16_t(i);
    }
  }
  return VNL_OK;
}

// Position = byte x scale + origin in double, rounded once; with only 256 byte
// values per axis the results are tabled once per load.
struct Decoder {
  float table[3][256];

  explicit Decoder(const Header& header) {
    for (int axis = 0; axis < 3; ++axis)
      for (int b = 0; b < 256; ++b)
        table[axis][b] = float(double(b) * double(header.scale[axis]) + double(header.origin[axis]));
  }

  void decode(const uint8_t* packed, uint32_t count, VNLVEC3_T* out) const {
    for (uint32_t i = 0; i < count; ++i, packed += kPackedSize) {
      out[i].x = table[0][packed[0]];
      out[i].y = table[1][packed[1]];
      out[i].z = table[2][packed[2]];
    }
  }
};

void ReadName(vnl::BlockReader& reader, char (&name)[kNameSize]) {
  char field[kNameSize];
  reader.read(field, kNameSize);
  const size_t length = strnlen(field, kNameSize);
  std::memset(name, 0, kNameSize);
  std::memcpy(name, field, length);
}

int32_t ReadFrames(vnl::BlockReader& reader, const Header& header, VNLMODEL_T& model,
                   const std::vector<uint32_t>& seamVertices) {
  const uint64_t total = uint64_t(model.frameCount) + model.frameExtra;
  const uint64_t stride = uint64_t(model.vertexCount) + model.seamCount;
  model.frameNames = static_cast<char(*)[kNameSize]>(std::calloc(static_cast<size_t>(total), kNameSize));
  model.frameGroup = Allocate<uint8_t>(total);
  model.frameVertices = Allocate<VNLVEC3_T>(total * stride);
  if (model.frameNames == nullptr || model.frameGroup == nullptr || model.frameVertices == nullptr)
    return VNL_NO_MEMORY;

  const Decoder decoder(header);
  std::vector<uint8_t> packed(kPackedSize * model.vertexCount);
  uint64_t f = 0;
  for (uint32_t e = 0; e < header.frameCount && f < total; ++e) {
    uint32_t n = 1;
    if (reader.u32() != 0) {
      n = reader.u32();
      model.frameGroup[f] = uint8_t(n);
      reader.skip(2 * kPackedSize + 4 * uint64_t(n));  // group bounds, intervals
    }
    for (uint32_t i = 0; i < n && f < total; ++i, ++f) {
      reader.skip(2 * kPackedSize);  // frame bounds
      ReadName(reader, model.frameNames[f]);
      reader.read(packed.data(), packed.size());
      VNLVEC3_T* positions = model.frameVertices + f * stride;
      decoder.decode(packed.data(), model.vertexCount, positions);
      for (size_t j = 0; j < seamVertices.size(); ++j) positions[model.vertexCount + j] = positions[seamVertices[j]];
    }
  }
  return VNL_OK;
}

int32_t Fail(VNLMODEL_T& model, int32_t code) {
  vnlModelKill(model);
  return code;
}

}  // namespace

int32_t vnlModelLoad(const uint8_t* block, uint32_t length, VNLMODEL_T* record) {
  if (record == nullptr) return VNL_NO_BLOCK;
  VNLMODEL_T& model = *record;
  int32_t code = vnl::BeginLoad(block, length, model, vnlModelKill);
  Header header{};
  vnl::BlockReader reader(block, length);
  if (code == VNL_OK) code = ReadHeader(reader, header);
  if (code != VNL_OK) return code;
  model.flags = header.flags;
  model.syncType = header.syncType;
  model.fileSize = length;

  // Checked before sizing so that every later product stays far inside 64 bits.
  if (PictureBytes(header) > VNL_MAX_ALLOCATION) return VNL_NO_MEMORY;
  Layout layout{};
  code = SizeBlocks(reader, header, layout);
  if (code != VNL_OK) return code;
  if (!vnl::WithinBudget(LoadCost(header, layout), length)) return VNL_NO_MEMORY;

  model.ofsSkins = Offset32(layout.ofsSkins);
  model.ofsVertices = Offset32(layout.ofsVertices);
  model.ofsTriangles = Offset32(layout.ofsTriangles);
  model.ofsFrames = Offset32(layout.ofsFrames);
  model.skinCount = uint16_t(header.skinCount);
  model.skinExtra = uint16_t(layout.skinExtra);
  model.frameCount = uint16_t(header.frameCount);
  model.frameExtra = uint16_t(layout.frameExtra);
  model.vertexCount = uint16_t(header.vertexCount);
  model.triangleCount = uint16_t(header.triangleCount);
  model.seamCount = layout.seamCount;

  std::vector<uint32_t> seamVertices;
  reader.seek(layout.ofsSkins);
  if ((code = ReadSkins(reader, header, model)) != VNL_OK) return Fail(model, code);
  reader.seek(layout.ofsVertices);
  if ((code = ReadSkinVertices(reader, header, model, seamVertices)) != VNL_OK) return Fail(model, code);
  reader.seek(layout.ofsTriangles);
  if ((code = ReadTriangles(reader, model)) != VNL_OK) return Fail(model, code);
  reader.seek(layout.ofsFrames);
  if ((code = ReadFrames(reader, header, model, seamVertices)) != VNL_OK) return Fail(model, code);

  // The record holds v measured from the bottom and triangles in the opposite
  // winding to the file's.
  vnlModelSkinInv(model);
  vnlModelSwapTris(model);
  return VNL_OK;
}

int32_t vnlModelLoadFile(const char* packName, const char* fileName, VNLMODEL_T* model) {
  return vnl::LoadRecordFile(packName, fileName, ".mdl", vnlModelLoad, model);
}

void vnlModelKill(VNLMODEL_T* record) {
  if (record == nullptr) return;
  VNLMODEL_T& model = *record;
  if (model.skins != nullptr) {
    const uint32_t total = uint32_t(model.skinCount) + model.skinExtra;
    for (uint32_t k = 0; k < total; ++k) vnlPictureKill(model.skins[k]);
    vnl::Release(model.skins);
  }
  vnl::Release(model.triangles);
  vnl::Release(model.seamIndex);
  vnl::Release(model.skinCoords);
  vnl::Release(model.frameVertices);
  vnl::Release(model.frameNames);
  vnl::Release(model.frameGroup);
  model.ofsSkins = model.ofsTriangles = model.ofsVertices = model.ofsFrames = 0;
  model.skinCount = model.skinExtra = 0;
  model.frameCount = model.frameExtra = 0;
  model.vertexCount = model.triangleCount = 0;
  model.seamCount = 0;
}

int32_t vnlFrameNumber(const VNLMODEL_T* record, const char* frameName) {
  if (record == nullptr || frameName == nullptr) return 0;
  const VNLMODEL_T& model = *record;
  const uint64_t stride = uint64_t(model.vertexCount) + model.seamCount;
  const uint32_t total = uint32_t(model.frameCount) + model.frameExtra;
  if (stride == 0 || total == 0 || model.frameNames == nullptr) return 0;
  // The converter's frame choice folds names the same way (its text_rules.h).
  const std::string wanted = vnl::LowerAscii(vnl::TrimBlanks(frameName));
  for (uint32_t f = 0; f < total; ++f) {
    const char* field = model.frameNames[f];
    std::string name(field, strnlen(field, kNameSize));
    if (vnl::LowerAscii(vnl::TrimBlanks(name)) == wanted) return int32_t(f);
  }
  return 0;
}

uint32_t vnlFrameOffset(const VNLMODEL_T* record, const char* frameName) {
  if (record == nullptr) return 0;
  const VNLMODEL_T& model = *record;
  const uint64_t stride = uint64_t(model.vertexCount) + model.seamCount;
  if (stride == 0 || uint32_t(model.frameCount) + model.frameExtra == 0) return 0;
  return uint32_t(uint64_t(vnlFrameNumber(record, frameName)) * stride);
}

// ---------------------------------------------------------------------------
// The stored model: the same header and sizing pass, then every stored value
// kept as it is (no seam copies, no inversion, no decoding).
// ---------------------------------------------------------------------------

namespace {

constexpr uint64_t kBoxSize = 2 * sizeof(VNLTRIVERTEX_T);

uint64_t DataLoadCost(const Header& header, const Layout& layout) {
  const uint64_t pictures = uint64_t(header.skinCount) + layout.skinExtra;
  const uint64_t frames = uint64_t(header.frameCount) + layout.frameExtra;
  const uint64_t entries = uint64_t(header.skinCount) + header.frameCount;
  const uint64_t frameBytes = kNameSize + kBoxSize + sizeof(float) + header.vertexCount * sizeof(VNLTRIVERTEX_T);
  return pictures * (sizeof(VNLPICTURE_T) + sizeof(float) + vnl::ItemCost(PictureBytes(header))) +
         entries * (sizeof(uint32_t) + kBoxSize) + frames * vnl::ItemCost(frameBytes) +
         header.vertexCount * sizeof(VNLSKINVERTEX_T) + header.triangleCount * sizeof(VNLFACE_T);
}

bool AllocateData(VNLMODELDATA_T& m) {
  m.skinEntrySize = Allocate<uint32_t>(m.skinEntryCount);
  m.skins = Allocate<VNLPICTURE_T>(m.skinCount);
  m.skinIntervals = Allocate<float>(m.skinCount);
  m.frameEntrySize = Allocate<uint32_t>(m.frameEntryCount);
  m.frameEntryBox = Allocate<VNLTRIVERTEX_T>(2 * uint64_t(m.frameEntryCount));
  m.frameNames = static_cast<char(*)[kNameSize]>(std::calloc(m.frameCount, kNameSize));
  m.frameBoxes = Allocate<VNLTRIVERTEX_T>(2 * uint64_t(m.frameCount));
  m.frameIntervals = Allocate<float>(m.frameCount);
  m.frameVertices = Allocate<VNLTRIVERTEX_T>(uint64_t(m.frameCount) * m.vertexCount);
  m.skinVertices = Allocate<VNLSKINVERTEX_T>(m.vertexCount);
  m.faces = Allocate<VNLFACE_T>(m.triangleCount);
  return m.skinEntrySize && m.skins && m.skinIntervals && m.frameEntrySize && m.frameEntryBox && m.frameNames &&
         m.frameBoxes && m.frameIntervals && m.frameVertices && m.skinVertices && m.faces;
}

// Group sizes were checked by the sizing pass; `k < skinCount` only guards a
// block that changed under it, which cannot happen, at no cost.
int32_t ReadDataSkins(vnl::BlockReader& reader, const Header& header, VNLMODELDATA_T& m) {
  uint32_t k = 0;
  for (uint32_t e = 0; e < m.skinEntryCount; ++e) {
    uint32_t n = 1;
    if (reader.u32() != 0) {
      n = reader.u32();
      m.skinEntrySize[e] = n;
      for (uint32_t i = 0; i < n && k + i < m.skinCount; ++i) m.skinIntervals[k + i] = reader.f32();
    }
    for (uint32_t i = 0; i < n && k < m.skinCount; ++i, ++k)
      if (!ReadPicture(reader, header, m.skins[k])) return VNL_NO_MEMORY;
  }
  return VNL_OK;
}

int32_t ReadDataGeometry(vnl::BlockReader& reader, VNLMODELDATA_T& m) {
  for (uint32_t i = 0; i < m.vertexCount; ++i) {
    m.skinVertices[i].onSeam = reader.i32();
    m.skinVertices[i].s = reader.i32();
    m.skinVertices[i].t = reader.i32();
  }
  for (uint32_t n = 0; n < m.triangleCount; ++n) {
    VNLFACE_T& face = m.faces[n];
    face.facesFront = reader.i32();
    for (int32_t& i : face.index) {
      i = reader.i32();
      if (uint32_t(i) >= m.vertexCount) return VNL_MDL_BAD_INDEX;
    }
  }
  return VNL_OK;
}

void ReadDataFrame(vnl::BlockReader& reader, VNLMODELDATA_T& m, uint32_t f) {
  reader.read(m.frameBoxes + 2 * uint64_t(f), kBoxSize);
  reader.read(m.frameNames[f], kNameSize);
  reader.read(m.frameVertices + uint64_t(f) * m.vertexCount, uint64_t(m.vertexCount) * sizeof(VNLTRIVERTEX_T));
}

void ReadDataFrames(vnl::BlockReader& reader, VNLMODELDATA_T& m) {
  uint32_t f = 0;
  for (uint32_t e = 0; e < m.frameEntryCount && f < m.frameCount; ++e) {
    VNLTRIVERTEX_T* entryBox = m.frameEntryBox + 2 * uint64_t(e);
    if (reader.u32() == 0) {
      ReadDataFrame(reader, m, f);
      std::memcpy(entryBox, m.frameBoxes + 2 * uint64_t(f), kBoxSize);
      ++f;
      continue;
    }
    const uint32_t n = reader.u32();
    m.frameEntrySize[e] = n;
    reader.read(entryBox, kBoxSize);
    for (uint32_t i = 0; i < n && f + i < m.frameCount; ++i) m.frameIntervals[f + i] = reader.f32();
    for (uint32_t i = 0; i < n && f < m.frameCount; ++i, ++f) ReadDataFrame(reader, m, f);
  }
}

void CopyHeader(const Header& header, VNLMODELDATA_T& m) {
  m.scale = {header.scale[0], header.scale[1], header.scale[2]};
  m.origin = {header.origin[0], header.origin[1], header.origin[2]};
  m.radius = header.radius;
  m.eye = {header.eye[0], header.eye[1], header.eye[2]};
  m.flags = header.flags;
  m.syncType = header.syncType;
  m.size = header.size;
  m.skinWidth = header.skinWidth;
  m.skinHeight = header.skinHeight;
  m.vertexCount = header.vertexCount;
  m.triangleCount = header.triangleCount;
  m.skinEntryCount = header.skinCount;
  m.frameEntryCount = header.frameCount;
}

int32_t FillData(vnl::BlockReader& reader, const Header& header, const Layout& layout, VNLMODELDATA_T& m) {
  CopyHeader(header, m);
  m.skinCount = header.skinCount + layout.skinExtra;
  m.frameCount = header.frameCount + layout.frameExtra;
  if (!AllocateData(m)) return VNL_NO_MEMORY;
  reader.seek(layout.ofsSkins);
  int32_t code = ReadDataSkins(reader, header, m);
  if (code != VNL_OK) return code;
  reader.seek(layout.ofsVertices);
  if ((code = ReadDataGeometry(reader, m)) != VNL_OK) return code;
  reader.seek(layout.ofsFrames);
  ReadDataFrames(reader, m);
  return VNL_OK;
}

int32_t LoadData(const uint8_t* block, uint32_t length, VNLMODELDATA_T* record) {
  if (record == nullptr) return VNL_NO_BLOCK;
  VNLMODELDATA_T& model = *record;
  int32_t code = vnl::BeginLoad(block, length, model, vnlModelDataKill);
  Header header{};
  vnl::BlockReader reader(block, length);
  if (code == VNL_OK) code = ReadHeader(reader, header);
  if (code != VNL_OK) return code;
  if (PictureBytes(header) > VNL_MAX_ALLOCATION) return VNL_NO_MEMORY;
  Layout layout{};
  if ((code = SizeBlocks(reader, header, layout)) != VNL_OK) return code;
  if (!vnl::WithinBudget(DataLoadCost(header, layout), length)) return VNL_NO_MEMORY;
  code = FillData(reader, header, layout, model);
  if (code != VNL_OK) vnlModelDataKill(&model);
  return code;
}

}  // namespace

int32_t vnlModelDataLoad(const uint8_t* block, uint32_t length, VNLMODELDATA_T* model) {
  return LoadData(block, length, model);
}

int32_t vnlModelDataLoadFile(const char* packName, const char* fileName, VNLMODELDATA_T* model) {
  return vnl::LoadRecordFile(packName, fileName, ".mdl", LoadData, model);
}

void vnlModelDataKill(VNLMODELDATA_T* model) {
  if (model == nullptr) return;
  if (model->skins != nullptr)
    for (uint32_t k = 0; k < model->skinCount; ++k) vnlPictureKill(model->skins[k]);
  std::free(model->skinEntrySize);
  std::free(model->skins);
  std::free(model->skinIntervals);
  std::free(model->frameEntrySize);
  std::free(model->frameEntryBox);
  std::free(model->frameNames);
  std::free(model->frameBoxes);
  std::free(model->frameIntervals);
  std::free(model->frameVertices);
  std::free(model->framePositions);
  std::free(model->skinVertices);
  std::free(model->faces);
  *model = VNLMODELDATA_T{};
}
