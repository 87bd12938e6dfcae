// Jet's and VB's value coercions: what a value becomes when written to a typed field, and as text.
// Shared by record-set field writes, INSERT/UPDATE statements and the SQL evaluator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "jet/format/column.h"
#include "jet/base/value.h"
#include "jet/base/error.h"

namespace db {

namespace err = jet::err;  // the one table of error numbers

// The value as it is stored in a field of column c, converted the way Jet does when a program
// assigns it: numbers to the column's width (rounding half to even, Overflow 6 outside the range),
// True as -1, text parsed as a number or date (3421 when it is neither), anything as text
// (3163 when longer than the column's maxChars() characters; Memo takes any length). Null stays Null.
jet::Value convertForColumn(const jet::Value& v, const jet::Column& c);

// VB's CStr: "True"/"False", numbers with up to 15 significant digits (7 for Single) as VB prints
// them ("12.17", "-69", "1E+15"), dates as formatVbDate. Null fails with 94.
std::string textOf(const jet::Value& v);

// The text without the blanks (spaces, tabs, line ends) around it.
std::string trimmed(std::string_view text);

// A number written as text the way VB reads it: surrounding blanks, sign, digits, point and
// exponent ("-69", " 12.17 ", "1E3", ".5"). nullopt when the text is not entirely a number.
std::optional<double> parseNumber(std::string_view text);

// The numeric value of a number, Boolean (True = -1), date or decimal; 13 for anything else.
double numberOf(const jet::Value& v);

// VB's CLng: the value as a 32-bit whole number, rounded half to even; Null fails with 94,
// a value outside the range with 6, text that is not a number with 13.
int32_t toLong(const jet::Value& v);

// Round half to even, as VB's CInt/CLng and Jet's field writes do (2.5 -> 2, 3.5 -> 4).
double bankersRound(double x);

// The number of characters of UTF-8 text.
size_t utf8Length(std::string_view text);

}  // namespace db
