// The run around the modes: the banner, and the exit path that reports a failure
// and releases what the modes loaded.
#ifndef CORVANE_DRIVER_H
#define CORVANE_DRIVER_H

#include <cstdint>
#include <string>

// The five banner lines, each ended with "\n".
std::string BannerText();
// Writes "!!ERROR!! " + the failure text when a mode failed (and waits for a key),
// releases the library records of gState, and returns `result` as the exit code.
// Outputs that were not written make the code 1, and the text says how many when
// the mode itself did not fail.
int FinishRun(int result);
// Stores the library's message for `code` after `prefix` as the failure text ("error N"
// for a code without a message, so that no error line ends in nothing); returns 1.
int FailWith(const std::string& prefix, int32_t code);

#endif
