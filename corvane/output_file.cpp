#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// Creates a unique temporary file beside `path`; returns its descriptor and name.
int MakeTemporary(const std::string& path, std::string& tempPath) {
  std::string folder = FolderOf(path);
  std::vector<char> pattern(folder.begin(), folder.end());
  const std::string tail = "/.corvane-XXXXXX";
  pattern.insert(pattern.end(), tail.begin(), tail.end());
  pattern.push_back('\0');
  int fd = mkstemp(pattern.data());
  if (fd >= 0) {
    fchmod(fd, 0666 & ~CurrentUmask());  // mkstemp makes 0600; outputs get the usual mode
    tempPath = pattern.data();
  }
  return fd;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t done = ::write(fd, bytes, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    bytes += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

}  // namespace

std::string HostPath(const std::string& name) {
  std::string path = name;
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

bool OutputExists(const std::string& name) {
  struct stat info;
  return !name.empty() && stat(HostPath(name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool RemoveOutput(const std::string& name) { return std::remove(HostPath(name).c_str()) == 0; }

bool WriteOutput(const std::string& name, const void* data, size_t size) {
  if (name.empty()) return false;
  std::string path = HostPath(name);
  std::string temp;
  int fd = MakeTemporary(path, temp);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data, size);
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool WriteOutputVia(const std::string& name, const std::function<bool(const std::string& tempPath)>& produce) {
  if (name.empty()) return false;
  std::string path = HostPath(name);
  std::string temp;
  int fd = MakeTemporary(path, temp);
  if (fd < 0) return false;
  ::close(fd);
  bool ok = produce(temp);
  struct stat info;
  ok = ok && stat(temp.c_str(), &info) == 0 && info.st_size > 0;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}
