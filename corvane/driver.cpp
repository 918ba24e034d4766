// The driver: start-up, banner, command line, the choice of one mode, the exit path.
#include "driver.h"

#include <clocale>

#include "batch.h"
#include "console.h"
#include "images.h"
#include "modes.h"
#include "options.h"
#include "output.h"
#include "state.h"

namespace {

const char kVersion[] = "1.5";

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
  return rule + "\n" + "  CORVANE Quake Model Converter   Version " + kVersion + "\n" + std::string(17, ' ') +
         "Free software, distributed under the terms it came with.\n" +
         " One hundred bucks to whoever recognize the layout I'm shamelessly ripping off.\n" + rule + "\n";
}

int RunProgram(const std::vector<std::string>& arguments) {
  ConsoleStart();
  std::setlocale(LC_CTYPE, "");
  ConverterState state;
  state.arguments = arguments;
  int result = FinishRun(state, RunConverter(state));
  // A log that could not be written is a failed run, as for any other output.
  if (!ConsoleFinish()) result = 1;
  return result;
}

int RunConverter(ConverterState& state) {
  OptionTable options = ProgramOptions();
  const CommandRequest request = FindCommandRequest(options, state.arguments);
  if (request == CommandRequest::Version) {
    ConsoleLine(VersionLine());
    return 0;
  }
  ConsoleWrite(BannerText());
  if (request == CommandRequest::Help) {
    WriteSyntax(options);  // asked for: no key wait, and a success
    return 0;
  }

  UseImageKind(state, ImageKindNamed(""));  // the default kind, until -outimg names another
  if (ParseCommandLine(state, options) != 0) return 1;

  if (AnyNotEmpty(state.listPack, state.listFile)) return RunPackList(state);
  if (state.createAsked) return RunPackCreate(state);
  if (state.imageAsked) return RunImageConversion(state);
  if (SourceIsPattern(state)) return RunBatch(state);
  if (AnyNotEmpty(state.extractPack, state.extractFile)) return RunPackExtract(state);
  if (AnyNotEmpty(state.lumpPack, state.lumpFile) || AnyNotEmpty(state.spritePack, state.spriteFile))
    return RunPictureConversion(state);
  return RunModelConversion(state);
}

int FinishRun(ConverterState& state, int result) {
  if (state.failedOutputs > 0) {
    result = 1;
    if (state.errorMessage.empty()) state.errorMessage = UnwrittenOutputsText(state.failedOutputs);
  }
  if (!state.errorMessage.empty()) {
    ConsoleLine("!!ERROR!! " + state.errorMessage);
    WaitKey();
  }
  ReleaseRecords(state);
  return result;
}
