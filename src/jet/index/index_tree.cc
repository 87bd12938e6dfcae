#include "jet/index/index_tree.h"

#include <algorithm>
#include <set>

#include "jet/base/error.h"
#include "jet/pager/page_file.h"

namespace jet {

namespace {

bool walk(PageFile& file, const Format& f, uint32_t page, const std::string& from, std::set<uint32_t>& seen, int depth,
          const std::function<bool(const IndexEntry&)>& visit) {
  if (depth > 32) corrupt("an index tree is deeper than any real one");
  if (!seen.insert(page).second) corrupt("an index tree visits page " + std::to_string(page) + " twice");
  // Shared with the cache: a change to the page made by `visit` leaves this copy as it was read.
  const std::shared_ptr<const IndexNode> held = readIndexNodeShared(file, f, page);
  const IndexNode& node = *held;
  // Entries are in key order: those below `from` are passed over by a binary search. A node
  // entry carries the last key of its child, so children ending below `from` are skipped too.
  const IndexEntry* first = node.entries.begin();
  if (!from.empty()) {
    first = std::partition_point(node.entries.begin(), node.entries.end(), [&](const IndexEntry& e) { return e.key < from; });
  }
  if (node.leaf) {
    for (const IndexEntry* e = first; e != node.entries.end(); ++e) {
      if (!visit(*e)) return false;
    }
    return true;
  }
  for (const IndexEntry* e = first; e != node.entries.end(); ++e) {
    if (!walk(file, f, e->child, from, seen, depth + 1, visit)) return false;
  }
  // The last child has no entry of its own: the node names it as its tail.
  if (node.tail != 0) return walk(file, f, node.tail, from, seen, depth + 1, visit);
  return true;
}

}  // namespace

void walkIndex(PageFile& file, const Format& f, uint32_t root, const std::string& from,
               const std::function<bool(const IndexEntry&)>& visit) {
  std::set<uint32_t> seen;
  walk(file, f, root, from, seen, 0, visit);
}

}  // namespace jet
