#include "jet/index/index_build.h"

#include "jet/base/error.h"
#include "jet/pager/page_file.h"
#include "jet/format/usage_map.h"

namespace jet {

void buildIndexTree(PageFile& file, const Format& f, const RealIndex& index, std::vector<IndexEntry> entries) {
  const IndexNode root = readIndexNode(file, f, index.rootPage);
  if (!root.leaf || !root.entries.empty()) internalFault("an index is built only once");
  if (entries.empty()) return;
  bool leaf = true;
  uint32_t tail = 0;  // the last child of the level being built, which has no entry
  while (true) {
    // Pack this level's entries into as few pages as hold them.
    std::vector<std::vector<IndexEntry>> pages = packFromTheLeft(f, leaf, entries);
    PageFit fit(f, leaf);
    for (const auto& e : pages.back()) fit.add(e);
    if (!fit.fits()) throw Error(err::kNotSupported, "An index entry is too large for an index page.");
    if (pages.size() == 1) {
      IndexNode node;
      node.page = index.rootPage;
      node.leaf = leaf;
      node.owner = root.owner;
      node.tail = tail;
      node.entries = std::move(pages[0]);
      if (!writeIndexNode(file.modify(node.page), f, node)) corrupt("an index page overflowed while it was built");
      return;
    }
    std::vector<uint32_t> numbers;
    for (size_t i = 0; i < pages.size(); ++i) {
      numbers.push_back(file.append());
      if (index.usageMap != 0) setUsageMapPage(file, f, index.usageMap, numbers.back(), true);
    }
    std::vector<IndexEntry> up;
    for (size_t i = 0; i < pages.size(); ++i) {
      IndexNode node;
      node.page = numbers[i];
      node.leaf = leaf;
      node.owner = root.owner;
      node.prev = i == 0 ? 0 : numbers[i - 1];
      node.next = i + 1 < pages.size() ? numbers[i + 1] : 0;
      node.tail = i + 1 == pages.size() ? tail : 0;
      node.entries = std::move(pages[i]);
      if (i + 1 < pages.size()) {
        IndexEntry sep = node.entries.back();
        sep.child = node.page;
        up.push_back(std::move(sep));
      }
      if (!writeIndexNode(file.modify(node.page), f, node)) corrupt("an index page overflowed while it was built");
    }
    tail = numbers.back();
    entries = std::move(up);
    leaf = false;
  }
}

}  // namespace jet
