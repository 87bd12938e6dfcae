// The key bytes of an index entry, kept inside the entry up to 24 bytes and on the heap beyond,
// so that moving an entry (a leaf shifts hundreds of them per insert or removal) copies a few words.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace jet {

class EntryKey {
 public:
  EntryKey() = default;
  EntryKey(std::string_view s) { assign(s.data(), s.size()); }
  EntryKey(const std::string& s) : EntryKey(std::string_view(s)) {}
  EntryKey(const char* s) : EntryKey(std::string_view(s)) {}
  EntryKey(const EntryKey& o) { assign(o.data(), o.rep_.size); }
  EntryKey(EntryKey&& o) noexcept { take(o); }
  EntryKey& operator=(const EntryKey& o) {
    if (this != &o) assign(o.data(), o.rep_.size);
    return *this;
  }
  EntryKey& operator=(EntryKey&& o) noexcept {
    if (this != &o) {
      release();
      take(o);
    }
    return *this;
  }
  ~EntryKey() { release(); }

  const char* data() const { return rep_.cap ? rep_.u.heap : rep_.u.small; }
  char* data() { return rep_.cap ? rep_.u.heap : rep_.u.small; }
  size_t size() const { return rep_.size; }
  bool empty() const { return rep_.size == 0; }
  char operator[](size_t i) const { return data()[i]; }
  // Keeps the first bytes; new bytes are undefined until written through data().
  void resize(size_t n) {
    if (n > capacity()) {
      char* grown = new char[n];
      std::memcpy(grown, data(), rep_.size);
      release();
      rep_.u.heap = grown;
      rep_.cap = uint32_t(n);
    }
    rep_.size = uint32_t(n);
  }
  void assign(const char* p, size_t n) {
    if (n > capacity()) {
      release();
      rep_.u.heap = new char[n];
      rep_.cap = uint32_t(n);
    }
    if (n) std::memmove(data(), p, n);
    rep_.size = uint32_t(n);
  }
  size_t heapBytes() const { return rep_.cap; }
  std::string_view view() const { return {data(), rep_.size}; }
  operator std::string_view() const { return view(); }
  std::string str() const { return std::string(view()); }
  int compare(std::string_view o) const { return view().compare(o); }
  int compare(size_t pos, size_t n, std::string_view o) const { return view().compare(pos, n, o); }

  friend bool operator==(const EntryKey& a, const EntryKey& b) { return a.view() == b.view(); }
  friend bool operator==(const EntryKey& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const EntryKey& a, const std::string& b) { return a.view() == std::string_view(b); }
  friend std::strong_ordering operator<=>(const EntryKey& a, const EntryKey& b) { return a.view() <=> b.view(); }
  friend std::strong_ordering operator<=>(const EntryKey& a, std::string_view b) { return a.view() <=> b; }
  friend std::strong_ordering operator<=>(const EntryKey& a, const std::string& b) { return a.view() <=> std::string_view(b); }

 private:
  static constexpr size_t kInline = 24;
  size_t capacity() const { return rep_.cap ? rep_.cap : kInline; }
  void release() {
    if (rep_.cap) delete[] rep_.u.heap;
    rep_.cap = 0;
    rep_.size = 0;
  }
  // Takes over `o`'s bytes, leaving it empty: one copy of the whole representation.
  void take(EntryKey& o) {
    rep_ = o.rep_;
    o.rep_.size = 0;
    o.rep_.cap = 0;
  }

  struct Rep {
    union {
      char small[kInline];
      char* heap;
    } u{};
    uint32_t size = 0;
    uint32_t cap = 0;  // bytes on the heap; 0: the bytes are inline
  } rep_;
};

}  // namespace jet
