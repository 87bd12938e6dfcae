#include "jet/index/index_entry.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "jet/base/error.h"

namespace jet {

namespace {

// Moves `n` entries from `from` to `to` (the ranges may overlap) by their bytes. What stays
// behind in the source slots repeats bytes another slot now owns: the caller overwrites it.
void shift(IndexEntry* to, IndexEntry* from, size_t n) {
  std::memmove(static_cast<void*>(to), static_cast<const void*>(from), n * sizeof(IndexEntry));
}

// Makes `slot`, whose bytes repeat another slot's, an empty entry, without destroying it.
void blank(IndexEntry* slot) { new (static_cast<void*>(slot)) IndexEntry(); }

}  // namespace

EntryList::operator std::vector<IndexEntry>() && {
  if (head_ != 0) {
    // The empty slots at the front go; the entries move down by their bytes.
    const size_t n = size();
    IndexEntry* p = slots_.data();
    for (size_t i = 0; i < head_; ++i) p[i].~IndexEntry();  // empty: they own nothing
    shift(p, p + head_, n);
    for (size_t i = n; i < slots_.size(); ++i) blank(p + i);
    slots_.resize(n);
    head_ = 0;
  }
  std::vector<IndexEntry> out = std::move(slots_);
  clear();
  return out;
}

IndexEntry& EntryList::at(size_t i) {
  if (i >= size()) internalFault("an index entry past the end of its node is asked for");
  return (*this)[i];
}

void EntryList::growFront(size_t n) {
  const size_t live = size();
  const size_t old = slots_.size();
  slots_.resize(old + n);  // empty entries at the end, moved past by the shift below
  IndexEntry* p = slots_.data();
  // [head_, old) moves up by n; the n slots it leaves at its start become empty.
  shift(p + head_ + n, p + head_, live);
  for (size_t i = head_; i < head_ + n; ++i) blank(p + i);
  head_ += n;
}

EntryList::iterator EntryList::insert(const_iterator pos, IndexEntry e) {
  const size_t i = size_t(pos - begin());
  if (i > size()) internalFault("an index entry is inserted past the end of its node");
  const size_t n = size();
  if (i < n / 2) {
    // The front half moves down one: into an empty slot, made when there is none.
    if (head_ == 0) growFront(std::max<size_t>(8, n / 8));
    IndexEntry* p = slots_.data() + head_;
    p[-1].~IndexEntry();  // empty
    shift(p - 1, p, i);
    --head_;
    new (static_cast<void*>(p - 1 + i)) IndexEntry(std::move(e));
    return begin() + i;
  }
  slots_.emplace_back();  // empty: overwritten by the shift below, never destroyed
  IndexEntry* p = slots_.data() + head_;
  shift(p + i + 1, p + i, n - i);
  new (static_cast<void*>(p + i)) IndexEntry(std::move(e));
  return begin() + i;
}

IndexEntry EntryList::take(const_iterator pos) {
  const size_t i = size_t(pos - begin());
  if (i >= size()) internalFault("an index entry is taken past the end of its node");
  const size_t n = size();
  IndexEntry* p = slots_.data() + head_;
  IndexEntry gone = std::move(p[i]);
  p[i].~IndexEntry();  // moved from: it owns nothing
  if (i < n / 2) {
    // The entries before it move up one; the first slot becomes room at the front.
    shift(p + 1, p, i);
    blank(p);
    ++head_;
  } else {
    shift(p + i, p + i + 1, n - 1 - i);
    blank(p + n - 1);
    slots_.pop_back();
  }
  if (head_ != 0 && size() == 0) clear();
  return gone;
}

}  // namespace jet
