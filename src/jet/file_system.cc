#include "jet/file_system.h"

#include "jet/error.h"

namespace jet {

namespace {

class RealFile : public File {
 public:
  explicit RealFile(OsFile f) : f_(std::move(f)) {}
  int64_t readAt(uint64_t offset, void* buf, size_t len) const override { return f_.readAt(offset, buf, len); }
  int64_t writeAt(uint64_t offset, const void* buf, size_t len) override { return f_.writeAt(offset, buf, len); }
  bool sync() override { return f_.sync(); }
  bool truncate(uint64_t size) override { return f_.truncate(size); }
  bool reserve(uint64_t size) override { return f_.reserve(size); }
  int64_t size() const override { return f_.size(); }
  bool lockExclusive() override { return f_.lockExclusive(); }
  bool lockShared() override { return f_.lockShared(); }

 private:
  OsFile f_;
};

class RealFileSystem : public FileSystem {
 public:
  std::unique_ptr<File> open(const std::string& path, OsFile::Open how) override {
    OsFile f;
    if (!f.open(path, how)) return nullptr;
    return std::make_unique<RealFile>(std::move(f));
  }
  bool remove(const std::string& path) override { return osRemoveFile(path); }
  bool rename(const std::string& from, const std::string& to) override { return osRenameFile(from, to); }
  void syncFolderOf(const std::string& path) override { osSyncFolderOf(path); }
};

}  // namespace

void throwWriteFailure(const OsError& e, const std::string& what, int number, const std::string& label) {
  const bool full = e.kind == OsFailure::NoSpace;
  throw Error(full ? err::kDiskFull : number, (full ? std::string("The disk is full") : label) + what + ": " + e.text + ".");
}

void writeAll(File& f, const std::string& path, uint64_t offset, const void* buf, size_t len) {
  size_t done = 0;
  while (done < len) {
    int64_t r = f.writeAt(offset + done, static_cast<const uint8_t*>(buf) + done, len - done);
    if (r <= 0) {
      OsError e = lastOsError();
      if (r == 0) e.kind = OsFailure::NoSpace;  // a write that moves nothing found no room
      throwWriteFailure(e, " in '" + path + "'");
    }
    done += size_t(r);
  }
}

void syncAll(File& f, const std::string& path) {
  // A share, or a file system that takes room only as it writes data out, reports a full disk here.
  if (!f.sync()) throwWriteFailure(lastOsError(), ": syncing '" + path + "' failed");
}

void readAll(const File& f, const std::string& path, uint64_t offset, void* buf, size_t len) {
  size_t done = 0;
  while (done < len) {
    int64_t r = f.readAt(offset + done, static_cast<uint8_t*>(buf) + done, len - done);
    if (r < 0) throw Error(err::kDiskIo, "Read error in '" + path + "': " + lastOsError().text + ".");
    if (r == 0) corrupt("the file '" + path + "' ends in the middle of a page");
    done += size_t(r);
  }
}

FileSystem& FileSystem::real() {
  static RealFileSystem fs;
  return fs;
}

}  // namespace jet
