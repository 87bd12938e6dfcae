// Adding an index to a table that exists and may hold rows: a new tree in its definition,
// filled with an entry for every row, all in one atomic step.
#pragma once

#include <string>

#include "jet/write/table_design.h"

namespace jet {

class Database;

// Adds `index` to table `table`. Fails with kInvalidArgument for a design Access would refuse
// (a name in use, a missing, repeated, memo or OLE column, a second primary key),
// kDuplicateKey when the rows break a unique index, and kNullInIndex when they leave a Null
// in a primary key or required index; nothing is stored then. Call it outside any open batch.
void addIndex(Database& db, const std::string& table, const IndexSpec& index);

}  // namespace jet
