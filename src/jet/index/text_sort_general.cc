// Text index keys in the "General" sort orders.
//
// Both start from the first 255 UTF-16 units of the value with trailing blanks (U+0020) left
// out, so 'x', 'x ' and 'x  ' have one key, and give each character its codes from the tables.
//
// Jet 4. A key body has up to four sections:
//   inline codes   one code per sortable character (case folded, accents stripped), closed by 01;
//   accent codes   one byte per inline character, 02 for "no accent", trailing 00..02 bytes
//                  dropped; a character of kind kUnprintableExt adds its modifier to the last
//                  accent byte instead (or starts the section with it);
//   markers        after 01 01: two bits (2 or 3) per character of the kInternationalExt kinds,
//                  trailing 3s dropped, three to a byte whose top bits are 10, closed by
//                  FF 02 80 FF 80 (and FF when unprintables follow);
//   unprintables   after 01 (01 01 01 without markers): per character a big-endian word
//                  8000 | (7 + 4 * slot), the byte 06 and the character's code.
// The key closes with 00. A descending column stores all of it inverted (the closing 00
// becoming FF) followed by one more 00. Surrogates have computed inline codes and accent 3F.
// Positions (accent bytes, unprintable slots) count sort elements, not characters: a letter
// that sorts as several letters (ß as ss, æ as ae, the ligatures) takes a position for each.
//
// Access 97. Inline codes, then either 00 or a string of four-bit accent codes: 0, per accented
// character a 2 for every "significant" character since the last accent, then its accent, and
// a closing 0, padded to whole bytes. A character that sorts as several letters (ß as ss) counts
// once for each significant letter among them. The byte 00 has code 10, as the other control
// characters but tab have (Jet 4 keys leave U+0000 out). A descending column stores all of it
// inverted.

#include "jet/index/text_sort_general.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "jet/base/error.h"
#include "jet/index/text_sort_general_table.h"

namespace jet {
namespace {

using Kind = SortCode::Kind;

constexpr char kEndInline = 0x01;
constexpr char kEndKey = 0x00;
constexpr uint8_t kNoAccent = 0x02;
constexpr char kUnprintableMark = 0x06;
constexpr uint8_t kSurrogateAccent = 0x3F;
constexpr uint8_t kMarkerStart = 0x80;
constexpr uint8_t kMarkerTrimmed = 0x03;
constexpr char kMarkerSuffix[] = {'\xFF', '\x02', '\x80', '\xFF', '\x80'};
constexpr char kMarkerUnprintableSuffix = '\xFF';

[[noreturn]] void badUtf8() {
  throw Error(err::kInvalidArgument, "Text value for an index key is not valid UTF-8.");
}

// The UTF-16 units of the value that take part in its key.
std::u16string keyUnits(std::string_view s) {
  std::u16string out;
  size_t i = 0;
  while (i < s.size() && out.size() < kMaxIndexedTextChars) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra;
    char32_t ch;
    if (b0 < 0x80) {
      extra = 0;
      ch = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      extra = 1;
      ch = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2;
      ch = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3;
      ch = b0 & 0x07;
    } else {
      badUtf8();
    }
    if (i + extra >= s.size()) badUtf8();
    for (int k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) badUtf8();
      ch = (ch << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (ch < kMin[extra] || ch > 0x10FFFF) badUtf8();  // a lone surrogate is keyed as its unit
    if (ch >= 0x10000) {
      const char32_t v = ch - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));  // may fall past the limit
    } else {
      out.push_back(static_cast<char16_t>(ch));
    }
    i += extra + 1;
  }
  if (out.size() > kMaxIndexedTextChars) out.resize(kMaxIndexedTextChars);
  while (!out.empty() && out.back() == u' ') out.pop_back();
  return out;
}

// Surrogates are not in the tables: their inline codes follow from the unit itself.
SortCode surrogateCode(char16_t unit) {
  int code;
  if (unit < 0xDC00) {
    code = unit - 10238;
  } else {
    // Low surrogates step down by two after the first 8 units of each 1024 and then every 254.
    const int pos = (unit - 0xDC00) % 1024;
    const int offset = pos < 8 ? 9992 : pos < 8 + 254 ? 9990 : pos < 8 + 2 * 254 ? 9988 : pos < 8 + 3 * 254 ? 9986 : 9984;
    code = unit - offset;
  }
  SortCode c;
  c.kind = Kind::kInternational;
  c.inlineSize = 2;
  c.inline_[0] = static_cast<uint8_t>(code >> 8);
  c.inline_[1] = static_cast<uint8_t>(code & 0xFF);
  c.extraSize = 1;
  c.extra[0] = kSurrogateAccent;
  return c;
}

// The sort elements a Jet 4 code stands for: one, or one a letter where the character sorts as
// a run of Latin letters (whose codes lie from a to z).
size_t sortElements(const SortCode& code, Expansions expansions = Expansions::kEachLetter) {
  if (code.inlineSize < 2 || expansions == Expansions::kOnce) return 1;
  for (size_t i = 0; i < code.inlineSize; ++i) {
    if (code.inline_[i] < 0x4A || code.inline_[i] > 0x78) return 1;
  }
  return code.inlineSize;
}

// The Access 97 letters that may carry an accent (and so hold a place for one) among a code's
// inline bytes.
size_t significantLetters97(const SortCode& code) {
  static const std::array<bool, 256> significant = [] {
    std::array<bool, 256> s{};
    for (unsigned b = 0; b < 256; ++b) {
      const SortCode c = general97SortCode(uint8_t(b));
      if (c.kind == Kind::kSignificant && c.inlineSize == 1) s[c.inline_[0]] = true;
    }
    return s;
  }();
  size_t n = 0;
  for (size_t i = 0; i < code.inlineSize; ++i) n += significant[code.inline_[i]];
  return n;
}

// The Access 97 codes of a character of a key. The byte 00 takes the codes of 01, as Access 97
// stores it: the table gives it none, as characters the code page lacks come to it and count
// for nothing.
SortCode general97Code(char16_t unit) {
  return general97SortCode(unit == 0 ? uint8_t{0x01} : general97Byte(unit));
}

void invert(std::string& out, size_t start) {
  for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
}

void finish(std::string& out, size_t start, bool ascending) {
  if (!ascending) {
    out += kEndKey;
    invert(out, start);
  }
  out += kEndKey;
}

}  // namespace

bool hasSortExpansion(std::string_view utf8) {
  // Every letter that sorts as several lies beyond ASCII.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return false;
  for (char16_t unit : keyUnits(utf8)) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const SortCode code = generalSortCode(unit);
    if (code.kind != Kind::kUnprintable && code.kind != Kind::kUnprintableExt && sortElements(code) > 1) return true;
  }
  return false;
}

namespace {

void computeGeneralTextKey(std::string& out, std::string_view utf8, bool ascending, Expansions expansions) {
  const std::u16string units = keyUnits(utf8);
  const size_t start = out.size();

  std::string accents;
  size_t accentChars = 0;     // inline characters the accent section accounts for
  size_t accentPrefix = 0;    // a modifier that opened the accent section stands for no character
  bool anyAccent = false;
  std::string unprintables;
  std::vector<uint8_t> markers;
  size_t inlineChars = 0;

  for (char16_t unit : units) {
    const SortCode code = unit >= 0xD800 && unit <= 0xDFFF ? surrogateCode(unit) : generalSortCode(unit);
    const size_t at = inlineChars;
    switch (code.kind) {
      case Kind::kIgnored:
        continue;
      case Kind::kSimple:
      case Kind::kSignificant:
        out.append(reinterpret_cast<const char*>(code.inline_), code.inlineSize);
        inlineChars += sortElements(code, expansions);
        continue;
      case Kind::kInternational:
      case Kind::kInternationalExt2:
      case Kind::kInternationalExt3:
        out.append(reinterpret_cast<const char*>(code.inline_), code.inlineSize);
        inlineChars += sortElements(code, expansions);
        if (code.extraSize > 0) {
          anyAccent = true;
          if (accentChars < at) {
            accents.append(at - accentChars, static_cast<char>(kNoAccent));
            accentChars = at;
          }
          accents.append(reinterpret_cast<const char*>(code.extra), code.extraSize);
          accentChars = at + sortElements(code, expansions);
        }
        if (code.kind != Kind::kInternational) markers.push_back(code.kind == Kind::kInternationalExt2 ? 2 : 3);
        continue;
      case Kind::kUnprintableExt:
        anyAccent = true;
        if (accentChars < at) {
          accents.append(at - accentChars, static_cast<char>(kNoAccent));
          accentChars = at;
        }
        if (accents.empty()) {
          accents += static_cast<char>(code.inline_[0]);
          accentPrefix = 1;
        } else {
          accents.back() = static_cast<char>(static_cast<uint8_t>(accents.back()) + code.inline_[0]);
        }
        continue;
      case Kind::kUnprintable: {
        // The slot counts the accent bytes so far plus the characters since, as if the accent
        // section were complete up to here.
        const size_t slot = anyAccent ? accents.size() + (at - accentChars) - accentPrefix : at;
        const auto word = static_cast<uint16_t>(0x8000 | (7 + 4 * slot));
        unprintables += static_cast<char>(word >> 8);
        unprintables += static_cast<char>(word & 0xFF);
        unprintables += kUnprintableMark;
        unprintables.append(reinterpret_cast<const char*>(code.inline_), code.inlineSize);
        continue;
      }
    }
  }

  out += kEndInline;
  while (!accents.empty() && static_cast<uint8_t>(accents.back()) <= kNoAccent) accents.pop_back();
  out += accents;
  if (!markers.empty() || !unprintables.empty()) {
    out.append(2, kEndInline);
    if (!markers.empty()) {
      while (!markers.empty() && markers.back() == kMarkerTrimmed) markers.pop_back();
      for (size_t i = 0; i < markers.size(); i += 3) {
        uint8_t b = kMarkerStart;
        for (size_t k = 0; k < 3 && i + k < markers.size(); ++k) b = static_cast<uint8_t>(b | markers[i + k] << (2 * (2 - k)));
        out += static_cast<char>(b);
      }
      out.append(kMarkerSuffix, sizeof kMarkerSuffix);
      if (!unprintables.empty()) out += kMarkerUnprintableSuffix;
    }
    if (!unprintables.empty()) {
      out += kEndInline;
      out += unprintables;
    }
  }
  finish(out, start, ascending);
}

}  // namespace

// One change of many rows asks for the keys of the same few texts again and again (each row's
// old country and its new one): the keys of the last few short texts are kept.
void appendGeneralTextKey(std::string& out, std::string_view utf8, bool ascending, Expansions expansions) {
  struct Kept {
    std::string text, key;
    bool ascending = true;
    Expansions expansions = Expansions::kEachLetter;
  };
  constexpr size_t kKept = 4, kLongestKept = 64;
  thread_local std::array<Kept, kKept> kept;
  thread_local size_t next = 0;
  if (utf8.size() > kLongestKept) return computeGeneralTextKey(out, utf8, ascending, expansions);
  for (const Kept& k : kept) {
    if (k.ascending == ascending && k.expansions == expansions && k.text == utf8 && !k.key.empty()) {
      out += k.key;
      return;
    }
  }
  const size_t start = out.size();
  computeGeneralTextKey(out, utf8, ascending, expansions);
  Kept& k = kept[next];
  next = (next + 1) % kKept;
  k.text.assign(utf8);
  k.key.assign(out, start);
  k.ascending = ascending;
  k.expansions = expansions;
}

void appendGeneral97TextKey(std::string& out, std::string_view utf8, bool ascending) {
  const std::u16string units = keyUnits(utf8);
  const size_t start = out.size();

  std::vector<uint8_t> nibbles;
  size_t significant = 0;  // significant characters since the last accent
  for (char16_t unit : units) {
    const SortCode code = general97Code(unit);
    out.append(reinterpret_cast<const char*>(code.inline_), code.inlineSize);
    if (code.kind == Kind::kSignificant || code.kind == Kind::kSimple) {
      significant += significantLetters97(code);
    } else if (code.kind == Kind::kInternational) {
      if (nibbles.empty()) nibbles.push_back(0);
      nibbles.insert(nibbles.end(), significant, kNoAccent);
      nibbles.push_back(code.extra[0] & 0x0F);
      significant = 0;
    }
  }
  if (nibbles.empty()) {
    out += kEndKey;
  } else {
    nibbles.push_back(0);
    for (size_t i = 0; i < nibbles.size(); i += 2) {
      const uint8_t lo = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
      out += static_cast<char>(nibbles[i] << 4 | lo);
    }
  }
  if (!ascending) invert(out, start);
}

void appendGeneralTextKeyStart(std::string& out, std::string_view utf8, bool ascending) {
  const size_t start = out.size();
  for (char16_t unit : keyUnits(utf8)) {
    const SortCode code = unit >= 0xD800 && unit <= 0xDFFF ? surrogateCode(unit) : generalSortCode(unit);
    if (code.kind != Kind::kIgnored && code.kind != Kind::kUnprintable && code.kind != Kind::kUnprintableExt) {
      out.append(reinterpret_cast<const char*>(code.inline_), code.inlineSize);
    }
  }
  out += kEndInline;  // no inline code holds this byte
  if (!ascending) invert(out, start);
}

void appendGeneral97TextKeyStart(std::string& out, std::string_view utf8, bool ascending) {
  const size_t start = out.size();
  for (char16_t unit : keyUnits(utf8)) {
    const SortCode code = general97Code(unit);
    out.append(reinterpret_cast<const char*>(code.inline_), code.inlineSize);
  }
  if (!ascending) invert(out, start);
}

}  // namespace jet
