// The write-ahead log `<database>-wal`: its format, the writer the pager appends through, and
// recovery in three steps (scan, check that the log belongs to the file, carry it in).
//
// FORMAT. Integers are little-endian. Every record is 32 bytes, a frame 32 bytes plus one page.
// A checksum runs over little-endian 64-bit words, h = (h ^ w) * 0x100000001b3, then h ^= h >> 29
// (bytes past the last whole word one at a time). Over a page, four such chains run side by side,
// chain k taking words k, k + 4, ...; chain 0 starts from h, the others from h xor a constant
// each. The four results are then taken into h as words, followed by the bytes past the last 32.
//
//   Checkpoint slot, at offset 0: 32 zero bytes until a checkpoint begins; then, written and
//   synced before any page of the log is written into the file:
//     0   4  "CKPT"
//     4   4  the last committed transaction
//     8   4  salt
//     12  8  end of the log's committed records: everything before it may be in the file
//     20  4  0
//     24  8  checksum, seeded by the salt, of bytes 0..23
//   It comes first so that a log cut anywhere still tells whether the file may be half-written.
//   Header, at offset 32:
//     0   8  magic "TWAL0005"
//     8   4  page size of the database
//     12  4  salt: a new random number for every log; each record repeats it, so that records
//            left over from an earlier log at the same place never count
//     16  8  identity: checksum of the database's page 0 when the log was begun
//     24  8  checksum of bytes 0..23
//   Then, from offset 64, records one after the other, each starting with a kind:
//   Frame, one page of a transaction:
//     0   4  "FRAM"
//     4   4  page number
//     8   4  transaction number (rising within a log)
//     12  4  salt
//     16  8  checksum of what the page held before the transaction changed it (0: a new page)
//     24  8  checksum, seeded by the salt, of bytes 0..23 and the page
//     32  -  the page
//   Commit, ending a transaction:
//     0   4  "CMIT"
//     4   4  transaction number
//     8   4  salt
//     12  4  the database's size in pages after the transaction
//     16  4  number of frames of the transaction
//     20  4  0
//     24  8  checksum, seeded by the salt, of bytes 0..23 followed by the checksums of the
//            transaction's frames in the order they lie in the log
//
// INVARIANTS.
// - A transaction counts only when its commit record is whole and its checksum matches every
//   frame of the transaction as it lies in the log: a frame torn or lost by a stop voids it.
// - Within a transaction each page has one frame. A page changed again after its frame was
//   written (when a large transaction spills pages to keep memory bounded) is rewritten in
//   place; frames of committed transactions are never rewritten. So the log of one
//   transaction is about as large as the pages it changes.
// - Frames appended one after the other are written together, up to 1 MB at a time, and all
//   of them before anything reads the log or writes a commit record or the checkpoint slot; a
//   stop that loses some of them voids their transaction like any torn frame.
// - The log is synced at each commit; the database file is written only by a checkpoint, after
//   the checkpoint slot is synced and the file's final size is reserved, so that writing pages
//   in place cannot fail for lack of room. A checkpoint ends by syncing the file and removing
//   the log. Carrying a log in again is harmless: it writes the same pages.
// - Scanning stops at the first record that is not whole; everything after the last valid
//   commit is uncommitted work of a stopped process and is dropped, unless a commit lies beyond
//   that verifies against the checksums its frames carry: then the record that stopped the scan
//   is damage, not the torn tail a stop leaves (only the last transaction's records are ever
//   written without a sync after them), and the log is kept.
// - Once the slot is written, the log must reach the end the slot names: a log damaged or cut
//   before it means the file is half-written and cannot be finished.
// - Memory: a scan keeps one entry per page (page number, offset, checksum), never pages;
//   a Jet file has at most 2 GB of pages, so the index stays below a few MB.
// - A log belongs to the file beside it when the file's page 0 is the identity (or the newest
//   copy of page 0 in the log) and, before a checkpoint began, every page the log holds is in
//   the file either what the log's first copy replaced or what its newest copy holds. After a
//   checkpoint began, logged pages may be torn in the file, so only an unlogged page 0 is checked.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/os/file_system.h"
#include "jet/pager/page_map.h"

namespace jet::wal {

inline constexpr size_t kSlotSize = 32;
inline constexpr size_t kHeaderSize = 64;  // the checkpoint slot and the header proper
inline constexpr size_t kRecordSize = 32;

// A checksum of a page, never 0 (which marks a page that did not exist).
uint64_t pageSum(const uint8_t* page, size_t size);

// Reads exactly `len` bytes at `offset`; false when the log ends before.
using ReadLog = std::function<bool(uint64_t offset, uint8_t* buf, size_t len)>;

struct LoggedPage {
  uint32_t page = 0;
  uint64_t offset = 0;  // of the newest committed copy's bytes
  uint64_t before = 0;  // what the oldest committed copy replaced (0: a new page)
};

// What a log holds.
struct LogScan {
  enum class Header { Missing, Damaged, Whole } header = Header::Missing;
  uint32_t pageSize = 0;
  uint32_t salt = 0;
  uint64_t identity = 0;
  std::vector<LoggedPage> pages;  // committed pages, by page number
  uint32_t pagesAfter = 0;        // the database's size in pages after the last commit
  uint32_t lastTransaction = 0;
  // The checkpoint slot: zero, a checkpoint begun, or neither (a write of it torn, or damage).
  enum class Slot { Empty, Begun, Unreadable } slot = Slot::Empty;
  uint64_t markedEnd = 0;        // Begun: the end of the records the checkpoint carries in
  uint32_t markedTransaction = 0;
  bool checkpointBegun = false;  // Begun, and the log reaches what the slot names
  uint64_t end = 0;   // end of the last whole commit: what lies beyond is dropped
  uint64_t stop = 0;  // where the scan stopped
  bool damaged = false;  // a committed transaction lies beyond the record that stopped the scan
};

// The log of the database file at `databasePath`: beside the file itself, so that the file's
// own name and any link to it find the same log.
std::string logPathOf(const std::string& databasePath, FileSystem& fs);

// Step 1: the committed transactions of a log of `size` bytes.
LogScan scanLog(const ReadLog& read, uint64_t size);
LogScan scanLog(const std::string& bytes);

// Step 2: whether the log can belong to the database file. `filePage` reads a page of the file
// (false past its end).
bool logBelongsToFile(const LogScan& scan, const ReadLog& readLog,
                      const std::function<bool(uint32_t page, uint8_t* buf)>& filePage);

// The writer side. A log exists on disk from the first frame to the end of a checkpoint.
class LogWriter {
 public:
  LogWriter(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  bool exists() const { return file_ != nullptr; }
  void setPageSize(size_t size) { pageSize_ = size; }

  // Starts a new log: its header written. It is synced, and its folder entry, by the first
  // commit: a log that never committed is as good as none.
  void create(uint64_t identity);
  // Takes over a log found at open (step 3 begins here): its committed pages become this log's.
  void adopt(std::unique_ptr<File> file, const LogScan& scan);
  // Recovery at open (wal_recovery.cc): a log a stopped process left beside `database` is
  // scanned and checked, then taken over for a checkpoint (true), or removed when it holds no
  // committed work. A log that cannot belong to the file is moved aside and the open refused.
  bool recover(File& database, const std::string& databasePath);
  // Carries the log into the database file (wal_checkpoint.cc): writes the checkpoint slot,
  // reserves the file's final size, writes the newest copies of the pages, syncs the file,
  // removes the log.
  // Returns the file's size afterwards.
  uint64_t checkpoint(File& database, const std::string& databasePath, uint64_t fileSize);

  // Where the newest bytes of a page lie in the log (this transaction's first).
  std::optional<uint64_t> find(uint32_t page) const;
  void readPage(uint64_t offset, uint8_t* buf);
  // Any stretch of the log's bytes (several frames read at once).
  void readBytes(uint64_t offset, uint8_t* buf, size_t length);

  // A page of the transaction under way: appended, or rewritten in place if already logged in
  // it. Appended frames are gathered and written together, at the latest by flush().
  void writeFrame(uint32_t page, const uint8_t* data, uint64_t before);
  // Writes the frames gathered so far.
  void flush();
  bool transactionOpen() const { return !txn_.empty(); }
  // Ends the transaction: commit record, then sync (and the log's folder entry, once).
  void commit(uint32_t pagesAfter);
  // Forgets the frames of the transaction under way.
  void rollback();

  // Committed pages and where their newest copies lie.
  const PageMap<uint64_t>& committed() const { return committed_; }
  uint32_t pagesAfter() const { return pagesAfter_; }
  uint64_t size() const { return end_; }
  // The checkpoint slot, written and synced (the log's folder entry too, once) before a
  // checkpoint writes into the database file.
  void markCheckpoint();
  // The log has been carried in: it goes.
  void remove();
  // Closes without changing anything (the process stops; the next open carries the log in).
  void abandon() {
    batch_.clear();
    file_.reset();
  }

  uint64_t bytesWritten() const { return bytesWritten_; }
  // Bytes that checkpoints wrote into the database file.
  uint64_t bytesCarriedIn() const { return bytesCarriedIn_; }
  size_t pageSize() const { return pageSize_; }

 private:
  void writeRecord(uint64_t offset, const std::string& bytes);
  void syncLog();
  [[noreturn]] void setAside(const std::string& databasePath, const std::string& why);
  // The log's own name must not be a symbolic link (even one that leads nowhere).
  void refuseLink() const;
  [[noreturn]] void refuseHalfWritten(const std::string& databasePath, const LogScan& scan, uint64_t size);

  FileSystem& fs_;
  std::string path_;
  std::unique_ptr<File> file_;
  size_t pageSize_ = 0;
  uint32_t salt_ = 0;
  bool folderSynced_ = false;  // the log's entry in its folder survives a power cut
  uint64_t end_ = 0;           // where the next record goes
  uint64_t committedEnd_ = 0;  // end of the last commit
  uint32_t lastTxn_ = 0;  // the last committed transaction
  uint32_t nextTxn_ = 1;  // the number of the transaction under way
  uint32_t pagesAfter_ = 0;
  PageMap<uint64_t> committed_;  // page -> offset of its newest committed bytes
  PageMap<uint64_t> txn_;        // page -> offset of its bytes in this transaction
  std::map<uint64_t, uint64_t> txnChecks_;            // frame offset -> frame checksum, in log order
  uint64_t bytesWritten_ = 0;
  uint64_t bytesCarriedIn_ = 0;
  std::string batch_;  // appended frames not yet written: they belong at end_ - batch_.size()
};

}  // namespace jet::wal
