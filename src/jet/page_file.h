// The pager: the database file as numbered pages, with a cache, locking and atomic commits.
// Changes of one operation stay in memory until commit(), which appends them to a write-ahead log.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/os_file.h"

namespace jet {

using Page = std::vector<uint8_t>;
using PageRef = std::shared_ptr<const Page>;

class PageFile {
 public:
  enum class Mode { ReadOnly, ReadWrite };

  // Opens the file. ReadWrite refuses a read-only file or one another program holds, and
  // locks the file until close. Operations left in a write-ahead log by a process that
  // stopped are carried into the file first (ReadOnly: read in place of the file's pages).
  PageFile(const std::string& path, Mode mode);
  // Carries the log into the file; when that fails the log stays and the next open finishes it.
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  const std::string& path() const { return path_; }
  bool writable() const { return mode_ == Mode::ReadWrite; }
  uint64_t fileSize() const { return fileSize_; }

  // The page size is known only once the header page has been read.
  void setPageSize(size_t size);
  size_t pageSize() const { return pageSize_; }
  uint32_t pageCount() const;

  // Reads the first bytes of the file, whatever the page size.
  std::string readPrefix(size_t length);

  // A page as it stands in this operation.
  PageRef read(uint32_t page);
  // A page to change in this operation; the caller writes through the returned pointer.
  uint8_t* modify(uint32_t page);
  // A new zeroed page at the end of the file.
  uint32_t append();

  // Something decoded from a page (an index node), kept beside it until the page changes.
  std::shared_ptr<const void> decoded(uint32_t page) const {
    auto d = decoded_.find(page);
    return d == decoded_.end() ? nullptr : d->second;
  }
  void forgetDecoded(uint32_t page) { decoded_.erase(page); }
  void keepDecoded(uint32_t page, std::shared_ptr<const void> value) {
    if (decoded_.size() >= 4096) decoded_.clear();  // bounded, as the page cache is
    decoded_[page] = std::move(value);
  }

  bool dirty() const { return !dirty_.empty(); }
  // Stores every changed page atomically: one checksummed record appended to the log
  // `<db>-wal`, which a later checkpoint copies into the file.
  void commit();
  // Copies the log into the file: sync the log, write the pages, sync the file, empty the log.
  void checkpoint();
  // Forgets every change of this operation.
  void rollback();

  // Tests: make the Nth following write or sync call fail as a full disk would (0 = never).
  static void failAfterWrites(long n);
  // Tests: after a failure, keep the files as a killed process would leave them.
  static void simulateCrashOnFailure(bool on);
  // Tests: carry the log into the file whenever it has grown past `bytes` (0: the usual size).
  static void checkpointEvery(uint64_t bytes);

 private:
  void osRead(uint64_t offset, uint8_t* buf, size_t len) const;
  void osWrite(OsFile& file, uint64_t offset, const uint8_t* buf, size_t len);
  void osSync(OsFile& file);
  void lockOrRefuse();
  void recoverLog();
  // Syncs the log, marks it, writes its pages into the file and syncs the file.
  void carryLogIntoFile();
  void readLogged(uint64_t offset, uint8_t* buf) const;
  void resetLog();
  std::string logPath() const { return path_ + "-wal"; }

  std::string path_;
  Mode mode_;
  OsFile file_;
  size_t pageSize_ = 0;
  uint64_t fileSize_ = 0;
  std::unordered_map<uint32_t, PageRef> cache_;
  std::unordered_map<uint32_t, std::shared_ptr<const void>> decoded_;
  std::map<uint32_t, std::shared_ptr<Page>> dirty_;
  std::unordered_map<uint32_t, PageRef> overlay_;  // read-only: pages of a log left behind
  uint32_t committedPages_ = 0;  // pages in the file and its log together

  OsFile log_;
  uint64_t logEnd_ = 0;                          // bytes of whole records in the log
  uint64_t logSum_ = 0;                          // checksum chain of the log's records so far
  std::unordered_map<uint32_t, uint64_t> logged_;  // pages whose newest bytes lie in the log, and where
  std::unordered_map<uint32_t, uint64_t> before_;  // this operation's pages: checksums of what they replace
};

}  // namespace jet
