#include "jet/format/column_properties.h"

#include <cstring>
#include <vector>

#include "jet/format/code_page.h"
#include "jet/format/text_codec.h"

namespace jet {

namespace {

constexpr uint16_t kNames = 0x80;
constexpr uint16_t kTable = 0x00;
constexpr uint16_t kColumn = 0x01;
constexpr uint8_t kYesNo = 1;

// Reads within one span of the block; a read past its end ends the parse, not the program.
struct Span {
  const uint8_t* p;
  size_t n;
  bool has(size_t at, size_t len) const { return at <= n && len <= n - at; }
  uint16_t u16(size_t at) const { return uint16_t(p[at] | (p[at + 1] << 8)); }
  uint32_t u32(size_t at) const { return u16(at) | (uint32_t(u16(at + 2)) << 16); }
  Span sub(size_t at, size_t len) const { return Span{p + at, len}; }
};

std::string textOf(Span s, const Format& f, uint16_t codePage) {
  if (f.jet4) return utf16leToUtf8(Bytes(s.p, s.n));
  return codePageToUtf8(std::string_view(reinterpret_cast<const char*>(s.p), s.n), codePage);
}

// Text as a property holds it, without the NULs that some writers leave at its end.
std::string propertyText(Span s, const Format& f, uint16_t codePage) {
  std::string t = textOf(s, f, codePage);
  while (!t.empty() && t.back() == '\0') t.pop_back();
  return t;
}

void readOwner(Span body, bool table, const std::vector<std::string>& names, const Format& f, uint16_t codePage,
               std::map<std::string, ColumnRules>& out) {
  if (!body.has(0, 6)) return;
  const size_t owner = body.u32(0), nameBytes = body.u16(4);
  if (!body.has(6, nameBytes) || owner < 6 + nameBytes || !body.has(0, owner)) return;
  ColumnRules& rules = out[table ? std::string() : foldCase(textOf(body.sub(6, nameBytes), f, codePage))];
  for (size_t at = owner; body.has(at, 8);) {
    const size_t length = body.u16(at);
    const uint8_t type = body.p[at + 3];
    const size_t name = body.u16(at + 4), size = body.u16(at + 6);
    if (length < 8 || !body.has(at, length) || size > length - 8) return;
    const Span value = body.sub(at + 8, size);
    at += length;
    if (name >= names.size()) continue;
    static const std::string required = foldCase("Required"), allowZeroLength = foldCase("AllowZeroLength"),
                             defaultValue = foldCase("DefaultValue"), validationRule = foldCase("ValidationRule"),
                             validationText = foldCase("ValidationText");
    const std::string& property = names[name];
    if (property == validationRule && type != kYesNo) {
      std::string rule = propertyText(value, f, codePage);
      if (!rule.empty()) rules.validationRule = std::move(rule);
    } else if (property == validationText && type != kYesNo) {
      std::string text = propertyText(value, f, codePage);
      if (!text.empty()) rules.validationText = std::move(text);
    }
    if (table) continue;  // the rest are a column's
    if (property == required && type == kYesNo && size >= 1) rules.required = value.p[0] != 0;
    else if (property == allowZeroLength && type == kYesNo && size >= 1) rules.noZeroLength = value.p[0] == 0;
    else if (property == defaultValue && type != kYesNo) rules.defaultValue = textOf(value, f, codePage);
  }
}

}  // namespace

std::map<std::string, ColumnRules> readColumnRules(Bytes block, const Format& f, uint16_t codePage) {
  std::map<std::string, ColumnRules> out;
  const Span all{block.data(), block.size()};
  if (!all.has(0, 4) || std::memcmp(all.p, f.jet4 ? "MR2\0" : "KKD\0", 4) != 0) return out;
  std::vector<std::string> names;
  for (size_t at = 4; all.has(at, 6);) {
    const size_t length = all.u32(at);
    const uint16_t kind = all.u16(at + 4);
    if (length < 6 || !all.has(at, length)) break;
    const Span body = all.sub(at + 6, length - 6);
    at += length;
    if (kind == kNames) {
      names.clear();
      for (size_t q = 0; body.has(q, 2) && body.has(q + 2, body.u16(q)); q += 2 + body.u16(q)) {
        names.push_back(foldCase(textOf(body.sub(q + 2, body.u16(q)), f, codePage)));
      }
    } else if (kind == kColumn || kind == kTable) {
      readOwner(body, kind == kTable, names, f, codePage, out);
    }
  }
  return out;
}

}  // namespace jet
