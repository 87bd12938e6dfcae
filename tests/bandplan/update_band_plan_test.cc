#include "bandplan/update_band_plan.h"

#include <gtest/gtest.h>

#include "../independent_reader.h"
#include "../table_snapshot.h"
#include "../temp_copy.h"
#include "db/data_source.h"
#include "jet/base/csv_format.h"
#include "jet/database/database.h"
#include "jet/base/error.h"

using namespace testing_support;

namespace {

const char* kDone = "PJ Entities have been checked and changed where necessary.";

struct BandPlanRun {
  ScratchDir dir;
  std::string path = dir.copy("jet4/bandplan.mdb");
  Reports box;

  void run() {
    db::DataSource BandPlan;
    BandPlan.setDatabaseName(path);
    BandPlan.Refresh();
    bandplan::UpdateBandPlan(BandPlan, box.fn());
    BandPlan.close();
  }
  void execute(const std::string& sql) {
    db::Connection d(path);
    d.Execute(sql);
    d.close();
  }
  std::vector<Row> table(const std::string& name) { return readTable(path, name); }
};

std::vector<Row> ofEntity(const std::vector<Row>& rows, int dxcc) {
  return rowsWhere(rows, [&](const Row& r) { return !r.at("DXCC").isNull() && r.at("DXCC").i == dxcc; });
}

// 2010-10-10 00:00:00 as Jet stores dates.
constexpr double kCutOver = 40461.0;

// The rows of a table whose ID is above `id`, as the export prints them.
std::vector<std::string> exportedAfter(const std::string& path, const std::string& table, long long id) {
  jet::Database db(path, jet::Database::Mode::ReadOnly);
  jet::Table& t = db.table(table);
  std::vector<std::string> lines;
  for (jet::RowId row : t.rowIds()) {
    std::vector<jet::Value> values = t.readRow(row);
    if (values[size_t(t.columnIndex("ID"))].i > id) lines.push_back(jet::csvLine(values));
  }
  return lines;
}

}  // namespace

TEST(UpdateBandPlan, OnTheFixtureAddsRetiresAndRelinksAndASecondRunChangesNothing) {
  BandPlanRun r;
  auto before = r.table("prefixes");
  r.run();
  auto after = r.table("prefixes");

  // The four new entities as the export prints them (the counter stood at 440); the date exactly.
  const std::vector<std::string> added = {
      "441,\"PJ2\",\"PJ2\",\"Curacao\",\"-x\",\"SA\",\"09\",\"11\",12.17,-69,517,4,2010-10-10 00:00:00,,0,1,\n",
      "442,\"PJ7\",\"PJ7\",\"Sint Maarten\",\"-x\",\"NA\",\"08\",\"11\",18.07,-63.07,518,4,2010-10-10 00:00:00,,0,1,\n",
      "443,\"PJ5\",\"PJ5\",\"St. Eustatius & Saba\",\"-x\",\"NA\",\"08\",\"11\",17.57,-63.1,519,4,2010-10-10 00:00:00,,0,1,\n",
      "444,\"PJ4\",\"PJ4\",\"Bonaire\",\"-x\",\"SA\",\"09\",\"11\",12.2,-68.25,520,4,2010-10-10 00:00:00,,0,1,\n"};
  EXPECT_EQ(exportedAfter(r.path, "prefixes", 440), added);
  for (const Row& row : rowsWhere(after, [](const Row& x) { return num(x, "ID") > 440; })) {
    EXPECT_EQ(row.at("Begin_Date").d, kCutOver);
  }

  // Every row of 85 and 255 retired; nothing else of them changed.
  for (int dxcc : {85, 255}) {
    auto was = ofEntity(before, dxcc), now = ofEntity(after, dxcc);
    ASSERT_GE(now.size(), 2u);
    ASSERT_EQ(was.size(), now.size());
    for (size_t i = 0; i < now.size(); ++i) {
      EXPECT_TRUE(now[i].at("Deleted").b);
      EXPECT_FALSE(now[i].at("Use").b);
      EXPECT_DOUBLE_EQ(now[i].at("End_Date").d, kCutOver);
      Row rest = now[i], old = was[i];
      for (auto* f : {"Deleted", "Use", "End_Date"}) { rest.erase(f); old.erase(f); }
      EXPECT_EQ(rest, old);
    }
  }
  // Every other row untouched.
  auto others = [](const Row& x) { long long d = x.at("DXCC").i; return d != 85 && d != 255 && (d < 517 || d > 520); };
  EXPECT_EQ(rowsWhere(after, others), rowsWhere(before, others));

  auto plink = r.table("plink");
  EXPECT_TRUE(rowsWhere(plink, [](const Row& x) { return num(x, "plink") == 108 || num(x, "plink") == 143; }).empty());
  std::map<std::string, long long> links;
  for (auto& x : rowsWhere(plink, [](const Row& x) { return num(x, "plink") > 440; })) links[text(x, "prefix")] = num(x, "plink");
  EXPECT_EQ(links, (std::map<std::string, long long>{{"PJ2", 441}, {"PJ7", 442}, {"PJ5", 443}, {"PJ6", 443}, {"PJ4", 444}}));

  auto old = r.table("plinkold");
  std::map<std::string, long long> earlier;
  for (auto& x : old) {
    if (text(x, "prefix").rfind("PJ", 0) != 0) continue;
    EXPECT_EQ(text(x, "before"), "2010");
    earlier[text(x, "prefix")] = num(x, "plink");
  }
  EXPECT_EQ(earlier, (std::map<std::string, long long>{{"PJ0", 143}, {"PJ1", 143}, {"PJ2", 143}, {"PJ3", 143}, {"PJ4", 143},
                                                        {"PJ9", 143}, {"PJ5", 108}, {"PJ6", 108}, {"PJ7", 108}, {"PJ8", 108}}));
  EXPECT_EQ(soundForEveryReader(r.path), "");

  // A second run finds everything done: it changes nothing and reports again.
  r.run();
  EXPECT_EQ(r.table("prefixes"), after);
  EXPECT_EQ(r.table("plink"), plink);
  EXPECT_EQ(r.table("plinkold"), old);
  EXPECT_EQ(r.box.shown, (std::vector<std::string>{kDone, kDone}));
}

TEST(UpdateBandPlan, EntitiesAlreadyPresentGetNoRowAndNoLinks) {
  BandPlanRun r;
  // 518 present; 520 present but retired.
  r.execute("INSERT INTO prefixes (prefix, Country, DXCC, Deleted, [Use]) VALUES ('PJ7', 'Sint Maarten', 518, False, True)");
  r.execute("INSERT INTO prefixes (prefix, Country, DXCC, Deleted, [Use]) VALUES ('PJ4', 'Bonaire', 520, True, False)");
  auto before = r.table("prefixes");
  r.run();
  auto after = r.table("prefixes");
  EXPECT_EQ(after.size(), before.size() + 2);
  EXPECT_EQ(ofEntity(after, 518), ofEntity(before, 518));
  EXPECT_EQ(ofEntity(after, 520), ofEntity(before, 520));
  int32_t id517 = int32_t(num(ofEntity(after, 517).at(0), "ID"));
  int32_t id519 = int32_t(num(ofEntity(after, 519).at(0), "ID"));
  std::map<std::string, long long> links;
  for (auto& x : r.table("plink")) if (num(x, "plink") >= id517) links[text(x, "prefix")] = num(x, "plink");
  EXPECT_EQ(links, (std::map<std::string, long long>{{"PJ2", id517}, {"PJ5", id519}, {"PJ6", id519}}));
}

// The new entities present already, as an earlier run of this update stored them, but their
// prefixes not linked (that run stopped, or the links were taken out since): only the rows a run
// adds itself get links, so none is added.
TEST(UpdateBandPlan, EntitiesStoredEarlierWithoutTheirLinksGetNone) {
  BandPlanRun r;
  r.run();
  const std::string links = "(prefix = 'PJ2' OR prefix = 'PJ4' OR prefix = 'PJ5' OR prefix = 'PJ6' OR prefix = 'PJ7')";
  r.execute("DELETE FROM plink WHERE " + links);
  const size_t before = r.table("plink").size();
  r.run();
  auto pj = [](const Row& x) { return text(x, "prefix").rfind("PJ", 0) == 0; };
  EXPECT_EQ(rowsWhere(r.table("plink"), pj).size(), 0u);
  EXPECT_EQ(r.table("plink").size(), before);
  EXPECT_EQ(r.box.shown.size(), 2u);
}

TEST(UpdateBandPlan, DeletesEveryOldLinkAndRespectsEarlierLinksInAnyCase) {
  BandPlanRun r;
  r.execute("INSERT INTO plink (prefix, plink) VALUES ('ZZ9', 108)");
  r.execute("INSERT INTO plink (prefix, plink) VALUES ('QQ1', 143)");
  r.execute("INSERT INTO plink (prefix, plink) VALUES ('PJ2', 5)");
  r.execute("INSERT INTO plinkold (prefix, plink, before) VALUES ('pj3', 1, '1999')");
  r.execute("INSERT INTO plinkold (prefix, plink, before) VALUES ('PJ8', 2, '2001')");
  r.run();
  auto plink = r.table("plink");
  EXPECT_TRUE(rowsWhere(plink, [](const Row& x) { return num(x, "plink") == 108 || num(x, "plink") == 143; }).empty());
  // A link row is added even where one with the same prefix exists.
  EXPECT_EQ(rowsWhere(plink, [](const Row& x) { return text(x, "prefix") == "PJ2"; }).size(), 2u);
  auto old = r.table("plinkold");
  auto pj = [&](const char* p) { return rowsWhere(old, [&](const Row& x) { return jet::sameName(text(x, "prefix"), p); }); };
  ASSERT_EQ(pj("PJ3").size(), 1u);
  EXPECT_EQ(text(pj("PJ3")[0], "before"), "1999");
  ASSERT_EQ(pj("PJ8").size(), 1u);
  EXPECT_EQ(num(pj("PJ8")[0], "plink"), 2);
  EXPECT_EQ(pj("PJ0").size(), 1u);
  EXPECT_EQ(soundForEveryReader(r.path), "");
}

TEST(UpdateBandPlan, WithoutRetiredEntitiesOnlyTheNewOnesChange) {
  BandPlanRun r;
  r.execute("DELETE FROM prefixes WHERE DXCC = 85 OR DXCC = 255");
  auto before = r.table("prefixes");
  r.run();
  EXPECT_EQ(r.table("prefixes").size(), before.size() + 4);
  EXPECT_EQ(r.box.shown.size(), 1u);
}
