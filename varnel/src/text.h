// Small text rules shared by the loaders: blanks are spaces only, lower-casing
// follows the user's locale byte by byte.
#ifndef VARNEL_TEXT_H
#define VARNEL_TEXT_H

#include <string>

namespace vnl {

// Removes spaces (and nothing else) at both ends.
std::string TrimBlanks(const std::string& text);
// Lower-cases byte by byte with the current C locale; A-Z always become a-z.
std::string LowerCase(const std::string& text);
// Every control byte (below 0x20, and 0x7F) shown as '?': text from a file that
// goes to the console must not carry terminal escape sequences or line ends.
std::string Printable(const std::string& text);

}  // namespace vnl

#endif
