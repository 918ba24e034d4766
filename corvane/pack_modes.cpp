// The pack modes: listing a pack's members into a report, and extracting one
// member to a file.
#include <cstdlib>

#include "console.h"
#include "modes.h"
#include "output.h"
#include "report.h"
#include "state.h"

int RunPackList(const RunOptions& options, ItemState& item, RunOutcome& outcome) {
  SectionLine(":: PACK LIST");
  if (options.listPack.empty() || options.listFile.empty())
    return FailWith(outcome, "Pack list: please use the packed ressource syntax (PAK::FILE)");
  std::string pack = options.listPack;  // the library cleans the name it is handed
  int32_t code = vnlPackInfoRead(pack, item.packInfo);
  if (code != VNL_OK) {
    vnlPackInfoKill(item.packInfo);
    return FailWith(outcome, "Pack list: ", code);
  }
  ValueLine("  Source:", options.listPack);
  WriteReport(options, item, outcome);
  vnlPackInfoKill(item.packInfo);
  return 0;
}

int RunPackExtract(const RunOptions& options, ItemState& item, RunOutcome& outcome) {
  SectionLine(":: PACK EXTRACT");
  if (options.extractPack.empty() || options.extractFile.empty())
    return FailWith(outcome, "Pack extract: please use the packed ressource syntax (PAK::FILE)");
  uint8_t* data = nullptr;
  uint32_t size = 0;
  std::string pack = options.extractPack, file = options.extractFile;  // the library cleans the names
  int32_t code = item.extractEntry != nullptr ? vnlPackEntryLoad(pack.c_str(), item.extractEntry, &data, &size)
                                              : vnlPackFileLoad(pack, file, data, size);
  if (code != VNL_OK) {
    std::free(data);
    return FailWith(outcome, "Pack info: ", code);
  }
  ValueLine("  Source:", options.extractPack);
  ValueLine("  Extract:", NameAsRead(options.extractPack, options.extractFile));
  if (item.extractFolder >= 0)
    WriteOutputIn(options, outcome, item.extractFolder, options.baseName, data, size);
  else
    WriteOutput(options, outcome, options.baseName, data, size);
  std::free(data);
  vnlPackInfoKill(item.packInfo);
  return 0;
}
