// The values a new row starts with: each column's DefaultValue, as its table's properties give
// it, where the expression is one worked out here; Null elsewhere.
#pragma once

#include <optional>
#include <vector>

#include "jet/base/value.h"
#include "jet/format/table_def.h"

namespace db {

// Constants ("0", "\"\"", "#1/1/2000#", "-1.5"), arithmetic on them, Yes/No/True/False/On/Off,
// Date() and Now(), with or without a leading "="; the value converted to the column's type.
// Any other expression (a function this engine lacks, such as GenGUID()) gives no value, and the
// column stays Null as it was before defaults were applied.
std::optional<jet::Value> defaultValueOf(const jet::Column& c);

// A new row of the table: its columns' defaults, Null where a column has none (and in
// autonumbers, which get their number when the row is stored).
std::vector<jet::Value> defaultRow(const jet::TableDef& def);

}  // namespace db
