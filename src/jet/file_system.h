// The seam between the pager and the operating system's files. The pager reaches every file
// through a FileSystem; the real one is the OS layer, and tests put in one that fails or stops.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "jet/error.h"
#include "jet/os_file.h"

namespace jet {

// An open file; the calls and their results are OsFile's.
class File {
 public:
  virtual ~File() = default;
  virtual int64_t readAt(uint64_t offset, void* buf, size_t len) const = 0;
  virtual int64_t writeAt(uint64_t offset, const void* buf, size_t len) = 0;
  virtual bool sync() = 0;
  virtual bool truncate(uint64_t size) = 0;
  virtual bool reserve(uint64_t size) = 0;
  virtual int64_t size() const = 0;
  virtual bool lockExclusive() = 0;
  virtual bool lockShared() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // nullptr when the file cannot be opened: lastOsError() tells why.
  virtual std::unique_ptr<File> open(const std::string& path, OsFile::Open how) = 0;
  virtual bool remove(const std::string& path) = 0;
  virtual bool rename(const std::string& from, const std::string& to) = 0;
  // Makes a file's creation, removal or renaming durable.
  virtual void syncFolderOf(const std::string& path) = 0;

  // The operating system's files.
  static FileSystem& real();
};

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
