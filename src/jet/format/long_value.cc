#include "jet/format/long_value.h"

#include <cstring>
#include <set>

#include "jet/format/data_page.h"
#include "jet/base/error.h"
#include "jet/pager/page_file.h"

namespace jet {

namespace {

constexpr uint32_t kInline = 0x80000000u;
constexpr uint32_t kSinglePage = 0x40000000u;
constexpr uint32_t kLengthMask = 0x3FFFFFFFu;

Bytes lvalRow(PageFile& file, const Format& f, uint32_t pointer, PageRef& hold) {
  RowId id = RowId::unpack(pointer);
  hold = file.read(id.page);
  Bytes page(hold->data(), hold->size());
  DataPage dp(page, f);
  if (!dp.isData()) corrupt("a memo points at a page that is not a data page");
  RowSlot s = dp.slot(id.row);
  return page.sub(s.start, s.length);
}

}  // namespace

std::string readLongValue(PageFile& file, const Format& f, Bytes field) {
  if (field.size() < 12) corrupt("a memo field is shorter than its header");
  uint32_t head = field.u32(0);
  uint32_t length = head & kLengthMask;
  if (head & kInline) {
    if (length > field.size() - 12) corrupt("an inline memo is longer than its row");
    return field.str(12, length);
  }
  PageRef hold;
  if (head & kSinglePage) {
    Bytes row = lvalRow(file, f, field.u32(4), hold);
    if (length > row.size()) corrupt("a memo is longer than its page row");
    return row.str(0, length);
  }
  std::string out;
  out.reserve(std::min<uint32_t>(length, 1u << 24));
  uint32_t next = field.u32(4);
  std::set<uint32_t> seen;
  while (out.size() < length) {
    if (next == 0) corrupt("a memo's page chain ends before its length");
    if (!seen.insert(next).second) corrupt("a memo's page chain forms a loop");
    Bytes row = lvalRow(file, f, next, hold);
    if (row.size() < 4) corrupt("a memo part is too short");
    next = row.u32(0);
    size_t take = std::min<size_t>(row.size() - 4, length - out.size());
    out += row.str(4, take);
  }
  return out;
}

std::string writeLongValue(PageFile& file, const Format& f, uint32_t tdefPage, const std::string& data, size_t inlineLimit) {
  std::string field(12, '\0');
  uint8_t* h = reinterpret_cast<uint8_t*>(field.data());
  if (data.size() <= inlineLimit) {
    put32(h, uint32_t(data.size()) | kInline);
    field += data;
    return field;
  }
  // Each part goes to a fresh long-value page of its own, the way a compacted file keeps them.
  size_t room = f.pageSize - f.dataRowOffsets - 2 - 4;  // one row a page, with its chain pointer
  std::vector<std::pair<uint32_t, std::string>> parts;
  for (size_t off = 0; off < data.size(); off += room) parts.push_back({0, data.substr(off, room)});
  if (parts.size() == 1 && data.size() <= f.pageSize - f.dataRowOffsets - 2) {
    uint32_t page = file.append();
    uint8_t* p = file.modify(page);
    initDataPage(p, f, 0);
    std::memcpy(p + 4, "LVAL", 4);
    uint16_t row = addRowToPage(p, f, data);
    put32(h, uint32_t(data.size()) | kSinglePage);
    put32(h + 4, RowId{page, uint8_t(row)}.packed());
    return field;
  }
  for (auto& part : parts) {
    part.first = file.append();
    uint8_t* p = file.modify(part.first);
    initDataPage(p, f, 0);
    std::memcpy(p + 4, "LVAL", 4);
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string row(4, '\0');
    uint32_t next = i + 1 < parts.size() ? RowId{parts[i + 1].first, 0}.packed() : 0;
    put32(reinterpret_cast<uint8_t*>(row.data()), next);
    row += parts[i].second;
    addRowToPage(file.modify(parts[i].first), f, row);
  }
  put32(h, uint32_t(data.size()));
  put32(h + 4, RowId{parts[0].first, 0}.packed());
  (void)tdefPage;
  return field;
}

void freeLongValue(PageFile& file, const Format& f, Bytes field) {
  if (field.size() < 12) return;
  uint32_t head = field.u32(0);
  if (head & kInline) return;
  uint32_t next = field.u32(4);
  std::set<uint32_t> seen;
  while (next != 0 && seen.insert(next).second) {
    RowId id = RowId::unpack(next);
    PageRef hold;
    Bytes row = lvalRow(file, f, next, hold);
    uint32_t following = (head & kSinglePage) || row.size() < 4 ? 0 : row.u32(0);
    markRowDeleted(file.modify(id.page), f, id.row);
    next = following;
  }
}

}  // namespace jet
