// A whole run, band plan then logbook as the console program runs it, stopped at every change
// of a file (a killed process), at every sync (a power cut, with the writes since lost or torn)
// and with the disk full from every write on. Each file on its own must pass the integrity check
// and hold its state before the run or after its whole update; a message shown must be true of
// the file alone; and a run afterwards must end exactly as one clean run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>

#include "../faulty_files.h"
#include "../independent_reader.h"
#include "../temp_copy.h"
#include "app/backup_copy.h"
#include "app/console/console_program.h"
#include "app/preview_run.h"
#include "app/run_sequence.h"
#include "db/data_source.h"
#include "jet/base/csv_format.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/database/table.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// An optimised build stops at every call; sanitizer and debug builds, several times slower per
// run, at about this many calls spread evenly.
#ifndef __has_feature
#define __has_feature(x) 0  // GCC before 14 names its sanitizers with macros only
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
constexpr long kStopsInSlowBuilds = 40;
#elif !defined(NDEBUG)
constexpr long kStopsInSlowBuilds = 150;
#else
constexpr long kStopsInSlowBuilds = 0;  // every call
#endif

// Every row of every user table, as the export prints them, in table order.
std::string contents(const std::string& path) {
  jet::Database db(path, jet::Database::Mode::ReadOnly);
  std::string out;
  for (const std::string& name : db.tableNames()) {
    jet::Table& t = db.table(name);
    out += "[" + name + "]\n";
    for (jet::RowId at : t.rowIds()) out += jet::csvLine(t.readRow(at));
  }
  return out;
}

// The two files a run starts from: the Access 2000 fixtures, or an Access 97 band plan and
// logbook that tarnlog-gen makes once.
enum class Format { Access2000, Access97 };

struct Originals {
  std::string bandplan, logbook;
};

const Originals& originals(Format format) {
  static const Originals access2000{fixture("jet4/bandplan.mdb"), fixture("jet4/logbook.mdb")};
  static const ScratchDir made;
  static const Originals access97 = [] {
    Originals o{made.path() + "/bandplan97.mdb", made.path() + "/logbook97.mdb"};
    const std::string gen = TARNLOG_GEN_EXE;
    if (std::system(("'" + gen + "' bandplan '" + o.bandplan + "' --format 97").c_str()) != 0 ||
        std::system(("'" + gen + "' logbook '" + o.logbook + "' --contacts 600 --seed 7 --format 97").c_str()) != 0) {
      throw std::runtime_error("tarnlog-gen failed");
    }
    return o;
  }();
  return format == Format::Access97 ? access97 : access2000;
}

struct Files {
  explicit Files(Format format = Format::Access2000)
      : bandplan(dir.copy(originals(format).bandplan)), logbook(dir.copy(originals(format).logbook)) {}
  ScratchDir dir;
  std::string bandplan, logbook;
};

std::string backupFolder(const Files& f) { return f.dir.path() + "/backups/today"; }

// One press of Start answered Yes, through `fsys`; `onMessage` sees each closing message. With
// `backups`, copies of both files are taken first, as --backup takes them, and their paths kept.
void run(const Files& f, jet::FileSystem& fsys, const std::function<void(const std::string&)>& onMessage = {},
         std::vector<std::string>* backups = nullptr) {
  db::DataSource BandPlan, Logbook;
  BandPlan.setFileSystem(fsys);
  Logbook.setFileSystem(fsys);
  BandPlan.setDatabaseName(f.bandplan);
  BandPlan.Refresh();
  if (backups) {
    app::backupFiles(backupFolder(f), {f.bandplan, f.logbook}, 0,
                     [&](const std::string& copy) { backups->push_back(copy); }, fsys);
  }
  app::MsgBoxFn box = [&](const std::string& prompt, int, const std::string&) {
    if (onMessage) onMessage(prompt);
    return app::vbOK;
  };
  app::runUpdates(BandPlan, Logbook, box, app::Updates::real(),
                  [&](const std::string&, const std::string&, const std::string&) { return f.logbook; });
  BandPlan.close();
  Logbook.close();
}

// The file as a copy taken alone, without its log: what another program would read.
std::string alone(const std::string& path, const ScratchDir& scratch) {
  const std::string copy = scratch.copy(path, "alone.mdb");
  std::string problems = integrityProblems(copy);
  std::string rows = contents(copy);
  fs::remove(copy);
  return problems.empty() ? rows : "integrity check: " + problems;
}

struct Reference {
  std::string bandplanBefore, logbookBefore, bandplanAfter, logbookAfter;
  long changes = 0, syncs = 0;
};

const Reference& reference(Format format = Format::Access2000) {
  static std::map<Format, Reference> made;
  if (auto known = made.find(format); known != made.end()) return known->second;
  Reference& r = made[format];
  Files f(format);
  r.bandplanBefore = contents(f.bandplan);
  r.logbookBefore = contents(f.logbook);
  FaultyFiles counting;
  std::vector<std::string> backups;
  run(f, counting, {}, &backups);
  r.changes = counting.changes();
  r.syncs = counting.syncs();
  r.bandplanAfter = contents(f.bandplan);
  r.logbookAfter = contents(f.logbook);
  return r;
}

// Runs, backups first, with `fault` at every call it can meet, checking what each stop leaves.
void stopEverywhere(FaultyFiles::Fault fault, long calls, Format format = Format::Access2000) {
  const Reference& ref = reference(format);
  ASSERT_NE(ref.bandplanBefore, ref.bandplanAfter);
  ASSERT_NE(ref.logbookBefore, ref.logbookAfter);
  const std::string originalBytes[] = {readBytes(originals(format).bandplan), readBytes(originals(format).logbook)};
  ScratchDir scratch;
  const long stride = kStopsInSlowBuilds > 0 ? std::max(1L, calls / kStopsInSlowBuilds) : 1;
  for (long at = 1; at <= calls; at += stride) {
    SCOPED_TRACE("fault at call " + std::to_string(at));
    Files f(format);
    FaultyFiles faulty(fault, at);
    std::string error;
    std::vector<std::string> shown, backups;
    bool stopped = false;
    try {
      run(f, faulty, [&](const std::string& m) { shown.push_back(m); }, &backups);
    } catch (const Stopped&) {
      stopped = true;
    } catch (const jet::Error& e) {
      error = std::to_string(e.number()) + " " + e.what();
      EXPECT_EQ(e.number(), jet::err::kDiskFull) << e.what();
    }
    // A full disk meets only writes: a run whose last writes lie before the fault ends well.
    if (fault == FaultyFiles::Fault::DiskFull) {
      EXPECT_EQ(error.empty(), shown.size() == 2) << error;
    } else {
      ASSERT_TRUE(faulty.fired());
    }
    // Backups reported taken are whole, whatever came after them; and, unless the process died,
    // every copy left in the folder was reported (a failed one is removed).
    for (size_t i = 0; i < backups.size(); ++i) {
      EXPECT_TRUE(fs::exists(backups[i]) && readBytes(backups[i]) == originalBytes[i]) << backups[i] << " lost or damaged";
    }
    std::error_code ec;
    for (fs::directory_iterator it(backupFolder(f), ec), end; !stopped && !ec && it != end; it.increment(ec)) {
      if (it->path().string().find(".removed-") != std::string::npos) continue;  // gone once its folder is synced
      EXPECT_NE(std::find(backups.begin(), backups.end(), it->path().string()), backups.end())
          << it->path() << " was taken but not reported";
    }
    // A message shown is true of the file alone, without its log; so is a run that ended well.
    const bool ended = fault == FaultyFiles::Fault::DiskFull && error.empty() && shown.size() == 2;
    if (shown.size() >= 1 || ended) {
      EXPECT_EQ(alone(f.bandplan, scratch), ref.bandplanAfter);
    }
    if (shown.size() >= 2 || ended) {
      EXPECT_EQ(alone(f.logbook, scratch), ref.logbookAfter);
    }
    // Each file with its log, as the next open (or `jet check`) finds it: sound, and as before
    // the run or after its whole update.
    for (auto [path, before, after] : {std::tuple{f.bandplan, ref.bandplanBefore, ref.bandplanAfter},
                                       std::tuple{f.logbook, ref.logbookBefore, ref.logbookAfter}}) {
      EXPECT_EQ(integrityProblems(path), "") << path;
      const std::string now = contents(path);
      EXPECT_TRUE(now == before || now == after) << path << " holds part of its update";
    }
    // A run afterwards, with room and no stop, ends as the clean run.
    run(f, jet::FileSystem::real());
    EXPECT_EQ(contents(f.bandplan), ref.bandplanAfter);
    EXPECT_EQ(contents(f.logbook), ref.logbookAfter);
    EXPECT_FALSE(fs::exists(f.bandplan + "-wal") || fs::exists(f.logbook + "-wal"));
  }
}

}  // namespace

TEST(InterruptedRun, KilledAtEveryChangeOfAFile) {
  stopEverywhere(FaultyFiles::Fault::Kill, reference().changes);
}

TEST(InterruptedRun, PowerCutAtEverySyncLosingOrTearingTheWritesSince) {
  ASSERT_GT(reference().syncs, 8);
  stopEverywhere(FaultyFiles::Fault::PowerCut, reference().syncs);
  stopEverywhere(FaultyFiles::Fault::TornCut, reference().syncs);
}

TEST(InterruptedRun, DiskFullFromEveryWriteOn) {
  stopEverywhere(FaultyFiles::Fault::DiskFull, reference().changes);
}

// The same on Access 97 files, whose pages are 2 KiB and whose text is stored in code page 1252.
TEST(InterruptedRun, Access97KilledPowerCutAndFullDisk) {
  const Reference& ref = reference(Format::Access97);
  stopEverywhere(FaultyFiles::Fault::Kill, ref.changes, Format::Access97);
  stopEverywhere(FaultyFiles::Fault::TornCut, ref.syncs, Format::Access97);
  stopEverywhere(FaultyFiles::Fault::DiskFull, ref.changes, Format::Access97);
}

// Killed while a closing message stands: the file alone already holds that update. The user
// puts the backups back and starts again, pressing only Cancel: nothing is written.
TEST(InterruptedRun, KilledWhileAMessageStandsThenBackupsPutBackAndCancelWritesNothing) {
  const Reference& ref = reference();
  for (int killAt : {1, 2}) {
    Files f;
    ScratchDir scratch;
    const std::string bandplanBackup = readBytes(f.bandplan), logbookBackup = readBytes(f.logbook);
    int shown = 0;
    FaultyFiles files;
    try {
      run(f, files, [&](const std::string&) {
        ++shown;
        EXPECT_EQ(alone(f.bandplan, scratch), ref.bandplanAfter);
        EXPECT_EQ(alone(f.logbook, scratch), shown == 2 ? ref.logbookAfter : ref.logbookBefore);
        if (shown == killAt) throw Stopped{};
      });
    } catch (const Stopped&) {
    }
    std::ofstream(f.bandplan, std::ios::binary | std::ios::trunc) << bandplanBackup;
    std::ofstream(f.logbook, std::ios::binary | std::ios::trunc) << logbookBackup;
    // Started again (its load step opens the band plan), answered Cancel.
    std::istringstream cancel("c\n");
    std::ostringstream out, err;
    EXPECT_EQ(console::runConsole({"--bandplan", f.bandplan, "--logbook", f.logbook}, cancel, out, err, true), 0) << err.str();
    EXPECT_TRUE(readBytes(f.bandplan) == bandplanBackup);
    EXPECT_TRUE(readBytes(f.logbook) == logbookBackup);
  }
}

// A log left by a stopped process: the backup holds the file as stored, and the preview shows
// what the real run then does.
TEST(InterruptedRun, BackupAndPreviewSettleALeftoverLogFirst) {
  const Reference& ref = reference();
  // A statement stored in the log, then the process stopped before carrying it in: contact 1
  // becomes one the update changes too.
  auto leaveLog = [](const Files& f) {
    db::Connection d(f.logbook);
    d.Execute("UPDATE MainLog SET DXCC = 85, Call = 'PJ2ZZ', Time_Start = #Jan 1, 2015# WHERE ID = 1");
    ASSERT_TRUE(fs::exists(f.logbook + "-wal"));
  };
  Files f;
  leaveLog(f);
  ScratchDir backups;
  std::vector<std::string> copies = app::backupFiles(backups.path(), {f.bandplan, f.logbook}, 0);
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(integrityProblems(copies[1]), "");
  EXPECT_EQ(contents(copies[1]), contents(f.logbook));
  EXPECT_NE(contents(copies[1]), ref.logbookBefore);

  Files g;
  leaveLog(g);
  std::ostringstream preview;
  app::previewRun(g.bandplan, [&](const std::string&, const std::string&, const std::string&) { return g.logbook; }, preview);
  std::vector<std::string> shown;
  run(g, jet::FileSystem::real(), [&](const std::string& m) { shown.push_back(m); });
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1], "69 PJ logbook records have been updated.");
  EXPECT_NE(preview.str().find("MainLog: 0 added, 69 changed"), std::string::npos) << preview.str();
  EXPECT_NE(preview.str().find(shown[1]), std::string::npos) << preview.str();
}
