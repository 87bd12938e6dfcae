#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "jet/os/os_file.h"

namespace jet {

namespace {

std::string folderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// Why the call that just failed failed; read before any other call into the system.
OsError errorOf(int e) {
  OsError out;
  out.text = std::strerror(e);
  switch (e) {
    case ENOENT: case ENOTDIR: out.kind = OsFailure::NotFound; break;
    case EEXIST: out.kind = OsFailure::Exists; break;
    case EACCES: case EROFS: case EPERM: out.kind = OsFailure::Denied; break;
    case ENOSPC: case EDQUOT: out.kind = OsFailure::NoSpace; break;
    case EAGAIN: case EBUSY: out.kind = OsFailure::Busy; break;
    case ENAMETOOLONG: out.kind = OsFailure::TooLong; break;
    default: out.kind = OsFailure::Other; break;
  }
  return out;
}
OsError lastError() { return errorOf(errno); }

OsStatus statusOf(bool ok) { return ok ? OsStatus() : OsStatus(lastError()); }

bool denied(int e) { return e == EACCES || e == EPERM; }

}  // namespace

OsPathInfo osPathInfo(const std::string& path) {
  OsPathInfo info;
  struct stat st {};
  if (path.empty()) {
    info.missing = errorOf(ENOENT);
    return info;
  }
  info.link = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  if (::stat(path.c_str(), &st) != 0) {
    info.missing = lastError();
    return info;
  }
  info.exists = true;
  info.folder = S_ISDIR(st.st_mode);
  info.readOnly = (st.st_mode & 0222) == 0;
  return info;
}

std::string osRealPath(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string out(real);
  std::free(real);
  return out;
}

OsWriteAccess osWriteAccess(const std::string& path, const std::string& folder) {
  OsWriteAccess out;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && denied(errno)) out.readable = false;
  if (fd >= 0) ::close(fd);
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    if (errno == EROFS) out.write = OsWriteAccess::Write::ReadOnlyVolume;
    else if (denied(errno)) out.write = OsWriteAccess::Write::NotForThisUser;
  }
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0 && (denied(errno) || errno == EROFS)) {
    out.createInFolder = lastError();
  }
  struct statvfs fs {};
  out.folderFull = ::statvfs(folder.c_str(), &fs) == 0 && (::geteuid() == 0 ? fs.f_bfree : fs.f_bavail) == 0;
  return out;
}

// A record lock of another process shows through F_GETLK; a BSD lock (flock), which record
// locks do not see, shows when taking one ourselves fails.
OsStatus osProbeLock(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return lastError();
  OsStatus out;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  if (::fcntl(fd, F_GETLK, &fl) != 0) {
    out = lastError();
  } else if (fl.l_type != F_UNLCK) {
    out = errorOf(EBUSY);
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    out = errno == EWOULDBLOCK ? errorOf(EBUSY) : lastError();
  } else {
    ::flock(fd, LOCK_UN);
  }
  ::close(fd);
  return out;
}

const char* osPathSeparators() { return "/"; }

OsStatus osRemoveFile(const std::string& path) { return statusOf(::unlink(path.c_str()) == 0); }

OsStatus osRenameFile(const std::string& from, const std::string& to) {
  return statusOf(::rename(from.c_str(), to.c_str()) == 0);
}

void osSyncFolderOf(const std::string& filePath) {
  int dfd = ::open(folderOf(filePath).c_str(), O_RDONLY);
  if (dfd >= 0) { ::fsync(dfd); ::close(dfd); }
}

std::tm osLocalTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return local;
}

std::time_t osTimeOfUtc(std::tm utc) { return timegm(&utc); }

OsStatus OsFile::open(const std::string& path, Open how) {
  close();
  int fd = -1;
  switch (how) {
    case Open::Read: fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); break;
    case Open::ReadWrite: fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC); break;
    case Open::CreateNew: fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); break;
    case Open::Replace: fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); break;
  }
  if (fd < 0) return lastError();
  handle_ = fd;
  return {};
}

void OsFile::close() {
  if (handle_ != kClosed) ::close(int(handle_));  // closing releases our locks
  handle_ = kClosed;
}

OsResult<size_t> OsFile::readAt(uint64_t offset, void* buf, size_t len) const {
  for (;;) {
    ssize_t r = ::pread(int(handle_), buf, len, off_t(offset));
    if (r >= 0) return size_t(r);
    if (errno != EINTR) return lastError();
  }
}

OsResult<size_t> OsFile::writeAt(uint64_t offset, const void* buf, size_t len) {
  for (;;) {
    ssize_t r = ::pwrite(int(handle_), buf, len, off_t(offset));
    if (r >= 0) return size_t(r);
    if (errno != EINTR) return lastError();
  }
}

OsStatus OsFile::sync() { return statusOf(::fsync(int(handle_)) == 0); }

void OsFile::startWriteBack(uint64_t offset, uint64_t length) {
#if defined(__linux__)
  // A failure only means that the sync to come does all of the work.
  (void)::sync_file_range(int(handle_), off_t(offset), off_t(length), SYNC_FILE_RANGE_WRITE);
#else
  (void)offset;
  (void)length;
#endif
}

OsStatus OsFile::truncate(uint64_t size) { return statusOf(::ftruncate(int(handle_), off_t(size)) == 0); }

OsStatus OsFile::reserve(uint64_t size) {
  int64_t now = this->size();
  if (now < 0) return lastError();
  if (uint64_t(now) >= size) return {};
  int r = ::posix_fallocate(int(handle_), off_t(now), off_t(size - uint64_t(now)));
  if (r == 0) return {};
  if (r != EOPNOTSUPP && r != EINVAL) return errorOf(r);
  // A file system without allocation calls: the zeros are written.
  static const char zeros[65536] = {};
  for (uint64_t at = uint64_t(now); at < size;) {
    size_t n = size_t(std::min<uint64_t>(sizeof zeros, size - at));
    OsResult<size_t> w = writeAt(at, zeros, n);
    if (!w) return w.error();
    if (*w == 0) return errorOf(ENOSPC);
    at += *w;
  }
  return {};
}

int64_t OsFile::size() const {
  struct stat st {};
  if (::fstat(int(handle_), &st) != 0) return -1;
  return int64_t(st.st_size);
}

namespace {

// A record lock (what other programs that lock byte ranges see, Wine's file locks among them)
// and a BSD lock (what a second open of the file in this same process sees where record locks
// belong to the process). The record lock is one of the open file where the system has those:
// a classic one belongs to the process, and goes as soon as the process closes any descriptor
// of the file, say, after reading it for a backup copy while the update holds it.
#ifdef F_OFD_SETLK
constexpr int kSetRecordLock = F_OFD_SETLK;
#else
constexpr int kSetRecordLock = F_SETLK;
#endif

// Another holder shows as EAGAIN or EACCES from a record lock and EWOULDBLOCK from a BSD lock.
OsStatus lockWhole(int fd, bool exclusive) {
  struct flock fl {};
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  if (::fcntl(fd, kSetRecordLock, &fl) == 0 && ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return {};
  return errorOf(errno == EAGAIN || errno == EACCES || errno == EWOULDBLOCK ? EBUSY : errno);
}

}  // namespace

OsStatus OsFile::lockExclusive() { return lockWhole(int(handle_), true); }
OsStatus OsFile::lockShared() { return lockWhole(int(handle_), false); }

}  // namespace jet

#endif  // !_WIN32
