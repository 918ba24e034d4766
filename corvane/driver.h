// The run around the modes: the state made for one run, the banner, the choice of
// one mode, and the exit path that reports a failure.
#ifndef CORVANE_DRIVER_H
#define CORVANE_DRIVER_H

#include <string>
#include <vector>

#include "state.h"

// The whole program on its arguments (argument 0 first): readies the console,
// makes the run's state, runs, and returns the exit code.
int RunProgram(const std::vector<std::string>& arguments);
// The five banner lines, each ended with "\n".
std::string BannerText();
// The command line of state.options.arguments, then the one mode it asks for: 0
// when it finished, 1 when it failed (the text in state.outcome.errorMessage).
int RunConverter(ConverterState& state);
// Writes "!!ERROR!! " + the failure text when a mode failed (and waits for a key),
// releases the item's library records, and returns `result` as the exit code.
// Outputs that were not written make the code 1, and the text says how many when
// the mode itself did not fail.
int FinishRun(ConverterState& state, int result);

#endif
