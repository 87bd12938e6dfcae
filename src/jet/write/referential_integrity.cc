#include "jet/write/referential_integrity.h"

#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_key.h"
#include "jet/index/index_tree.h"

namespace jet {

namespace {

const LogicalIndex& logicalIndexOf(const TableDef& def, int number) {
  for (const auto& li : def.indexes) {
    if (li.number == number) return li;
  }
  corrupt("a relationship names an index that table '" + def.name + "' lacks");
}

const RealIndex& realIndexOf(const TableDef& def, const LogicalIndex& li) {
  for (const auto& ri : def.realIndexes) {
    if (ri.number == li.realIndex) return ri;
  }
  corrupt("an index of table '" + def.name + "' refers to a missing index tree");
}

bool indexHolds(Database& db, const RealIndex& ri, const std::string& key) {
  bool found = false;
  walkIndex(db.file(), db.format(), ri.rootPage, key, [&](const IndexEntry& e) {
    found = e.key == key;
    return false;
  });
  return found;
}

}  // namespace

RelationshipEnd otherEnd(Database& db, const TableDef& def, const LogicalIndex& li) {
  Table& other = db.tableAt(li.relatedTablePage);
  const LogicalIndex& back = logicalIndexOf(other.def(), li.relatedIndex);
  // Each end names the other: a relationship that does not is damaged, not merely unknown.
  if (!back.foreignKey() || back.relatedTablePage != def.page || back.relatedIndex != li.number ||
      back.relatedTableType == li.relatedTableType) {
    corrupt("the relationship of index '" + li.name + "' of table '" + def.name + "' has no matching end in table '" + other.name() + "'");
  }
  const RealIndex& index = realIndexOf(other.def(), back);
  const RealIndex& mine = realIndexOf(def, li);
  if (index.columns.size() != mine.columns.size()) {
    corrupt("the indexes at the two ends of a relationship of table '" + def.name + "' differ in their columns");
  }
  return {other, index, mine};
}

std::optional<std::string> relatedKey(const TableDef& def, const RelationshipEnd& end, const std::vector<Value>& values) {
  const TableDef& other = end.table.def();
  std::vector<Value> carried(other.columns.size(), Value::null());
  for (size_t i = 0; i < end.mine.columns.size(); ++i) {
    const Value& v = values[columnPosition(def, end.mine.columns[i].columnNumber)];
    if (v.isNull()) return std::nullopt;
    carried[columnPosition(other, end.index.columns[i].columnNumber)] = v;
  }
  return rowKey(other, end.index, carried);
}

void requireReferencedRows(Database& db, const TableDef& def, const std::vector<Value>& values,
                           const std::vector<Value>* before) {
  for (const auto& li : def.indexes) {
    if (!li.foreignKey() || li.relatedTableType != 0x02) continue;
    RelationshipEnd end = otherEnd(db, def, li);
    if (before && sameKeyValues(def, end.mine, *before, values)) continue;
    std::optional<std::string> key = relatedKey(def, end, values);
    if (key && !indexHolds(db, end.index, *key)) {
      throw Error(err::kRelatedRecordRequired, "You cannot add or change a record because a related record is required in table '" +
                                                   end.table.name() + "'.");
    }
  }
}

void refuseWhileReferenced(Database& db, const TableDef& def, const std::vector<Value>& values,
                           const std::vector<Value>* after) {
  for (const auto& li : def.indexes) {
    if (!li.foreignKey() || li.relatedTableType != 0x01) continue;
    RelationshipEnd end = otherEnd(db, def, li);
    if (after && sameKeyValues(def, end.mine, values, *after)) continue;
    std::optional<std::string> key = relatedKey(def, end, values);
    if (!key || (after && relatedKey(def, end, *after) == key)) continue;
    if (indexHolds(db, end.index, *key)) {
      throw Error(err::kRelatedRecordsExist, "The record cannot be deleted or changed because table '" + end.table.name() +
                                                 "' includes related records.");
    }
  }
}

}  // namespace jet
