// Shared setup of the model writer tests: a model in a run's state, the names the
// writers read, the files' lines, and an answer for the replace prompt.
#ifndef TESTS_CORVANE_WRITER_FIXTURE_H
#define TESTS_CORVANE_WRITER_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "builders.h"
#include "files.h"
#include "state.h"

namespace writertest {

// Loads a model file's bytes into state.item.model (releasing a model loaded before).
inline int32_t LoadModel(ConverterState& state, const testdata::Bytes& bytes) {
  vnlModelKill(state.item.model);
  uint8_t* block = const_cast<uint8_t*>(bytes.data());
  uint32_t length = uint32_t(bytes.size());
  return vnlModelLoad(block, length, state.item.model);
}

// The names the writers read, as the option handlers would have stored them.
inline void SetNames(ConverterState& state, const std::string& dstFile, const std::string& modelFile,
                     const std::string& baseName, const std::string& frameName, const std::string& imageExt = "tga") {
  state.options.dstFile = dstFile;
  state.options.modelFile = modelFile;
  state.options.baseName = baseName;
  state.item.frameName = frameName;
  state.options.imageExt = imageExt;
}

// A loaded-looking record filled by hand, for shapes the file builder cannot
// reach cheaply (many skins, high vertex indices, chosen float values). Arrays
// come from calloc so that vnlModelKill releases them. One frame, named "base".
inline void HandModel(ConverterState& state, uint16_t vertexCount, uint32_t seamCount, uint16_t triangleCount,
                      uint16_t skinCount, uint16_t skinExtra) {
  vnlModelKill(state.item.model);
  VNLMODEL_T& m = state.item.model;
  const uint32_t n = uint32_t(vertexCount) + seamCount;
  m.vertexCount = vertexCount;
  m.seamCount = seamCount;
  m.triangleCount = triangleCount;
  m.skinCount = skinCount;
  m.skinExtra = skinExtra;
  m.frameCount = 1;
  m.skins = static_cast<VNLPICTURE_T*>(calloc(size_t(skinCount) + skinExtra, sizeof(VNLPICTURE_T)));
  m.frameNames = static_cast<char(*)[16]>(calloc(1, 16));
  std::memcpy(m.frameNames[0], "base", 4);
  m.frameGroup = static_cast<uint8_t*>(calloc(1, 1));
  m.triangles = static_cast<VNLTRIANGLE_T*>(calloc(triangleCount, sizeof(VNLTRIANGLE_T)));
  m.seamIndex = static_cast<uint32_t*>(calloc(n, sizeof(uint32_t)));
  m.skinCoords = static_cast<VNLVEC3_T*>(calloc(n, sizeof(VNLVEC3_T)));
  m.frameVertices = static_cast<VNLVEC3_T*>(calloc(n, sizeof(VNLVEC3_T)));
}

// The lines joined into file text, each ended with CR LF.
inline std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The lines of a file whose every line ends with CR LF; a stray CR or LF, or a
// last line without its end, fails the test.
inline std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "last line has no CR LF: " << text.substr(start);
      break;
    }
    std::string line = text.substr(start, end - start);
    if (line.find_first_of("\r\n") != std::string::npos) ADD_FAILURE() << "bare CR or LF in: " << line;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

inline size_t CountStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  size_t count = 0;
  for (const std::string& line : lines)
    if (line.compare(0, prefix.size(), prefix) == 0) ++count;
  return count;
}

// Makes `folder` the current folder for the life of the object: writers name
// skin images relative to it.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) {
    if (getcwd(saved_, sizeof saved_) == nullptr || chdir(folder.c_str()) != 0)
      ADD_FAILURE() << "cannot enter " << folder;
  }
  ~InFolder() {
    if (chdir(saved_) != 0) ADD_FAILURE() << "cannot go back to " << saved_;
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  char saved_[4096] = {};
};

// Puts `answers` on standard input for the life of the object, so that a replace
// prompt reads them instead of waiting for a key; the end of them reads as the
// end of input.
class StdinFeed {
 public:
  explicit StdinFeed(const std::string& answers) {
    int ends[2];
    if (pipe(ends) != 0) return;
    ssize_t written = write(ends[1], answers.data(), answers.size());
    (void)written;
    close(ends[1]);
    saved_ = dup(STDIN_FILENO);
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
  }
  ~StdinFeed() {
    if (saved_ < 0) return;
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }
  StdinFeed(const StdinFeed&) = delete;
  StdinFeed& operator=(const StdinFeed&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace writertest

#endif
