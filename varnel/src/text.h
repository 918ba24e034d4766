// Small text rules shared by the loaders: blanks are spaces only, names of files
// are lower-cased byte by byte in the user's locale, frame names A-Z only.
//
// The converter keeps its own copy of the blank and frame-name rules (its
// text_rules.h): the library exports nothing beyond its manual, varnel.h. The two
// must stay alike, so that a frame name matches in both or in neither.
#ifndef VARNEL_TEXT_H
#define VARNEL_TEXT_H

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

}  // namespace vnl

#endif
