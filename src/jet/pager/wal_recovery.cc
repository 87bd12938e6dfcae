// Recovery of a log left by a process that stopped: scan it, check that it belongs to the file
// beside it, and take it over so that a checkpoint carries it in (the three steps of wal.h).
#include <algorithm>
#include <ctime>

#include "jet/os/file_name_stamp.h"
#include "jet/base/error.h"
#include "jet/pager/wal.h"

namespace jet::wal {

bool LogWriter::recover(File& database, const std::string& databasePath) {
  refuseLink();
  auto opened = fs_.open(path_, OsFile::Open::ReadWrite);
  if (!opened) {
    if (opened.error().kind == OsFailure::NotFound) return false;
    throw Error(err::kDiskIo, "Cannot open the log '" + path_ + "': " + opened.error().text + ".");
  }
  std::unique_ptr<File> lf = std::move(*opened);
  const uint64_t size = uint64_t(std::max<int64_t>(lf->size(), 0));
  File& logFile = *lf;
  auto readLog = [&](uint64_t offset, uint8_t* buf, size_t len) {
    size_t done = 0;
    while (done < len) {
      OsResult<size_t> r = logFile.readAt(offset + done, buf + done, len - done);
      if (!r) throw Error(err::kDiskIo, "Read error in the log '" + path_ + "': " + r.error().text + ".");
      if (*r == 0) return false;
      done += *r;
    }
    return true;
  };
  const LogScan scan = scanLog(readLog, size);
  // Once a checkpoint may have begun, a log that does not reach what it carried in means the
  // file is half-written: the log stays where it is, and every open refuses the file.
  const bool mayHaveBegun = scan.slot != LogScan::Slot::Empty;
  const bool broken = scan.damaged || scan.header != LogScan::Header::Whole ||
                      (scan.slot == LogScan::Slot::Begun && !scan.checkpointBegun);
  if (mayHaveBegun && broken) {
    lf.reset();
    refuseHalfWritten(databasePath, scan, size);
  }
  if (scan.header == LogScan::Header::Damaged && size > kHeaderSize) {
    lf.reset();
    setAside(databasePath, "has a damaged header");
  }
  if (scan.damaged) {
    lf.reset();
    setAside(databasePath, "is damaged: the record at byte " + std::to_string(scan.stop) +
                               " fails its check while committed work follows it");
  }
  if (scan.header != LogScan::Header::Whole || scan.pages.empty()) {
    // Nothing committed: the unfinished work of a process that stopped.
    lf.reset();
    if (OsStatus s = fs_.remove(path_); !s) throw Error(err::kDiskIo, "Cannot remove the log '" + path_ + "': " + s.error().text + ".");
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

void LogWriter::refuseLink() const {
  if (!fs_.pathInfo(path_).link) return;
  throw Error(err::kLogNotCreated, "Cannot use the log '" + path_ +
                                       "': it is a symbolic link, and a log is never created or opened through a link. "
                                       "Remove the link and try again.");
}

void LogWriter::refuseHalfWritten(const std::string& databasePath, const LogScan& scan, uint64_t size) {
  std::string how = scan.header != LogScan::Header::Whole ? "its header is damaged"
                    : scan.damaged ? "the record at byte " + std::to_string(scan.stop) + " fails its check"
                                   : "it breaks off at byte " + std::to_string(scan.stop) + " of the " +
                                         std::to_string(scan.markedEnd) + " it had when the copy began";
  throw Error(err::kNotDatabase, "The database '" + databasePath + "' is half-written: copying its log '" + path_ +
                                     "' into it was stopped, and the log is damaged (" + how + ", " + std::to_string(size) +
                                     " bytes), so the copy cannot be finished. The log is kept and the database is refused "
                                     "until you put back a backup of it and then delete the log.");
}

void LogWriter::setAside(const std::string& databasePath, const std::string& why) {
  const std::string aside = path_ + ".foreign-" + fileNameStamp(std::time(nullptr));
  const std::string what = "The database '" + databasePath + "' has a log of unfinished changes, '" + path_ + "', that " + why;
  if (OsStatus s = fs_.rename(path_, aside); !s) {
    throw Error(err::kNotDatabase, what + ", and it cannot be moved aside (" + s.error().text + "). Move it away and try again.");
  }
  fs_.syncFolderOf(aside);
  throw Error(err::kNotDatabase, what + ". It has been moved to '" + aside + "' and the database left as it was; try again.");
}

}  // namespace jet::wal
