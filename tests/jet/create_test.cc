// Creating databases and tables: our reader, mdbtools and the integrity check must all accept them.
// Every file is made from nothing in a scratch folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "jet/write/create_database.h"
#include "jet/write/create_table.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/check/integrity_check.h"
#include "jet/write/table_writer.h"
#include "jet_test_support.h"
#include "../error_number.h"
#include "../faulty_files.h"

namespace jet {
namespace {

using testing::runCommand;
using testing::shellQuote;
using testing_support::errorNumber;
using testing_support::FaultyFiles;

// The names in a folder, sorted, without the removed files a faulty disk keeps until a folder sync.
std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> out;
  for (auto& e : std::filesystem::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::erase_if(out, [](const std::string& n) { return n.find(".removed-") != std::string::npos; });
  std::sort(out.begin(), out.end());
  return out;
}

TableDesign everyTypeDesign() {
  using T = ColumnType;
  return {"Every Type",
          {{"ID", T::Long, 0, true}, {"Flag", T::Boolean}, {"Small", T::Byte}, {"Count", T::Integer}, {"Total", T::Long},
           {"Price", T::Currency}, {"Ratio", T::Single}, {"Measure", T::Double}, {"When", T::DateTime},
           {"Code", T::Text, 12}, {"Title", T::Text, 255}, {"Notes", T::Memo}, {"Blob", T::Ole}},
          {{"PrimaryKey", {{"ID"}}, true}, {"Code", {{"Code"}}, false, true}, {"Count", {{"Count"}}},
           {"TotalWhen", {{"Total"}, {"When", false}}}, {"MeasureDown", {{"Measure", false}}}}};
}

std::vector<Value> rowFor(int i) {
  std::string notes = i % 3 == 0 ? Value::null().s : std::string(size_t(i % 7) * 40, char('a' + i % 26));
  return {Value::null(), Value::boolean(i % 2 == 0), Value::byte(uint8_t(i % 256)), Value::integer(int16_t(i % 50 - 25)),
          Value::long_(i * 1000), Value::currency(int64_t(i) * 12345), Value::single(float(i) / 4),
          Value::double_(i * 1.5 - 100), Value::date(40000 + i + 0.25), Value::text("C" + std::to_string(1000 + i)),
          i % 5 == 0 ? Value::null() : Value::text("Title number " + std::to_string(i) + " ü"),
          i % 3 == 0 ? Value::null() : Value::text(notes),
          i % 4 == 0 ? Value::null() : Value::binary(std::string(size_t(i % 90), char(i)))};
}

class Create : public ::testing::Test {
 protected:
  // Runs `body` on a new database of each format, Access 2000 then Access 97.
  template <class Body>
  void forEachFormat(Body body) {
    for (const Format* f : {&kJet4, &kJet3}) {
      SCOPED_TRACE(f->jet4 ? "Access 2000" : "Access 97");
      const std::string made = dir.path() + (f->jet4 ? "/new.mdb" : "/new97.mdb");
      createDatabase(made, 44000.5, *f);
      body(*f, made);
    }
  }

  testing::ScratchDir dir;
  std::string path = dir.path() + "/new.mdb";
};

// The system tables of an Access 97 file as Access 97 made them.
std::string systemTableLayout(Database& db, const std::string& name) {
  const TableDef& def = db.table(name).def();
  std::string out;
  for (auto& c : def.columns) {
    out += c.name + " " + std::to_string(int(c.type)) + " " + std::to_string(c.size) + " " + std::to_string(c.flags) + "\n";
  }
  for (auto& li : def.indexes) {
    const RealIndex& ri = def.realIndexes[size_t(li.realIndex)];
    out += li.name + " " + std::to_string(li.type) + " " + std::to_string(ri.flags) + ":";
    for (auto& ic : ri.columns) out += " " + std::to_string(ic.columnNumber) + (ic.ascending ? "" : " desc");
    out += "\n";
  }
  return out;
}

TEST_F(Create, EmptyDatabaseLooksLikeOneAccessMade) {
  forEachFormat([&](const Format& f, const std::string& path) {
    Database db(path, Database::Mode::ReadOnly);
    EXPECT_EQ(db.header().version, f.jet4 ? 1 : 0);
    EXPECT_EQ(db.header().codePage, 1252);
    EXPECT_EQ(db.header().sortOrder, 1033);
    if (f.jet4) {
      EXPECT_EQ(db.header().created, 44000.5);  // Access 97 keeps no date in its header
    } else {
      Database made(testing::fixturePath("access-made/testV1997.mdb"), Database::Mode::ReadOnly);
      for (const char* name : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
        EXPECT_EQ(systemTableLayout(db, name), systemTableLayout(made, name)) << name;
      }
    }
    EXPECT_TRUE(db.tableNames().empty());
    EXPECT_EQ(db.tableNames(true), (std::vector<std::string>{"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}));
    EXPECT_TRUE(checkDatabase(db).empty());

    int status = 0;
    EXPECT_EQ(runCommand("mdb-tables -S -1 " + shellQuote(path), &status), "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n");
    EXPECT_EQ(status, 0);
    std::string catalog = runCommand("mdb-export " + shellQuote(path) + " MSysObjects", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(catalog.find("\"Relationships\",3"), std::string::npos) << catalog;
  });
}

// A table of every type, and one whose definition spans several pages.
TEST_F(Create, TablesOfEveryTypeAndOfManyColumnsReadBackEverywhere) {
  forEachFormat([&](const Format& f, const std::string& path) {
    const int rows = 600;  // enough for several data pages and index splits
    TableDesign wide{"Wide", {}, {}};
    for (int i = 0; i < 150; ++i) wide.columns.push_back({"Column number " + std::to_string(i), ColumnType::Text, 20});
    for (int i = 0; i < 8; ++i) wide.indexes.push_back({"Index " + std::to_string(i), {{"Column number " + std::to_string(i * 3)}}});
    {
      Database db(path, Database::Mode::ReadWrite);
      uint32_t page = createTable(db, everyTypeDesign());
      EXPECT_TRUE(db.hasTable("every type"));
      Table& t = db.table("Every Type");
      EXPECT_EQ(t.def().page, page);
      db.beginBatch();
      for (int i = 1; i <= rows; ++i) TableWriter(db, t).insert(rowFor(i));
      db.endBatch();
      createTable(db, wide);
      EXPECT_GT(db.table("Wide").def().pages.size(), 1u);
      TableWriter(db, db.table("Wide")).insert(std::vector<Value>(150, Value::text("x")));
    }
    Database db(path, Database::Mode::ReadOnly);
    Table& t = db.table("Every Type");
    const TableDef& def = t.def();
    EXPECT_EQ(def.columns[9].compressedText, f.jet4);
    EXPECT_EQ(def.rowCount, uint32_t(rows));
    EXPECT_EQ(def.nextAutoNumber, uint32_t(rows));
    std::vector<RowId> ids = t.rowIds();
    ASSERT_EQ(ids.size(), size_t(rows));
    for (int i = 1; i <= rows; ++i) {
      std::vector<Value> want = rowFor(i);
      want[0] = Value::long_(i);
      EXPECT_EQ(t.readRow(ids[size_t(i - 1)]), want) << "row " << i;
    }
    EXPECT_EQ(db.table("Wide").def().columns.size(), 150u);
    EXPECT_EQ(db.table("Wide").def().indexes.size(), 8u);
    EXPECT_TRUE(checkDatabase(db).empty());

    int status = 0;
    EXPECT_EQ(runCommand("mdb-tables -1 " + shellQuote(path), &status), "Every Type\nWide\n");
    // mdbtools lines columns up with tabs: compare with single spaces.
    std::string schema;
    for (char ch : runCommand("mdb-schema --indexes " + shellQuote(path) + " postgres 2>/dev/null", &status)) {
      if (ch == '\t') ch = ' ';
      if (ch != ' ' || schema.empty() || schema.back() != ' ') schema += ch;
    }
    EXPECT_EQ(status, 0);
    for (const char* expected : {"\"id\" SERIAL", "\"flag\" BOOLEAN", "\"small\" SMALLINT", "\"count\" INTEGER", "\"price\" NUMERIC(15,2)",
                                 "\"ratio\" REAL", "\"measure\" DOUBLE PRECISION", "\"when\" TIMESTAMP", "\"code\" VARCHAR (12)",
                                 "\"notes\" TEXT", "\"blob\" BYTEA", "CREATE UNIQUE INDEX \"every type_code_idx\"",
                                 "(\"total\", \"when\" DESC)", "(\"measure\" DESC)", "PRIMARY KEY (\"id\")"}) {
      EXPECT_NE(schema.find(expected), std::string::npos) << expected << "\n" << schema;
    }
    std::string access = runCommand("mdb-schema " + shellQuote(path) + " 2>/dev/null", &status);
    EXPECT_NE(access.find("[Title]\t\t\tText (255)"), std::string::npos) << access;
    EXPECT_NE(access.find("[Price]\t\t\tCurrency"), std::string::npos) << access;
    for (const char* name : {"Every Type", "Wide"}) EXPECT_EQ(testing::mdbtoolsRowDifferences(db, name), std::vector<std::string>{}) << name;
  });
}

// Names and text beyond Latin-1 are stored as UTF-16 wherever they go: the catalog, the
// definition's names, short text, and memos inline, on one long-value page and on several.
TEST_F(Create, NonLatinNamesAndTextReadBackEverywhere) {
  using T = ColumnType;
  const std::string table = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\xBC\xA2\xE5\xAD\x97";  // Greek, CJK
  const std::string name = "\xD0\x98\xD0\xBC\xD1\x8F";                                          // Cyrillic
  const std::string notes = "Gr\xC3\xB6\xC3\x9F\xC3\xA9";                                       // Latin-1
  const std::string index = "\xCE\x94\xCE\xB5\xCE\xAF\xCE\xBA\xF0\x9F\x98\x80";           // and outside the BMP
  createDatabase(path);
  const std::vector<std::string> texts = {
      "\xD0\x9C\xD0\xB8\xD1\x80", "\xCE\xB1\xE1\xBD\xB6", "\xE6\xBC\xA2\xE3\x81\x98", "x\xF0\x9F\x98\x80",
      "\xC3\x8E", "plain"};
  std::vector<std::string> memos;
  for (size_t i = 0; i < texts.size(); ++i) {
    // Inline, on one long-value page, and on several; 3 characters a piece, never compressible.
    std::string m = "short \xCE\xB2";
    for (int k = 0; k < (i % 3 == 0 ? 0 : i % 3 == 1 ? 300 : 3000); ++k) m += "\xE6\x96\x87\xCE\xB2\xC3\xA9";
    memos.push_back(m);
  }
  {
    Database db(path, Database::Mode::ReadWrite);
    createTable(db, {table, {{"ID", T::Long, 0, true}, {name, T::Text, 20}, {notes, T::Memo}}, {{index, {{name}}, false, true}}});
    Table& t = db.table(table);
    TableWriter w(db, t);
    for (size_t i = 0; i < texts.size(); ++i) {
      w.insert({Value::null(), Value::text(texts[i]), Value::text(memos[i])});
    }
    // Unique: case and trailing blanks make no new key.
    EXPECT_EQ(errorNumber([&] { w.insert({Value::null(), Value::text("\xD0\xBC\xD0\x98\xD0\xA0  "), Value::null()}); }),
              err::kDuplicateKey);
  }
  Database db(path, Database::Mode::ReadOnly);
  EXPECT_TRUE(checkDatabase(db).empty());  // every key included
  Table& t = db.table(table);
  ASSERT_NE(t.def().findColumn(name), nullptr);
  ASSERT_NE(t.def().findIndex(index), nullptr);
  int status = 0;
  EXPECT_EQ(runCommand("mdb-tables -1 " + shellQuote(path), &status), table + "\n");
  std::string schema = runCommand("mdb-schema " + shellQuote(path) + " 2>/dev/null", &status);
  for (const std::string& n : {table, name, notes}) EXPECT_NE(schema.find("[" + n + "]"), std::string::npos) << n << schema;
  EXPECT_EQ(testing::mdbtoolsRowDifferences(db, table), std::vector<std::string>{});
  std::vector<RowId> ids = t.rowIds();
  ASSERT_EQ(ids.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(t.readRow(ids[i]), (std::vector<Value>{Value::long_(int32_t(i + 1)), Value::text(texts[i]), Value::text(memos[i])}));
  }
}

// "jet create FILE STATEMENT": a database made, then a table added to it. Killed at every change
// in turn, or with the disk full from every write on, it leaves either nothing at the name, or a
// whole database (with or without the table); a full disk is error 3035 and leaves nothing at
// all. Whatever a stopped creation left, the next one makes the file.
TEST_F(Create, AKilledOrFullCreationLeavesNoHalfMadeDatabase) {
  const TableDesign design{"Log", {{"ID", ColumnType::Long, 0, true}, {"Call", ColumnType::Text, 20}}, {}};
  auto createWithTable = [&](const Format& f, FileSystem& fs) {
    createDatabase(path, 44000.5, f, fs);
    Database db(path, Database::Mode::ReadWrite, fs);
    createTable(db, design);
    db.close();
  };
  using Fault = FaultyFiles::Fault;
  for (const Format* f : {&kJet4, &kJet3}) {
    for (Fault fault : {Fault::Kill, Fault::DiskFull}) {
      for (long at = 1;; ++at) {
        SCOPED_TRACE(std::string(f->jet4 ? "Access 2000, " : "Access 97, ") +
                     (fault == Fault::Kill ? "killed at change " : "disk full from change ") + std::to_string(at));
        FaultyFiles disk(fault, at);
        try {
          createWithTable(*f, disk);
        } catch (const testing_support::Stopped&) {
        } catch (const Error& e) {
          EXPECT_EQ(e.number(), fault == Fault::DiskFull ? err::kDiskFull : -1) << e.what();
        }
        if (std::filesystem::exists(path)) {
          Database db(path, Database::Mode::ReadOnly);
          EXPECT_TRUE(checkDatabase(db).empty());
          EXPECT_EQ(db.tableNames(true).size(), db.tableNames().size() + 4);
          if (!disk.fired()) {
            EXPECT_EQ(db.tableNames(), std::vector<std::string>{"Log"});
          }
        } else {
          EXPECT_TRUE(disk.fired());
          if (fault == Fault::DiskFull) {
            EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{});
          }
          createDatabase(path, 44000.5, *f);
          EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"new.mdb"});
        }
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directory(dir.path());
        if (!disk.fired()) {
          EXPECT_GT(at, 10) << "the creation reached the disk only " << at << " times";
          break;
        }
      }
    }
  }
}

TEST_F(Create, RefusedDesignsChangeNothing) {
  forEachFormat([&](const Format& f, const std::string& path) {
    Database db(path, Database::Mode::ReadWrite);
    createTable(db, {"Log", {{"ID", ColumnType::Long, 0, true}}, {}});
    uint32_t pages = db.file().pageCount();
    auto refuses = [&](const TableDesign& design, int number) {
      EXPECT_EQ(errorNumber([&] { createTable(db, design); }), number) << design.name;
    };
    using T = ColumnType;
    refuses({"LOG", {{"A", T::Long}}, {}}, 3010);
    refuses({"T", {}, {}}, err::kInvalidArgument);
    refuses({"T", {{"A", T::Long}, {"a", T::Text, 5}}, {}}, err::kInvalidArgument);
    refuses({"T", {{"A", T::Text, 0}}, {}}, err::kInvalidArgument);
    refuses({"T", {{"A", T::Text, 256}}, {}}, err::kInvalidArgument);
    refuses({"T", {{"A", T::Double, 0, true}}, {}}, err::kInvalidArgument);
    refuses({"T", {{"A", T::Memo}}, {{"ByMemo", {{"A"}}}}}, err::kInvalidArgument);
    refuses({"T", {{"A", T::Long}}, {{"Gone", {{"B"}}}}}, err::kInvalidArgument);
    refuses({"T", {{"A", T::Long}, {"B", T::Long}}, {{"P1", {{"A"}}, true}, {"P2", {{"B"}}, true}}}, err::kInvalidArgument);
    refuses({"T.x", {{"A", T::Long}}, {}}, err::kInvalidArgument);
    if (!f.jet4) {
      // Names in Access 97 are code page 1252 text too.
      refuses({"\xCE\xA9mega", {{"A", T::Long}}, {}}, err::kConversion);
      refuses({"T", {{"\xCE\xA9", T::Long}}, {}}, err::kConversion);
      refuses({"T", {{"A", T::Long}}, {{"\xCE\xA9", {{"A"}}}}}, err::kConversion);
    }
    EXPECT_EQ(db.file().pageCount(), pages);
    EXPECT_EQ(db.tableNames(), std::vector<std::string>{"Log"});
    EXPECT_TRUE(checkDatabase(db).empty());
  });
}

}  // namespace
}  // namespace jet
