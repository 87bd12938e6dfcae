// The bytes of a new table definition: column and index records, usage maps and empty index roots.
// Shared by createDatabase (the system tables, copied from what Access writes) and createTable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jet/format/column.h"
#include "jet/format/format.h"
#include "jet/format/table_def.h"

namespace jet {

class PageFile;

struct ColumnLayout {
  std::string name;
  ColumnType type = ColumnType::Long;
  uint16_t size = 0;       // bytes: per character 2 (Jet 4) or 1 (Jet 3) for text, 0 for memo and OLE
  uint8_t flags = 0;       // as stored: 0x01 fixed, 0x02 may be null, 0x04 autonumber, ...
  bool compressed = false; // text and memo: Unicode compression
};

struct IndexLayout {
  std::string name;
  std::vector<IndexColumn> columns;  // column numbers (positions in TableLayout::columns)
  uint8_t flags = 0x80;    // 0x01 unique, 0x02 ignore nulls, 0x08 required; Access always sets 0x80
  uint8_t type = 0;        // 0x01 primary key
};

struct TableLayout {
  bool system = false;
  std::vector<ColumnLayout> columns;  // in column-number order
  std::vector<IndexLayout> indexes;   // each gets its own index tree, in this order
};

// Places usage-map rows on data pages that hold nothing else, as Access does.
class MapRows {
 public:
  MapRows(PageFile& file, const Format& f) : file_(file), f_(f) {}
  // Adds an empty inline map and returns its row pointer ((page << 8) | row).
  uint32_t add();

 private:
  PageFile& file_;
  const Format& f_;
  uint32_t page_ = 0;
};

// Writes the definition of `layout` at `tdefPage` (already part of the file; continuation pages
// are appended), its usage maps through `maps` and an empty root leaf per index, appended.
void writeTableLayout(PageFile& file, const Format& f, uint32_t tdefPage, const TableLayout& layout, MapRows& maps);

// Stores definition bytes over `pages` (the first is the definition's own page), appending
// continuation pages when they are too few; pages left over are cleared and unlinked.
void writeDefinitionPages(PageFile& file, const Format& f, std::vector<uint32_t> pages, const std::string& bytes);

// A new index-tree record (the 52 bytes of one index in a Jet 4 definition, 39 in Jet 3).
std::string indexTreeRecord(const Format& f, const IndexLayout& index, uint32_t usageMap, uint32_t rootPage);
// A new logical index record: `number` among the logical indexes, over tree `tree`.
std::string logicalIndexRecord(const Format& f, uint32_t number, uint32_t tree, uint8_t type);
// A name as definitions store it: a 2-byte length, then UTF-16LE (Jet 4); a 1-byte length, then
// code page 1252 (Jet 3), where a character that code page lacks is refused (kConversion).
std::string definitionName(const Format& f, const std::string& name);

}  // namespace jet
