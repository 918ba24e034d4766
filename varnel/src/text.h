// Small text rules shared by the loaders: blanks are spaces only, names of files
// are lower-cased byte by byte in the user's locale, frame names A-Z only.
//
// The converter keeps its own copy of the blank and frame-name rules (its
// text_rules.h): the library exports nothing beyond its manual, varnel.h. The two
// must stay alike, so that a frame name matches in both or in neither.
#ifndef VARNEL_TEXT_H
#define VARNEL_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vnl {

// `text` without the spaces (and only spaces) at either end.
std::string_view TrimmedView(std::string_view text);
// TrimmedView as a string of its own.
std::string TrimBlanks(const std::string& text);
// Lower-cases byte by byte with the current C locale; A-Z always become a-z.
std::string LowerCase(const std::string& text);
// Lower-cases byte by byte, A-Z only, whatever the locale: frame names.
std::string LowerAscii(std::string text);
// Every control byte (below 0x20, and 0x7F) shown as '?': text from a file that
// goes to the console must not carry terminal escape sequences or line ends.
std::string Printable(const std::string& text);

// What vnlCleanPath and vnlForceType do, on strings: the library's own callers
// clean names in place.
void CleanPath(std::string& path, int32_t fileFlag);
void ForceType(std::string& path, std::string& extensions);

// Copies `text` into the caller's buffer as much as fits, always terminated when
// capacity is not 0; returns the length the whole text needs (as snprintf does).
size_t CopyOut(const std::string& text, char* out, size_t capacity);

}  // namespace vnl

#endif
