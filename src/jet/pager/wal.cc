#include "jet/pager/wal.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>

#include "jet/base/bytes.h"
#include "jet/base/error.h"

namespace jet::wal {

namespace {

constexpr char kMagic[8] = {'T', 'W', 'A', 'L', '0', '0', '0', '5'};
constexpr uint32_t kFrame = 0x4D415246;   // "FRAM"
constexpr uint32_t kCommit = 0x54494D43;  // "CMIT"
constexpr uint32_t kMark = 0x54504B43;    // "CKPT"

// A checksum over whole words.
uint64_t chainSum(uint64_t h, const uint8_t* p, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    h = (h ^ w) * 0x100000001b3ull;
    h ^= h >> 29;
  }
  for (; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}

uint64_t chainWord(uint64_t h, uint64_t w) {
  uint8_t b[8];
  put64(b, w);
  return chainSum(h, b, 8);
}

// A checksum over a page: four chains side by side, each taking every fourth word (so that the
// processor runs them at once), folded into `h` at the end, then the bytes past the last 32.
uint64_t pageChain(uint64_t h, const uint8_t* p, size_t n) {
  auto step = [](uint64_t x, const uint8_t* word) {
    uint64_t w;
    std::memcpy(&w, word, 8);
    x = (x ^ w) * 0x100000001b3ull;
    return x ^ (x >> 29);
  };
  uint64_t a = h, b = h ^ 0x9E3779B97F4A7C15ull, c = h ^ 0xC2B2AE3D27D4EB4Full, d = h ^ 0x165667B19E3779F9ull;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    a = step(a, p + i);
    b = step(b, p + i + 8);
    c = step(c, p + i + 16);
    d = step(d, p + i + 24);
  }
  for (uint64_t lane : {a, b, c, d}) h = chainWord(h, lane);
  return chainSum(h, p + i, n - i);
}

uint32_t get32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint64_t get64(const uint8_t* p) { return get32(p) | uint64_t(get32(p + 4)) << 32; }

uint64_t seed(uint32_t salt) { return 0xCBF29CE484222325ull ^ (uint64_t(salt) << 17); }

// A record of 32 bytes: the first 24 given, the checksum (seeded, then over `more`) appended.
std::string record(uint32_t kind, uint32_t a, uint32_t salt, uint32_t b, uint32_t c, uint32_t d) {
  std::string r;
  append32(r, kind);
  append32(r, a);
  append32(r, salt);
  append32(r, b);
  append32(r, c);
  append32(r, d);
  return r;
}

void sealRecord(std::string& r, uint64_t sum) {
  append32(r, uint32_t(sum));
  append32(r, uint32_t(sum >> 32));
}

const uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

}  // namespace

std::string logPathOf(const std::string& databasePath, FileSystem& fs) {
  return (fs.pathInfo(databasePath).link ? fs.realPath(databasePath) : databasePath) + "-wal";
}

uint64_t pageSum(const uint8_t* page, size_t size) { return pageChain(0x9E3779B97F4A7C15ull, page, size) | 1; }

namespace {

// Whether a commit lies beyond `scan.end` that verifies against the checksums its frames carry
// in their records: the transactions there were committed, so the record that stopped the scan
// is damage. Frames are taken as such by their place (each record that is no commit), so that
// a damaged kind does not lose the way.
bool committedBeyond(const ReadLog& read, uint64_t size, const LogScan& scan) {
  uint8_t r[kRecordSize];
  std::vector<uint64_t> checks;
  for (uint64_t off = scan.end; off + kRecordSize <= size && read(off, r, kRecordSize);) {
    if (get32(r) == kCommit && get32(r + 8) == scan.salt) {
      uint64_t sum = chainSum(seed(scan.salt), r, 24);
      for (uint64_t check : checks) sum = chainWord(sum, check);
      if (sum == get64(r + 24) && get32(r + 4) > scan.lastTransaction && get32(r + 16) == checks.size()) return true;
      checks.clear();
      off += kRecordSize;
    } else {
      checks.push_back(get64(r + 24));
      off += kRecordSize + scan.pageSize;
    }
  }
  return false;
}

}  // namespace

LogScan scanLog(const ReadLog& read, uint64_t size) {
  LogScan scan;
  if (size == 0) return scan;
  uint8_t h[kHeaderSize] = {};
  scan.header = LogScan::Header::Damaged;
  // What can be read of the slot says whether a checkpoint may have begun.
  const size_t slotLength = size_t(std::min<uint64_t>(size, kSlotSize));
  if (read(0, h, slotLength) && std::any_of(h, h + slotLength, [](uint8_t b) { return b != 0; })) {
    scan.slot = LogScan::Slot::Unreadable;
  }
  if (size < kHeaderSize || !read(0, h, kHeaderSize)) return scan;
  const uint8_t* hp = h + kSlotSize;
  const uint32_t psize = get32(hp + 8);
  if (std::memcmp(hp, kMagic, 8) != 0 || chainSum(0, hp, 24) != get64(hp + 24) || psize < 512 || psize > 65536 ||
      (psize & (psize - 1)) != 0) {
    return scan;
  }
  scan.header = LogScan::Header::Whole;
  scan.pageSize = psize;
  scan.salt = get32(hp + 12);
  scan.identity = get64(hp + 16);
  scan.end = kHeaderSize;
  if (get32(h) == kMark && get32(h + 8) == scan.salt && chainSum(seed(scan.salt), h, 24) == get64(h + 24)) {
    scan.slot = LogScan::Slot::Begun;
    scan.markedTransaction = get32(h + 4);
    scan.markedEnd = get64(h + 12);
  }

  struct Copy { uint64_t offset, before; };
  std::map<uint32_t, Copy> committed;
  std::map<uint32_t, Copy> txn;         // this transaction's frame of each page
  std::map<uint64_t, uint64_t> checks;  // frame offset -> checksum
  uint32_t txnNumber = 0;
  std::vector<uint8_t> frame(kRecordSize + psize);
  uint64_t off = kHeaderSize;
  while (off + kRecordSize <= size && read(off, frame.data(), kRecordSize)) {
    const uint8_t* r = frame.data();
    const uint32_t kind = get32(r);
    const uint32_t number = get32(r + (kind == kFrame ? 8 : 4));
    if (get32(r + 8 + (kind == kFrame ? 4 : 0)) != scan.salt) break;
    if (kind == kFrame) {
      if (number <= scan.lastTransaction || (txnNumber != 0 && number != txnNumber)) break;
      if (off + frame.size() > size || !read(off + kRecordSize, frame.data() + kRecordSize, psize)) break;
      uint64_t sum = pageChain(chainSum(seed(scan.salt), r, 24), r + kRecordSize, psize);
      if (sum != get64(r + 24)) break;
      txnNumber = number;
      txn[get32(r + 4)] = Copy{off + kRecordSize, get64(r + 16)};
      checks[off] = sum;
      off += frame.size();
    } else if (kind == kCommit) {
      if (number <= scan.lastTransaction || (txnNumber != 0 && number != txnNumber)) break;
      uint64_t sum = chainSum(seed(scan.salt), r, 24);
      for (auto& [at, check] : checks) sum = chainWord(sum, check);
      if (sum != get64(r + 24) || get32(r + 16) != txn.size()) break;
      for (auto& [page, copy] : txn) {
        auto [it, fresh] = committed.emplace(page, copy);
        if (!fresh) it->second.offset = copy.offset;  // the oldest copy's `before` stays
      }
      scan.pagesAfter = std::max(scan.pagesAfter, get32(r + 12));
      scan.lastTransaction = number;
      txn.clear();
      checks.clear();
      txnNumber = 0;
      off += kRecordSize;
      scan.end = off;
    } else {
      break;
    }
  }
  scan.stop = off;
  scan.damaged = committedBeyond(read, size, scan);
  scan.checkpointBegun = scan.slot == LogScan::Slot::Begun && scan.end >= scan.markedEnd &&
                         scan.lastTransaction >= scan.markedTransaction;
  scan.pages.reserve(committed.size());
  for (auto& [page, copy] : committed) scan.pages.push_back(LoggedPage{page, copy.offset, copy.before});
  return scan;
}

LogScan scanLog(const std::string& bytes) {
  return scanLog(
      [&](uint64_t offset, uint8_t* buf, size_t len) {
        if (offset + len > bytes.size()) return false;
        std::memcpy(buf, bytes.data() + offset, len);
        return true;
      },
      bytes.size());
}

bool logBelongsToFile(const LogScan& scan, const ReadLog& readLog,
                      const std::function<bool(uint32_t page, uint8_t* buf)>& filePage) {
  const size_t psize = scan.pageSize;
  std::vector<uint8_t> current(psize), newest(psize);
  auto newestSum = [&](const LoggedPage& p) {
    return readLog(p.offset, newest.data(), psize) ? pageSum(newest.data(), psize) : 0;
  };
  const LoggedPage* page0 = scan.pages.empty() || scan.pages.front().page != 0 ? nullptr : &scan.pages.front();
  if (!filePage(0, current.data())) return false;
  const uint64_t sum0 = pageSum(current.data(), psize);
  // Once a checkpoint has begun, pages the log holds may be half-written in the file: page 0
  // then proves the file's identity only if the log does not hold it.
  if (scan.checkpointBegun && page0) return true;
  if (sum0 != scan.identity && !(page0 && sum0 == newestSum(*page0))) return false;
  if (scan.checkpointBegun) return true;
  for (const LoggedPage& p : scan.pages) {
    if (!filePage(p.page, current.data())) {
      if (p.before != 0) return false;  // the log changed a page the file does not have
      continue;
    }
    const uint64_t now = pageSum(current.data(), psize);
    if (now != p.before && now != newestSum(p)) return false;
  }
  return true;
}

void LogWriter::writeRecord(uint64_t offset, const std::string& bytes) {
  writeAll(*file_, path_, offset, bytes.data(), bytes.size());
  bytesWritten_ += bytes.size();
}

void LogWriter::create(uint64_t identity) {
  refuseLink();
  auto opened = fs_.open(path_, OsFile::Open::Replace);
  if (!opened) throwWriteFailure(opened.error(), ": cannot create the log '" + path_ + "'");
  file_ = std::move(*opened);
  std::random_device random;
  salt_ = random();
  std::string h(kSlotSize, '\0');
  h.append(kMagic, 8);
  append32(h, uint32_t(pageSize_));
  append32(h, salt_);
  sealRecord(h, identity);
  sealRecord(h, chainSum(0, bytesOf(h) + kSlotSize, 24));
  writeRecord(0, h);
  folderSynced_ = false;
  end_ = committedEnd_ = kHeaderSize;
  lastTxn_ = 0;
  nextTxn_ = 1;
  committed_.clear();
  txn_.clear();
  txnChecks_.clear();
}

void LogWriter::adopt(std::unique_ptr<File> file, const LogScan& scan) {
  file_ = std::move(file);
  folderSynced_ = false;  // the process that wrote it may have stopped before it synced its folder
  pageSize_ = scan.pageSize;
  salt_ = scan.salt;
  end_ = committedEnd_ = scan.end;
  lastTxn_ = scan.lastTransaction;
  nextTxn_ = lastTxn_ + 1;
  pagesAfter_ = scan.pagesAfter;
  committed_.clear();
  for (const LoggedPage& p : scan.pages) committed_[p.page] = p.offset;
  txn_.clear();
  txnChecks_.clear();
}

std::optional<uint64_t> LogWriter::find(uint32_t page) const {
  if (auto t = txn_.find(page); t != txn_.end()) return t->second;
  if (auto c = committed_.find(page); c != committed_.end()) return c->second;
  return std::nullopt;
}

void LogWriter::readPage(uint64_t offset, uint8_t* buf) { readBytes(offset, buf, pageSize_); }

void LogWriter::readBytes(uint64_t offset, uint8_t* buf, size_t length) {
  flush();
  readAll(*file_, path_, offset, buf, length);
}

void LogWriter::writeFrame(uint32_t page, const uint8_t* data, uint64_t before) {
  auto slot = txn_.find(page);
  const uint64_t at = slot != txn_.end() ? slot->second - kRecordSize : end_;
  std::string f;
  append32(f, kFrame);
  append32(f, page);
  append32(f, nextTxn_);
  append32(f, salt_);
  sealRecord(f, before);
  const uint64_t sum = pageChain(chainSum(seed(salt_), bytesOf(f), 24), data, pageSize_);
  sealRecord(f, sum);
  const uint64_t batchAt = end_ - batch_.size();
  if (at == end_) {
    batch_ += f;
    batch_.append(reinterpret_cast<const char*>(data), pageSize_);
    end_ += kRecordSize + pageSize_;
  } else if (at >= batchAt) {
    std::copy(f.begin(), f.end(), batch_.begin() + long(at - batchAt));
    std::copy(data, data + pageSize_, batch_.begin() + long(at - batchAt + kRecordSize));
  } else {
    f.append(reinterpret_cast<const char*>(data), pageSize_);
    writeRecord(at, f);
  }
  txn_[page] = at + kRecordSize;
  txnChecks_[at] = sum;
  if (batch_.size() >= (1u << 20)) flush();
}

void LogWriter::flush() {
  if (batch_.empty()) return;
  const uint64_t at = end_ - batch_.size();
  writeRecord(at, batch_);
  // The disk takes these frames while the transaction goes on: its commit's sync waits less.
  file_->startWriteBack(at, batch_.size());
  batch_.clear();  // keeps its room for the next batch
}

void LogWriter::commit(uint32_t pagesAfter) {
  flush();
  std::string c = record(kCommit, nextTxn_, salt_, pagesAfter, uint32_t(txn_.size()), 0);
  uint64_t sum = chainSum(seed(salt_), bytesOf(c), 24);
  for (auto& [at, check] : txnChecks_) sum = chainWord(sum, check);
  sealRecord(c, sum);
  writeRecord(end_, c);
  syncLog();
  end_ += kRecordSize;
  committedEnd_ = end_;
  lastTxn_ = nextTxn_++;
  pagesAfter_ = std::max(pagesAfter_, pagesAfter);
  // The first commit since the log began takes the transaction's table whole, rather than
  // building a second one beside it.
  if (committed_.empty()) std::swap(committed_, txn_);
  for (auto& [page, at] : txn_) committed_[page] = at;
  txn_.clear();
  txnChecks_.clear();
}

void LogWriter::rollback() {
  batch_.clear();
  txn_.clear();
  txnChecks_.clear();
  // Frames beyond the last commit never count; they are overwritten by the next transaction,
  // which takes a new number so that none of them can pass for its own.
  end_ = committedEnd_;
  ++nextTxn_;
}

void LogWriter::markCheckpoint() {
  flush();
  std::string m = record(kMark, lastTxn_, salt_, uint32_t(committedEnd_), uint32_t(committedEnd_ >> 32), 0);
  sealRecord(m, chainSum(seed(salt_), bytesOf(m), 24));
  writeRecord(0, m);
  syncLog();
}

// The log's bytes, and the first time its folder, so that the log is found after a power cut.
void LogWriter::syncLog() {
  syncAll(*file_, path_);
  if (folderSynced_) return;
  fs_.syncFolderOf(path_);
  folderSynced_ = true;
}

void LogWriter::remove() {
  batch_.clear();
  file_.reset();
  if (OsStatus s = fs_.remove(path_); !s) {
    throw Error(err::kDiskIo, "Cannot remove the log '" + path_ + "': " + s.error().text + ".");
  }
  fs_.syncFolderOf(path_);
  committed_.clear();
  txn_.clear();
  txnChecks_.clear();
  end_ = committedEnd_ = 0;
  pagesAfter_ = 0;
}

}  // namespace jet::wal
