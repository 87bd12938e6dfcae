// Text sort orders: the locale number a column or file names, what it is called, and the code
// page of that locale (which an Access 97 file with code page 0 keeps its text in).
#pragma once

#include <cstdint>
#include <string>

namespace jet {

inline constexpr uint16_t kGeneralSortOrder = 1033;

// "1055 (Turkish)", or the number alone for a sort order this engine does not know.
std::string sortOrderName(uint16_t sortOrder);
// The Windows code page of the sort order's locale, or 0 when unknown.
uint16_t sortOrderCodePage(uint16_t sortOrder);

}  // namespace jet
