// The terminal layer: log lines, colours and cursor moves (ANSI sequences, only
// when stdout is a terminal), the console width, key reads, and the prompt.
//
// Keys come from the terminal in raw mode when stdin is one. When stdin is a pipe
// or a file, nobody can press a key: WaitKey returns at once, and AskChoice reads
// its answer characters from stdin (`printf 'n' | corvane ...` answers No), the end
// of input picking the prompt's fallback answer (No for the replace prompt).
#ifndef CORVANE_CONSOLE_H
#define CORVANE_CONSOLE_H

#include <cstdint>
#include <string>

// Writes text as is.
void ConsoleWrite(const std::string& text);
// Writes text and ends the line.
void ConsoleLine(const std::string& text);
// ":: SOURCES" and the like, on a line of their own.
void SectionLine(const std::string& title);
// A label padded with blanks to column 12, without the value (see ValueLine).
void ValueLabel(const std::string& label);
// `label`, blanks up to column 12, then the value between double quotes.
void ValueLine(const std::string& label, const std::string& value);
// The column (from 0) where the next character written through this layer lands.
int ConsoleColumn();

bool StdoutIsTerminal();
bool StdinIsTerminal();
// Columns of the terminal, 80 when stdout is not one.
int ConsoleWidth();
// One of the 16 console colours (0 black, 1 blue, 2 green, 4 red, bit 3 brightens);
// 7, the console's usual light grey, restores the terminal's own foreground.
// Nothing is written unless stdout is a terminal.
void SetColour(int colour);

// What PollKey returns besides a key's byte.
enum : int {
  kNoKey = -1,        // nothing arrived in time
  kEndOfInput = -2,   // stdin is closed
  kExtendedKey = -3,  // an arrow, a function key, Escape: never an answer
};
// A key, waiting at most `timeoutMs` (in poll(), so an idle wait costs no CPU).
int PollKey(int timeoutMs);
// Waits for any key press on a terminal; returns at once when stdin is not one.
void WaitKey();

// Writes `question`? [choices] where the cursor stands and returns the 1-based
// number of the answer whose first letter was typed (case-insensitive); other keys
// are passed over. `choices` are separated by "/", empty meaning "Yes/No". On a
// terminal the prompt is erased afterwards, so the next line writes over it; on a
// pipe the line is ended instead. The end of input picks `fallback`.
int AskChoice(const std::string& question, const std::string& choices, int fallback = 2);

#endif
