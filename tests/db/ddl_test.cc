// CREATE TABLE and CREATE INDEX through Execute and through `jet create`: the new designs are
// what our reader, our integrity check and mdbtools see. (Refused ones: the Execute test.)
#include <gtest/gtest.h>

#include "../error_number.h"

#include <filesystem>
#include <string>

#include "../independent_reader.h"
#include "../jet/jet_test_support.h"
#include "../temp_copy.h"
#include "db/connection.h"
#include "db/recordset.h"
#include "jet/write/create_database.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_tree.h"

namespace {

using testing_support::integrityProblems;
using testing_support::soundForEveryReader;
using testing_support::ScratchDir;
using jet::testing::runCommand;
using testing_support::errorNumber;

const jet::LogicalIndex& indexOf(jet::Table& t, const std::string& name) {
  const jet::LogicalIndex* li = t.def().findIndex(name);
  if (!li) throw std::runtime_error("no index " + name);
  return *li;
}

// Row addresses in the order the index gives them.
std::vector<jet::RowId> walk(jet::Database& db, jet::Table& t, const std::string& index) {
  std::vector<jet::RowId> rows;
  const jet::RealIndex& ri = t.def().realIndexes[indexOf(t, index).realIndex];
  jet::walkIndex(db.file(), db.format(), ri.rootPage, "", [&](const jet::IndexEntry& e) {
    rows.push_back(e.row);
    return true;
  });
  return rows;
}

TEST(DdlTest, CreateTableOfEveryTypeTakesRowsAndReadsBackEverywhere) {
  ScratchDir dir;
  const std::string path = dir.path() + "/new.mdb";
  jet::createDatabase(path);
  {
    db::Connection d(path);
    EXPECT_EQ(d.Execute("create table Contacts (ID counter primary key, Call text(20), Seen datetime, "
                        "DXCC short, Serial long, Power single, Freq double, Fee currency, Flag byte, Confirmed bit, "
                        "Notes memo, Card longbinary, constraint ByCall unique (Call, Seen))"),
              0);
    EXPECT_EQ(d.Execute("INSERT INTO Contacts (Call, Seen, DXCC, Serial, Power, Freq, Fee, Flag, Confirmed, Notes) "
                        "VALUES ('PJ2T', #10/11/2010 12:30:00#, 517, 100000, 1.5, 14.025, 12.34, 7, True, 'first')"),
              1);
    EXPECT_EQ(d.Execute("INSERT INTO Contacts (Call, DXCC) VALUES ('PJ7A', 518)"), 1);
    EXPECT_EQ(d.Execute("CREATE INDEX DXCC ON Contacts (DXCC DESC)"), 0);
    EXPECT_EQ(d.Execute("INSERT INTO Contacts (Call, DXCC) VALUES ('PJ4A', 520)"), 1);
    // The new indexes are used at once and kept by later writes.
    EXPECT_EQ(d.OpenRecordset("SELECT * FROM Contacts WHERE DXCC = 518")->RecordCount(), 1);
    EXPECT_EQ(errorNumber([&] { d.Execute("INSERT INTO Contacts (Call, Seen) VALUES ('PJ2T', #10/11/2010 12:30:00#)"); }),
              jet::err::kDuplicateKey);
    EXPECT_EQ(d.Execute("CREATE INDEX CallGiven ON Contacts (Call) WITH DISALLOW NULL"), 0);
    EXPECT_EQ(errorNumber([&] { d.Execute("INSERT INTO Contacts (DXCC) VALUES (1)"); }), jet::err::kNullInIndex);
  }
  EXPECT_EQ(soundForEveryReader(path), "");

  jet::Database db(path, jet::Database::Mode::ReadOnly);
  jet::Table& t = db.table("Contacts");
  std::vector<std::string> types;
  for (auto& c : t.def().columns) types.push_back(jet::columnTypeName(c.type));
  EXPECT_EQ(types, (std::vector<std::string>{"Long Integer", "Text", "Date/Time", "Integer", "Long Integer", "Single",
                                             "Double", "Currency", "Byte", "Yes/No", "Memo", "OLE Object"}));
  EXPECT_TRUE(t.def().columns[0].autoNumber());
  EXPECT_TRUE(t.def().realIndexes[indexOf(t, "ByCall").realIndex].unique());
  EXPECT_TRUE(indexOf(t, "PrimaryKey").primary());
  // Descending: the largest entity first.
  std::vector<int32_t> order;
  for (jet::RowId id : walk(db, t, "DXCC")) order.push_back(int32_t(t.readRow(id)[3].i));
  EXPECT_EQ(order, (std::vector<int32_t>{520, 518, 517}));

  // mdbtools sees the index added to a filled table (the Create tests check those made with it).
  const std::string schema = runCommand("mdb-schema --indexes '" + path + "' postgres 2>/dev/null");
  EXPECT_NE(schema.find("(\"dxcc\" DESC)"), std::string::npos) << schema;
}

TEST(DdlTest, IndexAddedToAFilledTableCoversEveryRowAndStaysExact) {
  ScratchDir dir;
  const std::string path = dir.copy("jet4/logbook.mdb");
  size_t rows = 0;
  {
    db::Connection d(path);
    rows = size_t(d.OpenRecordset("MainLog")->RecordCount());
    EXPECT_EQ(d.Execute("CREATE INDEX BandMode ON MainLog (Band, Mode DESC, Frequency)"), 0);
    EXPECT_EQ(d.Execute("CREATE INDEX QTH ON MainLog (QTH) WITH IGNORE NULL"), 0);
  }
  // The check finds every row listed once, with its key, in each index that should list it.
  EXPECT_EQ(integrityProblems(path), "");
  {
    jet::Database db(path, jet::Database::Mode::ReadOnly);
    jet::Table& t = db.table("MainLog");
    EXPECT_EQ(walk(db, t, "BandMode").size(), rows);
    EXPECT_TRUE(t.def().realIndexes[indexOf(t, "QTH").realIndex].ignoreNulls());
    EXPECT_LT(walk(db, t, "QTH").size(), rows);
  }
  // Later writes keep the new trees exact, and a lookup through one finds what a scan finds.
  {
    db::Connection d(path);
    EXPECT_GT(d.Execute("UPDATE MainLog SET Band = '12m', Mode = 'FT8' WHERE DXCC = 85"), 0);
    EXPECT_GT(d.Execute("DELETE FROM MainLog WHERE Band = '20m' AND Mode = 'CW'"), 0);
    long byIndex = d.OpenRecordset("SELECT * FROM MainLog WHERE Band = '12m'")->RecordCount();
    long byScan = d.OpenRecordset("SELECT * FROM MainLog WHERE Band & '' = '12m'")->RecordCount();
    EXPECT_EQ(byIndex, byScan);
    EXPECT_GT(byIndex, 0);
  }
  EXPECT_EQ(soundForEveryReader(path), "");
}

TEST(DdlTest, IndexAddedToAnAccessMadeTable) {
  // The same table as Access 2000 and Access 97 made it.
  for (const char* fixture : {"access-made/indexTestV2000.mdb", "access-made/indexTestV1997.mdb"}) {
    SCOPED_TRACE(fixture);
    ScratchDir dir;
    const std::string path = dir.copy(fixture);
    {
      db::Connection d(path);
      d.Execute("CREATE UNIQUE INDEX ByData ON Table1 (data, otherfk3 DESC)");
      d.Execute("INSERT INTO Table1 (id, otherfk1, otherfk2, data, otherfk3) VALUES (99, 1, 11, 'added \xE2\x82\xAC', 3)");
      EXPECT_EQ(errorNumber([&] { d.Execute("INSERT INTO Table1 (id, otherfk1, otherfk2, data, otherfk3) VALUES (98, 1, 11, 'ADDED \xE2\x82\xAC', 3)"); }),
                jet::err::kDuplicateKey);
    }
    EXPECT_EQ(soundForEveryReader(path), "");
    jet::Database db(path, jet::Database::Mode::ReadOnly);
    jet::Table& t = db.table("Table1");
    EXPECT_EQ(t.def().indexes.size(), 5u);  // each listing every row: the check above
    // The indexes Access made, foreign keys included, are still what they were.
    EXPECT_TRUE(indexOf(t, "Table2Table1").foreignKey());
  }
}

TEST(DdlTest, JetToolCreatesADatabaseFromStatements) {
  ScratchDir dir;
  const std::string path = dir.path() + "/made.mdb";
  const std::string jet = std::string(TARNLOG_JET_TOOL);
  int status = 0;
  std::string out;
  for (const bool access97 : {false, true}) {
    const std::string file = access97 ? dir.path() + "/made97.mdb" : path, name = access97 ? "one \xE2\x82\xAC" : "one";
    out = runCommand(jet + " create " + (access97 ? "--format 97 '" : "'") + file +
                         "' 'CREATE TABLE T (ID COUNTER PRIMARY KEY, Name TEXT(30))' "
                         "\"INSERT INTO T (Name) VALUES ('" + name + "')\" 'CREATE INDEX Name ON T (Name)' 2>&1",
                     &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(jet::Database(file, jet::Database::Mode::ReadOnly).header().version, access97 ? 0 : 1);
    EXPECT_EQ(runCommand(jet + " check '" + file + "'", &status), "ok\n") << file;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(runCommand("mdb-export '" + file + "' T"), "ID,Name\n1,\"" + name + "\"\n");
  }
  // A statement that does not parse stops it before the file is made.
  const std::string bad = dir.path() + "/bad.mdb";
  out = runCommand(jet + " create '" + bad + "' 'CREATE TABLE (' 2>&1", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("error 3290"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(bad));
  // An existing file is never overwritten.
  out = runCommand(jet + " create '" + path + "' 2>&1", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("error 3204"), std::string::npos) << out;
}

}  // namespace
