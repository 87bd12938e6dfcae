#include "jet/page_file.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <ctime>

#include "jet/calendar_date.h"
#include "jet/error.h"
#include "jet/lock_file.h"

namespace jet {

namespace {

std::string readOnlyMessage(const std::string& path) {
  return "Cannot update. The database file '" + path + "' is read-only.";
}

std::string lockedMessage(const std::string& path) {
  return "The database '" + path + "' is locked by another program. Close that program and try again.";
}

constexpr size_t kCachePages = 8192;  // bounded: streaming reads keep memory flat

}  // namespace

PageFile::PageFile(const std::string& path, Mode mode, FileSystem& fs)
    : path_(path), mode_(mode), fs_(fs), log_(fs, wal::logPathOf(path, fs)) {
  OsPathInfo info = fs_.pathInfo(path);
  if (!info.exists) throwMissing(path, info);
  if (info.folder) throw Error(err::kNotDatabase, "'" + path + "' is a folder, not a database file.");
  if (mode == Mode::ReadWrite) {
    openForWriting();
    settleLog();
  } else {
    auto openShared = [&] {
      auto opened = fs_.open(path, OsFile::Open::Read);
      if (!opened) throw Error(err::kCannotOpen, "Cannot open the file '" + path + "': " + opened.error().text + ".");
      file_ = std::move(*opened);
      if (!file_->lockShared()) {
        throw Error(err::kAlreadyInUse, "The database '" + path + "' is being changed by another program. Try again when it has finished.");
      }
    };
    openShared();
    if (fs_.pathInfo(log_.path()).exists) {
      // A writer that stopped left its log: carry it in before reading anything (a log this
      // user may not open is refused there, never passed over).
      file_.reset();
      try {
        PageFile writer(path, Mode::ReadWrite, fs_);
        writer.close();
      } catch (const Error& e) {
        if (e.number() != err::kReadOnly && e.number() != err::kCannotOpen) throw;
        throw Error(e.number(), "The database '" + path + "' has changes left in its log '" + log_.path() +
                                    "' by a program that stopped; only an open that may write can carry them in: " + e.what());
      }
      openShared();
    }
  }
  fileSize_ = uint64_t(std::max<int64_t>(file_->size(), 0));
}

PageFile::~PageFile() { log_.abandon(); }

void PageFile::openForWriting() {
  OsPathInfo info = fs_.pathInfo(path_);
  // A file nobody may write is read-only, even for a user whom the system would let write.
  if (info.readOnly) throw Error(err::kReadOnly, readOnlyMessage(path_));
  auto opened = fs_.open(path_, OsFile::Open::ReadWrite);
  if (!opened) {
    const OsError& e = opened.error();
    if (e.kind == OsFailure::Denied) throw Error(err::kReadOnly, readOnlyMessage(path_));
    if (e.kind == OsFailure::Busy) throw Error(err::kAlreadyInUse, lockedMessage(path_));
    throw Error(err::kCannotOpen, "Cannot open the file '" + path_ + "': " + e.text + ".");
  }
  file_ = std::move(*opened);
  refuseIfLockFileHeld(path_, fs_);
  if (!file_->lockExclusive()) {
    file_.reset();
    throw Error(err::kAlreadyInUse, lockedMessage(path_));
  }
}

// A log left by a process that stopped: its committed transactions go into the file; work it
// had not committed goes. Scan, check, carry in: the three steps of wal.h.
void PageFile::settleLog() {
  auto opened = fs_.open(log_.path(), OsFile::Open::ReadWrite);
  if (!opened) {
    if (opened.error().kind == OsFailure::NotFound) return;
    throw Error(err::kDiskIo, "Cannot open the log '" + log_.path() + "': " + opened.error().text + ".");
  }
  std::unique_ptr<File> lf = std::move(*opened);
  const uint64_t size = uint64_t(std::max<int64_t>(lf->size(), 0));
  File& logFile = *lf;
  auto readLog = [&](uint64_t offset, uint8_t* buf, size_t len) {
    size_t done = 0;
    while (done < len) {
      OsResult<size_t> r = logFile.readAt(offset + done, buf + done, len - done);
      if (!r) throw Error(err::kDiskIo, "Read error in the log '" + log_.path() + "': " + r.error().text + ".");
      if (*r == 0) return false;
      done += *r;
    }
    return true;
  };
  const wal::LogScan scan = wal::scanLog(readLog, size);
  if (scan.header == wal::LogScan::Header::Damaged && size > wal::kHeaderSize) {
    lf.reset();
    setLogAside("has a damaged header");
  }
  if (scan.header != wal::LogScan::Header::Whole || scan.pages.empty()) {
    // Nothing committed: the unfinished work of a process that stopped.
    lf.reset();
    if (OsStatus s = fs_.remove(log_.path()); !s) throw Error(err::kDiskIo, "Cannot remove the log '" + log_.path() + "': " + s.error().text + ".");
    fs_.syncFolderOf(log_.path());
    return;
  }
  const uint64_t fileBytes = uint64_t(std::max<int64_t>(file_->size(), 0));
  auto filePage = [&](uint32_t page, uint8_t* buf) {
    if ((uint64_t(page) + 1) * scan.pageSize > fileBytes) return false;
    readAll(*file_, path_, uint64_t(page) * scan.pageSize, buf, scan.pageSize);
    return true;
  };
  if (!wal::logBelongsToFile(scan, readLog, filePage)) {
    lf.reset();
    setLogAside("does not belong to it");
  }
  pageSize_ = scan.pageSize;
  log_.adopt(std::move(lf), scan);
  fileSize_ = fileBytes;
  checkpoint();
  pageSize_ = 0;
}

void PageFile::setLogAside(const std::string& why) {
  const std::string aside = log_.path() + ".foreign-" + fileNameStamp(std::time(nullptr));
  const std::string what = "The database '" + path_ + "' has a log of unfinished changes, '" + log_.path() + "', that " + why;
  if (OsStatus s = fs_.rename(log_.path(), aside); !s) {
    throw Error(err::kNotDatabase, what + ", and it cannot be moved aside (" + s.error().text + "). Move it away and try again.");
  }
  fs_.syncFolderOf(aside);
  throw Error(err::kNotDatabase, what + ". It has been moved to '" + aside + "' and the database left as it was; try again.");
}

void PageFile::close() {
  if (!file_) return;
  if (mode_ == Mode::ReadWrite) {
    if (inTransaction_) rollbackTransaction();
    rollback();
    checkpoint();
  }
  file_.reset();
}

void PageFile::setPageSize(size_t size) {
  pageSize_ = size;
  log_.setPageSize(size);
  committedPages_ = std::max(committedPages_, uint32_t(fileSize_ / size));
  txnPages_ = std::max(txnPages_, committedPages_);
}

uint32_t PageFile::pageCount() const {
  uint32_t n = std::max(committedPages_, txnPages_);
  if (!dirty_.empty()) n = std::max(n, dirty_.rbegin()->first + 1);
  return n;
}

std::string PageFile::readPrefix(size_t length) {
  std::string out(length, '\0');
  if (fileSize_ < length) throw Error(err::kNotDatabase, "'" + path_ + "' is too short to be a database file.");
  readAll(*file_, path_, 0, out.data(), length);
  return out;
}

PageRef PageFile::read(uint32_t page) {
  if (auto d = dirty_.find(page); d != dirty_.end()) {
    encodePending(page);
    return d->second;
  }
  if (auto c = cache_.find(page); c != cache_.end()) return c->second;
  if (page >= pageCount()) corrupt("a reference points to page " + std::to_string(page) + ", past the end of the file");
  auto buf = std::make_shared<Page>(pageSize_);
  if (auto at = log_.find(page)) {
    log_.readPage(*at, buf->data());
  } else {
    readAll(*file_, path_, uint64_t(page) * pageSize_, buf->data(), pageSize_);
  }
  ++pageReads_;
  if (cache_.size() >= kCachePages) cache_.clear();
  cache_[page] = buf;
  return buf;
}

void PageFile::requireWritable() const {
  if (mode_ != Mode::ReadWrite) throw Error(err::kReadOnly, "Cannot update. The database is open read-only.");
}

// The first change of `page` in this transaction: what it replaces is remembered for the log's
// belonging check, and this operation's rollback finds the page untouched.
PageRef PageFile::firstChange(uint32_t page) {
  PageRef current = read(page);
  before_.emplace(page, wal::pageSum(current->data(), pageSize_));
  opSaved_.emplace(page, Saved{});
  return current;
}

// The first change in this operation of a page already dirty: its image and any value waiting to
// be encoded are saved for the operation's rollback. With `copyImage` a page that waits for no
// value gets an image of its own to change, the saved one kept as it is (a waiting page gets a new
// image when it is encoded). Whether the page waits for a value.
bool PageFile::saveDirtyPage(uint32_t page, std::shared_ptr<Page>& image, bool copyImage) {
  auto p = pending_.find(page);
  const bool waiting = p != pending_.end();
  if (!opSaved_.count(page)) {
    opSaved_.emplace(page, Saved{image, waiting ? std::optional<Pending>(p->second) : std::nullopt});
    if (copyImage && !waiting) image = std::make_shared<Page>(*image);
  }
  return waiting;
}

uint8_t* PageFile::modify(uint32_t page) {
  requireWritable();
  if (auto d = dirty_.find(page); d != dirty_.end()) {
    saveDirtyPage(page, d->second, true);
    encodePending(page);
    decoded_.erase(page);
    return d->second->data();
  }
  decoded_.erase(page);
  auto copy = std::make_shared<Page>(*firstChange(page));
  dirty_[page] = copy;
  return copy->data();
}

void PageFile::modifyLater(uint32_t page, std::shared_ptr<const void> value, Encoder encode) {
  requireWritable();
  auto d = dirty_.find(page);
  if (d == dirty_.end()) {
    firstChange(page);
    d = dirty_.emplace(page, nullptr).first;
  } else {
    saveDirtyPage(page, d->second, false);  // the image is replaced, not changed
  }
  d->second = nullptr;  // the image is made from `value` when it is needed
  decoded_.erase(page);
  pending_[page] = Pending{std::move(value), std::move(encode)};
}

bool PageFile::release(uint32_t page) {
  requireWritable();
  decoded_.erase(page);
  auto d = dirty_.find(page);
  if (d == dirty_.end()) {
    dirty_[page] = std::make_shared<Page>(*firstChange(page));
    return false;
  }
  // The rollback keeps the image, never the value handed over.
  return saveDirtyPage(page, d->second, true);
}

// A page waiting to be encoded gets its image: a new one, as the old may be saved for a rollback.
void PageFile::encodePending(uint32_t page) {
  auto p = pending_.find(page);
  if (p == pending_.end()) return;
  auto image = std::make_shared<Page>(pageSize_);
  p->second.encode(image->data(), p->second.value.get());
  dirty_[page] = std::move(image);
  keepDecoded(page, std::move(p->second.value));
  pending_.erase(p);
}

uint32_t PageFile::append() {
  requireWritable();
  uint32_t page = pageCount();
  decoded_.erase(page);
  cache_.erase(page);
  dirty_[page] = std::make_shared<Page>(pageSize_, 0);
  before_[page] = 0;
  opSaved_.emplace(page, Saved{});
  return page;
}

void PageFile::rollback() {
  while (!undo_.empty()) {
    undo_.back()();
    undo_.pop_back();
  }
  for (auto& [page, saved] : opSaved_) {
    decoded_.erase(page);
    pending_.erase(page);
    if (saved.image || saved.pending) {
      dirty_[page] = saved.image;
      if (saved.pending) pending_.emplace(page, std::move(*saved.pending));
    } else {
      dirty_.erase(page);
    }
  }
  opSaved_.clear();
  undo_.clear();
  if (!inTransaction_) before_.clear();
}

void PageFile::writePagesToLog() {
  if (!log_.exists()) {
    Page first(pageSize_);
    readAll(*file_, path_, 0, first.data(), pageSize_);
    log_.create(wal::pageSum(first.data(), pageSize_));
  }
  while (!pending_.empty()) encodePending(pending_.begin()->first);
  for (auto& [page, data] : dirty_) {
    auto b = before_.find(page);
    log_.writeFrame(page, data->data(), b == before_.end() ? 0 : b->second);
    txnPages_ = std::max(txnPages_, page + 1);
    if (cache_.size() >= kCachePages) cache_.clear();
    cache_[page] = data;
  }
  log_.flush();
  dirty_.clear();
}

// A failed commit leaves nothing of the transaction behind, in memory or in the log.
void PageFile::dropOperationState() {
  dirty_.clear();
  pending_.clear();
  opSaved_.clear();
  undo_.clear();
  before_.clear();
  log_.rollback();
  cache_.clear();
  decoded_.clear();
  txnPages_ = committedPages_;
  // A log that holds nothing committed is left behind by no one: it goes (if that fails too,
  // the next open drops it).
  if (log_.exists() && log_.committed().empty()) {
    try {
      log_.remove();
    } catch (const Error&) {
    }
  }
}

void PageFile::commit() {
  opSaved_.clear();
  undo_.clear();
  if (inTransaction_) {
    // Memory stays bounded: a large transaction writes its pages to the log as it goes.
    if (dirty_.size() * pageSize_ > spillBytes_) {
      try {
        writePagesToLog();
      } catch (...) {
        // The transaction cannot go on: it is dropped whole, and its end commits nothing.
        dropOperationState();
        throw;
      }
    }
    return;
  }
  if (dirty_.empty()) return;
  try {
    if (log_.exists() && log_.size() >= checkpointBytes_) checkpoint();
    writePagesToLog();
    log_.commit(pageCount());
  } catch (...) {
    dropOperationState();
    throw;
  }
  committedPages_ = txnPages_;
  before_.clear();
}

void PageFile::beginTransaction() {
  assert(!inTransaction_ && dirty_.empty());
  requireWritable();
  inTransaction_ = true;
}

void PageFile::commitTransaction() {
  assert(inTransaction_);
  opSaved_.clear();
  undo_.clear();
  try {
    if (!dirty_.empty() || log_.transactionOpen()) {
      writePagesToLog();
      log_.commit(pageCount());
    }
  } catch (...) {
    dropOperationState();
    inTransaction_ = false;
    throw;
  }
  committedPages_ = txnPages_;
  before_.clear();
  inTransaction_ = false;
  checkpoint();
}

void PageFile::rollbackTransaction() {
  dropOperationState();
  inTransaction_ = false;
}

void PageFile::checkpoint() {
  if (mode_ != Mode::ReadWrite || !log_.exists()) return;
  if (log_.committed().empty()) {
    log_.remove();
    return;
  }
  log_.markCheckpoint();
  uint32_t pages = log_.pagesAfter();
  for (auto& [page, at] : log_.committed()) pages = std::max(pages, page + 1);
  const uint64_t want = uint64_t(pages) * pageSize_;
  if (want > fileSize_) {
    // The room is taken, and synced (where a full disk may show only then), before any page is
    // written in place: a full disk fails here, with the file as it was, and never halfway
    // through the copy.
    OsStatus room = file_->reserve(want);
    if (room) room = file_->sync();
    if (!room) {
      (void)file_->truncate(fileSize_);
      throwWriteFailure(room.error(), ": cannot make room for '" + path_ + "' to grow to " + std::to_string(want) + " bytes");
    }
  }
  // The newest copies are read from the log in its own order, many frames per read, and
  // written in page order within each stretch; runs of neighbouring pages go in one write each.
  std::vector<std::pair<uint64_t, uint32_t>> byOffset;
  byOffset.reserve(log_.committed().size());
  for (auto& [page, offset] : log_.committed()) byOffset.emplace_back(offset, page);
  std::sort(byOffset.begin(), byOffset.end());
  constexpr size_t kStretch = 1u << 20;
  std::vector<uint8_t> stretch, run;
  uint32_t runStart = 0;
  auto flush = [&] {
    if (run.empty()) return;
    writeAll(*file_, path_, uint64_t(runStart) * pageSize_, run.data(), run.size());
    fileBytes_ += run.size();
    run.clear();
  };
  std::vector<std::pair<uint32_t, uint64_t>> inStretch;  // a stretch's pages, and where they lie in it
  for (size_t i = 0; i < byOffset.size();) {
    const uint64_t from = byOffset[i].first;
    size_t j = i + 1;
    while (j < byOffset.size() && byOffset[j].first + pageSize_ - from <= kStretch) ++j;
    const uint64_t to = byOffset[j - 1].first + pageSize_;
    stretch.resize(size_t(to - from));
    log_.readBytes(from, stretch.data(), stretch.size());
    inStretch.clear();
    for (size_t k = i; k < j; ++k) inStretch.emplace_back(byOffset[k].second, byOffset[k].first - from);
    std::sort(inStretch.begin(), inStretch.end());
    for (auto& [page, at] : inStretch) {
      if (!run.empty() && page != runStart + run.size() / pageSize_) flush();
      if (run.empty()) runStart = page;
      run.insert(run.end(), stretch.begin() + long(at), stretch.begin() + long(at + pageSize_));
    }
    flush();
    i = j;
  }
  flush();
  syncAll(*file_, path_);
  log_.remove();
  fileSize_ = std::max(fileSize_, want);
}

}  // namespace jet
