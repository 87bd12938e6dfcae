// A `jet sql` or `jet create` run that stops at a failing statement: the statements before it
// are stored and carried into the file, so that mdbtools (and Access) read the same rows as this
// engine, and no log of the run is left beside the file.

#include <gtest/gtest.h>

#include <filesystem>

#include "jet/database/database.h"
#include "jet_test_support.h"
#include "../independent_reader.h"

namespace jet {
namespace {

using testing::shellQuote;

TEST(JetSqlFailedRun, LeavesNoLogAndTheSameRowsForEveryReader) {
  testing::ScratchDir dir;
  const std::string jet = std::string(TARNLOG_JET_TOOL);
  int status = 0;

  const std::string path = dir.copy(testing::fixturePath("access-made/testV2000.mdb"), "t.mdb");
  const std::string out = testing::runCommand(jet + " sql " + shellQuote(path) + " \"INSERT INTO Table1 (A) VALUES ('p1')\"" +
                                                  " \"INSERT INTO Table1 (A) VALUES ('a')\" 2>&1",
                                              &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("error 3022"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
  const long theirs = testing_support::mdbExportRowCount(path, "Table1");  // before our open carries anything in
  EXPECT_EQ(long(Database(path, Database::Mode::ReadOnly).table("Table1").rowIds().size()), theirs);

  const std::string made = dir.path() + "/n.mdb";
  testing::runCommand(jet + " create " + shellQuote(made) + " 'CREATE TABLE T (A TEXT(5) PRIMARY KEY)'" +
                          " \"INSERT INTO T (A) VALUES ('x')\" \"INSERT INTO T (A) VALUES ('x')\" 2>&1",
                      &status);
  EXPECT_NE(status, 0);
  EXPECT_FALSE(std::filesystem::exists(made + "-wal"));
  const long theirsMade = testing_support::mdbExportRowCount(made, "T");
  Database db(made, Database::Mode::ReadOnly);
  EXPECT_EQ(db.hasTable("T") ? long(db.table("T").rowIds().size()) : -1, theirsMade);
}

}  // namespace
}  // namespace jet
