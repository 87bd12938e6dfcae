// A map from page numbers to values, for the bookkeeping of the pager, the log and the index
// node cache, which look pages up many times per row written: one array probed from a hashed
// slot, with no allocation per entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace jet {

// Like std::unordered_map<uint32_t, V> for what the engine asks of it, but: an insertion may
// move every entry (references and iterators into the map go stale), while an erasure moves
// none, so that a loop may erase the entry it stands on and go on. The order of iteration is
// no order. V must be default-constructible: an erased slot is reset to V().
template <typename V>
class PageMap {
 public:
  using value_type = std::pair<uint32_t, V>;

  template <typename Map, typename Entry>
  class Iter {
   public:
    Iter(Map* map, size_t slot) : map_(map), slot_(slot) { skip(); }
    Entry& operator*() const { return map_->slots_[slot_]; }
    Entry* operator->() const { return &map_->slots_[slot_]; }
    Iter& operator++() {
      ++slot_;
      skip();
      return *this;
    }
    bool operator==(const Iter& o) const { return slot_ == o.slot_; }
    bool operator!=(const Iter& o) const { return slot_ != o.slot_; }

   private:
    friend class PageMap;
    void skip() {
      while (slot_ < map_->state_.size() && map_->state_[slot_] != kFull) ++slot_;
    }
    Map* map_;
    size_t slot_;
  };
  using iterator = Iter<PageMap, value_type>;
  using const_iterator = Iter<const PageMap, const value_type>;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  iterator begin() { return iterator(this, 0); }
  iterator end() { return iterator(this, state_.size()); }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, state_.size()); }

  iterator find(uint32_t key) { return iterator(this, slotOf(key)); }
  const_iterator find(uint32_t key) const { return const_iterator(this, slotOf(key)); }
  size_t count(uint32_t key) const { return slotOf(key) == state_.size() ? 0 : 1; }

  // Inserts `value` under `key` unless the key is there; the entry, and whether it is new.
  std::pair<iterator, bool> emplace(uint32_t key, V value) {
    if (size_t s = slotOf(key); s != state_.size()) return {iterator(this, s), false};
    if ((size_ + used_ + 1) * 4 > state_.size() * 3) rehash(size_ + 1);
    size_t s = home(key);
    while (state_[s] == kFull) s = (s + 1) & mask();
    if (state_[s] == kErased) --used_;
    state_[s] = kFull;
    slots_[s] = value_type(key, std::move(value));
    ++size_;
    return {iterator(this, s), true};
  }
  V& operator[](uint32_t key) { return emplace(key, V()).first->second; }

  // Removes the entry at `it`; the entry after it.
  iterator erase(iterator it) {
    state_[it.slot_] = kErased;
    slots_[it.slot_] = value_type();
    --size_;
    ++used_;
    return ++it;
  }
  size_t erase(uint32_t key) {
    const size_t s = slotOf(key);
    if (s == state_.size()) return 0;
    erase(iterator(this, s));
    return 1;
  }
  // Empties the map. Its table is kept for the next entries when they filled a fair part of
  // it: a table grown by one busy moment would otherwise be swept on every later clear.
  void clear() {
    if (state_.size() > kKeptSlots && size_ * 4 < state_.size()) {
      state_.clear();
      slots_.clear();
    } else {
      for (size_t s = 0; s < state_.size(); ++s) {
        if (state_[s] == kFull) slots_[s] = value_type();
        state_[s] = kEmpty;
      }
    }
    size_ = used_ = 0;
  }

 private:
  enum : uint8_t { kEmpty, kFull, kErased };
  static constexpr size_t kKeptSlots = 64;

  size_t mask() const { return state_.size() - 1; }
  // Fibonacci hashing: page numbers that follow one another land far apart.
  size_t home(uint32_t key) const { return size_t((uint64_t(key) * 0x9E3779B97F4A7C15ull) >> 32) & mask(); }

  // The slot holding `key`, or state_.size().
  size_t slotOf(uint32_t key) const {
    if (size_ == 0) return state_.size();
    for (size_t s = home(key);; s = (s + 1) & mask()) {
      if (state_[s] == kEmpty) return state_.size();
      if (state_[s] == kFull && slots_[s].first == key) return s;
    }
  }

  // Room for `want` entries, half full at most, without erased slots.
  void rehash(size_t want) {
    size_t cap = 16;
    while (cap < want * 2) cap *= 2;
    std::vector<uint8_t> state(cap, kEmpty);
    std::vector<value_type> slots(cap);
    std::swap(state, state_);
    std::swap(slots, slots_);
    size_ = used_ = 0;
    for (size_t s = 0; s < state.size(); ++s) {
      if (state[s] != kFull) continue;
      size_t t = home(slots[s].first);
      while (state_[t] == kFull) t = (t + 1) & mask();
      state_[t] = kFull;
      slots_[t] = std::move(slots[s]);
      ++size_;
    }
  }

  std::vector<uint8_t> state_;
  std::vector<value_type> slots_;
  size_t size_ = 0;
  size_t used_ = 0;  // erased slots, which probes pass over until the next rehash
};

}  // namespace jet
