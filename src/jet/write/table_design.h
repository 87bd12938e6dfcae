// What a new table looks like: its name, its columns and its indexes, as a user designs it.
// createTable (create_table.h) turns this description into a table definition in a database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/column.h"

namespace jet {

struct ColumnSpec {
  std::string name;
  ColumnType type = ColumnType::Long;
  uint16_t length = 0;      // Text: the maximum number of characters (1 to 255)
  bool autoNumber = false;  // Long only: numbered by the engine
};

struct IndexColumnSpec {
  std::string column;
  bool ascending = true;
};

struct IndexSpec {
  std::string name;
  std::vector<IndexColumnSpec> columns;  // 1 to 10
  bool primaryKey = false;  // implies unique and required
  bool unique = false;
  bool required = false;     // no row may leave any of its columns Null
  bool ignoreNulls = false;  // rows with all its columns Null stay out of the index
};

struct TableDesign {
  std::string name;
  std::vector<ColumnSpec> columns;
  std::vector<IndexSpec> indexes;
};

}  // namespace jet
