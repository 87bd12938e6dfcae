// Action statements through db::Database::Execute, checked by reopening the written copies.
#include <gtest/gtest.h>

#include "../error_number.h"
#include "../independent_reader.h"
#include "../temp_copy.h"

#include <string>

#include "db/database.h"
#include "db/recordset.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/integrity_check.h"

namespace {

using testing_support::ScratchDir;
using testing_support::errorNumber;

long count(db::Database& d, const std::string& source) { return d.OpenRecordset(source)->RecordCount(); }

// Deletes, inserts and updates: exactly the matching rows change, values are converted to the
// column types, and the indexes and mdbtools read the result.
TEST(ExecuteTest, ActionStatementsChangeExactlyTheirRows) {
  ScratchDir dir;
  const std::string bandplan = dir.copy("jet4/bandplan.mdb");
  {
    db::Database d(bandplan);
    EXPECT_EQ(count(d, "plink"), 483);
    EXPECT_EQ(d.Execute("DELETE * FROM plink where plink = 108"), 4);  // PJ5-PJ8
    EXPECT_EQ(d.Execute("DELETE * FROM plink where plink = 108"), 0);  // nothing left: no error
    EXPECT_EQ(d.Execute("INSERT INTO plink (prefix, plink) VALUES ('PJ5', 517)"), 1);
    EXPECT_EQ(d.Execute("INSERT INTO plinkold VALUES (900, 'PJ6', '518', 'PJ')"), 1);
    // Every SET expression sees the row as it was.
    EXPECT_EQ(d.Execute("UPDATE plink SET plink = plink + 1000, prefix = prefix & '/' & plink WHERE plink = 143"), 6);
    d.close();
  }
  EXPECT_EQ(testing_support::mdbExportRowCount(bandplan, "plink"), 483 - 4 + 1);
  EXPECT_EQ(testing_support::soundForEveryReader(bandplan), "");
  db::Database reopened(bandplan);
  EXPECT_EQ(count(reopened, "select * from plink where plink = 108"), 0);
  auto added = reopened.OpenRecordset("SELECT * FROM plink WHERE plink = 517");
  ASSERT_EQ(added->RecordCount(), 1);
  EXPECT_EQ(added->getField("prefix").s, "PJ5");
  EXPECT_GT(added->getField("ID").i, 483);
  auto old = reopened.OpenRecordset("SELECT * FROM plinkold WHERE ID = 900");
  ASSERT_EQ(old->RecordCount(), 1);
  EXPECT_EQ(old->getField("plink").kind, jet::Value::Kind::Integer);
  EXPECT_EQ(old->getField("plink").i, 518);
  EXPECT_EQ(count(reopened, "select * from plink where plink = 143"), 0);
  auto moved = reopened.OpenRecordset("select * from plink where plink = 1143 ORDER BY prefix");
  ASSERT_EQ(moved->RecordCount(), 6);
  EXPECT_EQ(moved->getField("prefix").s, "PJ0/143");
  EXPECT_EQ(count(reopened, "select * from plink where prefix = 'pj9/143'"), 1);  // through the index
}

TEST(ExecuteTest, FailuresCarryJetNumbersAndChangeNothing) {
  ScratchDir dir;
  db::Database d(dir.copy("jet4/bandplan.mdb"));
  EXPECT_EQ(errorNumber([&] { d.Execute("SELECT * FROM prefixes"); }), 3065);
  EXPECT_EQ(errorNumber([&] { d.Execute("DELETE FROM nosuch"); }), jet::err::kTableNotFound);
  EXPECT_EQ(errorNumber([&] { d.Execute("DELETE FROM plink WHERE plnk = 108"); }), 3061);
  EXPECT_EQ(errorNumber([&] { d.Execute("UPDATE plink SET plink = nosuch + 1"); }), 3061);
  EXPECT_EQ(errorNumber([&] { d.Execute("INSERT INTO plink (prefx) VALUES ('X')"); }), 3127);
  EXPECT_EQ(errorNumber([&] { d.Execute("INSERT INTO plink (prefix) VALUES ('ABCDEFGHIJK')"); }), jet::err::kTooSmall);
  EXPECT_EQ(errorNumber([&] { d.Execute("UPDATE plink SET ID = 5 WHERE ID = 1"); }), 3164);
  EXPECT_EQ(errorNumber([&] { d.Execute("UPDATE plinkold SET plink = 40000"); }), jet::err::kOverflow);
  EXPECT_EQ(errorNumber([&] { d.Execute("UPDATE plinkold SET plink = 'x'"); }), 3421);
  EXPECT_EQ(errorNumber([&] { d.Execute("DROP TABLE plinkold"); }), jet::err::kNotSupported);
  // A statement is one operation: rows it changed before it failed are not kept either.
  EXPECT_EQ(errorNumber([&] { d.Execute("UPDATE plinkold SET plink = 1 / (ID - 20), before = 'x'"); }), 11);
  EXPECT_EQ(count(d, "select * from plinkold where before = 'x'"), 0);
  EXPECT_EQ(count(d, "plink"), 483);
  EXPECT_EQ(jet::checkDatabase(d.engine()), std::vector<std::string>{});
}

}  // namespace
