// The calls into the operating system that the engine makes: files, paths, locks and the clock.
// One implementation for POSIX systems (os_file_posix.cc), one for Windows (os_file_win32.cc); paths are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>

namespace jet {

// Why a call failed. `TooLong`: the path, or a name in it, is longer than the system takes.
enum class OsFailure { NotFound, Exists, Denied, NoSpace, Busy, TooLong, Other };
struct OsError {
  OsFailure kind = OsFailure::Other;
  std::string text;  // the system's own wording, without a closing full stop
};

// What a call gives back: its value when it succeeded (true as a condition), otherwise why it failed.
template <class T>
class OsResult {
 public:
  OsResult(T value) : value_(std::move(value)) {}
  OsResult(OsError e) : error_(std::move(e)), failed_(true) {}
  explicit operator bool() const { return !failed_; }
  T& operator*() { return value_; }
  const T& operator*() const { return value_; }
  const OsError& error() const { return error_; }

 private:
  T value_{};
  OsError error_;
  bool failed_ = false;
};

// A call that gives back nothing but whether it succeeded.
class OsStatus {
 public:
  OsStatus() = default;
  OsStatus(OsError e) : error_(std::move(e)), failed_(true) {}
  explicit operator bool() const { return !failed_; }
  const OsError& error() const { return error_; }

 private:
  OsError error_;
  bool failed_ = false;
};

// What a path names. `readOnly`: a file nobody may write (no write permission bits at all on
// POSIX, the read-only attribute on Windows), whatever the current user's rights would allow.
// For a path that names nothing, `missing` tells why (NotFound, TooLong, Denied, ...).
struct OsPathInfo {
  bool exists = false;
  bool folder = false;
  bool readOnly = false;
  bool link = false;  // the path's last part is itself a link (a reparse point on Windows), even one leading nowhere
  OsError missing;
};
OsPathInfo osPathInfo(const std::string& path);
// The file `path` names once every link is followed, as an absolute path; `path` itself when
// that cannot be told.
std::string osRealPath(const std::string& path);

// What this user may do with an existing file and the folder its log goes into, as far as the
// system tells before trying (Windows tells only the first: its rights are ACLs, and the rest
// shows when the file or its log is written).
struct OsWriteAccess {
  bool readable = true;
  enum class Write { Allowed, ReadOnlyVolume, NotForThisUser } write = Write::Allowed;
  OsStatus createInFolder;   // a file may be created in the folder
  bool folderFull = false;   // the folder's disk has not a block left for this user
};
OsWriteAccess osWriteAccess(const std::string& path, const std::string& folder);

// Whether another program holds a lock on the file at `path`, told without taking one for
// longer than the check: success when none does, Busy when one does, NotFound when there is no
// such file, otherwise why it could not be told. On POSIX a record lock or a BSD lock; on
// Windows an open that shares nothing, or a byte-range lock.
OsStatus osProbeLock(const std::string& path);

#ifdef _WIN32
// UTF-8 to the UTF-16 that Windows' wide calls take, and back.
std::wstring osWide(const std::string& utf8);
std::string osNarrow(const std::wstring& wide);
#endif

// The characters that end a folder's name in a path: '/' (and '\\' on Windows).
const char* osPathSeparators();

// Removes a file.
OsStatus osRemoveFile(const std::string& path);
// Renames a file, replacing any file of the new name.
OsStatus osRenameFile(const std::string& from, const std::string& to);
// Makes the creation or removal of a file in its folder durable (nothing to do on Windows).
void osSyncFolderOf(const std::string& filePath);

// The local date and time of `when`; and the moment whose UTC date and time are `local`'s.
std::tm osLocalTime(std::time_t when);
std::time_t osTimeOfUtc(std::tm utc);

// An open file, closed with the object. Not inherited by programs this one starts.
class OsFile {
 public:
  enum class Open {
    Read,       // reading; other programs may read and write
    ReadWrite,  // reading and writing an existing file; on Windows others may only read it meanwhile
    CreateNew,  // writing a file that must not exist yet
    Replace,    // reading and writing a file that is created or emptied
  };

  OsFile() = default;
  ~OsFile() { close(); }
  OsFile(const OsFile&) = delete;
  OsFile& operator=(const OsFile&) = delete;
  OsFile(OsFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kClosed; }
  OsFile& operator=(OsFile&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = other.handle_;
      other.handle_ = kClosed;
    }
    return *this;
  }

  OsStatus open(const std::string& path, Open how);
  bool isOpen() const { return handle_ != kClosed; }
  void close();

  // Up to `len` bytes at `offset`: the number moved, 0 at the end of the file (reading).
  // Interrupted calls are retried; a short count is not an error.
  OsResult<size_t> readAt(uint64_t offset, void* buf, size_t len) const;
  OsResult<size_t> writeAt(uint64_t offset, const void* buf, size_t len);
  // Makes what was written durable.
  OsStatus sync();
  // Asks the system to start writing these bytes to the disk without waiting, so that a later
  // sync() has less left to do. Only a hint: nothing is durable before sync().
  void startWriteBack(uint64_t offset, uint64_t length);
  OsStatus truncate(uint64_t size);
  // Makes the file at least `size` bytes long with its space allocated, so that later writes
  // below `size` cannot fail for lack of room.
  OsStatus reserve(uint64_t size);
  // The file's size in bytes, -1 on failure.
  int64_t size() const;
  // Holds the file for this program alone until it is closed; fails when another program (or
  // another open of it in this one) holds it.
  OsStatus lockExclusive();
  // Holds the file against writers: others may hold it this way too, but not exclusively.
  OsStatus lockShared();

 private:
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // a file descriptor, or a Windows HANDLE
};

}  // namespace jet
