#include "jet/page_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

std::string directoryOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

void syncDirectory(const std::string& path) {
  int dfd = ::open(directoryOf(path).c_str(), O_RDONLY);
  if (dfd >= 0) { ::fsync(dfd); ::close(dfd); }
}

bool lockHeldByOther(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  bool held = ::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
  ::close(fd);
  return held;
}

std::string lockFileOf(const std::string& path) {
  auto dot = path.find_last_of('.');
  auto slash = path.find_last_of('/');
  std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path;
  return base + ".ldb";
}

}  // namespace

void PageFile::failAfterWrites(long n) { gFailAfter = n; }
void PageFile::simulateCrashOnFailure(bool on) { gCrashOnFailure = on; }

PageFile::PageFile(const std::string& path, Mode mode) : path_(path), mode_(mode) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    throw Error(err::kFileNotFound, "Could not find file '" + path + "'.");
  }
  if (S_ISDIR(st.st_mode)) throw Error(err::kNotDatabase, "'" + path + "' is a folder, not a database file.");
  if (mode == Mode::ReadWrite) {
    // A file nobody may write is read-only, even for a user whom the system would let write.
    if ((st.st_mode & 0222) == 0) throw Error(err::kReadOnly, "Cannot update. The database file '" + path + "' is read-only.");
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
      if (errno == EACCES || errno == EROFS || errno == EPERM)
        throw Error(err::kReadOnly, "Cannot update. The database file '" + path + "' is read-only.");
      throw Error(err::kCannotOpen, "Cannot open the file '" + path + "': " + std::strerror(errno) + ".");
    }
    lockOrRefuse();
    recoverJournal();
  } else {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw Error(err::kCannotOpen, "Cannot open the file '" + path + "': " + std::strerror(errno) + ".");
    recoverJournal();
  }
  struct stat now {};
  ::fstat(fd_, &now);
  fileSize_ = uint64_t(now.st_size);
}

PageFile::~PageFile() {
  if (fd_ >= 0) ::close(fd_);  // closing releases our lock
}

void PageFile::lockOrRefuse() {
  std::string ldb = lockFileOf(path_);
  if (lockHeldByOther(ldb)) {
    ::close(fd_);
    fd_ = -1;
    throw Error(err::kAlreadyInUse, "The database '" + path_ + "' is in use by another program (its lock file '" + ldb +
                                        "' is held). Close that program and try again.");
  }
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  if (::fcntl(fd_, F_SETLK, &fl) != 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
    throw Error(err::kAlreadyInUse, "The database '" + path_ + "' is locked by another program. Close that program and try again.");
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
    ssize_t r = ::pread(fd_, buf + done, len - done, off_t(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      throw Error(err::kDiskIo, "Read error in '" + path_ + "': " + std::strerror(errno) + ".");
    }
    if (r == 0) corrupt("the file ends in the middle of a page");
    done += size_t(r);
  }
}

void PageFile::osWrite(int fd, uint64_t offset, const uint8_t* buf, size_t len) {
  if (gFailAfter > 0 && --gFailAfter == 0) throw Error(err::kDiskFull, "The disk is full: a write to '" + path_ + "' failed.");
  size_t done = 0;
  while (done < len) {
    ssize_t r = ::pwrite(fd, buf + done, len - done, off_t(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      throw Error(e == ENOSPC ? err::kDiskFull : err::kDiskIo,
                  std::string(e == ENOSPC ? "The disk is full" : "Write error") + " in '" + path_ + "': " + std::strerror(e) + ".");
    }
    done += size_t(r);
  }
}

void PageFile::osSync(int fd) {
  if (gFailAfter > 0 && --gFailAfter == 0) throw Error(err::kDiskIo, "Write error: syncing '" + path_ + "' failed.");
  if (::fsync(fd) != 0) throw Error(err::kDiskIo, "Write error: syncing '" + path_ + "' failed: " + std::strerror(errno) + ".");
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
  int jfd = ::open(jpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (jfd < 0) {
    dirty_.clear();
    throw Error(errno == ENOSPC ? err::kDiskFull : err::kDiskIo,
                "Cannot write the journal '" + jpath + "': " + std::strerror(errno) + ".");
  }
  try {
    osWrite(jfd, 0, reinterpret_cast<const uint8_t*>(j.data()), j.size());
    osSync(jfd);
  } catch (...) {
    ::close(jfd);
    if (!gCrashOnFailure) ::unlink(jpath.c_str());
    dirty_.clear();
    throw;
  }
  ::close(jfd);
  syncDirectory(jpath);

  // 2. The pages themselves.
  try {
    for (auto& [page, data] : dirty_) osWrite(fd_, uint64_t(page) * pageSize_, data->data(), pageSize_);
    osSync(fd_);
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
  ::unlink(jpath.c_str());
  syncDirectory(jpath);
  for (auto& [page, data] : dirty_) cache_[page] = data;
  struct stat now {};
  ::fstat(fd_, &now);
  fileSize_ = uint64_t(now.st_size);
  committedPages_ = uint32_t(fileSize_ / pageSize_);
  dirty_.clear();
}

// A journal is applied only when it is complete (its checksum holds): an incomplete one was
// being written when the process stopped, before the database itself was touched.
void PageFile::recoverJournal() {
  std::string jpath = journalPath();
  int jfd = ::open(jpath.c_str(), O_RDONLY | O_CLOEXEC);
  if (jfd < 0) return;
  struct stat st {};
  ::fstat(jfd, &st);
  std::string j(size_t(st.st_size), '\0');
  size_t got = 0;
  while (got < j.size()) {
    ssize_t r = ::read(jfd, j.data() + got, j.size() - got);
    if (r <= 0) break;
    got += size_t(r);
  }
  ::close(jfd);
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
    if (mode_ == Mode::ReadWrite) ::unlink(jpath.c_str());
    return;
  }
  size_t off = 24;
  if (mode_ == Mode::ReadWrite) {
    for (uint32_t i = 0; i < count; ++i, off += 4 + psize) {
      osWrite(fd_, uint64_t(b.u32(off)) * psize, b.data() + off + 4, psize);
    }
    if (::ftruncate(fd_, off_t(origSize)) != 0) throw Error(err::kDiskIo, "Cannot restore '" + path_ + "' from its journal.");
    osSync(fd_);
    ::unlink(jpath.c_str());
    syncDirectory(jpath);
    cache_.clear();
    struct stat now {};
    ::fstat(fd_, &now);
    fileSize_ = uint64_t(now.st_size);
    if (pageSize_) committedPages_ = uint32_t(fileSize_ / pageSize_);
  } else {
    for (uint32_t i = 0; i < count; ++i, off += 4 + psize) {
      auto page = std::make_shared<Page>(b.data() + off + 4, b.data() + off + 4 + psize);
      overlay_[b.u32(off)] = page;
    }
  }
}

}  // namespace jet
