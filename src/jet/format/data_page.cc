#include "jet/format/data_page.h"

#include <cstring>
#include <vector>

#include "jet/base/error.h"

namespace jet {

RowSlot DataPage::slot(uint16_t row) const {
  if (row >= rowCount()) corrupt("a row number is past the rows of its page");
  uint16_t raw = b_.u16(f_.dataRowOffsets + 2 * row);
  uint32_t end = row == 0 ? uint32_t(b_.size()) : (b_.u16(f_.dataRowOffsets + 2 * (row - 1)) & kRowOffsetMask);
  RowSlot s;
  s.start = raw & kRowOffsetMask;
  s.deleted = (raw & kRowDeleted) != 0;
  s.lookup = (raw & (kRowDeleted | kRowLookup)) == kRowLookup;
  size_t tableEnd = f_.dataRowOffsets + 2 * size_t(rowCount());
  if (s.deleted && (s.start > end || s.start < tableEnd)) { s.length = 0; return s; }
  if (s.start > end || s.start < tableEnd || end > b_.size()) corrupt("a row's bounds on its page are impossible");
  s.length = end - s.start;
  return s;
}

void initDataPage(uint8_t* page, const Format& f, uint32_t tdefPage) {
  std::memset(page, 0, f.pageSize);
  page[0] = uint8_t(PageType::Data);
  page[1] = 0x01;
  put16(page + f.dataFreeSpace, uint16_t(f.pageSize - f.dataRowOffsets));
  put32(page + 4, tdefPage);
  if (f.jet4) std::memset(page + 8, 0, 4);
}

uint16_t addRowToPage(uint8_t* page, const Format& f, const std::string& row, uint16_t flags) {
  Bytes b(page, f.pageSize);
  uint16_t count = b.u16(f.dataRowCount);
  uint16_t free = b.u16(f.dataFreeSpace);
  if (free < rowSpaceNeeded(row.size()) || count >= 255) internalFault("the page has no room for the row");
  uint32_t top = count == 0 ? uint32_t(f.pageSize) : (b.u16(f.dataRowOffsets + 2 * (count - 1)) & kRowOffsetMask);
  // The free-space count of a damaged page may promise room the page does not have.
  if (top > f.pageSize || top < row.size() || top - row.size() < f.dataRowOffsets + 2 * (size_t(count) + 1)) {
    corrupt("a data page has less room than its free-space count says");
  }
  uint32_t start = top - uint32_t(row.size());
  std::memcpy(page + start, row.data(), row.size());
  put16(page + f.dataRowOffsets + 2 * count, uint16_t(start | flags));
  put16(page + f.dataRowCount, uint16_t(count + 1));
  put16(page + f.dataFreeSpace, uint16_t(free - rowSpaceNeeded(row.size())));
  return count;
}

void replaceRowOnPage(uint8_t* page, const Format& f, uint16_t row, const std::string& bytes, uint16_t flags) {
  Bytes b(page, f.pageSize);
  uint16_t count = b.u16(f.dataRowCount);
  DataPage dp(b, f);
  RowSlot s = dp.slot(row);
  long delta = long(bytes.size()) - long(s.length);
  uint16_t free = b.u16(f.dataFreeSpace);
  if (delta > long(free)) internalFault("the page has no room for the grown row");
  // Rows after this one (higher numbers) lie below it in the page: move them by -delta.
  uint32_t lowest = s.start;
  for (uint16_t r = row + 1; r < count; ++r) lowest = std::min<uint32_t>(lowest, b.u16(f.dataRowOffsets + 2 * r) & kRowOffsetMask);
  if (long(lowest) - delta < long(f.dataRowOffsets + 2 * size_t(count))) {
    corrupt("a data page has less room than its free-space count says");
  }
  if (delta != 0 && lowest < s.start) {
    std::memmove(page + lowest - delta, page + lowest, s.start - lowest);
  }
  uint32_t newStart = uint32_t(long(s.start) - delta);
  std::memcpy(page + newStart, bytes.data(), bytes.size());
  put16(page + f.dataRowOffsets + 2 * row, uint16_t(newStart | flags));
  for (uint16_t r = row + 1; r < count; ++r) {
    uint16_t raw = b.u16(f.dataRowOffsets + 2 * r);
    uint32_t off = raw & kRowOffsetMask;
    if (off <= s.start) put16(page + f.dataRowOffsets + 2 * r, uint16_t((off - delta) | (raw & ~kRowOffsetMask)));
  }
  put16(page + f.dataFreeSpace, uint16_t(long(free) - delta));
}

void markRowDeleted(uint8_t* page, const Format& f, uint16_t row) {
  // As Access does it: both flags, and the row's bytes given back to the page.
  replaceRowOnPage(page, f, row, std::string(), kRowDeleted | kRowLookup);
}

}  // namespace jet
