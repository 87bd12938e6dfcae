// Parses Jet SQL statements and criteria into the trees of sql_ast.h.
// Keywords ignore case; names may be bracketed; syntax errors raise jet::Error with Jet's numbers.
#pragma once

#include <string_view>

#include "db/sql_ast.h"
#include "jet/base/error.h"

namespace db::sql {

namespace err = jet::err;  // the one table of error numbers

// One statement: SELECT, DELETE, INSERT INTO, UPDATE, CREATE TABLE, CREATE [UNIQUE] INDEX,
// DROP TABLE, DROP INDEX, ALTER TABLE ... ADD/DROP [COLUMN]. A trailing ';' is allowed.
Statement parseStatement(std::string_view text);

// A criterion alone, as FindFirst and Filter take it ("DXCC=517").
Expr parseExpression(std::string_view text);

// A validation rule. A column's rule is about the column: each operand of its outermost And, Or
// and Not that opens with an operator has the column before it (">=0" is "[column] >= 0",
// "Between 0 And 1", "Is Not Null", "In ('NA', 'SA')", "Like 'PJ*'"), and one that is a value
// alone is the column equal to it ("0 Or >100"; "=True And Not True" is "[column] = True And
// [column] <> True"). With `column` empty, the table's rule: an expression over its columns.
Expr parseValidationRule(std::string_view text, const std::string& column);

}  // namespace db::sql
