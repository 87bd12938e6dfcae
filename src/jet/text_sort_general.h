// Text index keys in the Jet 4 "General" sort order (sort order 1033, version 0),
// the order Access 2000-2003 gives text and memo columns by default.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace jet {

// Access indexes only this many leading characters of a text or memo value.
inline constexpr size_t kMaxIndexedTextChars = 255;

// Appends the key bytes of a non-null text value (UTF-8), without the leading flag
// byte. Characters the sort tables do not cover raise kNotSupported.
void appendGeneralTextKey(std::string& out, std::string_view utf8, bool ascending);

// Appends the bytes that the key of `utf8` starts with, and so does the key of every text that
// differs from it only in letter case, accents or unprintable characters: the inline codes and
// their end, or, where a character is not in the tables, the codes of the characters before it.
void appendGeneralTextKeyStart(std::string& out, std::string_view utf8, bool ascending);

}  // namespace jet
