#include "app/platform/wine_registry.h"

#include <fstream>

#include "app/platform/wine_prefix.h"

namespace platform {
namespace {

void appendUtf8(std::string& out, unsigned long cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Wine writes UTF-16 surrogate pairs as two \x escapes; join them into one code point.
void appendCodeUnit(std::string& out, unsigned long unit, unsigned long& highSurrogate) {
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    highSurrogate = unit;
    return;
  }
  if (unit >= 0xDC00 && unit <= 0xDFFF && highSurrogate != 0) {
    appendUtf8(out, 0x10000 + ((highSurrogate - 0xD800) << 10) + (unit - 0xDC00));
  } else {
    appendUtf8(out, unit);
  }
  highSurrogate = 0;
}

}  // namespace

std::string decodeWineString(const std::string& text, char close, size_t& end) {
  std::string out;
  unsigned long highSurrogate = 0;
  size_t i = 0;
  while (i < text.size() && text[i] != close) {
    char c = text[i++];
    if (c != '\\' || i >= text.size()) {
      out += c;
      highSurrogate = 0;
      continue;
    }
    char e = text[i++];
    switch (e) {
      case 'a': out += '\a'; break;
      case 'b': out += '\b'; break;
      case 'e': out += '\x1b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'v': out += '\v'; break;
      case 'x': {
        unsigned long unit = 0;
        int digits = 0;
        while (digits < 4 && i < text.size() && hexDigit(text[i]) >= 0) {
          unit = unit * 16 + hexDigit(text[i++]);
          ++digits;
        }
        if (digits == 0) {
          out += 'x';
          break;
        }
        appendCodeUnit(out, unit, highSurrogate);
        continue;
      }
      default:
        if (e >= '0' && e <= '7') {
          unsigned long unit = e - '0';
          for (int digits = 1; digits < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7'; ++digits) {
            unit = unit * 8 + (text[i++] - '0');
          }
          appendUtf8(out, unit);
        } else {
          out += e;  // \\, \", \[, \] and any other escaped character stand for themselves
        }
        break;
    }
    highSurrogate = 0;
  }
  end = i;
  return out;
}

std::optional<std::string> readWineRegistryString(const std::string& regFile, const std::string& keyPath,
                                                  const std::string& name) {
  std::ifstream in(regFile, std::ios::binary);
  if (!in) return std::nullopt;
  bool inKey = false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '[') {
      size_t end = 0;
      std::string key = decodeWineString(line.substr(1), ']', end);
      inKey = sameWindowsName(key, keyPath);
      continue;
    }
    if (!inKey) continue;
    std::string valueName;
    size_t pos = 0;
    if (line[0] == '@') {
      valueName = "@";
      pos = 1;
    } else if (line[0] == '"') {
      size_t end = 0;
      valueName = decodeWineString(line.substr(1), '"', end);
      pos = 1 + end + 1;
    } else {
      continue;  // comments (#time=, ;;) and continuation lines of hex values
    }
    if (pos >= line.size() || line[pos] != '=' || !sameWindowsName(valueName, name)) continue;
    ++pos;
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;  // dword:, hex:, str(2): ...
    size_t end = 0;
    return decodeWineString(line.substr(pos + 1), '"', end);
  }
  return std::nullopt;
}

}  // namespace platform
