// Action statements run straight on the tables: DELETE, INSERT INTO and UPDATE.
// Every changed row is one atomic write; a statement that matches no row changes nothing.
#pragma once

#include <string>

#include "db/sql_ast.h"

namespace jet { class Database; }

namespace db {

namespace err {
inline constexpr int kCannotExecuteSelect = 3065;  // Execute given a SELECT
inline constexpr int kUnknownInsertField = 3127;   // INSERT INTO names a field the table lacks
}  // namespace err

// Parses and runs one action statement; returns the number of rows affected.
// A SELECT fails with 3065; DROP and ALTER TABLE, which the engine cannot do yet, fail with 3251.
long executeStatement(jet::Database& db, const std::string& sql);
long executeStatement(jet::Database& db, const sql::Statement& statement);

}  // namespace db
