// Text index keys in the "General" sort orders: Jet 4's (sort order 1033, version 0), the
// order Access 2000-2003 gives text and memo columns by default, and Access 97's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace jet {

// Access indexes only this many leading characters (UTF-16 units) of a text or memo value.
inline constexpr size_t kMaxIndexedTextChars = 255;

// How the positions in a Jet 4 key count a letter that sorts as several (ß as ss): once for each
// letter, as Access 2000 stores it and this engine writes; or once, as keys of some Access files
// made later have it, which the check accepts too.
enum class Expansions { kEachLetter, kOnce };

// Appends the Jet 4 key bytes of a non-null text value (UTF-8), without the leading flag byte.
// Trailing blanks do not count. Raises kInvalidArgument for broken UTF-8.
void appendGeneralTextKey(std::string& out, std::string_view utf8, bool ascending,
                          Expansions expansions = Expansions::kEachLetter);
// Whether the value holds a letter that sorts as several, whose key the two counts differ on.
bool hasSortExpansion(std::string_view utf8);

// The same for a column of an Access 97 file, whose text is in code page 1252.
void appendGeneral97TextKey(std::string& out, std::string_view utf8, bool ascending);
// Appends the bytes that the key of `utf8` starts with, and so does the key of every text that
// differs from it only in letter case, accents or unprintable characters: the inline codes
// and (Jet 4) the byte that closes them.
void appendGeneralTextKeyStart(std::string& out, std::string_view utf8, bool ascending);
// The same for a column of an Access 97 file.
void appendGeneral97TextKeyStart(std::string& out, std::string_view utf8, bool ascending);

}  // namespace jet
