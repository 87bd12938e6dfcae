#include "jet/index/index_tree.h"

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
  if (node.leaf) {
    for (auto& e : node.entries) {
      if (!from.empty() && e.key < from) continue;
      if (!visit(e)) return false;
    }
    return true;
  }
  // A node entry carries the last key of its child: children ending below `from` are skipped.
  for (auto& e : node.entries) {
    if (!from.empty() && e.key < from) continue;
    if (!walk(file, f, e.child, from, seen, depth + 1, visit)) return false;
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
