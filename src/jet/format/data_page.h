// Data pages: the row offset table, row bounds and flags, and placing rows on a page.
// Rows grow down from the end of the page; the offset table grows up after the header.
#pragma once

#include <cstdint>
#include <string>

#include "jet/base/bytes.h"
#include "jet/format/format.h"

namespace jet {

// A row's address: page and row number, stored in files as (page << 8) | row.
struct RowId {
  uint32_t page = 0;
  uint8_t row = 0;
  uint32_t packed() const { return (page << 8) | row; }
  static RowId unpack(uint32_t v) { return {v >> 8, uint8_t(v & 0xFF)}; }
  bool operator==(const RowId&) const = default;
  auto operator<=>(const RowId&) const = default;
};

// Row flags: deleted rows carry both flags; a row that moved keeps only its new address at
// home (lookup flag alone), and its bytes at the new place carry the deleted flag alone, so
// that scans meet every row once, at home.
struct RowSlot {
  uint32_t start = 0;  // offset in the page
  uint32_t length = 0;
  bool deleted = false;  // deleted, or the moved bytes of a row that lives elsewhere
  bool lookup = false;   // the row holds only the address of where it now lives
};

class DataPage {
 public:
  DataPage(Bytes page, const Format& f) : b_(page), f_(f) {}
  bool isData() const { return b_.u8(0) == uint8_t(PageType::Data); }
  uint32_t owner() const { return b_.u32(4); }  // the table definition page
  uint16_t rowCount() const { return b_.u16(f_.dataRowCount); }
  uint16_t freeSpace() const { return b_.u16(f_.dataFreeSpace); }
  RowSlot slot(uint16_t row) const;

 private:
  Bytes b_;
  const Format& f_;
};

// Writing: the free space that a row of `length` bytes needs (with its offset entry).
inline size_t rowSpaceNeeded(size_t length) { return length + 2; }

// Initialises a new data page owned by the table at `tdefPage`.
void initDataPage(uint8_t* page, const Format& f, uint32_t tdefPage);
// Adds a row to a page that has room; returns its row number.
uint16_t addRowToPage(uint8_t* page, const Format& f, const std::string& row, uint16_t flags = 0);
// Replaces a row's bytes in place, moving the rows below it; the page must have room for growth.
void replaceRowOnPage(uint8_t* page, const Format& f, uint16_t row, const std::string& bytes, uint16_t flags);
// Marks a row deleted and gives its bytes back to the page.
void markRowDeleted(uint8_t* page, const Format& f, uint16_t row);

}  // namespace jet
