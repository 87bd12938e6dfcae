// Test support: a table's rows read back through a fresh read-only open, by column name.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "jet/database/database.h"
#include "jet/index/index_tree.h"

namespace testing_support {

using Row = std::map<std::string, jet::Value>;

inline std::vector<Row> readTable(const std::string& path, const std::string& table) {
  jet::Database db(path, jet::Database::Mode::ReadOnly);
  jet::Table& t = db.table(table);
  std::vector<Row> rows;
  for (jet::RowId id : t.rowIds()) {
    std::vector<jet::Value> values = t.readRow(id);
    Row r;
    for (size_t i = 0; i < values.size(); ++i) r[t.def().columns[i].name] = values[i];
    rows.push_back(std::move(r));
  }
  return rows;
}

template <typename Pred>
std::vector<Row> rowsWhere(const std::vector<Row>& rows, Pred pred) {
  std::vector<Row> out;
  for (auto& r : rows) if (pred(r)) out.push_back(r);
  return out;
}

inline long long num(const Row& r, const std::string& c) { return r.at(c).i; }
inline const std::string& text(const Row& r, const std::string& c) { return r.at(c).s; }

}  // namespace testing_support
