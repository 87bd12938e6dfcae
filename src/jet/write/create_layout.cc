#include "jet/write/create_layout.h"

#include <algorithm>
#include <cstring>

#include "jet/base/bytes.h"
#include "jet/format/data_page.h"
#include "jet/base/error.h"
#include "jet/index/index_page.h"
#include "jet/pager/page_file.h"
#include "jet/format/text_codec.h"

namespace jet {

namespace {

// A constant Access writes into every table definition, column and logical index record.
constexpr uint32_t kTableMagic = 0x0659;
// The constant that opens every index-tree record.
constexpr uint32_t kIndexMagic = 0x0783;
// Inline usage maps Access creates: type, start page, and a 64-byte bitmap.
constexpr size_t kMapRowSize = 1 + 4 + 64;

void put(std::string& s, size_t at, uint32_t v, int width) {
  for (int i = 0; i < width; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string definitionName(const Format& f, const std::string& name) {
  std::string out;
  if (f.textBytesPerChar == 1) {
    // Jet 3: a length byte, then code page 1252.
    for (char32_t ch : utf8ToUtf32(name)) {
      const int b = cp1252Byte(ch);
      if (b < 0) throw Error(err::kConversion, "The name '" + name + "' holds a character an Access 97 database cannot store.");
      out.push_back(char(b));
    }
    return std::string(1, char(out.size())) + out;
  }
  std::string u = utf8ToUtf16le(name);
  append16(out, uint16_t(u.size()));
  return out + u;
}

std::string indexTreeRecord(const Format& f, const IndexLayout& ix, uint32_t usageMap, uint32_t rootPage) {
  // Jet 4 opens the record with a constant and keeps four more bytes before the flags.
  std::string r(f.realIndexSize, '\0');
  const size_t at = f.jet4 ? 4 : 0;
  if (f.jet4) put(r, 0, kIndexMagic, 4);
  for (size_t k = 0; k < 10; ++k) {
    if (k < ix.columns.size()) {
      put(r, at + 3 * k, ix.columns[k].columnNumber, 2);
      r[at + 2 + 3 * k] = ix.columns[k].ascending ? 0x01 : 0x00;
    } else {
      put(r, at + 3 * k, 0xFFFF, 2);
    }
  }
  put(r, at + 30, usageMap, 4);
  put(r, at + 34, rootPage, 4);
  // Access 2000 sets 0x80 on every index; Access 97 never does.
  r[at + (f.jet4 ? 42 : 38)] = char(f.jet4 ? ix.flags : ix.flags & 0x7F);
  return r;
}

std::string logicalIndexRecord(const Format& f, uint32_t number, uint32_t tree, uint8_t type) {
  std::string r(f.logicalIndexSize, '\0');
  const size_t at = f.jet4 ? 4 : 0;
  if (f.jet4) put(r, 0, kTableMagic, 4);
  put(r, at, number, 4);
  put(r, at + 4, tree, 4);
  put(r, at + 9, 0xFFFFFFFFu, 4);
  r[at + 17] = 0x04;
  r[at + 18] = 0x04;
  r[at + 19] = char(type);
  return r;
}

uint32_t MapRows::add() {
  std::string row(kMapRowSize, '\0');
  auto hasRoom = [&] {
    if (page_ == 0) return false;
    PageRef pg = file_.read(page_);
    DataPage dp(Bytes(pg->data(), pg->size()), f_);
    return dp.freeSpace() >= rowSpaceNeeded(row.size()) && dp.rowCount() < 255;
  };
  if (!hasRoom()) {
    page_ = file_.append();
    initDataPage(file_.modify(page_), f_, 0);
  }
  uint16_t r = addRowToPage(file_.modify(page_), f_, row);
  return RowId{page_, uint8_t(r)}.packed();
}

void writeTableLayout(PageFile& file, const Format& f, uint32_t tdefPage, const TableLayout& t, MapRows& maps) {
  uint32_t usedMap = maps.add();
  uint32_t freeMap = maps.add();
  std::vector<uint32_t> indexMaps, roots;
  for (size_t i = 0; i < t.indexes.size(); ++i) indexMaps.push_back(maps.add());
  struct LongValueMaps { uint16_t column; uint32_t used, free; };
  std::vector<LongValueMaps> lvMaps;
  for (size_t i = 0; i < t.columns.size(); ++i) {
    ColumnType ty = t.columns[i].type;
    if (ty == ColumnType::Memo || ty == ColumnType::Ole) {
      uint32_t used = maps.add();
      lvMaps.push_back({uint16_t(i), used, maps.add()});
    }
  }
  for (size_t i = 0; i < t.indexes.size(); ++i) {
    uint32_t root = file.append();
    IndexNode node;
    node.page = root;
    node.leaf = true;
    node.owner = tdefPage;
    writeIndexNode(file.modify(root), f, node);
    roots.push_back(root);
  }

  uint16_t varCount = 0;
  for (auto& c : t.columns) if (!(c.flags & 0x01)) ++varCount;

  std::string d(f.tdefIndexStart, '\0');
  d[0] = char(PageType::TableDef);
  d[1] = 0x01;
  if (f.jet4) {
    put(d, 0x0C, kTableMagic, 4);
    d[0x18] = 0x01;
  } else {
    std::memcpy(d.data() + 2, "VC", 2);
  }
  d[f.tdefTableType] = t.system ? 'S' : 'N';
  put(d, f.tdefMaxCols, uint32_t(t.columns.size()), 2);
  put(d, f.tdefVarCols, varCount, 2);
  put(d, f.tdefNumCols, uint32_t(t.columns.size()), 2);
  put(d, f.tdefNumIndexes, uint32_t(t.indexes.size()), 4);
  put(d, f.tdefNumRealIndexes, uint32_t(t.indexes.size()), 4);
  put(d, f.tdefUsedPages, usedMap, 4);
  put(d, f.tdefFreePages, freeMap, 4);
  d.append(f.realIndexCountSize * t.indexes.size(), '\0');

  // Column records, in column-number order. Fixed columns record how many variable columns
  // come before them where variable ones keep their slot.
  uint16_t fixedOffset = 0, varIndex = 0;
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const ColumnLayout& c = t.columns[i];
    std::string r(f.columnSize, '\0');
    bool fixed = (c.flags & 0x01) != 0;
    r[0] = char(c.type);
    put(r, f.colNumber, uint32_t(i), 2);
    put(r, f.colVarIndex, varIndex, 2);
    if (f.jet4) {
      put(r, 1, kTableMagic, 4);
      put(r, 9, uint32_t(i), 2);
      put(r, 11, 1033, 2);  // sort order General, which Access writes for every column
      r[16] = c.compressed ? 0x01 : 0x00;
    } else {
      put(r, 5, uint32_t(i), 2);
      r[8] = 0x01;          // a constant Access 97 writes in every column record
      put(r, 9, 1033, 2);   // sort order General
      put(r, 11, 1252, 2);  // code page
    }
    r[f.colFlags] = char(c.flags);
    Column probe;
    probe.type = c.type;
    probe.size = c.size;
    if (fixed) {
      put(r, f.colFixedOffset, fixedOffset, 2);
      fixedOffset = uint16_t(fixedOffset + fixedWidth(probe));
    } else {
      ++varIndex;
    }
    put(r, f.colSize, c.size, 2);
    d += r;
  }
  for (auto& c : t.columns) d += definitionName(f, c.name);

  for (size_t i = 0; i < t.indexes.size(); ++i) d += indexTreeRecord(f, t.indexes[i], indexMaps[i], roots[i]);
  // Logical index records in name order, as Access lists them; each names its own tree.
  std::vector<size_t> order(t.indexes.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return foldCase(t.indexes[a].name) < foldCase(t.indexes[b].name); });
  for (size_t i : order) d += logicalIndexRecord(f, uint32_t(i), uint32_t(i), t.indexes[i].type);
  for (size_t i : order) d += definitionName(f, t.indexes[i].name);
  // The page maps of every memo and OLE column's long values.
  for (auto& lv : lvMaps) {
    append16(d, lv.column);
    append32(d, lv.used);
    append32(d, lv.free);
  }
  append16(d, 0xFFFF);
  put(d, 0x08, uint32_t(d.size()), 4);
  writeDefinitionPages(file, f, {tdefPage}, d);
}

void writeDefinitionPages(PageFile& file, const Format& f, std::vector<uint32_t> pages, const std::string& d) {
  // The first page takes what fits; the rest continues on pages with an 8-byte header.
  const size_t ps = f.pageSize;
  const size_t chunk = ps - 8;
  const size_t firstLen = std::min(d.size(), ps);
  const size_t needed = 1 + (d.size() - firstLen + chunk - 1) / chunk;
  std::vector<uint32_t> spare;
  while (pages.size() > needed) {
    spare.push_back(pages.back());
    pages.pop_back();
  }
  while (pages.size() < needed) pages.push_back(file.append());
  size_t pos = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    uint8_t* pg = file.modify(pages[i]);
    std::memset(pg, 0, ps);
    size_t len;
    if (i == 0) {
      len = firstLen;
      std::memcpy(pg, d.data(), len);
    } else {
      len = std::min(chunk, d.size() - pos);
      pg[0] = uint8_t(PageType::TableDef);
      pg[1] = 0x01;
      std::memcpy(pg + 8, d.data() + pos, len);
      len += 8;
    }
    pos += i == 0 ? firstLen : len - 8;
    if (f.jet4) put16(pg + 2, uint16_t(i + 1 < pages.size() ? 0 : ps - len - (i == 0 ? 8 : 0)));
    else std::memcpy(pg + 2, "VC", 2);  // Jet 3 keeps a constant where Jet 4 keeps the free space
    put32(pg + 4, i + 1 < pages.size() ? pages[i + 1] : 0);
  }
  // A page the definition no longer needs stays in the file, empty.
  for (uint32_t p : spare) std::memset(file.modify(p), 0, ps);
}

}  // namespace jet
