#include "jet/index/index_writer.h"

#include <algorithm>

#include "jet/base/error.h"
#include "jet/index/index_tree.h"
#include "jet/pager/page_file.h"
#include "jet/format/usage_map.h"

namespace jet {

namespace {

bool sortsBefore(const IndexEntry& a, const IndexEntry& b) { return compareEntries(a, b) < 0; }

IndexEntry separator(const IndexEntry& last, uint32_t child) {
  IndexEntry e;
  e.key = last.key;
  e.row = last.row;
  e.child = child;
  return e;
}

}  // namespace

std::vector<IndexWriter::Step> IndexWriter::descend(const IndexEntry& target) {
  std::vector<Step> path;
  path.reserve(4);  // real trees are rarely deeper
  uint32_t page = index_.rootPage;
  for (int depth = 0; depth < 32; ++depth) {
    Step s;
    s.seen = readIndexNodeShared(file_, f_, page);
    for (auto& p : path) if (p.view().page == page) corrupt("an index tree visits a page twice");
    if (s.view().leaf) {
      path.push_back(std::move(s));
      return path;
    }
    const auto& es = s.view().entries;
    // The first entry whose subtree reaches the target (entries are in key order).
    auto it = std::lower_bound(es.begin(), es.end(), target, sortsBefore);
    if (it != es.end()) {
      s.slot = int(it - es.begin());
      page = it->child;
    } else if (s.view().tail != 0) {
      page = s.view().tail;
    } else if (!es.empty()) {
      s.slot = int(es.size()) - 1;
      page = es.back().child;
    } else {
      corrupt("an index node has no children");
    }
    path.push_back(std::move(s));
  }
  corrupt("an index tree is deeper than any real one");
}

void IndexWriter::store(IndexNode node) {
  if (!node.space) node.space = measureIndexNode(f_, node);
  if (!node.space->fits) throw Error(err::kNotSupported, "An index entry is too large for an index page.");
  put(std::make_shared<IndexNode>(std::move(node)));
}

void IndexWriter::put(std::shared_ptr<const IndexNode> node) {
  nodes_.store(std::move(node));
}

uint32_t IndexWriter::newPage() {
  uint32_t page = file_.append();
  if (index_.usageMap != 0) setUsageMapPage(file_, f_, index_.usageMap, page, true);
  return page;
}

void IndexWriter::relink(uint32_t page, bool prev, uint32_t value) {
  if (page == 0) return;
  IndexNode n = readIndexNode(file_, f_, page);
  (prev ? n.prev : n.next) = value;
  store(std::move(n));
}

// Keys that arrive in ascending order end up at the right edge of the tree: pages left behind
// are filled up, as they will get no more entries.
std::vector<std::vector<IndexEntry>> IndexWriter::fillFromTheLeft(std::vector<IndexEntry>& all, bool leaf) {
  std::vector<std::vector<IndexEntry>> pieces = packFromTheLeft(f_, leaf, all);
  if (pieces.size() == 1) {
    // Too large as one page, but each entry alone fits: halve by count.
    pieces.emplace_back(pieces[0].begin() + long(pieces[0].size() / 2), pieces[0].end());
    pieces[0].resize(pieces[0].size() / 2);
  }
  return pieces;
}

// Elsewhere, the fewest pieces of even entry counts that each fit, so that every page keeps
// room for the entries still to come.
std::vector<std::vector<IndexEntry>> IndexWriter::evenPieces(std::vector<IndexEntry>& all, bool leaf) {
  const size_t n = all.size();
  for (size_t k = 2; k <= n; ++k) {
    bool ok = true;
    for (size_t p = 0; p < k && ok; ++p) {
      PageFit fit(f_, leaf);
      for (size_t i = p * n / k; i < (p + 1) * n / k; ++i) fit.add(all[i]);
      ok = fit.fits();
    }
    if (!ok) continue;
    std::vector<std::vector<IndexEntry>> pieces(k);
    for (size_t p = 0; p < k; ++p) {
      for (size_t i = p * n / k; i < (p + 1) * n / k; ++i) pieces[p].push_back(std::move(all[i]));
    }
    return pieces;
  }
  return fillFromTheLeft(all, leaf);
}

// Rows come with ever later addresses, so each key takes its new entries at the end of its
// run: a leaf split inside a run leaves the part before with no entry to come, as empty as the
// split made it. Split between two keys instead, both parts go on filling. The cut nearest the
// middle whose two parts fit is taken; none when the leaf holds one key (or no cut near enough
// fits), and the caller splits evenly.
std::vector<std::vector<IndexEntry>> IndexWriter::splitBetweenKeys(std::vector<IndexEntry>& all) {
  const size_t n = all.size();
  std::vector<size_t> cuts;
  for (size_t i = 1; i < n; ++i) if (all[i - 1].key != all[i].key) cuts.push_back(i);
  auto off = [&](size_t i) { return i > n / 2 ? i - n / 2 : n / 2 - i; };
  std::sort(cuts.begin(), cuts.end(), [&](size_t a, size_t b) { return off(a) < off(b); });
  for (size_t k = 0; k < cuts.size() && k < 8; ++k) {
    PageFit left(f_, true), right(f_, true);
    for (size_t i = 0; i < n; ++i) (i < cuts[k] ? left : right).add(all[i]);
    if (!left.fits() || !right.fits()) continue;
    std::vector<std::vector<IndexEntry>> pieces(2);
    for (size_t i = 0; i < n; ++i) pieces[i < cuts[k] ? 0 : 1].push_back(std::move(all[i]));
    return pieces;
  }
  return {};
}

void IndexWriter::settle(std::vector<Step>& path, size_t level, std::optional<IndexEntry> newMax) {
  // The space is measured in place: an undo that restores the entries restores it too.
  IndexNode* measured = &path[level].take(nodes_);
  if (!measured->space) measured->space = measureIndexNode(f_, *measured);
  if (measured->space->fits) {
    // The stored node is kept as the page's decoded form; this step is done with it.
    put(path[level].own);
    path[level].stored();
    settleClean(path, level, newMax);
    return;
  }
  IndexNode& node = path[level].node(nodes_);

  // Split into pieces that each fit a page, judged with prefix compression, since entries that
  // share long prefixes take far more room apart than together. The last piece keeps this page.
  std::vector<IndexEntry> all = std::move(node.entries);
  node.space.reset();
  std::vector<std::vector<IndexEntry>> pieces;
  if (node.next == 0 && newMax) {
    pieces = fillFromTheLeft(all, node.leaf);
  } else if (node.leaf) {
    pieces = splitBetweenKeys(all);
  }
  if (pieces.empty()) pieces = evenPieces(all, node.leaf);
  if (!node.leaf && pieces.back().empty()) corrupt("an index node split left nothing for its page");

  // Only the last page of a level may keep a tail (its last child, without an entry): the
  // pieces split off to the left name every child with an entry, as Access reads them.
  struct Piece { IndexNode page; IndexEntry max; };
  std::vector<Piece> left;
  for (size_t k = 0; k + 1 < pieces.size(); ++k) {
    Piece pc;
    pc.page.leaf = node.leaf;
    pc.page.owner = node.owner;
    pc.page.entries = std::move(pieces[k]);
    pc.max = pc.page.entries.back();
    left.push_back(std::move(pc));
  }
  node.entries = std::move(pieces.back());

  if (level == 0) {
    // The root keeps its page number; every piece moves below it.
    IndexNode right;
    right.leaf = node.leaf;
    right.owner = node.owner;
    right.entries = std::move(node.entries);
    right.tail = node.tail;
    for (auto& pc : left) pc.page.page = newPage();
    right.page = newPage();
    IndexNode root;
    root.page = node.page;
    root.leaf = false;
    root.owner = node.owner;
    for (size_t k = 0; k < left.size(); ++k) {
      left[k].page.prev = k == 0 ? 0 : left[k - 1].page.page;
      left[k].page.next = k + 1 < left.size() ? left[k + 1].page.page : right.page;
      store(left[k].page);
      root.entries.push_back(separator(left[k].max, left[k].page.page));
    }
    right.prev = left.back().page.page;
    store(right);
    root.tail = right.page;
    store(root);
    return;
  }
  for (auto& pc : left) pc.page.page = newPage();
  uint32_t before = node.prev;
  for (size_t k = 0; k < left.size(); ++k) {
    left[k].page.prev = k == 0 ? before : left[k - 1].page.page;
    left[k].page.next = k + 1 < left.size() ? left[k + 1].page.page : node.page;
    store(left[k].page);
  }
  relink(before, false, left.front().page.page);
  node.prev = left.back().page.page;
  store(node);

  Step& parent = path[level - 1];
  auto& pes = parent.node(nodes_).entries;
  size_t at = parent.slot >= 0 ? size_t(parent.slot) : pes.size();
  for (size_t k = 0; k < left.size(); ++k) pes.insert(pes.begin() + long(at + k), separator(left[k].max, left[k].page.page));
  if (parent.slot >= 0) {
    parent.slot += int(left.size());
    if (newMax) {
      pes[size_t(parent.slot)].key = newMax->key;
      pes[size_t(parent.slot)].row = newMax->row;
    }
    bool parentLast = parent.view().tail == 0 && size_t(parent.slot) + 1 == pes.size();
    settle(path, level - 1, parentLast ? newMax : std::nullopt);
  } else {
    settle(path, level - 1, newMax);
  }
}

void IndexWriter::setSeparator(Step& parent, size_t slot, const IndexEntry& last) {
  IndexNode& n = parent.take(nodes_);
  IndexEntry& e = n.entries[slot];
  if (parent.kept && !parent.copied) {
    // The undo of this one change, not a copy of the whole node.
    file_.onRollback([own = parent.own, slot, key = e.key, row = e.row, space = n.space] {
      own->entries[slot].key = key;
      own->entries[slot].row = row;
      own->space = space;
    });
  }
  const IndexEntry old = e;
  e.key = last.key;
  e.row = last.row;
  n.space = n.space ? spaceAfterReplace(f_, n, slot, old, *n.space) : std::nullopt;
}

void IndexWriter::settleClean(std::vector<Step>& path, size_t level, std::optional<IndexEntry> newMax) {
  // path[level] itself is unchanged; only its last key moved, which its parent records.
  if (level == 0 || !newMax) return;
  Step& parent = path[level - 1];
  if (parent.slot < 0) {
    settleClean(path, level - 1, newMax);
    return;
  }
  setSeparator(parent, size_t(parent.slot), *newMax);
  bool parentLast = parent.view().tail == 0 && size_t(parent.slot) + 1 == parent.view().entries.size();
  settle(path, level - 1, parentLast ? newMax : std::nullopt);
}

void IndexWriter::detach(std::vector<Step>& path, size_t level) {
  IndexNode& node = path[level].node(nodes_);
  if (level == 0) {
    // An empty root stays, as an empty leaf.
    node.leaf = true;
    node.tail = 0;
    node.entries.clear();
    node.space.reset();
    store(node);
    return;
  }
  relink(node.prev, false, node.next);
  relink(node.next, true, node.prev);
  if (index_.usageMap != 0) setUsageMapPage(file_, f_, index_.usageMap, node.page, false);
  Step& parent = path[level - 1];
  auto& pes = parent.node(nodes_).entries;
  std::optional<IndexEntry> newMax;
  if (parent.slot >= 0) {
    bool wasLast = size_t(parent.slot) + 1 == pes.size();
    pes.erase(pes.begin() + parent.slot);
    if (wasLast && parent.node(nodes_).tail == 0 && !pes.empty()) newMax = pes.back();
  } else if (!pes.empty()) {
    // The last entry's child becomes the tail; its key was the subtree's new last key.
    IndexEntry last = pes.back();
    pes.pop_back();
    parent.node(nodes_).tail = last.child;
    newMax = last;
  } else {
    parent.node(nodes_).tail = 0;
  }
  if (pes.empty() && parent.node(nodes_).tail == 0) {
    detach(path, level - 1);
    return;
  }
  settle(path, level - 1, newMax);
}

bool IndexWriter::appendToLeafBefore(std::vector<Step>& path, const IndexEntry& entry) {
  if (path.size() < 2) return false;
  const IndexNode& here = path.back().view();
  if (here.entries.empty() || !sortsBefore(entry, here.entries.front())) return false;
  Step& parent = path[path.size() - 2];
  const auto& pes = parent.view().entries;
  size_t slot;
  if (parent.slot > 0) slot = size_t(parent.slot) - 1;
  else if (parent.slot < 0 && !pes.empty()) slot = pes.size() - 1;  // the leaf is the node's tail
  else return false;
  Step left;
  left.seen = readIndexNodeShared(file_, f_, pes[slot].child);
  const IndexNode& lv = left.view();
  if (!lv.leaf || lv.next != here.page || lv.page == here.page || lv.entries.empty()) return false;
  if (!sortsBefore(lv.entries.back(), entry)) return false;
  if (!lv.space) lv.space = measureIndexNode(f_, lv);
  std::optional<NodeSpace> space;
  if (lv.entries.size() >= 2) {
    space = spaceWithAppended(f_, lv, entry, *lv.space);
  } else {
    IndexNode two = lv;
    two.entries.push_back(entry);
    space = measureIndexNode(f_, two);
  }
  if (!space->fits) return false;
  for (auto& p : path) if (p.view().page == lv.page) return false;  // a tree that is no tree

  IndexNode& node = left.take(nodes_);
  const std::optional<NodeSpace> before = node.space;
  const size_t at = node.entries.size();
  if (left.kept) {
    file_.onRollback([n = left.own, at, before] {
      n->entries.erase(n->entries.begin() + at);
      n->space = before;
    });
  }
  node.entries.push_back(entry);
  node.space = space;
  put(left.own);
  // The node's entry for that leaf now carries its new last key. It is not the node's last
  // entry (the leaf after it is under the same node), so nothing above changes with it.
  setSeparator(parent, slot, entry);
  settle(path, path.size() - 2, std::nullopt);
  return true;
}

void IndexWriter::add(const IndexEntry& entry) {
  std::vector<Step> path = descend(entry);
  // Rows added later come last in their key: entries that fall between two leaves fill the
  // leaf before, so that it is left full.
  if (appendToLeafBefore(path, entry)) return;
  Step& step = path.back();
  IndexNode& leaf = step.take(nodes_);
  const std::optional<NodeSpace> before = leaf.space;
  auto pos = std::upper_bound(leaf.entries.begin(), leaf.entries.end(), entry, sortsBefore);
  bool last = pos == leaf.entries.end();
  const size_t at = size_t(pos - leaf.entries.begin());
  if (step.kept) {
    file_.onRollback([n = step.own, at, before] {
      n->entries.erase(n->entries.begin() + at);
      n->space = before;
    });
  }
  leaf.entries.insert(leaf.entries.begin() + at, entry);
  leaf.space = before ? std::optional(spaceAfterInsert(f_, leaf, at, *before)) : std::nullopt;
  settle(path, path.size() - 1, last ? std::optional<IndexEntry>(entry) : std::nullopt);
}

void IndexWriter::remove(const IndexEntry& entry) {
  std::vector<Step> path = descend(entry);
  Step& step = path.back();
  IndexNode& leaf = step.take(nodes_);
  const std::optional<NodeSpace> before = leaf.space;
  auto it = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), entry, sortsBefore);
  if (it == leaf.entries.end() || compareEntries(*it, entry) != 0) {
    // Entries out of order are searched one by one.
    it = std::find_if(leaf.entries.begin(), leaf.entries.end(), [&](const IndexEntry& e) { return compareEntries(e, entry) == 0; });
  }
  if (it == leaf.entries.end()) corrupt("an index has no entry for a row of its table");
  bool wasLast = it + 1 == leaf.entries.end();
  const size_t at = size_t(it - leaf.entries.begin());
  if (step.kept) {
    file_.onRollback([n = step.own, at, gone = *it, before] {
      n->entries.insert(n->entries.begin() + at, gone);
      n->space = before;
    });
  }
  IndexEntry gone = leaf.entries.take(leaf.entries.begin() + at);
  leaf.space = before ? spaceAfterRemove(f_, leaf, at, gone, *before) : std::nullopt;
  if (leaf.entries.empty()) {
    detach(path, path.size() - 1);
    return;
  }
  settle(path, path.size() - 1, wasLast ? std::optional<IndexEntry>(leaf.entries.back()) : std::nullopt);
}

bool IndexWriter::findOther(const std::string& key, RowId self) {
  bool hit = false;
  walkIndex(file_, f_, index_.rootPage, key, [&](const IndexEntry& e) {
    if (e.key != key) return false;
    if (e.row != self) {
      hit = true;
      return false;
    }
    return true;
  });
  return hit;
}

}  // namespace jet
