#include "jet/format/usage_map.h"

#include <cstring>
#include <set>

#include "jet/base/bytes.h"
#include "jet/format/data_page.h"
#include "jet/base/error.h"
#include "jet/pager/page_file.h"

namespace jet {

namespace {

struct MapRow {
  uint32_t page;
  RowSlot slot;
};

MapRow locate(PageFile& file, const Format& f, uint32_t rowPointer) {
  RowId id = RowId::unpack(rowPointer);
  PageRef pg = file.read(id.page);
  DataPage dp(Bytes(pg->data(), pg->size()), f);
  if (!dp.isData()) corrupt("a usage map does not lie on a data page");
  RowSlot s = dp.slot(id.row);
  if (s.length < 5) corrupt("a usage map is too short");
  return {id.page, s};
}

size_t bitsPerMapPage(const Format& f) { return (f.pageSize - 4) * 8; }

// The pages a map marks; marks past the end of the file are damage, or skipped with `pastEndOk`.
std::vector<uint32_t> readMap(PageFile& file, const Format& f, uint32_t rowPointer, bool pastEndOk) {
  MapRow m = locate(file, f, rowPointer);
  PageRef pg = file.read(m.page);
  Bytes row = Bytes(pg->data(), pg->size()).sub(m.slot.start, m.slot.length);
  std::vector<uint32_t> pages;
  uint8_t type = row.u8(0);
  uint32_t total = file.pageCount();
  if (type == 0) {
    uint32_t start = row.u32(1);
    for (size_t i = 5; i < row.size(); ++i) {
      uint8_t bits = row.u8(i);
      for (int j = 0; j < 8; ++j) {
        if (bits & (1 << j)) {
          uint64_t p = uint64_t(start) + (i - 5) * 8 + j;
          if (p >= total) {
            if (pastEndOk) continue;
            corrupt("a usage map marks a page past the end of the file");
          }
          pages.push_back(uint32_t(p));
        }
      }
    }
  } else if (type == 1) {
    for (size_t k = 0; 1 + 4 * k + 4 <= row.size(); ++k) {
      uint32_t mapPage = row.u32(1 + 4 * k);
      if (mapPage == 0) continue;
      // The database's own map may hold anything in the slots of bitmaps for pages past the end
      // of the file (Access leaves values such as FFFFFF80 there); those pages count as free.
      if (pastEndOk && uint64_t(k) * bitsPerMapPage(f) >= total) continue;
      PageRef mp = file.read(mapPage);
      Bytes mb(mp->data(), mp->size());
      if (mb.u8(0) != uint8_t(PageType::UsageMap)) corrupt("a usage map points at a page that is not a bitmap");
      for (size_t i = 4; i < mb.size(); ++i) {
        uint8_t bits = mb.u8(i);
        for (int j = 0; j < 8 && bits; ++j) {
          if (bits & (1 << j)) {
            uint64_t p = k * bitsPerMapPage(f) + (i - 4) * 8 + j;
            if (p >= total) {
              if (pastEndOk) continue;
              corrupt("a usage map marks a page past the end of the file");
            }
            pages.push_back(uint32_t(p));
          }
        }
      }
    }
  } else {
    corrupt("a usage map has an unknown type");
  }
  return pages;
}

}  // namespace

std::vector<uint32_t> readUsageMap(PageFile& file, const Format& f, uint32_t rowPointer) {
  return readMap(file, f, rowPointer, false);
}

std::vector<uint32_t> readFreePages(PageFile& file, const Format& f) { return readMap(file, f, kFreePageMap, true); }

void setUsageMapPage(PageFile& file, const Format& f, uint32_t rowPointer, uint32_t page, bool used) {
  MapRow m = locate(file, f, rowPointer);
  uint8_t* pg = file.modify(m.page);
  uint8_t* row = pg + m.slot.start;
  size_t len = m.slot.length;
  if (row[0] == 0) {
    uint32_t start = Bytes(row, len).u32(1);
    size_t bits = (len - 5) * 8;
    if (page >= start && page < start + bits) {
      size_t bit = page - start;
      if (used) row[5 + bit / 8] |= uint8_t(1 << (bit % 8));
      else row[5 + bit / 8] &= uint8_t(~(1 << (bit % 8)));
      return;
    }
    if (!used) return;
    // Out of the inline window: try a new start that covers every marked page and this one.
    std::vector<uint32_t> marked = readUsageMap(file, f, rowPointer);
    uint32_t lo = page, hi = page;
    for (uint32_t p : marked) { lo = std::min(lo, p); hi = std::max(hi, p); }
    pg = file.modify(m.page);
    row = pg + m.slot.start;
    if (hi - lo < bits) {
      std::memset(row + 5, 0, len - 5);
      put32(row + 1, lo);
      marked.push_back(page);
      for (uint32_t p : marked) row[5 + (p - lo) / 8] |= uint8_t(1 << ((p - lo) % 8));
      return;
    }
    // Rewrite as a reference map with bitmap pages.
    if ((len - 1) / 4 * bitsPerMapPage(f) <= hi) throw Error(err::kNotSupported, "The table has grown beyond what its page map can hold.");
    std::memset(row + 1, 0, len - 1);
    row[0] = 1;
    marked.push_back(page);
    for (uint32_t p : marked) setUsageMapPage(file, f, rowPointer, p, true);
    return;
  }
  if (row[0] != 1) corrupt("a usage map has an unknown type");
  size_t k = page / bitsPerMapPage(f);
  size_t bit = page % bitsPerMapPage(f);
  if (1 + 4 * k + 4 > len) throw Error(err::kNotSupported, "The table has grown beyond what its page map can hold.");
  uint32_t mapPage = Bytes(row, len).u32(1 + 4 * k);
  if (mapPage == 0) {
    if (!used) return;
    mapPage = file.append();
    uint8_t* mp = file.modify(mapPage);
    mp[0] = uint8_t(PageType::UsageMap);
    mp[1] = 0x01;
    pg = file.modify(m.page);
    put32(pg + m.slot.start + 1 + 4 * k, mapPage);
  }
  uint8_t* mp = file.modify(mapPage);
  if (used) mp[4 + bit / 8] |= uint8_t(1 << (bit % 8));
  else mp[4 + bit / 8] &= uint8_t(~(1 << (bit % 8)));
}

}  // namespace jet
