// jet: inspect, export, check and change Access databases from the command line.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "jet/base/csv_format.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_tree.h"
#include "jet/check/integrity_check.h"
#include "jet/format/row_codec.h"

#include "db/sql_parser.h"
#include "jet/write/create_database.h"
#include "jet_sql.h"

namespace {

int usage() {
  std::cerr << "usage: jet tables FILE\n"
               "       jet schema FILE [TABLE]\n"
               "       jet export FILE TABLE [--index NAME]\n"
               "       jet check FILE\n"
               "       jet create [--format 97|2000] FILE [STATEMENT...]\n"
               "       jet sql FILE STATEMENT...\n"
               ;
  return 2;
}

void printSchema(jet::Table& t) {
  const auto& d = t.def();
  std::cout << "TABLE " << d.name << " (" << d.rowCount << " rows, next autonumber " << d.nextAutoNumber << ")\n";
  for (auto& c : d.columns) {
    std::cout << "  " << c.name << " " << jet::columnTypeName(c.type);
    if (c.type == jet::ColumnType::Text) std::cout << "(" << c.maxChars() << ")";
    if (c.autoNumber()) std::cout << " AUTONUMBER";
    std::cout << "\n";
  }
  for (auto& li : d.indexes) {
    const auto& ri = d.realIndexes[li.realIndex];
    std::cout << "  INDEX " << li.name << (li.primary() ? " PRIMARY" : "") << (ri.unique() ? " UNIQUE" : "")
              << (ri.required() && !li.primary() ? " REQUIRED" : "") << (ri.ignoreNulls() ? " IGNORE NULLS" : "")
              << (li.foreignKey() ? " FOREIGN" : "") << " (";
    for (size_t k = 0; k < ri.columns.size(); ++k) {
      const jet::Column* c = d.columnByNumber(ri.columns[k].columnNumber);
      std::cout << (k ? ", " : "") << c->name << (ri.columns[k].ascending ? "" : " DESC");
    }
    std::cout << ")\n";
  }
}

void printRow(std::string& line, const std::vector<jet::Value>& values) {
  line = jet::csvLine(values);
  std::fwrite(line.data(), 1, line.size(), stdout);
}

int exportTable(jet::Database& db, const std::string& name, const std::string& index) {
  jet::Table& t = db.table(name);
  const jet::LogicalIndex* li = index.empty() ? nullptr : t.def().findIndex(index);
  if (!index.empty() && !li) throw jet::Error(jet::err::kItemNotFound, "The table '" + name + "' has no index '" + index + "'.");
  std::string line;
  for (size_t i = 0; i < t.def().columns.size(); ++i) line += (i ? "," : "") + t.def().columns[i].name;
  std::cout << line << "\n" << std::flush;
  if (!li) {
    t.scan([&](jet::RowId, jet::Bytes row) {
      printRow(line, jet::decodeRow(db.file(), db.format(), t.def(), row));
      return true;
    });
  } else {
    const auto& ri = t.def().realIndexes[li->realIndex];
    jet::walkIndex(db.file(), db.format(), ri.rootPage, "", [&](const jet::IndexEntry& e) {
      printRow(line, t.readRow(e.row));
      return true;
    });
  }
  std::fflush(stdout);
  return 0;
}

// Prints the damage the check finds ("ok" when there is none), then its notes; fails on damage only.
int checkFile(const std::string& path) {
  jet::Database db(path, jet::Database::Mode::ReadOnly);
  std::vector<std::string> notes;
  std::vector<std::string> problems = jet::checkDatabase(db, &notes);
  for (auto& p : problems) std::cout << p << "\n";
  if (problems.empty()) std::cout << "ok\n";
  for (auto& n : notes) std::cout << "note: " << n << "\n";
  return problems.empty() ? 0 : 1;
}

int run(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "sql") return runSqlCommand(std::vector<std::string>(args.begin() + 1, args.end()));
  if (args.size() < 2) return usage();
  const std::string& cmd = args[0];
  if (cmd == "create") {
    // A new, empty database; statements that follow (CREATE TABLE, INSERT, ...) run on it.
    std::vector<std::string> sqlArgs(args.begin() + 1, args.end());
    const jet::Format* format = &jet::kJet4;
    if (!sqlArgs.empty() && sqlArgs[0] == "--format") {
      if (sqlArgs.size() < 3) return usage();
      if (sqlArgs[1] == "97") format = &jet::kJet3;
      else if (sqlArgs[1] != "2000") return usage();
      sqlArgs.erase(sqlArgs.begin(), sqlArgs.begin() + 2);
    }
    if (sqlArgs.empty() || sqlArgs[0].starts_with("--")) return usage();
    for (size_t i = 1; i < sqlArgs.size(); ++i) db::sql::parseStatement(sqlArgs[i]);
    jet::createDatabase(sqlArgs[0], 0, *format);
    return sqlArgs.size() > 1 ? runSqlCommand(sqlArgs) : 0;
  }
  if (cmd == "check" && args.size() == 2) return checkFile(args[1]);
  if (cmd == "tables" && args.size() == 2) {
    jet::Database db(args[1], jet::Database::Mode::ReadOnly);
    for (auto& n : db.tableNames()) std::cout << n << "\n";
    return 0;
  }
  if (cmd == "schema" && args.size() <= 3) {
    jet::Database db(args[1], jet::Database::Mode::ReadOnly);
    if (args.size() > 2) printSchema(db.table(args[2]));
    else for (auto& n : db.tableNames()) printSchema(db.table(n));
    return 0;
  }
  if (cmd == "export" && args.size() >= 3) {
    jet::Database db(args[1], jet::Database::Mode::ReadOnly);
    std::string index;
    if (args.size() == 5 && args[3] == "--index") index = args[4];
    else if (args.size() != 3) return usage();
    return exportTable(db, args[2], index);
  }
  return usage();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return run(args);
  } catch (const jet::Error& e) {
    std::cerr << "jet: error " << e.number() << ": " << e.what() << "\n";
    return 1;
  }
}
