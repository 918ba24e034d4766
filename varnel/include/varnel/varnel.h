// varnel: readers for Quake asset files.
//
// A C interface, usable from C99 and C++ alike (and from anything that can call
// C, such as Python's ctypes). Every loader fills a caller-owned record and
// returns a result code (0 on success). Records must be zeroed before their
// first use (`VNLMODEL_T m = {0};`); a load empties the record first, and only
// the matching kill function frees what a record points to. Memory handed to
// the caller (the block of vnlPackFileLoad, the buffer of vnlPictureToRGB)
// comes from calloc and is released with free. Nothing throws across this
// interface.
//
// A model from a pack, its counts, and the record freed again:
//
//   VNLMODEL_T model = {0};
//   int32_t code = vnlModelLoadFile("id1/pak0.pak", "progs/player.mdl", &model);
//   if (code == VNL_OK)
//     printf("%u vertices, %u triangles, %u frames\n", model.vertexCount,
//            model.triangleCount, model.frameCount + model.frameExtra);
//   else {
//     char message[64];
//     vnlErrorString(code, message, sizeof message);
//     printf("cannot load: %s\n", message);
//   }
//   vnlModelKill(&model);
//
// The library keeps no state but a table of 255 file handles, taken and given
// back within each call: any thread may call any function on records of its
// own, and two threads may read the same pack at once. A record must not be
// changed by one thread while another reads it.
//
// Most loaders come in two forms:
//   memory form  vnlXLoad(block, length, &record)            reads a block the caller owns;
//   file form    vnlXLoadFile(packName, fileName, &record)   reads a file from the disk when
//                packName is empty or null, else the member fileName of that pack.
// File forms clean both names (see vnlCleanPath) and give fileName the loader's
// extension when it lacks a fitting one (".pak" for packName). Cleaned names use
// "\" as separator; it becomes "/" only where a file is opened. Besides its own
// codes, a file form gives those of reading the file: 2, 3, 4, 5 (also for a
// pack member of length 0), 6 and 8; from a pack also 10 and 11.
//
// Names come out through a caller's buffer of `capacity` bytes: the function
// returns the length the whole text needs (without its terminating zero) and
// writes as much of it as fits, always terminated when capacity is not 0, as
// snprintf does. A null buffer with capacity 0 asks for the length alone.
//
// In C++ the header adds the older forms as inline functions over these:
// records by reference, names as std::string (rewritten in place as the
// loaders clean them). Only the C functions are exported, so a program built
// with any C++ standard library, or none, links to the same binary.
#ifndef VARNEL_VARNEL_H
#define VARNEL_VARNEL_H

#include <stddef.h>
#include <stdint.h>

#if defined(VARNEL_BUILDING)
#define VNLAPI __attribute__((visibility("default")))
#else
#define VNLAPI
#endif

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------------------
// Result codes (vnlErrorString gives the message of those that have one)
// ---------------------------------------------------------------------------
enum {
  VNL_OK = 0,
  VNL_NO_BLOCK = 1,             // "no memory pointer provided"
  VNL_NO_HANDLE = 2,            // "no file handle available"
  VNL_NO_NAME = 3,              // "no file name specified"
  VNL_NOT_FOUND = 4,            // "file no found" (also: pack member block not allocated)
  VNL_EMPTY_FILE = 5,           // "file is empty"
  VNL_IO_ERROR = 6,             // "general i/o error"
  VNL_UNSUPPORTED = 7,          // "file type unsupported"
  VNL_NO_MEMORY = 8,            // "not enough memory": an allocation failed, or a
                                // load would pass its budget (see VNL_MAX_ALLOCATION)
  VNL_NOT_PAK = 10,             // "file is not a Quake PAK"
  VNL_PAK_CORRUPT = 11,         // "Quake PAK corrupted"
  VNL_NOT_WAD2 = 12,            // "file is not a Quake WAD2"
  VNL_WAD2_CORRUPT = 13,        // "Quake WAD2 corrupted"
  VNL_PAK_NAME = 14,            // "member name unfit for a pack" (saving)
  VNL_PAK_REPEAT = 15,          // "member name repeated, case aside" (saving)
  VNL_WAD2_NAME = 16,           // "lump name unfit for a WAD2" (saving)
  VNL_WAD2_REPEAT = 17,         // "lump name repeated, case aside" (saving)
  VNL_NOT_MDL = 20,             // "file is not a Quake MDL"
  VNL_MDL_VERSION = 21,         // "model version unsupported"
  VNL_MDL_NO_SKIN = 22,         // "no skin found"
  VNL_MDL_SKIN_WIDTH = 23,      // "skin size invalid"
  VNL_MDL_SKIN_HEIGHT = 24,     // "skin size invalid"
  VNL_MDL_NO_VERTEX = 25,       // "no vertex found"
  VNL_MDL_NO_FACE = 26,         // "no face found"
  VNL_MDL_NO_FRAME = 27,        // "no frame found"
  VNL_MDL_BAD_INDEX = 28,       // "face uses a vertex that does not exist"
  VNL_NOT_PALETTE = 30,         // "file is not a Quake PALETTE"
  VNL_NOT_COLORMAP = 31,        // "file is not a Quake COLORMAP"
  VNL_NOT_PICTURE = 32,         // "file is not a Quake PICTURE"
  VNL_NO_PALETTE = 33,          // "tried to load the colormap before the palette"
  VNL_COLORMAP_LOADED = 34,     // "colormap already loaded for this palette"
  VNL_PICTURE_SIZE = 35,        // "picture size unfit for the format" (saving; mip textures)
  VNL_MAP_SCOPE_HIGH = 40,      // "scope too high (higher than 2)"
  VNL_MAP_SCOPE_LOW = 41,       // "scope too low (lower than 0)"
  VNL_MAP_ROOT_STATEMENT = 42,  // "statements found on the root scope"
  VNL_MAP_BAD_ENTITY = 43,      // "corrupted entity definition"
  VNL_NOT_SPRITE = 50,          // "file is not a Quake SPRITE"
  VNL_SPR_VERSION = 51,         // "sprite version unsupported"
  VNL_SPR_NO_WIDTH = 52,        // "sprite width invalid"
  VNL_SPR_NO_HEIGHT = 53,       // "sprite height invalid"
  VNL_SPR_NO_FRAME = 54,        // "no frame found"
  VNL_SPR_BAD_INTERVAL = 55,    // "group intervals not rising from above 0" (saving)
  VNL_MDL_COUNT = 60,           // "count too large for the model format" (saving)
  VNL_MDL_LONG_NAME = 61,       // "frame name longer than 15 bytes" (saving)
  VNL_MDL_BAD_INTERVAL = 62,    // "interval of 0 or less" (saving)
  VNL_MDL_OFF_LATTICE = 63,     // "position outside the model lattice" (saving)
};

// The budget of one load: all the arrays of one record together may take at most
// VNL_MAX_ALLOCATION and at most eight times the length of the block (or pack
// file) read plus 16 MiB; every picture and every frame counts as at least 4 KiB,
// about what it costs as an image file. A complete file needs at most about six
// times its length, so only headers claiming far more than the block holds are
// refused (with 8), while a file that merely ends early still loads, its missing
// bytes reading as zeros.
#define VNL_MAX_ALLOCATION (UINT64_C(1) << 30)

// Type codes written by vnlWhatIs.
enum {
  VNL_TYPE_UNKNOWN = 0,
  VNL_TYPE_PAK = 1,
  VNL_TYPE_WAD2 = 2,
  VNL_TYPE_MDL = 4,
  VNL_TYPE_SPR = 8,
  VNL_TYPE_RIFF = 9,
  VNL_TYPE_PICTURE = 10,
  VNL_TYPE_PALETTE = 11,
  VNL_TYPE_COLORMAP = 12,
  VNL_TYPE_4000 = 13,
};

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

// 256 colours packed 0xFFRRGGBB, with an optional colormap attached.
typedef struct VNLPALETTE_T {
  uint8_t brightCount;     // the colormap's trailing byte; 0 without colormap
  uint32_t shadingLevels;  // colormap rows; 0 without colormap
  uint8_t* colorMap;       // shadingLevels x 256 indices, or null
  uint32_t* colors;        // 256 colours, or null in an empty palette
} VNLPALETTE_T;

// An image of palette indices: lumps, model skins and sprite frames.
typedef struct VNLPICTURE_T {
  uint32_t width;
  uint32_t height;
  uint8_t* pixels;  // width x height indices, first stored row first; or null
} VNLPICTURE_T;

// One entry of a pack directory.
typedef struct VNLPACKENTRY_T {
  char name[64];    // cleaned member name up to its first zero byte ("\" separators)
  uint32_t offset;  // where the member's bytes start in the pack
  uint32_t length;  // the member's length in bytes
  uint8_t usable;   // 1 when the bytes (none for length 0) lie inside the file past the
                    // header; others are never loaded
} VNLPACKENTRY_T;

// A pack archive's directory.
typedef struct VNLPACKINFO_T {
  char magic[5];  // "PACK" and a zero byte
  uint32_t dirOffset;
  uint32_t dirLength;
  uint32_t entryCount;  // dirLength / 64
  VNLPACKENTRY_T* entries;
} VNLPACKINFO_T;

// A position, or a skin coordinate (u, v, 0).
typedef struct VNLVEC3_T {
  float x;
  float y;
  float z;
} VNLVEC3_T;

// Three vertex indices, in drawing order; each addresses skinCoords and one
// frame's run of frameVertices.
typedef struct VNLTRIANGLE_T {
  uint16_t index[3];
} VNLTRIANGLE_T;

// An alias model with skin and frame groups flattened and vertices decoded.
// Per frame there are vertexCount + seamCount positions: the file's vertices,
// then a copy of every on-seam vertex (whose skin coordinate is u + 0.5).
typedef struct VNLMODEL_T {
  uint32_t ofsSkins;  // 84, the header's length
  uint32_t ofsTriangles;
  uint32_t ofsVertices;
  uint32_t ofsFrames;
  uint32_t fileSize;  // length of the block the model was loaded from
  uint32_t flags;
  uint32_t syncType;
  uint16_t skinCount;      // the header's skin entries (a group counts once)
  uint16_t skinExtra;      // pictures added by skin groups
  VNLPICTURE_T* skins;     // skinCount + skinExtra pictures
  uint16_t frameCount;     // the header's frame entries (a group counts once)
  uint16_t frameExtra;     // frames added by frame groups
  char (*frameNames)[16];  // one 16-byte name per flattened frame, not always terminated
  uint8_t* frameGroup;     // group size at a group's first frame, else 0
  uint16_t vertexCount;
  uint16_t triangleCount;
  VNLTRIANGLE_T* triangles;
  uint32_t* seamIndex;       // index of vertex i's on-seam copy, or 0
  VNLVEC3_T* skinCoords;     // vertexCount + seamCount coordinates
  VNLVEC3_T* frameVertices;  // (frameCount + frameExtra) x (vertexCount + seamCount)
  uint32_t seamCount;
} VNLMODEL_T;

// One stored vertex of a frame: a position on the model's lattice (position =
// origin + scale x v) and an index into the table of 162 normals (vnlNormal).
typedef struct VNLTRIVERTEX_T {
  uint8_t v[3];
  uint8_t normal;
} VNLTRIVERTEX_T;

// One skin vertex as stored: on-seam flag (0, or the engine's 0x20) and texel s, t.
typedef struct VNLSKINVERTEX_T {
  int32_t onSeam;
  int32_t s;
  int32_t t;
} VNLSKINVERTEX_T;

// One triangle as stored: front flag (1 front, 0 back) and three vertex indices,
// in the file's order (the model record reverses it; this one does not).
typedef struct VNLFACE_T {
  int32_t facesFront;
  int32_t index[3];
} VNLFACE_T;

// An alias model as stored, nothing dropped: every header value, every skin and
// frame entry with its group, the stored lattice positions, normal indices and
// boxes. Skins and frames are flattened in file order as in VNLMODEL_T; the
// entry arrays say how the file groups them. No inversion, no seam copies.
// vnlModelSave also takes a record built by hand: see there.
typedef struct VNLMODELDATA_T {
  VNLVEC3_T scale;
  VNLVEC3_T origin;
  float radius;   // bounding radius
  VNLVEC3_T eye;  // eye position
  uint32_t flags;
  uint32_t syncType;
  float size;  // average size, as stored
  uint32_t skinWidth;
  uint32_t skinHeight;
  uint32_t vertexCount;
  uint32_t triangleCount;
  uint32_t skinEntryCount;        // the header's skin entries
  uint32_t* skinEntrySize;        // per entry: 0 for a single skin, else its group's picture count
  uint32_t skinCount;             // pictures, all entries flattened
  VNLPICTURE_T* skins;            // skinCount pictures of skinWidth x skinHeight
  float* skinIntervals;           // per picture: its stored interval, 0 for a single skin
  uint32_t frameEntryCount;       // the header's frame entries
  uint32_t* frameEntrySize;       // per entry: 0 for a single frame, else its group's frame count
  VNLTRIVERTEX_T* frameEntryBox;  // per entry: min then max; a group's own box, a single frame's box
  uint32_t frameCount;            // frames, all entries flattened
  char (*frameNames)[16];         // as stored, bytes after the first zero kept
  VNLTRIVERTEX_T* frameBoxes;     // per frame: min then max
  float* frameIntervals;          // per frame: its stored interval, 0 for a single frame
  VNLTRIVERTEX_T* frameVertices;  // frameCount x vertexCount stored vertices
  VNLVEC3_T* framePositions;      // null after a load; for vnlModelSave, frameCount x vertexCount
                                  // positions in the game's axes to be put on the lattice
  VNLSKINVERTEX_T* skinVertices;  // vertexCount
  VNLFACE_T* faces;               // triangleCount
} VNLMODELDATA_T;

// A sprite with frame groups flattened; arrays hold sheetCount + frameExtra entries.
typedef struct VNLSPRITE_T {
  uint8_t spriteType;
  uint8_t syncType;
  uint32_t sheetCount;  // the header's frame entries (a group counts once)
  uint32_t frameExtra;  // frames added by groups
  int32_t* originX;
  int32_t* originY;
  float* rate;  // a grouped frame's interval, 0 for a single frame
  VNLPICTURE_T* frames;
} VNLSPRITE_T;

// One lump of a WAD2 directory.
typedef struct VNLWADENTRY_T {
  char name[18];  // up to 16 characters, zero-terminated
  uint32_t offset;
  uint32_t diskLength;
  uint32_t length;
  uint8_t type;
  uint8_t compression;
} VNLWADENTRY_T;

// A WAD2 archive's directory.
typedef struct VNLWADINFO_T {
  char magic[4];  // "WAD2" after a successful read (not terminated)
  uint32_t dirOffset;
  uint32_t dirLength;  // 32 x entryCount
  uint32_t entryCount;
  VNLWADENTRY_T* entries;
} VNLWADINFO_T;

// One member of an archive to be written: a pack member, or a WAD2 lump.
typedef struct VNLMEMBER_T {
  const char* name;     // a pack member's path ("/" or "\" separators), or a lump's name
  const uint8_t* data;  // `length` bytes (may be null when length is 0)
  uint32_t length;
  uint8_t type;  // a WAD2 lump's type: VNL_LUMP_PICTURE, VNL_LUMP_MIPTEX, ...; unused in packs
} VNLMEMBER_T;

// WAD2 lump types.
enum {
  VNL_LUMP_PALETTE = 0x40,  // '@'
  VNL_LUMP_PICTURE = 0x42,  // 'B': a picture lump as vnlPictureLoad reads it
  VNL_LUMP_MIPTEX = 0x44,   // 'D': a mip texture (the console font is a bare 128 x 128 picture of this type)
};

// A wall texture with its three smaller levels, as WAD2 archives store it.
typedef struct VNLMIPTEX_T {
  char name[16];           // at most 15 bytes, zero-terminated
  VNLPICTURE_T levels[4];  // full size (sides multiples of 16), then 1/2, 1/4, 1/8
} VNLMIPTEX_T;

// ---------------------------------------------------------------------------
// Frame: messages, names, detection
// ---------------------------------------------------------------------------

// Writes the message of `code` (see the buffer rule above); "" and 0 for codes without one.
VNLAPI size_t vnlErrorString(int32_t code, char* text, size_t capacity);
// Normalises a path: "\" separators, no "." or empty parts, ".." resolved, blanks
// trimmed around parts; a leading separator (an absolute path) is kept. fileFlag 0
// ends a non-empty folder path with "\". `path` may be `out`.
VNLAPI size_t vnlCleanPath(const char* path, int32_t fileFlag, char* out, size_t capacity);
// Cleans `path` and appends the first of `extensions` (".ase .obj", trimmed and
// lower-cased) unless its own extension occurs in them. `path` may be `out`.
VNLAPI size_t vnlForceType(const char* path, const char* extensions, char* out, size_t capacity);
// Tells a block's format from its content: 0 with a VNL_TYPE_*, or 7 with type 0.
// A null block is not an error: its length alone decides. Codes: 0, 7; 1 for a null `type`.
VNLAPI int32_t vnlWhatIs(const uint8_t* block, uint32_t length, int32_t* type);
VNLAPI int32_t vnlWhatIsFile(const char* packName, const char* fileName, int32_t* type);

// ---------------------------------------------------------------------------
// Pack archives
// ---------------------------------------------------------------------------

// Reads the directory of a pack (".pak" is forced on the name). Codes: 2, 3, 4,
// 5, 6, 10, 11; 8 for an entry array beyond the load budget or not to be had.
VNLAPI int32_t vnlPackInfoRead(const char* packName, VNLPACKINFO_T* info);
// Frees the directory; the magic text stays.
VNLAPI void vnlPackInfoKill(VNLPACKINFO_T* info);
// Frees the old *block, then reads a disk file (empty packName) or a pack member
// into a new calloc block that the caller frees. On failure *block is null, *length 0.
// Member names are relative to the pack: a leading separator is dropped, from the
// entries' names and from `fileName`. A member of length 0 gives 0, length 0 and a
// block of one zero byte; the file forms of the loaders give 5 for it, as for an
// empty disk file. Codes: those of vnlPackInfoRead, and 4 for a name not in the pack.
VNLAPI int32_t vnlPackFileLoad(const char* packName, const char* fileName, uint8_t** block, uint32_t* length);
// Frees the old *block, then reads the member of `entry`, an entry of the directory
// read earlier from the same pack (".pak" is forced), into a new calloc block that
// the caller frees: a batch loads each member without reading the directory again.
// A null or unusable entry gives 4, an empty name 3, a failed read 2 or 6; on
// failure *block is null, *length 0.
VNLAPI int32_t vnlPackEntryLoad(const char* packName, const VNLPACKENTRY_T* entry, uint8_t** block, uint32_t* length);
// Writes a pack of `count` members, in the given order, into a new calloc block that
// the caller frees; the directory goes last. A name must be relative and plain (no
// empty, "." or ".." level, no ':' or control byte, no blank around a level), at
// most 55 bytes; it is stored with "/" separators. An unfit name gives 14, one that
// repeats an earlier one (A-Z matching a-z) 15, a pack past 4 GiB 8. On failure
// *block is null and *length 0.
VNLAPI int32_t vnlPackSave(const VNLMEMBER_T* members, uint32_t count, uint8_t** block, uint32_t* length);

// ---------------------------------------------------------------------------
// Palettes, colormaps, pictures
// ---------------------------------------------------------------------------

// Loads a 768-byte palette (drops any attached colormap). Codes: 1, 30; 8 leaves
// it empty. Colormaps and pictures keep to the load budget (see VNL_MAX_ALLOCATION).
VNLAPI int32_t vnlPaletteLoad(const uint8_t* block, uint32_t length, VNLPALETTE_T* palette);
VNLAPI int32_t vnlPaletteLoadFile(const char* packName, const char* fileName, VNLPALETTE_T* palette);
// Attaches a colormap (256 x k + 1 bytes) to a loaded palette. Codes: 1, 31, 33,
// 34; 8 leaves it without one.
VNLAPI int32_t vnlColorMapLoad(const uint8_t* block, uint32_t length, VNLPALETTE_T* palette);
VNLAPI int32_t vnlColorMapLoadFile(const char* packName, const char* fileName, VNLPALETTE_T* palette);
// Frees the colours and the colormap.
VNLAPI void vnlPaletteKill(VNLPALETTE_T* palette);
// Loads a picture lump (width, height, indices). Codes: 1, 32; 8 leaves the picture empty.
VNLAPI int32_t vnlPictureLoad(const uint8_t* block, uint32_t length, VNLPICTURE_T* picture);
VNLAPI int32_t vnlPictureLoadFile(const char* packName, const char* fileName, VNLPICTURE_T* picture);
// Frees the pixels.
VNLAPI void vnlPictureKill(VNLPICTURE_T* picture);
// Writes a picture lump (width, height, indices) into a new calloc block that the
// caller frees; a side of 0 gives 35, no pixels 1.
VNLAPI int32_t vnlPictureSave(const VNLPICTURE_T* picture, uint8_t** block, uint32_t* length);
// Returns width x height colours (free them), or null (also when they would pass
// VNL_MAX_ALLOCATION). A level below 0 uses the plain palette; 0 or more uses that
// colormap row, clamped, and *level becomes row x 256. A colormap of 0 rows falls
// back to the plain palette and leaves *level alone. A null level reads as -1.
VNLAPI uint32_t* vnlPictureToRGB(const VNLPICTURE_T* picture, const VNLPALETTE_T* palette, int32_t* level);

// Maps `count` colours (0xAARRGGBB) to palette indices: a colour equal to an entry
// takes the lowest such index; any other the nearest (squared RGB distance) of the
// entries 0 to 223, the lowest on a tie, so fullbright colours come only from exact
// matches. With `transparent` in 0..255 a colour of alpha below 128 maps to it.
// Returns 0, or 1 without colours, indices or palette.
VNLAPI int32_t vnlPaletteMap(const VNLPALETTE_T* palette, const uint32_t* colors, uint32_t count, int32_t transparent,
                             uint8_t* indices);

// ---------------------------------------------------------------------------
// Alias models
// ---------------------------------------------------------------------------

// Loads an "IDPO" version 6 model; the result has v inverted and triangles reversed.
// Codes: 1, 20 (no "IDPO"), 21 (not version 6), 22 to 28, 8.
// Header checks run in file order and the first failure decides: a count of 0, or
// one that does not fit 16 bits (negative ones included), gives that count's code
// (22, 25, 26, 27; 23 and 24 for the skin's width and height); so does a skin or
// frame group of 0 or fewer entries, or groups whose extra entries add up past
// 65535, or a frame group of more than 255 frames (frameGroup holds 8 bits). A face
// using a vertex at or beyond vertexCount, or whose back side would need an
// on-seam copy past index 65535, gives 28. A load beyond its budget (see
// VNL_MAX_ALLOCATION), or a failed allocation, gives 8. Codes 8 and 20 to 28
// leave the record empty, 1 leaves it alone. A block that ends early loads, the
// missing bytes reading as zeros.
VNLAPI int32_t vnlModelLoad(const uint8_t* block, uint32_t length, VNLMODEL_T* model);
VNLAPI int32_t vnlModelLoadFile(const char* packName, const char* fileName, VNLMODEL_T* model);
// Frees every array and clears the counts (fileSize, flags, syncType stay).
VNLAPI void vnlModelKill(VNLMODEL_T* model);
// Index of the first frame whose name matches, spaces at either end aside and A-Z
// matching a-z (every other byte as it is, whatever the locale), else 0.
VNLAPI int32_t vnlFrameNumber(const VNLMODEL_T* model, const char* frameName);
// Index in frameVertices of the named frame's first vertex.
VNLAPI uint32_t vnlFrameOffset(const VNLMODEL_T* model, const char* frameName);
// Multiplies every position by `factor` (nothing for 0, 1 or nan).
VNLAPI void vnlModelScale(VNLMODEL_T* model, float factor);
// v becomes |v - 1|.
VNLAPI void vnlModelSkinInv(VNLMODEL_T* model);
// Folds the skin's back half onto the front half: u > 0.5 loses 0.5, then doubles.
VNLAPI void vnlModelSkinNoBack(VNLMODEL_T* model);
// Exchanges every triangle's first and third index.
VNLAPI void vnlModelSwapTris(VNLMODEL_T* model);

// The model as stored (see VNLMODELDATA_T), with vnlModelLoad's codes and budget.
// The file form reads a disk file (empty or null packName) or a pack member.
// Codes other than 0 and 1 leave the record empty.
VNLAPI int32_t vnlModelDataLoad(const uint8_t* block, uint32_t length, VNLMODELDATA_T* model);
VNLAPI int32_t vnlModelDataLoadFile(const char* packName, const char* fileName, VNLMODELDATA_T* model);
// Frees every array of the record and zeroes it.
VNLAPI void vnlModelDataKill(VNLMODELDATA_T* model);
// Writes the game's normal number `index` (0..161) into `normal`; 0 for a valid
// index, else VNL_MDL_BAD_INDEX and `normal` untouched.
VNLAPI int32_t vnlNormal(uint32_t index, VNLVEC3_T* normal);
// The index of the table normal nearest to the direction (x, y, z), the lowest on a tie.
VNLAPI uint32_t vnlNearestNormal(float x, float y, float z);
// Writes `model` as an "IDPO" version 6 file into a new calloc block that the caller
// frees. With framePositions the lattice is fitted over all frames (unless scale is
// non-zero: then the record's scale and origin are kept) and positions are rounded
// to it; frameVertices, when present, gives the normal indices, else they are made
// from the faces. Boxes, radius and size are computed unless present. Codes: 1 (a
// null argument), 22 to 28 (a missing or mismatched part), 60 to 63, 8.
VNLAPI int32_t vnlModelSave(const VNLMODELDATA_T* model, uint8_t** block, uint32_t* length);

// ---------------------------------------------------------------------------
// Sprites
// ---------------------------------------------------------------------------

// Loads an "IDSP" version 1 sprite. Codes: 1, 50 to 54, 8. A frame group whose
// count is 0 or negative (as a signed number) gives 54. A load beyond its budget
// (see VNL_MAX_ALLOCATION; frames past the block's end count 4 KiB each), or a
// failed allocation, gives 8. Codes 8 and 50 to 54 leave the record empty, 1
// leaves it alone. A block that ends early loads, the missing bytes reading as zeros.
VNLAPI int32_t vnlSpriteLoad(const uint8_t* block, uint32_t length, VNLSPRITE_T* sprite);
VNLAPI int32_t vnlSpriteLoadFile(const char* packName, const char* fileName, VNLSPRITE_T* sprite);
// Frees the frames and their arrays.
VNLAPI void vnlSpriteKill(VNLSPRITE_T* sprite);
// Writes `sprite` as an "IDSP" version 1 file into a new calloc block that the
// caller frees. `entrySize` gives, per header entry (sheetCount of them), 0 for a
// single frame or the frame count of a group; null makes every frame its own entry.
// A group's frames take their `rate` as stored: cumulative times, rising from above 0
// (else 55). The header's sizes are the largest frame's, its radius that frame's
// half diagonal. No frame, or entries that do not cover the frames, give 54; a
// frame side of 0 gives 52 or 53.
VNLAPI int32_t vnlSpriteSave(const VNLSPRITE_T* sprite, const uint32_t* entrySize, uint8_t** block, uint32_t* length);

// ---------------------------------------------------------------------------
// Map entity text
// ---------------------------------------------------------------------------

// Checks the brace structure, printing every entity key/value pair (control bytes
// shown as '?') and the line, entity and brush counts to stdout. Lines end at LF
// or CR LF. Codes: 0, 40 to 43.
VNLAPI int32_t vnlMapLoad(const uint8_t* block, uint32_t length);
VNLAPI int32_t vnlMapLoadFile(const char* packName, const char* fileName);

// ---------------------------------------------------------------------------
// WAD2 directories
// ---------------------------------------------------------------------------

// Reads a WAD2 directory. Codes: 12, 13; 8 when the entry array passes the load
// budget or cannot be had; 1 for a null record. On failure the record is untouched.
VNLAPI int32_t VNLWADGETINFO(const uint8_t* block, uint32_t length, VNLWADINFO_T* wad);
// Frees the directory and empties the record.
VNLAPI void VNLWADKILL(VNLWADINFO_T* wad);
// Copies the first lump named `name` (A-Z matching a-z) of the WAD2 in `block` into
// a new calloc block that the caller frees, and gives its type. 4 when there is no
// such lump, 13 when its bytes lie outside the block, else the directory's codes.
VNLAPI int32_t vnlWadLumpLoad(const uint8_t* block, uint32_t length, const char* name, uint8_t** lump,
                              uint32_t* lumpLength, uint8_t* type);
// Writes a WAD2 of `count` lumps, in the given order, into a new calloc block that the
// caller frees. Names are 1 to 15 bytes without control bytes (else 16) and do not
// repeat, case aside (else 17). On failure *block is null and *length 0.
VNLAPI int32_t vnlWadSave(const VNLMEMBER_T* lumps, uint32_t count, uint8_t** block, uint32_t* length);
// Loads a mip texture lump: its name and its four levels. A header whose sizes are
// not positive multiples of 16, or levels outside the block, give 35; the budget 8.
VNLAPI int32_t vnlMipTexLoad(const uint8_t* block, uint32_t length, VNLMIPTEX_T* texture);
// Frees the levels and empties the record.
VNLAPI void vnlMipTexKill(VNLMIPTEX_T* texture);
// Writes a mip texture lump into a new calloc block that the caller frees. Level 0
// and the name are required (35 for sides that are not positive multiples of 16, 16
// for a name of 0 or more than 15 bytes). A smaller level that is absent (no
// pixels) is made from the level above: each 2 x 2 block averaged through
// `palette` and mapped back with vnlPaletteMap; in a texture whose name starts with
// '{', index 255 is see-through and wins a block where it holds half the pixels or
// more. Missing levels without a palette give 1.
VNLAPI int32_t vnlMipTexSave(const VNLMIPTEX_T* texture, const VNLPALETTE_T* palette, uint8_t** block,
                             uint32_t* length);

#ifdef __cplusplus
}  // extern "C"

// ---------------------------------------------------------------------------
// C++: the same functions with records by reference and names as strings. They
// are inline, over the C functions above, and never exported.
// ---------------------------------------------------------------------------

#include <cctype>
#include <string>

namespace varnel_cxx {

// The text a C function writes through a caller's buffer, as a string.
template <class Write>
std::string BufferText(Write write) {
  std::string text(write(nullptr, 0) + 1, '\0');
  text.resize(write(&text[0], text.size()));
  return text;
}

// Blanks trimmed, lower-cased as the library lower-cases extensions.
inline std::string TrimmedLower(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  std::string result = text.substr(first, text.find_last_not_of(' ') - first + 1);
  for (char& c : result) {
    const unsigned char byte = static_cast<unsigned char>(c);
    c = char(byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : std::tolower(byte));
  }
  return result;
}

void RewriteFileNames(std::string& packName, std::string& fileName, const char* extension);

}  // namespace varnel_cxx

inline void vnlErrorString(const int32_t& code, std::string& text) {
  std::string message = varnel_cxx::BufferText([&](char* out, size_t n) { return vnlErrorString(code, out, n); });
  if (!message.empty()) text = message;
}
inline void vnlCleanPath(std::string& path, const int32_t& fileFlag) {
  path = varnel_cxx::BufferText([&](char* out, size_t n) { return vnlCleanPath(path.c_str(), fileFlag, out, n); });
}
inline void vnlForceType(std::string& path, std::string& extensions) {
  path = varnel_cxx::BufferText(
      [&](char* out, size_t n) { return vnlForceType(path.c_str(), extensions.c_str(), out, n); });
  extensions = varnel_cxx::TrimmedLower(extensions);
}

// The names as a file form reads them: the file name cleaned and given the
// extension, then (unless it came out empty) the pack name given ".pak", and a
// member name relative to its pack.
inline void varnel_cxx::RewriteFileNames(std::string& packName, std::string& fileName, const char* extension) {
  std::string extensions = extension;
  vnlForceType(fileName, extensions);
  if (fileName.empty()) return;
  std::string pak = ".pak";
  vnlForceType(packName, pak);
  if (!packName.empty() && fileName[0] == '\\') fileName.erase(0, 1);
}

inline int32_t vnlWhatIs(uint8_t* const& block, const uint32_t& length, int32_t& type) {
  return vnlWhatIs(block, length, &type);
}
inline int32_t vnlWhatIs(std::string& packName, std::string& fileName, int32_t& type) {
  varnel_cxx::RewriteFileNames(packName, fileName, "");
  return vnlWhatIsFile(packName.c_str(), fileName.c_str(), &type);
}

inline int32_t vnlPackInfoRead(std::string& packName, VNLPACKINFO_T& info) {
  const int32_t code = vnlPackInfoRead(packName.c_str(), &info);
  std::string pak = ".pak";
  if (code != VNL_NO_HANDLE) vnlForceType(packName, pak);  // the name is cleaned once a handle is had
  return code;
}
inline void vnlPackInfoKill(VNLPACKINFO_T& info) { vnlPackInfoKill(&info); }
inline int32_t vnlPackFileLoad(std::string& packName, std::string& fileName, uint8_t*& block, uint32_t& length) {
  vnlCleanPath(fileName, 1);
  std::string pak = ".pak";
  vnlForceType(packName, pak);
  if (!packName.empty() && !fileName.empty() && fileName[0] == '\\') fileName.erase(0, 1);
  return vnlPackFileLoad(packName.c_str(), fileName.c_str(), &block, &length);
}

inline int32_t vnlPaletteLoad(uint8_t* const& block, const uint32_t& length, VNLPALETTE_T& palette) {
  return vnlPaletteLoad(block, length, &palette);
}
inline int32_t vnlPaletteLoad(std::string& packName, std::string& fileName, VNLPALETTE_T& palette) {
  varnel_cxx::RewriteFileNames(packName, fileName, ".lmp");
  return vnlPaletteLoadFile(packName.c_str(), fileName.c_str(), &palette);
}
inline int32_t vnlColorMapLoad(uint8_t* const& block, const uint32_t& length, VNLPALETTE_T& palette) {
  return vnlColorMapLoad(block, length, &palette);
}
inline int32_t vnlColorMapLoad(std::string& packName, std::string& fileName, VNLPALETTE_T& palette) {
  varnel_cxx::RewriteFileNames(packName, fileName, ".lmp");
  return vnlColorMapLoadFile(packName.c_str(), fileName.c_str(), &palette);
}
inline void vnlPaletteKill(VNLPALETTE_T& palette) { vnlPaletteKill(&palette); }
inline int32_t vnlPictureLoad(uint8_t* const& block, const uint32_t& length, VNLPICTURE_T& picture) {
  return vnlPictureLoad(block, length, &picture);
}
inline int32_t vnlPictureLoad(std::string& packName, std::string& fileName, VNLPICTURE_T& picture) {
  varnel_cxx::RewriteFileNames(packName, fileName, ".lmp");
  return vnlPictureLoadFile(packName.c_str(), fileName.c_str(), &picture);
}
inline void vnlPictureKill(VNLPICTURE_T& picture) { vnlPictureKill(&picture); }
inline uint32_t* vnlPictureToRGB(const VNLPICTURE_T& picture, const VNLPALETTE_T& palette, int32_t& level) {
  return vnlPictureToRGB(&picture, &palette, &level);
}

inline int32_t vnlModelLoad(uint8_t* const& block, const uint32_t& length, VNLMODEL_T& model) {
  return vnlModelLoad(block, length, &model);
}
inline int32_t vnlModelLoad(std::string& packName, std::string& fileName, VNLMODEL_T& model) {
  varnel_cxx::RewriteFileNames(packName, fileName, ".mdl");
  return vnlModelLoadFile(packName.c_str(), fileName.c_str(), &model);
}
inline void vnlModelKill(VNLMODEL_T& model) { vnlModelKill(&model); }
inline int32_t vnlFrameNumber(const VNLMODEL_T& model, const std::string& frameName) {
  return vnlFrameNumber(&model, frameName.c_str());
}
inline uint32_t vnlFrameOffset(const VNLMODEL_T& model, const std::string& frameName) {
  return vnlFrameOffset(&model, frameName.c_str());
}
inline void vnlModelScale(VNLMODEL_T& model, const float& factor) { vnlModelScale(&model, factor); }
inline void vnlModelSkinInv(VNLMODEL_T& model) { vnlModelSkinInv(&model); }
inline void vnlModelSkinNoBack(VNLMODEL_T& model) { vnlModelSkinNoBack(&model); }
inline void vnlModelSwapTris(VNLMODEL_T& model) { vnlModelSwapTris(&model); }

inline int32_t vnlSpriteLoad(uint8_t* const& block, const uint32_t& length, VNLSPRITE_T& sprite) {
  return vnlSpriteLoad(block, length, &sprite);
}
inline int32_t vnlSpriteLoad(std::string& packName, std::string& fileName, VNLSPRITE_T& sprite) {
  varnel_cxx::RewriteFileNames(packName, fileName, ".spr");
  return vnlSpriteLoadFile(packName.c_str(), fileName.c_str(), &sprite);
}
inline void vnlSpriteKill(VNLSPRITE_T& sprite) { vnlSpriteKill(&sprite); }

inline int32_t vnlMapLoad(uint8_t* const& block, const uint32_t& length) {
  return vnlMapLoad(static_cast<const uint8_t*>(block), static_cast<uint32_t>(length));
}
inline int32_t vnlMapLoad(std::string& packName, std::string& fileName) {
  varnel_cxx::RewriteFileNames(packName, fileName, ".map");
  return vnlMapLoadFile(packName.c_str(), fileName.c_str());
}

inline int32_t VNLWADGETINFO(uint8_t* const& block, const uint32_t& length, VNLWADINFO_T& wad) {
  return VNLWADGETINFO(block, length, &wad);
}
inline void VNLWADKILL(VNLWADINFO_T& wad) { VNLWADKILL(&wad); }

#endif  // __cplusplus

#endif  // VARNEL_VARNEL_H
