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
  EntryKey(const EntryKey& o) { assign(o.data(), o.size_); }
  EntryKey(EntryKey&& o) noexcept { take(o); }
  EntryKey& operator=(const EntryKey& o) {
    if (this != &o) assign(o.data(), o.size_);
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

  const char* data() const { return cap_ ? u_.heap : u_.small; }
  char* data() { return cap_ ? u_.heap : u_.small; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char operator[](size_t i) const { return data()[i]; }
  // Keeps the first bytes; new bytes are undefined until written through data().
  void resize(size_t n) {
    if (n > capacity()) {
      char* grown = new char[n];
      std::memcpy(grown, data(), size_);
      release();
      u_.heap = grown;
      cap_ = uint32_t(n);
    }
    size_ = uint32_t(n);
  }
  void assign(const char* p, size_t n) {
    if (n > capacity()) {
      release();
      u_.heap = new char[n];
      cap_ = uint32_t(n);
    }
    if (n) std::memmove(data(), p, n);
    size_ = uint32_t(n);
  }
  std::string_view view() const { return {data(), size_}; }
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
  size_t capacity() const { return cap_ ? cap_ : kInline; }
  void release() {
    if (cap_) delete[] u_.heap;
    cap_ = 0;
    size_ = 0;
  }
  // Takes over `o`'s bytes, leaving it empty.
  void take(EntryKey& o) {
    std::memcpy(&u_, &o.u_, sizeof u_);
    size_ = o.size_;
    cap_ = o.cap_;
    o.cap_ = 0;
    o.size_ = 0;
  }

  union Storage {
    char small[kInline];
    char* heap;
  } u_{};
  uint32_t size_ = 0;
  uint32_t cap_ = 0;  // bytes on the heap; 0: the bytes are inline
};

}  // namespace jet
