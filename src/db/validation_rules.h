// The validation rules of a table (a column's ValidationRule, and the table's own) checked
// against a row before it is stored, as Access checks them on every insert and change.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "jet/base/value.h"
#include "jet/format/table_def.h"

namespace db {

// Checks the rules a row about to be stored must meet. `given[i]` is the value the write gives
// column i: every column for a new row, the columns set for a change; a column's rule checks
// only a value given it. `stored(i)` is column i as the row will be stored (given or kept),
// asked for only when the table has a rule of its own.
//
// A rule refuses a row only when it comes out False: a Null passes it. A refusal fails with
// 3316 and the rule's ValidationText, or 3317 naming the rule when it has none. A rule that
// cannot be worked out (a function this engine does not know) fails with the number of that
// failure, naming the rule: nothing is stored that a rule might refuse.
void checkValidationRules(const jet::TableDef& def, const std::vector<std::optional<jet::Value>>& given,
                          const std::function<jet::Value(size_t)>& stored);
// The same for a new row: every column is given its value in `row`.
void checkValidationRules(const jet::TableDef& def, const std::vector<jet::Value>& row);

}  // namespace db
