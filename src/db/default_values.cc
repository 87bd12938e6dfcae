#include "db/default_values.h"

#include <string>

#include "db/sql_eval.h"
#include "db/sql_parser.h"
#include "db/value_convert.h"
#include "jet/base/error.h"

namespace db {


std::optional<jet::Value> defaultValueOf(const jet::Column& c) {
  if (!c.defaultValue) return std::nullopt;
  std::string text = trimmed(*c.defaultValue);
  if (!text.empty() && text[0] == '=') text = trimmed(std::string_view(text).substr(1));
  if (text.empty()) return std::nullopt;
  auto is = [&](const char* word) { return jet::sameName(text, word); };
  jet::Value v;
  if (is("Yes") || is("True") || is("On")) {
    v = jet::Value::boolean(true);
  } else if (is("No") || is("False") || is("Off")) {
    v = jet::Value::boolean(false);
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
