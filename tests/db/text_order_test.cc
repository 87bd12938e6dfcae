// Text in ORDER BY and in <, >, BETWEEN follows the database's sort order, the order of the
// text's index keys: accented letters with their base letter, a hyphen counted after the letters.

#include <gtest/gtest.h>

#include "../jet/jet_test_support.h"

namespace {

using jet::testing::shellQuote;

std::string firstColumn(const std::string& csv) {
  std::string out;
  for (const auto& row : jet::testing::parseCsv(csv)) out += row.at(0).text + "|";
  return out;
}

TEST(TextOrder, OrderByAndComparisonsFollowTheIndexOrder) {
  jet::testing::ScratchDir dir;
  const std::string jet = std::string(TARNLOG_JET_TOOL);
  const std::string path = dir.copy(jet::testing::fixturePath("access-made/testV2000.mdb"), "t.mdb");
  std::string insert;
  for (const char* a : {"\xC3\x84rger", "Bob", "co-op", "coop"}) insert += " " + shellQuote(std::string("INSERT INTO Table1 (A) VALUES ('") + a + "')");
  int status = 0;
  jet::testing::runCommand(jet + " sql " + shellQuote(path) + insert, &status);
  ASSERT_EQ(status, 0);
  const std::string byIndex = firstColumn(jet::testing::runCommand(jet + " export " + shellQuote(path) + " Table1 --index PrimaryKey"));
  ASSERT_EQ(byIndex, "A|a|abcdefg|\xC3\x84rger|Bob|coop|co-op|");
  EXPECT_EQ(firstColumn(jet::testing::runCommand(jet + " sql " + shellQuote(path) + " 'SELECT A FROM Table1 ORDER BY A'")), byIndex);
  EXPECT_EQ(firstColumn(jet::testing::runCommand(jet + " sql " + shellQuote(path) + " \"SELECT A FROM Table1 WHERE A > 'b' ORDER BY A\"")),
            "A|Bob|coop|co-op|");
}

}  // namespace
