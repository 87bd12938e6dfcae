// The entry list of a decoded index node moves entries by their bytes at both ends: checked
// against a plain vector through random insertions and removals, with keys inline and on the heap.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "jet/index/index_entry.h"

namespace jet {
namespace {

IndexEntry entry(std::mt19937& rng, uint32_t n) {
  // Keys up to 40 bytes: past the 24 kept inside the entry some live on the heap.
  std::string key(size_t(rng() % 41), char('a' + n % 26));
  return IndexEntry{key, RowId{n, uint8_t(n)}, n};
}

void expectSame(const EntryList& list, const std::vector<IndexEntry>& model) {
  ASSERT_EQ(list.size(), model.size());
  for (size_t i = 0; i < model.size(); ++i) {
    ASSERT_EQ(list[i].key, model[i].key) << i;
    ASSERT_EQ(list[i].row, model[i].row) << i;
    ASSERT_EQ(list[i].child, model[i].child) << i;
  }
}

TEST(EntryList, MatchesAVectorThroughInsertionsAndRemovalsAtBothEnds) {
  std::mt19937 rng(17);
  EntryList list;
  std::vector<IndexEntry> model;
  for (uint32_t step = 0; step < 20000; ++step) {
    // Runs of changes at one end, then the other, then anywhere: both shifting sides and the
    // room made at the front are used.
    const uint32_t phase = (step / 700) % 3;
    const bool grow = model.size() < 50 || rng() % 100 < (step % 4000 < 2000 ? 60u : 40u);
    if (grow) {
      size_t at = phase == 0 ? rng() % (model.size() / 4 + 1) : phase == 1 ? model.size() - rng() % (model.size() / 4 + 1)
                                                                           : rng() % (model.size() + 1);
      IndexEntry e = entry(rng, step);
      model.insert(model.begin() + long(at), e);
      auto it = list.insert(list.begin() + at, e);
      ASSERT_EQ(it - list.begin(), long(at));
    } else {
      size_t at = phase == 0 ? rng() % (model.size() / 4) : phase == 1 ? model.size() - 1 - rng() % (model.size() / 4)
                                                                       : rng() % model.size();
      IndexEntry gone = list.take(list.begin() + at);
      EXPECT_EQ(gone.key, model[at].key);
      model.erase(model.begin() + long(at));
    }
    if (step % 97 == 0) expectSame(list, model);
  }
  expectSame(list, model);

  // Copies and the plain vector taken out keep every entry, whatever room the list had.
  EntryList copy = list;
  expectSame(copy, model);
  std::vector<IndexEntry> out = std::move(copy);
  ASSERT_EQ(out.size(), model.size());
  for (size_t i = 0; i < model.size(); ++i) EXPECT_EQ(out[i].key, model[i].key);
  EXPECT_TRUE(copy.empty());
  while (!list.empty()) list.take(list.begin());
  EXPECT_EQ(list.begin(), list.end());
}

}  // namespace
}  // namespace jet
