// The terminal layer: log lines and cursor moves (ANSI sequences, only
// when stdout is a terminal), the console width, key reads, and the prompt.
//
// Keys come from the terminal in raw mode when stdin is one. When stdin is a pipe
// or a file, nobody can press a key: WaitKey returns at once, and AskChoice reads
// its answer characters from stdin (`printf 'n' | corvane ...` answers No), the end
// of input picking the prompt's fallback answer (No for the replace prompt). So do
// a stdin that cannot be read (closed, a folder, open for writing only) and a NUL
// byte: a prompt nobody can answer never waits.
//
// Names read from files are written with their control bytes shown as '?'
// (PrintableName): in ValueLine values and in AskChoice questions.
//
// A write to stdout that fails (a closed pipe, a full disk) ends the console
// output: nothing more is written there, and ConsoleFinish reports the failure.
#ifndef CORVANE_CONSOLE_H
#define CORVANE_CONSOLE_H

#include <cstdint>
#include <string>

// Readies the standard streams, first thing in a run: a closed descriptor 0, 1 or
// 2 is opened on /dev/null, so that no file the run opens takes its number (and
// gets the log, or answers the prompt); a closed stdout counts as a failed one.
// SIGPIPE is ignored: a reader that went away shows as a failed write.
void ConsoleStart();
// Flushes stdout; false when something written to it was lost. The failure is
// said on stderr, unless it was a closed pipe, whose reader wanted no more.
bool ConsoleFinish();

// Writes text as is.
void ConsoleWrite(const std::string& text);
// Writes text and ends the line.
void ConsoleLine(const std::string& text);
// ":: SOURCES" and the like, on a line of their own.
void SectionLine(const std::string& title);
// A label padded with blanks to column 12, without the value (see ValueLine).
void ValueLabel(const std::string& label);
// `label`, blanks up to column 12, then the value (PrintableName) between double quotes.
void ValueLine(const std::string& label, const std::string& value);
// The column (from 0) where the next character written through this layer lands.
int ConsoleColumn();

bool StdoutIsTerminal();
bool StdinIsTerminal();
// Columns of the terminal, 80 when stdout is not one. The library's map dump has
// its own (its src/map.cpp): it exports nothing beyond varnel.h.
int ConsoleWidth();

// What PollKey returns besides a key's byte.
enum : int {
  kNoKey = -1,        // nothing arrived in time
  kEndOfInput = -2,   // stdin is closed
  kExtendedKey = -3,  // an arrow, a function key, Escape: never an answer
};
// A key, waiting at most `timeoutMs` (in poll(), so an idle wait costs no CPU).
int PollKey(int timeoutMs);
// Waits for any key press on a terminal; returns at once unless stdin and stdout
// are both terminals.
void WaitKey();

// Writes `question`? [choices] where the cursor stands and returns the 1-based
// number of the answer whose first letter was typed (case-insensitive); other keys
// are passed over. `choices` are separated by "/", empty meaning "Yes/No". On a
// terminal the prompt is erased afterwards, so the next line writes over it; on a
// pipe the line is ended instead. With the keys from a terminal and stdout going
// elsewhere, the prompt is also shown (and then erased) on stderr when that is the
// terminal. The end of input, or a stdin that cannot be read, picks `fallback`.
int AskChoice(const std::string& question, const std::string& choices, int fallback = 2);
// While quiet, what is written through this layer is dropped; AskChoice still
// shows its question.
void ConsoleQuiet(bool quiet);

#endif
