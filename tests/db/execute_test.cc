// Action statements through db::Connection::Execute, checked by reopening the written copies, and refused ones.
#include <gtest/gtest.h>

#include "../error_number.h"
#include "../independent_reader.h"
#include "../temp_copy.h"

#include <string>

#include "db/connection.h"
#include "db/recordset.h"
#include "jet/database/database.h"
#include "jet/base/error.h"

namespace {

using testing_support::ScratchDir;
using testing_support::errorNumber;

long count(db::Connection& d, const std::string& source) { return d.OpenRecordset(source)->RecordCount(); }

// Deletes, inserts and updates: exactly the matching rows change, values are converted to the
// column types, and the indexes and mdbtools read the result.
TEST(ExecuteTest, ActionStatementsChangeExactlyTheirRows) {
  ScratchDir dir;
  const std::string bandplan = dir.copy("jet4/bandplan.mdb");
  {
    db::Connection d(bandplan);
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
  db::Connection reopened(bandplan);
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

// Refused statements, data and data definition alike, leave the file as it was, byte for byte.
TEST(ExecuteTest, RefusedStatementsCarryJetNumbersAndLeaveTheFileAsItWas) {
  using namespace jet::err;
  ScratchDir dir;
  const std::string path = dir.copy("jet4/bandplan.mdb"), before = testing_support::readBytes(path);
  {
    db::Connection d(path);
    const std::pair<const char*, int> refusals[] = {
        {"SELECT * FROM prefixes", 3065},                          {"DELETE FROM nosuch", kTableNotFound},
        {"DELETE FROM plink WHERE plnk = 108", 3061},              {"UPDATE plink SET plink = nosuch + 1", 3061},
        {"INSERT INTO plink (prefx) VALUES ('X')", 3127},          {"UPDATE plink SET ID = 5 WHERE ID = 1", 3164},
        {"INSERT INTO plink (prefix) VALUES ('ABCDEFGHIJK')", kTooSmall},
        {"UPDATE plinkold SET plink = 40000", kOverflow},          {"UPDATE plinkold SET plink = 'x'", 3421},
        {"DROP TABLE plinkold", kNotSupported},
        // A statement is one operation: rows it changed before it failed are not kept either.
        {"UPDATE plinkold SET plink = 1 / (ID - 20), before = 'x'", 11},
        {"CREATE UNIQUE INDEX OneCountry ON prefixes (Country)", kDuplicateKey},
        {"CREATE INDEX NoNotes ON prefixes (Notes)", kInvalidArgument},
        {"CREATE INDEX SecondKey ON prefixes (prefix) WITH PRIMARY", kInvalidArgument},
        {"CREATE INDEX DXCC ON prefixes (Country)", kInvalidArgument},
        {"CREATE INDEX X ON prefixes (Country, country)", kInvalidArgument},
        {"CREATE INDEX X ON prefixes (Nowhere)", kInvalidArgument}, {"CREATE INDEX X ON Nowhere (prefix)", kTableNotFound},
        {"CREATE INDEX Ends ON prefixes (End_Date) WITH DISALLOW NULL", kNullInIndex},
        {"CREATE TABLE PLINK (A long)", 3010},                     {"CREATE TABLE T (A text(256))", 3292},
        {"CREATE TABLE T (A long NOT NULL)", kNotSupported},       {"CREATE TABLE T (A long, a text)", kInvalidArgument},
    };
    for (const auto& [sql, number] : refusals) EXPECT_EQ(errorNumber([&] { d.Execute(sql); }), number) << sql;
    EXPECT_EQ(count(d, "select * from plinkold where before = 'x'"), 0);  // still usable
    d.close();  // whatever stayed in the log is carried into the file
  }
  EXPECT_TRUE(testing_support::readBytes(path) == before) << "the file changed";
}

}  // namespace
