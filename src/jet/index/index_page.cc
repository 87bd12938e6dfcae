#include "jet/index/index_page.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "jet/base/bytes.h"
#include "jet/base/error.h"
#include "jet/index/index_node_cache.h"
#include "jet/pager/page_file.h"

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
  s.assign(e.key.data(), e.key.size());
  appendRowId(s, e.row);
  if (!leaf) {
    s.push_back(char(e.child >> 24));
    s.push_back(char(e.child >> 16));
    s.push_back(char(e.child >> 8));
    s.push_back(char(e.child));
  }
}

// The longest common prefix a page can declare: Access 97 pages keep its length in one byte.
size_t maxPrefix(const Format& f) { return (size_t(1) << (8 * f.indexPrefixLengthSize)) - 1; }

size_t commonPrefix(const std::string& a, const std::string& b, size_t limit) {
  size_t k = 0;
  while (k < limit && a[k] == b[k]) ++k;
  return k;
}

}  // namespace

std::string IndexEntry::sortBytes() const {
  std::string s = key.str();
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
  return IndexNodeCache::of(file, f).node(page);
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

namespace {

// Whether entries of `total` bytes after prefix compression fit one page: its room, and the
// bitmask that marks where each entry ends.
bool fitsPage(const Format& f, size_t total) {
  const size_t maskLen = f.indexEntries - f.indexBitmask;
  return f.indexEntries + total <= f.pageSize && total < maskLen * 8;
}

}  // namespace

void PageFit::add(const IndexEntry& e) {
  thread_local std::string cur;
  const size_t len = e.key.size() + (leaf_ ? 4 : 8);
  raw_ += len;
  if (count_++ == 0) {
    entryBytesInto(first_, e, leaf_);
    prefix_ = std::min(len - 1, maxPrefix(f_));  // the first entry too keeps at least one byte of its own
    return;
  }
  entryBytesInto(cur, e, leaf_);
  prefix_ = commonPrefix(first_, cur, std::min(prefix_, len - 1));
}

std::vector<std::vector<IndexEntry>> packFromTheLeft(const Format& f, bool leaf, std::vector<IndexEntry>& entries) {
  std::vector<std::vector<IndexEntry>> pages(1);
  PageFit fit(f, leaf);
  for (auto& e : entries) {
    fit.add(e);
    if (!pages.back().empty() && !fit.fits()) {
      pages.emplace_back();
      fit.clear();
      fit.add(e);
    }
    pages.back().push_back(std::move(e));
  }
  return pages;
}

bool PageFit::fits() const {
  return fitsPage(f_, raw_ - (count_ > 1 ? (count_ - 1) * prefix_ : 0));
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

// The length of the common start of two entries' page bytes (key, then trailer), up to limit,
// when their first `from` bytes are known to be the same.
size_t commonBytes(const IndexEntry& a, const IndexEntry& b, bool leaf, size_t limit, size_t from = 0) {
  if (from >= limit) return limit;
  const size_t keys = std::min({limit, a.key.size(), b.key.size()});
  size_t k = std::min(from, keys);
  if (std::memcmp(a.key.data() + k, b.key.data() + k, keys - k) == 0) {
    k = keys;
  } else {
    while (a.key[k] == b.key[k]) ++k;
    return k;
  }
  if (k == limit) return k;
  k = std::max(k, from);
  uint8_t ta[8], tb[8];
  trailerBytes(ta, a, leaf);
  trailerBytes(tb, b, leaf);
  auto byteA = [&](size_t j) { return j < a.key.size() ? uint8_t(a.key[j]) : ta[j - a.key.size()]; };
  auto byteB = [&](size_t j) { return j < b.key.size() ? uint8_t(b.key[j]) : tb[j - b.key.size()]; };
  while (k < limit && byteA(k) == byteB(k)) ++k;
  return k;
}

}  // namespace

NodeSpace measureIndexNode(const Format& f, const IndexNode& node, size_t shared) {
  const size_t n = node.entries.size();
  const size_t trailerSize = node.leaf ? 4 : 8;
  NodeSpace s;
  if (n > 0) {
    const IndexEntry& first = node.entries[0];
    size_t prefix = std::min(first.key.size() + trailerSize - 1, maxPrefix(f));
    s.raw = first.key.size() + trailerSize;
    for (size_t i = 1; i < n; ++i) {
      const IndexEntry& e = node.entries[i];
      const size_t len = e.key.size() + trailerSize;
      s.raw += len;
      if (prefix > 0) prefix = commonBytes(e, first, node.leaf, std::min(prefix, len - 1), shared);
    }
    s.prefix = n > 1 ? prefix : 0;
  }
  s.total = s.raw - (n > 1 ? (n - 1) * s.prefix : 0);
  s.fits = fitsPage(f, s.total);
  return s;
}

namespace {

size_t entryLength(const IndexEntry& e, bool leaf) { return e.key.size() + (leaf ? 4 : 8); }

// A node of `entries` entries of `raw` bytes in all, sharing `prefix`: the first keeps it, the
// others leave it out.
NodeSpace spaceOf(const Format& f, size_t entries, size_t raw, size_t prefix) {
  NodeSpace s;
  s.prefix = prefix;
  s.raw = raw;
  s.total = raw - (entries > 1 ? (entries - 1) * prefix : 0);
  s.fits = fitsPage(f, s.total);
  return s;
}

// Whether the common prefix outlives `gone`: it does when `gone` shared more than the prefix
// with an entry that stays (and was longer), for then the entries that bound it are still there.
bool prefixOutlives(const IndexEntry& gone, const IndexEntry& stays, bool leaf, const NodeSpace& before) {
  return entryLength(gone, leaf) - 1 > before.prefix && commonBytes(gone, stays, leaf, before.prefix + 1) > before.prefix;
}

}  // namespace

NodeSpace spaceAfterInsert(const Format& f, const IndexNode& node, size_t at, const NodeSpace& before) {
  const size_t n = node.entries.size();
  // Below three entries the prefix of one entry alone (none) says nothing of two.
  if (n < 3) return measureIndexNode(f, node);
  const IndexEntry& e = node.entries[at];
  const size_t len = entryLength(e, node.leaf);
  // The common prefix of a set grown by one: the old one, cut to what the new entry shares
  // with any old one.
  const size_t prefix = commonBytes(e, node.entries[at == 0 ? 1 : 0], node.leaf, std::min(before.prefix, len - 1));
  return spaceOf(f, n, before.raw + len, prefix);
}

std::optional<NodeSpace> spaceAfterReplace(const Format& f, const IndexNode& node, size_t at, const IndexEntry& old,
                                           const NodeSpace& before) {
  const size_t n = node.entries.size();
  if (n < 3) return std::nullopt;
  const IndexEntry& now = node.entries[at];
  // The same key with another row (a child's new last entry, mostly): where the prefix ends
  // within the key, every entry shares with the new one what it shared with the old one.
  if (old.key == now.key && before.prefix < old.key.size()) return before;
  // Otherwise the old one goes as in a removal, and the new one cuts the prefix to what it
  // shares with an entry that stays.
  const IndexEntry& stays = node.entries[at == 0 ? 1 : 0];
  if (!prefixOutlives(old, stays, node.leaf, before)) return std::nullopt;
  const size_t len = entryLength(now, node.leaf);
  const size_t prefix = commonBytes(now, stays, node.leaf, std::min(before.prefix, len - 1));
  return spaceOf(f, n, before.raw - entryLength(old, node.leaf) + len, prefix);
}

NodeSpace spaceWithAppended(const Format& f, const IndexNode& node, const IndexEntry& e, const NodeSpace& before) {
  const size_t n = node.entries.size();
  if (n < 2) internalFault("the space of an entry added to a node of fewer than two is asked for");
  const size_t len = entryLength(e, node.leaf);
  const size_t prefix = commonBytes(e, node.entries[0], node.leaf, std::min(before.prefix, len - 1));
  return spaceOf(f, n + 1, before.raw + len, prefix);
}

std::optional<NodeSpace> spaceAfterRemove(const Format& f, const IndexNode& node, size_t at, const IndexEntry& gone,
                                          const NodeSpace& before) {
  const size_t n = node.entries.size();
  if (n < 2) return std::nullopt;
  // The prefix may grow once `gone` no longer bounds it, never shrink: the entries that stay
  // all share the old one, so a measure starts past it.
  if (!prefixOutlives(gone, node.entries[at < n ? at : n - 1], node.leaf, before)) {
    return measureIndexNode(f, node, before.prefix);
  }
  return spaceOf(f, n, before.raw - entryLength(gone, node.leaf), before.prefix);
}

bool writeIndexNode(uint8_t* page, const Format& f, const IndexNode& node) {
  // A space kept beside the node is the one measured now: every change resets or updates it.
  if (!node.space) node.space = measureIndexNode(f, node);
  const NodeSpace space = *node.space;
  if (!space.fits) return false;
  const size_t n = node.entries.size();
  const size_t prefix = space.prefix, total = space.total;
  uint8_t trailer[8];
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
    // Entries after the first keep only a few bytes each: copied byte by byte, not by call.
    if (skip < e.key.size()) {
      const size_t len = e.key.size() - skip;
      if (len > 16) std::memcpy(out + pos, e.key.data() + skip, len);
      else for (size_t j = 0; j < len; ++j) out[pos + j] = uint8_t(e.key[skip + j]);
      pos += len;
      skip = 0;
    } else {
      skip -= e.key.size();
    }
    for (size_t j = skip; j < t; ++j) out[pos++] = trailer[j];
    page[f.indexBitmask + pos / 8] |= uint8_t(1 << (pos % 8));
  }
  return true;
}

}  // namespace jet
