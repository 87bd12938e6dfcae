// The page map the pager keeps its bookkeeping in: checked against std::map through random
// insertions, lookups, erasures (also while iterating, as the cache does when it lets pages go)
// and clears, with keys close together and far apart, and values that own memory.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

#include "jet/pager/page_map.h"

namespace jet {
namespace {

void expectSame(const PageMap<std::shared_ptr<int>>& map, const std::map<uint32_t, int>& model) {
  ASSERT_EQ(map.size(), model.size());
  size_t seen = 0;
  for (const auto& [key, value] : map) {
    auto m = model.find(key);
    ASSERT_NE(m, model.end()) << key;
    ASSERT_TRUE(value) << key;
    ASSERT_EQ(*value, m->second) << key;
    ++seen;
  }
  ASSERT_EQ(seen, model.size());
  for (const auto& [key, value] : model) {
    auto it = map.find(key);
    ASSERT_NE(it, map.end()) << key;
    ASSERT_EQ(*it->second, value);
    ASSERT_EQ(map.count(key), 1u);
  }
}

TEST(PageMap, MatchesAnOrderedMapThroughInsertionsErasuresAndClears) {
  std::mt19937 rng(29);
  PageMap<std::shared_ptr<int>> map;
  std::map<uint32_t, int> model;
  auto value = std::make_shared<int>(0);  // every stored value shares it: erasures must let go
  for (int round = 0; round < 40; ++round) {
    // Neighbouring pages (as a table's are) in some rounds, anywhere in the file in others.
    const uint32_t span = round % 2 ? 600 : 0x7fffffff;
    const int steps = int(rng() % 3000);
    for (int i = 0; i < steps; ++i) {
      const uint32_t key = uint32_t(rng() % span);
      const int v = int(rng() % 1000);
      switch (rng() % 5) {
        case 0:
        case 1: {
          auto [it, fresh] = map.emplace(key, std::make_shared<int>(v));
          ASSERT_EQ(fresh, model.emplace(key, v).second);
          ASSERT_EQ(it->first, key);
          break;
        }
        case 2:
          map[key] = std::make_shared<int>(v);
          model[key] = v;
          break;
        case 3:
          ASSERT_EQ(map.erase(key), model.erase(key));
          ASSERT_EQ(map.find(key), map.end());
          break;
        default:
          ASSERT_EQ(map.count(key), model.count(key));
      }
    }
    expectSame(map, model);
    // Every other entry goes, erased where the loop stands.
    bool drop = false;
    for (auto it = map.begin(); it != map.end();) {
      if ((drop = !drop)) {
        model.erase(it->first);
        it = map.erase(it);
      } else {
        ++it;
      }
    }
    expectSame(map, model);
    if (round % 7 == 6) {
      map.clear();
      model.clear();
      expectSame(map, model);
    }
  }
  map.clear();
  // Stored values are owned by the map alone: none is left once it is empty.
  for (int i = 0; i < 100; ++i) map.emplace(uint32_t(i), value);
  EXPECT_EQ(value.use_count(), 101);
  for (int i = 0; i < 50; ++i) map.erase(uint32_t(i));
  EXPECT_EQ(value.use_count(), 51);
  map.clear();
  EXPECT_EQ(value.use_count(), 1);
}

}  // namespace
}  // namespace jet
