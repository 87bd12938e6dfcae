// The two Jet file formats we read: where each structure keeps its fields.
// Jet 3 (Access 97) has 2 KB pages; Jet 4 (Access 2000-2003) has 4 KB pages.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet {

enum class PageType : uint8_t { Header = 0x00, Data = 0x01, TableDef = 0x02, IndexNode = 0x03, IndexLeaf = 0x04, UsageMap = 0x05 };

struct Format {
  bool jet4;
  size_t pageSize;
  // Data pages.
  size_t dataRowCount;     // offset of the row count
  size_t dataRowOffsets;   // offset of the first row offset
  size_t dataFreeSpace;
  // Table definition pages.
  size_t tdefRowCount;
  size_t tdefAutoNumber;
  size_t tdefTableType;
  size_t tdefMaxCols;
  size_t tdefVarCols;
  size_t tdefNumCols;
  size_t tdefNumIndexes;
  size_t tdefNumRealIndexes;
  size_t tdefUsedPages;
  size_t tdefFreePages;
  size_t tdefIndexStart;   // where the real-index counts begin
  size_t realIndexCountSize;
  size_t columnSize;
  size_t colType, colNumber, colVarIndex, colMisc, colFlags, colFixedOffset, colSize;
  size_t realIndexSize;
  size_t logicalIndexSize;
  // Index pages.
  size_t indexPrev, indexNext, indexTail;
  size_t indexPrefixLength;
  size_t indexPrefixLengthSize;  // 1 byte in Jet 3, 2 in Jet 4; a flag byte follows it
  size_t indexBitmask;
  size_t indexEntries;
  // Rows.
  size_t rowColumnCountSize;  // 1 in Jet 3, 2 in Jet 4
  size_t rowOffsetSize;       // variable-field offsets: 1 in Jet 3 (high parts in a jump table), 2 in Jet 4
  bool rowListsEveryOffset;   // Jet 3 rows list the offsets of trailing absent fields too; Jet 4 rows leave them out
  // Text.
  size_t textBytesPerChar;    // 1 in Jet 3 (the database's code page), 2 in Jet 4 (UTF-16)
};

extern const Format kJet3;
extern const Format kJet4;

inline constexpr uint16_t kRowDeleted = 0x8000;  // see RowSlot in data_page.h
inline constexpr uint16_t kRowLookup = 0x4000;
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;

}  // namespace jet
