#include "jet/write/table_writer.h"

#include <algorithm>

#include "jet/base/error.h"
#include "jet/index/index_key.h"
#include "jet/index/index_tree.h"
#include "jet/index/index_writer.h"
#include "jet/format/long_value.h"
#include "jet/write/referential_integrity.h"
#include "jet/format/row_codec.h"
#include "jet/format/usage_map.h"

namespace jet {

namespace {

// Memo and OLE values of up to this many bytes stay inside their row.
constexpr size_t kInlineLongValue = 64;

// The key the index holds for a row. Where its text holds a letter that sorts as several (ß),
// an entry Access made may count that letter once; the entry is found under that key then.
std::optional<std::string> heldKey(PageFile& file, const Format& f, const TableDef& def, const RealIndex& ri,
                                   const std::vector<Value>& values, RowId id, std::optional<std::string> key) {
  if (!key) return key;
  bool expands = false;
  for (auto& ic : ri.columns) {
    const size_t at = columnPosition(def, ic.columnNumber);
    const Column& c = def.columns[at];
    if (c.isTextual() && !c.access97 && values[at].kind == Value::Kind::Text && hasSortExpansion(values[at].s)) expands = true;
  }
  if (!expands) return key;
  const std::optional<std::string> other = rowKey(def, ri, values, Expansions::kOnce);
  bool held = false;
  walkIndex(file, f, ri.rootPage, *other, [&](const IndexEntry& e) {
    if (e.key != *other) return false;
    held = e.row == id;
    return !held;
  });
  return held ? other : key;
}

// The rules a table's properties set for a value it stores: Required and AllowZeroLength.
void requireColumnRules(const TableDef& def, const Column& c, const Value& v) {
  if (c.required && v.isNull() && c.type != ColumnType::Boolean) {
    throw Error(err::kValueRequired, "The field '" + def.name + "." + c.name +
                                         "' cannot contain a Null value because the Required property for this field is set to "
                                         "True. Enter a value in this field.");
  }
  if (c.noZeroLength && c.isTextual() && v.kind == Value::Kind::Text && v.s.empty()) {
    throw Error(err::kZeroLengthString, "Field '" + def.name + "." + c.name + "' cannot be a zero-length string.");
  }
}

std::string indexName(const TableDef& def, const RealIndex& ri) {
  for (auto& li : def.indexes) if (li.realIndex == ri.number) return li.name;
  return "index " + std::to_string(ri.number);
}

// Runs one write operation: it is stored whole, or forgotten whole when it fails.
template <typename F>
auto atomically(Database& db, F&& body) {
  try {
    if constexpr (std::is_void_v<decltype(body())>) {
      body();
      db.operationDone();
    } else {
      auto result = body();
      db.operationDone();
      return result;
    }
  } catch (const Error& e) {
    db.operationFailed();
    // A refusal says that the operation left the file as it was.
    constexpr std::string_view kNothing = " Nothing was written.";
    const std::string_view what = e.what();
    if (e.number() != err::kNotSupported || what.ends_with(kNothing)) throw;
    throw Error(e.number(), std::string(what) + std::string(kNothing));
  } catch (...) {
    db.operationFailed();
    throw;
  }
}

}  // namespace

TableWriter::TableWriter(Database& db, Table& table) : db_(db), table_(table) {
  if (!db.writable()) throw Error(err::kReadOnly, "Cannot update. The database is open read-only.");
}

int32_t TableWriter::takeAutoNumber() {
  TableDef& def = table_.mutableDef();
  if (def.nextAutoNumber >= 0x7FFFFFFFu) throw Error(err::kOverflow, "The table's autonumber has run out of values.");
  return int32_t(++def.nextAutoNumber);
}

namespace {

// Each real index's key for a row: nothing where the index leaves the row out.
using RowKeys = std::vector<std::optional<std::string>>;

RowKeys keysOf(const TableDef& def, const std::vector<Value>& values) {
  RowKeys keys;
  for (auto& ri : def.realIndexes) keys.push_back(rowKey(def, ri, values));
  return keys;
}

// `keys`: the row's keys (keysOf). `unchanged`: the indexes whose key a change leaves as it
// was, which are not checked.
void checkIndexRules(PageFile& file, const Format& f, const TableDef& def, const std::vector<Value>& values,
                     const RowKeys& keys, RowId self, const std::vector<bool>& unchanged = {}) {
  for (size_t k = 0; k < def.realIndexes.size(); ++k) {
    const RealIndex& ri = def.realIndexes[k];
    if (!unchanged.empty() && unchanged[k]) continue;
    bool primary = false;
    for (auto& li : def.indexes) primary = primary || (li.realIndex == ri.number && li.primary());
    if (primary || ri.required()) {
      for (auto& ic : ri.columns) {
        const Column* c = def.columnByNumber(ic.columnNumber);
        for (size_t i = 0; i < def.columns.size(); ++i) {
          if (&def.columns[i] == c && values[i].isNull()) {
            throw Error(err::kNullInIndex, "Index or primary key cannot contain a Null value ('" + c->name + "' in the index '" +
                                               indexName(def, ri) + "' of table '" + def.name + "').");
          }
        }
      }
    }
    if (!ri.unique() && !primary) continue;
    if (allKeyColumnsNull(def, ri, values)) continue;
    if (keys[k] && IndexWriter(file, f, ri).findOther(*keys[k], self)) {
      throw Error(err::kDuplicateKey, "The changes were not made because they would create duplicate values in the index '" +
                                          indexName(def, ri) + "' of table '" + def.name + "'.");
    }
  }
}

// A forwarding address must lead to a data page of the same table; anything else is damage
// that writing through it would spread.
void checkMovedRowPage(PageFile& file, const Format& f, const TableDef& def, RowId at) {
  if (at.page == 0 || at.page >= file.pageCount()) corrupt("a moved row's address points outside the file");
  PageRef pg = file.read(at.page);
  DataPage dp(Bytes(pg->data(), pg->size()), f);
  if (!dp.isData() || dp.owner() != def.page || at.row >= dp.rowCount()) {
    corrupt("a moved row's address does not point into its table");
  }
}

// Finds a data page of the table with room for `length` bytes, or adds one.
uint32_t pageWithRoom(Database& db, Table& table, size_t length) {
  PageFile& file = db.file();
  const Format& f = db.format();
  const TableDef& def = table.def();
  auto hasRoom = [&](uint32_t page) {
    PageRef pg = file.read(page);
    DataPage dp(Bytes(pg->data(), pg->size()), f);
    return dp.isData() && dp.owner() == def.page && dp.freeSpace() >= rowSpaceNeeded(length) && dp.rowCount() < 255;
  };
  if (table.insertHint != 0 && hasRoom(table.insertHint)) return table.insertHint;
  if (table.insertHint == 0) {
    std::vector<uint32_t> pages = table.dataPages();
    for (auto it = pages.rbegin(); it != pages.rend() && it - pages.rbegin() < 4; ++it) {
      if (hasRoom(*it)) return table.insertHint = *it;
    }
  }
  uint32_t page = file.append();
  initDataPage(file.modify(page), f, def.page);
  setUsageMapPage(file, f, def.usedPagesMap, page, true);
  if (def.freePagesMap != 0) setUsageMapPage(file, f, def.freePagesMap, page, true);
  return table.insertHint = page;
}

}  // namespace

RowId TableWriter::insert(std::vector<Value> values) {
  return atomically(db_, [&]() -> RowId {
    TableDef& def = table_.mutableDef();
    PageFile& file = db_.file();
    const Format& f = db_.format();
    if (values.size() != def.columns.size()) internalFault("a row has the wrong number of values");
    for (size_t i = 0; i < def.columns.size(); ++i) requireStorableText(f, def.columns[i], values[i]);
    for (size_t i = 0; i < def.columns.size(); ++i) {
      const Column& c = def.columns[i];
      if (!c.autoNumber() || c.type != ColumnType::Long) continue;
      if (values[i].isNull()) values[i] = Value::long_(takeAutoNumber());
      else if (values[i].i > int64_t(def.nextAutoNumber)) def.nextAutoNumber = uint32_t(values[i].i);
    }
    for (size_t i = 0; i < def.columns.size(); ++i) requireColumnRules(def, def.columns[i], values[i]);
    const RowKeys keys = keysOf(def, values);
    checkIndexRules(file, f, def, values, keys, RowId{0xFFFFFFu, 0xFF});
    requireReferencedRows(db_, def, values, nullptr);
    std::vector<Value> stored = values;
    for (size_t i = 0; i < def.columns.size(); ++i) {
      const Column& c = def.columns[i];
      if (!c.isLongValue() || values[i].isNull()) continue;
      std::string data = c.type == ColumnType::Memo ? encodeText(f, c, values[i].s) : values[i].s;
      stored[i] = Value::binary(writeLongValue(file, f, def.page, data, kInlineLongValue));
    }
    std::string bytes = encodeRow(f, def, stored);
    if (rowSpaceNeeded(bytes.size()) > f.pageSize - f.dataRowOffsets) {
      throw Error(err::kRecordTooLarge, "Record is too large. (A row of table '" + def.name + "' that no page holds.)");
    }
    uint32_t page = pageWithRoom(db_, table_, bytes.size());
    RowId id{page, uint8_t(addRowToPage(file.modify(page), f, bytes))};
    def.rowCount += 1;
    writeTableCounts(file, f, def);
    for (size_t k = 0; k < def.realIndexes.size(); ++k) {
      if (keys[k]) IndexWriter(file, f, def.realIndexes[k]).add(IndexEntry{*keys[k], id, 0});
    }
    return id;
  });
}

void TableWriter::update(RowId id, std::vector<Value> values) {
  std::vector<std::optional<Value>> changes(values.size());
  for (size_t i = 0; i < values.size(); ++i) changes[i] = std::move(values[i]);
  update(id, std::move(changes));
}

void TableWriter::update(RowId id, std::vector<std::optional<Value>> changes) {
  atomically(db_, [&] {
    TableDef& def = table_.mutableDef();
    PageFile& file = db_.file();
    const Format& f = db_.format();
    const size_t n = def.columns.size();
    if (changes.size() != n) internalFault("a row has the wrong number of values");
    for (size_t i = 0; i < n; ++i) {
      if (changes[i]) requireStorableText(f, def.columns[i], *changes[i]);
    }
    for (size_t i = 0; i < n; ++i) {
      if (changes[i]) requireColumnRules(def, def.columns[i], *changes[i]);
    }
    // Where the row's bytes live now: at home, or where its forwarding address points.
    PageRef homePage = file.read(id.page);
    DataPage home(Bytes(homePage->data(), homePage->size()), f);
    if (!home.isData() || home.owner() != def.page) corrupt("a row address does not point into its table");
    RowSlot homeSlot = home.slot(id.row);
    if (homeSlot.deleted) throw Error(err::kNoCurrentRecord, "The record has been deleted.");
    RowId at = id;
    if (homeSlot.lookup) {
      Bytes fwd = Bytes(homePage->data(), homePage->size()).sub(homeSlot.start, homeSlot.length);
      at = RowId::unpack(fwd.u32(0));
      checkMovedRowPage(file, f, def, at);
    }
    PageRef hold;
    Bytes oldBytes = table_.rowBytes(id, hold);
    std::string oldCopy = oldBytes.str(0, oldBytes.size());
    Bytes old(oldCopy);
    RawRow raw = splitRow(f, def, old);
    // Only the old values of the columns that indexes key (relationships included) and of the
    // long values given anew are decoded; the other fields kept go into the new row as they are.
    std::vector<bool> keyed(n, false);
    for (const RealIndex& ri : def.realIndexes) {
      for (const IndexColumn& ic : ri.columns) keyed[columnPosition(def, ic.columnNumber)] = true;
    }
    std::vector<Value> oldValues(n);
    for (size_t i = 0; i < n; ++i) {
      const bool longGiven = changes[i] && def.columns[i].isLongValue();
      if (keyed[i] || longGiven) oldValues[i] = decodeField(file, f, def.columns[i], raw, i);
      // A long value given as it stands stays where it is.
      if (longGiven && raw.fields[i].present && *changes[i] == oldValues[i]) changes[i].reset();
    }
    // The row's new values, as far as the checks and keys below read them.
    std::vector<Value> values(n);
    for (size_t i = 0; i < n; ++i) {
      if (changes[i]) values[i] = *changes[i];
      else if (keyed[i]) values[i] = oldValues[i];
    }

    // Keys of indexes whose columns keep their values are not computed.
    RowKeys oldKeys(def.realIndexes.size()), newKeys(def.realIndexes.size());
    std::vector<bool> unchanged(def.realIndexes.size());
    for (size_t k = 0; k < def.realIndexes.size(); ++k) {
      const RealIndex& ri = def.realIndexes[k];
      unchanged[k] = sameKeyValues(def, ri, oldValues, values);
      if (unchanged[k]) continue;
      oldKeys[k] = rowKey(def, ri, oldValues);
      newKeys[k] = rowKey(def, ri, values);
      unchanged[k] = oldKeys[k] == newKeys[k];
    }
    checkIndexRules(file, f, def, values, newKeys, id, unchanged);
    requireReferencedRows(db_, def, values, &oldValues);
    refuseWhileReferenced(db_, def, oldValues, &values);
    for (size_t i = 0; i < n; ++i) {
      const Column& c = def.columns[i];
      if (!c.isLongValue() || !changes[i]) continue;
      if (raw.fields[i].present) freeLongValue(file, f, raw.fields[i].bytes);
      const Value& v = *changes[i];
      if (v.isNull()) continue;
      std::string data = c.type == ColumnType::Memo ? encodeText(f, c, v.s) : v.s;
      changes[i] = Value::binary(writeLongValue(file, f, def.page, data, kInlineLongValue));
    }
    std::string bytes = encodeRow(f, def, changes, raw);
    if (rowSpaceNeeded(bytes.size()) > f.pageSize - f.dataRowOffsets) {
      throw Error(err::kRecordTooLarge, "Record is too large. (A row of table '" + def.name + "' that no page holds.)");
    }
    // In place when the page has room; otherwise the row moves and its home keeps its new address.
    PageRef atPage = file.read(at.page);
    DataPage atView(Bytes(atPage->data(), atPage->size()), f);
    RowSlot atSlot = atView.slot(at.row);
    uint16_t atFlags = at == id ? 0 : kRowDeleted;
    if (long(bytes.size()) - long(atSlot.length) <= long(atView.freeSpace())) {
      replaceRowOnPage(file.modify(at.page), f, at.row, bytes, atFlags);
    } else {
      if (at != id) markRowDeleted(file.modify(at.page), f, at.row);
      uint32_t page = pageWithRoom(db_, table_, bytes.size());
      if (page == id.page) {
        // The home page cannot be the new place: it lacked room a moment ago.
        page = file.append();
        initDataPage(file.modify(page), f, def.page);
        setUsageMapPage(file, f, def.usedPagesMap, page, true);
        table_.insertHint = page;
      }
      RowId moved{page, uint8_t(addRowToPage(file.modify(page), f, bytes, kRowDeleted))};
      std::string pointer(4, '\0');
      put32(reinterpret_cast<uint8_t*>(pointer.data()), moved.packed());
      replaceRowOnPage(file.modify(id.page), f, id.row, pointer, kRowLookup);
    }
    for (size_t k = 0; k < def.realIndexes.size(); ++k) {
      if (unchanged[k]) continue;
      IndexWriter w(file, f, def.realIndexes[k]);
      if (oldKeys[k]) w.remove(IndexEntry{*heldKey(file, f, def, def.realIndexes[k], oldValues, id, oldKeys[k]), id, 0});
      if (newKeys[k]) w.add(IndexEntry{*newKeys[k], id, 0});
    }
  });
}

void TableWriter::remove(RowId id) {
  atomically(db_, [&] {
    TableDef& def = table_.mutableDef();
    PageFile& file = db_.file();
    const Format& f = db_.format();
    PageRef homePage = file.read(id.page);
    DataPage home(Bytes(homePage->data(), homePage->size()), f);
    if (!home.isData() || home.owner() != def.page) corrupt("a row address does not point into its table");
    RowSlot homeSlot = home.slot(id.row);
    if (homeSlot.deleted) throw Error(err::kNoCurrentRecord, "The record has already been deleted.");
    PageRef hold;
    Bytes bytes = table_.rowBytes(id, hold);
    std::string copy = bytes.str(0, bytes.size());
    RawRow raw = splitRow(f, def, Bytes(copy));
    std::vector<Value> values;
    for (size_t i = 0; i < def.columns.size(); ++i) values.push_back(decodeField(file, f, def.columns[i], raw, i));
    refuseWhileReferenced(db_, def, values, nullptr);
    for (size_t i = 0; i < def.columns.size(); ++i) {
      if (def.columns[i].isLongValue() && raw.fields[i].present) freeLongValue(file, f, raw.fields[i].bytes);
    }
    if (homeSlot.lookup) {
      // The moved bytes go too, or readers that meet them at their new place would list them.
      Bytes fwd = Bytes(homePage->data(), homePage->size()).sub(homeSlot.start, homeSlot.length);
      RowId at = RowId::unpack(fwd.u32(0));
      checkMovedRowPage(file, f, def, at);
      markRowDeleted(file.modify(at.page), f, at.row);
    }
    markRowDeleted(file.modify(id.page), f, id.row);
    def.rowCount -= 1;
    writeTableCounts(file, f, def);
    const RowKeys keys = keysOf(def, values);
    for (size_t k = 0; k < def.realIndexes.size(); ++k) {
      if (keys[k]) IndexWriter(file, f, def.realIndexes[k]).remove(IndexEntry{*heldKey(file, f, def, def.realIndexes[k], values, id, keys[k]), id, 0});
    }
  });
}

}  // namespace jet
