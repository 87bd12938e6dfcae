// Text as Jet stores it: UTF-16LE in Jet 4 (optionally with Unicode compression), code page 1252 in Jet 3.
// Everything above the engine sees UTF-8.
#pragma once

#include <string>

#include "jet/base/bytes.h"

namespace jet {

// Jet 4 text is UTF-16 that Access does not check: a surrogate without its partner reads as the
// three-byte form of its own number (as WTF-8 has it), and is stored again as that one unit.
std::string utf16leToUtf8(Bytes b);
// Converts UTF-8 to UTF-16LE; broken sequences become U+FFFD.
std::string utf8ToUtf16le(const std::string& s);
// The UTF-16 units that storable text (isStorableText) takes.
size_t utf16Length(const std::string& utf8);
// Whether `s` is text a row can store: well-formed UTF-8 (no overlong forms, no code points past
// U+10FFFF), where the three-byte forms of surrogates stand for the lone units read back.
bool isStorableText(const std::string& s);
std::string cp1252ToUtf8(const std::string& s);
// The code page 1252 byte of a character, or -1 when that code page has no place for it.
int cp1252Byte(char32_t c);
std::u32string utf8ToUtf32(const std::string& s);
std::string utf32ToUtf8(const std::u32string& s);

// A stored Jet 4 text value (compressed when it starts with FF FE).
std::string decodeJet4Text(Bytes b);
// Encodes a text value for a Jet 4 column; compresses when asked and every character allows it.
std::string encodeJet4Text(const std::string& utf8, bool compress);
void appendJet4Text(std::string& out, const std::string& utf8, bool compress);

// Letter case folded the way Jet compares names and text (Latin-1 letters and ASCII).
std::string foldCase(const std::string& utf8);

}  // namespace jet
