// A table: its definition, and its rows read in storage order or by address.
// Rows that moved to another page are followed through their forwarding address.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "jet/format/data_page.h"
#include "jet/pager/page_file.h"
#include "jet/format/table_def.h"
#include "jet/base/value.h"

namespace jet {

class Database;

// The bytes of the row stored at `id`, following a forwarding address; fails on a deleted row.
Bytes resolveRow(PageFile& file, const Format& f, RowId id, PageRef& hold);

class Table {
 public:
  Table(Database& db, TableDef def);
  const TableDef& def() const { return def_; }
  TableDef& mutableDef() { return def_; }
  const std::string& name() const { return def_.name; }
  Database& database() { return db_; }

  // Calls `visit` for every live row in storage order; stop by returning false.
  void scan(const std::function<bool(RowId id, Bytes row)>& visit);
  std::vector<RowId> rowIds();
  // The stored bytes of a row at its home address, following a forwarding address.
  // `hold` keeps the page alive as long as the bytes are used. Fails on a deleted row.
  Bytes rowBytes(RowId id, PageRef& hold);
  std::vector<Value> readRow(RowId id);
  // One value of a row (`column` indexes def().columns): the others are not decoded.
  Value readField(RowId id, size_t column);
  // Index of a column in def().columns, or -1.
  int columnIndex(const std::string& name) const;

  // The table's data pages, from its usage map.
  std::vector<uint32_t> dataPages();

  // Where the writer last found room for a row (0: not known yet).
  uint32_t insertHint = 0;

 private:
  Database& db_;
  TableDef def_;
};

}  // namespace jet
