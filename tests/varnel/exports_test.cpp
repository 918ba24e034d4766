// The shared library must export its interface and nothing else: no helper of
// its own and no instantiation of a standard template that could be interposed.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

#include "files.h"

namespace {

// The C interface: plain names, no C++ mangling, so that any C++ standard library
// (or none) links to it.
std::set<std::string> InterfaceSignatures() {
  return {"vnlErrorString",     "vnlCleanPath",       "vnlForceType",        "vnlWhatIs",        "vnlWhatIsFile",
          "vnlPackInfoRead",    "vnlPackInfoKill",    "vnlPackFileLoad",     "vnlPackEntryLoad", "vnlPaletteLoad",
          "vnlPaletteLoadFile", "vnlColorMapLoad",    "vnlColorMapLoadFile", "vnlPaletteKill",   "vnlPictureLoad",
          "vnlPictureLoadFile", "vnlPictureKill",     "vnlPictureToRGB",     "vnlPaletteMap",    "vnlModelLoad",
          "vnlModelLoadFile",   "vnlModelKill",       "vnlFrameNumber",      "vnlFrameOffset",   "vnlModelScale",
          "vnlModelSkinInv",    "vnlModelSkinNoBack", "vnlModelSwapTris",    "vnlModelDataLoad", "vnlModelDataLoadFile",
          "vnlModelDataKill",   "vnlNormal",          "vnlNearestNormal",    "vnlModelSave",     "vnlSpriteLoad",
          "vnlSpriteLoadFile",  "vnlSpriteKill",      "vnlMapLoad",          "vnlMapLoadFile",   "VNLWADGETINFO",
          "VNLWADKILL",         "vnlPackSave",        "vnlPictureSave",      "vnlSpriteSave",    "vnlWadLumpLoad",
          "vnlWadSave",         "vnlMipTexLoad",      "vnlMipTexKill",       "vnlMipTexSave"};
}

struct Symbol {
  char type;
  std::string name;
};

// Every symbol the shared library defines in its dynamic table, demangled.
std::vector<Symbol> DefinedSymbols(bool& ok) {
  std::string output;
  int status = testdata::RunCommand(std::string("nm -D --defined-only -C '") + VARNEL_LIBRARY + "'", &output);
  ok = status == 0;
  std::vector<Symbol> symbols;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    // "<address> <type> <name>"; the name may hold blanks.
    size_t typeAt = line.find(' ');
    if (typeAt == std::string::npos || typeAt + 3 > line.size()) continue;
    symbols.push_back({line[typeAt + 1], line.substr(typeAt + 3)});
  }
  return symbols;
}

bool IsFunction(char type) { return type == 'T' || type == 'W' || type == 'i'; }

TEST(Exports, TheLibraryExportsOnlyItsInterface) {
  bool ok = false;
  std::vector<Symbol> symbols = DefinedSymbols(ok);
  ASSERT_TRUE(ok) << "nm failed on " << VARNEL_LIBRARY;
  ASSERT_FALSE(symbols.empty());
  std::set<std::string> interface = InterfaceSignatures();
  for (const Symbol& symbol : symbols) {
    EXPECT_TRUE(IsFunction(symbol.type)) << "exported data: " << symbol.type << " " << symbol.name;
    EXPECT_EQ(interface.count(symbol.name), 1u) << "not an interface function: " << symbol.name;
    EXPECT_EQ(symbol.name.find("std::"), std::string::npos) << symbol.name;
    EXPECT_EQ(symbol.name.find('('), std::string::npos) << "not a C name: " << symbol.name;
    EXPECT_EQ(symbol.name.find("BlockReader"), std::string::npos) << symbol.name;
  }
}

TEST(Exports, EveryInterfaceFunctionIsExported) {
  bool ok = false;
  std::vector<Symbol> symbols = DefinedSymbols(ok);
  ASSERT_TRUE(ok) << "nm failed on " << VARNEL_LIBRARY;
  std::set<std::string> exported;
  for (const Symbol& symbol : symbols)
    if (symbol.type == 'T') exported.insert(symbol.name);
  for (const std::string& name : InterfaceSignatures()) EXPECT_EQ(exported.count(name), 1u) << "missing: " << name;
}

}  // namespace
