// Reading every fixture: rows against mdbtools' export, every index walked, the check clean.
// The files made by Access itself are the ground truth for what the reader must return.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "jet/csv_format.h"
#include "jet/database.h"
#include "jet/index_tree.h"
#include "jet/integrity_check.h"
#include "jet/row_codec.h"
#include "jet_test_support.h"

namespace jet {
namespace {

using testing::CsvCell;

bool isFloating(ColumnType t) {
  return t == ColumnType::Single || t == ColumnType::Double || t == ColumnType::Currency || t == ColumnType::Numeric;
}

bool knownType(ColumnType t) { return std::string(columnTypeName(t)) != "Unknown"; }

// A cell as mdbtools writes it; Null stays distinct from empty text. mdbtools handles text and
// binary values as C strings, which end at their first zero byte.
CsvCell ourCell(const Column& c, const Value& v) {
  if (v.isNull()) return {};
  std::string text = csvField(v);
  if (v.kind == Value::Kind::Text) text = v.s.substr(0, v.s.find('\0'));
  if (c.type == ColumnType::Binary) {
    text = csvField(Value::binary(v.s.substr(0, v.s.find('\0'))));
    if (text.empty()) return {};
  }
  // mdbtools leaves out one of the dashes of a GUID: compare them without.
  if (v.kind == Value::Kind::Guid) std::erase(text, '-');
  return {text, v.kind == Value::Kind::Text || v.kind == Value::Kind::Binary || v.kind == Value::Kind::Date ||
                    v.kind == Value::Kind::Guid};
}

// mdbtools writes a GUID as the hex of its text.
std::string unhex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

bool sameNumber(const std::string& a, const std::string& b) {
  char* endA = nullptr;
  char* endB = nullptr;
  double x = std::strtod(a.c_str(), &endA), y = std::strtod(b.c_str(), &endB);
  if (*endA || *endB || a.empty() || b.empty()) return a == b;
  return x == y || std::fabs(x - y) <= 1e-9 * std::max(std::fabs(x), std::fabs(y));
}

// Rows of both sides matched as multisets: exact cells must agree, floating ones within tolerance.
void expectSameRows(const TableDef& def, const std::vector<std::vector<CsvCell>>& ours,
                    const std::vector<std::vector<CsvCell>>& theirs, const std::string& where) {
  ASSERT_EQ(ours.size(), theirs.size()) << where << ": row counts differ";
  auto exactPart = [&](const std::vector<CsvCell>& row) {
    std::string key;
    for (size_t i = 0; i < def.columns.size(); ++i) {
      if (isFloating(def.columns[i].type) || !knownType(def.columns[i].type)) continue;
      key += (row[i].quoted ? "q" : "u") + std::to_string(row[i].text.size()) + ":" + row[i].text;
    }
    return key;
  };
  std::multimap<std::string, const std::vector<CsvCell>*> pool;
  for (const auto& row : theirs) {
    ASSERT_EQ(row.size(), def.columns.size()) << where << ": mdb-export row with the wrong number of cells";
    pool.emplace(exactPart(row), &row);
  }
  int reported = 0;
  for (const auto& row : ours) {
    auto [lo, hi] = pool.equal_range(exactPart(row));
    auto match = hi;
    for (auto it = lo; it != hi && match == hi; ++it) {
      bool same = true;
      for (size_t i = 0; i < def.columns.size() && same; ++i) {
        if (isFloating(def.columns[i].type)) same = sameNumber(row[i].text, (*it->second)[i].text);
      }
      if (same) match = it;
    }
    if (match == hi) {
      std::string shown;
      for (const auto& c : row) shown += (shown.empty() ? "" : ",") + c.text;
      if (++reported <= 5) ADD_FAILURE() << where << ": mdb-export has no row like ours: " << shown;
      continue;
    }
    pool.erase(match);
  }
}

TEST(Reading, EveryTableMatchesMdbtools) {
  int tables = 0;
  for (const auto& path : testing::fixtureDatabases()) {
    Database db(path, Database::Mode::ReadOnly);
    for (const auto& name : db.tableNames(true)) {
      Table& t = db.table(name);
      std::string where = path + " / " + name;
      std::vector<std::vector<CsvCell>> ours;
      t.scan([&](RowId, Bytes row) {
        std::vector<CsvCell> cells;
        std::vector<Value> values = decodeRow(db.file(), db.format(), t.def(), row);
        for (size_t i = 0; i < values.size(); ++i) cells.push_back(ourCell(t.def().columns[i], values[i]));
        ours.push_back(std::move(cells));
        return true;
      });
      int status = 0;
      std::string csv = testing::runCommand("mdb-export -T '%Y-%m-%d %H:%M:%S' -b hex " + testing::shellQuote(path) + " " +
                                                testing::shellQuote(name) + " 2>/dev/null",
                                            &status);
      ASSERT_EQ(status, 0) << where;
      auto theirs = testing::parseCsv(csv);
      ASSERT_FALSE(theirs.empty()) << where << ": no header from mdb-export";
      theirs.erase(theirs.begin());
      for (size_t i = 0; i < t.def().columns.size(); ++i) {
        if (t.def().columns[i].type != ColumnType::Guid) continue;
        for (auto& r : theirs) if (i < r.size() && !r[i].text.empty() && r[i].text[0] != '{') r[i].text = unhex(r[i].text);
        for (auto& r : theirs) if (i < r.size()) std::erase(r[i].text, '-');
      }
      // mdbtools cannot print the column type Access keeps in MSysAccessObjects: leave it out.
      for (size_t i = 0; i < t.def().columns.size(); ++i) {
        if (knownType(t.def().columns[i].type)) continue;
        for (auto& r : ours) r[i] = {};
        for (auto& r : theirs) if (i < r.size()) r[i] = {};
      }
      expectSameRows(t.def(), ours, theirs, where);
      ++tables;
    }
  }
  EXPECT_GT(tables, 50);
}

// Walking each index must give back exactly the table's rows (less those an index leaves out).
TEST(Reading, EveryIndexListsEveryRow) {
  int indexes = 0;
  for (const auto& path : testing::fixtureDatabases()) {
    Database db(path, Database::Mode::ReadOnly);
    for (const auto& name : db.tableNames(true)) {
      Table& t = db.table(name);
      const TableDef& def = t.def();
      std::vector<std::pair<RowId, std::vector<Value>>> rows;
      t.scan([&](RowId id, Bytes row) {
        rows.emplace_back(id, decodeRow(db.file(), db.format(), def, row));
        return true;
      });
      for (const auto& ri : def.realIndexes) {
        std::multiset<RowId> expected;
        for (const auto& [id, values] : rows) {
          bool allNull = true;
          for (const auto& ic : ri.columns) {
            const Column* c = def.columnByNumber(ic.columnNumber);
            if (!values[size_t(c - def.columns.data())].isNull()) allNull = false;
          }
          if (!(allNull && ri.ignoreNulls())) expected.insert(id);
        }
        std::multiset<RowId> walked;
        std::string previous;
        walkIndex(db.file(), db.format(), ri.rootPage, "", [&](const IndexEntry& e) {
          EXPECT_GE(e.sortBytes(), previous) << path << " / " << name;
          previous = e.sortBytes();
          walked.insert(e.row);
          EXPECT_EQ(t.readRow(e.row).size(), def.columns.size());
          return true;
        });
        EXPECT_EQ(walked, expected) << path << " / " << name << " index " << ri.number;
        ++indexes;
      }
    }
  }
  EXPECT_GT(indexes, 50);
}

TEST(Reading, EveryFixturePassesTheCheck) {
  for (const auto& path : testing::fixtureDatabases()) {
    Database db(path, Database::Mode::ReadOnly);
    std::vector<std::string> problems = checkDatabase(db);
    std::string all;
    for (const auto& p : problems) all += "\n  " + p;
    EXPECT_TRUE(problems.empty()) << path << all;
  }
}

}  // namespace
}  // namespace jet
