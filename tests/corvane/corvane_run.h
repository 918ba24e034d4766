// Runs the built corvane binary as a process, the way a user would: in a working
// folder of the test's own, with stdin from a pipe (or /dev/null). Every test that
// runs the real program starts it here: through the shell (RunCorvaneWith and the
// forms over it, CorvaneCommand for shell text of a test's own) or directly
// (SpawnCorvane, for what a shell cannot give).
#ifndef TESTS_CORVANE_CORVANE_RUN_H
#define TESTS_CORVANE_CORVANE_RUN_H

#include <sys/resource.h>

#include <string>
#include <vector>

#include "files.h"

namespace corvane_test {

struct RunResult {
  int code = -1;
  std::string out;    // stdout and stderr, merged
  std::string after;  // `out` without the five banner lines (empty if they are wrong)
};

// How a run through the shell is started.
struct Launch {
  std::vector<std::string> args;
  std::string input;         // fed through a pipe
  bool closedInput = false;  // stdin is /dev/null instead
  std::string environment;   // "NAME=value ..." for the program alone
  std::string before;        // shell text run first in the same shell ("ulimit -f 8;")
  std::string redirect;      // shell text after the command line ("<&-", ">/dev/full")
};
// Runs `launch` in `folder`; stdout and stderr merged into `out`.
RunResult RunCorvaneWith(const std::string& folder, const Launch& launch);
// The binary and `args`, quoted for the shell: for tests that start it from shell
// text of their own (in the background, on a terminal).
std::string CorvaneCommand(const std::vector<std::string>& args);
// Starts the binary without a shell in `folder`, with the descriptors `in`, `out`
// and `err` as its stdin, stdout and stderr (-1 keeps the test's own) and SIGPIPE
// at its default; waits, and returns the wait status (-1 when it did not start),
// with the child's own resource use in `usage` when given.
int SpawnCorvane(const std::string& folder, const std::vector<std::string>& args, int in, int out, int err,
                 struct rusage* usage = nullptr);

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
