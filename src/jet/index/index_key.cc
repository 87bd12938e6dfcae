// Index entry keys.
//
// Every column value starts with a flag byte: 0x7F (ascending) or 0x80 (descending)
// before a value, 0x00 (ascending) or 0xFF (descending) for Null, which then has
// no further bytes. Numbers follow big-endian so that bytewise order is numeric
// order; a descending column stores the inverted bytes.

#include "jet/index/index_key.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "jet/base/error.h"
#include "jet/format/row_codec.h"
#include "jet/format/sort_order.h"
#include "jet/index/text_sort_general.h"

namespace jet {
namespace {

constexpr char kAscValue = 0x7F;
constexpr char kDescValue = static_cast<char>(0x80);
constexpr char kAscNull = 0x00;
constexpr char kDescNull = static_cast<char>(0xFF);

// Yes/No: Yes (-1 in Access) orders before No.
constexpr char kAscYes = 0x00;
constexpr char kAscNo = static_cast<char>(0xFF);

void invert(std::string& s, size_t from) {
  for (size_t i = from; i < s.size(); ++i) s[i] = static_cast<char>(~s[i]);
}

void appendBigEndian(std::string& out, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

[[noreturn]] void mismatch(const Column& column, const char* expected) {
  throw Error(err::kTypeMismatch,
              "Index key for column '" + column.name + "' needs " + expected + " value.");
}

int64_t integerOf(const Column& column, const Value& v, int64_t lo, int64_t hi) {
  switch (v.kind) {
    case Value::Kind::Byte:
    case Value::Kind::Integer:
    case Value::Kind::Long:
    case Value::Kind::Currency:
      break;
    default:
      mismatch(column, "an integer");
  }
  if (v.i < lo || v.i > hi) {
    throw Error(err::kOverflow, "Value " + std::to_string(v.i) + " is out of range for column '" +
                                    column.name + "'.");
  }
  return v.i;
}

double realOf(const Column& column, const Value& v) {
  switch (v.kind) {
    case Value::Kind::Single:
    case Value::Kind::Double:
    case Value::Kind::Date:
      return v.d;
    case Value::Kind::Byte:
    case Value::Kind::Integer:
    case Value::Kind::Long:
      return static_cast<double>(v.i);
    default:
      mismatch(column, "a numeric or date");
  }
}

// Two's complement integer of `bytes` bytes: the sign bit is flipped so that
// negative numbers order first.
void appendSigned(std::string& out, int64_t v, int bytes, bool ascending) {
  const size_t from = out.size();
  appendBigEndian(out, static_cast<uint64_t>(v), bytes);
  out[from] = static_cast<char>(out[from] ^ 0x80);
  if (!ascending) invert(out, from);
}

// IEEE floating point: positive numbers get the sign bit set, negative numbers are
// inverted entirely, which makes the bytes order like the numbers.
void appendFloat(std::string& out, uint64_t bits, int bytes, bool ascending) {
  const size_t from = out.size();
  appendBigEndian(out, bits, bytes);
  const bool negative = (static_cast<unsigned char>(out[from]) & 0x80) != 0;
  if (!negative) out[from] = static_cast<char>(out[from] ^ 0x80);
  if (negative == ascending) invert(out, from);
}

// Binary data in groups of eight bytes, each followed by a count byte: 9 when more
// data follows, else the number of bytes used in the (zero-padded) last group.
// Descending inverts everything except the 9s.
void appendBinary(std::string& out, std::string_view data, bool ascending) {
  size_t pos = 0;
  while (data.size() - pos > 8) {
    const size_t from = out.size();
    out.append(data.substr(pos, 8));
    if (!ascending) invert(out, from);
    out += static_cast<char>(9);
    pos += 8;
  }
  if (pos == data.size()) return;
  const size_t from = out.size();
  const size_t rest = data.size() - pos;
  out.append(data.substr(pos));
  out.append(8 - rest, '\0');
  out += static_cast<char>(rest);
  if (!ascending) invert(out, from);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string guidBytes(const Column& column, std::string_view text) {
  std::optional<std::string> bytes = guidTextBytes(text);
  if (!bytes) mismatch(column, "a GUID");
  return *bytes;
}

bool generalSortOrder(const Column& column) { return column.sortOrder == kGeneralSortOrder || column.sortOrder == 0; }

// Access 97 keys are built for text in code page 1252 only, whose bytes the Access 97 codes are
// given for.
bool keyedCodePage(const Column& column) { return !column.access97 || column.codePage == 1252 || column.codePage == 0; }

// Keys are built for the General sort order only, and in Access 97 files only for text in code
// page 1252: other sort orders and code pages order their letters differently, and a key that
// Access would compute otherwise hides the row.
void requireGeneralText(const Column& column, const Value& v) {
  if (v.kind != Value::Kind::Text) mismatch(column, "a text");
  if (!generalSortOrder(column)) {
    throw Error(err::kNotSupported, "Cannot build index keys for column '" + column.name + "': its text sort order " +
                                        sortOrderName(column.sortOrder) + " is not General, the one sort order whose keys are built here.");
  }
  if (!keyedCodePage(column)) {
    throw Error(err::kNotSupported, "Cannot build index keys for column '" + column.name + "': its text is in code page " +
                                        std::to_string(column.codePage) + ", and Access 97 keys are built here for code page 1252 only.");
  }
}

void appendValue(std::string& out, const Column& column, bool ascending, const Value& v, Expansions expansions) {
  switch (column.type) {
    case ColumnType::Byte:
      out += static_cast<char>(ascending ? integerOf(column, v, 0, 255) : ~integerOf(column, v, 0, 255));
      return;
    case ColumnType::Integer:
      appendSigned(out, integerOf(column, v, INT16_MIN, INT16_MAX), 2, ascending);
      return;
    case ColumnType::Long:
      appendSigned(out, integerOf(column, v, INT32_MIN, INT32_MAX), 4, ascending);
      return;
    case ColumnType::Currency:
      if (v.kind != Value::Kind::Currency) mismatch(column, "a currency");
      appendSigned(out, v.i, 8, ascending);
      return;
    case ColumnType::Single: {
      const double d = realOf(column, v);
      if (std::isfinite(d) && std::fabs(d) > 3.4028234663852886e38) {
        throw Error(err::kOverflow, "Value is out of range for column '" + column.name + "'.");
      }
      appendFloat(out, std::bit_cast<uint32_t>(static_cast<float>(d)), 4, ascending);
      return;
    }
    case ColumnType::Double:
    case ColumnType::DateTime:
      appendFloat(out, std::bit_cast<uint64_t>(realOf(column, v)), 8, ascending);
      return;
    case ColumnType::Text:
    case ColumnType::Memo:
      requireGeneralText(column, v);
      if (column.access97) {
        appendGeneral97TextKey(out, v.s, ascending);
      } else {
        appendGeneralTextKey(out, v.s, ascending, expansions);
      }
      return;
    case ColumnType::Guid:
      if (v.kind != Value::Kind::Guid && v.kind != Value::Kind::Text) mismatch(column, "a GUID");
      appendBinary(out, guidBytes(column, v.s), ascending);
      return;
    case ColumnType::Binary:
      if (v.kind != Value::Kind::Binary) mismatch(column, "a binary");
      appendBinary(out, v.s, ascending);
      return;
    case ColumnType::Numeric: {
      // FF, then the scaled value as 16 big-endian bytes (Access stores these for positive
      // decimals; the keys of negative ones are not known, so they are not built).
      if (v.kind != Value::Kind::Decimal && v.kind != Value::Kind::Text) mismatch(column, "a decimal");
      const std::string stored = encodeDecimal(column, v.s);
      if (static_cast<uint8_t>(stored[0]) & 0x80) {
        throw Error(err::kNotSupported, "Cannot build index keys for column '" + column.name + "': keys of negative decimals are not built here.");
      }
      const size_t from = out.size();
      out += static_cast<char>(0xFF);
      for (int w = 0; w < 4; ++w) {
        for (int b = 3; b >= 0; --b) out += stored[size_t(1 + 4 * w + b)];
      }
      if (!ascending) invert(out, from);
      return;
    }
    case ColumnType::Boolean:
    case ColumnType::Ole:
      break;
  }
  throw Error(err::kNotSupported,
              "Cannot build index keys for column '" + column.name + "': its data type is not supported.");
}

}  // namespace

std::optional<std::string> guidTextBytes(std::string_view text) {
  static constexpr std::string_view kShape = "{________-____-____-____-____________}";
  if (text.size() != kShape.size()) return std::nullopt;
  std::string bytes;
  int high = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (kShape[i] != '_') {
      if (text[i] != kShape[i]) return std::nullopt;
      continue;
    }
    const int d = hexDigit(text[i]);
    if (d < 0) return std::nullopt;
    if (high < 0) {
      high = d;
    } else {
      bytes += static_cast<char>(high * 16 + d);
      high = -1;
    }
  }
  return bytes;
}

bool indexKeysSupported(const Column& column) {
  switch (column.type) {
    case ColumnType::Boolean:
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Currency:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Binary:
    case ColumnType::Guid:
      return true;
    case ColumnType::Text:
    case ColumnType::Memo:
      return generalSortOrder(column) && keyedCodePage(column);
    case ColumnType::Numeric:
      return true;  // a negative value's key is refused as it is met
    default:
      return false;  // Ole, and types no version of Jet defines
  }
}

void appendIndexKey(std::string& out, const Column& column, bool ascending, const Value& value, Expansions expansions) {
  if (column.type == ColumnType::Boolean) {
    // Yes/No columns have no Null in an index: Null counts as No.
    if (!value.isNull() && value.kind != Value::Kind::Boolean) mismatch(column, "a Yes/No");
    const bool yes = !value.isNull() && value.b;
    out += ascending ? kAscValue : kDescValue;
    const char b = yes ? kAscYes : kAscNo;
    out += ascending ? b : static_cast<char>(~b);
    return;
  }
  if (value.isNull()) {
    out += ascending ? kAscNull : kDescNull;
    return;
  }
  out += ascending ? kAscValue : kDescValue;
  appendValue(out, column, ascending, value, expansions);
}

void appendIndexKeyStart(std::string& out, const Column& column, bool ascending, const Value& value) {
  if (!column.isTextual() || value.isNull()) return appendIndexKey(out, column, ascending, value);
  requireGeneralText(column, value);
  out += ascending ? kAscValue : kDescValue;
  if (column.access97) {
    appendGeneral97TextKeyStart(out, value.s, ascending);
  } else {
    appendGeneralTextKeyStart(out, value.s, ascending);
  }
}

std::string encodeIndexKey(const std::vector<IndexKeyPart>& parts, const std::vector<Value>& values, Expansions expansions) {
  if (parts.size() != values.size()) {
    throw Error(err::kInvalidArgument, "Index key needs " + std::to_string(parts.size()) + " values, got " +
                                           std::to_string(values.size()) + ".");
  }
  std::string key;
  for (size_t i = 0; i < parts.size(); ++i) appendIndexKey(key, *parts[i].column, parts[i].ascending, values[i], expansions);
  return key;
}

bool keyDependsOnExpansions(const std::vector<IndexKeyPart>& parts, const std::vector<Value>& values) {
  for (size_t i = 0; i < parts.size() && i < values.size(); ++i) {
    const Column& c = *parts[i].column;
    if (c.isTextual() && !c.access97 && values[i].kind == Value::Kind::Text && hasSortExpansion(values[i].s)) return true;
  }
  return false;
}

size_t columnPosition(const TableDef& def, uint16_t number) {
  // Columns are kept in number order, so the number is usually the position itself.
  if (number < def.columns.size() && def.columns[number].number == number) return number;
  for (size_t i = 0; i < def.columns.size(); ++i) if (def.columns[i].number == number) return i;
  corrupt("an index refers to a missing column");
}

bool allKeyColumnsNull(const TableDef& def, const RealIndex& index, const std::vector<Value>& values) {
  for (auto& ic : index.columns) {
    if (!values.at(columnPosition(def, ic.columnNumber)).isNull()) return false;
  }
  return true;
}

std::optional<std::string> rowKey(const TableDef& def, const RealIndex& index, const std::vector<Value>& values,
                                  Expansions expansions) {
  if (index.ignoreNulls() && allKeyColumnsNull(def, index, values)) return std::nullopt;
  std::string key;
  for (auto& ic : index.columns) {
    const size_t at = columnPosition(def, ic.columnNumber);
    appendIndexKey(key, def.columns[at], ic.ascending, values.at(at), expansions);
  }
  return key;
}

bool sameKeyValues(const TableDef& def, const RealIndex& index, const std::vector<Value>& a, const std::vector<Value>& b) {
  for (auto& ic : index.columns) {
    const size_t at = columnPosition(def, ic.columnNumber);
    // 0 and -0 are equal numbers with different keys.
    if (!(a.at(at) == b.at(at)) || std::signbit(a[at].d) != std::signbit(b[at].d)) return false;
  }
  return true;
}

}  // namespace jet
