// The driver: start-up, banner, command line, the choice of one mode, the exit path.
#include "driver.h"

#include "console.h"
#include "modes.h"
#include "options.h"
#include "output.h"
#include "state.h"

namespace {

const char kVersion[] = "1.5";

const char kNoteText[] =
    "Note that \"-model\" is the only required parameter unless a special\n"
    "parameter is used (see the readme file for more details). You can\n"
    "specify a packed ressource as so: \"PAK0.PAK::progs/soldier.mdl\"";

std::string Rule() {
  std::string rule;
  for (int i = 0; i < 80; ++i) rule += "\u2500";
  return rule;
}

bool AnyNotEmpty(const std::string& a, const std::string& b) { return !a.empty() || !b.empty(); }

// The line --version writes: the program's version and the library's it was built with.
std::string VersionLine() { return std::string("corvane ") + kVersion + " (varnel " + CORVANE_LIBRARY_VERSION + ")"; }

}  // namespace

std::string BannerText() {
  const std::string rule = Rule();
  return rule + "\n" +
         "  CORVANE Quake Model Converter   Version " + kVersion + "\n" +
         std::string(17, ' ') + "Free software, distributed under the terms it came with.\n" +
         " One hundred bucks to whoever recognize the layout I'm shamelessly ripping off.\n" +
         rule + "\n";
}

int FailWith(const std::string& prefix, int32_t code) {
  std::string message;
  vnlErrorString(code, message);
  // A code the library has no message for still says something.
  if (message.empty()) message = "error " + std::to_string(code);
  gState.errorMessage = prefix + message;
  return 1;
}

int RunConverter() {
  gProgramName = "CORVANE.EXE";
  gUsageNote = kNoteText;
  RegisterOptions();
  const CommandRequest request = FindCommandRequest();
  if (request == CommandRequest::Version) {
    ConsoleLine(VersionLine());
    return 0;
  }
  ConsoleWrite(BannerText());
  if (request == CommandRequest::Help) {
    WriteSyntax();  // asked for: no key wait, and a success
    return 0;
  }

  gState.imageExt = "tga";
  gState.imageFormat = 17;
  gState.imageFlags = 0;
  if (ParseCommandLine() != 0) return 1;

  if (AnyNotEmpty(gState.listPack, gState.listFile)) return RunPackList();
  if (AnyNotEmpty(gState.extractPack, gState.extractFile)) return RunPackExtract();
  if (AnyNotEmpty(gState.lumpPack, gState.lumpFile) || AnyNotEmpty(gState.spritePack, gState.spriteFile))
    return RunPictureConversion();
  return RunModelConversion();
}

int FinishRun(int result) {
  if (gState.failedOutputs > 0) {
    result = 1;
    if (gState.errorMessage.empty()) gState.errorMessage = UnwrittenOutputsText(gState.failedOutputs);
  }
  if (!gState.errorMessage.empty()) {
    ConsoleLine("!!ERROR!! " + gState.errorMessage);
    WaitKey();
  }
  vnlModelKill(gState.model);
  vnlPaletteKill(gState.palette);
  vnlSpriteKill(gState.sprite);
  vnlPictureKill(gState.picture);
  return result;
}

void SplitPackedName(std::string& source, std::string& packOut, std::string& fileOut, const std::string& extList) {
  size_t first = source.find("::");
  if (first != std::string::npos) {
    // Overlapping pairs count: ":::" holds two separators and is as ambiguous as "a::b::c".
    int separators = 0;
    for (size_t p = first; p + 1 < source.size(); ++p)
      if (source[p] == ':' && source[p + 1] == ':') ++separators;
    if (separators > 1) {
      source.clear();
      return;
    }
    packOut = source.substr(0, first);
    fileOut = source.substr(first + 2);
  } else {
    packOut.clear();
    fileOut = source;
  }
  std::string packExt = ".pak";
  std::string fileExt = extList;
  vnlForceType(packOut, packExt);
  vnlForceType(fileOut, fileExt);
}

void SwapFrameYZ() {
  const VNLMODEL_T& model = gState.model;
  if (model.frameVertices == nullptr) return;
  const uint64_t perFrame = uint64_t(model.vertexCount) + model.seamCount;
  const uint64_t total = perFrame * (uint64_t(model.frameCount) + model.frameExtra);
  const uint64_t first = vnlFrameOffset(model, gState.frameName);
  if (first + perFrame > total) return;
  for (uint64_t i = first; i < first + perFrame; ++i) {
    VNLVEC3_T& v = model.frameVertices[i];
    std::swap(v.y, v.z);
  }
}
