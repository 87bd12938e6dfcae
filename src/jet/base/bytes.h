// Little-endian access to page bytes, every read bounds-checked.
// A read past the end is a damaged file, never undefined behaviour.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "jet/base/error.h"

namespace jet {

// A read-only view of bytes with checked little-endian reads.
class Bytes {
 public:
  Bytes() = default;
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit Bytes(std::string_view s) : data_(reinterpret_cast<const uint8_t*>(s.data())), size_(s.size()) {}

  size_t size() const { return size_; }
  const uint8_t* data() const { return data_; }

  void need(size_t off, size_t len, const char* what = "a value runs past its page") const {
    if (off > size_ || len > size_ - off) corrupt(what);
  }
  uint8_t u8(size_t off) const { need(off, 1); return data_[off]; }
  uint16_t u16(size_t off) const { need(off, 2); return uint16_t(data_[off] | (data_[off + 1] << 8)); }
  uint32_t u32(size_t off) const {
    need(off, 4);
    return uint32_t(data_[off]) | (uint32_t(data_[off + 1]) << 8) | (uint32_t(data_[off + 2]) << 16) |
           (uint32_t(data_[off + 3]) << 24);
  }
  uint64_t u64(size_t off) const { return u32(off) | (uint64_t(u32(off + 4)) << 32); }
  Bytes sub(size_t off, size_t len) const { need(off, len); return Bytes(data_ + off, len); }
  std::string str(size_t off, size_t len) const {
    need(off, len);
    return std::string(reinterpret_cast<const char*>(data_ + off), len);
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

inline void put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void put32(uint8_t* p, uint32_t v) { put16(p, uint16_t(v)); put16(p + 2, uint16_t(v >> 16)); }
inline void put64(uint8_t* p, uint64_t v) { put32(p, uint32_t(v)); put32(p + 4, uint32_t(v >> 32)); }

inline void append16(std::string& s, uint16_t v) { s.push_back(char(v & 0xFF)); s.push_back(char(v >> 8)); }
inline void append32(std::string& s, uint32_t v) { append16(s, uint16_t(v)); append16(s, uint16_t(v >> 16)); }

}  // namespace jet
