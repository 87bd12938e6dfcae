// Reading every fixture: rows against mdbtools' export, and the check (which walks every index) clean.
// The files made by Access itself are the ground truth for what the reader must return.

#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/integrity_check.h"
#include "jet_test_support.h"

namespace jet {
namespace {

// Every table reads as mdbtools reads it, and every fixture passes our check.
TEST(Reading, EveryTableMatchesMdbtoolsAndEveryFixturePassesTheCheck) {
  int tables = 0;
  for (const auto& path : testing::fixtureDatabases()) {
    Database db(path, Database::Mode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{}) << path;
    for (const auto& name : db.tableNames(true)) {
      EXPECT_EQ(testing::mdbtoolsRowDifferences(db, name), std::vector<std::string>{}) << path << " / " << name;
      ++tables;
    }
  }
  EXPECT_GT(tables, 50);
}

}  // namespace
}  // namespace jet
