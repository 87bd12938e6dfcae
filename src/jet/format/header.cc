#include "jet/format/header.h"

#include <cstring>

#include "jet/base/bytes.h"
#include "jet/base/error.h"

namespace jet {

namespace {

// The header mask is an RC4 key stream over a fixed key.
void rc4(const uint8_t key[4], uint8_t* data, size_t len) {
  uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = uint8_t(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % 4]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  for (size_t n = 0, i = 0, j = 0; n < len; ++n) {
    i = (i + 1) & 0xFF;
    j = (j + s[i]) & 0xFF;
    std::swap(s[i], s[j]);
    data[n] ^= s[(s[i] + s[j]) & 0xFF];
  }
}

constexpr size_t kMaskStart = 0x18;

}  // namespace

std::string unmaskHeader(const std::string& page, bool jet4) {
  static const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
  std::string out = page;
  size_t len = jet4 ? 128 : 126;
  if (out.size() < kMaskStart + len) corrupt("the header page is cut short");
  rc4(key, reinterpret_cast<uint8_t*>(out.data()) + kMaskStart, len);
  return out;
}

Header parseHeader(const std::string& prefix, const std::string& path) {
  if (prefix.size() < 2048) throw Error(err::kNotDatabase, "'" + path + "' is too short to be an Access database.");
  Bytes raw(prefix);
  bool jetMagic = raw.u32(0) == 0x00000100;
  std::string id = prefix.substr(4, 15);
  if (!jetMagic || (id != "Standard Jet DB" && id != "Standard ACE DB")) {
    throw Error(err::kNotDatabase, "'" + path + "' is not an Access database file.");
  }
  Header h;
  h.version = raw.u8(0x14);
  if (id == "Standard ACE DB" || h.version >= 2) {
    throw Error(err::kUnrecognizedFormat,
                "'" + path + "' is an Access 2007 or later database (.accdb); only Access 97 to 2003 files (.mdb) are supported.");
  }
  h.format = h.version == 0 ? &kJet3 : &kJet4;
  std::string plain = unmaskHeader(prefix, h.format->jet4);
  Bytes b(plain);
  h.codePage = b.u16(0x3C);
  if (b.u32(0x3E) != 0) {
    throw Error(err::kBadPassword, "'" + path + "' is encrypted; encrypted databases are not supported.");
  }
  if (h.format->jet4) {
    h.sortOrder = b.u16(0x6E);
    h.sortVersion = b.u8(0x70);
    std::memcpy(&h.created, plain.data() + 0x72, sizeof(double));
    int32_t mask = int32_t(h.created == h.created && h.created > -2e9 && h.created < 2e9 ? int32_t(h.created) : 0);
    uint8_t m[4] = {uint8_t(mask), uint8_t(mask >> 8), uint8_t(mask >> 16), uint8_t(mask >> 24)};
    for (size_t i = 0; i < 40; ++i) {
      if ((b.u8(0x42 + i) ^ m[i % 4]) != 0) throw Error(err::kBadPassword, "'" + path + "' is protected by a database password.");
    }
  } else {
    h.sortOrder = b.u16(0x3A);
    for (size_t i = 0; i < 20; ++i) {
      if (b.u8(0x42 + i) != 0) throw Error(err::kBadPassword, "'" + path + "' is protected by a database password.");
    }
  }
  return h;
}

}  // namespace jet
