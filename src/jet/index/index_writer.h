// Changing an index's B-tree: adding and removing one entry, splitting and dropping pages.
// Node entries keep carrying the last key of their child; the last node of a level may keep
// its last child as a tail, without an entry.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "jet/index/index_node_cache.h"
#include "jet/index/index_page.h"
#include "jet/pager/page_file.h"
#include "jet/format/table_def.h"

namespace jet {

class PageFile;

class IndexWriter {
 public:
  IndexWriter(PageFile& file, const Format& f, const RealIndex& index)
      : file_(file), nodes_(IndexNodeCache::of(file, f)), f_(f), index_(index) {}

  void add(const IndexEntry& entry);
  // Removes the entry with exactly this key and row; its absence means the index is damaged.
  void remove(const IndexEntry& entry);
  // Whether another row than `self` has an entry with this key (for unique indexes).
  bool findOther(const std::string& key, RowId self);

 private:
  // A node on the way down: shared with the cache's decoded copy until it is changed. A node
  // the cache keeps (see IndexNodeCache::release) is changed in place, each change registered with
  // its undo first: a whole copy in general, or one entry for the common insert or removal.
  struct Step {
    std::shared_ptr<const IndexNode> seen;
    std::shared_ptr<IndexNode> own;  // once taken to change
    bool kept = false;               // `own` is the cache's: changes need an undo
    bool copied = false;             // a whole copy for the rollback is registered
    int slot = -1;  // the entry of this node that leads down; -1: its tail
    const IndexNode& view() const { return own ? *own : *seen; }
    // The node to change in any way.
    IndexNode& node(IndexNodeCache& nodes) {
      IndexNode& n = take(nodes);
      if (kept && !copied) {
        nodes.file().onRollback([n = own, before = *own]() mutable { *n = std::move(before); });
        copied = true;
      }
      n.space.reset();  // about to change
      return n;
    }
    // The node, for a change whose undo the caller registers when `kept`.
    IndexNode& take(IndexNodeCache& nodes) {
      if (!own) {
        kept = nodes.release(seen->page);
        // When nothing else holds the decoded copy, it is taken over instead of copied.
        if (kept || seen.use_count() == 1) own = std::const_pointer_cast<IndexNode>(seen);
        else own = std::make_shared<IndexNode>(*seen);
        seen.reset();
      }
      return *own;
    }
    // The node has been handed to the cache: a further change takes it again.
    void stored() {
      seen = std::move(own);
      kept = copied = false;
    }
  };
  std::vector<Step> descend(const IndexEntry& target);
  // Stores a node that was measured to fit (or shrank from one that did).
  void put(std::shared_ptr<const IndexNode> node);
  void store(IndexNode node);
  std::vector<std::vector<IndexEntry>> fillFromTheLeft(std::vector<IndexEntry>& all, bool leaf);
  std::vector<std::vector<IndexEntry>> evenPieces(std::vector<IndexEntry>& all, bool leaf);
  // Puts `entry`, which would come first in the leaf path.back(), at the end of the leaf before
  // it under the same node instead, when it fits there; false when it does not go there.
  bool appendToLeafBefore(std::vector<Step>& path, const IndexEntry& entry);
  // A leaf's entries in two pieces cut between two keys, or none.
  std::vector<std::vector<IndexEntry>> splitBetweenKeys(std::vector<IndexEntry>& all);
  uint32_t newPage();
  void relink(uint32_t page, bool prev, uint32_t value);
  // Stores path[level] and carries the change upwards: splits, and a new last key.
  void settle(std::vector<Step>& path, size_t level, std::optional<IndexEntry> newMax);
  // Takes the empty path[level] out of the tree.
  void detach(std::vector<Step>& path, size_t level);
  // The entry of `parent` at `slot` now carries `last`'s key and row.
  void setSeparator(Step& parent, size_t slot, const IndexEntry& last);
  // path[level] is unchanged, but its last key moved: its parent records the new one.
  void settleClean(std::vector<Step>& path, size_t level, std::optional<IndexEntry> newMax);

  PageFile& file_;
  IndexNodeCache& nodes_;
  const Format& f_;
  const RealIndex& index_;
};

}  // namespace jet
