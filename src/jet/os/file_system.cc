#include "jet/os/file_system.h"

#include "jet/base/error.h"

namespace jet {

namespace {

class RealFile : public File {
 public:
  explicit RealFile(OsFile f) : f_(std::move(f)) {}
  OsResult<size_t> readAt(uint64_t offset, void* buf, size_t len) const override { return f_.readAt(offset, buf, len); }
  OsResult<size_t> writeAt(uint64_t offset, const void* buf, size_t len) override { return f_.writeAt(offset, buf, len); }
  OsStatus sync() override { return f_.sync(); }
  void startWriteBack(uint64_t offset, uint64_t length) override { f_.startWriteBack(offset, length); }
  OsStatus truncate(uint64_t size) override { return f_.truncate(size); }
  OsStatus reserve(uint64_t size) override { return f_.reserve(size); }
  int64_t size() const override { return f_.size(); }
  OsStatus lockExclusive() override { return f_.lockExclusive(); }
  OsStatus lockShared() override { return f_.lockShared(); }

 private:
  OsFile f_;
};

class RealFileSystem : public FileSystem {
 public:
  OsResult<std::unique_ptr<File>> open(const std::string& path, OsFile::Open how) override {
    OsFile f;
    if (OsStatus s = f.open(path, how); !s) return s.error();
    return std::unique_ptr<File>(std::make_unique<RealFile>(std::move(f)));
  }
  OsStatus remove(const std::string& path) override { return osRemoveFile(path); }
  OsStatus rename(const std::string& from, const std::string& to) override { return osRenameFile(from, to); }
  void syncFolderOf(const std::string& path) override { osSyncFolderOf(path); }
  OsPathInfo pathInfo(const std::string& path) override { return osPathInfo(path); }
  std::string realPath(const std::string& path) override { return osRealPath(path); }
  OsWriteAccess writeAccess(const std::string& path, const std::string& folder) override {
    return osWriteAccess(path, folder);
  }
  OsStatus probeLock(const std::string& path) override { return osProbeLock(path); }
};

}  // namespace

void throwMissing(const std::string& path, const OsPathInfo& info) {
  if (info.missing.kind == OsFailure::TooLong) {
    throw Error(err::kInvalidFileName, "Not a valid file name: the path '" + path + "', or a name in it, is too long (" +
                                           info.missing.text + ").");
  }
  throw Error(err::kFileNotFound, "Could not find file '" + path + "'.");
}

void throwWriteFailure(const OsError& e, const std::string& what, int number, const std::string& label) {
  const bool full = e.kind == OsFailure::NoSpace;
  throw Error(full ? err::kDiskFull : number, (full ? std::string("The disk is full") : label) + what + ": " + e.text + ".");
}

void writeAll(File& f, const std::string& path, uint64_t offset, const void* buf, size_t len) {
  size_t done = 0;
  while (done < len) {
    OsResult<size_t> r = f.writeAt(offset + done, static_cast<const uint8_t*>(buf) + done, len - done);
    if (!r) throwWriteFailure(r.error(), " in '" + path + "'");
    // A write that moves nothing found no room.
    if (*r == 0) throwWriteFailure({OsFailure::NoSpace, "No space left on device"}, " in '" + path + "'");
    done += *r;
  }
}

void syncAll(File& f, const std::string& path) {
  // A share, or a file system that takes room only as it writes data out, reports a full disk here.
  if (OsStatus s = f.sync(); !s) throwWriteFailure(s.error(), ": syncing '" + path + "' failed");
}

void readAll(const File& f, const std::string& path, uint64_t offset, void* buf, size_t len) {
  size_t done = 0;
  while (done < len) {
    OsResult<size_t> r = f.readAt(offset + done, static_cast<uint8_t*>(buf) + done, len - done);
    if (!r) throw Error(err::kDiskIo, "Read error in '" + path + "': " + r.error().text + ".");
    if (*r == 0) corrupt("the file '" + path + "' ends in the middle of a page");
    done += *r;
  }
}

FileSystem& FileSystem::real() {
  static RealFileSystem fs;
  return fs;
}

}  // namespace jet
