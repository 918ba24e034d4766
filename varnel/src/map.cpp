// Map entity text: a diagnostic walk over the brace structure of a ".map"
// source. Nothing is kept; each entity's key/value pairs go to the console as
// they are met (control bytes shown as '?'), and the line, entity and brush
// counts follow at the end.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "block_reader.h"
#include "file_io.h"
#include "text.h"
#include "varnel/varnel.h"

namespace {

constexpr int kZoneWidth = 14;
constexpr int kFallbackWidth = 80;

// Columns of the console; a pipe or a file gets the usual 80. The converter's
// console layer has its own: the library exports nothing beyond varnel.h.
int ConsoleWidth() {
  struct winsize size {};
  if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kFallbackWidth;
}

// Lines end at LF, and a CR right before that LF belongs to the line end (files
// written on either system read alike); any other CR belongs to the line. At the
// end of the block the line is empty and the cursor stays, which is what ends
// the walk.
std::string ReadLine(vnl::BlockReader& reader) {
  std::string line;
  while (!reader.atEnd()) {
    char c = static_cast<char>(reader.u8());
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      break;
    }
    line += c;
  }
  return line;
}

std::string CleanLine(std::string line) {
  for (char& c : line)
    if (c == '\t') c = ' ';
  return vnl::TrimBlanks(line);
}

// Writes text at the console's cursor, following the column as the console
// would, wrapping at its width.
struct ConsoleText {
  int width;
  int column = 0;
  std::string text;

  void put(const std::string& s) {
    text += s;
    column = static_cast<int>((uint64_t(column) + s.size()) % uint64_t(width));
  }
  void newLine() {
    text += '\n';
    column = 0;
  }
  // Blanks up to the next column past the cursor that is a multiple of the zone
  // width; a zone among the last columns of the line starts a new line instead.
  void nextZone() {
    int zone = (column / kZoneWidth + 1) * kZoneWidth;
    if (zone >= width - kZoneWidth) {
      newLine();
      return;
    }
    text.append(size_t(zone - column), ' ');
    column = zone;
  }
};

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// A pair line holds exactly four double quotes: "key" "value".
int32_t PrintPair(const std::string& line, int consoleWidth) {
  size_t quotes[4];
  int found = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '"') continue;
    if (found == 4) return VNL_MAP_BAD_ENTITY;
    quotes[found++] = i;
  }
  if (found < 4) return VNL_MAP_BAD_ENTITY;

  ConsoleText out{consoleWidth, 0, {}};
  out.put(vnl::Printable(vnl::LowerCase(line.substr(quotes[0] + 1, quotes[1] - quotes[0] - 1))));
  out.nextZone();
  out.nextZone();
  out.put(vnl::Printable(line.substr(quotes[2] + 1, quotes[3] - quotes[2] - 1)));
  out.newLine();
  Print(out.text);
  return VNL_OK;
}

std::string CountLine(uint64_t count) { return " " + std::to_string(count) + "\n"; }

struct MapWalk {
  int consoleWidth = ConsoleWidth();
  int scope = 0;  // 0 root, 1 entity, 2 brush
  uint64_t lines = 0;
  uint64_t entities = 0;
  uint64_t brushes = 0;
};

int32_t WalkLine(MapWalk& walk, const std::string& line) {
  if (line.empty() || line.compare(0, 2, "//") == 0) return VNL_OK;
  if (line == "{") {
    ++walk.scope;
    if (walk.scope == 1)
      ++walk.entities;
    else if (walk.scope == 2)
      ++walk.brushes;
    else
      return VNL_MAP_SCOPE_HIGH;
    return VNL_OK;
  }
  if (line == "}") return --walk.scope < 0 ? VNL_MAP_SCOPE_LOW : VNL_OK;
  if (walk.scope == 0) return VNL_MAP_ROOT_STATEMENT;
  if (walk.scope == 1) return PrintPair(line, walk.consoleWidth);
  return VNL_OK;  // brush planes are not read
}

int32_t WalkMap(const uint8_t* block, uint32_t length) {
  vnl::BlockReader reader(block, length);
  MapWalk walk;
  uint64_t before;
  do {
    before = reader.cursor();
    std::string line = CleanLine(ReadLine(reader));
    ++walk.lines;
    int32_t code = WalkLine(walk, line);
    if (code != VNL_OK) return code;
  } while (reader.cursor() != before);
  Print(CountLine(walk.lines) + CountLine(walk.entities) + CountLine(walk.brushes));
  return VNL_OK;
}

}  // namespace

int32_t vnlMapLoad(const uint8_t* block, uint32_t length) {
  int32_t code = WalkMap(block, length);
  std::fflush(stdout);
  return code;
}

int32_t vnlMapLoadFile(const char* packName, const char* fileName) {
  std::string pack = packName != nullptr ? packName : "";
  std::string file = fileName != nullptr ? fileName : "";
  return vnl::LoadFileForm(pack, file, ".map",
                           [](const uint8_t* block, uint32_t length) { return vnlMapLoad(block, length); });
}
