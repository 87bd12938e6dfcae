#include "jet/format/text_codec.h"

#include <algorithm>

namespace jet {

namespace {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(char(c));
  } else if (c < 0x800) {
    out.push_back(char(0xC0 | (c >> 6)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(char(0xE0 | (c >> 12)));
    out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (c >> 18)));
    out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  }
}

const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                  0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                  0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string utf16leToUtf8(Bytes b) {
  std::string out;
  out.reserve(b.size() / 2);
  size_t n = b.size() / 2;
  for (size_t i = 0; i < n; ++i) {
    char32_t c = b.u16(2 * i);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n) {
      char32_t lo = b.u16(2 * i + 2);
      if (lo >= 0xDC00 && lo < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    appendUtf8(out, c);
  }
  return out;
}

std::u32string utf8ToUtf32(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    char32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else { out.push_back(0xFFFD); ++i; continue; }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    if (!ok) { out.push_back(0xFFFD); ++i; continue; }
    out.push_back(cp);
    i += size_t(extra) + 1;
  }
  return out;
}

std::string utf32ToUtf8(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) appendUtf8(out, c);
  return out;
}

size_t utf16Length(const std::string& utf8) {
  // One unit a character, two past U+FFFF: every byte but the continuations, and the four-byte leads again.
  size_t n = 0;
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    n += size_t((c & 0xC0) != 0x80) + size_t(c >= 0xF0);
  }
  return n;
}

bool isStorableText(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    int extra;
    char32_t cp;
    if (c < 0x80) { ++i; continue; }
    if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else return false;
    if (i + size_t(extra) >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF) return false;
    i += size_t(extra) + 1;
  }
  return true;
}

std::string utf8ToUtf16le(const std::string& s) {
  std::string out;
  for (char32_t c : utf8ToUtf32(s)) {
    if (c >= 0x10000) {
      char32_t v = c - 0x10000;
      append16(out, uint16_t(0xD800 + (v >> 10)));
      append16(out, uint16_t(0xDC00 + (v & 0x3FF)));
    } else {
      append16(out, uint16_t(c));
    }
  }
  return out;
}

std::string cp1252ToUtf8(const std::string& s) {
  std::string out;
  for (unsigned char c : s) appendUtf8(out, (c >= 0x80 && c < 0xA0) ? char32_t(kCp1252High[c - 0x80]) : char32_t(c));
  return out;
}

int cp1252Byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
  // 0x80-0x9F hold other characters; the five bytes it leaves unassigned read back as themselves.
  for (int i = 0; i < 32; ++i) if (kCp1252High[i] == c) return 0x80 + i;
  return -1;
}

std::string decodeJet4Text(Bytes b) {
  if (b.size() >= 2 && b.u8(0) == 0xFF && b.u8(1) == 0xFE) {
    // Compressed: one byte a character, a zero byte switches to two-byte characters and back.
    std::string out;
    out.reserve(b.size());
    bool compressed = true;
    size_t i = 2;
    while (i < b.size()) {
      if (b.u8(i) == 0) {
        compressed = !compressed;
        ++i;
        continue;
      }
      if (compressed) {
        // ASCII, nearly all stored text, is its own UTF-8: a run of it is copied whole.
        size_t end = i;
        while (end < b.size() && b.data()[end] != 0 && b.data()[end] < 0x80) ++end;
        if (end > i) {
          out.append(reinterpret_cast<const char*>(b.data() + i), end - i);
          i = end;
          continue;
        }
        appendUtf8(out, b.u8(i));
        ++i;
      } else {
        if (i + 1 >= b.size()) break;
        appendUtf8(out, b.u16(i));
        i += 2;
      }
    }
    return out;
  }
  return utf16leToUtf8(b);
}

void appendJet4Text(std::string& out, const std::string& utf8, bool compress) {
  // ASCII without NULs, nearly all text, is its own compressed form.
  if (compress && !utf8.empty() &&
      std::all_of(utf8.begin(), utf8.end(), [](char c) { return c > 0 && static_cast<unsigned char>(c) < 0x80; })) {
    out.append("\xFF\xFE", 2);
    out += utf8;
    return;
  }
  std::u32string cps = utf8ToUtf32(utf8);
  bool compressible = compress && !cps.empty();
  for (char32_t c : cps) if (c == 0 || c > 0xFF) { compressible = false; break; }
  if (compressible) {
    out.append("\xFF\xFE", 2);
    for (char32_t c : cps) out.push_back(char(c));
    return;
  }
  out += utf8ToUtf16le(utf8);
}

std::string encodeJet4Text(const std::string& utf8, bool compress) {
  std::string out;
  appendJet4Text(out, utf8, compress);
  return out;
}

std::string foldCase(const std::string& utf8) {
  std::u32string cps = utf8ToUtf32(utf8);
  for (auto& c : cps) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c -= 0x20;
    else if (c == 0xFF) c = 0x178;
  }
  return utf32ToUtf8(cps);
}

}  // namespace jet
