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
  state.options.arguments = arguments;
  int result = FinishRun(state, RunConverter(state));
  // A log that could not be written is a failed run, as for any other output.
  if (!ConsoleFinish()) result = 1;
  return result;
}

int RunConverter(ConverterState& state) {
  RunOptions& options = state.options;
  OptionTable table = ProgramOptions();
  const CommandRequest request = FindCommandRequest(table, options.arguments);
  if (request == CommandRequest::Version) {
    ConsoleLine(VersionLine());
    return 0;
  }
  ConsoleWrite(BannerText());
  if (request == CommandRequest::Help) {
    WriteSyntax(table);  // asked for: no key wait, and a success
    return 0;
  }

  UseImageKind(options, ImageKindNamed(""));  // the default kind, until -outimg names another
  if (ParseCommandLine(options, table) != 0) return 1;

  if (SourceIsPattern(options)) return RunBatch(options, state.outcome);
  return RunMode(ChosenMode(options), options, state.item, state.outcome);
}

int FinishRun(ConverterState& state, int result) {
  RunOutcome& outcome = state.outcome;
  if (outcome.failedOutputs > 0) {
    result = 1;
    if (outcome.errorMessage.empty()) outcome.errorMessage = UnwrittenOutputsText(outcome.failedOutputs);
  }
  if (!outcome.errorMessage.empty()) {
    ConsoleLine("!!ERROR!! " + outcome.errorMessage);
    WaitKey();
  }
  ReleaseRecords(state.item);
  return result;
}
