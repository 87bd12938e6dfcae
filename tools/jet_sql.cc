#include "jet_sql.h"

#include <cstdio>
#include <iostream>
#include <variant>

#include "db/action_query.h"
#include "db/sql_parser.h"
#include "db/table_recordset.h"
#include "jet/base/csv_format.h"
#include "jet/base/error.h"
#include "jet/database/database.h"

namespace {

void printSelect(jet::Database& db, const db::sql::Select& select) {
  std::unique_ptr<db::TableRecordset> rs = db::openSelect(db, select);
  std::string line;
  const std::vector<std::string> names = rs->fieldNames();
  for (size_t i = 0; i < names.size(); ++i) line += (i ? "," : "") + names[i];
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  for (; !rs->Eof(); rs->MoveNext()) {
    line = jet::csvLine(rs->currentValues());
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
}

}  // namespace

int runSqlCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) {
    std::cerr << "usage: jet sql FILE STATEMENT...\n";
    return 2;
  }
  // Everything is parsed before anything runs; a file only read is opened read-only.
  std::vector<db::sql::Statement> statements;
  bool writes = false;
  for (size_t i = 1; i < args.size(); ++i) {
    statements.push_back(db::sql::parseStatement(args[i]));
    writes = writes || !std::holds_alternative<db::sql::Select>(statements.back());
  }
  jet::Database db(args[0], writes ? jet::Database::Mode::ReadWrite : jet::Database::Mode::ReadOnly);
  size_t done = 0;
  try {
    for (auto& st : statements) {
      if (auto* select = std::get_if<db::sql::Select>(&st)) {
        printSelect(db, *select);
      } else {
        const long n = db::executeStatement(db, st);
        std::fflush(stdout);
        std::cout << n << "\n";
      }
      std::cout << std::flush;
      ++done;
    }
  } catch (const jet::Error&) {
    // Each statement is stored as it ends: those before the failing one are carried into the
    // file now, so that every reader finds them and no log is left beside it.
    std::cout << std::flush;
    std::cerr << "jet sql: statement " << done + 1 << " of " << statements.size() << " failed; "
              << (done == 0 ? "nothing was stored" : "the statements before it are stored") << "\n";
    try {
      db.close();
    } catch (const jet::Error&) {
      // The log stays; the next open carries it in. The statement's own error is the one told.
    }
    throw;
  }
  db.close();
  std::fflush(stdout);
  return 0;
}
