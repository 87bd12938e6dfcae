// The space an index node's entries take is kept up to date entry by entry as the writer adds,
// removes and replaces them (prefix compression included): checked against a fresh measure
// after every change, through random changes to leaves and nodes of keys that share long
// starts, in both formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "jet/format/format.h"
#include "jet/index/index_page.h"

namespace jet {
namespace {

IndexEntry randomEntry(std::mt19937& rng, bool leaf) {
  // Few distinct bytes and a common start: entries share long prefixes, into the row address too.
  std::string key = "K" + std::string(size_t(rng() % 4), 'a');
  const size_t tail = size_t(rng() % 4);
  for (size_t i = 0; i < tail; ++i) key += char('a' + rng() % 2);
  RowId row{uint32_t(rng() % 3) << 8 | uint32_t(rng() % 2), uint8_t(rng() % 2)};
  return IndexEntry{key, row, leaf ? 0 : uint32_t(rng() % 3)};
}

TEST(IndexNodeSpace, KeptThroughEveryChangeAsAFreshMeasureGivesIt) {
  std::mt19937 rng(41);
  int kept = 0;
  for (const Format* f : {&kJet4, &kJet3}) {
    for (int round = 0; round < 200; ++round) {
      IndexNode node;
      node.leaf = round % 3 != 0;
      std::vector<IndexEntry> entries;
      for (size_t i = 0, n = 2 + rng() % 30; i < n; ++i) entries.push_back(randomEntry(rng, node.leaf));
      std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return compareEntries(a, b) < 0; });
      node.entries = std::move(entries);
      std::optional<NodeSpace> space = measureIndexNode(*f, node);
      for (int step = 0; step < 60 && !node.entries.empty(); ++step) {
        SCOPED_TRACE("round " + std::to_string(round) + ", step " + std::to_string(step));
        const size_t n = node.entries.size();
        const int what = int(rng() % 3);
        if (what == 0 || n < 3) {
          IndexEntry e = randomEntry(rng, node.leaf);
          auto at = std::lower_bound(node.entries.begin(), node.entries.end(), e,
                                     [](auto& a, auto& b) { return compareEntries(a, b) < 0; });
          const size_t i = size_t(at - node.entries.begin());
          node.entries.insert(at, e);
          if (space) space = spaceAfterInsert(*f, node, i, *space);
        } else if (what == 1) {
          const size_t i = rng() % n;
          const IndexEntry gone = node.entries.take(node.entries.begin() + i);
          if (space) space = spaceAfterRemove(*f, node, i, gone, *space);
        } else {
          // A new row for the same key, or another key and row, as a node's entry takes its
          // child's new last key (the space does not depend on the order).
          const size_t i = rng() % n;
          const IndexEntry old = node.entries[i];
          IndexEntry now = old;
          now.row.row = uint8_t(now.row.row + 1);
          if (rng() % 2) now = randomEntry(rng, node.leaf);
          node.entries[i] = now;
          if (space) space = spaceAfterReplace(*f, node, i, old, *space);
        }
        if (!space) space = measureIndexNode(*f, node);  // as the writer does when told nothing
        else ++kept;
        ASSERT_EQ(*space, measureIndexNode(*f, node));
      }
    }
  }
  EXPECT_GT(kept, 10000);  // most changes keep the space without measuring again
}

}  // namespace
}  // namespace jet
