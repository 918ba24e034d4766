// The converter's text rules: its files are built in memory as raw 8-bit text,
// every line ended with CR LF, integers in plain decimal, and written once; names
// are trimmed of blanks (spaces only) and change case byte by byte, A-Z only.
#ifndef CORVANE_TEXT_BUILDER_H
#define CORVANE_TEXT_BUILDER_H

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

// `text` without the spaces (and only spaces) at either end.
inline std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

#endif
