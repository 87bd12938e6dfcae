// Test support: what mdbtools, an independent reader, sees of a table, and our own integrity check.
#pragma once

#include <cstdio>
#include <string>

#include "jet/database.h"
#include "jet/integrity_check.h"

namespace testing_support {

// The number of rows mdb-export prints for a table, or -1 when it fails.
inline long mdbExportRowCount(const std::string& path, const std::string& table) {
  std::string cmd = "mdb-export -H '" + path + "' '" + table + "' 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  long lines = 0;
  bool quoted = false;
  for (int c; (c = std::fgetc(p)) != EOF;) {
    if (c == '"') quoted = !quoted;
    if (c == '\n' && !quoted) ++lines;
  }
  int status = ::pclose(p);
  return status == 0 ? lines : -1;
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
