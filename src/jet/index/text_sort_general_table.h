// Per-character codes of the "General" text sort orders: Jet 4 (1033, version 0) for the whole
// Basic Multilingual Plane, and Access 97 for the bytes of code page 1252. The tables are
// generated (text_sort_general_table.cc); only the text key encoders look at them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet {

struct SortCode {
  enum class Kind : uint8_t {
    kIgnored,            // contributes nothing to the key
    kSimple,             // `inline_` goes inline
    kInternational,      // `inline_` inline, `extra` into the accent section
    kUnprintable,        // nothing inline; `inline_` holds the code for the unprintable section
    kUnprintableExt,     // nothing inline; `inline_[0]` is added to the accent byte before it
    kInternationalExt2,  // like kInternational (the accent may be missing), marker code 2
    kInternationalExt3,  // the same with marker code 3
    kSignificant,        // Access 97: `inline_` inline, and a placeholder for a later accent
  };
  Kind kind = Kind::kIgnored;
  uint8_t inlineSize = 0;
  uint8_t extraSize = 0;
  uint8_t inline_[4] = {};
  uint8_t extra[2] = {};
};

// The Jet 4 codes of a character of the BMP other than a surrogate.
SortCode generalSortCode(char16_t ch);
// The Access 97 codes of a byte of code page 1252.
SortCode general97SortCode(uint8_t byte);
// The byte of code page 1252 that stands for `ch` in Access 97 keys; 0 (an ignored byte) for
// characters the code page does not hold.
uint8_t general97Byte(char32_t ch);

namespace sort_tables {

struct General97Mapping {
  uint16_t codePoint;
  uint8_t byte;
};

extern const uint32_t kGeneralBlocks[2048];
extern const unsigned char kGeneralCodes[];
extern const uint32_t kGeneral97Blocks[8];
extern const unsigned char kGeneral97Codes[];
extern const General97Mapping kGeneral97Mappings[27];

}  // namespace sort_tables
}  // namespace jet
