// Reading every fixture: rows against mdbtools' export, and the check (which walks every index) clean;
// Access 97 text in the code pages of other countries.
// The files made by Access itself are the ground truth for what the reader must return.

#include <gtest/gtest.h>

#include "jet/base/bytes.h"
#include "jet/format/code_page.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/format/header.h"
#include "jet/check/integrity_check.h"
#include "jet/write/table_writer.h"
#include "jet_test_support.h"

namespace jet {
namespace {

// Every table reads as mdbtools reads it, and every fixture passes our check.
TEST(Reading, EveryTableMatchesMdbtoolsAndEveryFixturePassesTheCheck) {
  int tables = 0;
  for (const auto& path : testing::fixtureDatabases()) {
    Database db(path, Database::Mode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{}) << path;
    for (const auto& name : db.tableNames(true)) {
      EXPECT_EQ(testing::mdbtoolsRowDifferences(db, name), std::vector<std::string>{}) << path << " / " << name;
      ++tables;
    }
  }
  EXPECT_GT(tables, 50);
}

// Access 97 text is in its file's code page: each is read and written byte for byte as Windows has
// it. Keys are built only for code page 1252: text for an index elsewhere is refused, naming the
// code page, and leaves the file as it was. A header without a code page leaves it to the sort
// order's locale.
TEST(Reading, Access97TextInItsFileCodePage) {
  testing::ScratchDir dir;
  const std::string made = dir.path() + "/made.mdb";
  testing::runCommand(std::string(TARNLOG_JET_TOOL) + " create --format 97 " + testing::shellQuote(made) +
                      " 'CREATE TABLE T (ID LONG, Name TEXT(30), Word TEXT(30))' 'CREATE INDEX Word ON T (Word)'");
  const struct {
    uint16_t codePage;
    const char* text;
    const char* bytes;
  } cases[] = {
      {1250, "\u0141\u00F3d\u017A", "a3f3649f"},
      {1251, "\u041F\u0440\u0438\u0432\u0435\u0442", "cff0e8e2e5f2"},
      {1253, "\u039A\u03B1\u03BB\u03AE", "cae1ebde"},
      {1254, "ba\u015Fvuran ki\u015Fi", "6261fe767572616e206b69fe69"},
      {1255, "\u05E9\u05DC\u05D5\u05DD", "f9ece5ed"},
      {1256, "\u0645\u0631\u062D\u0628\u0627", "e3d1cdc8c7"},
      {1257, "\u0136\u0113\u0137is", "cde7ed6973"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    const std::string path = dir.copy(made, std::to_string(c.codePage) + ".mdb");
    std::string bytes = testing::readFile(path);
    std::string header = unmaskHeader(bytes.substr(0, 2048), false);
    put16(reinterpret_cast<uint8_t*>(header.data()) + 0x3C, c.codePage);
    bytes.replace(0, 2048, unmaskHeader(header, false));
    testing::writeFile(path, bytes);
    {
      Database db(path, Database::Mode::ReadWrite);
      Table& t = db.table("T");
      TableWriter w(db, t);
      const RowId id = w.insert({Value::long_(1), Value::text(c.text), Value::null()});
      EXPECT_EQ(t.readRow(id).at(1).s, c.text);
      try {
        w.insert({Value::long_(2), Value::null(), Value::text(c.text)});
        ADD_FAILURE() << "an index key was built for code page " << c.codePage;
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::kNotSupported);
        EXPECT_NE(std::string(e.what()).find("code page " + std::to_string(c.codePage)), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("Nothing was written"), std::string::npos) << e.what();
      }
      EXPECT_EQ(t.rowIds().size(), 1u);
      EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
      db.close();  // the log carried into the file
    }
    EXPECT_NE(testing::readFile(path).find(testing::unhex(c.bytes)), std::string::npos) << "not stored in the code page";
    Database again(path, Database::Mode::ReadOnly);
    EXPECT_EQ(again.table("T").readRow(again.table("T").rowIds().at(0)).at(1).s, c.text);
  }
  EXPECT_EQ(textCodePage(0, 0, 1055), 1254);   // Turkish
  EXPECT_EQ(textCodePage(0, 1252, 1049), 1252);
  EXPECT_EQ(textCodePage(1251, 1252, 1033), 1251);
}

}  // namespace
}  // namespace jet
