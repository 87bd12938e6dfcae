// Reading every fixture: rows against mdbtools' export, every index walked, the check clean.
// The files made by Access itself are the ground truth for what the reader must return.

#include <gtest/gtest.h>

#include <set>

#include "jet/database.h"
#include "jet/index_tree.h"
#include "jet/integrity_check.h"
#include "jet/row_codec.h"
#include "jet_test_support.h"

namespace jet {
namespace {

// Every table reads as mdbtools reads it, and every fixture passes our check.
TEST(Reading, EveryTableMatchesMdbtoolsAndEveryFixturePassesTheCheck) {
  int tables = 0;
  for (const auto& path : testing::fixtureDatabases()) {
    Database db(path, Database::Mode::ReadOnly);
    std::string problems;
    for (const auto& p : checkDatabase(db)) problems += "\n  " + p;
    EXPECT_EQ(problems, "") << path;
    for (const auto& name : db.tableNames(true)) {
      std::vector<std::string> differences = testing::mdbtoolsRowDifferences(db, name);
      std::string shown;
      for (size_t i = 0; i < differences.size() && i < 5; ++i) shown += "\n  " + differences[i];
      EXPECT_TRUE(differences.empty()) << path << " / " << name << shown;
      ++tables;
    }
  }
  EXPECT_GT(tables, 50);
}

// Walking each index must give back exactly the table's rows (less those an index leaves out).
TEST(Reading, EveryIndexListsEveryRow) {
  int indexes = 0;
  for (const auto& path : testing::fixtureDatabases()) {
    Database db(path, Database::Mode::ReadOnly);
    for (const auto& name : db.tableNames(true)) {
      Table& t = db.table(name);
      const TableDef& def = t.def();
      std::vector<std::pair<RowId, std::vector<Value>>> rows;
      t.scan([&](RowId id, Bytes row) {
        rows.emplace_back(id, decodeRow(db.file(), db.format(), def, row));
        return true;
      });
      for (const auto& ri : def.realIndexes) {
        std::multiset<RowId> expected;
        for (const auto& [id, values] : rows) {
          bool allNull = true;
          for (const auto& ic : ri.columns) {
            const Column* c = def.columnByNumber(ic.columnNumber);
            if (!values[size_t(c - def.columns.data())].isNull()) allNull = false;
          }
          if (!(allNull && ri.ignoreNulls())) expected.insert(id);
        }
        std::multiset<RowId> walked;
        std::string previous;
        walkIndex(db.file(), db.format(), ri.rootPage, "", [&](const IndexEntry& e) {
          EXPECT_GE(e.sortBytes(), previous) << path << " / " << name;
          previous = e.sortBytes();
          walked.insert(e.row);
          EXPECT_EQ(t.readRow(e.row).size(), def.columns.size());
          return true;
        });
        EXPECT_EQ(walked, expected) << path << " / " << name << " index " << ri.number;
        ++indexes;
      }
    }
  }
  EXPECT_GT(indexes, 50);
}

}  // namespace
}  // namespace jet
