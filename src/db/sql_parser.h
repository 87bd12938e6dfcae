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

}  // namespace db::sql
