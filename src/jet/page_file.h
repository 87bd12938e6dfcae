// The pager: the database file as numbered pages, with a cache, locking, operations and
// transactions. Committed changes go to the write-ahead log (wal.h) and from there, at a
// checkpoint, into the file.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "jet/file_system.h"
#include "jet/wal.h"

namespace jet {

using Page = std::vector<uint8_t>;
using PageRef = std::shared_ptr<const Page>;

class PageFile {
 public:
  enum class Mode { ReadOnly, ReadWrite };

  // Opens the file through `fs`. ReadWrite refuses a read-only file or one another program
  // holds, and holds the file until closed; a log left by a process that stopped is carried in
  // first. ReadOnly holds the file against writers (refusing while one has it) and, when a
  // log was left over, carries it in with a writing open first (refusing when it cannot).
  // A log that cannot belong to the file is moved aside and the open fails, saying where.
  PageFile(const std::string& path, Mode mode, FileSystem& fs = FileSystem::real());
  // Writes nothing: committed work not yet carried in stays in the log for the next open.
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // Ends the open: drops an unfinished transaction, carries the log into the file and removes it.
  void close();

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
  // Changes a page to what `encode` makes of `value` (which must not change afterwards), but
  // encodes it only when its bytes are next needed: when it is read or modified, or its
  // transaction is written to the log. A page changed many times is encoded once; meanwhile
  // `value` is its decoded form.
  using Encoder = std::function<void(uint8_t* page, const void* value)>;
  void modifyLater(uint32_t page, std::shared_ptr<const void> value, Encoder encode);
  // Hands over the decoded form of a page about to be changed with modifyLater. Returns false
  // when the pager lets go of it: its holder may change it in place, and a rollback returns to
  // the page's image. Returns true for a page changed earlier in the transaction and still
  // waiting to be encoded: the value is the page's only up-to-date form, and whoever changes it
  // in place first registers with onRollback how to undo the change.
  bool release(uint32_t page);
  // Undoes a change made in place to a value the pager keeps (see release): run, newest first,
  // when the operation under way is rolled back, and forgotten when it ends.
  void onRollback(std::function<void()> undo) { undo_.push_back(std::move(undo)); }
  // A new zeroed page at the end of the file.
  uint32_t append();

  // Something decoded from a page (an index node), kept beside it until the page changes.
  std::shared_ptr<const void> decoded(uint32_t page) const {
    if (auto p = pending_.find(page); p != pending_.end()) return p->second.value;
    auto d = decoded_.find(page);
    return d == decoded_.end() ? nullptr : d->second;
  }
  void keepDecoded(uint32_t page, std::shared_ptr<const void> value) {
    if (decoded_.size() >= 4096) decoded_.clear();  // bounded, as the page cache is
    decoded_[page] = std::move(value);
  }

  // Ends an operation. Outside a transaction its pages are committed to the log at once (and
  // the log carried in once it has grown large); inside one they wait for its end.
  void commit();
  // Forgets every change of the operation under way.
  void rollback();

  // A transaction: every operation until commitTransaction() is stored as one, or not at all.
  void beginTransaction();
  // Commits the transaction and carries the log into the file: when it returns, the file
  // holds the transaction, synced, and the log is gone.
  void commitTransaction();
  // Forgets every change since beginTransaction().
  void rollbackTransaction();
  bool inTransaction() const { return inTransaction_; }

  // Copies the log into the file: mark the log, reserve the file's size, write the pages,
  // sync the file, remove the log.
  void checkpoint();

  // Tests and benchmarks: log size that triggers a checkpoint outside transactions, and how
  // many bytes of changed pages a transaction keeps in memory before writing them to the log.
  void setLimits(uint64_t checkpointBytes, uint64_t spillBytes) {
    checkpointBytes_ = checkpointBytes;
    spillBytes_ = spillBytes;
  }
  // Counters: bytes written to the log and to the file, pages read from either.
  struct Counters { uint64_t logBytes = 0, fileBytes = 0, pageReads = 0; };
  Counters counters() const { return {log_.bytesWritten(), fileBytes_, pageReads_}; }

 private:
  void requireWritable() const;
  PageRef firstChange(uint32_t page);
  bool saveDirtyPage(uint32_t page, std::shared_ptr<Page>& image, bool copyImage);
  void openForWriting();
  void settleLog();
  void setLogAside(const std::string& why);
  void writePagesToLog();
  void dropOperationState();
  void encodePending(uint32_t page);

  std::string path_;
  Mode mode_;
  FileSystem& fs_;
  std::unique_ptr<File> file_;
  size_t pageSize_ = 0;
  uint64_t fileSize_ = 0;
  std::unordered_map<uint32_t, PageRef> cache_;
  std::unordered_map<uint32_t, std::shared_ptr<const void>> decoded_;
  // Changed pages not yet in the log; a page waiting in pending_ has a stale image (or none).
  std::map<uint32_t, std::shared_ptr<Page>> dirty_;
  struct Pending {
    std::shared_ptr<const void> value;
    Encoder encode;
  };
  std::unordered_map<uint32_t, Pending> pending_;
  // The operation under way: pages' state before it (both empty: not dirty before it).
  struct Saved {
    std::shared_ptr<Page> image;
    std::optional<Pending> pending;
  };
  std::unordered_map<uint32_t, Saved> opSaved_;
  std::vector<std::function<void()>> undo_;  // the operation's in-place changes, oldest first
  std::unordered_map<uint32_t, uint64_t> before_;  // this transaction's pages: checksums of what they replace
  uint32_t committedPages_ = 0;  // pages in the file and its log together
  uint32_t txnPages_ = 0;        // pages after what this transaction wrote to the log
  bool inTransaction_ = false;

  wal::LogWriter log_;
  uint64_t checkpointBytes_ = 64u << 20;
  uint64_t spillBytes_ = 8u << 20;
  uint64_t fileBytes_ = 0;
  uint64_t pageReads_ = 0;
};

}  // namespace jet
