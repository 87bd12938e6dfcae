// Text index keys in the Jet 4 "General" sort order.
//
// A key body has up to three sections:
//   inline codes   one code per sortable character (case folded, accents stripped),
//                  closed by 0x01;
//   accent codes   one byte per inline character, 0x02 for "no accent", trailing
//                  0x00..0x02 bytes dropped; left out entirely when nothing is left;
//   unprintables   introduced by 01 01 01; per character a big-endian word
//                  0x8000 | (7 + 4 * slot), the byte 0x06 and the character's code.
// The key closes with 0x00. A descending column stores all of it inverted (the
// closing 0x00 becoming 0xFF) followed by one more 0x00.

#include "jet/text_sort_general.h"

#include <cstdint>
#include <cstdio>

#include "jet/error.h"
#include "jet/text_sort_general_table.h"

namespace jet {
namespace {

constexpr char kEndInline = 0x01;
constexpr char kEndKey = 0x00;
constexpr char kNoAccent = 0x02;
constexpr char kUnprintableMark = 0x06;

std::string describe(char32_t ch) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(ch));
  return buf;
}

[[noreturn]] void badUtf8() {
  throw Error(err::kInvalidArgument, "Text value for an index key is not valid UTF-8.");
}

// Decodes at most `limit` characters of UTF-8.
std::u32string decodeUtf8(std::string_view s, size_t limit) {
  std::u32string out;
  size_t i = 0;
  while (i < s.size() && out.size() < limit) {
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
    if (ch < kMin[extra] || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) badUtf8();
    out.push_back(ch);
    i += extra + 1;
  }
  return out;
}

}  // namespace

void appendGeneralTextKey(std::string& out, std::string_view utf8, bool ascending) {
  const std::u32string chars = decodeUtf8(utf8, kMaxIndexedTextChars);
  const size_t start = out.size();

  std::string accents;
  size_t accentChars = 0;  // inline characters the accent section accounts for
  std::string unprintables;
  size_t inlineChars = 0;

  for (char32_t ch : chars) {
    const GeneralSortCode* code = ch <= 0xFFFF ? generalSortCode(ch) : nullptr;
    if (code == nullptr) {
      throw Error(err::kNotSupported, "Cannot build an index key for text containing the character " +
                                          describe(ch) + ": it is not in the General sort order tables.");
    }
    switch (code->kind) {
      case GeneralSortCode::Kind::kIgnored:
        break;
      case GeneralSortCode::Kind::kSimple:
        out += code->code;
        ++inlineChars;
        break;
      case GeneralSortCode::Kind::kAccented:
        out += code->code;
        if (accentChars < inlineChars) {
          accents.append(inlineChars - accentChars, kNoAccent);
          accentChars = inlineChars;
        }
        accents += code->accent;
        ++accentChars;
        ++inlineChars;
        break;
      case GeneralSortCode::Kind::kUnprintable: {
        // The slot counts accent bytes written so far plus the plain characters
        // since, as if the accent section were complete up to here.
        const size_t slot = accents.size() + (inlineChars - accentChars);
        const auto word = static_cast<uint16_t>(0x8000 | (7 + 4 * slot));
        unprintables += static_cast<char>(word >> 8);
        unprintables += static_cast<char>(word & 0xFF);
        unprintables += kUnprintableMark;
        unprintables += code->code;
        break;
      }
    }
  }

  out += kEndInline;
  while (!accents.empty() && static_cast<unsigned char>(accents.back()) <= kNoAccent) accents.pop_back();
  out += accents;
  if (!unprintables.empty()) {
    out.append(3, kEndInline);
    out += unprintables;
  }

  if (!ascending) {
    out += kEndKey;
    for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
  }
  out += kEndKey;
}

void appendGeneralTextKeyStart(std::string& out, std::string_view utf8, bool ascending) {
  const size_t start = out.size();
  bool complete = true;
  for (char32_t ch : decodeUtf8(utf8, kMaxIndexedTextChars)) {
    const GeneralSortCode* code = ch <= 0xFFFF ? generalSortCode(ch) : nullptr;
    if (code == nullptr) {
      complete = false;
      break;
    }
    if (code->kind == GeneralSortCode::Kind::kSimple || code->kind == GeneralSortCode::Kind::kAccented) out += code->code;
  }
  if (complete) out += kEndInline;  // no inline code holds this byte
  if (!ascending) {
    for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
  }
}

}  // namespace jet
