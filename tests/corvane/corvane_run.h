// Runs the built corvane binary as a process, the way a user would: in a working
// folder of the test's own, with stdin from a pipe (or /dev/null).
#ifndef TESTS_CORVANE_CORVANE_RUN_H
#define TESTS_CORVANE_CORVANE_RUN_H

#include <string>
#include <vector>

#include "files.h"

namespace corvane_test {

struct RunResult {
  int code = -1;
  std::string out;    // stdout and stderr, merged
  std::string after;  // `out` without the five banner lines (empty if they are wrong)
};

// `input` is fed through a pipe; when `closedInput`, stdin is /dev/null instead.
RunResult RunCorvane(const std::string& folder, const std::vector<std::string>& args,
                     const std::string& input = "", bool closedInput = false);
// The same command line run on a pseudo-terminal (through `script`), with `input`
// typed into it; the raw bytes the terminal received come back in `out`.
RunResult RunCorvaneOnTerminal(const std::string& folder, const std::vector<std::string>& args,
                               const std::string& input);

// The five banner lines, exactly.
std::string ExpectedBanner();
// `text` cut into lines at "\n".
std::vector<std::string> Lines(const std::string& text);
// How many times `needle` occurs in `text`.
size_t Count(const std::string& text, const std::string& needle);

// Writes the small test model (frames "stand1", "stand2", one 8 x 8 skin) and the
// distinct palette into `folder` as m.mdl and pal.lmp.
void WriteModelAndPalette(const testdata::TempDir& folder);

}  // namespace corvane_test

#endif
