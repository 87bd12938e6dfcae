// Text in ORDER BY and in <, >, BETWEEN follows the database's sort order, the order of the
// text's index keys: accented letters with their base letter, a hyphen counted after the letters.
#include <gtest/gtest.h>

#include "../jet/jet_test_support.h"
#include "db/action_query.h"
#include "db/table_recordset.h"
#include "jet/database/database.h"
#include "jet/index/index_tree.h"

namespace {

std::string column(db::Recordset& rs, const char* name) {
  std::string out;
  for (; !rs.Eof(); rs.MoveNext()) out += rs.getField(name).s + "|";
  return out;
}

TEST(TextOrder, OrderByAndComparisonsFollowTheIndexOrder) {
  jet::testing::ScratchDir dir;
  const std::string path = dir.copy(jet::testing::fixturePath("access-made/testV2000.mdb"), "t.mdb");
  jet::Database db(path, jet::Database::Mode::ReadWrite);
  for (const char* a : {"\xC3\x84rger", "Bob", "co-op", "coop"}) {
    db::executeStatement(db, std::string("INSERT INTO Table1 (A) VALUES ('") + a + "')");
  }
  // The order of Access's own primary key on A.
  jet::Table& t = db.table("Table1");
  const jet::LogicalIndex* pk = t.def().findIndex("PrimaryKey");
  ASSERT_TRUE(pk);
  std::string byIndex;
  jet::walkIndex(db.file(), db.format(), t.def().realIndexes[pk->realIndex].rootPage, "", [&](const jet::IndexEntry& e) {
    byIndex += t.readRow(e.row)[0].s + "|";
    return true;
  });
  ASSERT_EQ(byIndex, "a|abcdefg|\xC3\x84rger|Bob|coop|co-op|");
  EXPECT_EQ(column(*db::openRecordset(db, "SELECT A FROM Table1 ORDER BY A"), "A"), byIndex);
  EXPECT_EQ(column(*db::openRecordset(db, "SELECT A FROM Table1 WHERE A > 'b' ORDER BY A"), "A"), "Bob|coop|co-op|");
  EXPECT_EQ(column(*db::openRecordset(db, "SELECT A FROM Table1 WHERE A BETWEEN 'A' AND 'B' ORDER BY A DESC"), "A"),
            "\xC3\x84rger|abcdefg|a|");
}

}  // namespace
