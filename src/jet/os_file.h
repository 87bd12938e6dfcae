// The few calls into the operating system's file services that the pager and database creation make.
// One implementation for POSIX systems (os_file_posix.cc), one for Windows (os_file_win32.cc); paths are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jet {

// Why the last failing call of this layer in this thread failed.
enum class OsFailure { NotFound, Exists, Denied, NoSpace, Busy, Other };
struct OsError {
  OsFailure kind = OsFailure::Other;
  std::string text;  // the system's own wording, without a closing full stop
};
// Read right after the failing call, before any other call into the system.
OsError lastOsError();

// What a path names. `readOnly`: a file nobody may write (no write permission bits at all on
// POSIX, the read-only attribute on Windows), whatever the current user's rights would allow.
struct OsPathInfo {
  bool exists = false;
  bool folder = false;
  bool readOnly = false;
  bool link = false;  // the path's last part is itself a link (a reparse point on Windows), even one leading nowhere
};
OsPathInfo osPathInfo(const std::string& path);
// The file `path` names once every link is followed, as an absolute path; `path` itself when
// that cannot be told.
std::string osRealPath(const std::string& path);

#ifdef _WIN32
// UTF-8 to the UTF-16 that Windows' wide calls take, and back.
std::wstring osWide(const std::string& utf8);
std::string osNarrow(const std::wstring& wide);
#endif

// Removes a file; false when that fails.
bool osRemoveFile(const std::string& path);
// Renames a file, replacing any file of the new name; false when that fails.
bool osRenameFile(const std::string& from, const std::string& to);
// Makes lastOsError() report `kind` (for layers that fail a call on their own, as tests do).
void osFailWith(OsFailure kind);
// Makes the creation or removal of a file in its folder durable (nothing to do on Windows).
void osSyncFolderOf(const std::string& filePath);

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

  // False when the file cannot be opened: lastOsError() tells why.
  bool open(const std::string& path, Open how);
  bool isOpen() const { return handle_ != kClosed; }
  void close();

  // Up to `len` bytes at `offset`: the number moved, 0 at the end of the file (reading), -1 on
  // failure. Interrupted calls are retried; a short count is not an error.
  int64_t readAt(uint64_t offset, void* buf, size_t len) const;
  int64_t writeAt(uint64_t offset, const void* buf, size_t len);
  // Makes what was written durable.
  bool sync();
  bool truncate(uint64_t size);
  // Makes the file at least `size` bytes long with its space allocated, so that later writes
  // below `size` cannot fail for lack of room.
  bool reserve(uint64_t size);
  // The file's size in bytes, -1 on failure.
  int64_t size() const;
  // Holds the file for this program alone until it is closed; false when another program (or
  // another open of it in this one) holds it.
  bool lockExclusive();
  // Holds the file against writers: others may hold it this way too, but not exclusively.
  bool lockShared();

 private:
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // a file descriptor, or a Windows HANDLE
};

}  // namespace jet
