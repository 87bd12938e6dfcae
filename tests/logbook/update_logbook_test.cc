// The logbook update on the Access-made logbook and on logbooks of other shapes, read back by mdbtools too.
#include "logbook/update_logbook.h"

#include <gtest/gtest.h>

#include "../error_number.h"
#include "../independent_reader.h"
#include "../table_snapshot.h"
#include "../temp_copy.h"
#include "db/data_source.h"
#include "jet/write/create_database.h"
#include "jet/database/database.h"
#include "jet/base/error.h"

using namespace testing_support;

namespace {

// 2010-10-10 00:00:00 as Jet stores dates.
constexpr double kCutOver = 40461.0;
constexpr double kSecond = 1.0 / 86400.0;

struct LogbookRun {
  ScratchDir dir;
  std::string path = dir.copy("jet4/logbook.mdb");
  std::string setting = path;
  Reports box;
  db::DataSource Logbook;

  // The run, then the window unloads (closing the data source) whether it ended or failed.
  void run() {
    auto GetAppSetting = [this](const std::string& section, const std::string& key, const std::string& def) {
      EXPECT_EQ(section, "Settings");
      EXPECT_EQ(key, "Logbook");
      EXPECT_EQ(def, "");
      return setting;
    };
    try {
      logbook::UpdateLogbook(Logbook, GetAppSetting, box.fn());
    } catch (...) {
      Logbook.close();
      throw;
    }
    Logbook.close();
  }
  // Adds a contact; returns its ID.
  long add(const std::string& call, int dxcc, double start, bool nullCall = false) {
    Logbook.close();  // the data source keeps its database open after a run
    db::Connection d(path);
    auto rs = d.OpenRecordset("MainLog");
    rs->AddNew();
    long id = long(rs->getField("ID").i);
    if (!nullCall) rs->setField("Call", jet::Value::text(call));
    rs->setField("DXCC", jet::Value::long_(dxcc));
    rs->setField("Time_Start", jet::Value::date(start));
    rs->setField("Country", jet::Value::text("Netherlands Antilles"));
    rs->setField("Continent", jet::Value::text("SA"));
    rs->Update();
    d.close();
    return id;
  }
  void clearRetired() {
    db::Connection d(path);
    d.Execute("DELETE FROM MainLog WHERE DXCC = 85 OR DXCC = 255");
    d.close();
  }
  Row byId(long id) {
    for (auto& r : readTable(path, "MainLog")) if (num(r, "ID") == id) return r;
    ADD_FAILURE() << "no contact " << id;
    return {};
  }
};

bool selected(const Row& r) {
  long long d = r.at("DXCC").i;
  return (d == 85 || d == 255) && !r.at("Time_Start").isNull() && r.at("Time_Start").d > kCutOver;
}

}  // namespace

TEST(UpdateLogbook, OnTheFixtureReassignsEveryMatchedContactAndNothingElse) {
  LogbookRun r;
  auto before = readTable(r.path, "MainLog");
  ASSERT_EQ(rowsWhere(before, selected).size(), 68u);
  r.run();
  auto after = readTable(r.path, "MainLog");
  ASSERT_EQ(after.size(), before.size());
  long changed = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    const Row& b = before[i];
    const Row& a = after[i];
    ASSERT_EQ(num(a, "ID"), num(b, "ID"));
    if (!selected(b)) {
      EXPECT_EQ(a, b) << "contact " << num(b, "ID") << " should be untouched";
      continue;
    }
    const std::string& call = text(b, "Call");
    Row expect = b;
    auto set = [&](int dxcc, const char* country, const char* cont) {
      expect["DXCC"] = jet::Value::long_(dxcc);
      expect["Country"] = jet::Value::text(country);
      expect["Continent"] = jet::Value::text(cont);
      ++changed;
    };
    if (call.find("PJ2") != std::string::npos) set(517, "Curacao", "SA");
    else if (call.find("PJ7") != std::string::npos) set(518, "Sint Maarten", "NA");
    else if (call.find("PJ5") != std::string::npos || call.find("PJ6") != std::string::npos) set(519, "Saba & St. Eustatius", "NA");
    else if (call.find("PJ4") != std::string::npos) set(520, "Bonaire", "SA");
    EXPECT_EQ(a, expect) << call;
  }
  ASSERT_EQ(r.box.shown.size(), 1u);
  EXPECT_EQ(r.box.shown[0], std::to_string(changed) + " PJ logbook records have been updated.");
  EXPECT_EQ(soundForEveryReader(r.path), "");
}

TEST(UpdateLogbook, RulesLookAtTheCallSignInOrderAndExactly) {
  LogbookRun r;
  r.clearRetired();
  r.run();  // none selected
  struct Case { const char* call; int dxcc; double start; int expect; const char* country; };
  const Case cases[] = {
      {"PJ2T", 85, kCutOver + kSecond, 517, "Curacao"},
      {"K1ABC/PJ7", 85, kCutOver + 1, 518, "Sint Maarten"},      // 85 with PJ7 gets 518
      {"PJ2/W1AW", 255, kCutOver + 2, 517, "Curacao"},           // 255 with PJ2 gets 517
      {"PJ4PJ2", 85, kCutOver + 3, 517, "Curacao"},              // both: the earlier rule wins
      {"PJ5PJ7", 255, kCutOver + 4, 518, "Sint Maarten"},
      {"PJ5A", 255, kCutOver + 5, 519, "Saba & St. Eustatius"},
      {"PJ6AA", 255, kCutOver + 6, 519, "Saba & St. Eustatius"},
      {"W1/PJ4X", 85, kCutOver + 7, 520, "Bonaire"},
      {"pj2x", 85, kCutOver + 8, 85, "Netherlands Antilles"},     // lower case matches nothing
      {"PJ9JT", 85, kCutOver + 9, 85, "Netherlands Antilles"},    // no rule: left alone
      {"PJ2EXACT", 85, kCutOver, 85, "Netherlands Antilles"},     // exactly at the cut-over: not selected
      {"PJ2OLD", 85, kCutOver - 100, 85, "Netherlands Antilles"}, // before it
  };
  std::vector<long> ids;
  for (auto& c : cases) ids.push_back(r.add(c.call, c.dxcc, c.start));
  r.run();
  for (size_t i = 0; i < std::size(cases); ++i) {
    Row row = r.byId(ids[i]);
    EXPECT_EQ(num(row, "DXCC"), cases[i].expect) << cases[i].call;
    EXPECT_EQ(text(row, "Country"), cases[i].country) << cases[i].call;
  }
  // Again: only the unmatched and lower-case contacts are still selected, and none is written.
  r.run();
  EXPECT_EQ(r.box.shown, (std::vector<std::string>{"No PJ QSO's requiring changes on or after 10/10/2010 were found.",
                                                   "8 PJ logbook records have been updated.",
                                                   "No PJ logbook records required updating."}));
  EXPECT_EQ(soundForEveryReader(r.path), "");
}

TEST(UpdateLogbook, ANullCallSignStopsTheRunAndKeepsWhatWasWritten) {
  LogbookRun r;
  r.clearRetired();
  long first = r.add("PJ2A", 85, kCutOver + 1);
  r.add("", 85, kCutOver + 2, /*nullCall=*/true);
  long third = r.add("PJ7B", 85, kCutOver + 3);
  EXPECT_EQ(errorNumber([&] { r.run(); }), jet::err::kInvalidNull);
  EXPECT_TRUE(r.box.shown.empty());
  EXPECT_EQ(num(r.byId(first), "DXCC"), 517);
  EXPECT_EQ(num(r.byId(third), "DXCC"), 85);
  r.Logbook.close();
  EXPECT_EQ(soundForEveryReader(r.path), "");
}

TEST(UpdateLogbook, AMissingSettingFailsWhenTheLogbookIsOpened) {
  LogbookRun r;
  r.setting = "";
  EXPECT_EQ(errorNumber([&] { r.run(); }), jet::err::kFileNotFound);
  EXPECT_TRUE(r.box.shown.empty());
}

// Logbooks of other shapes, made by the tests: DXCC as a 16-bit or a 32-bit number, with and
// without indexes on DXCC and Country (the selection then scans or uses the index).
TEST(UpdateLogbook, LogbooksWithA16Or32BitDxccWithAndWithoutIndexes) {
  struct Shape { const char* dxccType; bool indexed; };
  const Shape shapes[] = {{"SHORT", false}, {"SHORT", true}, {"LONG", false}, {"LONG", true}};
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(std::string(shape.dxccType) + (shape.indexed ? " indexed" : " plain"));
    LogbookRun r;
    r.path = r.dir.path() + "/made.mdb";
    r.setting = r.path;
    jet::createDatabase(r.path);
    {
      db::Connection d(r.path);
      d.Execute(std::string("CREATE TABLE MainLog (ID COUNTER PRIMARY KEY, Call TEXT(20), Time_Start DATETIME, DXCC ") +
                shape.dxccType + ", Country TEXT(50), Continent TEXT(2))");
      if (shape.indexed) {
        d.Execute("CREATE INDEX DXCC ON MainLog (DXCC)");
        d.Execute("CREATE INDEX Country ON MainLog (Country)");
      }
    }
    const long curacao = r.add("PJ2T", 85, kCutOver + kSecond);
    const long saba = r.add("PJ6/K1XX", 255, kCutOver + 10);
    const long old = r.add("PJ4B", 85, kCutOver - kSecond);
    const long other = r.add("W1AW", 291, kCutOver + 1);
    r.run();
    ASSERT_EQ(r.box.shown.size(), 1u);
    EXPECT_EQ(r.box.shown[0], "2 PJ logbook records have been updated.");
    const std::pair<long, int> expected[] = {{curacao, 517}, {saba, 519}, {old, 85}, {other, 291}};
    for (auto [id, dxcc] : expected) EXPECT_EQ(num(r.byId(id), "DXCC"), dxcc) << "contact " << id;
    EXPECT_EQ(text(r.byId(curacao), "Continent"), "SA");
    r.Logbook.close();
    EXPECT_EQ(soundForEveryReader(r.path), "");
    // The index now leads to the new entities.
    db::Connection check(r.path);
    EXPECT_EQ(check.OpenRecordset("SELECT * FROM MainLog WHERE DXCC = 519 AND Country = 'Saba & St. Eustatius'")->RecordCount(), 1);
  }
}
