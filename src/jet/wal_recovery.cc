// Recovery of a log left by a process that stopped: scan it, check that it belongs to the file
// beside it, and take it over so that a checkpoint carries it in (the three steps of wal.h).
#include <algorithm>
#include <ctime>

#include "jet/calendar_date.h"
#include "jet/error.h"
#include "jet/wal.h"

namespace jet::wal {

bool LogWriter::recover(File& database, const std::string& databasePath) {
  std::unique_ptr<File> lf = fs_.open(path_, OsFile::Open::ReadWrite);
  if (!lf) {
    if (lastOsError().kind == OsFailure::NotFound) return false;
    throw Error(err::kDiskIo, "Cannot open the log '" + path_ + "': " + lastOsError().text + ".");
  }
  const uint64_t size = uint64_t(std::max<int64_t>(lf->size(), 0));
  File& logFile = *lf;
  auto readLog = [&](uint64_t offset, uint8_t* buf, size_t len) {
    size_t done = 0;
    while (done < len) {
      int64_t r = logFile.readAt(offset + done, buf + done, len - done);
      if (r < 0) throw Error(err::kDiskIo, "Read error in the log '" + path_ + "': " + lastOsError().text + ".");
      if (r == 0) return false;
      done += size_t(r);
    }
    return true;
  };
  const LogScan scan = scanLog(readLog, size);
  if (scan.header == LogScan::Header::Damaged && size > kHeaderSize) {
    lf.reset();
    setAside(databasePath, "has a damaged header");
  }
  if (scan.header != LogScan::Header::Whole || scan.pages.empty()) {
    // Nothing committed: the unfinished work of a process that stopped.
    lf.reset();
    if (!fs_.remove(path_)) throw Error(err::kDiskIo, "Cannot remove the log '" + path_ + "': " + lastOsError().text + ".");
    fs_.syncFolderOf(path_);
    return false;
  }
  const uint64_t fileBytes = uint64_t(std::max<int64_t>(database.size(), 0));
  auto filePage = [&](uint32_t page, uint8_t* buf) {
    if ((uint64_t(page) + 1) * scan.pageSize > fileBytes) return false;
    readAll(database, databasePath, uint64_t(page) * scan.pageSize, buf, scan.pageSize);
    return true;
  };
  if (!logBelongsToFile(scan, readLog, filePage)) {
    lf.reset();
    setAside(databasePath, "does not belong to it");
  }
  adopt(std::move(lf), scan);
  return true;
}

void LogWriter::setAside(const std::string& databasePath, const std::string& why) {
  const std::string aside = path_ + ".foreign-" + fileNameStamp(std::time(nullptr));
  const std::string what = "The database '" + databasePath + "' has a log of unfinished changes, '" + path_ + "', that " + why;
  if (!fs_.rename(path_, aside)) {
    throw Error(err::kNotDatabase, what + ", and it cannot be moved aside (" + lastOsError().text + "). Move it away and try again.");
  }
  fs_.syncFolderOf(aside);
  throw Error(err::kNotDatabase, what + ". It has been moved to '" + aside + "' and the database left as it was; try again.");
}

}  // namespace jet::wal
