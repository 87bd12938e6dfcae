// The system tables (MSysObjects, MSysACEs, ...) are Access's own: SQL and record sets read them,
// but a statement or an edit that would change one is refused with 3027 and writes nothing.
#include <gtest/gtest.h>

#include "../error_number.h"
#include "../jet/jet_test_support.h"
#include "db/action_query.h"
#include "db/connection.h"
#include "db/recordset.h"
#include "jet/database/database.h"

namespace {

TEST(SystemTables, StatementsThatChangeThemAreRefused) {
  jet::testing::ScratchDir dir;
  const std::string path = dir.copy(jet::testing::fixturePath("access-made/testV2000.mdb"), "t.mdb");
  const std::string before = jet::testing::readFile(path);
  {
    jet::Database db(path, jet::Database::Mode::ReadWrite);
    for (const char* statement :
         {"DELETE FROM MSysObjects WHERE Name='Table1'", "UPDATE MSysObjects SET Name='Renamed' WHERE Name='Table1'",
          "DELETE FROM MSysACEs", "INSERT INTO MSysACEs (ACM) VALUES (1)", "CREATE INDEX N ON MSysObjects (Name)"}) {
      EXPECT_EQ(testing_support::errorNumber([&] { db::executeStatement(db, statement); }), 3027) << statement;
    }
    db.close();
  }
  {
    // A record set over one reads it, and refuses to change it.
    db::Connection c(path);
    auto rs = c.OpenRecordset("MSysObjects");
    rs->MoveFirst();
    EXPECT_FALSE(rs->getField("Name").isNull());
    EXPECT_EQ(testing_support::errorNumber([&] { rs->Edit(); }), 3027);
    EXPECT_EQ(testing_support::errorNumber([&] { rs->Delete(); }), 3027);
    EXPECT_EQ(testing_support::errorNumber([&] { rs->AddNew(); }), 3027);
  }
  EXPECT_TRUE(jet::testing::readFile(path) == before);
  EXPECT_EQ(jet::Database(path, jet::Database::Mode::ReadOnly).tableNames(),
            (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
}

}  // namespace
