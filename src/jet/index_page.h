// Index pages: B-tree nodes (0x03) and leaves (0x04), their entries, prefix compression and links.
// An entry is the key bytes followed by the row address; node entries also name a child page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/data_page.h"
#include "jet/format.h"

namespace jet {

class PageFile;

struct IndexEntry {
  std::string key;    // the encoded key
  RowId row;
  uint32_t child = 0; // node entries: the page below
  // Entries sort by key bytes, then by row address.
  std::string sortBytes() const;
};

struct IndexNode {
  uint32_t page = 0;
  bool leaf = true;
  uint32_t owner = 0;   // the table definition page
  uint32_t prev = 0, next = 0;  // neighbours on the same level
  uint32_t tail = 0;            // nodes: the last child, which has no entry of its own
  std::vector<IndexEntry> entries;
};

// A node as its page holds it; decoded once, then kept until the page changes.
IndexNode readIndexNode(PageFile& file, const Format& f, uint32_t page);
std::shared_ptr<const IndexNode> readIndexNodeShared(PageFile& file, const Format& f, uint32_t page);
IndexNode decodeIndexNode(PageFile& file, const Format& f, uint32_t page);

// Serialises a node into a page image (prefix compression and entry mask included).
// Returns false when the entries do not fit on one page.
bool writeIndexNode(uint8_t* page, const Format& f, const IndexNode& node);
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

}  // namespace jet
