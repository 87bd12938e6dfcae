// Adding a table to a Jet 3 or Jet 4 database: its definition pages, page maps, index roots and catalog row.
// The table is usable at once through the same Database object.
#pragma once

#include <cstdint>

#include "jet/write/create_layout.h"
#include "jet/write/table_design.h"

namespace jet {

class Database;

// Checks the design and turns it into the stored layout. Fails with kInvalidArgument on a
// design Access would refuse (duplicate or empty names, a bad text length, an index over a
// missing or memo column, two primary keys, ...).
TableLayout layoutForDesign(const Format& f, const TableDesign& design);

// The stored flags of a designed index (unique, ignore Nulls, required; a primary key is
// unique and required).
uint8_t indexFlags(const IndexSpec& index);

// Fails with kInvalidArgument unless `name` is a name Access accepts for a table, column or index.
void checkDesignName(const std::string& table, const std::string& name, const char* what);

// Adds the table in one atomic step and returns its definition page. Fails with error 3010
// when a table or query of that name exists. Call it outside any open batch: it commits,
// then re-reads the catalog.
uint32_t createTable(Database& db, const TableDesign& design);

}  // namespace jet
