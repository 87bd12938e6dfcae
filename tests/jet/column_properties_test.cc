// The column rules read from a table's property block: what Access stored for Person in
// linq2db's file, and the same block cut short or damaged anywhere, which must never stop a read.
#include "jet/format/column_properties.h"

#include <gtest/gtest.h>

#include "jet/database/database.h"
#include "jet/format/text_codec.h"
#include "jet_test_support.h"

namespace jet {
namespace {

TEST(ColumnProperties, ReadsAccessBlocksAndSurvivesDamagedOnes) {
  Database db(testing::fixturePath("access-made/linq2db--linq2db--TestData.mdb"), Database::Mode::ReadOnly);
  std::string block;
  for (const CatalogEntry& e : db.catalog()) if (e.isTable() && e.name == "Person") block = e.properties;
  ASSERT_FALSE(block.empty());
  const auto rules = readColumnRules(Bytes(std::string_view(block)), db.format(), db.header().codePage);
  ASSERT_EQ(rules.size(), 3u);
  for (const char* name : {"FirstName", "LastName", "Gender"}) {
    ASSERT_TRUE(rules.count(foldCase(name))) << name;
    EXPECT_TRUE(rules.at(foldCase(name)).required) << name;
    EXPECT_FALSE(rules.at(foldCase(name)).defaultValue) << name;
  }
  // Cut short at every length, or with any one byte changed: never a read past the block, and
  // never a rule the block does not hold (a cut keeps a prefix of what was read).
  for (size_t n = 0; n < block.size(); ++n) {
    const std::string cut = block.substr(0, n);
    for (const auto& [name, r] : readColumnRules(Bytes(std::string_view(cut)), db.format(), db.header().codePage)) {
      EXPECT_TRUE(rules.count(name)) << n;
      EXPECT_FALSE(r.noZeroLength) << n;
    }
    for (int flip : {0x01, 0x80, 0xFF}) {
      std::string bent = block;
      bent[n] = char(bent[n] ^ flip);
      readColumnRules(Bytes(std::string_view(bent)), db.format(), db.header().codePage);
    }
  }
  // A Jet 3 reading of a Jet 4 block finds nothing.
  EXPECT_TRUE(readColumnRules(Bytes(std::string_view(block)), kJet3, 1252).empty());
}

}  // namespace
}  // namespace jet
