// The converter's one program-wide state: filled by the option handlers, read
// by the modes and the writers (which take no arguments).
#ifndef CORVANE_STATE_H
#define CORVANE_STATE_H

#include <cstdint>
#include <string>
#include <vector>

#include "varnel/varnel.h"

enum : uint32_t {
  OPT_SWAP = 1,
  OPT_INVH = 2,
  OPT_SKINNOBACK = 4,
  OPT_REPLACE = 8,
  OPT_SWAPYZ = 16,
};

struct ConverterState {
  std::string modelPack, modelFile;
  std::string dstPack, dstFile;
  std::string dstRefused;  // -dst as typed when no model writer takes its name
  std::string reportPack, reportFile;
  std::string hintPack, hintFile;
  std::string palettePack, paletteFile;
  std::string listPack, listFile;
  std::string extractPack, extractFile;
  std::string lumpPack, lumpFile;
  std::string spritePack, spriteFile;
  std::string frameName;
  float scale = 0;
  int32_t skinWidth = 0;
  int32_t skinHeight = 0;
  std::string baseName;
  std::string errorMessage;
  // Outputs that were to be written and were not (a No to the prompt aside).
  uint32_t failedOutputs = 0;
  std::string imageExt;
  int32_t imageFormat = 0;
  int32_t imageFlags = 0;
  uint32_t flags = 0;
  VNLMODEL_T model{};
  VNLPALETTE_T palette{};
  VNLPACKINFO_T packInfo{};
  VNLSPRITE_T sprite{};
  VNLPICTURE_T picture{};
};

extern ConverterState gState;
// "CORVANE.EXE", set by the driver; the writers name it in their file heads.
extern std::string gProgramName;
// The usage screen's closing note, set by the driver.
extern std::string gUsageNote;
// The process arguments as received, argument 0 first (the report's command line).
extern std::vector<std::string> gArguments;

// Releases the library records held in gState and resets every field, so that
// tests can run one conversion after another in one process.
void ResetState();

#endif
