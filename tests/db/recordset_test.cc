// Record sets over the fixture databases: query planning, navigation, finds and edits.
#include <gtest/gtest.h>

#include "../error_number.h"
#include "../jet/jet_test_support.h"
#include "../temp_copy.h"

#include <algorithm>
#include <functional>
#include <string>

#include "db/connection.h"
#include "db/query_plan.h"
#include "db/recordset.h"
#include "db/sql_eval.h"
#include "db/sql_parser.h"
#include "db/value_convert.h"
#include "jet/write/create_database.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/check/integrity_check.h"

namespace {

using testing_support::ScratchDir;
using testing_support::errorNumber;

std::vector<int64_t> ids(db::Recordset& rs) {
  std::vector<int64_t> out;
  if (rs.RecordCount() == 0) return out;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out.push_back(rs.getField("ID").i);
  return out;
}

// The planner picks `index` ("" for a scan), and walking it selects the rows a scan selects;
// returns how many.
size_t expectWalkMatchesScan(jet::Table& t, const std::string& where, const std::string& index) {
  const db::sql::Expr e = db::sql::parseExpression(where);
  EXPECT_EQ(db::planQuery(t, &e, {}).index, index);
  std::vector<jet::RowId> walked = db::selectRows(t, &e, {}, true), scanned = db::selectRows(t, &e, {}, false);
  std::sort(walked.begin(), walked.end());
  std::sort(scanned.begin(), scanned.end());
  EXPECT_EQ(walked, scanned);
  return scanned.size();
}

// Ranges, lists, text in other letter case, keys no row has and conditions no index serves;
// lookups of the keys the rows hold are the every-fixture test's.
TEST(QueryPlanTest, IndexWalksSelectTheRowsOfAScan) {
  jet::Database bp(testing_support::fixture("jet4/bandplan.mdb"), jet::Database::Mode::ReadOnly);
  jet::Database lb(testing_support::fixture("jet4/logbook.mdb"), jet::Database::Mode::ReadOnly);
  struct Case {
    jet::Database* db;
    std::string table, where, index;  // index: the planner's choice ("" for a scan)
    long expected;                    // -1: not known beforehand
  };
  const std::vector<Case> cases = {
      {&bp, "prefixes", "(DXCC = 85 OR DXCC = 255)", "DXCC", 5},
      {&bp, "prefixes", "DXCC IN (85, 255) AND Continent = 'SA'", "DXCC", 3},
      {&bp, "prefixes", "DXCC = 85.5", "DXCC", 0},       {&bp, "prefixes", "DXCC > 100000", "DXCC", 0},
      {&bp, "prefixes", "DXCC < 85.5", "DXCC", -1},      {&bp, "prefixes", "DXCC BETWEEN 80 AND 90", "DXCC", -1},
      {&bp, "prefixes", "300 <= DXCC", "DXCC", -1},      {&bp, "prefixes", "ID >= 400 AND ID < 420", "PrimaryKey", 20},
      {&bp, "prefixes", "prefix = 'pj2'", "prefix", 1},  {&bp, "prefixes", "Country LIKE 'Neth*'", "", -1},
      {&bp, "plink", "prefix = 'pj0'", "prefix", 1},     {&bp, "plinkold", "prefix = 'PJ0'", "prefix", 0},
      {&lb, "MainLog", "(DXCC = 85 OR DXCC = 255) AND Time_Start > #Oct 10, 2010#", "DXCC", 68},
      {&lb, "MainLog", "DXCC = 85 OR DXCC = 255", "DXCC", 148},
      {&lb, "MainLog", "Time_Start > #Oct 10, 2010# AND Time_Start <= #2011-03-01#", "Time_Start", -1},
      {&lb, "MainLog", "Call = 'pj2t'", "Call", -1},
      {&bp, "prefixes", "prefix = 'PJ2' AND (DXCC = 1 OR Continent = 'SA')", "prefix", 1},
      // No index serves an OR across columns or with a range, or a NOT.
      {&bp, "prefixes", "DXCC = 85 OR ID = 5", "", -1}, {&bp, "prefixes", "DXCC = 85 OR DXCC > 500", "", -1},
      {&bp, "prefixes", "NOT DXCC = 85", "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table + " WHERE " + c.where);
    const long selected = long(expectWalkMatchesScan(c.db->table(c.table), c.where, c.index));
    if (c.expected >= 0) {
      EXPECT_EQ(selected, c.expected);
    }
  }
}

TEST(QueryPlanTest, LookupsOnEveryNumberTypeSelectTheRowsOfAScan) {
  testing_support::ScratchDir dir;
  const std::string path = dir.path() + "/numbers.mdb";
  jet::createDatabase(path);
  {
    db::Connection d(path);
    d.Execute("CREATE TABLE T (N long, Fee currency, Power single, Freq double)");
    for (const char* values : {"1, 3.5, 0.25, 0", "2, -2.0001, 0.1, -1", "3, 0, -0.5, 2.5", "4, 3.5, 0.1, 0"}) {
      d.Execute(std::string("INSERT INTO T VALUES (") + values + ")");
    }
    for (const char* index : {"CREATE INDEX N ON T (N DESC)", "CREATE INDEX Fee ON T (Fee)",
                              "CREATE INDEX Power ON T (Power)", "CREATE INDEX FeeFreq ON T (Fee, Freq DESC)"}) {
      d.Execute(index);
    }
    d.Execute("UPDATE T SET Freq = -Freq WHERE N = 1");  // -0 is stored apart from 0, and equal to it
  }
  jet::Database db(path, jet::Database::Mode::ReadOnly);
  jet::Table& t = db.table("T");
  const std::vector<std::tuple<std::string, std::string, size_t>> cases = {
      {"N = 3", "N", 1},           {"N IN (2, 4, 9)", "N", 2},        {"Fee = 3.5", "Fee", 2},
      {"Fee = -2.0001", "Fee", 1}, {"Fee = 3.50001", "Fee", 0},       {"Fee > -3 AND Fee < 0", "Fee", 1},
      {"Power = 0.25", "Power", 1}, {"Power > 0.1", "Power", 3},
      {"Power = 0.1", "Power", 0},  // no Single holds 0.1 exactly
      {"Power = 0.100000001490116119384765625", "Power", 2},
      {"Fee = 3.5 AND Freq = 0", "FeeFreq", 2}, {"Fee = 0 AND Freq = 2.5", "FeeFreq", 1},
  };
  for (const auto& [where, index, count] : cases) {
    EXPECT_EQ(expectWalkMatchesScan(t, where, index), count) << where;
  }
}

// Everything a record set does short of changing rows: order, open errors, moves and finds.
TEST(RecordsetTest, OrderingMovingAndFinding) {
  ScratchDir dir;
  db::Connection database(dir.copy("jet4/bandplan.mdb"));
  auto byId = database.OpenRecordset("SELECT * from prefixes ORDER BY ID");
  const std::vector<int64_t> got = ids(*byId);
  EXPECT_EQ(got.size(), 438u);
  EXPECT_EQ(std::adjacent_find(got.begin(), got.end(), std::greater_equal<>()), got.end());  // strictly ascending
  jet::Table& t = database.engine().table("prefixes");
  const db::QueryPlan idPlan = db::planQuery(t, nullptr, {{"ID", false}});
  EXPECT_EQ(idPlan.index, "PrimaryKey");
  EXPECT_FALSE(idPlan.sortInMemory);

  auto byCountry = database.OpenRecordset("SELECT Country, DXCC FROM prefixes WHERE DXCC < 100 ORDER BY Country DESC, DXCC");
  std::vector<std::pair<jet::Value, jet::Value>> rows;
  for (; !byCountry->Eof(); byCountry->MoveNext()) rows.push_back({byCountry->getField("Country"), byCountry->getField("DXCC")});
  EXPECT_GT(rows.size(), 10u);
  for (size_t i = 1; i < rows.size(); ++i) {
    const int c = db::sql::compareValues(rows[i - 1].first, rows[i].first);
    EXPECT_GE(c, 0);
    if (c == 0) {
      EXPECT_LE(db::sql::compareValues(rows[i - 1].second, rows[i].second), 0);
    }
  }
  EXPECT_EQ(errorNumber([&] { byCountry->getField("ID"); }), jet::err::kItemNotFound);  // not selected

  EXPECT_EQ(errorNumber([&] { database.OpenRecordset("nosuchtable"); }), jet::err::kTableNotFound);
  EXPECT_EQ(errorNumber([&] { database.OpenRecordset("SELECT * FROM nosuch WHERE a = 1"); }), jet::err::kTableNotFound);
  EXPECT_EQ(errorNumber([&] { database.OpenRecordset("SELECT * FROM prefixes WHERE DXXC = 85"); }), 3061);
  EXPECT_EQ(errorNumber([&] { database.OpenRecordset("SELECT * FROM prefixes ORDER BY Nothing"); }), 3061);
  EXPECT_EQ(errorNumber([&] { database.OpenRecordset("DELETE FROM prefixes"); }), 3219);

  auto rs = database.OpenRecordset("[plink]");
  EXPECT_EQ(rs->RecordCount(), 483);
  EXPECT_EQ(errorNumber([&] { rs->getField("nosuch"); }), jet::err::kItemNotFound);
  EXPECT_EQ(errorNumber([&] { rs->setField("plink", jet::Value::long_(1)); }), 3020);
  EXPECT_EQ(errorNumber([&] { rs->Update(); }), 3020);
  EXPECT_EQ(errorNumber([&] { rs->FindFirst("nosuch = 1"); }), 3070);
  EXPECT_EQ(errorNumber([&] { rs->FindFirst("plink = 'x'"); }), jet::err::kCriteriaMismatch);

  auto empty = database.OpenRecordset("select * from plinkold where prefix = 'PJ0'");
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_TRUE(empty->Eof());
  EXPECT_TRUE(empty->Bof());
  EXPECT_EQ(errorNumber([&] { empty->MoveFirst(); }), jet::err::kNoCurrentRecord);
  EXPECT_EQ(errorNumber([&] { empty->MoveLast(); }), jet::err::kNoCurrentRecord);
  EXPECT_EQ(errorNumber([&] { empty->MoveNext(); }), jet::err::kNoCurrentRecord);
  EXPECT_EQ(errorNumber([&] { empty->getField("prefix"); }), jet::err::kNoCurrentRecord);
  EXPECT_EQ(errorNumber([&] { empty->Edit(); }), jet::err::kNoCurrentRecord);
  EXPECT_EQ(errorNumber([&] { empty->Delete(); }), jet::err::kNoCurrentRecord);

  rs = database.OpenRecordset("SELECT * FROM prefixes WHERE DXCC = 85");
  EXPECT_GT(rs->RecordCount(), 0);
  EXPECT_FALSE(rs->Eof());
  rs->MoveLast();
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(errorNumber([&] { rs->MoveNext(); }), jet::err::kNoCurrentRecord);
  EXPECT_EQ(errorNumber([&] { rs->getField("ID"); }), jet::err::kNoCurrentRecord);
  rs->MoveFirst();
  EXPECT_EQ(rs->getField("dxcc").i, 85);

  // FindFirst moves to the first match, or reports none and stays where it was.
  rs = database.OpenRecordset("select * from prefixes");
  rs->FindFirst("DXCC=255");
  ASSERT_FALSE(rs->NoMatch());
  EXPECT_EQ(rs->getField("DXCC").i, 255);
  const int64_t found = rs->getField("ID").i;
  rs->FindFirst("DXCC=517");
  EXPECT_TRUE(rs->NoMatch());
  EXPECT_EQ(rs->getField("ID").i, found);  // the current row is kept
  rs->FindFirst("prefix = 'pj2' AND Continent = 'SA'");
  EXPECT_FALSE(rs->NoMatch());
  EXPECT_EQ(rs->getField("ID").i, 143);
  EXPECT_EQ(db::utf8Length(rs->getField("Notes").s), 4524u);  // as mdb-export reads it, CR LF included
}

TEST(RecordsetTest, AddNewEditAndDeleteReachTheFile) {
  ScratchDir dir;
  const std::string bandplan = dir.copy("jet4/bandplan.mdb");
  {
    db::Connection database(bandplan);
    auto rs = database.OpenRecordset("SELECT * FROM prefixes WHERE DXCC = 85");
    ASSERT_EQ(ids(*rs), (std::vector<int64_t>{143, 357, 391}));
    rs->MoveFirst();
    rs->MoveNext();  // on 357

    // A new row: its AutoNumber is known before it is stored; the current row stays.
    rs->AddNew();
    EXPECT_EQ(rs->getField("ID").i, 441);
    EXPECT_TRUE(rs->getField("prefix").isNull());
    rs->setField("prefix", jet::Value::text("PJ7X"));
    rs->setField("DXCC", jet::Value::long_(517));     // converted to the Integer column
    rs->setField("Latitude", jet::Value::text("18.04"));
    EXPECT_EQ(rs->getField("DXCC").kind, jet::Value::Kind::Integer);
    EXPECT_EQ(errorNumber([&] { rs->setField("DXCC", jet::Value::long_(100000)); }), jet::err::kOverflow);
    EXPECT_EQ(errorNumber([&] { rs->setField("ID", jet::Value::long_(5)); }), 3164);
    rs->Update();
    EXPECT_EQ(rs->getField("ID").i, 357);
    EXPECT_EQ(errorNumber([&] { rs->Update(); }), 3020);

    // An edit that takes the row out of the WHERE keeps it in the set.
    rs->MoveFirst();
    const jet::Value prefix = rs->getField("prefix");
    rs->Edit();
    rs->setField("DXCC", jet::Value::integer(520));
    // Before Update, the edit shows the value set and the row's own for the others.
    EXPECT_EQ(rs->getField("DXCC").i, 520);
    EXPECT_EQ(rs->getField("prefix"), prefix);
    EXPECT_EQ(rs->currentValues()[1], prefix);
    rs->Update();
    EXPECT_EQ(rs->getField("DXCC").i, 520);
    rs->MoveNext();
    EXPECT_EQ(rs->getField("ID").i, 357);
    rs->Delete();
    EXPECT_EQ(errorNumber([&] { rs->getField("ID"); }), 3167);
    rs->MoveNext();
    EXPECT_EQ(rs->getField("ID").i, 391);
    rs->MoveNext();
    EXPECT_EQ(rs->getField("ID").i, 441);  // added rows are appended
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 3);

    rs->AddNew();
    EXPECT_EQ(rs->getField("ID").i, 442);
    rs->setField("prefix", jet::Value::text("PJ8X"));
    rs->Update();
  }
  db::Connection reopened(bandplan);
  EXPECT_EQ(ids(*reopened.OpenRecordset("SELECT * FROM prefixes WHERE DXCC = 85 ORDER BY ID")),
            (std::vector<int64_t>{391}));
  auto moved = reopened.OpenRecordset("SELECT * FROM prefixes WHERE DXCC >= 517 ORDER BY ID");
  ASSERT_EQ(ids(*moved), (std::vector<int64_t>{143, 441}));
  moved->MoveLast();
  EXPECT_EQ(moved->getField("prefix").s, "PJ7X");
  EXPECT_DOUBLE_EQ(moved->getField("Latitude").d, 18.04);
  moved->MoveFirst();
  EXPECT_EQ(db::utf8Length(moved->getField("Notes").s), 4524u);  // the memo survived the edit
  EXPECT_EQ(reopened.OpenRecordset("prefixes")->RecordCount(), 438 + 2 - 1);
  EXPECT_EQ(jet::checkDatabase(reopened.engine()), std::vector<std::string>{});
  EXPECT_EQ(jet::testing::mdbtoolsRowDifferences(reopened.engine(), "prefixes"), std::vector<std::string>{});
}

}  // namespace
