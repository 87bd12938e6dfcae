#include "db/sql_functions.h"

#include <cmath>
#include <cstdint>
#include <ctime>

#include "db/jet_date.h"
#include "db/value_convert.h"
#include "jet/base/error.h"
#include "jet/format/table_def.h"

namespace db::sql {

namespace {

using jet::Value;
using Kind = jet::Value::Kind;

// Where the n-th character of UTF-8 text starts (the text's size past its end).
size_t characterAt(const std::string& s, size_t n) {
  size_t at = 0;
  for (; at < s.size() && n > 0; --n) {
    ++at;
    while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) ++at;
  }
  return at;
}

// Characters [from, from + count) of UTF-8 text, both counted from 0.
std::string characters(const std::string& s, size_t from, size_t count) {
  const size_t begin = characterAt(s, from);
  const std::string rest = s.substr(begin);
  return rest.substr(0, characterAt(rest, count));
}

// A count or position argument, as a whole number not below `least`.
size_t countOf(const Value& v, double least, const std::string& name) {
  const double x = bankersRound(numberOf(v));
  if (x < least || x > 2147483647.0) {
    throw jet::Error(jet::err::kInvalidArgument, "Invalid procedure call or argument in " + name + ".");
  }
  return size_t(x);
}

double dateOf(const Value& v) {
  if (v.kind == Kind::Text) {
    if (std::optional<double> d = parseJetDate(v.s)) return *d;
    throw jet::Error(jet::err::kCriteriaMismatch, "Data type mismatch in criteria expression.");
  }
  return numberOf(v);
}

bool blank(char c) { return c == ' '; }

}  // namespace

double localNow(bool withTime) {
  const std::time_t t = std::time(nullptr);
  const std::tm* local = std::localtime(&t);
  jet::DateParts p;
  p.year = local->tm_year + 1900;
  p.month = local->tm_mon + 1;
  p.day = local->tm_mday;
  if (withTime) {
    p.hour = local->tm_hour;
    p.minute = local->tm_min;
    p.second = local->tm_sec;
  }
  return jet::toJetDate(p);
}

Value callFunction(const std::string& name, const std::vector<Value>& args) {
  auto is = [&](const char* f) { return jet::sameName(name, f); };
  auto arity = [&](size_t least, size_t most) {
    if (args.size() < least || args.size() > most) {
      throw jet::Error(jet::err::kSyntaxQuery,
                       "Wrong number of arguments used with function in query expression '" + name + "'.");
    }
  };
  const bool known = is("Date") || is("Now") || is("Time") || is("Len") || is("Trim") || is("LTrim") || is("RTrim") ||
                     is("Left") || is("Right") || is("Mid") || is("Year") || is("Month") || is("Day") || is("Abs");
  if (!known) throw jet::Error(jet::err::kUndefinedFunction, "Undefined function '" + name + "' in expression.");
  if (is("Date") || is("Now") || is("Time")) {
    arity(0, 0);
    if (is("Date")) return Value::date(localNow(false));
    const double now = localNow(true);
    return Value::date(is("Now") ? now : now - std::floor(now));
  }
  if (is("Mid")) arity(2, 3);
  else if (is("Left") || is("Right")) arity(2, 2);
  else arity(1, 1);
  for (const Value& a : args) if (a.isNull()) return Value::null();
  const Value& x = args[0];
  if (is("Abs")) {
    if ((x.kind == Kind::Byte || x.kind == Kind::Integer || x.kind == Kind::Long) && std::llabs(x.i) <= INT32_MAX) {
      return Value::long_(int32_t(std::llabs(x.i)));
    }
    return Value::double_(std::fabs(numberOf(x)));
  }
  if (is("Year") || is("Month") || is("Day")) {
    const jet::DateParts p = jet::fromJetDate(dateOf(x));
    return Value::integer(int16_t(is("Year") ? p.year : is("Month") ? p.month : p.day));
  }
  const std::string s = textOf(x);
  if (is("Len")) return Value::long_(int32_t(utf8Length(s)));
  if (is("Trim") || is("LTrim") || is("RTrim")) {
    size_t begin = 0, end = s.size();
    if (!is("RTrim")) while (begin < end && blank(s[begin])) ++begin;
    if (!is("LTrim")) while (end > begin && blank(s[end - 1])) --end;
    return Value::text(s.substr(begin, end - begin));
  }
  const size_t length = utf8Length(s);
  if (is("Left")) return Value::text(characters(s, 0, countOf(args[1], 0, name)));
  if (is("Right")) {
    const size_t n = std::min(countOf(args[1], 0, name), length);
    return Value::text(characters(s, length - n, n));
  }
  const size_t start = countOf(args[1], 1, name) - 1;  // Mid
  const size_t count = args.size() == 3 ? countOf(args[2], 0, name) : length;
  return Value::text(characters(s, start, count));
}

}  // namespace db::sql
