// The pager's write-ahead log: operations a killed process had stored survive it, a torn
// record is dropped whole, a log beside the wrong file is refused, and checkpoints keep up.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/integrity_check.h"
#include "jet/page_file.h"
#include "jet/table_writer.h"
#include "../independent_reader.h"
#include "jet_test_support.h"

namespace jet {
namespace {

namespace fs = std::filesystem;
using jet::testing::fixturePath;
using jet::testing::readFile;
using jet::testing::ScratchDir;

// A plink row: prefix and entity; the autonumber ID is given by the engine.
std::vector<Value> plinkRow(const std::string& prefix, int32_t entity) {
  return {Value::null(), Value::text(prefix), Value::long_(entity)};
}

size_t rowsOf(const std::string& path, const std::string& table) {
  Database db(path, Database::Mode::ReadOnly);
  return db.table(table).rowIds().size();
}

std::string problems(const std::string& path) {
  Database db(path, Database::Mode::ReadOnly);
  std::string all;
  for (auto& p : checkDatabase(db)) all += p + "\n";
  return all;
}

// Rows as mdb-export prints them (quoted line breaks inside a row counted as one row).
long mdbExportRows(const std::string& path, const std::string& table) {
  return testing_support::mdbExportRowCount(path, table);
}

// Runs `body` in a child process. The body ends the process itself with ::_exit while its
// database is open, as a killed process ends: no destructor runs, so nothing is carried
// from the log into the file.
template <typename F>
void inKilledProcess(F body) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      body();
    } catch (...) {
      ::_exit(3);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(WriteAheadLog, OperationsOfAKilledProcessAreCarriedIntoTheFileAtTheNextOpen) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"), "bandplan.mdb");
  const std::string original = readFile(path);
  const size_t before = rowsOf(path, "plink");
  inKilledProcess([&] {
    Database db(path, Database::Mode::ReadWrite);
    TableWriter w(db, db.table("plink"));
    for (int i = 0; i < 25; ++i) w.insert(plinkRow("KX" + std::to_string(i), 517));
    ::_exit(0);
  });
  // The file itself is untouched: its readers see the state before the run, whole.
  EXPECT_TRUE(readFile(path) == original) << "the database file itself changed";
  ASSERT_TRUE(fs::exists(path + "-wal"));
  // Our reader sees the stored operations without changing anything.
  EXPECT_EQ(rowsOf(path, "plink"), before + 25);
  EXPECT_TRUE(readFile(path) == original) << "the database file itself changed";
  // Opening for writing carries them into the file and removes the log.
  { Database db(path, Database::Mode::ReadWrite); }
  EXPECT_FALSE(fs::exists(path + "-wal"));
  EXPECT_EQ(problems(path), "");
  EXPECT_EQ(mdbExportRows(path, "plink"), long(before + 25));
}

TEST(WriteAheadLog, ATornRecordIsDroppedWholeAndEarlierOnesKept) {
  // Stop at each write of a short run in turn; the stop leaves half of that write behind.
  for (long stop = 1; stop <= 7; ++stop) {
    SCOPED_TRACE("stopped at write " + std::to_string(stop));
    ScratchDir dir;
    const std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"), "bandplan.mdb");
    const size_t before = rowsOf(path, "plink");
    int stored = 0;
    {
      Database db(path, Database::Mode::ReadWrite);
      TableWriter w(db, db.table("plink"));
      PageFile::simulateCrashOnFailure(true);
      PageFile::failAfterWrites(stop);
      try {
        for (; stored < 5; ++stored) w.insert(plinkRow("TORN" + std::to_string(stored), 518));
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::kDiskFull);
      }
    }  // a "killed" process: the log stays as the stop left it
    PageFile::failAfterWrites(0);
    PageFile::simulateCrashOnFailure(false);
    { Database db(path, Database::Mode::ReadWrite); }
    EXPECT_EQ(rowsOf(path, "plink"), before + size_t(stored));
    EXPECT_EQ(problems(path), "");
    EXPECT_EQ(mdbExportRows(path, "plink"), long(before + size_t(stored)));
  }
}

TEST(WriteAheadLog, ALogBesideAnotherDatabaseIsRefusedAndNothingIsWritten) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/logbook.mdb"), "logbook.mdb");
  inKilledProcess([&] {
    Database db(path, Database::Mode::ReadWrite);
    TableWriter w(db, db.table("MainLog"));
    std::vector<Value> row(db.table("MainLog").def().columns.size(), Value::null());
    row[1] = Value::text("PJ2T");
    for (int i = 0; i < 3; ++i) w.insert(row);
    ::_exit(0);
  });
  ASSERT_TRUE(fs::exists(path + "-wal"));
  // Another database file takes the logbook's place; the log would damage it.
  fs::remove(path);
  fs::copy_file(fixturePath("jet4/bandplan.mdb"), path);
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  const std::string other = readFile(path);
  for (auto mode : {Database::Mode::ReadOnly, Database::Mode::ReadWrite}) {
    try {
      Database db(path, mode);
      ADD_FAILURE() << "a foreign log must be refused";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kNotDatabase);
      EXPECT_NE(std::string(e.what()).find("-wal"), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(readFile(path) == other) << "the database file changed";
  EXPECT_TRUE(fs::exists(path + "-wal"));
}

TEST(WriteAheadLog, LongRunsCheckpointAndEndWithTheLogGone) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/logbook.mdb"), "logbook.mdb");
  const size_t before = rowsOf(path, "MainLog");
  const int added = 600;
  PageFile::checkpointEvery(1 << 20);  // many checkpoints on the way
  {
    Database db(path, Database::Mode::ReadWrite);
    Table& t = db.table("MainLog");
    TableWriter w(db, t);
    const size_t n = t.def().columns.size();
    for (int i = 0; i < added; ++i) {
      std::vector<Value> row(n, Value::null());
      row[size_t(t.columnIndex("Call"))] = Value::text("LOG" + std::to_string(i * 7919 % 1000));
      row[size_t(t.columnIndex("Country"))] = Value::text("Country " + std::to_string(i % 37));
      row[size_t(t.columnIndex("DXCC"))] = Value::long_(i % 340);
      row[size_t(t.columnIndex("Comment"))] = Value::text(std::string(300 + i % 200, char('a' + i % 26)));
      w.insert(row);
    }
    EXPECT_EQ(t.rowIds().size(), before + added);
  }
  PageFile::checkpointEvery(0);
  EXPECT_FALSE(fs::exists(path + "-wal"));
  EXPECT_EQ(problems(path), "");
  EXPECT_EQ(rowsOf(path, "MainLog"), before + added);
  EXPECT_EQ(mdbExportRows(path, "MainLog"), long(before + added));
}

}  // namespace
}  // namespace jet
