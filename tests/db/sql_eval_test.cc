// Evaluating criteria and expressions as Jet does: precedence, literals, Null logic, type rules, LIKE, ordering.
#include "db/sql_eval.h"

#include <gtest/gtest.h>

#include "../error_number.h"

#include <map>

#include "db/jet_date.h"
#include "db/sql_parser.h"
#include "jet/base/error.h"

namespace {

using namespace db::sql;
using jet::Value;

using Row = std::map<std::string, Value>;

FieldLookup lookup(const Row& row) {
  return [&row](const std::string& name) {
    auto it = row.find(name);
    if (it == row.end()) throw jet::Error(jet::err::kItemNotFound, "Item not found in this collection.");
    return it->second;
  };
}

bool meets(const std::string& criterion, const Row& row) { return matches(parseExpression(criterion), lookup(row)); }

Value evalText(const std::string& text, const Row& row = {}) { return eval(parseExpression(text), lookup(row)); }

int errorOf(const std::string& criterion, const Row& row) {
  return testing_support::errorNumber([&] { meets(criterion, row); });
}

double at(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return db::toJetDate(db::DateParts{y, m, d, hh, mm, ss});
}

TEST(SqlEval, Criteria) {
  const Row r85{{"DXCC", Value::long_(85)}, {"Time_Start", Value::date(at(2010, 10, 11, 8))}, {"prefix", Value::text("PJ0")},
                {"c", Value::currency(121700)}, {"s", Value::single(12.5f)}, {"b", Value::boolean(true)},
                {"byte", Value::byte(200)}};
  const Row r255{{"DXCC", Value::integer(255)}, {"Time_Start", Value::date(at(2010, 10, 9))}, {"prefix", Value::text("pj0")}};
  const Row r1{{"DXCC", Value::long_(1)}, {"Time_Start", Value::date(at(2011, 1, 1))}, {"prefix", Value::null()}};
  const Row midnight{{"T", Value::date(at(2010, 10, 10))}}, oneSecond{{"T", Value::date(at(2010, 10, 10, 0, 0, 1))}};
  const char* mainLog = "(DXCC = 85 OR DXCC = 255) AND Time_Start > #Oct 10, 2010#";
  struct Case { const char* criterion; const Row& row; bool met; };
  const Case cases[] = {
      {mainLog, r85, true}, {mainLog, r255, false} /* before the date */, {mainLog, r1, false} /* other entity */,
      {"T > #Oct 10, 2010#", midnight, false},  // strictly after
      {"T > #Oct 10, 2010#", oneSecond, true},  {"T >= #10/10/2010#", midnight, true},
      {"T = #10/10/2010 12:00:01 AM#", oneSecond, true},
      {"prefix = 'PJ0'", r255, true},  // text ignores case
      {"prefix <> 'PJ0'", r1, false},  // Null is not met
      {"prefix IS NULL", r1, true},    {"NOT prefix IS NULL", r85, true},
      {"DXCC=517 OR DXCC = 85.0", r85, true}, {"DXCC BETWEEN 80 AND 90", r85, true},
      {"DXCC NOT IN (1, 2, 3)", r85, true},   {"DXCC IN (1, 255)", r255, true},
      {"DXCC * 2 + 1 = 171", r85, true},      {"c = 12.17", r85, true},
      {"s > 12 AND s < 13", r85, true},       {"b = -1", r85, true},
      {"b = True", r85, true},                {"b", r85, true},
      {"byte > 199.5", r85, true},
  };
  for (const Case& c : cases) EXPECT_EQ(meets(c.criterion, c.row), c.met) << c.criterion;
  // Before 1899 the literal's time is encoded the same way as the stored value's.
  EXPECT_TRUE(meets("T = #1/1/1850 6:00 PM#", Row{{"T", Value::date(at(1850, 1, 1, 18))}}));
}

// Operators bind as Jet binds them; Null propagates through comparisons and arithmetic as
// three-valued logic has it; the numbers widen as VB's do.
TEST(SqlEval, Expressions) {
  const Row r{{"n", Value::null()}, {"x", Value::long_(1)}, {"Call Sign", Value::text("PJ2T")}};
  const std::pair<const char*, Value> cases[] = {
      // NOT binds looser than a comparison, AND tighter than OR, * tighter than +, + tighter than =.
      {"NOT x = 2 OR x = 2 AND x = 3", Value::boolean(true)}, {"x + 1 * 2 = 3", Value::boolean(true)},
      {"x NOT BETWEEN 2 AND 5 AND x IS NOT NULL", Value::boolean(true)},
      {"[Call Sign] NOT IN ('A', 'B', 'C')", Value::boolean(true)}, {"[Call Sign] LIKE 'PJ*' & 'T'", Value::boolean(true)},
      {"3000000000", Value::double_(3000000000.0)} /* past a Long */, {"1.5E2", Value::double_(150)},
      {"-69", Value::long_(-69)},                 {"True", Value::boolean(true)},
      {"#10/10/2010 12:30:00 PM#", Value::date(at(2010, 10, 10, 12, 30))},
      {"n = 1", Value::null()},                   {"NOT (n = 1)", Value::null()},
      {"n = 1 AND x = 2", Value::boolean(false)}, {"n = 1 AND x = 1", Value::null()},
      {"n = 1 OR x = 1", Value::boolean(true)},   {"n = 1 OR x = 2", Value::null()},
      {"x IN (2, Null)", Value::null()},          {"x IN (1, Null)", Value::boolean(true)},
      {"x BETWEEN 0 AND n", Value::null()},       {"x BETWEEN 5 AND n", Value::boolean(false)},
      {"n + 1", Value::null()},                   {"n & 'a'", Value::text("a")},
      {"7 \\ 2", Value::long_(3)},                {"7 MOD 3", Value::long_(1)},
      {"-7 MOD 3", Value::long_(-1)},             {"7 / 2", Value::double_(3.5)},
      {"2147483647 + 1", Value::double_(2147483648.0)},
      {"'a' + 'b'", Value::text("ab")},           {"1 & 2", Value::text("12")},
      {"-(3)", Value::long_(-3)},                 {"#10/10/2010# + 1", Value::date(40462)},
      {"#10/11/2010# - #10/10/2010#", Value::double_(1)},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(evalText(text, r), value) << text;
  EXPECT_FALSE(meets("NOT (n = 1)", r));
}

TEST(SqlEval, TypeMismatch) {
  const Row r{{"DXCC", Value::long_(85)}, {"prefix", Value::text("PJ0")}, {"T", Value::date(40461)}};
  const std::pair<const char*, int> cases[] = {
      {"DXCC = '85'", 3464},    {"prefix = 85", 3464}, {"T = 'tomorrow'", 3464}, {"prefix + 1 = 2", 3464},
      {"missing = 1", 3265},    {"DXCC / 0 = 1", 11},  {"prefix LIKE '[A-'", 93},
  };
  for (const auto& [criterion, number] : cases) EXPECT_EQ(errorOf(criterion, r), number) << criterion;
  EXPECT_TRUE(meets("T = '10/10/2010'", r));  // text that reads as a date compares as one
}

TEST(SqlEval, Like) {
  struct Case { const char* text; const char* pattern; bool matches; };
  const Case cases[] = {
      {"PJ0", "pj*", true},        {"PJ0", "PJ#", true},          {"PJA", "PJ#", false},
      {"PJ0", "P?0", true},        {"PJ0", "P?", false},          {"", "*", true},
      {"", "?", false},            {"VP2E", "VP2[EMV]", true},    {"VP2X", "VP2[EMV]", false},
      {"VP2X", "VP2[!EMV]", true}, {"K7", "[a-z]#", true},        {"a*b", "a[*]b", true},
      {"axb", "a[*]b", false},     {"abcabcabd", "*abd", true},   {"abXcdYef", "ab*cd*ef", true},
      {"abXcdYeg", "ab*cd*ef", false},
      {"\xC3\x89TAT", "\xC3\xA9tat", true},  // Latin-1 letters ignore case too
      {"\xC3\xA9", "?", true},                // one character, two bytes
  };
  for (const Case& c : cases) EXPECT_EQ(likeMatch(c.text, c.pattern), c.matches) << c.text << " LIKE " << c.pattern;

  const Row r{{"call", Value::text("PJ2T")}, {"n", Value::long_(123)}, {"z", Value::null()}};
  EXPECT_TRUE(meets("call LIKE 'PJ*'", r));
  EXPECT_TRUE(meets("call NOT LIKE 'K*'", r));
  EXPECT_TRUE(meets("n LIKE '1#3'", r));  // numbers match as their text
  EXPECT_TRUE(evalText("z LIKE '*'", r).isNull());
}

TEST(SqlEval, CompareValuesForOrderBy) {
  EXPECT_LT(compareValues(Value::null(), Value::long_(-5)), 0);
  EXPECT_EQ(compareValues(Value::null(), Value::null()), 0);
  EXPECT_LT(compareValues(Value::integer(2), Value::double_(10)), 0);
  EXPECT_GT(compareValues(Value::long_(0), Value::boolean(true)), 0);  // True is -1
  EXPECT_EQ(compareValues(Value::text("abc"), Value::text("ABC")), 0);
  // Accented letters sort among their base letters, after the plain one, as index keys order them.
  EXPECT_GT(compareValues(Value::text("Z"), Value::text("\xC3\xA9")), 0);
  EXPECT_LT(compareValues(Value::text("e"), Value::text("\xC3\xA9")), 0);
  EXPECT_LT(compareValues(Value::text("\xC3\xA9"), Value::text("f")), 0);
  EXPECT_LT(compareValues(Value::text("ab"), Value::text("abc")), 0);
  EXPECT_LT(compareValues(Value::long_(999), Value::text("1")), 0);  // kinds never mix in one column
  EXPECT_LT(compareValues(Value::currency(-1), Value::currency(0)), 0);
}

}  // namespace
