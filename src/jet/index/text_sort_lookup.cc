// Reads the packed sort-code tables of text_sort_general_table.cc.
//
// Every character has a record: a header byte (kind in the low four bits, inline length * 3 +
// extra length in the high four), its inline bytes, then its extra bytes. Kind 8 stands for a
// simple character whose inline code is the previous one plus one. Records are read from the
// start of their block of 32 characters; the first 256 are decoded once and kept.

#include <algorithm>
#include <iterator>

#include "jet/index/text_sort_general_table.h"

namespace jet {
namespace {

constexpr unsigned kBlock = 32;
constexpr uint8_t kNext = 8;

SortCode decode(const unsigned char* codes, const uint32_t* blocks, unsigned index) {
  const unsigned char* p = codes + blocks[index / kBlock];
  SortCode code;
  for (unsigned i = index - index % kBlock;; ++i) {
    const uint8_t header = *p++;
    if ((header & 0x0F) == kNext) {
      // The previous record was simple: its inline code, big-endian, plus one.
      for (int k = code.inlineSize - 1; k >= 0; --k) {
        if (++code.inline_[k] != 0) break;
      }
    } else {
      code = SortCode{};
      code.kind = static_cast<SortCode::Kind>(header & 0x0F);
      code.inlineSize = static_cast<uint8_t>((header >> 4) / 3);
      code.extraSize = static_cast<uint8_t>((header >> 4) % 3);
      std::copy(p, p + code.inlineSize, code.inline_);
      p += code.inlineSize;
      std::copy(p, p + code.extraSize, code.extra);
      p += code.extraSize;
    }
    if (i == index) return code;
  }
}

// The first 256 records of a table, decoded once: nearly all text keys are made of these.
struct First256 {
  SortCode codes[256];
  First256(const unsigned char* packed, const uint32_t* blocks) {
    for (unsigned i = 0; i < 256; ++i) codes[i] = decode(packed, blocks, i);
  }
};

}  // namespace

SortCode generalSortCode(char16_t ch) {
  static const First256 first(sort_tables::kGeneralCodes, sort_tables::kGeneralBlocks);
  if (ch < 256) return first.codes[ch];
  return decode(sort_tables::kGeneralCodes, sort_tables::kGeneralBlocks, ch);
}

SortCode general97SortCode(uint8_t byte) {
  static const First256 all(sort_tables::kGeneral97Codes, sort_tables::kGeneral97Blocks);
  return all.codes[byte];
}

uint8_t general97Byte(char32_t ch) {
  if (ch <= 0xFF) return static_cast<uint8_t>(ch);
  const auto* begin = std::begin(sort_tables::kGeneral97Mappings);
  const auto* end = std::end(sort_tables::kGeneral97Mappings);
  const auto* it = std::lower_bound(begin, end, ch, [](const sort_tables::General97Mapping& m, char32_t c) {
    return m.codePoint < c;
  });
  return it != end && it->codePoint == ch ? it->byte : 0;
}

}  // namespace jet
