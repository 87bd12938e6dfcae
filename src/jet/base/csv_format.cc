#include "jet/base/csv_format.h"

#include "jet/base/calendar_date.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace jet {

std::string formatDouble(double d) {
  if (d == 0) return "0";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, r.ptr);
}

std::string csvQuote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += "\"\"";
    else out += c;
  }
  return out + "\"";
}

std::string csvField(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Null: return "";
    case Value::Kind::Boolean: return v.b ? "1" : "0";
    case Value::Kind::Byte:
    case Value::Kind::Integer:
    case Value::Kind::Long: return std::to_string(v.i);
    case Value::Kind::Currency: {
      long long a = v.i < 0 ? -v.i : v.i;
      char buf[48];
      std::snprintf(buf, sizeof buf, "%s%lld.%04lld", v.i < 0 ? "-" : "", a / 10000, a % 10000);
      return buf;
    }
    case Value::Kind::Single: {
      char buf[32];
      auto r = std::to_chars(buf, buf + sizeof buf, float(v.d));
      return std::string(buf, r.ptr);
    }
    case Value::Kind::Double: return formatDouble(v.d);
    case Value::Kind::Date: return formatIsoDate(v.d);
    case Value::Kind::Text: return csvQuote(v.s);
    case Value::Kind::Binary: {
      static const char* hex = "0123456789ABCDEF";
      std::string out;
      for (unsigned char c : v.s) { out += hex[c >> 4]; out += hex[c & 15]; }
      return out;
    }
    case Value::Kind::Guid:
    case Value::Kind::Decimal: return v.s;
  }
  return "";
}

std::string csvLine(const std::vector<Value>& values) {
  std::string line;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) line += ',';
    line += csvField(values[i]);
  }
  line += '\n';
  return line;
}

}  // namespace jet
