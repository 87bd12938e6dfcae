// Index pages: B-tree nodes (0x03) and leaves (0x04), their entries, prefix compression and links.
// An entry is the key bytes followed by the row address; node entries also name a child page.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/format/data_page.h"
#include "jet/index/index_entry.h"
#include "jet/format/format.h"

namespace jet {

class PageFile;

// How a node's entries fill its page: their common prefix (stored once, in the first entry;
// each entry keeps at least one byte of its own), their bytes before and after compression.
struct NodeSpace {
  size_t prefix = 0;
  size_t raw = 0;
  size_t total = 0;
  bool fits = false;
  bool operator==(const NodeSpace&) const = default;
};

struct IndexNode {
  uint32_t page = 0;
  bool leaf = true;
  uint32_t owner = 0;   // the table definition page
  uint32_t prev = 0, next = 0;  // neighbours on the same level
  uint32_t tail = 0;            // nodes: the last child, which has no entry of its own
  EntryList entries;
  // The entries' space as last measured (a cache, filled in when a page is written); whoever
  // changes the entries resets it, or keeps it up to date with spaceAfterInsert/Remove.
  mutable std::optional<NodeSpace> space;
};

// A node as it stands: decoded once, then kept until its page changes (index_node_cache.h).
IndexNode readIndexNode(PageFile& file, const Format& f, uint32_t page);
std::shared_ptr<const IndexNode> readIndexNodeShared(PageFile& file, const Format& f, uint32_t page);
IndexNode decodeIndexNode(PageFile& file, const Format& f, uint32_t page);

// Serialises a node into a page image (prefix compression and entry mask included).
// Returns false when the entries do not fit on one page.
bool writeIndexNode(uint8_t* page, const Format& f, const IndexNode& node);
// The space the node's entries take on a page, measured entry by entry; `shared`: how many
// first bytes every entry is known to share with the first.
NodeSpace measureIndexNode(const Format& f, const IndexNode& node, size_t shared = 0);
// The space after entries[at] was inserted into a node whose space before was `before`.
NodeSpace spaceAfterInsert(const Format& f, const IndexNode& node, size_t at, const NodeSpace& before);
// The space after entries[at], which was `old`, took another key and row; none when only a
// measure can tell.
std::optional<NodeSpace> spaceAfterReplace(const Format& f, const IndexNode& node, size_t at, const IndexEntry& old,
                                           const NodeSpace& before);
// The space `node` (of at least two entries, whose space is `before`) would take with `e` added
// after its last entry.
NodeSpace spaceWithAppended(const Format& f, const IndexNode& node, const IndexEntry& e, const NodeSpace& before);
// The space after `gone`, once entries[at], was removed from a node whose space was `before`
// (measured again past the old prefix when `gone` may have bounded it); nothing for a node
// left with fewer than two entries.
std::optional<NodeSpace> spaceAfterRemove(const Format& f, const IndexNode& node, size_t at, const IndexEntry& gone,
                                          const NodeSpace& before);
int compareEntries(const IndexEntry& a, const IndexEntry& b);

// Measures entries, added in key order, against one page, prefix compression counted.
class PageFit {
 public:
  PageFit(const Format& f, bool leaf) : f_(f), leaf_(leaf) {}
  void add(const IndexEntry& e);
  bool fits() const;
  void clear() { count_ = 0; raw_ = 0; first_.clear(); }

 private:
  const Format& f_;
  bool leaf_;
  size_t count_ = 0;
  size_t raw_ = 0;
  size_t prefix_ = 0;
  std::string first_;
};

// Entries in key order packed into pages from the left, each page as full as it holds: a new
// page begins where the next entry would no longer fit. The last page may still be too full
// when a single entry is larger than a page.
std::vector<std::vector<IndexEntry>> packFromTheLeft(const Format& f, bool leaf, std::vector<IndexEntry>& entries);

}  // namespace jet
