#include "console.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <vector>

namespace {

constexpr int kValueColumn = 12;  // values start in column 12, counting from 1
constexpr int kSequenceMs = 20;   // the bytes of one key's escape sequence come together

int gColumn = 0;  // where the next character lands, counting from 0

// Counts the columns `text` moves the cursor: one per character (UTF-8 continuation
// bytes take none), back to 0 at a line end.
void TrackColumn(const std::string& text) {
  for (unsigned char c : text) {
    if (c == '\n' || c == '\r') gColumn = 0;
    else if ((c & 0xC0) != 0x80) ++gColumn;
  }
}

size_t Columns(const std::string& text) {
  size_t count = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

// The terminal's settings while raw mode is on, so that a signal can put them back.
termios gSavedTerminal{};
volatile sig_atomic_t gRawActive = 0;

constexpr int kRawSignals[4] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// What each of kRawSignals did before raw mode. A handler there (the output
// module's, removing a temporary file in flight) gets the signal next.
void (*gOuterHandlers[4])(int) = {SIG_DFL, SIG_DFL, SIG_DFL, SIG_DFL};

void RestoreTerminalAndDie(int signal) {
  if (gRawActive) tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
  gRawActive = 0;
  void (*next)(int) = SIG_DFL;
  for (int i = 0; i < 4; ++i)
    if (kRawSignals[i] == signal && gOuterHandlers[i] != SIG_IGN && gOuterHandlers[i] != SIG_ERR) next = gOuterHandlers[i];
  std::signal(signal, next);
  std::raise(signal);
}

// Puts the terminal into raw mode (no line buffering, no echo) for as long as the
// object lives; Ctrl-C still interrupts, and the terminal is restored then too.
class RawTerminal {
 public:
  RawTerminal() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &gSavedTerminal) != 0) return;
    termios raw = gSavedTerminal;
    raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    for (int i = 0; i < 4; ++i) gOuterHandlers[i] = std::signal(kRawSignals[i], RestoreTerminalAndDie);
    gRawActive = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    installed_ = true;
  }
  ~RawTerminal() {
    if (!installed_) return;
    if (gRawActive) tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
    gRawActive = 0;
    for (int i = 0; i < 4; ++i) std::signal(kRawSignals[i], gOuterHandlers[i]);
  }
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

 private:
  bool installed_ = false;
};

// One byte of stdin, waiting at most `timeoutMs`: the byte, kNoKey or kEndOfInput.
int ReadByte(int timeoutMs) {
  pollfd in{STDIN_FILENO, POLLIN, 0};
  if (poll(&in, 1, timeoutMs) <= 0) return kNoKey;
  unsigned char byte;
  ssize_t got = read(STDIN_FILENO, &byte, 1);
  if (got == 0) return kEndOfInput;
  if (got < 0) return kNoKey;
  return byte;
}

char LowerKey(int c) { return char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

std::vector<std::string> SplitChoices(std::string choices) {
  if (choices.empty()) choices = "Yes/No";
  if (choices.back() != '/') choices += '/';
  std::vector<std::string> answers;
  size_t start = 0;
  for (size_t slash; (slash = choices.find('/', start)) != std::string::npos; start = slash + 1)
    answers.push_back(choices.substr(start, slash - start));
  return answers;
}

// The number of the first answer whose key is `key`, or 0.
int AnswerFor(const std::vector<std::string>& answers, int key) {
  if (key < 0 || key > 0x7F) return 0;
  for (size_t i = 0; i < answers.size(); ++i)
    if (!answers[i].empty() && LowerKey(static_cast<unsigned char>(answers[i][0])) == LowerKey(key))
      return int(i) + 1;
  return 0;
}

// Takes the cursor back over `length` columns written from column `start` (the
// text may have wrapped) and clears everything from there on.
void EraseBack(int start, size_t length) {
  if (length == 0) return;
  size_t width = size_t(ConsoleWidth());
  size_t end = size_t(start) + length;
  size_t rowsUp = (end - 1) / width - size_t(start) / width;
  std::string moves = "\r";
  if (rowsUp > 0) moves += "\x1b[" + std::to_string(rowsUp) + "A";
  if (start % width > 0) moves += "\x1b[" + std::to_string(start % width) + "C";
  moves += "\x1b[J";
  std::fwrite(moves.data(), 1, moves.size(), stdout);
  gColumn = start;
}

}  // namespace

void ConsoleWrite(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  TrackColumn(text);
}

void ConsoleLine(const std::string& text) { ConsoleWrite(text + "\n"); }

void SectionLine(const std::string& title) { ConsoleLine(title); }

void ValueLabel(const std::string& label) {
  std::string padded = label;
  if (padded.size() < kValueColumn - 1) padded.append(kValueColumn - 1 - padded.size(), ' ');
  ConsoleWrite(padded);
}

void ValueLine(const std::string& label, const std::string& value) {
  ValueLabel(label);
  ConsoleLine("\"" + value + "\"");
}

int ConsoleColumn() { return gColumn; }

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }
bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

int ConsoleWidth() {
  winsize size{};
  if (StdoutIsTerminal() && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void SetColour(int colour) {
  if (!StdoutIsTerminal()) return;
  // Console colour numbers run blue-green-red in their low bits, ANSI red-green-blue.
  static const int kAnsi[8] = {30, 34, 32, 36, 31, 35, 33, 37};
  int code = (colour & 15) == 7 ? 39 : kAnsi[colour & 7] + ((colour & 8) ? 60 : 0);
  std::printf("\x1b[%dm", code);
}

int PollKey(int timeoutMs) {
  int key = ReadByte(timeoutMs);
  if (key != 0x1B) return key;
  // An escape sequence: ESC [ parameters final, ESC O key, or ESC and one key (Alt).
  // It is read to its end and no further, so keys typed after it still count.
  int next = ReadByte(kSequenceMs);
  if (next == '[') {
    for (int c = ReadByte(kSequenceMs); c >= 0 && !(c >= 0x40 && c <= 0x7E); c = ReadByte(kSequenceMs)) {
    }
  } else if (next == 'O') {
    ReadByte(kSequenceMs);
  }
  return kExtendedKey;
}

void WaitKey() {
  std::fflush(stdout);
  if (!StdinIsTerminal()) return;
  RawTerminal raw;
  while (PollKey(500) == kNoKey) {
  }
}

int AskChoice(const std::string& question, const std::string& choices, int fallback) {
  std::vector<std::string> answers = SplitChoices(choices);
  std::string shown;
  for (size_t i = 0; i < answers.size(); ++i) shown += (i ? "/" : "") + answers[i];
  int start = ConsoleColumn();
  std::string prompt = question + "? [" + shown + "]";
  ConsoleWrite(prompt);
  std::fflush(stdout);

  int answer = 0;
  {
    RawTerminal raw;
    while (answer == 0) {
      int key = PollKey(500);
      if (key == kEndOfInput) answer = fallback;  // nobody is there to answer
      else answer = AnswerFor(answers, key);
    }
  }
  if (StdoutIsTerminal()) EraseBack(start, Columns(prompt));
  else ConsoleLine("");
  std::fflush(stdout);
  return answer;
}
