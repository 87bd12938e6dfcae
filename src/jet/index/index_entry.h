// An index entry (key bytes and row address, and below a node its child page), and the list a
// decoded node keeps its entries in: in key order, with room to grow at both ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/data_page.h"
#include "jet/index/entry_key.h"

namespace jet {

struct IndexEntry {
  EntryKey key;       // the encoded key
  RowId row;
  uint32_t child = 0; // node entries: the page below
  // Entries sort by key bytes, then by row address.
  std::string sortBytes() const;
};

// A leaf of one repeated key holds up to two thousand entries, and the update of many rows
// takes them out from the front one after another: an entry comes or goes by shifting the
// shorter side of the list. Entries shift by their bytes: an entry holds no pointer into itself
// (its key is inline or on the heap), so its bytes moved elsewhere are the entry.
class EntryList {
 public:
  using value_type = IndexEntry;
  using iterator = IndexEntry*;
  using const_iterator = const IndexEntry*;

  EntryList() = default;
  EntryList(std::vector<IndexEntry>&& entries) : slots_(std::move(entries)) {}
  EntryList(const EntryList& o) : slots_(o.begin(), o.end()) {}
  EntryList(EntryList&& o) noexcept : slots_(std::move(o.slots_)), head_(o.head_) { o.clear(); }
  EntryList& operator=(const EntryList& o) {
    if (this != &o) {
      slots_.assign(o.begin(), o.end());
      head_ = 0;
    }
    return *this;
  }
  EntryList& operator=(EntryList&& o) noexcept {
    if (this != &o) {
      slots_ = std::move(o.slots_);
      head_ = o.head_;
      o.clear();
    }
    return *this;
  }
  // The entries as a plain vector, taken out of the list.
  operator std::vector<IndexEntry>() &&;

  iterator begin() { return slots_.data() + head_; }
  iterator end() { return slots_.data() + slots_.size(); }
  const_iterator begin() const { return slots_.data() + head_; }
  const_iterator end() const { return slots_.data() + slots_.size(); }
  size_t size() const { return slots_.size() - head_; }
  bool empty() const { return size() == 0; }
  size_t capacity() const { return slots_.capacity(); }
  IndexEntry& operator[](size_t i) { return slots_[head_ + i]; }
  const IndexEntry& operator[](size_t i) const { return slots_[head_ + i]; }
  IndexEntry& at(size_t i);
  const IndexEntry& at(size_t i) const { return const_cast<EntryList*>(this)->at(i); }
  IndexEntry& front() { return (*this)[0]; }
  const IndexEntry& front() const { return (*this)[0]; }
  IndexEntry& back() { return slots_.back(); }
  const IndexEntry& back() const { return slots_.back(); }

  void push_back(IndexEntry e) { slots_.push_back(std::move(e)); }
  void pop_back() { slots_.pop_back(); }
  void clear() {
    slots_.clear();
    head_ = 0;
  }
  void reserve(size_t n) { slots_.reserve(head_ + n); }
  // Inserts before `pos`; returns where the entry now stands.
  iterator insert(const_iterator pos, IndexEntry e);
  // Removes the entry at `pos`, returned; `pos` then names the entry after it.
  IndexEntry take(const_iterator pos);
  iterator erase(const_iterator pos) {
    const size_t i = size_t(pos - begin());
    take(pos);
    return begin() + i;
  }

 private:
  // Room for `n` more entries before the first, the entries moved by their bytes.
  void growFront(size_t n);

  std::vector<IndexEntry> slots_;  // [0, head_): empty entries, room to grow at the front
  size_t head_ = 0;
};

}  // namespace jet
