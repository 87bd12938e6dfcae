// Per-character codes of the Jet 4 "General" text sort order (1033, version 0).
// Only text_sort_general.cc looks at these; everything else goes through that file.
#pragma once

#include <string_view>

namespace jet {

struct GeneralSortCode {
  enum class Kind : unsigned char {
    kIgnored,      // contributes nothing to the key
    kSimple,       // `code` goes inline
    kAccented,     // `code` goes inline, `accent` into the accent section
    kUnprintable,  // nothing inline; `code` goes into the unprintable section
  };
  Kind kind;
  std::string_view code;
  std::string_view accent;
};

// The codes of one character, or nullptr when the table does not know it.
const GeneralSortCode* generalSortCode(char32_t ch);

}  // namespace jet
