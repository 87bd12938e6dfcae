#include "jet/page_file.h"

#include <algorithm>
#include <cstring>

#include "jet/bytes.h"
#include "jet/error.h"

namespace jet {

namespace {

long gFailAfter = 0;  // 0: never
bool gCrashOnFailure = false;

constexpr char kJournalMagic[8] = {'T', 'J', 'O', 'U', 'R', 'N', 'L', '1'};

uint64_t fnv1a(const uint8_t* p, size_t n, uint64_t h = 1469598103934665603ull) {
  for (size_t i = 0; i < n; ++i) { h ^= p[i]; h *= 1099511628211ull; }
  return h;
}

#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif

std::string lockFileOf(const std::string& path) {
  auto dot = path.find_last_of('.');
  auto slash = path.find_last_of(kSeparators);
  std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path;
  return base + ".ldb";
}

std::string readOnlyMessage(const std::string& path) {
  return "Cannot update. The database file '" + path + "' is read-only.";
}

std::string lockedMessage(const std::string& path) {
  return "The database '" + path + "' is locked by another program. Close that program and try again.";
}

}  // namespace

void PageFile::failAfterWrites(long n) { gFailAfter = n; }
void PageFile::simulateCrashOnFailure(bool on) { gCrashOnFailure = on; }

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
    recoverJournal();
  } else {
    if (!file_.open(path, OsFile::Open::Read)) {
      throw Error(err::kCannotOpen, "Cannot open the file '" + path + "': " + lastOsError().text + ".");
    }
    recoverJournal();
  }
  fileSize_ = uint64_t(std::max<int64_t>(file_.size(), 0));
}

PageFile::~PageFile() = default;  // closing the file releases our lock

void PageFile::lockOrRefuse() {
  std::string ldb = lockFileOf(path_);
  if (osLockFileHeld(ldb)) {
    file_.close();
    throw Error(err::kAlreadyInUse, "The database '" + path_ + "' is in use by another program (its lock file '" + ldb +
                                        "' is held). Close that program and try again.");
  }
  if (!file_.lockExclusive()) {
    file_.close();
    throw Error(err::kAlreadyInUse, lockedMessage(path_));
  }
}

void PageFile::setPageSize(size_t size) {
  pageSize_ = size;
  committedPages_ = uint32_t(fileSize_ / size);
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
  if (gFailAfter > 0 && --gFailAfter == 0) throw Error(err::kDiskFull, "The disk is full: a write to '" + path_ + "' failed.");
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
  if (gFailAfter > 0 && --gFailAfter == 0) throw Error(err::kDiskIo, "Write error: syncing '" + path_ + "' failed.");
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
  osRead(uint64_t(page) * pageSize_, buf->data(), pageSize_);
  if (cache_.size() >= 8192) cache_.clear();  // bounded: streaming reads keep memory flat
  cache_[page] = buf;
  return buf;
}

uint8_t* PageFile::modify(uint32_t page) {
  if (mode_ != Mode::ReadWrite) throw Error(err::kReadOnly, "Cannot update. The database is open read-only.");
  if (auto d = dirty_.find(page); d != dirty_.end()) return d->second->data();
  PageRef current = read(page);
  auto copy = std::make_shared<Page>(*current);
  dirty_[page] = copy;
  return copy->data();
}

uint32_t PageFile::append() {
  if (mode_ != Mode::ReadWrite) throw Error(err::kReadOnly, "Cannot update. The database is open read-only.");
  uint32_t page = pageCount();
  dirty_[page] = std::make_shared<Page>(pageSize_, 0);
  return page;
}

void PageFile::rollback() { dirty_.clear(); }

void PageFile::commit() {
  if (dirty_.empty()) return;
  // 1. The journal: the original bytes of every page this operation overwrites.
  std::string j(kJournalMagic, 8);
  append32(j, uint32_t(pageSize_));
  append32(j, uint32_t(fileSize_));
  append32(j, uint32_t(fileSize_ >> 32));
  uint32_t count = 0;
  for (auto& [page, data] : dirty_) count += page < committedPages_ ? 1 : 0;
  append32(j, count);
  std::vector<uint8_t> original(pageSize_);
  for (auto& [page, data] : dirty_) {
    if (page >= committedPages_) continue;
    osRead(uint64_t(page) * pageSize_, original.data(), pageSize_);
    append32(j, page);
    j.append(reinterpret_cast<const char*>(original.data()), pageSize_);
  }
  uint64_t sum = fnv1a(reinterpret_cast<const uint8_t*>(j.data()), j.size());
  append32(j, uint32_t(sum));
  append32(j, uint32_t(sum >> 32));

  std::string jpath = journalPath();
  OsFile journal;
  if (!journal.open(jpath, OsFile::Open::Replace)) {
    OsError e = lastOsError();
    dirty_.clear();
    throw Error(e.kind == OsFailure::NoSpace ? err::kDiskFull : err::kDiskIo,
                "Cannot write the journal '" + jpath + "': " + e.text + ".");
  }
  try {
    osWrite(journal, 0, reinterpret_cast<const uint8_t*>(j.data()), j.size());
    osSync(journal);
  } catch (...) {
    journal.close();
    if (!gCrashOnFailure) osRemoveFile(jpath);
    dirty_.clear();
    throw;
  }
  journal.close();
  osSyncFolderOf(jpath);

  // 2. The pages themselves.
  try {
    for (auto& [page, data] : dirty_) osWrite(file_, uint64_t(page) * pageSize_, data->data(), pageSize_);
    osSync(file_);
  } catch (...) {
    dirty_.clear();
    cache_.clear();
    if (!gCrashOnFailure) {
      long saved = gFailAfter;
      gFailAfter = 0;
      try { recoverJournal(); } catch (...) {}
      gFailAfter = saved;
    }
    throw;
  }
  // 3. Done: the journal goes.
  osRemoveFile(jpath);
  osSyncFolderOf(jpath);
  for (auto& [page, data] : dirty_) cache_[page] = data;
  fileSize_ = uint64_t(std::max<int64_t>(file_.size(), 0));
  committedPages_ = uint32_t(fileSize_ / pageSize_);
  dirty_.clear();
}

// A journal is applied only when it is complete (its checksum holds): an incomplete one was
// being written when the process stopped, before the database itself was touched.
void PageFile::recoverJournal() {
  std::string jpath = journalPath();
  OsFile journal;
  if (!journal.open(jpath, OsFile::Open::Read)) return;
  std::string j(size_t(std::max<int64_t>(journal.size(), 0)), '\0');
  size_t got = 0;
  while (got < j.size()) {
    int64_t r = journal.readAt(got, j.data() + got, j.size() - got);
    if (r <= 0) break;
    got += size_t(r);
  }
  journal.close();
  j.resize(got);
  Bytes b(j);
  bool complete = j.size() >= 32 && std::memcmp(j.data(), kJournalMagic, 8) == 0;
  uint32_t psize = 0, count = 0;
  uint64_t origSize = 0;
  if (complete) {
    psize = b.u32(8);
    origSize = b.u32(12) | (uint64_t(b.u32(16)) << 32);
    count = b.u32(20);
    complete = psize >= 512 && psize <= 65536 && j.size() == 24 + size_t(count) * (4 + psize) + 8 &&
               fnv1a(b.data(), j.size() - 8) == b.u64(j.size() - 8);
  }
  if (!complete) {
    if (mode_ == Mode::ReadWrite) osRemoveFile(jpath);
    return;
  }
  size_t off = 24;
  if (mode_ == Mode::ReadWrite) {
    for (uint32_t i = 0; i < count; ++i, off += 4 + psize) {
      osWrite(file_, uint64_t(b.u32(off)) * psize, b.data() + off + 4, psize);
    }
    if (!file_.truncate(origSize)) throw Error(err::kDiskIo, "Cannot restore '" + path_ + "' from its journal.");
    osSync(file_);
    osRemoveFile(jpath);
    osSyncFolderOf(jpath);
    cache_.clear();
    fileSize_ = uint64_t(std::max<int64_t>(file_.size(), 0));
    if (pageSize_) committedPages_ = uint32_t(fileSize_ / pageSize_);
  } else {
    for (uint32_t i = 0; i < count; ++i, off += 4 + psize) {
      auto page = std::make_shared<Page>(b.data() + off + 4, b.data() + off + 4 + psize);
      overlay_[b.u32(off)] = page;
    }
  }
}

}  // namespace jet
