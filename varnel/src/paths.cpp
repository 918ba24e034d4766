// Path cleaning and extension forcing.
#include <cctype>
#include <cstring>
#include <vector>

#include "text.h"
#include "varnel/varnel.h"

namespace vnl {

std::string_view TrimmedView(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string TrimBlanks(const std::string& text) { return std::string(TrimmedView(text)); }

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return text;
}

std::string LowerCase(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 'A' && byte <= 'Z')
      c = char(byte - 'A' + 'a');
    else
      c = char(std::tolower(byte));
  }
  return result;
}

std::string Printable(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return result;
}

size_t CopyOut(const std::string& text, char* out, size_t capacity) {
  if (out != nullptr && capacity > 0) {
    const size_t count = text.size() < capacity ? text.size() : capacity - 1;
    std::memcpy(out, text.data(), count);
    out[count] = '\0';
  }
  return text.size();
}

}  // namespace vnl

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Splits into components, resolving "." and ".." as they come. A ".." cancels the
// slot before it (even an empty one) unless that slot is itself "..".
std::vector<std::string> CollectSlots(const std::string& path) {
  std::vector<std::string> slots(1);
  for (char c : path) {
    if (!IsSeparator(c)) {
      slots.back() += c;
      continue;
    }
    std::string& slot = slots.back();
    slot = vnl::TrimBlanks(slot);
    if (slot == ".") {
      slot.clear();
    } else if (slot == ".." && slots.size() > 1 && slots[slots.size() - 2] != "..") {
      slots.pop_back();
      slots.back().clear();
    } else {
      slots.emplace_back();
    }
  }
  return slots;
}

// True when cleaning would change nothing but the separators: no blanks, no
// empty, "." or ".." component, no separator at either end. Nearly every name
// is like that (all the member names of a real pack), and such names skip the
// component walk, which allocates for every component.
bool IsPlainPath(const std::string& path) {
  if (path.empty() || IsSeparator(path.front()) || IsSeparator(path.back())) return false;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i])) {
      if (path[i] == ' ') return false;
      continue;
    }
    size_t length = i - start;
    if (length == 0) return false;
    if (path[start] == '.' && (length == 1 || (length == 2 && path[start + 1] == '.'))) return false;
    start = i + 1;
  }
  return true;
}

}  // namespace

void vnl::CleanPath(std::string& path, int32_t fileFlag) {
  if (IsPlainPath(path)) {
    for (char& c : path)
      if (c == '/') c = '\\';
    if (fileFlag == 0) path += '\\';
    return;
  }
  if (vnl::TrimBlanks(path).empty()) {
    path.clear();
    return;
  }
  // A leading separator makes the path absolute on this platform: keep that root,
  // and let no ".." climb above it.
  std::string work = vnl::TrimBlanks(path);
  bool rooted = IsSeparator(work.front());
  if (!IsSeparator(work.back())) work += '/';

  std::vector<std::string> slots = CollectSlots(work);
  std::string joined;
  size_t first = 0;
  if (rooted) {
    while (first < slots.size() && (slots[first].empty() || slots[first] == "..")) ++first;
  }
  for (size_t i = first; i < slots.size(); ++i)
    if (!slots[i].empty() && slots[i] != ".") joined += slots[i] + "\\";
  if (rooted) joined.insert(joined.begin(), '\\');
  if (fileFlag != 0 && !joined.empty()) joined.pop_back();
  path = vnl::TrimBlanks(joined);
}

void vnl::ForceType(std::string& path, std::string& extensions) {
  CleanPath(path, 1);
  extensions = vnl::LowerCase(vnl::TrimBlanks(extensions));
  if (path.empty()) return;
  size_t dot = path.rfind('.');
  std::string tail = vnl::LowerCase(dot == std::string::npos ? path : path.substr(dot));
  if (dot != std::string::npos && extensions.find(tail) != std::string::npos) return;
  size_t blank = extensions.find(' ');
  path += blank == std::string::npos ? extensions : extensions.substr(0, blank);
}

size_t vnlCleanPath(const char* path, int32_t fileFlag, char* out, size_t capacity) {
  std::string text = path != nullptr ? path : "";
  vnl::CleanPath(text, fileFlag);
  return vnl::CopyOut(text, out, capacity);
}

size_t vnlForceType(const char* path, const char* extensions, char* out, size_t capacity) {
  std::string text = path != nullptr ? path : "";
  std::string list = extensions != nullptr ? extensions : "";
  vnl::ForceType(text, list);
  return vnl::CopyOut(text, out, capacity);
}
