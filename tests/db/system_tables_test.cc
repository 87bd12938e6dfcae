// The system tables (MSysObjects, MSysACEs, ...) are Access's own: SQL may read them, but a
// statement that would change one is refused with 3027 and writes nothing.

#include <gtest/gtest.h>

#include "../error_number.h"
#include "../jet/jet_test_support.h"
#include "db/connection.h"
#include "db/recordset.h"

namespace {

using jet::testing::shellQuote;

TEST(SystemTables, StatementsThatChangeThemAreRefused) {
  jet::testing::ScratchDir dir;
  const std::string jet = std::string(TARNLOG_JET_TOOL);
  const std::string path = dir.copy(jet::testing::fixturePath("access-made/testV2000.mdb"), "t.mdb");
  const std::string before = jet::testing::readFile(path);
  for (const char* statement : {"DELETE FROM MSysObjects WHERE Name='Table1'", "UPDATE MSysObjects SET Name='Renamed' WHERE Name='Table1'",
                                "DELETE FROM MSysACEs", "INSERT INTO MSysACEs (ACM) VALUES (1)",
                                "CREATE INDEX N ON MSysObjects (Name)"}) {
    int status = 0;
    const std::string out = jet::testing::runCommand(jet + " sql " + shellQuote(path) + " " + shellQuote(statement) + " 2>&1", &status);
    EXPECT_NE(status, 0) << statement;
    EXPECT_NE(out.find("jet: error 3027"), std::string::npos) << statement << ": " << out;
    EXPECT_TRUE(jet::testing::readFile(path) == before) << statement;
  }
  EXPECT_EQ(jet::testing::runCommand(jet + " tables " + shellQuote(path)), "Table1\nTable2\nTable3\nTable4\n");
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
}

}  // namespace
