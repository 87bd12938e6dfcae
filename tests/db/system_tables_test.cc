// The system tables (MSysObjects, MSysACEs, ...) are Access's own: SQL may read them, but a
// DELETE, UPDATE or INSERT on one is refused with a numbered error and writes nothing.
//
// Disabled: such statements are carried out. Deleting a table's row from MSysObjects makes the
// table vanish for every reader while its pages stay behind, and `jet check` still says ok:
//   cp tests/fixtures/access-made/testV2000.mdb /tmp/t.mdb
//   jet sql /tmp/t.mdb "DELETE FROM MSysObjects WHERE Name='Table1'"   -> prints 1, exit 0
//   jet tables /tmp/t.mdb; mdb-tables /tmp/t.mdb                        -> Table1 is gone
//   jet sql /tmp/t.mdb "DELETE FROM MSysACEs"                           -> 64 permission rows gone
// Access refuses changes to these tables (the database or object is read-only).

#include <gtest/gtest.h>

#include "../jet/jet_test_support.h"

namespace {

using jet::testing::shellQuote;

TEST(SystemTables, DISABLED_StatementsThatChangeThemAreRefused) {
  jet::testing::ScratchDir dir;
  const std::string jet = std::string(TARNLOG_JET_TOOL);
  const std::string path = dir.copy(jet::testing::fixturePath("access-made/testV2000.mdb"), "t.mdb");
  const std::string before = jet::testing::readFile(path);
  for (const char* statement : {"DELETE FROM MSysObjects WHERE Name='Table1'", "UPDATE MSysObjects SET Name='Renamed' WHERE Name='Table1'",
                                "DELETE FROM MSysACEs"}) {
    int status = 0;
    const std::string out = jet::testing::runCommand(jet + " sql " + shellQuote(path) + " " + shellQuote(statement) + " 2>&1", &status);
    EXPECT_NE(status, 0) << statement;
    EXPECT_NE(out.find("jet: error "), std::string::npos) << statement << ": " << out;
    EXPECT_TRUE(jet::testing::readFile(path) == before) << statement;
  }
  EXPECT_EQ(jet::testing::runCommand(jet + " tables " + shellQuote(path)), "Table1\nTable2\nTable3\nTable4\n");
}

}  // namespace
