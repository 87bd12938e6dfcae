// The field properties Access keeps for a column (in the table's LvProp in MSysObjects): Required,
// AllowZeroLength and DefaultValue. The engine refuses what the first two refuse, for every
// program that writes; SQL and record sets start a new row with the defaults.
#include <gtest/gtest.h>

#include "db/action_query.h"
#include "db/connection.h"
#include "db/default_values.h"
#include "db/recordset.h"
#include "db/table_recordset.h"
#include "jet/database/database.h"
#include "../jet/jet_test_support.h"
#include "../error_number.h"

namespace jet {
namespace {

using testing_support::errorNumber;

// linq2db's file (Jet 4): Person's FirstName, LastName and Gender are Required; DataTypeTest's
// number and money columns have DefaultValue 0.
TEST(FieldProperties, RequiredAndDefaultValueApplyToAddedRows) {
  testing::ScratchDir dir;
  const std::string path = dir.copy(testing::fixturePath("access-made/linq2db--linq2db--TestData.mdb"), "l.mdb");
  const std::string before = testing::readFile(path);
  {
    Database db(path, Database::Mode::ReadWrite);
    EXPECT_EQ(errorNumber([&] { db::executeStatement(db, "INSERT INTO Person (LastName, Gender) VALUES ('NoFirst', 'M')"); }),
              err::kValueRequired);
    EXPECT_EQ(errorNumber([&] { db::executeStatement(db, "UPDATE Person SET FirstName = Null"); }), err::kValueRequired);
    db.close();
  }
  EXPECT_TRUE(testing::readFile(path) == before);

  db::Connection c(path);
  db::executeStatement(c.engine(), "INSERT INTO DataTypeTest (String_) VALUES ('d')");
  auto d = c.OpenRecordset("SELECT Int32_, Money_ FROM DataTypeTest WHERE String_ = 'd'");
  EXPECT_EQ(d->getField("Int32_"), Value::long_(0));
  EXPECT_EQ(d->getField("Money_"), Value::currency(0));
  // A record set's new row shows the defaults before it is stored; a column set to Null stays Null.
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
  {
    Database db(path, Database::Mode::ReadWrite);
    EXPECT_EQ(errorNumber([&] { db::executeStatement(db, "INSERT INTO Table1 (A, B) VALUES ('zy', '')"); }), err::kZeroLengthString);
    EXPECT_EQ(errorNumber([&] { db::executeStatement(db, "UPDATE Table1 SET A = ''"); }), err::kZeroLengthString);
    db.close();
  }
  EXPECT_TRUE(testing::readFile(path) == before);
  Database db(path, Database::Mode::ReadWrite);
  db::executeStatement(db, "INSERT INTO Table1 (A) VALUES ('zz')");
  const std::vector<Value> row = db::openRecordset(db, "SELECT * FROM Table1 WHERE A = 'zz'")->currentValues();
  EXPECT_EQ(row, (std::vector<Value>{Value::text("zz"), Value::null(), Value::byte(0), Value::integer(0), Value::long_(0),
                                     Value::double_(0), Value::null(), Value::currency(0), Value::boolean(false)}));
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
