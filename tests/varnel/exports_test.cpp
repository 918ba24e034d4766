// The shared library must export its interface and nothing else: no helper of
// its own and no instantiation of a standard template that could be interposed.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

#include "files.h"

namespace {

const std::string kString = "std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >&";
const std::string kBlock = "unsigned char* const&, unsigned int const&";
const std::string kNames = kString + ", " + kString;

std::set<std::string> InterfaceSignatures() {
  const std::string loaders[][2] = {
      {"vnlPaletteLoad", "VNLPALETTE_T&"}, {"vnlColorMapLoad", "VNLPALETTE_T&"}, {"vnlPictureLoad", "VNLPICTURE_T&"},
      {"vnlModelLoad", "VNLMODEL_T&"},     {"vnlSpriteLoad", "VNLSPRITE_T&"},    {"vnlWhatIs", "int&"},
  };
  std::set<std::string> names;
  for (const auto& loader : loaders) {
    names.insert(loader[0] + "(" + kBlock + ", " + loader[1] + ")");
    names.insert(loader[0] + "(" + kNames + ", " + loader[1] + ")");
  }
  names.insert("vnlMapLoad(" + kBlock + ")");
  names.insert("vnlMapLoad(" + kNames + ")");
  names.insert("vnlErrorString(int const&, " + kString + ")");
  names.insert("vnlCleanPath(" + kString + ", int const&)");
  names.insert("vnlForceType(" + kNames + ")");
  names.insert("vnlPackInfoRead(" + kString + ", VNLPACKINFO_T&)");
  names.insert("vnlPackInfoKill(VNLPACKINFO_T&)");
  names.insert("vnlPackFileLoad(" + kNames + ", unsigned char*&, unsigned int&)");
  names.insert("vnlPackEntryLoad(char const*, VNLPACKENTRY_T const*, unsigned char**, unsigned int*)");
  names.insert("vnlPaletteKill(VNLPALETTE_T&)");
  names.insert("vnlPictureKill(VNLPICTURE_T&)");
  names.insert("vnlPictureToRGB(VNLPICTURE_T const&, VNLPALETTE_T const&, int&)");
  names.insert("vnlModelKill(VNLMODEL_T&)");
  names.insert("vnlFrameNumber(VNLMODEL_T const&, " + kString.substr(0, kString.size() - 1) + " const&)");
  names.insert("vnlFrameOffset(VNLMODEL_T const&, " + kString.substr(0, kString.size() - 1) + " const&)");
  names.insert("vnlModelScale(VNLMODEL_T&, float const&)");
  names.insert("vnlModelSkinInv(VNLMODEL_T&)");
  names.insert("vnlModelSkinNoBack(VNLMODEL_T&)");
  names.insert("vnlModelSwapTris(VNLMODEL_T&)");
  names.insert("vnlSpriteKill(VNLSPRITE_T&)");
  names.insert("vnlModelDataLoad(unsigned char const*, unsigned int, VNLMODELDATA_T*)");
  names.insert("vnlModelDataLoadFile(char const*, char const*, VNLMODELDATA_T*)");
  names.insert("vnlModelDataKill(VNLMODELDATA_T*)");
  names.insert("vnlNormal(unsigned int, VNLVEC3_T*)");
  names.insert("vnlNearestNormal(float, float, float)");
  names.insert("vnlModelSave(VNLMODELDATA_T const*, unsigned char**, unsigned int*)");
  names.insert("vnlPaletteMap(VNLPALETTE_T const*, unsigned int const*, unsigned int, int, unsigned char*)");
  names.insert("VNLWADGETINFO(" + kBlock + ", VNLWADINFO_T&)");
  names.insert("VNLWADKILL(VNLWADINFO_T&)");
  names.insert("vnlPackSave(VNLMEMBER_T const*, unsigned int, unsigned char**, unsigned int*)");
  names.insert("vnlPictureSave(VNLPICTURE_T const*, unsigned char**, unsigned int*)");
  names.insert("vnlSpriteSave(VNLSPRITE_T const*, unsigned int const*, unsigned char**, unsigned int*)");
  names.insert("vnlWadSave(VNLMEMBER_T const*, unsigned int, unsigned char**, unsigned int*)");
  names.insert(
      "vnlWadLumpLoad(unsigned char const*, unsigned int, char const*, unsigned char**, unsigned int*, unsigned "
      "char*)");
  names.insert("vnlMipTexLoad(unsigned char const*, unsigned int, VNLMIPTEX_T*)");
  names.insert("vnlMipTexKill(VNLMIPTEX_T*)");
  names.insert("vnlMipTexSave(VNLMIPTEX_T const*, VNLPALETTE_T const*, unsigned char**, unsigned int*)");
  return names;
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
    EXPECT_EQ(symbol.name.find("vnl::"), std::string::npos) << symbol.name;
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
