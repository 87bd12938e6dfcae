// The field properties Access keeps for a column (in the table's LvProp in MSysObjects): Required,
// AllowZeroLength and DefaultValue. The engine refuses what the first two refuse, for every
// program that writes; SQL and record sets start a new row with the defaults.
#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/default_values.h"
#include "db/recordset.h"
#include "jet/database/database.h"
#include "../jet/jet_test_support.h"
#include "../error_number.h"

namespace jet {
namespace {

using testing::shellQuote;

std::string jetSql(const std::string& path, const std::string& statements, int* status) {
  return testing::runCommand(std::string(TARNLOG_JET_TOOL) + " sql " + shellQuote(path) + " " + statements + " 2>&1", status);
}

// linq2db's file (Jet 4): Person's FirstName, LastName and Gender are Required; DataTypeTest's
// number and money columns have DefaultValue 0.
TEST(FieldProperties, RequiredAndDefaultValueApplyToAddedRows) {
  testing::ScratchDir dir;
  const std::string path = dir.copy(testing::fixturePath("access-made/linq2db--linq2db--TestData.mdb"), "l.mdb");
  const std::string before = testing::readFile(path);
  int status = 0;
  std::string out = jetSql(path, "\"INSERT INTO Person (LastName, Gender) VALUES ('NoFirst', 'M')\"", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("error 3314"), std::string::npos) << out;
  out = jetSql(path, "\"UPDATE Person SET FirstName = Null\"", &status);
  EXPECT_NE(out.find("error 3314"), std::string::npos) << out;
  EXPECT_TRUE(testing::readFile(path) == before);

  out = jetSql(path, "\"INSERT INTO DataTypeTest (String_) VALUES ('d')\" \"SELECT Int32_, Money_ FROM DataTypeTest WHERE String_ = 'd'\"",
               &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "1\nInt32_,Money_\n0,0.0000\n");

  // A record set's new row shows the defaults before it is stored; a column set to Null stays Null.
  db::Connection c(path);
  auto rs = c.OpenRecordset("DataTypeTest");
  rs->AddNew();
  EXPECT_EQ(rs->getField("Int32_"), Value::long_(0));
  rs->setField("Money_", Value::null());
  rs->setField("String_", Value::text("e"));
  rs->Update();
  auto added = c.OpenRecordset("SELECT * FROM DataTypeTest WHERE String_ = 'e'");
  EXPECT_EQ(added->getField("Int32_"), Value::long_(0));
  EXPECT_TRUE(added->getField("Money_").isNull());
}

// An Access 97 file's block ("KKD"): Table1's A and B refuse "", C to F and H default to 0.
TEST(FieldProperties, Access97BlocksAndZeroLengthText) {
  testing::ScratchDir dir;
  const std::string path = dir.copy(testing::fixturePath("access-made/testV1997.mdb"), "v.mdb");
  const std::string before = testing::readFile(path);
  int status = 0;
  std::string out = jetSql(path, "\"INSERT INTO Table1 (A, B) VALUES ('zy', '')\"", &status);
  EXPECT_NE(out.find("error 3315"), std::string::npos) << out;
  out = jetSql(path, "\"UPDATE Table1 SET A = ''\"", &status);
  EXPECT_NE(out.find("error 3315"), std::string::npos) << out;
  EXPECT_TRUE(testing::readFile(path) == before);
  out = jetSql(path, "\"INSERT INTO Table1 (A) VALUES ('zz')\" \"SELECT * FROM Table1 WHERE A = 'zz'\"", &status);
  EXPECT_EQ(out, "1\nA,B,C,D,E,F,G,H,I\n\"zz\",,0,0,0,0,,0.0000,0\n");
}

// The default expressions Access files hold, worked out for the column's type, or none.
TEST(FieldProperties, DefaultExpressions) {
  auto of = [](ColumnType type, const char* text) {
    Column c;
    c.type = type;
    c.size = type == ColumnType::Text ? 100 : 4;
    c.defaultValue = text;
    return db::defaultValueOf(c);
  };
  EXPECT_EQ(of(ColumnType::Long, "0"), Value::long_(0));
  EXPECT_EQ(of(ColumnType::Currency, "=1"), Value::currency(10000));
  EXPECT_EQ(of(ColumnType::Boolean, "=No"), Value::boolean(false));
  EXPECT_EQ(of(ColumnType::Boolean, "Yes"), Value::boolean(true));
  EXPECT_EQ(of(ColumnType::Text, "\"\""), Value::text(""));
  EXPECT_EQ(of(ColumnType::Text, "\"PJ\" & \"7\""), Value::text("PJ7"));
  EXPECT_EQ(of(ColumnType::Double, "-1.5"), Value::double_(-1.5));
  EXPECT_EQ(of(ColumnType::DateTime, "#1/1/2000#")->d, 36526.0);
  const std::optional<Value> today = of(ColumnType::DateTime, "=Date()");
  ASSERT_TRUE(today);
  EXPECT_EQ(today->d, double(int64_t(today->d)));  // midnight
  EXPECT_GT(today->d, 46000.0);                    // 2025 or later
  EXPECT_FALSE(of(ColumnType::Guid, "GenGUID()"));  // a function not worked out here
  EXPECT_FALSE(of(ColumnType::Long, "\"x\""));      // text that is no number
  EXPECT_FALSE(of(ColumnType::Long, ""));
}

}  // namespace
}  // namespace jet
