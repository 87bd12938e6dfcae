// Text in the code page of an Access 97 file: one byte a character, read into and written from
// UTF-8. The code page comes from the header, the column, or the locale of the sort order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace jet {

// Whether this engine knows the code page's characters (874 and 1250 to 1258).
bool knownCodePage(uint16_t codePage);
// The text of `bytes` in the code page; an unknown code page is read as 1252.
std::string codePageToUtf8(std::string_view bytes, uint16_t codePage);
// The byte of `c` in a known code page, or -1 when the code page has no place for it.
int codePageByte(char32_t c, uint16_t codePage);

// The code page an Access 97 file's text is in, from what its header, column and sort order say
// (the first that is not 0): a sort order names the code page of its locale (1055 Turkish, 1254).
uint16_t textCodePage(uint16_t headerCodePage, uint16_t columnCodePage, uint16_t sortOrder);

}  // namespace jet
