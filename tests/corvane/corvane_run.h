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
RunResult RunCorvane(const std::string& folder, const std::vector<std::string>& args, const std::string& input = "",
                     bool closedInput = false);
// The same command line run on a pseudo-terminal (through `script`), with `input`
// typed into it; the raw bytes the terminal received come back in `out`.
// `redirect` is shell text after the command inside the terminal ("> log.txt").
RunResult RunCorvaneOnTerminal(const std::string& folder, const std::vector<std::string>& args,
                               const std::string& input, const std::string& redirect = "");
// On a pseudo-terminal where no key is ever typed, for at most 4 seconds: the exit
// code, 124 when the program was still waiting.
int RunCorvaneOnIdleTerminal(const std::string& folder, const std::vector<std::string>& args,
                             const std::string& redirect = "");
// With the shell redirections `redirect` ("<&-", ">/dev/full") instead of a pipe,
// under `timeout 10`: code 124 means it hung.
RunResult RunCorvaneRedirected(const std::string& folder, const std::vector<std::string>& args,
                               const std::string& redirect);
// script(1) present and able to open a pseudo-terminal here.
bool HaveScript();

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
