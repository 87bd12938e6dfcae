#include "jet/lock_file.h"

#include <vector>

#include "jet/error.h"
#include "jet/os_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace jet {

namespace {

enum class LockState { Free, Held, Unchecked };
struct LockCheck {
  LockState state = LockState::Free;
  std::string why;  // the system's wording, when the lock file could not be checked
};

#ifdef _WIN32
constexpr const char* kSeparators = "/\\";

std::string systemText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring w = n ? std::wstring(text, n) : L"error " + std::to_wstring(code);
  if (text) LocalFree(text);
  while (!w.empty() && (w.back() == L'\r' || w.back() == L'\n' || w.back() == L'.' || w.back() == L' ')) w.pop_back();
  return osNarrow(w);
}

LockCheck checkLockFile(const std::string& ldb) {
  std::wstring wide = osWide(ldb);
  // Access keeps its lock file open while the database is in use; an open that shares nothing
  // fails then. A lock file left behind by a program that ended opens and is not held.
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    if (e == ERROR_SHARING_VIOLATION) return {LockState::Held, {}};
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return {};
    h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {LockState::Unchecked, systemText(GetLastError())};
  }
  OVERLAPPED ov{};
  LockCheck out;
  if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &ov)) {
    UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &ov);
  } else {
    out.state = LockState::Held;
  }
  CloseHandle(h);
  return out;
}
#else
constexpr const char* kSeparators = "/";

// A record lock of another process shows through F_GETLK; a BSD lock (flock), which record
// locks do not see, shows when taking one ourselves fails.
LockCheck checkLockFile(const std::string& ldb) {
  int fd = ::open(ldb.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return {LockState::Unchecked, std::strerror(errno)};
  }
  LockCheck out;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  if (::fcntl(fd, F_GETLK, &fl) != 0) {
    out = {LockState::Unchecked, std::strerror(errno)};
  } else if (fl.l_type != F_UNLCK) {
    out.state = LockState::Held;
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    out = errno == EWOULDBLOCK ? LockCheck{LockState::Held, {}} : LockCheck{LockState::Unchecked, std::strerror(errno)};
  } else {
    ::flock(fd, LOCK_UN);
  }
  ::close(fd);
  return out;
}
#endif

}  // namespace

std::string lockFileOf(const std::string& path) {
  auto dot = path.find_last_of('.');
  auto slash = path.find_last_of(kSeparators);
  std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path;
  return base + ".ldb";
}

void refuseIfLockFileHeld(const std::string& databasePath) {
  std::vector<std::string> lockFiles{lockFileOf(osRealPath(databasePath))};
  if (std::string named = lockFileOf(databasePath); named != lockFiles[0]) lockFiles.push_back(named);
  for (const std::string& ldb : lockFiles) {
    LockCheck c = checkLockFile(ldb);
    if (c.state == LockState::Held) {
      throw Error(err::kAlreadyInUse, "The database '" + databasePath + "' is in use by another program (its lock file '" +
                                          ldb + "' is held). Close that program and try again.");
    }
    if (c.state == LockState::Unchecked) {
      throw Error(err::kAlreadyInUse, "The database '" + databasePath + "' may be in use by another program: its lock file '" +
                                          ldb + "' cannot be checked (" + c.why +
                                          "). Close any program that uses the database and try again.");
    }
  }
}

}  // namespace jet
