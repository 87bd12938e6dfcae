#include "jet/pager/page_file.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "jet/base/error.h"
#include "jet/os/lock_file.h"

namespace jet {

namespace {

std::string readOnlyMessage(const std::string& path) {
  return "Cannot update. The database file '" + path + "' is read-only.";
}

std::string lockedMessage(const std::string& path) {
  return "The database '" + path + "' is locked by another program. Close that program and try again.";
}

constexpr size_t kCachePages = 4096;  // bounded: streaming reads keep memory flat

}  // namespace

PageFile::PageFile(const std::string& path, Mode mode, FileSystem& fs)
    : path_(path), mode_(mode), fs_(fs), log_(fs, wal::logPathOf(path, fs)) {
  OsPathInfo info = fs_.pathInfo(path);
  if (!info.exists) throwMissing(path, info);
  if (info.folder) throw Error(err::kNotDatabase, "'" + path + "' is a folder, not a database file.");
  if (mode == Mode::ReadWrite) {
    openForWriting();
    // A log left by a process that stopped: its committed transactions go into the file; work
    // it had not committed goes.
    if (log_.recover(*file_, path_)) log_.checkpoint(*file_, path_, uint64_t(std::max<int64_t>(file_->size(), 0)));
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
  if (size != pageSize_) spare_.clear();
  pageSize_ = size;
  log_.setPageSize(size);
  committedPages_ = std::max(committedPages_, uint32_t(fileSize_ / size));
  txnPages_ = std::max(txnPages_, committedPages_);
}

uint32_t PageFile::pageCount() const {
  uint32_t n = std::max(committedPages_, txnPages_);
  if (!appended_.empty()) n = std::max(n, *appended_.rbegin() + 1);
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
    imageOf(page, d->second);
    return d->second;
  }
  if (auto c = cache_.find(page); c != cache_.end()) return c->second;
  if (page >= pageCount()) corrupt("a reference points to page " + std::to_string(page) + ", past the end of the file");
  std::shared_ptr<Page> buf = blankPage();
  if (auto at = log_.find(page)) {
    log_.readPage(*at, buf->data());
  } else {
    readAll(*file_, path_, uint64_t(page) * pageSize_, buf->data(), pageSize_);
  }
  ++pageReads_;
  makeRoom();
  cache_[page] = buf;
  return buf;
}

// A full cache lets every other page go, in no order of use: a pass that reads again the pages
// of an earlier pass larger than the cache (the update reads each selected row again) still
// finds half of them, where emptying the cache would find none.
void PageFile::makeRoom() {
  if (cache_.size() < kCachePages) return;
  bool drop = false;
  for (auto it = cache_.begin(); it != cache_.end();) {
    if (!(drop = !drop)) {
      ++it;
      continue;
    }
    // A page nobody else holds is kept for the next read: no allocation, no freeing.
    if (it->second.use_count() == 1 && spare_.size() < kCachePages / 2) {
      spare_.push_back(std::const_pointer_cast<Page>(std::move(it->second)));
    }
    it = cache_.erase(it);
  }
}

std::shared_ptr<Page> PageFile::blankPage() {
  if (spare_.empty()) return std::make_shared<Page>(pageSize_);
  std::shared_ptr<Page> p = std::move(spare_.back());
  spare_.pop_back();
  return p;
}

std::shared_ptr<Page> PageFile::copyOf(const Page& page) {
  std::shared_ptr<Page> p = blankPage();
  std::memcpy(p->data(), page.data(), pageSize_);
  return p;
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

// The first change in this operation of a page already dirty: its image is saved for the
// operation's rollback. With `copyImage` the page gets an image of its own to change, the saved
// one kept as it is (a stale image is replaced when the keeper writes the page out).
bool PageFile::saveDirtyPage(uint32_t page, std::shared_ptr<Page>& image, bool copyImage) {
  const bool stale = image == nullptr;
  if (!opSaved_.count(page)) {
    opSaved_.emplace(page, Saved{true, image});
    if (copyImage && !stale) image = copyOf(*image);
  }
  return stale;
}

// The page's image, asked of the keeper when stale: a new one, as the old may be saved for a rollback.
Page& PageFile::imageOf(uint32_t page, std::shared_ptr<Page>& image) {
  if (!image) {
    image = blankPage();
    keeper_->writeOut(page, image->data());
  }
  return *image;
}

uint8_t* PageFile::modify(uint32_t page) {
  requireWritable();
  if (auto d = dirty_.find(page); d != dirty_.end()) {
    const bool stale = saveDirtyPage(page, d->second, true);
    if (stale) d->second = blankPage();  // the keeper writes the whole page into it
    if (keeper_) keeper_->changing(page, stale ? d->second->data() : nullptr);
    return d->second->data();
  }
  if (keeper_) keeper_->changing(page, nullptr);
  auto copy = copyOf(*firstChange(page));
  dirty_[page] = copy;
  return copy->data();
}

void PageFile::keptChange(uint32_t page) {
  requireWritable();
  auto d = dirty_.find(page);
  if (d == dirty_.end()) {
    firstChange(page);
    d = dirty_.emplace(page, nullptr).first;
  } else {
    saveDirtyPage(page, d->second, false);  // the image is replaced, not changed
  }
  d->second = nullptr;  // the keeper writes the page out when its bytes are needed
}

void PageFile::prepareChange(uint32_t page) {
  requireWritable();
  auto d = dirty_.find(page);
  if (d == dirty_.end()) {
    dirty_[page] = copyOf(*firstChange(page));
    return;
  }
  // The rollback keeps the image, never the form the keeper changes.
  saveDirtyPage(page, d->second, true);
}

uint32_t PageFile::append() {
  requireWritable();
  uint32_t page = pageCount();
  // Jet files end at 1 GB (Access 97's pages of 2 KB) or 2 GB: a page past that is refused
  // while it is only in memory, so that the operation needing it is undone and nothing written.
  const uint64_t limit = pageSize_ <= 2048 ? (uint64_t(1) << 30) : (uint64_t(1) << 31);
  if ((uint64_t(page) + 1) * pageSize_ > limit) {
    throw Error(err::kDiskFull, "The database '" + path_ + "' cannot grow past " + std::to_string(limit >> 30) +
                                    " GB, the largest file Jet can hold; nothing of this change has been written.");
  }
  if (keeper_) keeper_->changing(page, nullptr);
  cache_.erase(page);
  dirty_[page] = std::make_shared<Page>(pageSize_, 0);
  appended_.insert(page);
  before_[page] = 0;
  opSaved_.emplace(page, Saved{});
  return page;
}

void PageFile::rollback() {
  while (!undo_.empty()) {
    undo_.back()();
    undo_.pop_back();
  }
  if (keeper_) keeper_->operationEnded(true);
  for (auto& [page, saved] : opSaved_) {
    if (saved.dirty) {
      dirty_[page] = saved.image;
    } else {
      dirty_.erase(page);
      appended_.erase(page);
    }
  }
  opSaved_.clear();
  undo_.clear();
  if (!inTransaction_) before_.clear();
}

// Writes changed pages to the log: all of them, or when spilling the ones changed longest ago,
// until half the spill limit is left in memory. Pages the transaction changes again and again
// (the upper nodes and busy leaves of an index) so stay in memory, and are logged once, at its end.
void PageFile::writePagesToLog(bool all) {
  if (!log_.exists()) {
    Page first(pageSize_);
    readAll(*file_, path_, 0, first.data(), pageSize_);
    log_.create(wal::pageSum(first.data(), pageSize_));
  }
  std::vector<uint32_t> pages;
  pages.reserve(dirty_.size());
  if (all) {
    for (auto& [page, data] : dirty_) pages.push_back(page);
    std::sort(pages.begin(), pages.end());
  } else {
    std::vector<std::pair<uint64_t, uint32_t>> byAge;
    byAge.reserve(dirty_.size());
    for (auto& [page, data] : dirty_) {
      auto c = lastChanged_.find(page);
      byAge.emplace_back(c == lastChanged_.end() ? 0 : c->second, page);
    }
    const size_t keep = std::min(byAge.size(), size_t(spillBytes_ / 2 / pageSize_));
    std::nth_element(byAge.begin(), byAge.begin() + long(byAge.size() - keep), byAge.end());
    for (size_t i = 0; i < byAge.size() - keep; ++i) pages.push_back(byAge[i].second);
    std::sort(pages.begin(), pages.end());
  }
  for (uint32_t page : pages) imageOf(page, dirty_[page]);
  for (uint32_t page : pages) {
    auto d = dirty_.find(page);
    auto b = before_.find(page);
    log_.writeFrame(page, d->second->data(), b == before_.end() ? 0 : b->second);
    txnPages_ = std::max(txnPages_, page + 1);
    makeRoom();
    cache_[page] = std::move(d->second);
    dirty_.erase(d);
    appended_.erase(page);
    lastChanged_.erase(page);
  }
  log_.flush();
}

// A failed commit leaves nothing of the transaction behind, in memory or in the log.
void PageFile::dropOperationState() {
  dirty_.clear();
  appended_.clear();
  lastChanged_.clear();
  opSaved_.clear();
  undo_.clear();
  before_.clear();
  log_.rollback();
  cache_.clear();
  if (keeper_) keeper_->dropAll();
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

void PageFile::endOperation() {
  ++operations_;
  if (inTransaction_) for (auto& [page, saved] : opSaved_) lastChanged_[page] = operations_;
  opSaved_.clear();
  undo_.clear();
  if (keeper_) keeper_->operationEnded(false);
}

void PageFile::commit() {
  endOperation();
  if (inTransaction_) {
    // Memory stays bounded: a large transaction writes its pages to the log as it goes.
    if (dirty_.size() * pageSize_ > spillBytes_) {
      try {
        writePagesToLog(false);
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
    writePagesToLog(true);
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
  endOperation();
  try {
    if (!dirty_.empty() || log_.transactionOpen()) {
      writePagesToLog(true);
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
  fileSize_ = log_.checkpoint(*file_, path_, fileSize_);
}

}  // namespace jet
