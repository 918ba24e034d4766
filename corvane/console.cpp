#include "console.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <vector>

#include "output_file.h"

namespace {

constexpr int kValueColumn = 12;  // values start in column 12, counting from 1

// Puts the terminal into raw mode for as long as the object lives.
class RawTerminal {
 public:
  RawTerminal() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_lflag &= ~(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }
  ~RawTerminal() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }

 private:
  termios saved_{};
  bool active_ = false;
};

// Reads one byte of stdin, waiting at most `timeoutMs`: the byte, -1 for none, -2 at end.
int ReadByte(int timeoutMs) {
  pollfd in{STDIN_FILENO, POLLIN, 0};
  int ready = poll(&in, 1, timeoutMs);
  if (ready <= 0) return -1;
  unsigned char byte;
  ssize_t got = read(STDIN_FILENO, &byte, 1);
  if (got == 0) return -2;
  if (got < 0) return -1;
  return byte;
}

std::vector<std::string> SplitChoices(std::string choices) {
  if (choices.empty()) choices = "Yes/No";
  if (choices.back() != '/') choices += '/';
  std::vector<std::string> answers;
  size_t start = 0;
  for (size_t slash; (slash = choices.find('/', start)) != std::string::npos; start = slash + 1)
    answers.push_back(choices.substr(start, slash - start));
  return answers;
}

int AnswerFor(const std::vector<std::string>& answers, int key) {
  for (size_t i = 0; i < answers.size(); ++i)
    if (!answers[i].empty() &&
        std::tolower(static_cast<unsigned char>(answers[i][0])) == std::tolower(key))
      return int(i) + 1;
  return 0;
}

}  // namespace

void ConsoleWrite(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void ConsoleLine(const std::string& text) {
  ConsoleWrite(text);
  std::fputc('\n', stdout);
}

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

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }
bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

int ConsoleWidth() {
  winsize size{};
  if (StdoutIsTerminal() && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void SetColour(int colour) {
  if (!StdoutIsTerminal()) return;
  static const int kAnsi[8] = {30, 34, 32, 36, 31, 35, 33, 37};  // console order: black, blue, green, ...
  int code = kAnsi[colour & 7] + ((colour & 8) ? 60 : 0);
  std::printf("\x1b[%dm", code);
}

int PollKey(int timeoutMs) {
  int key = ReadByte(timeoutMs);
  if (key != 0x1b) return key;
  while (ReadByte(10) >= 0) {
  }  // the rest of an escape sequence: an extended key, never an answer
  return -1;
}

void WaitKey() {
  if (!StdinIsTerminal()) return;
  std::fflush(stdout);
  RawTerminal raw;
  while (PollKey(200) == -1) {
  }
}

int AskChoice(const std::string& question, const std::string& choices, int fallback) {
  std::vector<std::string> answers = SplitChoices(choices);
  std::string shown;
  for (size_t i = 0; i < answers.size(); ++i) shown += (i ? "/" : "") + answers[i];
  ConsoleWrite(question + "? [" + shown + "]");
  std::fflush(stdout);

  int answer = 0;
  {
    RawTerminal raw;
    while (answer == 0) {
      int key = PollKey(200);
      if (key == -2) answer = fallback;  // end of input: nobody is there to answer
      else if (key >= 0) answer = AnswerFor(answers, key);
    }
  }
  if (StdoutIsTerminal()) {
    size_t blanks = question.size() + shown.size() + 1 + 4;
    ConsoleWrite("\r" + std::string(blanks, ' ') + "\r");
  } else {
    ConsoleLine("");
  }
  std::fflush(stdout);
  return answer;
}

int ConfirmReplace(const std::string& fileName, uint32_t* flagWord, uint32_t bit) {
  if (!OutputExists(fileName)) return 1;
  if (bit != 0 && (*flagWord & bit) != 0) return 1;
  switch (AskChoice("\"" + fileName + "\" already exists, replace", "Yes/No/Always")) {
    case 1:
      return 1;
    case 3:
      *flagWord |= bit;
      return 1;
    default:
      return 0;
  }
}
