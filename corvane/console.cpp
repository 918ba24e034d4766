#include "console.h"

#include <fcntl.h>
#include <poll.h>
#include <stdio_ext.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "text_rules.h"

namespace {

constexpr int kValueColumn = 12;  // values start in column 12, counting from 1
constexpr int kSequenceMs = 20;   // the bytes of one key's escape sequence come together

// The console layer keeps process-level flags, not a run's: there is one terminal
// and one stdout per process, whatever number of conversions share them, and a
// stdout that failed has failed for every one of them.
int gColumn = 0;  // where the next character lands, counting from 0
// The errno of the first write to stdout that failed, 0 while every write worked.
// From then on nothing more is written there: after a closed pipe (EPIPE) or a
// full disk every further try would fail the same way.
int gStdoutError = 0;
// Lines of a mode that a batch replaces by its own one line per item.
bool gQuiet = false;

int AskChoiceAloud(const std::string& question, const std::string& choices, int fallback);

void NoteStdoutFailure() {
  if (gStdoutError == 0) gStdoutError = errno != 0 ? errno : EIO;
  __fpurge(stdout);  // what is still buffered would only fail again at exit
}

void WriteStdout(const char* data, size_t size) {
  if (gStdoutError != 0 || size == 0) return;
  errno = 0;
  if (std::fwrite(data, 1, size, stdout) != size || std::ferror(stdout)) NoteStdoutFailure();
}

void FlushStdout() {
  if (gStdoutError != 0) return;
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) NoteStdoutFailure();
}

// Unbuffered, for the few things said on stderr; a failure there has nowhere to go.
void WriteStderr(const std::string& text) {
  const char* bytes = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t done = ::write(STDERR_FILENO, bytes, left);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return;
    bytes += done;
    left -= size_t(done);
  }
}

// Opens /dev/null on `fd` when it is closed, so that the next file opened cannot
// take its number; true when it was closed.
bool FillClosedDescriptor(int fd) {
  if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return false;
  int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
  if (opened >= 0 && opened != fd) {
    dup2(opened, fd);
    close(opened);
  }
  return true;
}

int TerminalColumns(int fd) {
  winsize size{};
  if (isatty(fd) && ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// Counts the columns `text` moves the cursor: one per character (UTF-8 continuation
// bytes take none), back to 0 at a line end.
void TrackColumn(const std::string& text) {
  for (unsigned char c : text) {
    if (c == '\n' || c == '\r')
      gColumn = 0;
    else if ((c & 0xC0) != 0x80)
      ++gColumn;
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
    if (kRawSignals[i] == signal && gOuterHandlers[i] != SIG_IGN && gOuterHandlers[i] != SIG_ERR)
      next = gOuterHandlers[i];
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

// One byte of stdin, waiting at most `timeoutMs`: the byte, kNoKey when nothing
// came in time, or kEndOfInput when no answer can come: the end of input, a
// descriptor that cannot be read (closed, a folder, open for writing only, a hung-up
// terminal), or a NUL byte, which answers nothing and which /dev/zero gives without
// end. Taking any of these for "no key yet" would poll again at once, for ever.
int ReadByte(int timeoutMs) {
  pollfd in{STDIN_FILENO, POLLIN, 0};
  int ready = poll(&in, 1, timeoutMs);
  if (ready < 0) return errno == EINTR ? kNoKey : kEndOfInput;
  if (ready == 0) return kNoKey;
  if ((in.revents & POLLNVAL) || !(in.revents & POLLIN)) return kEndOfInput;
  unsigned char byte;
  ssize_t got = read(STDIN_FILENO, &byte, 1);
  if (got < 0) return errno == EINTR || errno == EAGAIN ? kNoKey : kEndOfInput;
  if (got == 0 || byte == 0) return kEndOfInput;
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
    if (!answers[i].empty() && LowerKey(static_cast<unsigned char>(answers[i][0])) == LowerKey(key)) return int(i) + 1;
  return 0;
}

// The moves that take the cursor of a terminal `width` columns wide back over
// `length` columns written from column `start` (the text may have wrapped) and
// clear everything from there on.
std::string EraseMoves(int start, size_t length, int width) {
  if (length == 0) return "";
  size_t columns = size_t(width);
  size_t end = size_t(start) + length;
  size_t rowsUp = (end - 1) / columns - size_t(start) / columns;
  std::string moves = "\r";
  if (rowsUp > 0) moves += "\x1b[" + std::to_string(rowsUp) + "A";
  if (start % width > 0) moves += "\x1b[" + std::to_string(start % width) + "C";
  return moves + "\x1b[J";
}

void EraseBack(int start, size_t length) {
  std::string moves = EraseMoves(start, length, ConsoleWidth());
  WriteStdout(moves.data(), moves.size());
  gColumn = start;
}

// Waits for a key that is one of `answers`; the end of input gives `fallback`.
int ReadAnswer(const std::vector<std::string>& answers, int fallback) {
  RawTerminal raw;
  for (;;) {
    int key = PollKey(500);
    if (key == kEndOfInput) return fallback;  // nobody is there to answer
    if (int answer = AnswerFor(answers, key)) return answer;
  }
}

}  // namespace

void ConsoleStart() {
  FillClosedDescriptor(STDIN_FILENO);  // reads then meet the end of input
  if (FillClosedDescriptor(STDOUT_FILENO)) gStdoutError = EBADF;
  FillClosedDescriptor(STDERR_FILENO);
  // A reader that went away must show as a failed write, not end the process in
  // the middle of writing a file.
  std::signal(SIGPIPE, SIG_IGN);
}

bool ConsoleFinish() {
  FlushStdout();
  if (gStdoutError == 0) return true;
  // The reader of a pipe that closed early wanted no more; anything else is said.
  if (gStdoutError != EPIPE)
    WriteStderr("!!ERROR!! Standard output: " + std::string(std::strerror(gStdoutError)) + "\n");
  return false;
}

void ConsoleWrite(const std::string& text) {
  if (gQuiet) return;
  WriteStdout(text.data(), text.size());
  TrackColumn(text);
}

void ConsoleLine(const std::string& text) { ConsoleWrite(text + "\n"); }

void SectionLine(const std::string& title) { ConsoleLine(title); }

void ValueLabel(const std::string& label) {
  std::string padded = label;
  AppendBlanks(padded, kValueColumn - 1, padded.size());
  ConsoleWrite(padded);
}

void ValueLine(const std::string& label, const std::string& value) {
  ValueLabel(label);
  ConsoleLine("\"" + PrintableName(value) + "\"");
}

int ConsoleColumn() { return gColumn; }

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }
bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

int ConsoleWidth() { return TerminalColumns(STDOUT_FILENO); }

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
  FlushStdout();
  // The wait lets a user read the screen before a window closes; a log going to a
  // file or a pipe needs none.
  if (!StdinIsTerminal() || !StdoutIsTerminal()) return;
  RawTerminal raw;
  while (PollKey(500) == kNoKey) {
  }
}

int AskChoice(const std::string& question, const std::string& choices, int fallback) {
  // A question is always seen, also among the lines a batch holds back.
  const bool quiet = gQuiet;
  gQuiet = false;
  const int answer = AskChoiceAloud(question, choices, fallback);
  gQuiet = quiet;
  return answer;
}

void ConsoleQuiet(bool quiet) { gQuiet = quiet; }

namespace {

int AskChoiceAloud(const std::string& question, const std::string& choices, int fallback) {
  std::vector<std::string> answers = SplitChoices(choices);
  std::string shown;
  for (size_t i = 0; i < answers.size(); ++i) shown += (i ? "/" : "") + answers[i];
  int start = ConsoleColumn();
  std::string prompt = PrintableName(question) + "? [" + shown + "]";
  ConsoleWrite(prompt);
  FlushStdout();
  // Keys from a terminal while the log goes to a file: the question is also shown
  // on the terminal, so that the user sees what is asked; the log stays as it is.
  const bool onStderr = !StdoutIsTerminal() && StdinIsTerminal() && isatty(STDERR_FILENO);
  if (onStderr) WriteStderr(prompt);

  int answer = ReadAnswer(answers, fallback);
  if (StdoutIsTerminal())
    EraseBack(start, Columns(prompt));
  else
    ConsoleLine("");
  if (onStderr) WriteStderr(EraseMoves(0, Columns(prompt), TerminalColumns(STDERR_FILENO)));
  FlushStdout();
  return answer;
}

}  // namespace
