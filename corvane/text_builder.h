// Building the converter's text files in memory: raw 8-bit text, every line ended
// with CR LF, integers in plain decimal. The whole file is built in one string and
// written once.
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

#endif
