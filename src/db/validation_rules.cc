#include "db/validation_rules.h"

#include <map>
#include <string>

#include "db/sql_eval.h"
#include "db/sql_parser.h"
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

// Works the rule out over `field`; `owner` names the column ("T.A") or the table ("T").
void check(const std::string& column, const std::string& rule, const std::optional<std::string>& text,
           const std::string& owner, const sql::FieldLookup& field) {
  std::optional<bool> passes;
  try {
    passes = sql::truthValue(sql::eval(parsedRule(column, rule), field));
  } catch (const jet::Error& e) {
    throw jet::Error(e.number(), "The validation rule '" + rule + "' set for '" + owner +
                                     "' cannot be checked, so nothing was stored: " + e.description());
  }
  if (passes != false) return;  // a Null passes
  if (text) throw jet::Error(jet::err::kValidationText, *text);
  throw jet::Error(jet::err::kValidationRule, "One or more values are prohibited by the validation rule '" + rule +
                                                  "' set for '" + owner +
                                                  "'. Enter a value that the expression for this field can accept.");
}

// The rules over a row whose given values `given(i)` returns (null for a column not given).
void checkRules(const jet::TableDef& def, const std::function<const Value*(size_t)>& given,
                const std::function<Value(size_t)>& stored) {
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet::Column& c = def.columns[i];
    const Value* v = c.validationRule ? given(i) : nullptr;
    if (!v) continue;
    // A column's rule names no other column (Access refuses to save one that does).
    check(c.name, *c.validationRule, c.validationText, def.name + "." + c.name, [&](const std::string& name) -> Value {
      if (jet::sameName(name, c.name)) return *v;
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

}  // namespace

void checkValidationRules(const jet::TableDef& def, const std::vector<std::optional<Value>>& given,
                          const std::function<Value(size_t)>& stored) {
  checkRules(def, [&](size_t i) { return i < given.size() && given[i] ? &*given[i] : nullptr; }, stored);
}

void checkValidationRules(const jet::TableDef& def, const std::vector<Value>& row) {
  checkRules(def, [&](size_t i) { return i < row.size() ? &row[i] : nullptr; }, [&](size_t i) { return row[i]; });
}

}  // namespace db
