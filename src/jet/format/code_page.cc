#include "jet/format/code_page.h"

#include "jet/format/code_page_table.h"
#include "jet/format/sort_order.h"
#include "jet/format/text_codec.h"

namespace jet {

namespace {

const code_page_tables::CodePageTable* tableOf(uint16_t codePage) {
  if (codePage == 0) codePage = 1252;  // a column made here before its file's code page was known
  for (const auto& t : code_page_tables::kTables) {
    if (t.codePage == codePage) return &t;
  }
  return nullptr;
}

}  // namespace

bool knownCodePage(uint16_t codePage) { return tableOf(codePage) != nullptr; }

std::string codePageToUtf8(std::string_view bytes, uint16_t codePage) {
  const auto* t = tableOf(codePage);
  if (!t || t->codePage == 1252) return cp1252ToUtf8(std::string(bytes));
  std::u32string chars;
  chars.reserve(bytes.size());
  for (unsigned char b : bytes) chars.push_back(b < 0x80 ? char32_t(b) : char32_t(t->high[b - 0x80]));
  return utf32ToUtf8(chars);
}

int codePageByte(char32_t c, uint16_t codePage) {
  if (codePage == 1252 || codePage == 0) return cp1252Byte(c);
  const auto* t = tableOf(codePage);
  if (!t) return -1;
  if (c < 0x80) return int(c);
  for (int i = 0; i < 128; ++i) {
    if (t->high[i] == c) return 0x80 + i;
  }
  return -1;
}

uint16_t textCodePage(uint16_t headerCodePage, uint16_t columnCodePage, uint16_t sortOrder) {
  if (headerCodePage != 0) return headerCodePage;
  if (columnCodePage != 0) return columnCodePage;
  const uint16_t fromLocale = sortOrderCodePage(sortOrder);
  return fromLocale != 0 ? fromLocale : 1252;
}

}  // namespace jet
