// The field properties Access keeps for a column (in the table's LvProp in MSysObjects): Required
// and DefaultValue, which the engine applies to every row added, whatever program adds it.
//
// Disabled: the engine does not read these properties, so rows that Access refuses go in, and
// rows added without a column lack the value Access gives them. In linq2db's file (mdb-prop shows
// "Person" / FirstName "Required: yes", and "DataTypeTest" / Int32_ and Money_ "DefaultValue: 0"):
//   cp tests/fixtures/access-made/linq2db--linq2db--TestData.mdb /tmp/l.mdb
//   jet sql /tmp/l.mdb "INSERT INTO Person (LastName, Gender) VALUES ('NoFirst', 'M')"
//     -> prints 1 and adds the row; Access refuses it with 3314 (a value is required in
//        'Person.FirstName') and writes nothing
//   jet sql /tmp/l.mdb "INSERT INTO DataTypeTest (String_) VALUES ('d')"
//     -> the new row has Int32_ and Money_ empty; Access stores 0 in both, their default values
// Access's table designer gives every new Number and Currency column "DefaultValue: 0", so most
// Access-made tables have such columns.

#include <gtest/gtest.h>

#include "jet/database/database.h"
#include "jet_test_support.h"

namespace jet {
namespace {

using testing::shellQuote;

TEST(FieldProperties, DISABLED_RequiredAndDefaultValueApplyToAddedRows) {
  testing::ScratchDir dir;
  const std::string jet = std::string(TARNLOG_JET_TOOL);
  const std::string path = dir.copy(testing::fixturePath("access-made/linq2db--linq2db--TestData.mdb"), "l.mdb");
  const std::string before = testing::readFile(path);
  int status = 0;
  std::string out = testing::runCommand(
      jet + " sql " + shellQuote(path) + " \"INSERT INTO Person (LastName, Gender) VALUES ('NoFirst', 'M')\" 2>&1", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("error 3314"), std::string::npos) << out;
  EXPECT_TRUE(testing::readFile(path) == before);

  out = testing::runCommand(jet + " sql " + shellQuote(path) + " \"INSERT INTO DataTypeTest (String_) VALUES ('d')\"" +
                                " \"SELECT Int32_, Money_ FROM DataTypeTest WHERE String_ = 'd'\" 2>&1",
                            &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "1\nInt32_,Money_\n0,0.0000\n");
}

}  // namespace
}  // namespace jet
