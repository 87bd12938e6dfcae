// The consistency check: clean files pass, and each kind of damage it looks for is reported.
// Damage is made by patching single values in scratch copies of the Jet 4 fixtures.

#include "jet/check/integrity_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "jet/base/bytes.h"
#include "jet/database/database.h"
#include "jet/index/index_page.h"
#include "jet/write/table_writer.h"
#include "jet/format/usage_map.h"
#include "jet_test_support.h"
#include "../independent_reader.h"

namespace jet {
namespace {

using testing_support::integrityProblems;

void patch32(const std::string& path, uint64_t offset, uint32_t value) {
  std::string bytes(4, '\0');
  put32(reinterpret_cast<uint8_t*>(bytes.data()), value);
  testing::patchFile(path, offset, bytes);
}

bool has(const std::string& all, const std::string& part) { return all.find(part) != std::string::npos; }

class IntegrityCheck : public ::testing::Test {
 protected:
  testing::ScratchDir dir;
};

// A value changed under its index entry, and two entries that trade rows: they keep every key
// and every row of the index, but pair them wrongly.
TEST_F(IntegrityCheck, KeysThatNoLongerMatchTheirRowsAreReported) {
  const std::string changed = dir.copy(testing::fixturePath("jet4/bandplan.mdb"), "changed.mdb");
  const std::string traded = dir.copy(testing::fixturePath("jet4/bandplan.mdb"), "traded.mdb");
  RowId a, b;
  {
    Database db(changed, Database::Mode::ReadOnly);
    Table& t = db.table("plink");
    const RowId row = t.rowIds().at(0);
    PageRef pg = db.file().read(row.page);
    RowSlot s = DataPage(Bytes(pg->data(), pg->size()), db.format()).slot(row.row);
    patch32(changed, uint64_t(row.page) * 4096 + s.start + 2 + t.def().findColumn("plink")->fixedOffset, 0x7FFFFFF0);

    const LogicalIndex* li = t.def().findIndex("plink");
    ASSERT_NE(li, nullptr);
    const RealIndex& ri = t.def().realIndexes.at(size_t(li->realIndex));
    IndexNode node = readIndexNode(db.file(), db.format(), ri.rootPage);
    ASSERT_TRUE(node.leaf);
    IndexEntry& first = node.entries.front();
    IndexEntry& last = node.entries.back();
    ASSERT_NE(first.key, last.key);
    a = first.row;
    b = last.row;
    std::swap(first.row, last.row);
    std::string page(4096, '\0');
    ASSERT_TRUE(writeIndexNode(reinterpret_cast<uint8_t*>(page.data()), db.format(), node));
    testing::patchFile(traded, uint64_t(ri.rootPage) * 4096, page);
  }
  std::string problems = integrityProblems(changed);
  EXPECT_TRUE(has(problems, "index 'plink' of table 'plink': the key stored for row")) << problems;
  EXPECT_FALSE(has(problems, "index 'PrimaryKey'")) << problems;
  problems = integrityProblems(traded);
  for (RowId r : {a, b}) {
    const std::string row = std::to_string(r.page) + ":" + std::to_string(r.row);
    EXPECT_TRUE(has(problems, "index 'plink' of table 'plink': the key stored for row " + row + " does not match the row"))
        << problems;
  }
}

TEST_F(IntegrityCheck, BrokenLeafLinkIsReported) {
  std::string path = dir.copy(testing::fixturePath("jet4/logbook.mdb"), "l.mdb");
  uint32_t leaf = 0;
  {
    Database db(path, Database::Mode::ReadOnly);
    const RealIndex& ri = db.table("MainLog").def().realIndexes.at(0);
    IndexNode root = readIndexNode(db.file(), db.format(), ri.rootPage);
    ASSERT_FALSE(root.leaf) << "the primary key of MainLog should span several leaves";
    leaf = root.entries.at(0).child;
  }
  patch32(path, uint64_t(leaf) * 4096 + kJet4.indexNext, 0);
  std::string problems = integrityProblems(path);
  EXPECT_TRUE(has(problems, "on level 1 links to")) << problems;
}

// The check's notes: what Access itself leaves in files it goes on using.
std::vector<std::string> notesOf(const std::string& path) {
  Database db(path, Database::Mode::ReadOnly);
  std::vector<std::string> notes;
  checkDatabase(db, &notes);
  return notes;
}

bool anyHas(const std::vector<std::string>& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return has(l, part); });
}

// A page holding rows of plink that its page map leaves out, or that the database lists as free.
// Left out, its rows are no rows of the table for any reader (Access leaves such pages until a
// compact: a note), but the index still listing them is damage. A page in use that is listed as
// free would be handed out again. (Access leaves old rows on the pages it frees, and
// testPromotionV2000 has such a page and passes.)
TEST_F(IntegrityCheck, PagesTheMapsDisagreeOnAreReported) {
  for (bool listedAsFree : {false, true}) {
    std::string path = dir.copy(testing::fixturePath("jet4/bandplan.mdb"), listedAsFree ? "free.mdb" : "map.mdb");
    uint32_t victim = 0;
    {
      Database db(path, Database::Mode::ReadWrite);
      Table& t = db.table("plink");
      victim = t.dataPages().at(0);
      setUsageMapPage(db.file(), db.format(), listedAsFree ? kFreePageMap : t.def().usedPagesMap, victim, listedAsFree);
      db.file().commit();
    }
    const std::string problems = integrityProblems(path), page = std::to_string(victim);
    if (listedAsFree) {
      EXPECT_TRUE(has(problems, "page " + page + " is used by the rows of table 'plink' but the database lists it as free"))
          << problems;
    } else {
      EXPECT_TRUE(anyHas(notesOf(path), "page " + page + " holds rows of table 'plink' outside its page map")) << problems;
      EXPECT_TRUE(has(problems, "index 'PrimaryKey' of table 'plink' lists row " + page)) << problems;
    }
  }
}

// In a table without an index, only the count tells rows Access let go of from rows the map
// lost: counted, they are damage; not counted, a note.
TEST_F(IntegrityCheck, RowsOutsideTheMapOfATableWithoutIndexes) {
  const std::string path = dir.path() + "/plain.mdb";
  std::string insert = "INSERT INTO T (A, B) VALUES (1, '" + std::string(200, 'x') + "')";
  std::string command = std::string(TARNLOG_JET_TOOL) + " create " + testing::shellQuote(path) + " 'CREATE TABLE T (A LONG, B TEXT(255))'";
  for (int i = 0; i < 40; ++i) command += " " + testing::shellQuote(insert);
  testing::runCommand(command);
  uint32_t victim = 0, tdef = 0;
  {
    Database db(path, Database::Mode::ReadWrite);
    Table& t = db.table("T");
    ASSERT_GT(t.dataPages().size(), 1u);
    victim = t.dataPages().back();
    tdef = t.def().page;
    setUsageMapPage(db.file(), db.format(), t.def().usedPagesMap, victim, false);
    db.file().commit();
  }
  const std::string page = std::to_string(victim);
  EXPECT_TRUE(has(integrityProblems(path), "page " + page + " holds rows of table 'T' that its definition counts but its page map leaves out"));
  const uint32_t mapped = uint32_t(Database(path, Database::Mode::ReadOnly).table("T").rowIds().size());
  patch32(path, uint64_t(tdef) * 4096 + kJet4.tdefRowCount, mapped);
  EXPECT_EQ(integrityProblems(path), "");
  EXPECT_TRUE(anyHas(notesOf(path), "page " + page + " holds rows of table 'T' outside its page map"));
}

// A row count that Access left off (it corrects it when it compacts) is a note, and stays off by
// as much after rows are added and deleted; the tool prints damage, then notes, and fails on
// damage only. (On a sound file it prints "ok": DdlTest.JetToolCreatesADatabaseFromStatements.)
TEST_F(IntegrityCheck, CountsAccessLeavesOffAreNotesThatWritesKeep) {
  int status = -1;
  std::string path = dir.copy(testing::fixturePath("jet4/bandplan.mdb"), "b.mdb");
  const uint32_t page = Database(path, Database::Mode::ReadOnly).table("plinkold").def().page;
  patch32(path, uint64_t(page) * 4096 + kJet4.tdefRowCount, 10);
  const std::string check = std::string(TARNLOG_JET_TOOL) + " check " + testing::shellQuote(path);
  const std::string note = "note: table 'plinkold' counts 10 rows in its definition but holds 20";
  std::string out = testing::runCommand(check, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out.substr(0, 3 + note.size()), "ok\n" + note) << out;
  {
    Database db(path, Database::Mode::ReadWrite);
    Table& t = db.table("plinkold");
    TableWriter w(db, t);
    std::vector<Value> row = t.readRow(t.rowIds().at(0));
    for (int i = 0; i < 3; ++i) w.remove(t.rowIds().at(0));
    row[0] = Value::null();
    w.insert(row);
  }
  out = testing::runCommand(check, &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(has(out, "note: table 'plinkold' counts 8 rows in its definition but holds 18")) << out;
  // Damage comes first and fails the check.
  const RealIndex ri = Database(path, Database::Mode::ReadOnly).table("plinkold").def().realIndexes.at(0);
  patch32(path, uint64_t(ri.rootPage) * 4096 + kJet4.indexNext, 77);
  out = testing::runCommand(check, &status);
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(out.find("index ") == 0 && has(out, "\nnote: table 'plinkold' counts 8")) << out;
}

}  // namespace
}  // namespace jet
