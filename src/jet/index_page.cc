#include "jet/index_page.h"

#include <algorithm>
#include <bit>
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

// The bytes an entry takes on a page before prefix compression, into a reused buffer.
void entryBytesInto(std::string& s, const IndexEntry& e, bool leaf) {
  s.assign(e.key);
  appendRowId(s, e.row);
  if (!leaf) {
    s.push_back(char(e.child >> 24));
    s.push_back(char(e.child >> 16));
    s.push_back(char(e.child >> 8));
    s.push_back(char(e.child));
  }
}

size_t commonPrefix(const std::string& a, const std::string& b, size_t limit) {
  size_t k = 0;
  while (k < limit && a[k] == b[k]) ++k;
  return k;
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

std::shared_ptr<const IndexNode> readIndexNodeShared(PageFile& file, const Format& f, uint32_t page) {
  if (auto kept = file.decoded(page)) return std::static_pointer_cast<const IndexNode>(kept);
  auto node = std::make_shared<IndexNode>(decodeIndexNode(file, f, page));
  file.keepDecoded(page, node);
  return node;
}

IndexNode readIndexNode(PageFile& file, const Format& f, uint32_t page) { return *readIndexNodeShared(file, f, page); }

IndexNode decodeIndexNode(PageFile& file, const Format& f, uint32_t page) {
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
  const size_t prefixLen = f.indexPrefixLengthSize == 1 ? b.u8(f.indexPrefixLength) : b.u16(f.indexPrefixLength);
  const size_t maskLen = f.indexEntries - f.indexBitmask;
  const size_t trailer = node.leaf ? 4 : 8;
  const uint8_t* base = pg->data() + f.indexEntries;
  const size_t room = pg->size() - f.indexEntries;
  const uint8_t* prefix = nullptr;  // the first entry, stored whole, holds the common prefix
  size_t last = 0;
  const uint8_t* mask = pg->data() + f.indexBitmask;
  size_t marks = 0;
  for (size_t k = 0; k < maskLen; ++k) marks += size_t(std::popcount(mask[k]));
  node.entries.reserve(marks);
  for (size_t byte = 0; byte < maskLen; ++byte) {
    for (unsigned bits = mask[byte]; bits != 0; bits &= bits - 1) {
      const size_t i = byte * 8 + size_t(std::countr_zero(bits));
      if (i <= last && !node.entries.empty()) corrupt("an index page's entry mask is out of order");
      if (i > room) corrupt("index entries run past their page");
      const uint8_t* stored = base + last;
      const size_t storedLen = i - last;
      const size_t pl = prefix ? prefixLen : 0;
      if (!prefix) {
        if (prefixLen > storedLen) corrupt("an index page's common prefix is longer than its first entry");
        prefix = stored;
      }
      const size_t fullLen = pl + storedLen;
      if (fullLen < trailer) corrupt("an index entry is too short");
      auto at = [&](size_t k) -> uint8_t { return k < pl ? prefix[k] : stored[k - pl]; };
      IndexEntry entry;
      const size_t keyLen = fullLen - trailer;
      entry.key.resize(keyLen);
      const size_t fromPrefix = std::min(pl, keyLen);
      std::memcpy(entry.key.data(), prefix, fromPrefix);
      if (keyLen > pl) std::memcpy(entry.key.data() + pl, stored, keyLen - pl);
      entry.row.page = (uint32_t(at(keyLen)) << 16) | (uint32_t(at(keyLen + 1)) << 8) | at(keyLen + 2);
      entry.row.row = at(keyLen + 3);
      if (!node.leaf) {
        entry.child = (uint32_t(at(keyLen + 4)) << 24) | (uint32_t(at(keyLen + 5)) << 16) |
                      (uint32_t(at(keyLen + 6)) << 8) | at(keyLen + 7);
      }
      node.entries.push_back(std::move(entry));
      last = i;
    }
  }
  if (last > room) corrupt("index entries run past their page");
  return node;
}

void PageFit::add(const IndexEntry& e) {
  thread_local std::string cur;
  const size_t len = e.key.size() + (leaf_ ? 4 : 8);
  raw_ += len;
  if (count_++ == 0) {
    entryBytesInto(first_, e, leaf_);
    prefix_ = len - 1;  // the first entry too keeps at least one byte of its own
    return;
  }
  entryBytesInto(cur, e, leaf_);
  prefix_ = commonPrefix(first_, cur, std::min(prefix_, len - 1));
}

bool PageFit::fits() const {
  // The same arithmetic as writeIndexNode.
  const size_t total = raw_ - (count_ > 1 ? (count_ - 1) * prefix_ : 0);
  const size_t maskLen = f_.indexEntries - f_.indexBitmask;
  return f_.indexEntries + total <= f_.pageSize && total < maskLen * 8;
}

namespace {

// The bytes after an entry's key: its row address, and on nodes its child page.
size_t trailerBytes(uint8_t* out, const IndexEntry& e, bool leaf) {
  out[0] = uint8_t(e.row.page >> 16);
  out[1] = uint8_t(e.row.page >> 8);
  out[2] = uint8_t(e.row.page);
  out[3] = e.row.row;
  if (leaf) return 4;
  out[4] = uint8_t(e.child >> 24);
  out[5] = uint8_t(e.child >> 16);
  out[6] = uint8_t(e.child >> 8);
  out[7] = uint8_t(e.child);
  return 8;
}

}  // namespace

bool writeIndexNode(uint8_t* page, const Format& f, const IndexNode& node) {
  const size_t n = node.entries.size();
  // The common prefix of every entry on the page, stored once (in the first entry); each
  // entry keeps at least one byte of its own.
  uint8_t firstTrailer[8], trailer[8];
  size_t prefix = 0, raw = 0;
  if (n > 0) {
    const std::string& k0 = node.entries[0].key;
    const size_t t0 = trailerBytes(firstTrailer, node.entries[0], node.leaf);
    auto byte0 = [&](size_t k) { return k < k0.size() ? uint8_t(k0[k]) : firstTrailer[k - k0.size()]; };
    prefix = k0.size() + t0 - 1;
    raw = k0.size() + t0;
    for (size_t i = 1; i < n; ++i) {
      const IndexEntry& e = node.entries[i];
      const size_t t = trailerBytes(trailer, e, node.leaf);
      const size_t len = e.key.size() + t;
      raw += len;
      size_t limit = std::min(prefix, len - 1);
      size_t k = 0;
      const size_t keys = std::min({limit, e.key.size(), k0.size()});
      while (k < keys && e.key[k] == k0[k]) ++k;
      if (k == keys) {
        auto byteI = [&](size_t j) { return j < e.key.size() ? uint8_t(e.key[j]) : trailer[j - e.key.size()]; };
        while (k < limit && byteI(k) == byte0(k)) ++k;
      }
      prefix = k;
    }
  }
  if (n <= 1) prefix = 0;
  const size_t total = raw - (n > 1 ? (n - 1) * prefix : 0);
  const size_t maskLen = f.indexEntries - f.indexBitmask;
  if (f.indexEntries + total > f.pageSize || total >= maskLen * 8) return false;
  std::memset(page, 0, f.pageSize);
  page[0] = uint8_t(node.leaf ? PageType::IndexLeaf : PageType::IndexNode);
  page[1] = 0x01;
  put16(page + 2, uint16_t(f.pageSize - f.indexEntries - total));
  put32(page + 4, node.owner);
  put32(page + f.indexPrev, node.prev);
  put32(page + f.indexNext, node.next);
  put32(page + f.indexTail, node.tail);
  if (f.indexPrefixLengthSize == 1) page[f.indexPrefixLength] = uint8_t(prefix);
  else put16(page + f.indexPrefixLength, uint16_t(prefix));
  // The byte after the prefix length: 1 on node pages, 0 on leaves, as Access 97 and 2000 write them.
  page[f.indexPrefixLength + f.indexPrefixLengthSize] = node.leaf ? 0 : 1;
  uint8_t* out = page + f.indexEntries;
  size_t pos = 0;
  for (size_t i = 0; i < n; ++i) {
    const IndexEntry& e = node.entries[i];
    const size_t t = trailerBytes(trailer, e, node.leaf);
    size_t skip = i == 0 ? 0 : prefix;
    if (skip < e.key.size()) {
      std::memcpy(out + pos, e.key.data() + skip, e.key.size() - skip);
      pos += e.key.size() - skip;
      skip = 0;
    } else {
      skip -= e.key.size();
    }
    std::memcpy(out + pos, trailer + skip, t - skip);
    pos += t - skip;
    page[f.indexBitmask + pos / 8] |= uint8_t(1 << (pos % 8));
  }
  return true;
}

}  // namespace jet
