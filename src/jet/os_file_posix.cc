#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "jet/os_file.h"

namespace jet {

namespace {

std::string folderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

}  // namespace

OsError lastOsError() {
  int e = errno;
  OsError out;
  out.text = std::strerror(e);
  switch (e) {
    case ENOENT: case ENOTDIR: out.kind = OsFailure::NotFound; break;
    case EEXIST: out.kind = OsFailure::Exists; break;
    case EACCES: case EROFS: case EPERM: out.kind = OsFailure::Denied; break;
    case ENOSPC: case EDQUOT: out.kind = OsFailure::NoSpace; break;
    case EAGAIN: case EBUSY: out.kind = OsFailure::Busy; break;
    default: out.kind = OsFailure::Other; break;
  }
  return out;
}

OsPathInfo osPathInfo(const std::string& path) {
  OsPathInfo info;
  struct stat st {};
  if (path.empty()) return info;
  info.link = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  if (::stat(path.c_str(), &st) != 0) return info;
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

bool osRemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool osRenameFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

void osFailWith(OsFailure kind) {
  switch (kind) {
    case OsFailure::NotFound: errno = ENOENT; break;
    case OsFailure::Exists: errno = EEXIST; break;
    case OsFailure::Denied: errno = EACCES; break;
    case OsFailure::NoSpace: errno = ENOSPC; break;
    case OsFailure::Busy: errno = EBUSY; break;
    case OsFailure::Other: errno = EIO; break;
  }
}

void osSyncFolderOf(const std::string& filePath) {
  int dfd = ::open(folderOf(filePath).c_str(), O_RDONLY);
  if (dfd >= 0) { ::fsync(dfd); ::close(dfd); }
}

bool OsFile::open(const std::string& path, Open how) {
  close();
  int fd = -1;
  switch (how) {
    case Open::Read: fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); break;
    case Open::ReadWrite: fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC); break;
    case Open::CreateNew: fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); break;
    case Open::Replace: fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); break;
  }
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

void OsFile::close() {
  if (handle_ != kClosed) ::close(int(handle_));  // closing releases our locks
  handle_ = kClosed;
}

int64_t OsFile::readAt(uint64_t offset, void* buf, size_t len) const {
  for (;;) {
    ssize_t r = ::pread(int(handle_), buf, len, off_t(offset));
    if (r < 0 && errno == EINTR) continue;
    return r;
  }
}

int64_t OsFile::writeAt(uint64_t offset, const void* buf, size_t len) {
  for (;;) {
    ssize_t r = ::pwrite(int(handle_), buf, len, off_t(offset));
    if (r < 0 && errno == EINTR) continue;
    return r;
  }
}

bool OsFile::sync() { return ::fsync(int(handle_)) == 0; }

bool OsFile::truncate(uint64_t size) { return ::ftruncate(int(handle_), off_t(size)) == 0; }

bool OsFile::reserve(uint64_t size) {
  int64_t now = this->size();
  if (now < 0) return false;
  if (uint64_t(now) >= size) return true;
  int r = ::posix_fallocate(int(handle_), off_t(now), off_t(size - uint64_t(now)));
  if (r == 0) return true;
  if (r != EOPNOTSUPP && r != EINVAL) {
    errno = r;
    return false;
  }
  // A file system without allocation calls: the zeros are written.
  static const char zeros[65536] = {};
  for (uint64_t at = uint64_t(now); at < size;) {
    size_t n = size_t(std::min<uint64_t>(sizeof zeros, size - at));
    int64_t w = writeAt(at, zeros, n);
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;
      return false;
    }
    at += uint64_t(w);
  }
  return true;
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

bool lockWhole(int fd, bool exclusive) {
  struct flock fl {};
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  return ::fcntl(fd, kSetRecordLock, &fl) == 0 && ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0;
}

}  // namespace

bool OsFile::lockExclusive() { return lockWhole(int(handle_), true); }
bool OsFile::lockShared() { return lockWhole(int(handle_), false); }

}  // namespace jet

#endif  // !_WIN32
