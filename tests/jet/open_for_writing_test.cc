// Opening a database for writing refuses, before anything is written and with an error that says
// why: a file held through its lock file or by another writer, one this user may not read or
// write, one in another code page, one whose folder takes no log, and one cut shorter than its
// own page maps.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "../error_number.h"
#include "../faulty_files.h"
#include "jet/write/create_database.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/write/table_writer.h"
#include "jet_test_support.h"

namespace jet {
namespace {

using testing::ScratchDir;
using testing::fixturePath;

// Opens `path` (for writing unless told) and closes it: "" when that works, else "number: description".
std::string openForWriting(const std::string& path, Database::Mode mode = Database::Mode::ReadWrite,
                           FileSystem& fs = FileSystem::real()) {
  try {
    Database db(path, mode, fs);
    return "";
  } catch (const Error& e) {
    return std::to_string(e.number()) + ": " + e.what();
  }
}

// openForWriting in a child process that runs as the user nobody when this one is root (as the
// tests are in CI), so that file permissions apply to it.
std::string openForWritingUnprivileged(const std::string& path, Database::Mode mode = Database::Mode::ReadWrite) {
  int out[2];
  if (::pipe(out) != 0) return "no pipe";
  pid_t child = ::fork();
  if (child == 0) {
    ::close(out[0]);
    std::string result = "cannot run as nobody";
    if (::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0)) {
      result = openForWriting(path, mode);
    }
    (void)!::write(out[1], result.data(), result.size());
    ::_exit(0);
  }
  ::close(out[1]);
  std::string result;
  char buf[512];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) result.append(buf, size_t(n));
  ::close(out[0]);
  ::waitpid(child, nullptr, 0);
  return result;
}

// Whether `result` is a refusal numbered `number` whose description names `part`.
::testing::AssertionResult refused(const std::string& result, const std::string& number, const std::string& part = "") {
  if (result.rfind(number + ": ", 0) == 0 && result.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the open gave \"" << result << "\"";
}

// A copy of a fixture that every user may read and write, in a folder every user may enter.
std::string sharedCopy(const ScratchDir& dir, const std::string& fixture, const std::string& name) {
  ::chmod(dir.path().c_str(), 0777);
  std::string path = dir.copy(fixturePath(fixture), name);
  ::chmod(path.c_str(), 0666);
  return path;
}

TEST(OpenForWriting, LockFilesAreSeenAsJetSeesThem) {
  ScratchDir dir;
  std::string path = sharedCopy(dir, "jet4/bandplan.mdb", "bandplan.mdb");
  std::string ldb = dir.path() + "/bandplan.ldb";
  testing::writeFile(ldb, std::string(64, '\0'));
  std::filesystem::create_directory(dir.path() + "/elsewhere");
  std::string link = dir.path() + "/elsewhere/named.mdb";
  std::filesystem::create_symlink(path, link);

  // Held with a BSD lock (flock) rather than a record lock; through the link as well.
  int fd = ::open(ldb.c_str(), O_RDWR);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_TRUE(refused(openForWriting(path), "3045"));
  EXPECT_TRUE(refused(openForWriting(link), "3045", ldb));  // the lock file beside the real file
  ::close(fd);
  EXPECT_EQ(openForWriting(link), "");

  // A lock file this user cannot open cannot be checked: it counts as held.
  ::chmod(ldb.c_str(), 0200);
  EXPECT_TRUE(refused(openForWritingUnprivileged(path), "3045", "cannot be checked"));
  // A lock file left behind by a program that ended is no lock.
  ::chmod(ldb.c_str(), 0666);
  EXPECT_EQ(openForWritingUnprivileged(path), "");

  // A check that the system cannot answer, or that finds the lock held, refuses a writer, and a
  // reader that would carry a leftover log in: nothing is written, and the log stays.
  {
    Database db(path, Database::Mode::ReadWrite);
    TableWriter(db, db.table("plink")).insert({Value::null(), Value::text("KX1"), Value::long_(517)});
  }  // stops without carrying its log in
  const std::string before = testing::readFile(path), log = testing::readFile(path + "-wal");
  testing_support::FaultyFiles disk;
  disk.failLockChecks({OsFailure::Other, "Input/output error"});
  EXPECT_TRUE(refused(openForWriting(path, Database::Mode::ReadWrite, disk), "3045", "cannot be checked (Input/output error)"));
  EXPECT_TRUE(refused(openForWriting(path, Database::Mode::ReadOnly, disk), "3045", "cannot be checked"));
  disk.failLockChecks({OsFailure::Busy, "held"});
  EXPECT_TRUE(refused(openForWriting(link, Database::Mode::ReadWrite, disk), "3045", "is held"));
  EXPECT_EQ(disk.changes(), 0);
  EXPECT_TRUE(testing::readFile(path) == before && testing::readFile(path + "-wal") == log);
  EXPECT_EQ(openForWriting(path, Database::Mode::ReadOnly), "");
  EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
}

// A record lock that another process holds on the lock file, a second writer or a reader in this
// process, and a file without write permission.
TEST(OpenForWriting, RecordLocksSecondWritersAndReadOnlyFilesAreRefused) {
  ScratchDir dir;
  std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"), "bandplan.mdb");
  const std::string before = testing::readFile(path);
  std::string ldb = dir.path() + "/bandplan.ldb";
  testing::writeFile(ldb, std::string(64, '\0'));
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  if (child == 0) {
    int fd = ::open(ldb.c_str(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    ::fcntl(fd, F_SETLK, &fl);
    (void)!::write(ready[1], "x", 1);
    ::pause();
    ::_exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  EXPECT_TRUE(refused(openForWriting(path), "3045")) << "held by another process";
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  {
    Database first(path, Database::Mode::ReadWrite);
    EXPECT_TRUE(refused(openForWriting(path), "3045")) << "a second writer";
    EXPECT_TRUE(refused(openForWriting(path, Database::Mode::ReadOnly), "3045")) << "a reader under the writer";
    // Neither that refused writer nor any other open of the file in this process (a reader, a
    // backup copy) lets go of the writer's record lock when it closes.
    ::close(::open(path.c_str(), O_RDONLY));
    pid_t other = ::fork();
    if (other == 0) {
      int fd = ::open(path.c_str(), O_RDWR);
      struct flock fl {};
      fl.l_type = F_RDLCK;
      fl.l_whence = SEEK_SET;
      ::_exit(::fcntl(fd, F_SETLK, &fl) == 0 ? 1 : 0);
    }
    int status = -1;
    ::waitpid(other, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process took a record lock under the writer";
  }
  ::chmod(path.c_str(), 0444);
  EXPECT_TRUE(refused(openForWriting(path), "3027")) << "a read-only file";
  EXPECT_EQ(testing::readFile(path), before);

}

TEST(OpenForWriting, RefusalsSayWhatIsWrong) {
  ScratchDir dir;
  // A name longer than the system takes is told as such, not as a missing file.
  const std::string tooLong = dir.path() + "/" + std::string(300, 'n') + ".mdb";
  EXPECT_TRUE(refused(openForWriting(tooLong), "3055", "too long"));
  EXPECT_TRUE(refused(openForWriting(tooLong, Database::Mode::ReadOnly), "3055", "too long"));
  EXPECT_TRUE(refused(openForWriting(dir.path() + "/missing.mdb"), "3024", "Could not find"));
  EXPECT_EQ(testing_support::errorNumber([&] { createDatabase(tooLong); }), err::kInvalidFileName);

  std::string writeOnly = sharedCopy(dir, "jet4/bandplan.mdb", "write-only.mdb");
  ::chmod(writeOnly.c_str(), 0222);
  EXPECT_TRUE(refused(openForWritingUnprivileged(writeOnly), "3051", "no permission to read"));

  std::string othersRead = sharedCopy(dir, "jet4/bandplan.mdb", "others-read.mdb");
  ::chmod(othersRead.c_str(), 0644);
  EXPECT_TRUE(refused(openForWritingUnprivileged(othersRead), "3027", "no permission to write"));

  // A folder where the log cannot be created: refused at the open, nothing written.
  std::string folder = dir.path() + "/read-only-folder";
  std::filesystem::create_directory(folder);
  std::string inFolder = folder + "/bandplan.mdb";
  std::filesystem::copy_file(fixturePath("jet4/bandplan.mdb"), inFolder);
  ::chmod(inFolder.c_str(), 0666);
  ::chmod(folder.c_str(), 0555);
  const std::string before = testing::readFile(inFolder);
  EXPECT_TRUE(refused(openForWritingUnprivileged(inFolder), "3050", inFolder + "-wal"));
  EXPECT_EQ(testing::readFile(inFolder), before);
  ::chmod(folder.c_str(), 0755);

  // A log left by a writer that stopped, which this user may not open: a reader too is refused,
  // rather than reading the file without the changes the log holds.
  std::string leftover = sharedCopy(dir, "jet4/bandplan.mdb", "leftover.mdb");
  {
    Database db(leftover, Database::Mode::ReadWrite);
    TableWriter(db, db.table("plink")).insert({Value::null(), Value::text("KX1"), Value::long_(517)});
  }  // stops without carrying its log in
  ::chmod((leftover + "-wal").c_str(), 0600);
  EXPECT_TRUE(refused(openForWritingUnprivileged(leftover, Database::Mode::ReadOnly), "3043", leftover + "-wal"));
}

TEST(OpenForWriting, AFileShorterThanItsPageMapsIsRefusedUntouched) {
  ScratchDir dir;
  for (const char* fixture : {"jet4/logbook.mdb", "jet4/bandplan.mdb"}) {
    for (int missing : {1, 2}) {
      std::string path = dir.copy(fixturePath(fixture), "short.mdb");
      std::filesystem::resize_file(path, std::filesystem::file_size(path) - 4096u * unsigned(missing));
      const std::string before = testing::readFile(path);
      EXPECT_TRUE(refused(openForWriting(path), "3049")) << fixture << " short by " << missing;
      EXPECT_EQ(testing::readFile(path), before);
      EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    }
  }
}

}  // namespace
}  // namespace jet
