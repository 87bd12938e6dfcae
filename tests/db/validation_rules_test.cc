// Validation rules: how a column's rule reads (its parts about the column itself), which values
// it refuses and with what error, and that every way of writing a row meets the rules a table's
// properties hold, leaving the file as it was when one refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "../error_number.h"
#include "../jet/jet_test_support.h"
#include "db/action_query.h"
#include "db/connection.h"
#include "db/jet_date.h"
#include "db/recordset.h"
#include "db/sql_functions.h"
#include "db/validation_rules.h"
#include "jet/database/database.h"
#include "jet/write/table_writer.h"

namespace db {
namespace {

using jet::Value;
using testing_support::errorNumber;

// Table T of columns A and B; A has `rule`.
jet::TableDef tableWithRule(const std::string& rule, std::optional<std::string> text = std::nullopt) {
  jet::TableDef def;
  def.name = "T";
  def.columns.resize(2);
  def.columns[0].name = "A";
  def.columns[0].validationRule = rule;
  def.columns[0].validationText = std::move(text);
  def.columns[1].name = "B";
  return def;
}

// The error number storing `a` in A meets: 0 when the rule lets it through.
int storing(const jet::TableDef& def, const Value& a) {
  return errorNumber([&] { checkValidationRules(def, {a, std::nullopt}, [&](size_t i) { return i == 0 ? a : Value::null(); }); });
}

Value day(const char* text) { return Value::date(*parseJetDate(text)); }

TEST(ValidationRules, ColumnRulesAreAboutTheirColumn) {
  const Value none = Value::null();
  const double today = sql::localNow(false);
  struct Case {
    const char* rule;
    Value value;
    bool passes;
  };
  const std::vector<Case> cases = {
      {">0", Value::long_(5), true},
      {">0", Value::long_(0), false},
      {">0", none, true},  // a Null passes a rule that does not name Null
      {"Is Not Null", none, false},
      {"Is Not Null", Value::long_(0), true},
      {"Between 0 And 1", Value::double_(0.5), true},
      {"Between 0 And 1", Value::long_(2), false},
      {">=0 And <=100", Value::long_(100), true},
      {">=0 And <=100", Value::long_(-1), false},
      {"0 Or >100", Value::long_(0), true},  // a value alone: the column equals it
      {"0 Or >100", Value::long_(50), false},
      {"0 Or >100", Value::long_(101), true},
      {"=True And Not True", Value::boolean(false), false},  // [A] = True And [A] <> True
      {"=(True And Not True)", Value::boolean(false), true},  // the parentheses make one value
      {"Not 'myself'", Value::text("myself"), false},
      {"Not 'myself'", Value::text("you"), true},
      {"In ('NA', 'SA')", Value::text("sa"), true},  // text compares ignoring case
      {"In ('NA', 'SA')", Value::text("EU"), false},
      {"Not In ('NA', 'SA')", Value::text("EU"), true},
      {"Like 'PJ*'", Value::text("PJ2T"), true},
      {"Like 'PJ*'", Value::text("KP2"), false},
      {"<Date()", day("1/1/2000"), true},
      {"<Date()", Value::date(today + 1), false},
      {">=#1/1/2004# And <#1/1/2005#", day("6/30/2004"), true},
      {">=#1/1/2004# And <#1/1/2005#", day("1/1/2005"), false},
      {"Len([A]) > 3", Value::text("PJ2T"), true},  // a whole expression naming the column
      {"Len([A]) > 3", Value::text("PJ2"), false},
      {"Len(Trim(A)) = 2", Value::text("  NA "), true},
      {"Left([A], 2) = 'PJ' And Mid([A], 3, 1) In ('2', '4')", Value::text("PJ4A"), true},
      {"Left([A], 2) = 'PJ' And Mid([A], 3, 1) In ('2', '4')", Value::text("PJ7A"), false},
      {"Year([A]) >= 2010", day("10/10/2010"), true},
      {"Year([A]) >= 2010", day("12/31/2009"), false},
  };
  for (const Case& c : cases) {
    const int got = storing(tableWithRule(c.rule), c.value);
    EXPECT_EQ(got, c.passes ? 0 : jet::err::kValidationRule) << c.rule;
  }
}

TEST(ValidationRules, RefusalsSayWhyAndUnknownFunctionsStopTheWrite) {
  try {
    checkValidationRules(tableWithRule(">0"), {Value::long_(0), std::nullopt}, [](size_t) { return Value::null(); });
    ADD_FAILURE() << "0 passed >0";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::err::kValidationRule);
    EXPECT_EQ(e.description(), "One or more values are prohibited by the validation rule '>0' set for 'T.A'. "
                               "Enter a value that the expression for this field can accept.");
  }
  try {
    checkValidationRules(tableWithRule(">0", "Must be positive."), {Value::long_(-3), std::nullopt},
                         [](size_t) { return Value::null(); });
    ADD_FAILURE() << "-3 passed >0";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::err::kValidationText);
    EXPECT_EQ(e.description(), "Must be positive.");
  }
  // A rule this engine cannot work out refuses the write rather than let it through unchecked.
  try {
    checkValidationRules(tableWithRule("StrConv([A], 1) = 'X'"), {Value::text("x"), std::nullopt},
                         [](size_t) { return Value::null(); });
    ADD_FAILURE() << "an unknown function passed";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::err::kUndefinedFunction);
    EXPECT_NE(e.description().find("'StrConv([A], 1) = 'X'' set for 'T.A'"), std::string::npos) << e.description();
  }
  // A column's rule checks only a value given to it; the table's rule checks the row as stored.
  jet::TableDef def = tableWithRule(">0");
  EXPECT_EQ(errorNumber([&] { checkValidationRules(def, {std::nullopt, Value::long_(1)}, [](size_t) { return Value::long_(0); }); }), 0);
  def.validationRule = "[A] < [B]";
  const std::vector<Value> row = {Value::long_(5), Value::long_(3)};
  EXPECT_EQ(errorNumber([&] { checkValidationRules(def, {std::nullopt, row[1]}, [&](size_t i) { return row[i]; }); }),
            jet::err::kValidationRule);
}

// A Jet 4 property block, laid out as Access writes one (rules as Memo, their messages as Text,
// both flagged 1): `rules` are (owner, property, value); the owner "" is the table itself.
std::string propertyBlock(const std::string& table,
                          const std::vector<std::tuple<std::string, std::string, std::string>>& rules) {
  auto u16 = [](std::string& s, size_t v) { s += char(v & 0xFF), s += char((v >> 8) & 0xFF); };
  auto u32 = [&](std::string& s, size_t v) { u16(s, v & 0xFFFF), u16(s, v >> 16); };
  auto wide = [](const std::string& ascii) {
    std::string w;
    for (char c : ascii) w += c, w += '\0';
    return w;
  };
  auto chunk = [&](uint16_t kind, const std::string& body) {
    std::string c;
    u32(c, body.size() + 6);
    u16(c, kind);
    return c + body;
  };
  const std::vector<std::string> names = {"ValidationRule", "ValidationText"};
  std::string nameList;
  for (const std::string& n : names) u16(nameList, wide(n).size()), nameList += wide(n);
  std::string block = std::string("MR2\0", 4) + chunk(0x80, nameList);
  std::vector<std::string> owners;
  for (const auto& [owner, property, value] : rules) {
    if (std::find(owners.begin(), owners.end(), owner) == owners.end()) owners.push_back(owner);
  }
  for (const std::string& owner : owners) {
    const std::string name = wide(owner.empty() ? table : owner);
    std::string body;
    u32(body, 6 + name.size());
    u16(body, name.size());
    body += name;
    for (const auto& [o, property, value] : rules) {
      if (o != owner) continue;
      const std::string v = wide(value);
      const bool rule = property == "ValidationRule";
      u16(body, 8 + v.size());
      body += char(1);
      body += char(rule ? 12 : 10);
      u16(body, rule ? 0 : 1);
      u16(body, v.size());
      body += v;
    }
    block += chunk(owner.empty() ? 0x00 : 0x01, body);
  }
  return block;
}

// Stores `block` as the table's properties, through the engine's own writer.
void setProperties(const std::string& path, const std::string& table, const std::string& block) {
  jet::Database db(path, jet::Database::Mode::ReadWrite);
  jet::Table& objects = db.table("MSysObjects");
  const size_t name = size_t(objects.columnIndex("Name")), type = size_t(objects.columnIndex("Type")),
               props = size_t(objects.columnIndex("LvProp"));
  for (jet::RowId id : objects.rowIds()) {
    if (objects.readField(id, name) != Value::text(table) || objects.readField(id, type).i != 1) continue;
    std::vector<std::optional<Value>> changes(objects.def().columns.size());
    changes[props] = Value::binary(block);
    jet::TableWriter(db, objects).update(id, std::move(changes));
    db.close();
    return;
  }
  FAIL() << "no table " << table;
}

TEST(ValidationRules, EveryWriteMeetsTheRulesInTheFile) {
  jet::testing::ScratchDir dir;
  const std::string path = dir.copy(jet::testing::fixturePath("jet4/logbook.mdb"), "logbook.mdb");
  setProperties(path, "MainLog",
                propertyBlock("MainLog", {{"DXCC", "ValidationRule", ">0 And <1000"},
                                          {"DXCC", "ValidationText", "DXCC entities are numbered 1 to 999."},
                                          {"Continent", "ValidationRule", "In ('AF','AN','AS','EU','NA','OC','SA')"},
                                          {"", "ValidationRule", "[Time_End] >= [Time_Start] Or [Time_End] Is Null"}}));
  const std::string before = jet::testing::readFile(path);
  Connection c(path);
  jet::Database& db = c.engine();
  auto refusal = [&](const std::string& sql) {
    try {
      executeStatement(db, sql);
    } catch (const jet::Error& e) {
      return std::to_string(e.number()) + " " + e.description();
    }
    return std::string("stored");
  };
  EXPECT_EQ(refusal("UPDATE MainLog SET DXCC = 1000 WHERE DXCC = 85"), "3316 DXCC entities are numbered 1 to 999.");
  EXPECT_EQ(refusal("INSERT INTO MainLog ([Call], Continent) VALUES ('PJ2T', 'XX')"),
            "3317 One or more values are prohibited by the validation rule 'In ('AF','AN','AS','EU','NA','OC','SA')' set "
            "for 'MainLog.Continent'. Enter a value that the expression for this field can accept.");
  EXPECT_EQ(refusal("UPDATE MainLog SET Time_End = #1/1/1990#"),
            "3317 One or more values are prohibited by the validation rule '[Time_End] >= [Time_Start] Or [Time_End] Is "
            "Null' set for 'MainLog'. Enter a value that the expression for this field can accept.");
  {
    auto rs = c.OpenRecordset("SELECT * FROM MainLog WHERE DXCC = 85");
    ASSERT_FALSE(rs->Eof());
    rs->Edit();
    rs->setField("DXCC", Value::long_(0));
    EXPECT_EQ(errorNumber([&] { rs->Update(); }), jet::err::kValidationText);
    rs->AddNew();
    rs->setField("Continent", Value::text("ZZ"));
    EXPECT_EQ(errorNumber([&] { rs->Update(); }), jet::err::kValidationRule);
  }
  db.close();
  EXPECT_TRUE(jet::testing::readFile(path) == before) << "a refused write changed the file";

  // What meets the rules goes in: the new entities, a Null continent, a change of other columns.
  Connection again(path);
  EXPECT_GT(executeStatement(again.engine(), "UPDATE MainLog SET DXCC = 517, Continent = 'sa' WHERE DXCC = 85"), 0);
  EXPECT_EQ(executeStatement(again.engine(), "INSERT INTO MainLog ([Call], Continent) VALUES ('PJ4A', Null)"), 1);
  EXPECT_GT(executeStatement(again.engine(), "UPDATE MainLog SET Comment = 'checked' WHERE DXCC = 255"), 0);
}

}  // namespace
}  // namespace db
