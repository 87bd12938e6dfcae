// Reading rows through stretches of an index: every fixture's indexes give exactly the rows a scan
// says they hold, page by page and each in its place, and damage next to a stretch is found.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "jet/base/error.h"
#include "jet/check/checked_index_walk.h"
#include "jet/database/database.h"
#include "jet/index/index_key.h"
#include "jet/index/index_tree.h"
#include "jet_test_support.h"

namespace jet {
namespace {

IndexStretch stretchOf(const std::string& key) {
  return {key, [key](const IndexEntry& e) { return e.key.compare(0, key.size(), key) == 0; }};
}

// Several values of an index's first column at once: the rows of each stretch's entries come in
// the order of their addresses, and their places give the index's order, the first stretch's first.
TEST(CheckedIndexStretches, GiveTheEntriesOfEachStretchPageByPageInEveryFixture) {
  size_t reads = 0;
  for (const std::string& path : testing::fixtureDatabases()) {
    Database db(path, Database::Mode::ReadOnly);
    for (const std::string& name : db.tableNames(true)) {
      Table& t = db.table(name);
      const TableDef& def = t.def();
      const std::vector<RowId> ids = t.rowIds();
      std::vector<std::vector<Value>> rows;
      for (RowId id : ids) rows.push_back(t.readRow(id));
      for (const RealIndex& ri : def.realIndexes) {
        if (ri.columns.empty()) continue;
        const Column& first = *def.columnByNumber(ri.columns[0].columnNumber);
        if (!indexKeysSupported(first)) continue;
        const size_t at = columnPosition(def, first.number);
        // The keys of the first column's values, as a scan gives them.
        std::vector<std::string> distinct;
        try {
          for (size_t r = 0; r < rows.size(); ++r) {
            if (rows[r][at].isNull()) continue;
            std::string firstKey;
            appendIndexKey(firstKey, first, ri.columns[0].ascending, rows[r][at]);
            distinct.push_back(firstKey);
          }
        } catch (const Error& e) {
          if (e.number() != err::kNotSupported) throw;
          continue;  // values this engine builds no keys for
        }
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        // The last value first, then the first and a middle one: places follow the stretches.
        std::vector<std::string> chosen;
        for (size_t i : {distinct.size() - 1, size_t(0), distinct.size() / 2}) {
          if (i < distinct.size() && std::find(chosen.begin(), chosen.end(), distinct[i]) == chosen.end()) {
            chosen.push_back(distinct[i]);
          }
        }
        chosen.push_back(std::string(1, '\x7F') + "no such key");  // a stretch of nothing
        std::vector<IndexStretch> stretches;
        for (const std::string& key : chosen) stretches.push_back(stretchOf(key));

        // What each stretch must give: the entries the plain tree walk finds under its key, in
        // their order, and the first column key of each one's row.
        std::vector<IndexEntry> entries;
        walkIndex(db.file(), db.format(), ri.rootPage, "", [&](const IndexEntry& e) {
          entries.push_back(e);
          return true;
        });
        std::vector<RowId> expected;
        std::vector<std::string> expectedFirst;
        for (const std::string& key : chosen) {
          for (const IndexEntry& e : entries) {
            if (e.key.compare(0, key.size(), key) != 0) continue;
            expected.push_back(e.row);
            const size_t r = size_t(std::find(ids.begin(), ids.end(), e.row) - ids.begin());
            ASSERT_LT(r, ids.size());
            std::string firstKey;
            appendIndexKey(firstKey, first, ri.columns[0].ascending, rows[r][at]);
            expectedFirst.push_back(firstKey);
          }
        }

        const std::string what = path + " / " + name + " / index " + std::to_string(ri.number);
        // Each row visited with the key its own fields give, as the visit was handed them.
        std::vector<std::pair<size_t, RowId>> visited;
        std::vector<std::pair<size_t, std::string>> givenFirst;
        readIndexStretchesChecked(t, ri, stretches, [&](size_t place, RowId id, const RawRow& fields) {
          visited.emplace_back(place, id);
          std::string k;
          appendIndexKey(k, first, ri.columns[0].ascending, decodeField(db.file(), db.format(), first, fields, at));
          givenFirst.emplace_back(place, k);
        });
        for (size_t i = 1; i < visited.size(); ++i) {
          ASSERT_LT(visited[i - 1].second, visited[i].second) << what << ": rows out of address order";
        }
        std::sort(visited.begin(), visited.end());
        std::vector<RowId> found;
        for (size_t i = 0; i < visited.size(); ++i) {
          ASSERT_EQ(visited[i].first, i) << what << ": places are not each row's own";
          found.push_back(visited[i].second);
        }
        EXPECT_EQ(found, expected) << what;
        std::sort(givenFirst.begin(), givenFirst.end());
        for (size_t i = 0; i < givenFirst.size() && i < expectedFirst.size(); ++i) {
          ASSERT_EQ(givenFirst[i].second, expectedFirst[i]) << what << ": the fields handed over are another row's";
        }
        reads += found.size();
      }
    }
  }
  EXPECT_GT(reads, 1000u);
}

// The entries on either side of a stretch name rows too: a row there whose values no longer give
// its key is damage, though the stretch itself is sound.
TEST(CheckedIndexStretches, CheckTheRowsNextToEachStretch) {
  testing::ScratchDir dir;
  for (const bool after : {true, false}) {
    const std::string path = dir.path() + (after ? "/after.mdb" : "/before.mdb");
    testing_support::copyFixture("jet4/logbook.mdb", path);
    std::string key;
    uint64_t patchAt = 0;
    {
      Database db(path, Database::Mode::ReadOnly);
      Table& t = db.table("MainLog");
      const RealIndex& ri = t.def().realIndexes[size_t(t.def().findIndex("DXCC")->realIndex)];
      const Column& dxcc = t.def().columns[size_t(t.columnIndex("DXCC"))];
      appendIndexKey(key, dxcc, true, Value::long_(85));
      // The neighbour: the first entry past the rows of 85, or the last one before them.
      std::optional<IndexEntry> before, next;
      walkIndex(db.file(), db.format(), ri.rootPage, "", [&](const IndexEntry& e) {
        if (e.key.compare(0, key.size(), key) < 0) before = e;
        if (e.key.compare(0, key.size(), key) > 0) next = e;
        return !next;
      });
      ASSERT_TRUE(before && next);
      const RowId id = after ? next->row : before->row;
      PageRef hold;
      const Bytes row = t.rowBytes(id, hold);
      patchAt = uint64_t(id.page) * db.format().pageSize + size_t(row.data() - hold->data()) +
                db.format().rowColumnCountSize + dxcc.fixedOffset;
    }
    {
      // Sound as it is.
      Database db(path, Database::Mode::ReadOnly);
      Table& t = db.table("MainLog");
      const RealIndex& ri = t.def().realIndexes[size_t(t.def().findIndex("DXCC")->realIndex)];
      size_t rows = 0;
      readIndexStretchesChecked(t, ri, {stretchOf(key)}, [&](size_t, RowId, const RawRow&) { ++rows; });
      EXPECT_GT(rows, 0u);
    }
    testing::patchFile(path, patchAt, std::string("\x39\x30\0\0", 4));  // 12345
    Database db(path, Database::Mode::ReadOnly);
    Table& t = db.table("MainLog");
    const RealIndex& ri = t.def().realIndexes[size_t(t.def().findIndex("DXCC")->realIndex)];
    try {
      readIndexStretchesChecked(t, ri, {stretchOf(key)}, [](size_t, RowId, const RawRow&) {});
      ADD_FAILURE() << (after ? "the row after" : "the row before") << " the stretch was not checked";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kNotDatabase);
      EXPECT_NE(std::string(e.what()).find("index 'DXCC' of table 'MainLog' holds a key for row"), std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
}  // namespace jet
