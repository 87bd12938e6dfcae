// The relationships Access enforces between tables: a row's reference must name a row of the
// table it refers to, and a referenced row may neither go nor change its key while referred to.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/format/table_def.h"
#include "jet/base/value.h"

namespace jet {

class Database;
class Table;

// One end of a relationship, as a table's definition records it in a foreign-key index.
struct RelationshipEnd {
  Table& table;             // the table at the other end
  const RealIndex& index;   // its index over the related columns
  const RealIndex& mine;    // this table's index over its own related columns
};

// The other end of a relationship that `li`, a foreign-key index of `def`, belongs to.
RelationshipEnd otherEnd(Database& db, const TableDef& def, const LogicalIndex& li);

// The key that `values` (a row of `def`) hold in their related columns, as the other end's
// index keys it; nothing when one of the columns is Null, for such a row refers to nothing.
std::optional<std::string> relatedKey(const TableDef& def, const RelationshipEnd& end, const std::vector<Value>& values);

// Refuses (3201) `values` for a row of `def` when a reference they hold names no row of the
// table it refers to. `before`: the row's values before a change, whose unchanged references
// are not checked again (none for a new row).
void requireReferencedRows(Database& db, const TableDef& def, const std::vector<Value>& values,
                           const std::vector<Value>* before);

// Refuses (3200) deleting the row `values` of `def` (`after` null), or changing its referenced
// key to the one of `after`, while rows of another table refer to it. Deletions and key changes
// are never carried into the referring rows, whatever the relationship asks.
void refuseWhileReferenced(Database& db, const TableDef& def, const std::vector<Value>& values,
                           const std::vector<Value>* after);

}  // namespace jet
