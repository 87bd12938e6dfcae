#include "db/value_convert.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "db/jet_date.h"
#include "jet/base/error.h"

namespace db {
namespace {

using jet::Value;
using Kind = jet::Value::Kind;

[[noreturn]] void overflow() { throw jet::Error(jet::err::kOverflow, "Overflow"); }

[[noreturn]] void conversionError(const jet::Column& c) {
  throw jet::Error(err::kConversion, "The value cannot be converted to the type of field '" + c.name + "'.");
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The number a value written to a numeric column stands for; 3421 for text that is no number
// and for binary data.
double numericSource(const Value& v, const jet::Column& c) {
  if (v.kind == Kind::Text) {
    if (auto d = parseNumber(v.s)) return *d;
    conversionError(c);
  }
  if (!v.isNumeric()) conversionError(c);
  return numberOf(v);
}

// Half-to-even division of ten-thousandths down to whole units.
int64_t roundCurrency(int64_t tenThousandths) {
  int64_t q = tenThousandths / 10000;
  int64_t r = tenThousandths % 10000;
  if (r < 0) {
    r += 10000;
    q -= 1;
  }
  if (r > 5000 || (r == 5000 && (q & 1))) q += 1;
  return q;
}

int64_t toIntegral(const Value& v, const jet::Column& c, int64_t lo, int64_t hi) {
  int64_t x;
  switch (v.kind) {
    case Kind::Boolean: x = v.b ? -1 : 0; break;
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long: x = v.i; break;
    case Kind::Currency: x = roundCurrency(v.i); break;
    default: {
      const double d = bankersRound(numericSource(v, c));
      if (!(d >= static_cast<double>(lo) && d <= static_cast<double>(hi))) overflow();
      x = static_cast<int64_t>(d);
    }
  }
  if (x < lo || x > hi) overflow();
  return x;
}

int64_t toCurrency(const Value& v, const jet::Column& c) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  switch (v.kind) {
    case Kind::Currency: return v.i;
    case Kind::Boolean: return v.b ? -10000 : 0;
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
      if (v.i > kMax / 10000 || v.i < -(kMax / 10000)) overflow();
      return v.i * 10000;
    default: {
      const double d = bankersRound(numericSource(v, c) * 10000.0);
      if (!(std::fabs(d) < 9.2233720368547758e18)) overflow();
      return static_cast<int64_t>(d);
    }
  }
}

std::string toDecimal(const Value& v, const jet::Column& c) {
  if (v.kind == Kind::Decimal) return v.s;
  const double d = numericSource(v, c);
  if (!std::isfinite(d)) overflow();
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(c.scale), d);
  std::string s = buf;
  size_t intDigits = 0;
  for (char ch : s) {
    if (ch == '.') break;
    if (std::isdigit(static_cast<unsigned char>(ch)) && (intDigits > 0 || ch != '0')) ++intDigits;
  }
  const int precision = c.precision ? c.precision : 18;
  if (static_cast<int>(intDigits) > precision - c.scale) overflow();
  return s;
}

bool isHex(char ch) { return std::isxdigit(static_cast<unsigned char>(ch)) != 0; }

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in upper case, braces optional on input.
std::optional<std::string> normalizeGuid(std::string_view s) {
  s = trim(s);
  if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
  if (s.size() != 36) return std::nullopt;
  std::string out = "{";
  for (size_t i = 0; i < 36; ++i) {
    const bool dash = (i == 8 || i == 13 || i == 18 || i == 23);
    if (dash ? s[i] != '-' : !isHex(s[i])) return std::nullopt;
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
  }
  return out + "}";
}

std::string formatNumber(double d, int significant) {
  if (d == 0) return "0";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*G", significant, d);
  return buf;
}

std::string formatCurrency(int64_t tenThousandths) {
  const bool negative = tenThousandths < 0;
  const uint64_t mag = negative ? 0 - static_cast<uint64_t>(tenThousandths) : static_cast<uint64_t>(tenThousandths);
  std::string s = (negative ? "-" : "") + std::to_string(mag / 10000);
  uint64_t frac = mag % 10000;
  if (frac) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
    std::string f = buf;
    while (f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return s;
}

}  // namespace

double bankersRound(double x) { return std::nearbyint(x); }

size_t utf8Length(std::string_view text) {
  size_t n = 0;
  for (unsigned char ch : text) n += (ch & 0xC0) != 0x80;
  return n;
}

std::string trimmed(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return std::string(text.substr(b, e - b));
}

std::optional<double> parseNumber(std::string_view text) {
  const std::string_view s = trim(text);
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  return std::strtod(std::string(s).c_str(), nullptr);
}

double numberOf(const Value& v) {
  switch (v.kind) {
    case Kind::Boolean: return v.b ? -1.0 : 0.0;
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long: return static_cast<double>(v.i);
    case Kind::Currency: return static_cast<double>(v.i) / 10000.0;
    case Kind::Single:
    case Kind::Double:
    case Kind::Date: return v.d;
    case Kind::Decimal: return std::strtod(v.s.c_str(), nullptr);
    default: throw jet::Error(jet::err::kTypeMismatch, "Type mismatch");
  }
}

std::string textOf(const Value& v) {
  switch (v.kind) {
    case Kind::Null: throw jet::Error(jet::err::kInvalidNull, "Invalid use of Null");
    case Kind::Boolean: return v.b ? "True" : "False";
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long: return std::to_string(v.i);
    case Kind::Currency: return formatCurrency(v.i);
    case Kind::Single: return formatNumber(v.d, 7);
    case Kind::Double: return formatNumber(v.d, 15);
    case Kind::Date: return formatVbDate(v.d);
    case Kind::Text:
    case Kind::Binary:
    case Kind::Guid:
    case Kind::Decimal: return v.s;
  }
  return v.s;
}

Value convertForColumn(const Value& v, const jet::Column& c) {
  if (v.isNull()) return v;
  using jet::ColumnType;
  switch (c.type) {
    case ColumnType::Boolean:
      if (v.kind == Kind::Text) {
        const std::string_view t = trim(v.s);
        if (equalsIgnoreCase(t, "true") || equalsIgnoreCase(t, "yes") || equalsIgnoreCase(t, "on"))
          return Value::boolean(true);
        if (equalsIgnoreCase(t, "false") || equalsIgnoreCase(t, "no") || equalsIgnoreCase(t, "off"))
          return Value::boolean(false);
      }
      return Value::boolean(numericSource(v, c) != 0);
    case ColumnType::Byte: return Value::byte(static_cast<uint8_t>(toIntegral(v, c, 0, 255)));
    case ColumnType::Integer: return Value::integer(static_cast<int16_t>(toIntegral(v, c, -32768, 32767)));
    case ColumnType::Long:
      return Value::long_(static_cast<int32_t>(toIntegral(v, c, -2147483648LL, 2147483647LL)));
    case ColumnType::Currency: return Value::currency(toCurrency(v, c));
    case ColumnType::Single: {
      const double d = numericSource(v, c);
      if (!(std::fabs(d) <= FLT_MAX)) overflow();
      return Value::single(static_cast<float>(d));
    }
    case ColumnType::Double: {
      const double d = numericSource(v, c);
      if (!std::isfinite(d)) overflow();
      return Value::double_(d);
    }
    case ColumnType::DateTime: {
      double d;
      if (v.kind == Kind::Text) {
        auto parsed = parseJetDate(v.s);
        if (!parsed) conversionError(c);
        d = *parsed;
      } else {
        d = numericSource(v, c);
      }
      if (!(d >= kMinDate && d < kMaxDate + 1e-5)) overflow();
      return Value::date(d);
    }
    case ColumnType::Text:
    case ColumnType::Memo: {
      std::string s = textOf(v);
      if (c.type == ColumnType::Text) {
        const size_t limit = c.size ? c.maxChars() : 255;
        if (utf8Length(s) > limit) {
          throw jet::Error(jet::err::kTooSmall, "The text is longer than field '" + c.name + "' can hold (" +
                                                    std::to_string(limit) + " characters).");
        }
      }
      return Value::text(std::move(s));
    }
    case ColumnType::Binary:
    case ColumnType::Ole: {
      if (v.kind != Kind::Binary && v.kind != Kind::Text) conversionError(c);
      if (c.type == ColumnType::Binary && c.size && v.s.size() > c.size) {
        throw jet::Error(jet::err::kTooSmall, "The data is longer than field '" + c.name + "' can hold (" +
                                                  std::to_string(c.size) + " bytes).");
      }
      return Value::binary(v.s);
    }
    case ColumnType::Guid: {
      if (v.kind != Kind::Guid && v.kind != Kind::Text) conversionError(c);
      auto g = normalizeGuid(v.s);
      if (!g) conversionError(c);
      return Value::guid(*g);
    }
    case ColumnType::Numeric: return Value::decimal(toDecimal(v, c));
  }
  conversionError(c);
}

}  // namespace db

namespace db {

int32_t toLong(const jet::Value& v) {
  if (v.isNull()) throw jet::Error(jet::err::kInvalidNull, "Invalid use of Null");
  double x = v.kind == jet::Value::Kind::Text ? [&] {
    auto n = parseNumber(v.s);
    if (!n) throw jet::Error(jet::err::kTypeMismatch, "Type mismatch");
    return *n;
  }() : numberOf(v);
  double r = bankersRound(x);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw jet::Error(jet::err::kOverflow, "Overflow");
  return int32_t(r);
}

}  // namespace db
