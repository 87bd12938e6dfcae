// The write-ahead log: scanning raw log bytes keeps committed transactions only, a stopped
// writer's log is carried in by the next open of any kind, a foreign log is moved aside, a
// full disk at the checkpoint fails before the file is touched, transactions are all or nothing,
// and a failed operation inside one is undone alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "../error_number.h"
#include "../faulty_files.h"
#include "../independent_reader.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_key.h"
#include "jet/index/index_writer.h"
#include "jet/check/integrity_check.h"
#include "jet/pager/page_file.h"
#include "jet/write/table_writer.h"
#include "jet/pager/wal.h"
#include "jet_test_support.h"

namespace jet {
namespace {

namespace fs = std::filesystem;
using jet::testing::fixturePath;
using jet::testing::readFile;
using jet::testing::ScratchDir;
using testing_support::FaultyFiles;

std::vector<Value> plinkRow(const std::string& prefix, int32_t entity) {
  return {Value::null(), Value::text(prefix), Value::long_(entity)};
}

size_t rowsOf(const std::string& path, const std::string& table) {
  Database db(path, Database::Mode::ReadOnly);
  return db.table(table).rowIds().size();
}

// Adds `n` contacts to MainLog, each with a long comment, in an order their indexes do not keep.
void addContacts(Database& db, int n) {
  Table& t = db.table("MainLog");
  TableWriter w(db, t);
  for (int i = 0; i < n; ++i) {
    std::vector<Value> row(t.def().columns.size(), Value::null());
    row[size_t(t.columnIndex("Call"))] = Value::text("SP" + std::to_string(i * 7919 % 1000));
    row[size_t(t.columnIndex("DXCC"))] = Value::long_(i % 340);
    row[size_t(t.columnIndex("Comment"))] = Value::text(std::string(500, char('a' + i % 26)));
    w.insert(row);
  }
}

// Adds `n` plink rows, each its own operation; the open is left as a killed process leaves it.
void addAndStop(const std::string& path, int n, bool inTransaction = false) {
  Database db(path, Database::Mode::ReadWrite);
  TableWriter w(db, db.table("plink"));
  if (inTransaction) db.beginTransaction();
  for (int i = 0; i < n; ++i) w.insert(plinkRow("KX" + std::to_string(i), 517));
}

TEST(WriteAheadLog, AScanKeepsWholeCommittedTransactionsOnly) {
  ScratchDir dir;
  const std::string log = dir.path() + "/x-wal";
  const size_t psize = 4096;
  std::vector<uint8_t> a(psize, 0xA1), b(psize, 0xB2), c(psize, 0xC3);
  wal::LogWriter w(FileSystem::real(), log);
  w.setPageSize(psize);
  w.create(wal::pageSum(a.data(), psize));
  w.writeFrame(3, a.data(), 11);
  w.writeFrame(3, b.data(), 11);  // rewritten in place: one frame
  w.writeFrame(7, a.data(), 0);
  w.commit(8);
  const uint64_t firstEnd = w.size();
  EXPECT_EQ(firstEnd, wal::kHeaderSize + 2 * (wal::kRecordSize + psize) + wal::kRecordSize);
  w.writeFrame(3, c.data(), 99);
  w.commit(9);
  w.writeFrame(5, c.data(), 0);  // never committed
  w.flush();
  const std::string bytes = readFile(log);

  wal::LogScan s = wal::scanLog(bytes);
  ASSERT_EQ(s.header, wal::LogScan::Header::Whole);
  ASSERT_EQ(s.pages.size(), 2u);
  EXPECT_EQ(s.pages[0].page, 3u);
  EXPECT_EQ(s.pages[0].before, 11u);  // the oldest copy's
  EXPECT_EQ(bytes.substr(s.pages[0].offset, psize), std::string(psize, char(0xC3)));
  EXPECT_EQ(s.pagesAfter, 9u);
  EXPECT_EQ(s.lastTransaction, 2u);

  // A byte of the second transaction's frame damaged, or the log cut inside it: only the first
  // counts. The damaged frame has its commit after it, so it is damage; the cut is a torn tail.
  for (const std::string& damaged : {std::string(bytes).replace(firstEnd + 100, 1, "\x5A"), bytes.substr(0, firstEnd + 50)}) {
    wal::LogScan t = wal::scanLog(damaged);
    ASSERT_EQ(t.lastTransaction, 1u);
    EXPECT_EQ(t.end, firstEnd);
    EXPECT_EQ(t.damaged, damaged.size() == bytes.size());
    EXPECT_EQ(damaged.substr(t.pages[0].offset, psize), std::string(psize, char(0xB2)));
  }
  // So is a damaged kind or checksum of that frame; a frame of the unfinished third is not.
  EXPECT_TRUE(wal::scanLog(std::string(bytes).replace(firstEnd, 1, "\x5A")).damaged);
  EXPECT_FALSE(wal::scanLog(std::string(bytes).replace(bytes.size() - 100, 1, "\x5A")).damaged);
  EXPECT_EQ(wal::scanLog(std::string(bytes).replace(wal::kSlotSize + 2, 1, "X")).header, wal::LogScan::Header::Damaged);
  EXPECT_EQ(s.slot, wal::LogScan::Slot::Empty);

  // Belonging: the file's page 0 must be the identity, and each logged page what the log's
  // first copy replaced or what its newest copy holds.
  std::vector<uint8_t> page(psize);
  auto readLog = [&](uint64_t off, uint8_t* buf, size_t len) { return std::memcpy(buf, bytes.data() + off, len), true; };
  auto fileWith = [&](uint8_t page3) {
    return [&, page3](uint32_t p, uint8_t* buf) {
      if (p > 3) return false;
      std::fill(buf, buf + psize, p == 0 ? 0xA1 : p == 3 ? page3 : 0);
      return true;
    };
  };
  EXPECT_TRUE(wal::logBelongsToFile(s, readLog, fileWith(0xC3)));
  EXPECT_FALSE(wal::logBelongsToFile(s, readLog, fileWith(0x44)));
  w.abandon();
}

// Any open: also one through a link to the file from another folder, where the writer's log
// is not beside the name opened.
TEST(WriteAheadLog, AStoppedWritersCommittedWorkIsCarriedInByAnyOpenAndItsUnfinishedWorkDropped) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"), "bandplan.mdb");
  fs::create_directory(dir.path() + "/elsewhere");
  const std::string link = dir.path() + "/elsewhere/linked.mdb";
  fs::create_symlink(path, link);
  const std::string original = readFile(path);
  const size_t before = rowsOf(path, "plink");
  addAndStop(link, 25);
  EXPECT_TRUE(readFile(path) == original) << "the file changed before a checkpoint";
  ASSERT_TRUE(fs::exists(path + "-wal"));
  // A read-only open (`jet check`, the export) carries the log in first.
  EXPECT_EQ(testing_support::integrityProblems(path), "");
  EXPECT_FALSE(fs::exists(path + "-wal"));
  EXPECT_EQ(testing_support::mdbExportRowCount(path, "plink"), long(before + 25));

  // A transaction the writer never committed leaves nothing.
  const std::string stored = readFile(path);
  addAndStop(path, 40, true);
  { Database db(link, Database::Mode::ReadWrite); db.close(); }
  EXPECT_TRUE(readFile(path) == stored);
  EXPECT_FALSE(fs::exists(path + "-wal"));
}

TEST(WriteAheadLog, AForeignLogIsMovedAsideWithAnErrorAndTheFileLeftAlone) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"), "bandplan.mdb");
  addAndStop(path, 3);
  // Another database takes the file's place (a backup of another file put back, say).
  testing_support::copyFixture("jet4/logbook.mdb", path);
  const std::string other = readFile(path);
  try {
    Database db(path, Database::Mode::ReadOnly);
    ADD_FAILURE() << "a foreign log must be refused";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kNotDatabase);
    EXPECT_NE(std::string(e.what()).find(".foreign-"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(readFile(path) == other);
  EXPECT_FALSE(fs::exists(path + "-wal"));
  int aside = 0;
  for (auto& e : fs::directory_iterator(dir.path())) aside += e.path().string().find("-wal.foreign-") != std::string::npos;
  EXPECT_EQ(aside, 1);
  EXPECT_EQ(testing_support::integrityProblems(path), "");
}

// Committed work lies beyond a damaged record: the log is kept aside and the file left as it
// was; the next open goes ahead without it. A log whose name is a link, even one leading
// nowhere, is never followed.
TEST(WriteAheadLog, ADamagedLogWithCommittedWorkIsKeptAsideAndALinkInItsPlaceRefused) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"), "bandplan.mdb");
  const std::string original = readFile(path);
  const size_t before = rowsOf(path, "plink");
  addAndStop(path, 3);
  const std::string log = readFile(path + "-wal");
  jet::testing::patchFile(path + "-wal", wal::kHeaderSize + wal::kRecordSize + 200, "\xA5");  // the first frame's page
  try {
    Database db(path, Database::Mode::ReadOnly);
    ADD_FAILURE() << "a damaged log must be refused";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::kNotDatabase);
    EXPECT_NE(std::string(e.what()).find("is damaged"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(".foreign-"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(path + "-wal"));
  EXPECT_TRUE(readFile(path) == original);
  EXPECT_EQ(rowsOf(path, "plink"), before);

  // Cut inside the last transaction: a torn tail, the two before it carried in.
  std::ofstream(path + "-wal", std::ios::binary) << log.substr(0, log.size() - 10);
  EXPECT_EQ(rowsOf(path, "plink"), before + 2);
  EXPECT_FALSE(fs::exists(path + "-wal"));

  fs::create_directory(dir.path() + "/elsewhere");
  const std::string target = dir.path() + "/elsewhere/target";
  fs::create_symlink(target, path + "-wal");
  EXPECT_EQ(testing_support::errorNumber([&] { addAndStop(path, 1); }), err::kLogNotCreated);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(rowsOf(path, "plink"), before + 2);
}

// Stopped while the log was being carried in, the file is half-written: a log damaged or cut
// then cannot finish it, so every open refuses the file and keeps the log, until the user puts
// a backup back and deletes the log. Undamaged, the same log finishes the file.
TEST(WriteAheadLog, ALogDamagedOrCutAfterItsCheckpointBeganKeepsTheHalfWrittenFileRefused) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/logbook.mdb"), "logbook.mdb");
  const std::string original = readFile(path);
  const size_t before = rowsOf(path, "MainLog");
  // The first stop that leaves the file changed and its log beside it.
  std::string half, log;
  for (long at = 1; half.empty(); ++at) {
    FaultyFiles disk(FaultyFiles::Fault::Kill, at);
    try {
      Database d(path, Database::Mode::ReadWrite, disk);
      d.beginTransaction();
      addContacts(d, 300);
      d.commitTransaction();
      d.close();
      FAIL() << "the checkpoint was never stopped halfway";
    } catch (const testing_support::Stopped&) {
    }
    if (fs::exists(path + "-wal") && readFile(path).substr(0, original.size()) != original) {
      half = readFile(path);
      log = readFile(path + "-wal");
    } else {
      fs::remove(path + "-wal");
      std::ofstream(path, std::ios::binary | std::ios::trunc) << original;
    }
  }
  ASSERT_EQ(log.substr(0, 4), "CKPT");
  const size_t frame = wal::kRecordSize + 4096;
  const std::vector<std::pair<std::string, std::string>> damaged = {
      {"a byte of the first frame", std::string(log).replace(wal::kHeaderSize + wal::kRecordSize + 7, 1, "\x01")},
      {"a byte of the tenth frame's record", std::string(log).replace(wal::kHeaderSize + 9 * frame + 5, 1, "\x01")},
      {"cut after its header", log.substr(0, wal::kHeaderSize)},
      {"cut after its checkpoint slot", log.substr(0, wal::kSlotSize)},
      {"cut in the last frame", log.substr(0, log.size() - wal::kRecordSize - 100)},
      {"cut by its last byte", log.substr(0, log.size() - 1)},
  };
  for (const auto& [what, bytes] : damaged) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << half;
    std::ofstream(path + "-wal", std::ios::binary | std::ios::trunc) << bytes;
    for (int open = 0; open < 2; ++open) {
      try {
        Database db(path, open == 0 ? Database::Mode::ReadWrite : Database::Mode::ReadOnly);
        ADD_FAILURE() << what << ": a half-written file must be refused";
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::kNotDatabase) << what;
        EXPECT_NE(std::string(e.what()).find("half-written"), std::string::npos) << what << ": " << e.what();
      }
      EXPECT_TRUE(readFile(path + "-wal") == bytes) << what;
      EXPECT_TRUE(readFile(path) == half) << what;
    }
  }
  // Dealt with: the backup put back and the log deleted.
  fs::remove(path + "-wal");
  std::ofstream(path, std::ios::binary | std::ios::trunc) << original;
  EXPECT_EQ(rowsOf(path, "MainLog"), before);
  // The log as the stop left it finishes the file.
  std::ofstream(path, std::ios::binary | std::ios::trunc) << half;
  std::ofstream(path + "-wal", std::ios::binary | std::ios::trunc) << log;
  EXPECT_EQ(rowsOf(path, "MainLog"), before + 300);
  EXPECT_EQ(testing_support::soundForEveryReader(path), "");
}

TEST(WriteAheadLog, AFullDiskAtAnyWriteOfATransactionKeepsAllOrNoneAndTheFileSoundAlone) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/logbook.mdb"), "logbook.mdb");
  const std::string original = readFile(path);
  const size_t before = rowsOf(path, "MainLog");
  // The disk fills up at each change in turn of a transaction that makes the file grow.
  ScratchDir aside;
  for (long at = 1;; ++at) {
    FaultyFiles disk(FaultyFiles::Fault::DiskFull, at);
    try {
      Database d(path, Database::Mode::ReadWrite, disk);
      d.file().setLimits(64u << 20, 256 * 1024);  // the transaction also spills to the log
      d.beginTransaction();
      addContacts(d, 400);
      d.commitTransaction();
      d.close();
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::kDiskFull) << e.what();
      // Whatever failed, the file on its own is untouched or sound with every row.
      const std::string alone = aside.copy(path, "alone.mdb");
      if (readFile(alone) != original) {
        EXPECT_EQ(testing_support::soundForEveryReader(alone), "") << "disk full at change " << at;
        EXPECT_EQ(testing_support::mdbExportRowCount(alone, "MainLog"), long(before + 400)) << "disk full at change " << at;
      }
      // With its log, the next open finishes what was committed.
      const size_t rows = rowsOf(path, "MainLog");
      EXPECT_TRUE(rows == before || rows == before + 400) << rows << " rows, disk full at change " << at;
      fs::remove(alone);
      fs::copy_file(fixturePath("jet4/logbook.mdb"), path, fs::copy_options::overwrite_existing);
      continue;
    }
    EXPECT_FALSE(disk.fired());
    break;
  }
  EXPECT_EQ(rowsOf(path, "MainLog"), before + 400);
  EXPECT_EQ(testing_support::mdbExportRowCount(path, "MainLog"), long(before + 400));
}

// A sparse file a page short of Jet's 2 GB: the change that needs a page past it is refused
// and undone, those before it are kept, and the file never grows past the limit.
TEST(WriteAheadLog, AFileThatWouldGrowPastTwoGigabytesIsRefusedBeforeItIsWritten) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"), "bandplan.mdb");
  constexpr uint64_t kLimit = uint64_t(2) << 30;
  fs::resize_file(path, kLimit - 4096);
  const size_t before = rowsOf(path, "plink");
  int added = 0, refused = 0;
  {
    Database db(path, Database::Mode::ReadWrite);
    TableWriter w(db, db.table("plink"));
    for (int i = 0; i < 3000 && refused == 0; ++i) {
      refused = testing_support::errorNumber([&] { w.insert(plinkRow("LIM" + std::to_string(i), 517)); });
      if (refused == 0) ++added;
    }
    db.close();
  }
  EXPECT_EQ(refused, err::kDiskFull);
  EXPECT_GT(added, 0);
  EXPECT_LE(fs::file_size(path), kLimit);
  EXPECT_FALSE(fs::exists(path + "-wal"));
  EXPECT_EQ(rowsOf(path, "plink"), before + size_t(added));
}

TEST(WriteAheadLog, ALargeTransactionSpillsToTheLogLogsEachPageOnceAndRollsBackWhole) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/logbook.mdb"), "logbook.mdb");
  const std::string original = readFile(path);
  const size_t before = rowsOf(path, "MainLog");
  size_t added = 0;
  for (int pass : {0, 1, 2}) {
    const bool keep = pass > 0, spill = pass < 2;
    Database db(path, Database::Mode::ReadWrite);
    if (spill) db.file().setLimits(64u << 20, 64 * 1024);  // writes to the log every 16 pages
    db.beginTransaction();
    addContacts(db, 300);
    EXPECT_EQ(db.table("MainLog").rowIds().size(), before + added + 300);
    if (!keep) {
      db.rollback();
      EXPECT_EQ(db.table("MainLog").rowIds().size(), before);
      db.close();
      EXPECT_TRUE(readFile(path) == original);
      continue;
    }
    db.commitTransaction();
    added += 300;
    EXPECT_FALSE(fs::exists(path + "-wal"));
    if (!spill) {
      // Every changed page logged once, whatever the number of operations that changed it.
      const uint64_t changedPages = db.file().counters().fileBytes / db.file().pageSize();
      EXPECT_EQ(db.file().counters().logBytes,
                wal::kHeaderSize + changedPages * (wal::kRecordSize + db.file().pageSize()) + 2 * wal::kRecordSize);
    }
    db.close();
  }
  EXPECT_EQ(testing_support::soundForEveryReader(path), "");
  EXPECT_EQ(testing_support::mdbExportRowCount(path, "MainLog"), long(before + 600));
}

// An operation that fails halfway through a transaction is undone alone, earlier ones kept: the
// index pages that earlier operations changed and that it changed in place come back as they were.
TEST(WriteAheadLog, AnOperationThatFailsHalfwayThroughATransactionIsUndoneAlone) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/logbook.mdb"), "logbook.mdb");
  Database db(path, Database::Mode::ReadWrite);
  Table& t = db.table("MainLog");
  const TableDef& def = t.def();
  const size_t dxcc = size_t(t.columnIndex("DXCC")), country = size_t(t.columnIndex("Country"));
  // The rows of one entity, neighbours in its index, move to the next one: their changes share
  // pages, split them and change the keys that nodes above them keep.
  std::vector<RowId> rows;
  for (RowId id : t.rowIds()) if (t.readRow(id)[dxcc] == Value::long_(291)) rows.push_back(id);
  ASSERT_GT(rows.size(), 900u);
  // Damage: the later of the two changed indexes loses the entries of every third row, so that
  // changing such a row fails when it gets there, after changing the other index (often enough
  // that some of these failures come after a split, or a change to a node above a leaf).
  const RealIndex* last = nullptr;
  for (auto& ri : def.realIndexes) {
    for (auto& ic : ri.columns) {
      const Column* c = def.columnByNumber(ic.columnNumber);
      if (c == &def.columns[dxcc] || c == &def.columns[country]) last = &ri;
    }
  }
  ASSERT_NE(last, nullptr);
  std::map<RowId, std::vector<Value>> victims;
  for (size_t i = 1; i < rows.size(); i += 3) {
    victims[rows[i]] = t.readRow(rows[i]);
    IndexWriter(db.file(), db.format(), *last).remove(IndexEntry{*rowKey(def, *last, victims[rows[i]]), rows[i], 0});
    db.operationDone();
  }
  const std::vector<std::string> damage = checkDatabase(db);
  ASSERT_FALSE(damage.empty());

  db.beginTransaction();
  TableWriter w(db, t);
  for (RowId id : rows) {
    std::vector<Value> v = t.readRow(id);
    v[dxcc] = Value::long_(292);
    v[country] = Value::text("Changed to another entity, row " + std::to_string(id.page) + ":" + std::to_string(id.row));
    if (victims.count(id)) {
      EXPECT_EQ(testing_support::errorNumber([&] { w.update(id, v); }), err::kNotDatabase) << "a row without its index entry";
    } else {
      w.update(id, v);
    }
  }
  db.commitTransaction();
  EXPECT_EQ(checkDatabase(db), damage);  // every stored key still matches its row
  for (RowId id : rows) {
    if (victims.count(id)) EXPECT_EQ(t.readRow(id), victims[id]);
    else EXPECT_EQ(t.readRow(id)[dxcc], Value::long_(292));
  }
}

}  // namespace
}  // namespace jet
