// The seam between the engine and the system's files: every file, path and lock call goes through
// a FileSystem. The real one is the OS layer; tests put in one that fails or stops.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "jet/base/error.h"
#include "jet/os/os_file.h"

namespace jet {

// An open file; the calls and their results are OsFile's.
class File {
 public:
  virtual ~File() = default;
  virtual OsResult<size_t> readAt(uint64_t offset, void* buf, size_t len) const = 0;
  virtual OsResult<size_t> writeAt(uint64_t offset, const void* buf, size_t len) = 0;
  virtual OsStatus sync() = 0;
  // A hint; files that take none ignore it.
  virtual void startWriteBack(uint64_t offset, uint64_t length) { (void)offset, (void)length; }
  virtual OsStatus truncate(uint64_t size) = 0;
  virtual OsStatus reserve(uint64_t size) = 0;
  virtual int64_t size() const = 0;
  virtual OsStatus lockExclusive() = 0;
  virtual OsStatus lockShared() = 0;
};

// The calls and their results are those of os_file.h of the same names.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual OsResult<std::unique_ptr<File>> open(const std::string& path, OsFile::Open how) = 0;
  virtual OsStatus remove(const std::string& path) = 0;
  virtual OsStatus rename(const std::string& from, const std::string& to) = 0;
  // Makes a file's creation, removal or renaming durable.
  virtual void syncFolderOf(const std::string& path) = 0;
  virtual OsPathInfo pathInfo(const std::string& path) = 0;
  virtual std::string realPath(const std::string& path) = 0;
  virtual OsWriteAccess writeAccess(const std::string& path, const std::string& folder) = 0;
  virtual OsStatus probeLock(const std::string& path) = 0;

  // The operating system's files.
  static FileSystem& real();
};

// A path that names nothing (`info` says why) as a numbered error: 3055 when it is too long for
// the system, otherwise 3024 "Could not find file".
[[noreturn]] void throwMissing(const std::string& path, const OsPathInfo& info);

// A failed write, sync or reservation as a numbered error: 3035 "The disk is full" when `e` says
// so, otherwise `number` with `label`. The message is the label, `what`, then the system's reason.
[[noreturn]] void throwWriteFailure(const OsError& e, const std::string& what, int number = err::kDiskIo,
                                    const std::string& label = "Write error");

// The calls the pager makes, with their failures as numbered errors naming `path`.
void writeAll(File& f, const std::string& path, uint64_t offset, const void* buf, size_t len);
void syncAll(File& f, const std::string& path);
// A read that ends early is `shortRead`'s business (damage, or the end of a log).
void readAll(const File& f, const std::string& path, uint64_t offset, void* buf, size_t len);

}  // namespace jet
