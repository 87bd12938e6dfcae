#include "jet/format/table_def.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "jet/base/bytes.h"
#include "jet/format/code_page.h"
#include "jet/base/error.h"
#include "jet/format/header.h"
#include "jet/pager/page_file.h"
#include "jet/format/text_codec.h"

namespace jet {

bool sameName(const std::string& a, const std::string& b) {
  // Plain ASCII names, nearly all of them, compare without decoding.
  auto ascii = [](const std::string& s) {
    for (char c : s) if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
  };
  if (a.size() == b.size()) {
    for (size_t i = 0; i < a.size(); ++i) {
      char x = a[i], y = b[i];
      if (static_cast<unsigned char>(x | y) >= 0x80) return foldCase(a) == foldCase(b);
      if (x >= 'a' && x <= 'z') x = char(x - 0x20);
      if (y >= 'a' && y <= 'z') y = char(y - 0x20);
      if (x != y) return false;
    }
    return true;
  }
  return !ascii(a) || !ascii(b) ? foldCase(a) == foldCase(b) : false;
}

const Column* TableDef::findColumn(const std::string& n) const {
  for (auto& c : columns) if (sameName(c.name, n)) return &c;
  return nullptr;
}

const Column* TableDef::columnByNumber(uint16_t number) const {
  for (auto& c : columns) if (c.number == number) return &c;
  return nullptr;
}

const LogicalIndex* TableDef::findIndex(const std::string& n) const {
  for (auto& i : indexes) if (sameName(i.name, n)) return &i;
  return nullptr;
}

namespace {

// Access 97: the code page and sort order its header names.
std::pair<uint16_t, uint16_t> headerTextSettings(PageFile& file) {
  PageRef pg = file.read(0);
  const std::string plain = unmaskHeader(std::string(reinterpret_cast<const char*>(pg->data()), pg->size()), false);
  Bytes h(plain);
  return {h.u16(0x3C), h.u16(0x3A)};
}

std::string readName(Bytes b, size_t& pos, const Format& f, uint16_t codePage) {
  if (f.jet4) {
    size_t len = b.u16(pos);
    pos += 2;
    std::string name = utf16leToUtf8(b.sub(pos, len));
    pos += len;
    return name;
  }
  size_t len = b.u8(pos);
  pos += 1;
  std::string name = codePageToUtf8(b.str(pos, len), codePage);
  pos += len;
  return name;
}

}  // namespace

std::string readTableDefBytes(PageFile& file, const Format& f, uint32_t page, std::vector<uint32_t>* pages) {
  // The first page whole, the rest after their 8-byte header.
  std::string buf;
  std::set<uint32_t> seen;
  for (uint32_t p = page; p != 0;) {
    if (!seen.insert(p).second) corrupt("the definition pages of a table form a loop");
    PageRef pg = file.read(p);
    if ((*pg)[0] != uint8_t(PageType::TableDef)) corrupt("page " + std::to_string(p) + " is not a table definition");
    if (pages) pages->push_back(p);
    if (buf.empty()) buf.assign(reinterpret_cast<const char*>(pg->data()), pg->size());
    else buf.append(reinterpret_cast<const char*>(pg->data()) + 8, pg->size() - 8);
    p = Bytes(pg->data(), pg->size()).u32(4);
  }
  return buf;
}

TableDef readTableDef(PageFile& file, const Format& f, uint32_t page) {
  TableDef def;
  def.page = page;
  std::string buf = readTableDefBytes(file, f, page, &def.pages);
  Bytes b(buf);
  def.rowCount = b.u32(f.tdefRowCount);
  def.nextAutoNumber = b.u32(f.tdefAutoNumber);
  def.tableType = b.u8(f.tdefTableType);
  def.maxColumns = b.u16(f.tdefMaxCols);
  def.varColumns = b.u16(f.tdefVarCols);
  uint16_t numCols = b.u16(f.tdefNumCols);
  uint32_t numIdx = b.u32(f.tdefNumIndexes);
  uint32_t numRealIdx = b.u32(f.tdefNumRealIndexes);
  if (numIdx > 1000 || numRealIdx > 1000 || numCols > 4096) corrupt("a table definition has impossible counts");
  def.usedPagesMap = b.u32(f.tdefUsedPages);
  def.freePagesMap = b.u32(f.tdefFreePages);

  uint16_t headerCodePage = 0, headerSortOrder = 0;
  if (!f.jet4) std::tie(headerCodePage, headerSortOrder) = headerTextSettings(file);
  const uint16_t nameCodePage = textCodePage(0, headerCodePage, headerSortOrder);

  size_t pos = f.tdefIndexStart;
  for (uint32_t i = 0; i < numRealIdx; ++i) {
    RealIndex ri;
    ri.number = int(i);
    ri.countOffset = pos + 4;
    ri.rowCount = b.u32(pos + 4);
    def.realIndexes.push_back(ri);
    pos += f.realIndexCountSize;
  }
  def.countAreaEnd = pos;
  for (uint16_t i = 0; i < numCols; ++i) {
    Bytes c = b.sub(pos, f.columnSize);
    Column col;
    col.type = ColumnType(c.u8(f.colType));
    col.number = c.u16(f.colNumber);
    col.varIndex = c.u16(f.colVarIndex);
    col.flags = c.u8(f.colFlags);
    col.fixedOffset = c.u16(f.colFixedOffset);
    col.size = c.u16(f.colSize);
    if (col.type == ColumnType::Numeric) {
      col.precision = c.u8(f.colMisc);
      col.scale = c.u8(f.colMisc + 1);
    }
    if (f.jet4) {
      col.sortOrder = c.u16(11);
      col.compressedText = (c.u8(16) & 0x01) != 0;
    } else {
      col.sortOrder = c.u16(9);
      col.codePage = textCodePage(headerCodePage, c.u16(11), col.sortOrder != 0 ? col.sortOrder : headerSortOrder);
      col.access97 = true;
    }
    def.columns.push_back(col);
    pos += f.columnSize;
  }
  for (auto& col : def.columns) col.name = readName(b, pos, f, nameCodePage);

  def.realIndexesOffset = pos;
  for (auto& ri : def.realIndexes) {
    ri.definitionOffset = pos;
    size_t p = pos + (f.jet4 ? 4 : 0);
    for (int k = 0; k < 10; ++k, p += 3) {
      uint16_t cn = b.u16(p);
      if (cn == 0xFFFF) continue;
      ri.columns.push_back({cn, (b.u8(p + 2) & 0x01) != 0});
    }
    ri.usageMap = b.u32(p);
    ri.rootPage = b.u32(p + 4);
    ri.flags = b.u8(p + (f.jet4 ? 12 : 8));  // Jet 4 keeps four more bytes before the flags
    pos += f.realIndexSize;
  }
  def.logicalIndexesOffset = pos;
  for (uint32_t i = 0; i < numIdx; ++i) {
    size_t p = pos + (f.jet4 ? 4 : 0);
    LogicalIndex li;
    li.number = int(b.u32(p));
    li.realIndex = int(b.u32(p + 4));
    li.relatedTableType = b.u8(p + 8);
    li.relatedIndex = int(b.u32(p + 9));
    li.relatedTablePage = b.u32(p + 13);
    // Bytes 17 and 18 say whether the relationship cascades updates and deletes; a change it
    // would cascade is refused like any other, so they are not read.
    li.type = b.u8(p + 19);
    if (li.realIndex < 0 || li.realIndex >= int(numRealIdx)) corrupt("an index refers to a missing index tree");
    def.indexes.push_back(li);
    pos += f.logicalIndexSize;
  }
  def.indexNamesOffset = pos;
  for (auto& li : def.indexes) li.name = readName(b, pos, f, nameCodePage);
  def.indexNamesEnd = pos;

  std::stable_sort(def.columns.begin(), def.columns.end(),
                   [](const Column& a, const Column& c) { return a.number < c.number; });
  for (auto& col : def.columns) {
    if (!col.fixed()) continue;
    size_t end = size_t(col.fixedOffset) + fixedWidth(col);
    if (end > f.pageSize) corrupt("a fixed-length column lies past the end of any row");
    def.fixedSize = std::max<uint16_t>(def.fixedSize, uint16_t(end));
  }
  for (auto& ri : def.realIndexes) {
    for (auto& ic : ri.columns) {
      if (!def.columnByNumber(ic.columnNumber)) corrupt("an index refers to a missing column");
    }
  }
  return def;
}

void writeTableCounts(PageFile& file, const Format& f, const TableDef& def) {
  uint8_t* p = file.modify(def.page);
  put32(p + f.tdefRowCount, def.rowCount);
  put32(p + f.tdefAutoNumber, def.nextAutoNumber);
}

}  // namespace jet
