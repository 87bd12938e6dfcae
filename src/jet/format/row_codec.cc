#include "jet/format/row_codec.h"

#include <cstring>

#include "jet/format/code_page.h"
#include "jet/base/error.h"
#include "jet/format/long_value.h"
#include "jet/pager/page_file.h"
#include "jet/format/text_codec.h"

namespace jet {

namespace {

// Offsets of the variable fields, from the row's own offset table, into `offs`; the last one
// marks the end. `offs` is the caller's, so that a row read costs no allocation once it has grown.
void varOffsets(const Format& f, const TableDef& def, Bytes row, size_t maskSize, std::vector<uint32_t>& offs) {
  offs.clear();
  if (def.varColumns == 0) return;
  size_t len = row.size();
  if (f.jet4) {
    if (len < maskSize + 2) corrupt("a row is too short for its offset table");
    uint16_t count = row.u16(len - maskSize - 2);
    if (size_t(count) * 2 + 4 + maskSize > len) corrupt("a row's offset table is larger than the row");
    for (size_t i = 0; i <= count; ++i) offs.push_back(row.u16(len - maskSize - 4 - 2 * i));
  } else {
    // One-byte offsets, and before the count a jump table: entry k names the first offset that
    // is 256 * (k + 1) or more. The row's length, not its data, sets the number of entries, so
    // the last ones may be unused (0xFF); the offsets lie before all of them all the same.
    if (len < maskSize + 1) corrupt("a row is too short for its offset table");
    const size_t rowEnd = len - 1;
    const uint8_t count = row.u8(rowEnd - maskSize);
    const size_t jumps = rowEnd / 256;
    if (rowEnd < maskSize + jumps + 1 + count) corrupt("a row's offset table is larger than the row");
    const size_t jumpTable = rowEnd - maskSize - 1;  // the first entry; the next ones lie below it
    const size_t colPtr = jumpTable - jumps;         // offset 0; the next ones lie below it
    size_t used = 0;
    for (size_t i = 0; i <= count; ++i) {
      while (used < jumps && i == row.u8(jumpTable - used)) ++used;
      offs.push_back(uint32_t(row.u8(colPtr - i) + used * 256));
    }
  }
  for (size_t i = 0; i < offs.size(); ++i) {
    if (offs[i] > len || (i > 0 && offs[i] < offs[i - 1])) corrupt("a row's variable fields overlap");
  }
}

std::string hex2(uint8_t v) {
  static const char* d = "0123456789ABCDEF";
  return {d[v >> 4], d[v & 15]};
}

}  // namespace

RawRow splitRow(const Format& f, const TableDef& def, Bytes row) {
  RawRow raw;
  splitRow(f, def, row, raw);
  return raw;
}

void splitRow(const Format& f, const TableDef& def, Bytes row, RawRow& raw, const std::vector<bool>* only) {
  size_t n = def.columns.size();
  raw.fields.assign(n, RawField{});
  if (row.size() < f.rowColumnCountSize) corrupt("a row is empty");
  size_t rowCols = f.jet4 ? row.u16(0) : row.u8(0);
  size_t maskSize = (rowCols + 7) / 8;
  if (maskSize > row.size()) corrupt("a row's null mask is larger than the row");
  Bytes mask = row.sub(row.size() - maskSize, maskSize);
  thread_local std::vector<uint32_t> offs;
  varOffsets(f, def, row, maskSize, offs);
  size_t varCount = offs.empty() ? 0 : offs.size() - 1;
  for (size_t i = 0; i < n; ++i) {
    if (only && !(*only)[i]) continue;
    const Column& c = def.columns[i];
    RawField& out = raw.fields[i];
    if (c.number >= rowCols) continue;  // added after this row was written
    bool bit = (mask.u8(c.number / 8) >> (c.number % 8)) & 1;
    if (c.type == ColumnType::Boolean) {
      out.present = true;
      out.boolValue = bit;
      continue;
    }
    if (!bit) continue;
    if (c.fixed()) {
      size_t w = fixedWidth(c);
      out.bytes = row.sub(f.rowColumnCountSize + c.fixedOffset, w);
      out.present = true;
    } else {
      if (c.varIndex >= varCount) continue;
      uint32_t a = offs[c.varIndex], b = offs[c.varIndex + 1];
      out.bytes = row.sub(a, b - a);
      out.present = true;
    }
  }
}

std::string formatGuid(Bytes b) {
  std::string s = "{";
  for (int i = 3; i >= 0; --i) s += hex2(b.u8(i));
  s += "-";
  s += hex2(b.u8(5)) + hex2(b.u8(4)) + "-" + hex2(b.u8(7)) + hex2(b.u8(6)) + "-";
  s += hex2(b.u8(8)) + hex2(b.u8(9)) + "-";
  for (int i = 10; i < 16; ++i) s += hex2(b.u8(i));
  return s + "}";
}

std::string parseGuid(const std::string& text) {
  std::string hex;
  for (char c : text) if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
  if (hex.size() != 32) throw Error(err::kTypeMismatch, "'" + text + "' is not a GUID.");
  auto byteAt = [&](size_t i) { return char(std::stoi(hex.substr(2 * i, 2), nullptr, 16)); };
  std::string out(16, '\0');
  int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) out[order[i]] = byteAt(size_t(i));
  return out;
}

std::string formatDecimal(Bytes b, int scale) {
  // Four 32-bit words, most significant first, each little-endian; a sign byte before them.
  uint32_t words[4];
  for (int w = 0; w < 4; ++w) words[w] = b.u32(1 + 4 * w);
  std::string digits;
  while (words[0] | words[1] | words[2] | words[3]) {
    uint64_t rem = 0;
    for (int w = 0; w < 4; ++w) {
      uint64_t cur = (rem << 32) | words[w];
      words[w] = uint32_t(cur / 10);
      rem = cur % 10;
    }
    digits.insert(digits.begin(), char('0' + rem));
  }
  if (digits.empty()) digits = "0";
  if (scale > 0) {
    while (digits.size() <= size_t(scale)) digits.insert(digits.begin(), '0');
    digits.insert(digits.end() - scale, '.');
  }
  if (b.u8(0) & 0x80) digits.insert(digits.begin(), '-');
  return digits;
}

// A decimal as a Numeric field stores it: a sign byte (80 for negative), then the value times
// 10^scale as four 32-bit words, most significant first, each little-endian. The text is the
// form values read back in ("-12.3400"); digits past the column's scale are refused, and so is a
// value with more digits than its precision.
std::string encodeDecimal(const Column& c, const std::string& text) {
  auto bad = [&] { throw Error(err::kTypeMismatch, "The value '" + text + "' is no decimal number for the field '" + c.name + "'."); };
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string digits, fraction;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '.' && !point) point = true;
    else if (ch >= '0' && ch <= '9') (point ? fraction : digits) += ch;
    else bad();
  }
  if (digits.empty() && fraction.empty()) bad();
  while (fraction.size() > c.scale && fraction.back() == '0') fraction.pop_back();
  if (fraction.size() > c.scale) throw Error(err::kOverflow, "The value '" + text + "' has more decimal places than the field '" + c.name + "' keeps.");
  fraction.append(c.scale - fraction.size(), '0');
  std::string all = digits + fraction;
  all.erase(0, std::min(all.find_first_not_of('0'), all.size()));
  const size_t precision = c.precision ? c.precision : 18;
  if (all.size() > precision) throw Error(err::kOverflow, "The value '" + text + "' is too large for the field '" + c.name + "'.");
  uint32_t words[4] = {0, 0, 0, 0};  // most significant first
  for (char ch : all) {
    uint64_t carry = uint64_t(ch - '0');
    for (int w = 3; w >= 0; --w) {
      const uint64_t cur = uint64_t(words[w]) * 10 + carry;
      words[w] = uint32_t(cur);
      carry = cur >> 32;
    }
  }
  std::string out(17, '\0');
  uint8_t* p = reinterpret_cast<uint8_t*>(out.data());
  p[0] = negative && !all.empty() ? 0x80 : 0x00;
  for (int w = 0; w < 4; ++w) put32(p + 1 + 4 * w, words[w]);
  return out;
}

Value decodeField(PageFile& file, const Format& f, const Column& c, const RawRow& raw, size_t i) {
  const RawField& field = raw.fields[i];
  if (!field.present) return Value::null();
  Bytes v = field.bytes;
  auto needSize = [&](size_t n) { if (v.size() < n) corrupt("a field is shorter than its type"); };
  switch (c.type) {
    case ColumnType::Boolean: return Value::boolean(field.boolValue);
    case ColumnType::Byte: needSize(1); return Value::byte(v.u8(0));
    case ColumnType::Integer: needSize(2); return Value::integer(int16_t(v.u16(0)));
    case ColumnType::Long: needSize(4); return Value::long_(int32_t(v.u32(0)));
    case ColumnType::Currency: needSize(8); return Value::currency(int64_t(v.u64(0)));
    case ColumnType::Single: {
      needSize(4);
      uint32_t bits = v.u32(0);
      float x;
      std::memcpy(&x, &bits, 4);
      return Value::single(x);
    }
    case ColumnType::Double:
    case ColumnType::DateTime: {
      needSize(8);
      uint64_t bits = v.u64(0);
      double x;
      std::memcpy(&x, &bits, 8);
      return c.type == ColumnType::Double ? Value::double_(x) : Value::date(x);
    }
    case ColumnType::Guid: needSize(16); return Value::guid(formatGuid(v));
    case ColumnType::Numeric: needSize(17); return Value::decimal(formatDecimal(v, c.scale));
    case ColumnType::Text: return Value::text(f.jet4 ? decodeJet4Text(v) : codePageToUtf8(v.str(0, v.size()), c.codePage));
    case ColumnType::Binary: return Value::binary(v.str(0, v.size()));
    case ColumnType::Memo: {
      std::string data = readLongValue(file, f, v);
      Bytes d(data);
      return Value::text(f.jet4 ? decodeJet4Text(d) : codePageToUtf8(data, c.codePage));
    }
    case ColumnType::Ole: return Value::binary(readLongValue(file, f, v));
  }
  // Types we do not know (Access keeps one in MSysAccessObjects) read as their plain bytes.
  return Value::binary(v.str(0, v.size()));
}

std::vector<Value> decodeRow(PageFile& file, const Format& f, const TableDef& def, Bytes row) {
  RawRow raw = splitRow(f, def, row);
  std::vector<Value> out;
  out.reserve(def.columns.size());
  for (size_t i = 0; i < def.columns.size(); ++i) out.push_back(decodeField(file, f, def.columns[i], raw, i));
  return out;
}

namespace {

void requireUtf8(const Column& c, const std::string& utf8) {
  if (!isStorableText(utf8)) throw Error(err::kInvalidArgument, "The text for the field '" + c.name + "' is not valid UTF-8.");
}

// Text as a Jet 3 file keeps it: one byte a character, in the code page of its column.
std::string codePageText(const Column& c, const std::string& utf8) {
  const uint16_t codePage = c.codePage != 0 ? c.codePage : 1252;
  if (!knownCodePage(codePage)) {
    throw Error(err::kConversion, "Data type conversion error: the field '" + c.name + "' keeps its text in code page " +
                                      std::to_string(codePage) + ", which this engine does not write; nothing was written.");
  }
  std::string out;
  out.reserve(utf8.size());
  for (char32_t ch : utf8ToUtf32(utf8)) {
    const int b = codePageByte(ch, codePage);
    if (b < 0) {
      std::string shown;
      shown = utf32ToUtf8(std::u32string(1, ch));
      throw Error(err::kConversion, "Data type conversion error: the text for the field '" + c.name + "' holds '" + shown +
                                        "', which an Access 97 database (code page " + std::to_string(codePage) + ") cannot store.");
    }
    out.push_back(char(b));
  }
  return out;
}

// Types whose values have one size: their bytes are the same in the fixed or the variable area.
bool hasFixedForm(ColumnType t) {
  switch (t) {
    case ColumnType::Byte: case ColumnType::Integer: case ColumnType::Long: case ColumnType::Currency:
    case ColumnType::Single: case ColumnType::Double: case ColumnType::DateTime: case ColumnType::Guid:
    case ColumnType::Numeric:
      return true;
    default:
      return false;
  }
}

std::string tooLong(const Format& f, const Column& c) {
  return "The value is too long for the field '" + c.name + "' (at most " + std::to_string(c.size / f.textBytesPerChar) +
         " characters).";
}

}  // namespace

std::string encodeFixed(const Format& f, const Column& c, const Value& v) {
  std::string out(fixedWidth(c), '\0');
  uint8_t* p = reinterpret_cast<uint8_t*>(out.data());
  switch (c.type) {
    case ColumnType::Byte: p[0] = uint8_t(v.i); break;
    case ColumnType::Integer: put16(p, uint16_t(int16_t(v.i))); break;
    case ColumnType::Long: put32(p, uint32_t(int32_t(v.i))); break;
    case ColumnType::Currency: put64(p, uint64_t(v.i)); break;
    case ColumnType::Single: {
      float x = float(v.d);
      uint32_t bits;
      std::memcpy(&bits, &x, 4);
      put32(p, bits);
      break;
    }
    case ColumnType::Double:
    case ColumnType::DateTime: {
      uint64_t bits;
      std::memcpy(&bits, &v.d, 8);
      put64(p, bits);
      break;
    }
    case ColumnType::Guid: out = parseGuid(v.s); break;
    case ColumnType::Numeric: out = encodeDecimal(c, v.s); break;
    case ColumnType::Text: {
      // Fixed-length text is never compressed, and padded with blanks as Access pads it.
      requireUtf8(c, v.s);
      const std::string units = f.textBytesPerChar == 2 ? utf8ToUtf16le(v.s) : codePageText(c, v.s);
      if (units.size() > out.size()) throw Error(err::kTooSmall, tooLong(f, c));
      std::memcpy(p, units.data(), units.size());
      for (size_t i = units.size(); i + f.textBytesPerChar <= out.size(); i += f.textBytesPerChar) p[i] = ' ';
      break;
    }
    default:
      if (v.s.size() > out.size()) throw Error(err::kTooSmall, "The value is too long for the field '" + c.name + "'.");
      std::memcpy(p, v.s.data(), v.s.size());
  }
  return out;
}

std::string encodeText(const Format& f, const Column& c, const std::string& utf8) {
  requireUtf8(c, utf8);
  if (f.textBytesPerChar == 1) return codePageText(c, utf8);
  return encodeJet4Text(utf8, c.compressedText);
}

void requireStorableText(const Format& f, const Column& c, const Value& v) {
  if (c.isTextual() && v.kind == Value::Kind::Text) encodeText(f, c, v.s);
}

namespace {

// The end of a row after its variable fields: their offsets (`offs`, the end of the data
// last), their count, and the null mask.
void appendOffsetTable(const Format& f, std::string& row, const std::vector<uint32_t>& offs, const std::string& mask) {
  const size_t count = offs.size() - 1;
  if (f.rowOffsetSize == 2) {
    if (offs.back() > 0xFFFF) internalFault("a row is longer than its offsets reach");
    for (size_t i = offs.size(); i-- > 0;) append16(row, uint16_t(offs[i]));
    append16(row, uint16_t(count));
    row += mask;
    return;
  }
  // One byte an offset; a jump table names, for each 256 bytes of the row, the first offset that
  // reaches them (0xFF when none does). The whole row's length sets how many entries there are,
  // and the entries are part of that length: the smallest count that agrees with itself.
  if (count > 0xFF) internalFault("a row has more variable fields than its count can say");
  const size_t withoutJumps = row.size() + offs.size() + 1 + mask.size();
  size_t jumps = 0;
  while (jumps != (withoutJumps + jumps - 1) / 256) jumps = (withoutJumps + jumps - 1) / 256;
  for (size_t i = offs.size(); i-- > 0;) row.push_back(char(offs[i] & 0xFF));
  for (size_t k = jumps; k-- > 0;) {
    uint8_t entry = 0xFF;
    for (size_t i = 0; i < offs.size(); ++i) {
      if (offs[i] >= 256 * (k + 1)) {
        entry = uint8_t(i);
        break;
      }
    }
    row.push_back(char(entry));
  }
  row.push_back(char(count));
  row += mask;
}

// Builds a row from `valueOf(i)`, the value of column i, or null: the field's bytes in `kept`
// are taken as they stand.
template <typename ValueOf>
std::string encodeFields(const Format& f, const TableDef& def, ValueOf valueOf, const RawRow* kept) {
  size_t numCols = 0;
  for (auto& c : def.columns) numCols = std::max<size_t>(numCols, size_t(c.number) + 1);
  if (numCols >= (size_t(1) << (8 * f.rowColumnCountSize))) corrupt("a column number is out of range");
  size_t maskSize = (numCols + 7) / 8;
  std::string mask(maskSize, '\0');
  size_t varSlots = 0;
  for (auto& c : def.columns) if (!c.fixed()) varSlots = std::max<size_t>(varSlots, size_t(c.varIndex) + 1);
  // The row's start: the column count and the fixed area, whose fields are written in place.
  std::string row;
  row.reserve(f.rowColumnCountSize + def.fixedSize + 256);
  if (f.rowColumnCountSize == 1) row.push_back(char(numCols));
  else append16(row, uint16_t(numCols));
  row.append(def.fixedSize, '\0');
  // The variable fields' bytes, one after another in column order, and where each slot's lie:
  // kept between rows, so that a row costs no allocation for them.
  struct Span {
    size_t at = 0, length = 0;
    bool present = false;
  };
  thread_local std::string varData;
  thread_local std::vector<Span> spans;
  varData.clear();
  spans.assign(varSlots, Span{});
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const Column& c = def.columns[i];
    auto setBit = [&] { mask[c.number / 8] = char(mask[c.number / 8] | (1 << (c.number % 8))); };
    const Value* given = valueOf(i);
    if (!given) {
      const RawField& r = kept->fields[i];
      if (c.type == ColumnType::Boolean) {
        if (r.boolValue) setBit();
        continue;
      }
      if (!r.present) continue;
      setBit();
      if (c.fixed()) {
        if (size_t(c.fixedOffset) + r.bytes.size() > def.fixedSize) corrupt("a column lies past the fixed area of its rows");
        std::memcpy(row.data() + f.rowColumnCountSize + c.fixedOffset, r.bytes.data(), r.bytes.size());
      } else {
        const size_t at = varData.size();
        varData.append(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
        spans[c.varIndex] = Span{at, varData.size() - at, true};
      }
      continue;
    }
    const Value& v = *given;
    if (c.type == ColumnType::Boolean) {
      if (!v.isNull() && v.b) setBit();
      continue;
    }
    if (v.isNull()) continue;
    setBit();
    if (c.fixed()) {
      const std::string bytes = encodeFixed(f, c, v);
      if (size_t(c.fixedOffset) + bytes.size() > def.fixedSize) corrupt("a column lies past the fixed area of its rows");
      std::memcpy(row.data() + f.rowColumnCountSize + c.fixedOffset, bytes.data(), bytes.size());
      continue;
    }
    const size_t at = varData.size();
    if (c.type == ColumnType::Text) {
      if (f.textBytesPerChar == 2) {
        requireUtf8(c, v.s);
        // Compressed text counts as the UTF-16 it stands for.
        if (2 * utf16Length(v.s) > c.size) throw Error(err::kTooSmall, tooLong(f, c));
        appendJet4Text(varData, v.s, c.compressedText);
      } else {
        const std::string bytes = encodeText(f, c, v.s);
        if (bytes.size() > c.size) throw Error(err::kTooSmall, tooLong(f, c));
        varData += bytes;
      }
    } else if (hasFixedForm(c.type)) {
      // Numbers too may be kept as variable-length fields (Access 97 does so in system tables).
      varData += encodeFixed(f, c, v);
    } else {
      if (c.type == ColumnType::Binary && v.s.size() > c.size) {
        throw Error(err::kTooSmall, "The value is too long for the field '" + c.name + "'.");
      }
      varData += v.s;
    }
    spans[c.varIndex] = Span{at, varData.size() - at, true};
  }
  // Access 2000 gives trailing absent variable fields no offsets; Access 97 lists every one.
  size_t varCount = varSlots;
  while (!f.rowListsEveryOffset && varCount > 0 && !spans[varCount - 1].present) --varCount;
  thread_local std::vector<uint32_t> offs;
  offs.clear();
  for (size_t i = 0; i < varCount; ++i) {
    offs.push_back(uint32_t(row.size()));
    row.append(varData, spans[i].at, spans[i].length);
  }
  offs.push_back(uint32_t(row.size()));
  if (def.varColumns > 0) appendOffsetTable(f, row, offs, mask);
  else row += mask;
  return row;
}

}  // namespace

std::string encodeRow(const Format& f, const TableDef& def, const std::vector<Value>& values) {
  return encodeFields(f, def, [&](size_t i) { return &values[i]; }, nullptr);
}

std::string encodeRow(const Format& f, const TableDef& def, const std::vector<std::optional<Value>>& values,
                      const RawRow& kept) {
  if (values.size() != def.columns.size() || kept.fields.size() != def.columns.size()) {
    internalFault("a row has the wrong number of values");
  }
  return encodeFields(f, def, [&](size_t i) { return values[i] ? &*values[i] : nullptr; }, &kept);
}

}  // namespace jet
