// Both updates on files whose indexes are damaged where the updates read them: each run ends in
// error 3049 with the file untouched, or in the result that a scan of the rows calls for.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>
#include <set>

#include "../error_number.h"
#include "../table_snapshot.h"
#include "../temp_copy.h"
#include "bandplan/update_band_plan.h"
#include "db/data_source.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_page.h"
#include "logbook/update_logbook.h"

using namespace testing_support;

namespace {

// 2010-10-10 00:00:00 as Jet stores dates.
constexpr double kCutOver = 40461.0;

struct Leaf {
  size_t start;     // where its page starts in the file
  size_t from, to;  // the bytes of the page that hold its entries: their mask and the entries in use
};

// The leaves of a table's index that list a row `wanted` selects (every leaf when it is empty).
std::vector<Leaf> leavesListing(const std::string& path, const std::string& table, const std::string& index,
                                const std::function<bool(const Row&)>& wanted) {
  const std::vector<Row> read = readTable(path, table);  // in the order of rowIds()
  jet::Database db(path, jet::Database::Mode::ReadOnly);
  jet::Table& t = db.table(table);
  std::set<uint32_t> rows;
  const std::vector<jet::RowId> ids = t.rowIds();
  for (size_t i = 0; i < ids.size(); ++i) {
    if (!wanted || wanted(read.at(i))) rows.insert(ids[i].packed());
  }
  const jet::RealIndex* real = nullptr;
  for (const auto& li : t.def().indexes) if (li.name == index) real = &t.def().realIndexes.at(size_t(li.realIndex));
  if (!real) ADD_FAILURE() << "no index " << index;
  std::vector<Leaf> leaves;
  const jet::Format& f = db.format();
  std::function<void(uint32_t)> down = [&](uint32_t page) {
    jet::IndexNode n = jet::readIndexNode(db.file(), f, page);
    if (!n.leaf) {
      for (const auto& e : n.entries) down(e.child);
      if (n.tail) down(n.tail);
      return;
    }
    bool lists = false;
    for (const auto& e : n.entries) lists = lists || rows.count(e.row.packed());
    if (!lists) return;
    jet::PageRef pg = db.file().read(page);
    size_t end = 0;
    for (size_t i = f.indexBitmask; i < f.indexEntries; ++i) {
      for (int b = 0; b < 8; ++b) if ((*pg)[i] & (1 << b)) end = (i - f.indexBitmask) * 8 + size_t(b);
    }
    leaves.push_back({size_t(page) * f.pageSize, f.indexBitmask, f.indexEntries + end});
  };
  if (real) down(real->rootPage);
  return leaves;
}

// Runs `update` on copies of `original`, each with one bit of a leaf flipped, and holds every
// outcome to `sound` (called on the file after a run that ended without an error). Returns how
// many runs ended in 3049.
int runOnFlips(const std::string& original, const std::vector<Leaf>& leaves, int flipsPerLeaf,
               const std::vector<size_t>& extraOffsets, const std::function<void(const std::string&)>& update,
               const std::function<void(const std::string&, const std::string&)>& sound) {
  ScratchDir dir;
  const std::string bytes = readBytes(original);
  std::mt19937 rng(20261208);
  std::vector<std::pair<size_t, int>> flips;
  for (const Leaf& l : leaves) {
    for (int i = 0; i < flipsPerLeaf; ++i) flips.push_back({l.start + l.from + rng() % (l.to - l.from), int(rng() % 8)});
  }
  for (size_t at : extraOffsets) flips.push_back({at, 0});
  int refused = 0;
  for (auto [at, bit] : flips) {
    std::string damaged = bytes;
    damaged[at] = char(damaged[at] ^ (1 << bit));
    const std::string path = dir.path() + "/damaged.mdb";
    {
      std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
    }
    const std::string what = "bit " + std::to_string(bit) + " of byte " + std::to_string(at);
    int error = errorNumber([&] { update(path); });
    if (error == jet::err::kNotDatabase) {
      ++refused;
      EXPECT_TRUE(readBytes(path) == damaged) << what << ": the refused update wrote to the file";
    } else {
      EXPECT_EQ(error, 0) << what;
      if (error == 0) sound(path, what);
    }
  }
  return refused;
}

bool retired(const Row& r) {
  return !r.at("DXCC").isNull() && (r.at("DXCC").i == 85 || r.at("DXCC").i == 255);
}

}  // namespace

TEST(UpdatesOnDamagedIndexes, TheLogbookLeavesNoContactOfTheRetiredEntitiesThatItShouldChange) {
  const std::string original = fixture("jet4/logbook.mdb");
  auto selected = [](const Row& r) {
    return retired(r) && !r.at("Time_Start").isNull() && r.at("Time_Start").d > kCutOver;
  };
  auto update = [](const std::string& path) {
    db::DataSource Logbook;
    Reports box;
    try {
      logbook::UpdateLogbook(Logbook, [&](auto&&...) { return path; }, box.fn());
    } catch (...) {
      Logbook.close();
      throw;
    }
    Logbook.close();
  };
  auto sound = [&](const std::string& path, const std::string& what) {
    for (const Row& r : rowsWhere(readTable(path, "MainLog"), selected)) {
      const std::string& call = text(r, "Call");
      for (const char* p : {"PJ2", "PJ4", "PJ5", "PJ6", "PJ7"}) {
        EXPECT_EQ(call.find(p), std::string::npos) << what << ": contact " << num(r, "ID") << " (" << call << ") kept";
      }
    }
  };
  std::vector<Leaf> leaves = leavesListing(original, "MainLog", "DXCC", retired);
  ASSERT_FALSE(leaves.empty());
  // One bit of the DXCC leaf that lists most of the contacts to change.
  int refused = runOnFlips(original, leaves, 40, {750351}, update, sound);
  EXPECT_GE(refused, 20);
}

TEST(UpdatesOnDamagedIndexes, TheBandPlanRetiresEveryRowAndDropsEveryOldLink) {
  const std::string original = fixture("jet4/bandplan.mdb");
  auto update = [](const std::string& path) {
    db::DataSource BandPlan;
    Reports box;
    try {
      BandPlan.setDatabaseName(path);
      BandPlan.Refresh();
      bandplan::UpdateBandPlan(BandPlan, box.fn());
    } catch (...) {
      BandPlan.close();
      throw;
    }
    BandPlan.close();
  };
  auto sound = [](const std::string& path, const std::string& what) {
    std::vector<Row> prefixes = readTable(path, "prefixes");
    for (const Row& r : rowsWhere(prefixes, retired)) {
      EXPECT_TRUE(r.at("Deleted").b && !r.at("Use").b) << what << ": prefix " << num(r, "ID") << " not retired";
    }
    for (int entity : {517, 518, 519, 520}) {
      EXPECT_EQ(rowsWhere(prefixes, [&](const Row& r) { return !r.at("DXCC").isNull() && r.at("DXCC").i == entity; }).size(), 1u)
          << what << ": entity " << entity;
    }
    for (const Row& r : readTable(path, "plink")) {
      EXPECT_TRUE(r.at("plink").i != 108 && r.at("plink").i != 143) << what << ": link " << num(r, "ID") << " kept";
    }
    std::set<std::string> earlier;
    for (const Row& r : readTable(path, "plinkold")) earlier.insert(text(r, "prefix"));
    for (const char* p : {"PJ0", "PJ1", "PJ2", "PJ3", "PJ4", "PJ5", "PJ6", "PJ7", "PJ8", "PJ9"}) {
      EXPECT_TRUE(earlier.count(p)) << what << ": no earlier link of " << p;
    }
  };
  // Every index the update reads through: the order of the prefixes, the retired entities' rows,
  // the old links, the earlier links.
  std::vector<Leaf> leaves = leavesListing(original, "prefixes", "PrimaryKey", nullptr);
  for (const Leaf& l : leavesListing(original, "prefixes", "DXCC", retired)) leaves.push_back(l);
  for (const Leaf& l : leavesListing(original, "plink", "plink", [](const Row& r) {
         return !r.at("plink").isNull() && (r.at("plink").i == 108 || r.at("plink").i == 143);
       })) {
    leaves.push_back(l);
  }
  for (const Leaf& l : leavesListing(original, "plinkold", "prefix", nullptr)) leaves.push_back(l);
  ASSERT_GE(leaves.size(), 4u);
  int refused = runOnFlips(original, leaves, 25, {}, update, sound);
  EXPECT_GE(refused, 40);
}
