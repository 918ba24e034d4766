// The pack modes: listing a pack's members into a report, and extracting one
// member to a file.
#include <cstdlib>

#include "console.h"
#include "modes.h"
#include "output.h"
#include "report.h"
#include "state.h"

int RunPackList(ConverterState& state) {
  SectionLine(":: PACK LIST");
  if (state.listPack.empty() || state.listFile.empty())
    return FailWith(state, "Pack list: please use the packed ressource syntax (PAK::FILE)");
  int32_t code = vnlPackInfoRead(state.listPack, state.packInfo);
  if (code != VNL_OK) {
    vnlPackInfoKill(state.packInfo);
    return FailWithCode(state, "Pack list: ", code);
  }
  ValueLine("  Source:", state.listPack);
  WriteReport(state);
  vnlPackInfoKill(state.packInfo);
  return 0;
}

int RunPackExtract(ConverterState& state) {
  SectionLine(":: PACK EXTRACT");
  if (state.extractPack.empty() || state.extractFile.empty())
    return FailWith(state, "Pack extract: please use the packed ressource syntax (PAK::FILE)");
  uint8_t* data = nullptr;
  uint32_t size = 0;
  int32_t code = state.extractEntry != nullptr
                     ? vnlPackEntryLoad(state.extractPack.c_str(), state.extractEntry, &data, &size)
                     : vnlPackFileLoad(state.extractPack, state.extractFile, data, size);
  if (code != VNL_OK) {
    std::free(data);
    return FailWithCode(state, "Pack info: ", code);
  }
  ValueLine("  Source:", state.extractPack);
  ValueLine("  Extract:", state.extractFile);
  if (state.extractFolder >= 0)
    WriteOutputIn(state, state.extractFolder, state.baseName, data, size);
  else
    WriteOutput(state, state.baseName, data, size);
  std::free(data);
  vnlPackInfoKill(state.packInfo);
  return 0;
}
