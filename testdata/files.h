// File helpers for tests: temporary folders, whole-file reads and writes, the
// shared corpus of real assets (absent on most machines: tests then skip).
#ifndef TESTDATA_FILES_H
#define TESTDATA_FILES_H

#include <string>
#include <vector>

#include "bytes.h"

namespace testdata {

// A fresh folder under the system temp folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

Bytes ReadFile(const std::string& path);
std::string ReadText(const std::string& path);
bool WriteFile(const std::string& path, const Bytes& bytes);
bool WriteText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// The corpus folder, or "" when it is not there.
std::string CorpusDir();
// `relative` inside the corpus, or "" when the corpus or the file is missing.
std::string CorpusFile(const std::string& relative);
// The corpus's progs/*.mdl in name order, or none when the corpus is missing.
std::vector<std::string> CorpusModels();

// Runs `command` through the shell; returns its exit status (or -1) and fills `output`
// with its stdout (and stderr when `mergeStderr`).
int RunCommand(const std::string& command, std::string* output = nullptr, bool mergeStderr = false);

}  // namespace testdata

// Skips the current test when the corpus is absent.
#define SKIP_WITHOUT_CORPUS()                                                \
  do {                                                                       \
    if (::testdata::CorpusDir().empty()) GTEST_SKIP() << "no shared corpus"; \
  } while (0)

#endif
