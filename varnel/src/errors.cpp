// The fixed message of every result code that has one.
#include "text.h"
#include "varnel/varnel.h"

namespace {

struct Message {
  int32_t code;
  const char* text;
};

constexpr Message kMessages[] = {
    {VNL_NO_BLOCK, "no memory pointer provided"},
    {VNL_NO_HANDLE, "no file handle available"},
    {VNL_NO_NAME, "no file name specified"},
    {VNL_NOT_FOUND, "file no found"},
    {VNL_EMPTY_FILE, "file is empty"},
    {VNL_IO_ERROR, "general i/o error"},
    {VNL_UNSUPPORTED, "file type unsupported"},
    {VNL_NO_MEMORY, "not enough memory"},
    {VNL_NOT_PAK, "file is not a Quake PAK"},
    {VNL_PAK_CORRUPT, "Quake PAK corrupted"},
    {VNL_NOT_WAD2, "file is not a Quake WAD2"},
    {VNL_WAD2_CORRUPT, "Quake WAD2 corrupted"},
    {VNL_PAK_NAME, "member name unfit for a pack"},
    {VNL_PAK_REPEAT, "member name repeated, case aside"},
    {VNL_WAD2_NAME, "lump name unfit for a WAD2"},
    {VNL_WAD2_REPEAT, "lump name repeated, case aside"},
    {VNL_NOT_MDL, "file is not a Quake MDL"},
    {VNL_MDL_VERSION, "model version unsupported"},
    {VNL_MDL_NO_SKIN, "no skin found"},
    {VNL_MDL_SKIN_WIDTH, "skin size invalid"},
    {VNL_MDL_SKIN_HEIGHT, "skin size invalid"},
    {VNL_MDL_NO_VERTEX, "no vertex found"},
    {VNL_MDL_NO_FACE, "no face found"},
    {VNL_MDL_NO_FRAME, "no frame found"},
    {VNL_MDL_BAD_INDEX, "face uses a vertex that does not exist"},
    {VNL_NOT_PALETTE, "file is not a Quake PALETTE"},
    {VNL_NOT_COLORMAP, "file is not a Quake COLORMAP"},
    {VNL_NOT_PICTURE, "file is not a Quake PICTURE"},
    {VNL_NO_PALETTE, "tried to load the colormap before the palette"},
    {VNL_COLORMAP_LOADED, "colormap already loaded for this palette"},
    {VNL_PICTURE_SIZE, "picture size unfit for the format"},
    {VNL_MAP_SCOPE_HIGH, "scope too high (higher than 2)"},
    {VNL_MAP_SCOPE_LOW, "scope too low (lower than 0)"},
    {VNL_MAP_ROOT_STATEMENT, "statements found on the root scope"},
    {VNL_MAP_BAD_ENTITY, "corrupted entity definition"},
    {VNL_NOT_SPRITE, "file is not a Quake SPRITE"},
    {VNL_SPR_VERSION, "sprite version unsupported"},
    {VNL_SPR_NO_WIDTH, "sprite width invalid"},
    {VNL_SPR_NO_HEIGHT, "sprite height invalid"},
    {VNL_SPR_NO_FRAME, "no frame found"},
    {VNL_SPR_BAD_INTERVAL, "group intervals not rising from above 0"},
    {VNL_MDL_COUNT, "count too large for the model format"},
    {VNL_MDL_LONG_NAME, "frame name longer than 15 bytes"},
    {VNL_MDL_BAD_INTERVAL, "interval of 0 or less"},
    {VNL_MDL_OFF_LATTICE, "position outside the model lattice"},
};

}  // namespace

size_t vnlErrorString(int32_t code, char* text, size_t capacity) {
  for (const Message& message : kMessages)
    if (message.code == code) return vnl::CopyOut(message.text, text, capacity);
  return vnl::CopyOut("", text, capacity);
}
