#include "jet/index_page.h"

#include <cstring>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/page_file.h"

namespace jet {

namespace {

void appendRowId(std::string& s, RowId r) {
  s.push_back(char(r.page >> 16));
  s.push_back(char(r.page >> 8));
  s.push_back(char(r.page));
  s.push_back(char(r.row));
}

std::string entryBytes(const IndexEntry& e, bool leaf) {
  std::string s = e.key;
  appendRowId(s, e.row);
  if (!leaf) {
    s.push_back(char(e.child >> 24));
    s.push_back(char(e.child >> 16));
    s.push_back(char(e.child >> 8));
    s.push_back(char(e.child));
  }
  return s;
}

}  // namespace

std::string IndexEntry::sortBytes() const {
  std::string s = key;
  appendRowId(s, row);
  return s;
}

int compareEntries(const IndexEntry& a, const IndexEntry& b) {
  int c = a.key.compare(b.key);
  // A key that is a prefix of another sorts first: compare() already does that.
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.row == b.row) return 0;
  return a.row < b.row ? -1 : 1;
}

IndexNode readIndexNode(PageFile& file, const Format& f, uint32_t page) {
  PageRef pg = file.read(page);
  Bytes b(pg->data(), pg->size());
  IndexNode node;
  node.page = page;
  uint8_t type = b.u8(0);
  if (type != uint8_t(PageType::IndexLeaf) && type != uint8_t(PageType::IndexNode)) {
    corrupt("page " + std::to_string(page) + " should be an index page");
  }
  node.leaf = type == uint8_t(PageType::IndexLeaf);
  node.owner = b.u32(4);
  node.prev = b.u32(f.indexPrev);
  node.next = b.u32(f.indexNext);
  node.tail = b.u32(f.indexTail);
  size_t prefixLen = b.u16(f.indexPrefixLength);
  size_t maskLen = f.indexEntries - f.indexBitmask;
  size_t trailer = node.leaf ? 4 : 8;
  std::string prefix;
  size_t last = 0;
  for (size_t i = 0; i < maskLen * 8; ++i) {
    if (!((b.u8(f.indexBitmask + i / 8) >> (i % 8)) & 1)) continue;
    if (i <= last && !node.entries.empty()) corrupt("an index page's entry mask is out of order");
    std::string stored = b.str(f.indexEntries + last, i - last);
    std::string full = node.entries.empty() ? stored : prefix + stored;
    if (node.entries.empty()) {
      if (prefixLen > full.size()) corrupt("an index page's common prefix is longer than its first entry");
      prefix = full.substr(0, prefixLen);
    }
    if (full.size() < trailer) corrupt("an index entry is too short");
    Bytes e(full);
    IndexEntry entry;
    size_t keyLen = full.size() - trailer;
    entry.key = full.substr(0, keyLen);
    entry.row.page = (uint32_t(e.u8(keyLen)) << 16) | (uint32_t(e.u8(keyLen + 1)) << 8) | e.u8(keyLen + 2);
    entry.row.row = e.u8(keyLen + 3);
    if (!node.leaf) {
      entry.child = (uint32_t(e.u8(keyLen + 4)) << 24) | (uint32_t(e.u8(keyLen + 5)) << 16) |
                    (uint32_t(e.u8(keyLen + 6)) << 8) | e.u8(keyLen + 7);
    }
    node.entries.push_back(std::move(entry));
    last = i;
  }
  if (f.indexEntries + last > f.pageSize) corrupt("index entries run past their page");
  return node;
}

void PageFit::add(const IndexEntry& e) {
  std::string s = entryBytes(e, leaf_);
  raw_ += s.size();
  if (count_++ == 0) {
    first_ = std::move(s);
    prefix_ = first_.size();
    return;
  }
  size_t k = 0;
  const size_t limit = std::min(prefix_, s.size() - 1);
  while (k < limit && s[k] == first_[k]) ++k;
  prefix_ = k;
  // The first entry too keeps at least one byte of its own.
  prefix_ = std::min(prefix_, first_.size() - 1);
}

bool PageFit::fits() const {
  // The same arithmetic as writeIndexNode.
  const size_t total = raw_ - (count_ > 1 ? (count_ - 1) * prefix_ : 0);
  const size_t maskLen = f_.indexEntries - f_.indexBitmask;
  return f_.indexEntries + total <= f_.pageSize && total < maskLen * 8;
}

size_t indexNodeSize(const Format& f, const IndexNode& node) {
  size_t total = 0;
  for (auto& e : node.entries) total += e.key.size() + (node.leaf ? 4 : 8);
  return total;
}

bool writeIndexNode(uint8_t* page, const Format& f, const IndexNode& node) {
  std::vector<std::string> full;
  for (auto& e : node.entries) full.push_back(entryBytes(e, node.leaf));
  // The common prefix of every entry on the page, stored once (in the first entry).
  size_t prefix = 0;
  if (full.size() > 1) {
    prefix = full[0].size();
    for (auto& s : full) {
      size_t k = 0;
      while (k < prefix && k < s.size() && s[k] == full[0][k]) ++k;
      prefix = k;
    }
    // Each entry keeps at least one byte of its own.
    for (auto& s : full) prefix = std::min(prefix, s.size() - 1);
  }
  size_t total = 0;
  for (size_t i = 0; i < full.size(); ++i) total += full[i].size() - (i == 0 ? 0 : prefix);
  size_t maskLen = f.indexEntries - f.indexBitmask;
  if (f.indexEntries + total > f.pageSize || total >= maskLen * 8) return false;
  std::memset(page, 0, f.pageSize);
  page[0] = uint8_t(node.leaf ? PageType::IndexLeaf : PageType::IndexNode);
  page[1] = 0x01;
  put16(page + 2, uint16_t(f.pageSize - f.indexEntries - total));
  put32(page + 4, node.owner);
  put32(page + f.indexPrev, node.prev);
  put32(page + f.indexNext, node.next);
  put32(page + f.indexTail, node.tail);
  put16(page + f.indexPrefixLength, uint16_t(prefix));
  size_t pos = 0;
  for (size_t i = 0; i < full.size(); ++i) {
    size_t skip = i == 0 ? 0 : prefix;
    std::memcpy(page + f.indexEntries + pos, full[i].data() + skip, full[i].size() - skip);
    pos += full[i].size() - skip;
    page[f.indexBitmask + pos / 8] |= uint8_t(1 << (pos % 8));
  }
  return true;
}

}  // namespace jet
