// A table definition (TDEF): columns, real and logical indexes, usage maps, counts.
// Parsed from the definition pages, which may continue over several pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/column.h"
#include "jet/format/format.h"

namespace jet {

class PageFile;

struct IndexColumn {
  uint16_t columnNumber = 0;
  bool ascending = true;
};

// An index as stored: its B-tree.
struct RealIndex {
  int number = 0;
  std::vector<IndexColumn> columns;
  uint32_t usageMap = 0;   // row pointer of the index's page map
  uint32_t rootPage = 0;
  uint8_t flags = 0;       // 0x01 unique, 0x02 ignore nulls, 0x08 required
  uint32_t rowCount = 0;   // from the definition's count area
  size_t definitionOffset = 0;  // where this index's record lies in the definition bytes
  size_t countOffset = 0;
  bool unique() const { return (flags & 0x01) != 0; }
  bool ignoreNulls() const { return (flags & 0x02) != 0; }
  bool required() const { return (flags & 0x08) != 0; }
};

// An index as the user sees it: a name over a real index.
struct LogicalIndex {
  std::string name;
  int number = 0;
  int realIndex = 0;
  uint8_t type = 0;        // 0x01 primary key, 0x02 foreign key
  // A foreign key's side of a relationship: the index at its other end, in the table whose
  // definition starts at `relatedTablePage`.
  uint8_t relatedTableType = 0;  // 0x01: this table holds the referenced key; 0x02: the reference
  int relatedIndex = -1;
  uint32_t relatedTablePage = 0;
  bool primary() const { return type == 0x01; }
  bool foreignKey() const { return type == 0x02; }
};

struct TableDef {
  uint32_t page = 0;
  std::vector<uint32_t> pages;  // the definition pages, first to last
  std::string name;
  uint32_t rowCount = 0;
  uint32_t nextAutoNumber = 0;
  uint8_t tableType = 0;
  uint16_t maxColumns = 0;
  uint16_t varColumns = 0;
  std::vector<Column> columns;  // ordered by column number
  std::vector<RealIndex> realIndexes;
  std::vector<LogicalIndex> indexes;
  uint32_t usedPagesMap = 0;
  uint32_t freePagesMap = 0;
  uint16_t fixedSize = 0;  // bytes of the fixed area of a full row
  // From the table's properties (column_properties.h): the rule every stored row must meet.
  std::optional<std::string> validationRule, validationText;

  // Where the parts of the definition lie in its bytes (the pages joined, continuation
  // headers left out): the end of the index count area, the index-tree records, the
  // logical index records, and the end of the index names.
  size_t countAreaEnd = 0;
  size_t realIndexesOffset = 0;
  size_t logicalIndexesOffset = 0;
  size_t indexNamesOffset = 0;
  size_t indexNamesEnd = 0;

  const Column* findColumn(const std::string& name) const;  // case-insensitive
  const Column* columnByNumber(uint16_t number) const;
  const LogicalIndex* findIndex(const std::string& name) const;
};

TableDef readTableDef(PageFile& file, const Format& format, uint32_t page);

// The definition's bytes: its pages joined, continuation headers left out.
std::string readTableDefBytes(PageFile& file, const Format& format, uint32_t page, std::vector<uint32_t>* pages = nullptr);

// Rewrites the row count and next autonumber in the definition's first page.
void writeTableCounts(PageFile& file, const Format& format, const TableDef& def);

// Jet compares names without regard to letter case.
bool sameName(const std::string& a, const std::string& b);

}  // namespace jet
