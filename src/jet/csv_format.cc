#include "jet/csv_format.h"

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

std::string formatDate(double d) {
  // Days since 1899-12-30; before that day the fraction counts forward from the whole day.
  double whole = std::trunc(d);
  double frac = std::fabs(d - whole);
  long long seconds = std::llround(frac * 86400.0);
  long long days = (long long)whole;
  if (seconds >= 86400) { seconds -= 86400; days += d < 0 ? -1 : 1; }
  // Civil date from days since 1970-01-01 (1899-12-30 is 25569 days earlier).
  long long z = days - 25569 + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long dd = doy - (153 * mp + 2) / 5 + 1;
  long long mm = mp < 10 ? mp + 3 : mp - 9;
  if (mm <= 2) ++y;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, mm, dd, seconds / 3600, (seconds / 60) % 60,
                seconds % 60);
  return buf;
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
    case Value::Kind::Date: return formatDate(v.d);
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
