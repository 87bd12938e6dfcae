#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <climits>

#include "jet/os/os_file.h"

namespace jet {

namespace {

HANDLE asHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

OVERLAPPED at(uint64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = DWORD(offset);
  ov.OffsetHigh = DWORD(offset >> 32);
  return ov;
}

// Byte-range locks on Windows keep other handles from reading the range, so the hold on a
// database lies far past any real page, where it stops only other writers that ask for it.
constexpr uint64_t kHoldOffset = 0x7fffffff00000000ull;
constexpr DWORD kHoldLength = 1;

}  // namespace

std::wstring osWide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

std::string osNarrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

namespace {

OsError errorOf(DWORD e) {
  OsError out;
  switch (e) {
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: case ERROR_BAD_NETPATH:
      out.kind = OsFailure::NotFound; break;
    case ERROR_FILE_EXISTS: case ERROR_ALREADY_EXISTS: out.kind = OsFailure::Exists; break;
    case ERROR_ACCESS_DENIED: case ERROR_WRITE_PROTECT: out.kind = OsFailure::Denied; break;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL: out.kind = OsFailure::NoSpace; break;
    case ERROR_SHARING_VIOLATION: case ERROR_LOCK_VIOLATION: out.kind = OsFailure::Busy; break;
    case ERROR_FILENAME_EXCED_RANGE: case ERROR_BUFFER_OVERFLOW: out.kind = OsFailure::TooLong; break;
    default: out.kind = OsFailure::Other; break;
  }
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, e, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n > 0 && text != nullptr) {
    out.text = osNarrow(std::wstring(text, n));
    while (!out.text.empty() && (out.text.back() == '\n' || out.text.back() == '\r' || out.text.back() == ' ' ||
                                 out.text.back() == '.')) {
      out.text.pop_back();
    }
  }
  if (text != nullptr) LocalFree(text);
  if (out.text.empty()) out.text = "system error " + std::to_string(e);
  return out;
}
// Why the call that just failed failed; read before any other call into the system.
OsError lastError() { return errorOf(GetLastError()); }

OsStatus statusOf(bool ok) { return ok ? OsStatus() : OsStatus(lastError()); }

HANDLE openForReading(const std::wstring& path, DWORD share) {
  return CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

OsPathInfo osPathInfo(const std::string& path) {
  OsPathInfo info;
  if (path.empty()) {
    info.missing = errorOf(ERROR_FILE_NOT_FOUND);
    return info;
  }
  DWORD attributes = GetFileAttributesW(osWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    info.missing = lastError();
    return info;
  }
  info.exists = true;
  info.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  info.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return info;
}

std::string osRealPath(const std::string& path) {
  HANDLE h = CreateFileW(osWide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return path;
  std::wstring buf(32768, L'\0');
  DWORD n = GetFinalPathNameByHandleW(h, buf.data(), DWORD(buf.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(h);
  if (n == 0 || n >= buf.size()) return path;
  buf.resize(n);
  if (buf.rfind(L"\\\\?\\UNC\\", 0) == 0) buf = L"\\\\" + buf.substr(8);
  else if (buf.rfind(L"\\\\?\\", 0) == 0) buf = buf.substr(4);
  return osNarrow(buf);
}

// The read-only attribute is checked where the file is opened; folder rights are ACLs, and a
// log that cannot be created fails when the first operation is stored.
OsWriteAccess osWriteAccess(const std::string& path, const std::string&) {
  OsWriteAccess out;
  HANDLE h = openForReading(osWide(path), kShareAll);
  if (h == INVALID_HANDLE_VALUE) out.readable = GetLastError() != ERROR_ACCESS_DENIED;
  else CloseHandle(h);
  return out;
}

OsStatus osProbeLock(const std::string& path) {
  std::wstring wide = osWide(path);
  // Access keeps its lock file open while the database is in use; an open that shares nothing
  // fails then. A lock file left behind by a program that ended opens and is not held.
  HANDLE h = openForReading(wide, 0);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    if (e == ERROR_SHARING_VIOLATION || e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return errorOf(e);
    h = openForReading(wide, kShareAll);
    if (h == INVALID_HANDLE_VALUE) return lastError();
  }
  OVERLAPPED ov{};
  OsStatus out;
  if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &ov)) {
    UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &ov);
  } else {
    out = errorOf(ERROR_LOCK_VIOLATION);
  }
  CloseHandle(h);
  return out;
}

const char* osPathSeparators() { return "/\\"; }

OsStatus osRemoveFile(const std::string& path) { return statusOf(DeleteFileW(osWide(path).c_str()) != 0); }

void osSyncFolderOf(const std::string&) {}

OsStatus osRenameFile(const std::string& from, const std::string& to) {
  return statusOf(MoveFileExW(osWide(from).c_str(), osWide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0);
}

std::tm osLocalTime(std::time_t when) {
  std::tm local{};
  localtime_s(&local, &when);
  return local;
}

std::time_t osTimeOfUtc(std::tm utc) { return _mkgmtime(&utc); }

OsStatus OsFile::open(const std::string& path, Open how) {
  close();
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition = OPEN_EXISTING;
  switch (how) {
    case Open::Read: break;
    case Open::ReadWrite: access = GENERIC_READ | GENERIC_WRITE; share = FILE_SHARE_READ; break;
    case Open::CreateNew: access = GENERIC_WRITE; share = FILE_SHARE_READ; disposition = CREATE_NEW; break;
    case Open::Replace: access = GENERIC_READ | GENERIC_WRITE; share = FILE_SHARE_READ; disposition = CREATE_ALWAYS; break;
  }
  HANDLE h = CreateFileW(osWide(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lastError();
  handle_ = reinterpret_cast<intptr_t>(h);
  return {};
}

void OsFile::close() {
  if (handle_ != kClosed) CloseHandle(asHandle(handle_));  // closing releases our locks
  handle_ = kClosed;
}

OsResult<size_t> OsFile::readAt(uint64_t offset, void* buf, size_t len) const {
  OVERLAPPED ov = at(offset);
  DWORD got = 0;
  DWORD ask = len > 0x40000000 ? 0x40000000 : DWORD(len);
  if (!ReadFile(asHandle(handle_), buf, ask, &got, &ov)) {
    DWORD e = GetLastError();
    if (e == ERROR_HANDLE_EOF) return size_t(0);
    return errorOf(e);
  }
  return size_t(got);
}

OsResult<size_t> OsFile::writeAt(uint64_t offset, const void* buf, size_t len) {
  OVERLAPPED ov = at(offset);
  DWORD done = 0;
  DWORD ask = len > 0x40000000 ? 0x40000000 : DWORD(len);
  if (!WriteFile(asHandle(handle_), buf, ask, &done, &ov)) return lastError();
  return size_t(done);
}

OsStatus OsFile::sync() { return statusOf(FlushFileBuffers(asHandle(handle_)) != 0); }

// Windows writes a file's cached bytes back on its own schedule; FlushFileBuffers does the rest.
void OsFile::startWriteBack(uint64_t, uint64_t) {}

OsStatus OsFile::truncate(uint64_t size) {
  FILE_END_OF_FILE_INFO info{};
  info.EndOfFile.QuadPart = LONGLONG(size);
  return statusOf(SetFileInformationByHandle(asHandle(handle_), FileEndOfFileInfo, &info, sizeof info) != 0);
}

int64_t OsFile::size() const {
  LARGE_INTEGER n{};
  if (!GetFileSizeEx(asHandle(handle_), &n)) return -1;
  return int64_t(n.QuadPart);
}

// Setting the end of file allocates its clusters on NTFS and FAT: the space is taken at once.
OsStatus OsFile::reserve(uint64_t size) {
  int64_t now = this->size();
  if (now < 0) return lastError();
  if (uint64_t(now) >= size) return {};
  return truncate(size);
}

OsStatus OsFile::lockShared() {
  OVERLAPPED ov = at(kHoldOffset);
  return statusOf(LockFileEx(asHandle(handle_), LOCKFILE_FAIL_IMMEDIATELY, 0, kHoldLength, 0, &ov) != 0);
}

OsStatus OsFile::lockExclusive() {
  OVERLAPPED ov = at(kHoldOffset);
  return statusOf(LockFileEx(asHandle(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, kHoldLength, 0, &ov) != 0);
}

}  // namespace jet

#endif  // _WIN32
