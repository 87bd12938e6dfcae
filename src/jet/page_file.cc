#include "jet/page_file.h"

#include <algorithm>
#include <cstring>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/lock_file.h"

namespace jet {

namespace {

long gFailAfter = 0;  // 0: never
bool gCrashOnFailure = false;
bool gCrashed = false;  // an injected failure "killed" the process: nothing more is cleaned up

constexpr char kLogMagic[8] = {'T', 'W', 'A', 'L', '0', '0', '0', '2'};
// Magic, page size, a reserved word, and the checksum of the file's first page when the log began.
constexpr size_t kLogHeader = 24;
// Written and synced before a checkpoint writes into the file: from then on, pages of the file
// may be half-written, and only the log knows what they hold.
constexpr uint32_t kCheckpointMagic = 0x54504B43;  // "CKPT"
constexpr size_t kCheckpointMark = 12;
constexpr uint32_t kRecordMagic = 0x314E5854;  // "TXN1"
constexpr size_t kRecordHeader = 12;
// Each page in a record: its number, the checksum of the bytes it replaces (0: a new page), its bytes.
constexpr size_t kPageHeader = 12;
// Past this size the log is copied into the file before it takes the next operation.
constexpr uint64_t kCheckpointBytes = 96u << 20;
uint64_t gCheckpointBytes = kCheckpointBytes;

// A checksum over whole words, chained from record to record.
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

// Never 0, which marks a page that did not exist.
uint64_t pageSum(const uint8_t* p, size_t n) { return chainSum(0x9E3779B97F4A7C15ull, p, n) | 1; }

std::string readOnlyMessage(const std::string& path) {
  return "Cannot update. The database file '" + path + "' is read-only.";
}

std::string lockedMessage(const std::string& path) {
  return "The database '" + path + "' is locked by another program. Close that program and try again.";
}

}  // namespace

void PageFile::failAfterWrites(long n) {
  gFailAfter = n;
  gCrashed = false;
}
void PageFile::checkpointEvery(uint64_t bytes) { gCheckpointBytes = bytes == 0 ? kCheckpointBytes : bytes; }

void PageFile::simulateCrashOnFailure(bool on) {
  gCrashOnFailure = on;
  gCrashed = false;
}

PageFile::PageFile(const std::string& path, Mode mode) : path_(path), mode_(mode) {
  OsPathInfo info = osPathInfo(path);
  if (!info.exists) throw Error(err::kFileNotFound, "Could not find file '" + path + "'.");
  if (info.folder) throw Error(err::kNotDatabase, "'" + path + "' is a folder, not a database file.");
  if (mode == Mode::ReadWrite) {
    // A file nobody may write is read-only, even for a user whom the system would let write.
    if (info.readOnly) throw Error(err::kReadOnly, readOnlyMessage(path));
    if (!file_.open(path, OsFile::Open::ReadWrite)) {
      OsError e = lastOsError();
      if (e.kind == OsFailure::Denied) throw Error(err::kReadOnly, readOnlyMessage(path));
      if (e.kind == OsFailure::Busy) throw Error(err::kAlreadyInUse, lockedMessage(path));
      throw Error(err::kCannotOpen, "Cannot open the file '" + path + "': " + e.text + ".");
    }
    lockOrRefuse();
    recoverLog();
  } else {
    if (!file_.open(path, OsFile::Open::Read)) {
      throw Error(err::kCannotOpen, "Cannot open the file '" + path + "': " + lastOsError().text + ".");
    }
    recoverLog();
  }
  fileSize_ = uint64_t(std::max<int64_t>(file_.size(), 0));
}

PageFile::~PageFile() {
  // Closing the file releases our lock. A process that "died" in a test leaves its log behind.
  if (mode_ != Mode::ReadWrite || gCrashed || !log_.isOpen()) return;
  try {
    carryLogIntoFile();
    log_.close();
    osRemoveFile(logPath());
    osSyncFolderOf(logPath());
  } catch (...) {
    // The log keeps every stored operation; the next open carries it into the file.
  }
}

void PageFile::lockOrRefuse() {
  refuseIfLockFileHeld(path_);
  if (!file_.lockExclusive()) {
    file_.close();
    throw Error(err::kAlreadyInUse, lockedMessage(path_));
  }
}

void PageFile::setPageSize(size_t size) {
  pageSize_ = size;
  committedPages_ = std::max(committedPages_, uint32_t(fileSize_ / size));
}

uint32_t PageFile::pageCount() const {
  uint32_t n = committedPages_;
  if (!dirty_.empty()) n = std::max(n, dirty_.rbegin()->first + 1);
  return n;
}

void PageFile::osRead(uint64_t offset, uint8_t* buf, size_t len) const {
  size_t done = 0;
  while (done < len) {
    int64_t r = file_.readAt(offset + done, buf + done, len - done);
    if (r < 0) throw Error(err::kDiskIo, "Read error in '" + path_ + "': " + lastOsError().text + ".");
    if (r == 0) corrupt("the file ends in the middle of a page");
    done += size_t(r);
  }
}

void PageFile::osWrite(OsFile& file, uint64_t offset, const uint8_t* buf, size_t len) {
  if (gFailAfter > 0 && --gFailAfter == 0) {
    if (gCrashOnFailure) {
      // Stopped in the middle: the first half of the write reached the disk.
      file.writeAt(offset, buf, len / 2);
      gCrashed = true;
    }
    throw Error(err::kDiskFull, "The disk is full: a write to '" + path_ + "' failed.");
  }
  size_t done = 0;
  while (done < len) {
    int64_t r = file.writeAt(offset + done, buf + done, len - done);
    if (r <= 0) {
      OsError e = lastOsError();
      bool full = e.kind == OsFailure::NoSpace || r == 0;
      throw Error(full ? err::kDiskFull : err::kDiskIo,
                  std::string(full ? "The disk is full" : "Write error") + " in '" + path_ + "': " + e.text + ".");
    }
    done += size_t(r);
  }
}

void PageFile::osSync(OsFile& file) {
  if (gFailAfter > 0 && --gFailAfter == 0) {
    gCrashed = gCrashOnFailure;
    throw Error(err::kDiskIo, "Write error: syncing '" + path_ + "' failed.");
  }
  if (!file.sync()) throw Error(err::kDiskIo, "Write error: syncing '" + path_ + "' failed: " + lastOsError().text + ".");
}

std::string PageFile::readPrefix(size_t length) {
  std::string out(length, '\0');
  if (fileSize_ < length) throw Error(err::kNotDatabase, "'" + path_ + "' is too short to be a database file.");
  osRead(0, reinterpret_cast<uint8_t*>(out.data()), length);
  return out;
}

PageRef PageFile::read(uint32_t page) {
  if (auto d = dirty_.find(page); d != dirty_.end()) return d->second;
  if (auto o = overlay_.find(page); o != overlay_.end()) return o->second;
  if (auto c = cache_.find(page); c != cache_.end()) return c->second;
  if (page >= committedPages_) corrupt("a reference points to page " + std::to_string(page) + ", past the end of the file");
  auto buf = std::make_shared<Page>(pageSize_);
  if (auto l = logged_.find(page); l != logged_.end()) {
    readLogged(l->second, buf->data());
  } else {
    osRead(uint64_t(page) * pageSize_, buf->data(), pageSize_);
  }
  if (cache_.size() >= 8192) cache_.clear();  // bounded: streaming reads keep memory flat
  cache_[page] = buf;
  return buf;
}

uint8_t* PageFile::modify(uint32_t page) {
  if (mode_ != Mode::ReadWrite) throw Error(err::kReadOnly, "Cannot update. The database is open read-only.");
  decoded_.erase(page);
  if (auto d = dirty_.find(page); d != dirty_.end()) return d->second->data();
  PageRef current = read(page);
  before_[page] = pageSum(current->data(), pageSize_);
  auto copy = std::make_shared<Page>(*current);
  dirty_[page] = copy;
  return copy->data();
}

uint32_t PageFile::append() {
  if (mode_ != Mode::ReadWrite) throw Error(err::kReadOnly, "Cannot update. The database is open read-only.");
  uint32_t page = pageCount();
  decoded_.erase(page);
  dirty_[page] = std::make_shared<Page>(pageSize_, 0);
  before_[page] = 0;
  return page;
}

void PageFile::rollback() {
  for (auto& [page, data] : dirty_) decoded_.erase(page);
  dirty_.clear();
  before_.clear();
}

void PageFile::readLogged(uint64_t offset, uint8_t* buf) const {
  size_t done = 0;
  while (done < pageSize_) {
    int64_t r = log_.readAt(offset + done, buf + done, pageSize_ - done);
    if (r <= 0) throw Error(err::kDiskIo, "Read error in the log '" + logPath() + "': " + lastOsError().text + ".");
    done += size_t(r);
  }
}

void PageFile::commit() {
  if (dirty_.empty()) return;
  try {
    if (logEnd_ >= gCheckpointBytes) checkpoint();
    if (!log_.isOpen()) {
      if (!log_.open(logPath(), OsFile::Open::Replace)) {
        OsError e = lastOsError();
        throw Error(e.kind == OsFailure::NoSpace ? err::kDiskFull : err::kDiskIo,
                    "Cannot write the log '" + logPath() + "': " + e.text + ".");
      }
      logEnd_ = 0;
    }
    if (logEnd_ == 0) {
      std::string h(kLogMagic, 8);
      append32(h, uint32_t(pageSize_));
      append32(h, 0);
      Page first(pageSize_);
      osRead(0, first.data(), pageSize_);
      const uint64_t firstSum = pageSum(first.data(), pageSize_);
      append32(h, uint32_t(firstSum));
      append32(h, uint32_t(firstSum >> 32));
      osWrite(log_, 0, reinterpret_cast<const uint8_t*>(h.data()), h.size());
      logEnd_ = h.size();
      logSum_ = chainSum(0, reinterpret_cast<const uint8_t*>(h.data()), h.size());
    }
  } catch (...) {
    rollback();
    throw;
  }

  // One record: its header, each page with its number, and the chained checksum.
  const uint32_t pagesAfter = pageCount();
  std::string r;
  r.reserve(kRecordHeader + dirty_.size() * (kPageHeader + pageSize_) + 8);
  append32(r, kRecordMagic);
  append32(r, uint32_t(dirty_.size()));
  append32(r, pagesAfter);
  for (auto& [page, data] : dirty_) {
    append32(r, page);
    auto b = before_.find(page);
    const uint64_t was = b != before_.end() ? b->second : 0;
    append32(r, uint32_t(was));
    append32(r, uint32_t(was >> 32));
    r.append(reinterpret_cast<const char*>(data->data()), pageSize_);
  }
  const uint64_t sum = chainSum(logSum_, reinterpret_cast<const uint8_t*>(r.data()), r.size());
  append32(r, uint32_t(sum));
  append32(r, uint32_t(sum >> 32));
  try {
    osWrite(log_, logEnd_, reinterpret_cast<const uint8_t*>(r.data()), r.size());
  } catch (...) {
    if (!gCrashed) log_.truncate(logEnd_);
    rollback();
    throw;
  }
  uint64_t at = logEnd_ + kRecordHeader;
  if (cache_.size() + dirty_.size() > 8192) cache_.clear();
  for (auto& [page, data] : dirty_) {
    logged_[page] = at + kPageHeader;
    cache_[page] = data;
    at += kPageHeader + pageSize_;
  }
  logEnd_ += r.size();
  logSum_ = sum;
  committedPages_ = pagesAfter;
  dirty_.clear();
  before_.clear();
}

void PageFile::checkpoint() {
  if (mode_ != Mode::ReadWrite || !log_.isOpen()) return;
  carryLogIntoFile();
  resetLog();
}

void PageFile::carryLogIntoFile() {
  if (!logged_.empty()) {
    std::string mark;
    append32(mark, kCheckpointMagic);
    const uint64_t sum = chainSum(logSum_, reinterpret_cast<const uint8_t*>(mark.data()), mark.size());
    append32(mark, uint32_t(sum));
    append32(mark, uint32_t(sum >> 32));
    osWrite(log_, logEnd_, reinterpret_cast<const uint8_t*>(mark.data()), mark.size());
    logEnd_ += mark.size();
    logSum_ = sum;
    osSync(log_);
    std::vector<std::pair<uint32_t, uint64_t>> pages(logged_.begin(), logged_.end());
    std::sort(pages.begin(), pages.end());
    // Runs of neighbouring pages go in one write each.
    std::vector<uint8_t> run;
    uint32_t runStart = 0;
    auto flush = [&] {
      if (!run.empty()) osWrite(file_, uint64_t(runStart) * pageSize_, run.data(), run.size());
      run.clear();
    };
    for (auto& [page, offset] : pages) {
      if (!run.empty() && page != runStart + run.size() / pageSize_) flush();
      if (run.empty()) runStart = page;
      const size_t at = run.size();
      run.resize(at + pageSize_);
      if (auto c = cache_.find(page); c != cache_.end()) {
        std::memcpy(run.data() + at, c->second->data(), pageSize_);
      } else {
        readLogged(offset, run.data() + at);
      }
      if (run.size() >= (1u << 20)) flush();
    }
    flush();
    osSync(file_);
  }
}

// The file holds everything the log held: the log starts again, empty.
void PageFile::resetLog() {
  if (!log_.truncate(0)) throw Error(err::kDiskIo, "Cannot empty the log '" + logPath() + "': " + lastOsError().text + ".");
  logEnd_ = 0;
  logged_.clear();
  fileSize_ = uint64_t(std::max<int64_t>(file_.size(), 0));
}

// Only whole records count, up to the first that is torn or does not continue the checksum
// chain: those were being written when the process or the machine stopped.
void PageFile::recoverLog() {
  OsFile log;
  if (!log.open(logPath(), OsFile::Open::Read)) return;
  std::string l(size_t(std::max<int64_t>(log.size(), 0)), '\0');
  size_t got = 0;
  while (got < l.size()) {
    int64_t r = log.readAt(got, l.data() + got, l.size() - got);
    if (r <= 0) break;
    got += size_t(r);
  }
  log.close();
  l.resize(got);
  Bytes b(l);
  std::map<uint32_t, size_t> newest;    // page -> offset of its newest whole copy
  std::map<uint32_t, uint64_t> oldest;  // page -> checksum of what its first copy replaced
  uint32_t pagesAfter = 0;
  uint32_t psize = 0;
  bool checkpointing = false;  // a checkpoint had begun: pages of the file may be torn
  size_t end = 0;              // the end of the whole records
  uint64_t endSum = 0;
  if (l.size() >= kLogHeader && std::memcmp(l.data(), kLogMagic, 8) == 0) {
    psize = b.u32(8);
    if (psize < 512 || psize > 65536) psize = 0;
  }
  if (psize != 0) {
    uint64_t sum = chainSum(0, b.data(), kLogHeader);
    size_t off = kLogHeader;
    while (off + kRecordHeader <= l.size() && b.u32(off) == kRecordMagic) {
      const uint64_t count = b.u32(off + 4);
      const uint64_t length = kRecordHeader + count * (kPageHeader + uint64_t(psize));
      if (count == 0 || off + length + 8 > l.size()) break;
      const uint64_t s = chainSum(sum, b.data() + off, size_t(length));
      if (s != b.u64(off + size_t(length))) break;
      for (size_t i = 0, p = off + kRecordHeader; i < count; ++i, p += kPageHeader + psize) {
        newest[b.u32(p)] = p + kPageHeader;
        oldest.emplace(b.u32(p), b.u64(p + 4));
      }
      pagesAfter = std::max(pagesAfter, b.u32(off + 8));
      sum = s;
      off += size_t(length) + 8;
    }
    checkpointing = off + kCheckpointMark <= l.size() && b.u32(off) == kCheckpointMagic &&
                    chainSum(sum, b.data() + off, 4) == b.u64(off + 4);
    end = off;
    endSum = sum;
  }
  // The log belongs to this file only if the file's first page is what it was when the log
  // began, and, unless a checkpoint had begun, each page the log holds is in the file still what
  // the log's first copy replaced or already what its last copy holds. A log left beside another
  // file (a backup put back in its place, say) would damage it.
  const uint64_t filePages = psize ? uint64_t(std::max<int64_t>(file_.size(), 0)) / psize : 0;
  Page current(psize);
  auto refuse = [&] {
    throw Error(err::kNotDatabase, "The database '" + path_ + "' has a log of unfinished changes, '" + logPath() +
                                       "', that does not belong to it. Move that file away and try again.");
  };
  if (psize != 0 && newest.count(0) == 0) {
    if (filePages == 0) refuse();
    osRead(0, current.data(), psize);
    if (pageSum(current.data(), psize) != b.u64(16)) refuse();
  }
  for (auto& [page, at] : newest) {
    if (checkpointing && page != 0) continue;
    const uint64_t first = oldest[page];
    if (page >= filePages) {
      if (first == 0) continue;
    } else {
      osRead(uint64_t(page) * psize, current.data(), psize);
      const uint64_t now = pageSum(current.data(), psize);
      if (now == first || now == pageSum(b.data() + at, psize)) continue;
      if (checkpointing) continue;
    }
    refuse();
  }
  if (mode_ == Mode::ReadWrite && !checkpointing && !newest.empty()) {
    // Marked first, as a checkpoint is: a stop while the pages go in must not make the log
    // look foreign to the file it half updated.
    OsFile mark;
    if (!mark.open(logPath(), OsFile::Open::ReadWrite)) {
      throw Error(err::kDiskIo, "Cannot finish the log '" + logPath() + "': " + lastOsError().text + ".");
    }
    std::string m;
    append32(m, kCheckpointMagic);
    const uint64_t sum = chainSum(endSum, reinterpret_cast<const uint8_t*>(m.data()), m.size());
    append32(m, uint32_t(sum));
    append32(m, uint32_t(sum >> 32));
    osWrite(mark, end, reinterpret_cast<const uint8_t*>(m.data()), m.size());
    osSync(mark);
  }
  if (mode_ == Mode::ReadWrite) {
    for (auto& [page, at] : newest) osWrite(file_, uint64_t(page) * psize, b.data() + at, psize);
    if (!newest.empty()) osSync(file_);
    osRemoveFile(logPath());
    osSyncFolderOf(logPath());
    cache_.clear();
  } else {
    for (auto& [page, at] : newest) overlay_[page] = std::make_shared<Page>(b.data() + at, b.data() + at + psize);
    committedPages_ = std::max(committedPages_, pagesAfter);
  }
}

}  // namespace jet
