// Test support: what mdbtools, an independent reader, sees of a table, and our own integrity check.
#pragma once

#include <string>

#include "jet/database/database.h"
#include "jet/check/integrity_check.h"
#include "jet/jet_test_support.h"

namespace testing_support {

// The number of rows mdb-export prints for a table, or -1 when it fails.
inline long mdbExportRowCount(const std::string& path, const std::string& table) {
  using jet::testing::shellQuote;
  const std::string command = "mdb-export -H " + shellQuote(path) + " " + shellQuote(table) + " 2>/dev/null";
  int status = 0;
  const auto rows = jet::testing::parseCsv(jet::testing::runCommand(command, &status));
  return status == 0 ? long(rows.size()) : -1;
}

// Problems our integrity check finds, joined; empty when the file is sound.
inline std::string integrityProblems(const std::string& path) {
  jet::Database db(path, jet::Database::Mode::ReadOnly);
  std::string all;
  for (auto& p : jet::checkDatabase(db)) all += p + "\n";
  return all;
}

// The file is sound for us, and mdbtools reads every user table with the rows we read.
inline std::string soundForEveryReader(const std::string& path) {
  std::string problems = integrityProblems(path);
  jet::Database db(path, jet::Database::Mode::ReadOnly);
  for (auto& name : db.tableNames()) {
    long ours = long(db.table(name).rowIds().size());
    long theirs = mdbExportRowCount(path, name);
    if (ours != theirs) problems += "mdb-export reads " + std::to_string(theirs) + " rows of " + name + ", we read " + std::to_string(ours) + "\n";
  }
  return problems;
}

}  // namespace testing_support
