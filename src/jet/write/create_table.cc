#include "jet/write/create_table.h"

#include <set>

#include "jet/write/create_catalog.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/pager/page_file.h"
#include "jet/format/text_codec.h"

namespace jet {

namespace {


[[noreturn]] void badDesign(const std::string& table, const std::string& what) {
  throw Error(err::kInvalidArgument, "Cannot create table '" + table + "': " + what + ".");
}

uint16_t storedSize(const Format& f, const ColumnSpec& c, const std::string& table) {
  switch (c.type) {
    case ColumnType::Boolean: case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long: case ColumnType::Single: return 4;
    case ColumnType::Currency: case ColumnType::Double: case ColumnType::DateTime: return 8;
    case ColumnType::Text:
      if (c.length < 1 || c.length > 255) badDesign(table, "the text column '" + c.name + "' must hold 1 to 255 characters");
      return uint16_t(f.textBytesPerChar * c.length);
    case ColumnType::Memo: case ColumnType::Ole: return 0;
    default: badDesign(table, "the column '" + c.name + "' has a type new tables cannot use");
  }
}

void checkName(const std::string& table, const std::string& name, const char* what) {
  if (name.empty() || utf8ToUtf16le(name).size() > 2 * 64) badDesign(table, std::string("a ") + what + " name must have 1 to 64 characters");
  if (name.front() == ' ') badDesign(table, std::string("the ") + what + " name '" + name + "' starts with a space");
  for (char ch : name) {
    if (ch == '.' || ch == '!' || ch == '`' || ch == '[' || ch == ']' || (unsigned char)ch < 0x20) {
      badDesign(table, std::string("the ") + what + " name '" + name + "' holds a character names cannot have");
    }
  }
}

}  // namespace

uint8_t indexFlags(const IndexSpec& ix) {
  if (ix.primaryKey) return 0x80 | 0x01 | 0x08;
  return uint8_t(0x80 | (ix.unique ? 0x01 : 0) | (ix.ignoreNulls ? 0x02 : 0) | (ix.required ? 0x08 : 0));
}

void checkDesignName(const std::string& table, const std::string& name, const char* what) { checkName(table, name, what); }

TableLayout layoutForDesign(const Format& f, const TableDesign& design) {
  const std::string& tn = design.name;
  checkName(tn, tn, "table");
  // Each name must be storable in the definition (Access 97: code page 1252).
  definitionName(f, tn);
  for (auto& c : design.columns) definitionName(f, c.name);
  for (auto& ix : design.indexes) definitionName(f, ix.name);
  if (design.columns.empty()) badDesign(tn, "a table needs at least one column");
  if (design.columns.size() > 255) badDesign(tn, "a table can have at most 255 columns");
  TableLayout t;
  std::set<std::string> seen;
  for (auto& c : design.columns) {
    checkName(tn, c.name, "column");
    if (!seen.insert(foldCase(c.name)).second) badDesign(tn, "the column name '" + c.name + "' is used twice");
    ColumnLayout l;
    l.name = c.name;
    l.type = c.type;
    l.size = storedSize(f, c, tn);
    bool fixed = !(c.type == ColumnType::Text || c.type == ColumnType::Memo || c.type == ColumnType::Ole);
    // 0x02: the column can be changed; only the engine writes an autonumber.
    l.flags = uint8_t((fixed ? 0x01 : 0) | (c.autoNumber ? 0 : 0x02));
    if (c.autoNumber) {
      if (c.type != ColumnType::Long) badDesign(tn, "only Long columns can be AutoNumber");
      l.flags |= 0x04;
    }
    l.compressed = c.type == ColumnType::Text || c.type == ColumnType::Memo;
    t.columns.push_back(l);
  }
  auto columnNumber = [&](const std::string& name) -> uint16_t {
    for (size_t i = 0; i < design.columns.size(); ++i) if (sameName(design.columns[i].name, name)) return uint16_t(i);
    badDesign(tn, "an index names the missing column '" + name + "'");
  };
  std::set<std::string> indexNames;
  bool havePrimary = false;
  for (auto& ix : design.indexes) {
    checkName(tn, ix.name, "index");
    if (!indexNames.insert(foldCase(ix.name)).second) badDesign(tn, "the index name '" + ix.name + "' is used twice");
    if (ix.columns.empty() || ix.columns.size() > 10) badDesign(tn, "the index '" + ix.name + "' must have 1 to 10 columns");
    if (ix.primaryKey && havePrimary) badDesign(tn, "a table can have only one primary key");
    havePrimary = havePrimary || ix.primaryKey;
    IndexLayout l;
    l.name = ix.name;
    std::set<uint16_t> used;
    for (auto& ic : ix.columns) {
      uint16_t n = columnNumber(ic.column);
      if (!used.insert(n).second) badDesign(tn, "the index '" + ix.name + "' names a column twice");
      ColumnType ty = design.columns[n].type;
      if (ty == ColumnType::Memo || ty == ColumnType::Ole) {
        badDesign(tn, "the memo or OLE column '" + design.columns[n].name + "' cannot be indexed");
      }
      l.columns.push_back({n, ic.ascending});
    }
    l.flags = indexFlags(ix);
    l.type = ix.primaryKey ? 0x01 : 0x00;
    t.indexes.push_back(l);
  }
  return t;
}

uint32_t createTable(Database& db, const TableDesign& design) {
  if (!db.writable()) throw Error(err::kReadOnly, "Cannot create a table: the database is open read-only.");
  TableLayout layout = layoutForDesign(db.format(), design);
  for (auto& e : db.catalog()) {
    if ((e.type == 1 || e.type == 5 || e.type == 4 || e.type == 6) && sameName(e.name, design.name)) {
      throw Error(err::kTableExists, "Table '" + design.name + "' already exists.");
    }
  }
  PageFile& file = db.file();
  double now = nowAsJetDate();
  // One commit for the definition, the catalog row and the permission rows; a failure
  // anywhere forgets all of them.
  Batch batch(db);
  uint32_t tdef = file.append();
  MapRows maps(file, db.format());
  writeTableLayout(file, db.format(), tdef, layout, maps);
  CatalogObject o;
  o.id = int32_t(tdef);
  o.name = design.name;
  addCatalogObject(db, db.table("MSysObjects"), o, now);
  addPermission(db, db.table("MSysACEs"), o.id, sids::kAdmin, 1048319, false);
  addPermission(db, db.table("MSysACEs"), o.id, sids::kAdmins, 1048319, false);
  batch.commit();
  db.reload();
  return tdef;
}

}  // namespace jet
