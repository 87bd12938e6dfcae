// Writing rows of one table: add, change and delete, with usage maps, counts and every index kept exact.
// Each call is one atomic operation: it reaches the file completely, or not at all.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/format/data_page.h"
#include "jet/database/database.h"
#include "jet/base/value.h"

namespace jet {

class TableWriter {
 public:
  TableWriter(Database& db, Table& table);

  // The next autonumber, taken when a row is begun (before it is stored).
  int32_t takeAutoNumber();

  // Stores a new row. `values` follow def().columns and already have the columns' types;
  // a Null autonumber column receives a fresh number. Returns where the row lies.
  RowId insert(std::vector<Value> values);
  // Replaces a row's values; the row may move, but keeps its address.
  void update(RowId id, std::vector<Value> values);
  // Changes some of a row's values: a column without a value keeps its stored bytes as they are.
  void update(RowId id, std::vector<std::optional<Value>> changes);
  void remove(RowId id);

 private:
  Database& db_;
  Table& table_;
};

}  // namespace jet
