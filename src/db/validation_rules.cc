#include "db/validation_rules.h"

#include <map>
#include <string>

#include "db/sql_eval.h"
#include "db/sql_parser.h"
#include "db/value_convert.h"
#include "jet/base/error.h"

namespace db {

namespace {

using jet::Value;

// The parsed form of each rule met, by its column (empty for a table's) and text.
const sql::Expr& parsedRule(const std::string& column, const std::string& rule) {
  thread_local std::map<std::pair<std::string, std::string>, sql::Expr> parsed;
  auto key = std::make_pair(column, rule);
  auto it = parsed.find(key);
  if (it == parsed.end()) it = parsed.emplace(std::move(key), sql::parseValidationRule(rule, column)).first;
  return it->second;
}

bool refuses(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Null: return false;
    case Value::Kind::Boolean: return !v.b;
    case Value::Kind::Text: {
      const std::optional<double> x = parseNumber(v.s);
      return x && *x == 0;
    }
    case Value::Kind::Binary:
    case Value::Kind::Guid: return false;
    default: return numberOf(v) == 0;
  }
}

// Works the rule out over `field`; `owner` names the column ("T.A") or the table ("T").
void check(const std::string& column, const std::string& rule, const std::optional<std::string>& text,
           const std::string& owner, const sql::FieldLookup& field) {
  Value result;
  try {
    result = sql::eval(parsedRule(column, rule), field);
  } catch (const jet::Error& e) {
    throw jet::Error(e.number(), "The validation rule '" + rule + "' set for '" + owner +
                                     "' cannot be checked, so nothing was stored: " + e.description());
  }
  if (!refuses(result)) return;
  if (text) throw jet::Error(jet::err::kValidationText, *text);
  throw jet::Error(jet::err::kValidationRule, "One or more values are prohibited by the validation rule '" + rule +
                                                  "' set for '" + owner +
                                                  "'. Enter a value that the expression for this field can accept.");
}

}  // namespace

void checkValidationRules(const jet::TableDef& def, const std::vector<std::optional<Value>>& given,
                          const std::function<Value(size_t)>& stored) {
  for (size_t i = 0; i < def.columns.size() && i < given.size(); ++i) {
    const jet::Column& c = def.columns[i];
    if (!c.validationRule || !given[i]) continue;
    const Value& v = *given[i];
    // A column's rule names no other column (Access refuses to save one that does).
    check(c.name, *c.validationRule, c.validationText, def.name + "." + c.name, [&](const std::string& name) -> Value {
      if (jet::sameName(name, c.name)) return v;
      throw jet::Error(jet::err::kTooFewParameters, "Too few parameters. Expected 1. (Unknown name '" + name + "'.)");
    });
  }
  if (!def.validationRule) return;
  check("", *def.validationRule, def.validationText, def.name, [&](const std::string& name) -> Value {
    const jet::Column* c = def.findColumn(name);
    if (!c) throw jet::Error(jet::err::kTooFewParameters, "Too few parameters. Expected 1. (Unknown name '" + name + "'.)");
    return stored(size_t(c - def.columns.data()));
  });
}

}  // namespace db
