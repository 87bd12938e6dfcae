#include "jet/write/add_index.h"

#include <algorithm>
#include <set>

#include "jet/base/bytes.h"
#include "jet/format/table_def.h"
#include "jet/write/create_layout.h"
#include "jet/write/create_table.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_key.h"
#include "jet/index/index_page.h"
#include "jet/index/index_build.h"
#include "jet/pager/page_file.h"

namespace jet {

namespace {

[[noreturn]] void refuse(const std::string& table, const std::string& what) {
  throw Error(err::kInvalidArgument, "Cannot add an index to table '" + table + "': " + what + ".");
}

IndexLayout layoutFor(const TableDef& def, const IndexSpec& ix) {
  checkDesignName(def.name, ix.name, "index");
  if (def.findIndex(ix.name)) refuse(def.name, "it already has an index named '" + ix.name + "'");
  if (ix.columns.empty() || ix.columns.size() > 10) refuse(def.name, "an index must have 1 to 10 columns");
  if (ix.primaryKey) {
    for (auto& li : def.indexes) {
      if (li.primary()) refuse(def.name, "it already has a primary key");
    }
  }
  IndexLayout l;
  l.name = ix.name;
  std::set<uint16_t> used;
  for (auto& ic : ix.columns) {
    const Column* c = def.findColumn(ic.column);
    if (!c) refuse(def.name, "it has no column '" + ic.column + "'");
    if (!used.insert(c->number).second) refuse(def.name, "the index names '" + c->name + "' twice");
    if (c->isLongValue()) refuse(def.name, "the memo or OLE column '" + c->name + "' cannot be indexed");
    l.columns.push_back({c->number, ic.ascending});
  }
  l.flags = indexFlags(ix);
  l.type = ix.primaryKey ? 0x01 : 0x00;
  return l;
}

}  // namespace

void addIndex(Database& db, const std::string& tableName, const IndexSpec& ix) {
  if (!db.writable()) throw Error(err::kReadOnly, "Cannot add an index: the database is open read-only.");
  PageFile& file = db.file();
  const Format& f = db.format();
  Table& table = db.table(tableName);
  const TableDef def = table.def();
  const IndexLayout layout = layoutFor(def, ix);
  const uint32_t treeNumber = uint32_t(def.realIndexes.size());
  const uint32_t logicalNumber = uint32_t(def.indexes.size());

  Batch batch(db);

  // The new tree: its page map, an empty root leaf, and its records in the definition.
  MapRows maps(file, f);
  const uint32_t usageMap = maps.add();
  const uint32_t root = file.append();
  IndexNode node;
  node.page = root;
  node.leaf = true;
  node.owner = def.page;
  writeIndexNode(file.modify(root), f, node);

  std::vector<uint32_t> pages;
  std::string d = readTableDefBytes(file, f, def.page, &pages);
  if (d.size() < def.indexNamesEnd) corrupt("a table definition is shorter than its contents");
  // The recorded length leaves out the padding of the last page; without a usable one,
  // the padding is kept.
  const uint32_t recorded = Bytes(d).u32(0x08);
  if (recorded >= def.indexNamesEnd && recorded <= d.size()) d.resize(recorded);
  // Spliced from the back, so that the earlier offsets stay right.
  d.insert(def.indexNamesEnd, definitionName(f, ix.name));
  d.insert(def.indexNamesOffset, logicalIndexRecord(f, logicalNumber, treeNumber, layout.type));
  d.insert(def.logicalIndexesOffset, indexTreeRecord(f, layout, usageMap, root));
  std::string counts(f.realIndexCountSize, '\0');
  for (int i = 0; i < 4; ++i) counts[4 + i] = char((def.rowCount >> (8 * i)) & 0xFF);
  d.insert(def.countAreaEnd, counts);
  uint8_t* head = reinterpret_cast<uint8_t*>(d.data());
  put32(head + f.tdefNumIndexes, logicalNumber + 1);
  put32(head + f.tdefNumRealIndexes, treeNumber + 1);
  put32(head + 0x08, uint32_t(d.size()));
  writeDefinitionPages(file, f, pages, d);

  // An entry for every row.
  Table& grown = db.table(tableName);
  grown.mutableDef() = readTableDef(file, f, def.page);
  grown.mutableDef().name = def.name;
  db.applyColumnRules(grown.mutableDef());
  const TableDef& now = grown.def();
  const RealIndex& tree = now.realIndexes.back();
  const bool primary = layout.type == 0x01;
  std::vector<IndexEntry> entries;
  for (RowId id : grown.rowIds()) {
    std::vector<Value> values = grown.readRow(id);
    if (primary || tree.required()) {
      for (auto& ic : tree.columns) {
        const Column* c = now.columnByNumber(ic.columnNumber);
        for (size_t i = 0; i < now.columns.size(); ++i) {
          if (&now.columns[i] == c && values[i].isNull()) {
            throw Error(err::kNullInIndex, "Index or primary key cannot contain a Null value ('" + c->name +
                                               "' of table '" + def.name + "').");
          }
        }
      }
    }
    std::optional<std::string> key = rowKey(now, tree, values);
    if (!key) continue;
    IndexEntry e;
    e.key = std::move(*key);
    e.row = id;
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(), [](const IndexEntry& a, const IndexEntry& b) { return compareEntries(a, b) < 0; });
  if (primary || tree.unique()) {
    for (size_t i = 1; i < entries.size(); ++i) {
      // Rows whose key columns are all Null do not clash, as when rows are written one by one.
      if (entries[i].key == entries[i - 1].key && !allKeyColumnsNull(now, tree, grown.readRow(entries[i].row))) {
        throw Error(err::kDuplicateKey, "The index '" + ix.name + "' cannot be added: table '" + def.name +
                                            "' holds duplicate values for it.");
      }
    }
  }
  buildIndexTree(file, f, tree, std::move(entries));
  batch.commit();
  db.reload();
}

}  // namespace jet
