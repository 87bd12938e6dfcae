#include "jet/database/table.h"

#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/format/row_codec.h"
#include "jet/format/usage_map.h"

namespace jet {

Bytes resolveRow(PageFile& file, const Format& f, RowId id, PageRef& hold) {
  for (int hop = 0; hop < 4; ++hop) {
    hold = file.read(id.page);
    Bytes page(hold->data(), hold->size());
    DataPage dp(page, f);
    if (!dp.isData()) corrupt("a row address points at page " + std::to_string(id.page) + ", which is not a data page");
    RowSlot s = dp.slot(id.row);
    if (s.deleted && hop == 0) throw Error(err::kNoCurrentRecord, "The record has been deleted.");
    Bytes row = page.sub(s.start, s.length);
    if (!s.lookup) return row;
    if (row.size() < 4) corrupt("a forwarding address is cut short");
    id = RowId::unpack(row.u32(0));
  }
  corrupt("a row's forwarding addresses form a chain");
}

Table::Table(Database& db, TableDef def) : db_(db), def_(std::move(def)) {}

int Table::columnIndex(const std::string& name) const {
  for (size_t i = 0; i < def_.columns.size(); ++i) if (sameName(def_.columns[i].name, name)) return int(i);
  return -1;
}

std::vector<uint32_t> Table::dataPages() { return readUsageMap(db_.file(), db_.format(), def_.usedPagesMap); }

void Table::scan(const std::function<bool(RowId, Bytes)>& visit) {
  PageFile& file = db_.file();
  const Format& f = db_.format();
  for (uint32_t page : dataPages()) {
    PageRef pg = file.read(page);
    DataPage dp(Bytes(pg->data(), pg->size()), f);
    if (!dp.isData() || dp.owner() != def_.page) continue;
    uint16_t n = dp.rowCount();
    for (uint16_t r = 0; r < n; ++r) {
      RowSlot s = dp.slot(r);
      if (s.deleted) continue;
      PageRef hold;
      Bytes row = resolveRow(file, f, RowId{page, uint8_t(r)}, hold);
      if (!visit(RowId{page, uint8_t(r)}, row)) return;
    }
  }
}

std::vector<RowId> Table::rowIds() {
  std::vector<RowId> ids;
  scan([&](RowId id, Bytes) { ids.push_back(id); return true; });
  return ids;
}

Bytes Table::rowBytes(RowId id, PageRef& hold) { return resolveRow(db_.file(), db_.format(), id, hold); }

std::vector<Value> Table::readRow(RowId id) {
  PageRef hold;
  Bytes row = rowBytes(id, hold);
  return decodeRow(db_.file(), db_.format(), def_, row);
}

Value Table::readField(RowId id, size_t column) {
  PageRef hold;
  thread_local RawRow raw;  // its room serves every call
  thread_local std::vector<bool> only;
  if (column >= def_.columns.size()) internalFault("a field past the table's columns is asked for");
  only.assign(def_.columns.size(), false);
  only[column] = true;
  splitRow(db_.format(), def_, rowBytes(id, hold), raw, &only);
  return decodeField(db_.file(), db_.format(), def_.columns[column], raw, column);
}

}  // namespace jet
