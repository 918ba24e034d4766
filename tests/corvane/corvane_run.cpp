#include "corvane_run.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "builders.h"

extern char** environ;

namespace corvane_test {

namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string DropBanner(const std::string& out) {
  const std::string banner = ExpectedBanner();
  return out.compare(0, banner.size(), banner) == 0 ? out.substr(banner.size()) : "";
}

}  // namespace

std::string CorvaneCommand(const std::vector<std::string>& args) {
  std::string command = Quote(CORVANE_BIN);
  for (const std::string& arg : args) command += " " + Quote(arg);
  return command;
}

RunResult RunCorvaneWith(const std::string& folder, const Launch& launch) {
  const std::string feed = launch.closedInput ? "" : "printf '%s' " + Quote(launch.input) + " | ";
  const std::string tail = launch.closedInput ? " < /dev/null" : "";
  const std::string environment = launch.environment.empty() ? "" : launch.environment + " ";
  RunResult result;
  result.code = testdata::RunCommand("cd " + Quote(folder) + " && { " + launch.before + " " + feed + environment +
                                         CorvaneCommand(launch.args) + tail + " " + launch.redirect + "; }",
                                     &result.out, true);
  result.after = DropBanner(result.out);
  return result;
}

int SpawnCorvane(const std::string& folder, const std::vector<std::string>& args, int in, int out, int err,
                 struct rusage* usage) {
  std::vector<std::string> words = args;
  words.insert(words.begin(), CORVANE_BIN);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const int streams[] = {in, out, err};
  for (int target = 0; target < 3; ++target)
    if (streams[target] >= 0) posix_spawn_file_actions_adddup2(&actions, streams[target], target);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, CORVANE_BIN, &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = -1;
  struct rusage own {};
  if (wait4(pid, &status, 0, usage != nullptr ? usage : &own) != pid) return -1;
  return status;
}

RunResult RunCorvane(const std::string& folder, const std::vector<std::string>& args, const std::string& input,
                     bool closedInput) {
  Launch launch;
  launch.args = args;
  launch.input = input;
  launch.closedInput = closedInput;
  return RunCorvaneWith(folder, launch);
}

RunResult RunCorvaneOnTerminal(const std::string& folder, const std::vector<std::string>& args,
                               const std::string& input, const std::string& redirect) {
  // `script` gives the program a terminal for stdin and stdout and copies what it
  // is typed from its own stdin. The keys come after a pause, once the prompt waits.
  std::string inner = "cd " + Quote(folder) + " && stty cols 80 && " + CorvaneCommand(args) + " " + redirect;
  std::string command =
      "(sleep 1; printf '%s' " + Quote(input) + "; sleep 1) | script -qefc " + Quote(inner) + " /dev/null";
  RunResult result;
  result.code = testdata::RunCommand(command, &result.out, true);
  return result;
}

int RunCorvaneOnIdleTerminal(const std::string& folder, const std::vector<std::string>& args,
                             const std::string& redirect) {
  // script's stdin stays open (an end would reach the program as a key) and silent.
  std::string inner = "cd " + Quote(folder) + " && " + CorvaneCommand(args) + " " + redirect;
  return testdata::RunCommand("{ sleep 6 2>/dev/null & } | timeout 4 script -qefc " + Quote(inner) +
                              " /dev/null >/dev/null");
}

RunResult RunCorvaneRedirected(const std::string& folder, const std::vector<std::string>& args,
                               const std::string& redirect) {
  RunResult result;
  result.code = testdata::RunCommand("cd " + Quote(folder) + " && timeout 10 " + CorvaneCommand(args) + " " + redirect,
                                     &result.out, true);
  result.after = DropBanner(result.out);
  return result;
}

bool HaveScript() { return testdata::RunCommand("script -qefc true /dev/null </dev/null >/dev/null 2>&1") == 0; }

std::string ExpectedBanner() {
  std::string rule;
  for (int i = 0; i < 80; ++i) rule += "\xE2\x94\x80";  // U+2500, box drawings light horizontal
  return rule + "\n" + "  CORVANE Quake Model Converter   Version 1.5\n" + std::string(17, ' ') +
         "Free software, distributed under the terms it came with.\n" +
         " One hundred bucks to whoever recognize the layout I'm shamelessly ripping off.\n" + rule + "\n";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

size_t Count(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
  return count;
}

void WriteModelAndPalette(const testdata::TempDir& folder) {
  testdata::WriteFile(folder.file("m.mdl"), testdata::BuildModel(testdata::SmallModel()));
  testdata::WriteFile(folder.file("pal.lmp"), testdata::DistinctPalette());
}

}  // namespace corvane_test
