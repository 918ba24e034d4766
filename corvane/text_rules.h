// The converter's text rules: its files are built in memory as raw 8-bit text,
// every line ended with CR LF, integers in plain decimal, and written once; names
// are trimmed of blanks (spaces only) and change case byte by byte, A-Z only.
// Names read from files reach the console and our files through PrintableName.
//
// The library keeps its own copy of the blank and frame-name rules (its
// src/text.h), as it exports nothing beyond its manual: the two must stay alike,
// so that a frame name matches in both or in neither.
#ifndef CORVANE_TEXT_RULES_H
#define CORVANE_TEXT_RULES_H

#include <cctype>
#include <charconv>
#include <cstdint>
#include <string>
#include <type_traits>

// Appends an integer in plain decimal (a minus sign for negatives, nothing else).
template <typename Integer>
inline void AppendInt(std::string& out, Integer value) {
  static_assert(std::is_integral<Integer>::value, "integers only");
  char digits[24];
  auto done = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, done.ptr);
}

// Ends the current line.
inline void EndLine(std::string& out) { out.append("\r\n", 2); }

// Appends `text` and ends the line.
inline void AppendLine(std::string& out, const std::string& text) {
  out += text;
  EndLine(out);
}

// A byte-by-byte upper-case copy: a-z become A-Z, every other byte is kept.
inline std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// A byte-by-byte lower-case copy: A-Z become a-z, every other byte is kept.
inline std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// Appends blanks up to column `width` of a field of which `used` columns are taken.
inline void AppendBlanks(std::string& out, size_t width, size_t used) {
  if (used < width) out.append(width - used, ' ');
}

// `text` without the spaces (and only spaces) at either end.
inline std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// `text` with every control byte (below 0x20, and 0x7F) shown as '?'. Names come
// from files we do not control: a frame named with an escape sequence must not
// drive the terminal, and a line end inside a name must not start a new line of
// an OBJ, MTL or report. Names without control bytes come back unchanged.
inline std::string PrintableName(std::string text) {
  for (char& c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return text;
}

// PrintableName for a text between double quotes (ASE strings): a double quote
// inside would end the string early, so it becomes a single quote.
inline std::string QuotableName(const std::string& text) {
  std::string shown = PrintableName(text);
  for (char& c : shown)
    if (c == '"') c = '\'';
  return shown;
}

// A name's own part, without its folders ("\" or "/").
inline std::string WithoutFolder(const std::string& name) {
  size_t slash = name.find_last_of("\\/");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// A file's own name less its four-character extension (".gltf", the one longer
// ending a source may have, less all five); "" when nothing is left.
inline std::string BaseNameOf(const std::string& path) {
  std::string name = WithoutFolder(path);
  size_t ending = 4;
  if (name.size() > 5) {
    std::string last = name.substr(name.size() - 5);
    for (char& c : last) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (last == ".gltf") ending = 5;
  }
  return name.size() > ending ? name.substr(0, name.size() - ending) : "";
}

// The game's 8-bit names as JSON text: each byte is the Latin-1 character of its
// value, so every name is valid UTF-8 and its bytes can be told back.
inline std::string Latin1ToUtf8(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text.push_back(c);
    } else {
      text.push_back(char(0xC0 | (byte >> 6)));
      text.push_back(char(0x80 | (byte & 0x3F)));
    }
  }
  return text;
}

#endif
