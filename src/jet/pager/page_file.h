// The pager: the database file as numbered pages, with a cache, locking, operations and
// transactions. Committed changes go to the write-ahead log (wal.h) and from there, at a
// checkpoint, into the file.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "jet/os/file_system.h"
#include "jet/pager/page_map.h"
#include "jet/pager/wal.h"

namespace jet {

// One page's bytes. A new page is not cleared: whoever makes one fills all of it (a read, a
// copy, an index node written out), and a page added to the file is made zeroed.
class Page {
 public:
  explicit Page(size_t size) : bytes_(std::make_unique_for_overwrite<uint8_t[]>(size)), size_(size) {}
  Page(size_t size, uint8_t fill) : Page(size) { std::memset(bytes_.get(), fill, size); }
  uint8_t* data() { return bytes_.get(); }
  const uint8_t* data() const { return bytes_.get(); }
  size_t size() const { return size_; }
  uint8_t operator[](size_t i) const { return bytes_[i]; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_;
};
using PageRef = std::shared_ptr<const Page>;

// Keeps some pages in a decoded form of its own (the index nodes), changes them there, and
// writes their bytes only when the pager needs them.
class PageKeeper {
 public:
  virtual ~PageKeeper() = default;
  // The bytes of a page whose newest form is kept here are needed: they are written into `out`.
  virtual void writeOut(uint32_t page, uint8_t* out) = 0;
  // The pager changes `page` itself, or makes it anew: a decoded form of it goes. When `out` is
  // not null, the newest form is kept here and is first written into `out`.
  virtual void changing(uint32_t page, uint8_t* out) = 0;
  // The operation under way ended; rolled back, the pages it changed return to their state before it.
  virtual void operationEnded(bool rolledBack) = 0;
  // The transaction is dropped whole: everything kept of changed pages goes.
  virtual void dropAll() = 0;
};

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
  // The keeper (below) now holds the newest form of `page`; the pager asks it for the page's
  // bytes when they are next needed: when the page is read or modified, or its transaction is
  // written to the log. A page changed many times is encoded once.
  void keptChange(uint32_t page);
  // `page` is about to change through the keeper, which may change its kept form in place:
  // the page's state before this operation is saved for a rollback.
  void prepareChange(uint32_t page);
  // Undoes a change made in place to a form the keeper holds: run, newest first, when the
  // operation under way is rolled back, and forgotten when it ends.
  void onRollback(std::function<void()> undo) { undo_.push_back(std::move(undo)); }
  // A new zeroed page at the end of the file.
  uint32_t append();

  // The one keeper of decoded pages (the index nodes), made by its first user.
  PageKeeper* keeper() const { return keeper_.get(); }
  void setKeeper(std::unique_ptr<PageKeeper> keeper) { keeper_ = std::move(keeper); }

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

  // Carries the log into the file (wal::LogWriter::checkpoint).
  void checkpoint();

  // Tests and benchmarks: log size that triggers a checkpoint outside transactions, and how
  // many bytes of changed pages a transaction keeps in memory before writing them to the log.
  void setLimits(uint64_t checkpointBytes, uint64_t spillBytes) {
    checkpointBytes_ = checkpointBytes;
    spillBytes_ = spillBytes;
  }
  // Counters: bytes written to the log and to the file, pages read from either.
  struct Counters { uint64_t logBytes = 0, fileBytes = 0, pageReads = 0; };
  Counters counters() const { return {log_.bytesWritten(), log_.bytesCarriedIn(), pageReads_}; }

 private:
  void requireWritable() const;
  void makeRoom();
  // A page buffer of the page size, its bytes undefined: one the cache let go of, or a new one.
  std::shared_ptr<Page> blankPage();
  std::shared_ptr<Page> copyOf(const Page& page);
  PageRef firstChange(uint32_t page);
  bool saveDirtyPage(uint32_t page, std::shared_ptr<Page>& image, bool copyImage);
  void openForWriting();
  void endOperation();
  void writePagesToLog(bool all);
  void dropOperationState();
  Page& imageOf(uint32_t page, std::shared_ptr<Page>& image);

  std::string path_;
  Mode mode_;
  FileSystem& fs_;
  std::unique_ptr<File> file_;
  size_t pageSize_ = 0;
  uint64_t fileSize_ = 0;
  PageMap<PageRef> cache_;
  std::vector<std::shared_ptr<Page>> spare_;  // buffers the cache let go of, for its next reads
  // Changed pages not yet in the log; a null image is stale: the keeper holds the page's newest form.
  PageMap<std::shared_ptr<Page>> dirty_;
  std::set<uint32_t> appended_;  // the pages among them added at the end of the file
  // The operation under way: pages' state before it.
  struct Saved {
    bool dirty = false;  // the page was changed before this operation
    std::shared_ptr<Page> image;
  };
  PageMap<Saved> opSaved_;
  // In a transaction: the last operation that changed each page not yet in the log.
  PageMap<uint64_t> lastChanged_;
  uint64_t operations_ = 0;
  std::vector<std::function<void()>> undo_;  // the operation's in-place changes, oldest first
  PageMap<uint64_t> before_;  // this transaction's pages: checksums of what they replace
  uint32_t committedPages_ = 0;  // pages in the file and its log together
  uint32_t txnPages_ = 0;        // pages after what this transaction wrote to the log
  bool inTransaction_ = false;

  std::unique_ptr<PageKeeper> keeper_;
  wal::LogWriter log_;
  uint64_t checkpointBytes_ = 64u << 20;
  uint64_t spillBytes_ = 8u << 20;
  uint64_t pageReads_ = 0;
};

}  // namespace jet
