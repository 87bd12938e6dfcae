// Parses Jet SQL statements and criteria into the trees of sql_ast.h.
// Keywords ignore case; names may be bracketed; syntax errors raise jet::Error with Jet's numbers.
#pragma once

#include <string_view>

#include "db/sql_ast.h"

namespace db::sql {

namespace err {
inline constexpr int kInvalidStatement = 3129;  // not a statement we know
inline constexpr int kSyntaxFrom = 3131;        // FROM clause
inline constexpr int kSyntaxInsert = 3134;      // INSERT INTO
inline constexpr int kSyntaxOrderBy = 3138;     // ORDER BY clause
inline constexpr int kSyntaxSelect = 3141;      // SELECT column list, or text after the statement
inline constexpr int kSyntaxUpdate = 3144;      // UPDATE
inline constexpr int kInvalidFieldType = 3259;  // unknown type name in a field definition
inline constexpr int kSyntaxConstraint = 3289;  // CONSTRAINT / PRIMARY KEY / UNIQUE clause
inline constexpr int kSyntaxCreateTable = 3290;
inline constexpr int kSyntaxCreateIndex = 3291;
inline constexpr int kSyntaxFieldDef = 3292;    // field definition
inline constexpr int kSyntaxAlterTable = 3293;
inline constexpr int kSyntaxDrop = 3295;        // DROP TABLE / DROP INDEX
inline constexpr int kValueCount = 3346;        // INSERT: values and fields differ in number
// Expressions (WHERE criteria, values, FindFirst criteria) fail with jet::err::kSyntaxQuery (3075).
}  // namespace err

// One statement: SELECT, DELETE, INSERT INTO, UPDATE, CREATE TABLE, CREATE [UNIQUE] INDEX,
// DROP TABLE, DROP INDEX, ALTER TABLE ... ADD/DROP [COLUMN]. A trailing ';' is allowed.
Statement parseStatement(std::string_view text);

// A criterion alone, as FindFirst and Filter take it ("DXCC=517").
Expr parseExpression(std::string_view text);

}  // namespace db::sql
