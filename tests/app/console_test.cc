// tarnlog-entity-update run as a process on copies of the fixtures: usage, the question on a
// terminal and without one, the run, the preview, backups, the database locations and errors.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "../independent_reader.h"
#include "../jet/jet_test_support.h"
#include "../table_snapshot.h"
#include "../temp_copy.h"
#include "fake_prefix.h"
#include "jet/database/database.h"
#include "jet/os/os_file.h"

namespace {

namespace fs = std::filesystem;
using jet::testing::linesOf;
using jet::testing::runCommand;
using jet::testing::shellQuote;
using testing_support::copyFixture;
using testing_support::FakePrefix;
using testing_support::integrityProblems;
using testing_support::num;
using testing_support::readBytes;
using testing_support::readTable;
using testing_support::Row;

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs the program with `args`. Its input is `input` from a plain file, or, with `terminal`, the
// same text typed on a pseudo-terminal. A `launcher` (a command and its arguments) starts it.
Result runProgram(const std::vector<std::string>& args, const fs::path& scratch, const std::string& input = "",
                  bool terminal = false, const std::vector<std::string>& launcher = {}) {
  fs::path outFile = scratch / "stdout.txt", errFile = scratch / "stderr.txt", inFile = scratch / "stdin.txt";
  std::ofstream(inFile, std::ios::binary) << input;
  int master = -1;
  std::string slaveName;
  if (terminal) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    EXPECT_EQ(grantpt(master), 0);
    EXPECT_EQ(unlockpt(master), 0);
    slaveName = ptsname(master);
  }
  pid_t pid = fork();
  if (pid == 0) {
    if (terminal) setsid();  // a new session, whose controlling terminal is the one it opens first
    dup2(terminal ? open(slaveName.c_str(), O_RDWR) : open(inFile.c_str(), O_RDONLY), 0);
    dup2(open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    std::vector<char*> argv;
    for (const std::string& a : launcher) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(const_cast<char*>(TARNLOG_CONSOLE_EXE));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (terminal && !input.empty()) {
    EXPECT_EQ(write(master, input.data(), input.size()), ssize_t(input.size()));
  }
  int status = 0;
  for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
    if (waited == 6000) {  // a minute: the program hangs, perhaps waiting for input
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "the program did not end";
      break;
    }
    usleep(10000);
  }
  if (master >= 0) close(master);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(outFile), readBytes(errFile)};
}

// Every row of a table by its ID, read back with the engine.
using Rows = std::map<long long, Row>;
Rows rowsOf(const fs::path& file, const std::string& table) {
  Rows rows;
  for (Row& row : readTable(file.string(), table)) rows[num(row, "ID")] = std::move(row);
  return rows;
}

// The IDs whose rows differ between two versions of a table, or exist in one only.
std::set<long long> differingIds(const Rows& a, const Rows& b) {
  std::set<long long> ids;
  for (const auto& [id, row] : a) {
    auto it = b.find(id);
    if (it == b.end() || it->second != row) ids.insert(id);
  }
  for (const auto& [id, row] : b) {
    if (!a.count(id)) ids.insert(id);
  }
  return ids;
}

// The rows of a table whose `column` holds one of `values`.
size_t countWhere(const fs::path& file, const std::string& table, const std::string& column, const std::set<long long>& values) {
  return testing_support::rowsWhere(readTable(file.string(), table), [&](const Row& r) { return values.count(num(r, column)) > 0; }).size();
}
const std::set<long long> kNewEntities = {517, 518, 519, 520};

const std::string kQuestion = "Have you backed up your logbook and BandPlan.mdb?";
const std::string kBandPlanDone = "PJ Entities have been checked and changed where necessary.";
const std::string kLogbookDone = "68 PJ logbook records have been updated.";

class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() {
    dir = fake.root() / "work";
    bandPlan = dir / "bandplan.mdb";
    logbook = dir / "logbook.mdb";
    restore();
  }

  // Fresh copies of the fixtures, as they were before any run.
  void restore() {
    copyFixture("jet4/bandplan.mdb", bandPlan);
    copyFixture("jet4/logbook.mdb", logbook);
    original = {readBytes(bandPlan), readBytes(logbook)};
  }

  Result run(std::vector<std::string> args, const std::string& input = "", bool terminal = false) {
    return runProgram(args, fake.root(), input, terminal);
  }
  std::vector<std::string> paths() { return {"--bandplan", bandPlan.string(), "--logbook", logbook.string()}; }
  std::vector<std::string> with(std::vector<std::string> args) {
    for (const std::string& p : paths()) args.push_back(p);
    return args;
  }
  bool untouched() { return readBytes(bandPlan) == original[0] && readBytes(logbook) == original[1]; }

  FakePrefix fake;  // no documents folder or settings unless a test writes them
  fs::path dir, bandPlan, logbook;
  std::vector<std::string> original;
};

TEST_F(ConsoleTest, HelpVersionBadUsageAndNoAnswer) {
  Result help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--bandplan", "--logbook", "--yes", "--dry-run", "--backup", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  Result version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tarnlog-entity-update 1.01\n");

  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"--frobnicate"}, {"--bandplan"}, {"--backup="}, {"extra"}, {"--yes=no"}, {"--logbook", "a", "--logbook", "b"}}) {
    Result r = run(with(bad));
    EXPECT_EQ(r.status, 2) << bad[0];
    EXPECT_TRUE(r.out.empty()) << bad[0];
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
  }
  // Without a terminal to answer on, and without --yes, nothing is written, not even a backup.
  Result r = run(with({"--backup", (dir / "backups").string()}), "yes\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.out.empty());
  EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "backups"));
  EXPECT_TRUE(untouched());
}

TEST_F(ConsoleTest, QuestionAnsweredOnTheTerminal) {
  for (const char* declined : {"no\n", "C\n", "\x04"}) {  // No, Cancel, end of input (Ctrl-D)
    Result r = run(paths(), declined, true);
    EXPECT_EQ(r.status, 0) << declined;
    EXPECT_EQ(r.out.rfind(kQuestion + " [Yes/No/Cancel] ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("PJ"), std::string::npos) << r.out;
    EXPECT_TRUE(untouched()) << declined;
  }

  Result yes = run(paths(), "maybe\n Yes \n", true);  // an unknown answer asks again
  EXPECT_EQ(yes.status, 0) << yes.err;
  EXPECT_EQ(yes.out, kQuestion + " [Yes/No/Cancel] " + kQuestion + " [Yes/No/Cancel] " + kBandPlanDone + "\n" +
                         kLogbookDone + "\n");
  EXPECT_EQ(countWhere(logbook, "MainLog", "DXCC", kNewEntities), 68u);
}

TEST_F(ConsoleTest, DryRunShowsTheChangesOfTheRealRunAndWritesNothing) {
  // The folders of earlier previews: one stopped before it could remove its own, one still running.
  fs::path temp = fake.root() / "tmp";
  for (const char* folder : {"tarnlog-preview-1", "tarnlog-preview-2"}) {
    fs::create_directories(temp / folder);
    std::ofstream(temp / folder / "in-use") << "";
  }
  jet::OsFile running;
  ASSERT_TRUE(running.open((temp / "tarnlog-preview-2" / "in-use").string(), jet::OsFile::Open::ReadWrite) && running.lockExclusive());
  setenv("TMPDIR", temp.c_str(), 1);
  Result preview = run(with({"--dry-run", "--backup", (dir / "kept").string()}));
  setenv("TMPDIR", (fake.root() / "none").c_str(), 1);
  Result noTemp = run(with({"--dry-run"}));
  unsetenv("TMPDIR");
  EXPECT_EQ(preview.status, 0) << preview.err;
  EXPECT_TRUE(untouched());
  EXPECT_EQ(std::distance(fs::directory_iterator(temp), fs::directory_iterator()), 1) << "copies were left behind";
  EXPECT_TRUE(fs::exists(temp / "tarnlog-preview-2")) << "the running preview's folder was taken";
  EXPECT_EQ(noTemp.err.rfind("Run-time error 76: ", 0), 0u) << noTemp.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "kept"), fs::directory_iterator()), 2);

  std::vector<std::string> lines = linesOf(preview.out);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], kBandPlanDone);
  EXPECT_EQ(lines[lines.size() - 1], kLogbookDone);
  for (const char* counts : {"  prefixes: 4 added, 5 changed, 0 deleted", "  plink: 5 added, 0 changed, 10 deleted",
                             "  plinkold: 10 added, 0 changed, 0 deleted", "  MainLog: 0 added, 68 changed, 0 deleted"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), counts), lines.end()) << counts;
  }
  EXPECT_NE(preview.out.find("~ ID 108: End_Date: Null \u2192 #10/10/2010#; Deleted: False \u2192 True; "
                             "Use: True \u2192 False"),
            std::string::npos);
  EXPECT_NE(preview.out.find("- ID 159: prefix=\"PJ2\", plink=143"), std::string::npos);

  // The rows the preview names are exactly the rows the real run changes.
  Rows prefixesBefore = rowsOf(bandPlan, "prefixes"), plinkBefore = rowsOf(bandPlan, "plink");
  Rows mainLogBefore = rowsOf(logbook, "MainLog");
  ASSERT_EQ(run(with({"--yes"})).status, 0);
  auto named = [&](const std::string& table) {
    std::set<long long> ids;
    bool inTable = false;
    std::regex row("    [+~-] ID (\\d+):.*");
    for (const std::string& line : lines) {
      if (line.rfind("  ", 0) == 0 && line[2] != ' ') inTable = line.rfind("  " + table + ":", 0) == 0;
      std::smatch m;
      if (inTable && std::regex_match(line, m, row)) ids.insert(std::stoll(m[1]));
    }
    return ids;
  };
  EXPECT_EQ(named("prefixes"), differingIds(prefixesBefore, rowsOf(bandPlan, "prefixes")));
  EXPECT_EQ(named("plink"), differingIds(plinkBefore, rowsOf(bandPlan, "plink")));
  EXPECT_EQ(named("MainLog"), differingIds(mainLogBefore, rowsOf(logbook, "MainLog")));
}

TEST_F(ConsoleTest, DryRunFailsWhereTheRealRunWould) {
  fs::permissions(logbook, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  Result readOnly = run(with({"--dry-run"}));
  EXPECT_EQ(readOnly.status, 1);
  EXPECT_EQ(readOnly.err.rfind("Run-time error 3027: ", 0), 0u) << readOnly.err;
  Result real = run(with({"--yes"}));
  EXPECT_EQ(real.status, 1);
  EXPECT_EQ(real.err.rfind("Run-time error 3027: ", 0), 0u) << real.err;
  EXPECT_EQ(real.out, kQuestion + " Yes\n" + kBandPlanDone + "\n");  // the band plan was updated first

  Result missing = run({"--dry-run", "--bandplan", (dir / "none.mdb").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Run-time error 3024: Could not find file '" + (dir / "none.mdb").string() + "'.\n");

  // A contact whose DXCC no longer gives the key its index lists it under: both runs end in 3049
  // naming the logbook itself (the preview works on a copy of it), and neither writes it.
  restore();
  uint64_t dxccAt = 0;
  {
    jet::Database db(logbook.string(), jet::Database::Mode::ReadOnly);
    jet::Table& t = db.table("MainLog");
    const size_t dxcc = size_t(t.columnIndex("DXCC"));
    for (jet::RowId id : t.rowIds()) {
      if (t.readField(id, dxcc).i != 85) continue;
      jet::PageRef hold;
      const jet::Bytes row = t.rowBytes(id, hold);
      dxccAt = uint64_t(id.page) * db.format().pageSize + size_t(row.data() - hold->data()) + db.format().rowColumnCountSize +
               t.def().columns[dxcc].fixedOffset;
      break;
    }
  }
  ASSERT_NE(dxccAt, 0u);
  jet::testing::patchFile(logbook.string(), dxccAt, std::string("\x56\0\0\0", 4));  // 86
  const std::string damaged = readBytes(logbook.string());
  for (const char* how : {"--dry-run", "--yes"}) {
    Result r = run(with({how}));
    EXPECT_EQ(r.status, 1) << how;
    EXPECT_EQ(r.err.rfind("Run-time error 3049: The database file '" + logbook.string() + "' is damaged: index 'DXCC'", 0), 0u)
        << how << ": " << r.err;
    EXPECT_TRUE(readBytes(logbook.string()) == damaged) << how;
  }

  // A folder where this user may not create the log (tests run as root: the runs drop to nobody).
  restore();
  for (const fs::path& f : {bandPlan, logbook}) fs::permissions(f, fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec & ~fs::perms::others_exec);
  fs::permissions(fake.root(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  std::vector<std::string> unprivileged;
  if (geteuid() == 0) unprivileged = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  for (const char* how : {"--dry-run", "--yes"}) {
    Result r = runProgram(with({how}), fake.root(), "", false, unprivileged);
    EXPECT_EQ(r.status, 1) << how;
    EXPECT_EQ(r.err.rfind("Run-time error 3050: ", 0), 0u) << how << ": " << r.err;
    EXPECT_NE(r.err.find(bandPlan.string() + "-wal"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(untouched());
}

TEST_F(ConsoleTest, BackupIsTakenFirstAndRestoresTheOriginals) {
  fs::path backups = dir / "backups" / "today";
  Result r = run(with({"--yes", "--backup", backups.string()}));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(untouched());
  std::vector<fs::path> copies;
  for (const auto& entry : fs::directory_iterator(backups)) copies.push_back(entry.path());
  std::sort(copies.begin(), copies.end());
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_TRUE(std::regex_match(copies[0].filename().string(), std::regex("bandplan-\\d{8}-\\d{6}\\.mdb")));
  EXPECT_TRUE(std::regex_match(copies[1].filename().string(), std::regex("logbook-\\d{8}-\\d{6}\\.mdb")));
  std::vector<std::string> lines = linesOf(r.out);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1], "Backed up to " + copies[0].string());  // after the question, before the updates
  EXPECT_EQ(lines[3], kBandPlanDone);

  fs::copy_file(copies[0], bandPlan, fs::copy_options::overwrite_existing);
  fs::copy_file(copies[1], logbook, fs::copy_options::overwrite_existing);
  EXPECT_TRUE(untouched());

  // A second backup in the same second does not overwrite the first.
  Result twice = run(with({"--yes", "--backup", backups.string()}));
  Result thrice = run(with({"--yes", "--backup", backups.string()}));
  EXPECT_EQ(thrice.status, 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(backups), fs::directory_iterator()), 6);
}

TEST_F(ConsoleTest, FailedBackupOrMissingDatabaseStopsBeforeAnythingIsWritten) {
  std::ofstream(dir / "plain-file") << "x";
  Result r = run(with({"--yes", "--backup", (dir / "plain-file" / "backups").string()}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("Run-time error 76: ", 0), 0u) << r.err;
  EXPECT_EQ(r.out, kQuestion + " Yes\n");
  EXPECT_TRUE(untouched());

  Result noBandPlan = run({"--yes"});  // no documents folder: the path literal alone
  EXPECT_EQ(noBandPlan.status, 1);
  EXPECT_TRUE(noBandPlan.out.empty()) << noBandPlan.out;  // ends before the question
  EXPECT_EQ(noBandPlan.err.rfind("Run-time error 3024: Could not find file", 0), 0u) << noBandPlan.err;
}

// --yes runs both updates on the databases found as the window finds them; a second run finds nothing to do.
TEST_F(ConsoleTest, FindsTheDatabasesAsTheWindowDoesAndASecondRunFindsNothingToDo) {
  fake.writeUserReg(
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
      "\"Personal\"=\"C:\\\\users\\\\bob\\\\Documents\"\n\n"
      "[Software\\\\VB and VBA Program Settings\\\\Tarnlog\\\\Settings] 1\n"
      "\"Logbook\"=\"C:\\\\Tarnlog\\\\LogBook.mdb\"\n");
  fs::path documentsBandPlan = fake.driveC() / "users/bob/Documents/BRAEWICK/Tarnlog/Databases/BandPlan.mdb";
  fs::path settingsLogbook = fake.driveC() / "tarnlog/logbook.mdb";
  copyFixture("jet4/bandplan.mdb", documentsBandPlan);
  copyFixture("jet4/logbook.mdb", settingsLogbook);

  Result r = run({"--yes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kQuestion + " Yes\n" + kBandPlanDone + "\n" + kLogbookDone + "\n");
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(countWhere(documentsBandPlan, "prefixes", "DXCC", kNewEntities), 4u);  // the rows themselves: UpdateBandPlan's tests
  EXPECT_EQ(countWhere(settingsLogbook, "MainLog", "DXCC", kNewEntities), 68u);
  // A second run finds nothing left to do.
  Result again = run({"-y"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out, kQuestion + " Yes\n" + kBandPlanDone + "\nNo PJ QSO's requiring changes on or after 10/10/2010 were found.\n");

  // --logbook takes the place of the setting; the band plan still comes from the documents folder.
  Result other = run({"--yes", "--logbook", logbook.string()});
  EXPECT_EQ(other.status, 0) << other.err;
  EXPECT_EQ(readBytes(bandPlan), original[0]);
  EXPECT_NE(readBytes(logbook), original[1]);
}

// Access 97 band plans and logbooks get the same updates as Access 2000 ones of the same data:
// both made by tarnlog-gen, both updated by the program, then every table compared row by row.
TEST_F(ConsoleTest, Access97FilesGetTheSameUpdatesAsAccess2000Ones) {
  const std::vector<std::pair<std::string, std::string>> tables = {
      {"bandplan", "prefixes"}, {"bandplan", "plink"}, {"bandplan", "plinkold"}, {"logbook", "MainLog"}};
  std::map<std::string, std::vector<std::string>> exported;  // by format: one export per table
  std::map<std::string, std::string> said, logbookBefore;
  for (const std::string format : {"97", "2000"}) {
    SCOPED_TRACE("Access " + format);
    const fs::path files[2] = {dir / ("bandplan" + format + ".mdb"), dir / ("logbook" + format + ".mdb")};
    int status = 0;
    runCommand(shellQuote(TARNLOG_GEN_EXE) + " bandplan " + shellQuote(files[0].string()) + " --format " + format, &status);
    ASSERT_EQ(status, 0);
    runCommand(shellQuote(TARNLOG_GEN_EXE) + " logbook " + shellQuote(files[1].string()) + " --contacts 3000 --seed 7 --format " + format,
               &status);
    ASSERT_EQ(status, 0);
    logbookBefore[format] = runCommand(shellQuote(JET_EXE) + " export " + shellQuote(files[1].string()) + " MainLog");
    Result r = run({"--yes", "--bandplan", files[0].string(), "--logbook", files[1].string()});
    EXPECT_EQ(r.status, 0) << r.err;
    said[format] = r.out;
    for (const fs::path& file : files) {
      EXPECT_EQ(jet::Database(file.string(), jet::Database::Mode::ReadOnly).header().version, format == "97" ? 0 : 1);
      EXPECT_EQ(integrityProblems(file.string()), "") << file;
    }
    for (const auto& [which, table] : tables) {
      exported[format].push_back(
          runCommand(shellQuote(JET_EXE) + " export " + shellQuote(files[which == "bandplan" ? 0 : 1].string()) + " " + table, &status));
      EXPECT_EQ(status, 0) << table;
    }
  }
  EXPECT_EQ(said["97"], said["2000"]);
  EXPECT_NE(said["97"].find(" PJ logbook records have been updated."), std::string::npos) << said["97"];
  EXPECT_NE(exported["97"][3], logbookBefore["97"]);  // the update did change the logbook
  for (size_t t = 0; t < tables.size(); ++t) {
    EXPECT_GT(linesOf(exported["97"][t]).size(), 1u) << tables[t].second;
    EXPECT_EQ(exported["97"][t], exported["2000"][t]) << tables[t].second;  // shown as a diff of the lines
  }
}

// A grown logbook (tarnlog-gen --grown: contacts inserted in time order while the indexes exist)
// holds the same contacts as the packed one, its rows and IDs in time order; both pass the check
// before and after the update, which says and changes the same in both.
TEST_F(ConsoleTest, GrownLogbookHoldsThePackedOnesContactsInTimeOrder) {
  // Rows without their IDs, sorted: the contacts, whatever their numbers and places.
  auto contacts = [](const std::string& exported) {
    std::vector<std::string> rows;
    for (const std::string& line : linesOf(exported)) rows.push_back(line.substr(line.find(',')));
    std::sort(rows.begin(), rows.end());
    return rows;
  };
  std::map<std::string, std::string> said, before, after;
  for (const std::string layout : {"packed", "grown"}) {
    SCOPED_TRACE(layout);
    const fs::path book = dir / ("logbook-" + layout + ".mdb"), plan = dir / ("bandplan-" + layout + ".mdb");
    int status = 0;
    runCommand(shellQuote(TARNLOG_GEN_EXE) + " bandplan " + shellQuote(plan.string()), &status);
    ASSERT_EQ(status, 0);
    runCommand(shellQuote(TARNLOG_GEN_EXE) + " logbook " + shellQuote(book.string()) + " --contacts 3000 --seed 7" +
                   (layout == "grown" ? " --grown" : ""),
               &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(integrityProblems(book.string()), "");
    before[layout] = runCommand(shellQuote(JET_EXE) + " export " + shellQuote(book.string()) + " MainLog");
    const std::string byTime = runCommand(shellQuote(JET_EXE) + " export " + shellQuote(book.string()) + " MainLog --index Time_Start");
    const std::string byId = runCommand(shellQuote(JET_EXE) + " export " + shellQuote(book.string()) + " MainLog --index PrimaryKey");
    // In file order, in ID order and in time order alike only when grown.
    EXPECT_EQ(before[layout] == byTime && byTime == byId, layout == "grown");
    Result r = run({"--yes", "--bandplan", plan.string(), "--logbook", book.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    said[layout] = r.out;
    EXPECT_EQ(integrityProblems(book.string()), "");
    after[layout] = runCommand(shellQuote(JET_EXE) + " export " + shellQuote(book.string()) + " MainLog");
  }
  EXPECT_EQ(linesOf(before["grown"]).size(), 3001u);
  EXPECT_EQ(contacts(before["grown"]), contacts(before["packed"]));
  EXPECT_EQ(said["grown"], said["packed"]);
  EXPECT_NE(after["grown"], before["grown"]);
  EXPECT_EQ(contacts(after["grown"]), contacts(after["packed"]));
}

}  // namespace
