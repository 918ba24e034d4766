// The terminal layer: log lines, colours and cursor moves (ANSI, only when stdout
// is a terminal), the console width, key reads, and the replace prompt.
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

bool StdoutIsTerminal();
bool StdinIsTerminal();
// Columns of the terminal, 80 when stdout is not one.
int ConsoleWidth();
// One of the 16 console colours (7 is light grey); nothing unless on a terminal.
void SetColour(int colour);

// A key without waiting more than `timeoutMs`: its byte, or -1 for none, -2 at the
// end of input. Extended keys (arrows, function keys) come back as -1.
int PollKey(int timeoutMs);
// Waits for a key press on a terminal; returns at once when stdin is not one.
void WaitKey();

// Asks `question`? [choices] and returns the 1-based number of the answer whose
// first letter was typed. With stdin not a terminal, answer characters are read
// from stdin and the end of input picks `fallback`.
int AskChoice(const std::string& question, const std::string& choices, int fallback = 2);
// 1 when `fileName` may be written (absent, or deleted after consent), else 0.
int ConfirmReplace(const std::string& fileName, uint32_t* flagWord, uint32_t bit);

#endif
