#include "db/default_values.h"

#include <cctype>
#include <ctime>
#include <string>

#include "db/jet_date.h"
#include "db/sql_eval.h"
#include "db/sql_parser.h"
#include "db/value_convert.h"
#include "jet/base/error.h"

namespace db {

namespace {

std::string trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The local date and time now, as a date serial; the date alone for Date().
double now(bool withTime) {
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

}  // namespace

std::optional<jet::Value> defaultValueOf(const jet::Column& c) {
  if (!c.defaultValue) return std::nullopt;
  std::string text = trimmed(*c.defaultValue);
  if (!text.empty() && text[0] == '=') text = trimmed(std::string_view(text).substr(1));
  if (text.empty()) return std::nullopt;
  const std::string word = lower(text);
  jet::Value v;
  if (word == "yes" || word == "true" || word == "on") {
    v = jet::Value::boolean(true);
  } else if (word == "no" || word == "false" || word == "off") {
    v = jet::Value::boolean(false);
  } else if (word == "date()" || word == "now()") {
    v = jet::Value::date(now(word == "now()"));
  } else {
    try {
      v = sql::eval(sql::parseExpression(text), [](const std::string& name) -> jet::Value {
        throw jet::Error(jet::err::kTooFewParameters, "Too few parameters. Expected 1. (Unknown name '" + name + "'.)");
      });
    } catch (const jet::Error&) {
      return std::nullopt;
    }
  }
  if (v.isNull()) return std::nullopt;
  try {
    return convertForColumn(v, c);
  } catch (const jet::Error&) {
    return std::nullopt;
  }
}

std::vector<jet::Value> defaultRow(const jet::TableDef& def) {
  std::vector<jet::Value> row(def.columns.size());
  for (size_t i = 0; i < def.columns.size(); ++i) {
    if (def.columns[i].autoNumber()) continue;  // numbered when stored
    if (std::optional<jet::Value> v = defaultValueOf(def.columns[i])) row[i] = std::move(*v);
  }
  return row;
}

}  // namespace db
