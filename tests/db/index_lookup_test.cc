// Equality lookups through every index of every fixture: the plan walks the index, and the walk
// finds exactly the rows that the same condition selects in a full scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "../jet/jet_test_support.h"
#include "db/query_plan.h"
#include "db/sql_eval.h"
#include "db/sql_parser.h"
#include "jet/base/csv_format.h"
#include "jet/database/database.h"

namespace {

using jet::Value;
using Kind = jet::Value::Kind;

// The condition `[column] = literal` that selects `v`, or nothing when SQL has no literal for it.
std::optional<std::string> equalsTerm(const std::string& column, const Value& v) {
  const std::string name = "[" + column + "]";
  switch (v.kind) {
    case Kind::Null: return name + " IS NULL";
    case Kind::Boolean: return name + (v.b ? " = TRUE" : " = FALSE");
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long: return name + " = " + std::to_string(v.i);
    case Kind::Currency: return name + " = " + jet::formatDouble(double(v.i) / 10000);
    case Kind::Single:
    case Kind::Double:
    case Kind::Date: return name + " = " + jet::formatDouble(v.d);  // a date compares as its day number
    case Kind::Text:
    case Kind::Guid: {
      std::string quoted = "'";
      for (char c : v.s) quoted += c == '\'' ? std::string("''") : std::string(1, c);
      return name + " = " + quoted + "'";
    }
    default: return std::nullopt;
  }
}

// Lexicographic order of value lists under the evaluator's own comparison (Null with Null).
int compareKeys(const std::vector<Value>& a, const std::vector<Value>& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (int c = db::sql::compareValues(a[i], b[i])) return c;
  }
  return 0;
}

// Logical indexes over one tree, or over trees of the same columns, read alike.
bool sameColumns(const jet::RealIndex& a, const jet::RealIndex& b) {
  return std::equal(a.columns.begin(), a.columns.end(), b.columns.begin(), b.columns.end(),
                    [](const jet::IndexColumn& x, const jet::IndexColumn& y) {
                      return x.columnNumber == y.columnNumber && x.ascending == y.ascending;
                    });
}

TEST(QueryPlanTest, EveryIndexLookupInEveryFixtureFindsTheRowsOfAScan) {
  size_t lookups = 0;
  int reported = 0;
  auto report = [&](const std::string& text) {
    if (++reported <= 40) ADD_FAILURE() << text;
  };
  for (const std::string& path : jet::testing::fixtureDatabases()) {
    jet::Database db(path, jet::Database::Mode::ReadOnly);
    for (const std::string& name : db.tableNames(true)) {
      jet::Table& t = db.table(name);
      const jet::TableDef& def = t.def();
      const std::vector<jet::RowId> ids = t.rowIds();
      std::vector<std::vector<Value>> rows;
      for (jet::RowId id : ids) rows.push_back(t.readRow(id));
      for (const jet::LogicalIndex& li : def.indexes) {
        const jet::RealIndex& ri = def.realIndexes[size_t(li.realIndex)];
        // The index's leading columns that SQL can name a value of.
        std::vector<size_t> columns;
        for (const jet::IndexColumn& ic : ri.columns) {
          const size_t at = size_t(def.columnByNumber(ic.columnNumber) - def.columns.data());
          const jet::ColumnType type = def.columns[at].type;
          if (type == jet::ColumnType::Binary || type == jet::ColumnType::Ole) break;
          columns.push_back(at);
        }
        if (columns.empty()) continue;
        // The scanned rows grouped by their key values under the evaluator's own comparison:
        // each group is what the lookup of its values must find.
        auto keyOf = [&](size_t r) {
          std::vector<Value> key;
          for (size_t c : columns) key.push_back(rows[r][c]);
          return key;
        };
        std::vector<size_t> order(rows.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return compareKeys(keyOf(a), keyOf(b)) < 0; });
        for (size_t begin = 0; begin < order.size();) {
          const std::vector<Value> key = keyOf(order[begin]);
          size_t end = begin + 1;
          while (end < order.size() && compareKeys(keyOf(order[end]), key) == 0) ++end;
          std::vector<jet::RowId> expected;
          for (size_t k = begin; k < end; ++k) expected.push_back(ids[order[k]]);
          begin = end;
          // A lookup starts from a value: keys whose first column is Null are no lookups.
          if (key[0].isNull()) continue;
          std::string where;
          for (size_t k = 0; k < columns.size(); ++k) {
            std::optional<std::string> term = equalsTerm(def.columns[columns[k]].name, key[k]);
            if (!term) break;
            where += (where.empty() ? "" : " AND ") + *term;
          }
          const std::string what = path + " / " + name + " / index " + li.name + ": WHERE " + where;
          ++lookups;
          const db::sql::Expr e = db::sql::parseExpression(where);
          const db::QueryPlan plan = db::planQuery(t, &e, {});
          const jet::LogicalIndex* used = def.findIndex(plan.index);
          if (!used || !sameColumns(def.realIndexes[size_t(used->realIndex)], ri)) {
            report(what + ": the plan reads " + (plan.index.empty() ? "by a scan" : "index " + plan.index));
            continue;
          }
          std::vector<jet::RowId> walked = db::selectRows(t, &e, {}, true);
          std::sort(walked.begin(), walked.end());
          std::sort(expected.begin(), expected.end());
          if (walked != expected) {
            report(what + ": the lookup finds " + std::to_string(walked.size()) + " rows, a scan " +
                   std::to_string(expected.size()));
          }
        }
      }
    }
  }
  if (reported > 40) ADD_FAILURE() << reported - 40 << " more mismatches";
  EXPECT_GT(lookups, 5000u);
}

}  // namespace
