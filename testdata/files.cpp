#include "files.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testdata {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "varnel-test-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  path_ = made ? made : "";
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WriteText(const std::string& path, const std::string& text) {
  return WriteFile(path, Bytes(text.begin(), text.end()));
}

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string CorpusDir() {
  std::error_code ignored;
  std::string dir = VARNEL_CORPUS_DIR;
  if (std::filesystem::is_directory(dir, ignored)) return std::filesystem::canonical(dir, ignored).string();
  return "";
}

std::string CorpusFile(const std::string& relative) {
  std::string dir = CorpusDir();
  if (dir.empty()) return "";
  std::string path = dir + "/" + relative;
  return FileExists(path) ? path : "";
}

std::vector<std::string> CorpusModels() {
  std::vector<std::string> models;
  const std::string dir = CorpusDir() + "/progs";
  if (CorpusDir().empty() || !std::filesystem::is_directory(dir)) return models;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".mdl") models.push_back(entry.path().string());
  std::sort(models.begin(), models.end());
  return models;
}

int RunCommand(const std::string& command, std::string* output, bool mergeStderr) {
  std::string full = mergeStderr ? "(" + command + ") 2>&1" : command;
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    if (output) output->append(buffer, got);
  int status = pclose(pipe);
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace testdata
