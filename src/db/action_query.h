// Action statements run straight on the tables: DELETE, INSERT INTO and UPDATE.
// Every changed row is one atomic write; a statement that matches no row changes nothing.
#pragma once

#include <string>

#include "db/sql_ast.h"
#include "jet/base/error.h"

namespace jet { class Database; }

namespace db {

namespace err = jet::err;  // the one table of error numbers

// Parses and runs one action statement; returns the number of rows affected.
// A SELECT fails with 3065; DROP and ALTER TABLE, which the engine cannot do yet, fail with 3251.
long executeStatement(jet::Database& db, const std::string& sql);
long executeStatement(jet::Database& db, const sql::Statement& statement);

}  // namespace db
