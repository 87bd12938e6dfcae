// A file system for tests, put under the engine in place of the real one: it fails or stops at a
// chosen call as a full disk, a killed process or a power cut would, and can fail lock checks.
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/os/file_system.h"

namespace testing_support {

// Thrown where the process "dies"; from then on nothing reaches the disk.
struct Stopped {};

class FaultyFiles : public jet::FileSystem {
 public:
  enum class Fault {
    None,
    DiskFull,   // from the nth change on, writes that need more room fail, and so do syncs of a
                // file that grew since its last sync (as on a share or a file system that
                // takes the room only when it writes the data out)
    Kill,       // the process dies in the nth change (half of a write reaches the file)
    PowerCut,   // the machine stops at the nth sync: what was written since each file's last sync is lost
    TornCut,    // as PowerCut, but each of those writes left its first half behind
  };
  FaultyFiles(Fault fault = Fault::None, long at = 0) : fault_(fault), at_(at) {}

  // Every check of a lock file from now on fails with `why` (Busy: another program holds it).
  void failLockChecks(jet::OsError why) { lockFailure_ = std::move(why); }

  // Calls that change a file (writes, truncations, syncs, removals) and syncs so far.
  long changes() const { return changes_; }
  long syncs() const { return syncs_; }
  bool fired() const { return fired_; }

  jet::OsResult<std::unique_ptr<jet::File>> open(const std::string& path, jet::OsFile::Open how) override {
    const bool existed = std::filesystem::exists(path);
    jet::OsFile f;
    if (jet::OsStatus s = f.open(path, how); !s) return s.error();
    if (!existed) state(path).created = true;
    return std::unique_ptr<jet::File>(std::make_unique<Handle>(*this, path, std::move(f)));
  }
  jet::OsStatus remove(const std::string& path) override {
    if (!change()) return {};
    // Kept until its folder is synced: a power cut before that brings it back.
    std::string keep = path + ".removed-" + std::to_string(++removals_);
    if (jet::OsStatus s = jet::osRenameFile(path, keep); !s) return s;
    pendingRemovals_.push_back({path, keep});
    states_.erase(path);
    return {};
  }
  jet::OsStatus rename(const std::string& from, const std::string& to) override {
    if (!change()) return {};
    return jet::osRenameFile(from, to);
  }
  jet::OsPathInfo pathInfo(const std::string& path) override { return jet::osPathInfo(path); }
  std::string realPath(const std::string& path) override { return jet::osRealPath(path); }
  jet::OsWriteAccess writeAccess(const std::string& p, const std::string& folder) override { return jet::osWriteAccess(p, folder); }
  jet::OsStatus probeLock(const std::string& path) override { return lockFailure_ ? *lockFailure_ : jet::osProbeLock(path); }
  void syncFolderOf(const std::string&) override {
    if (!sync()) return;
    for (auto& [path, keep] : pendingRemovals_) (void)jet::osRemoveFile(keep);
    pendingRemovals_.clear();
    for (auto& [path, s] : states_) s.created = false;
  }

 private:
  inline static const jet::OsError kNoSpace{jet::OsFailure::NoSpace, "No space left on device"};

  struct Undo {
    uint64_t offset;
    std::string old;       // the bytes the write replaced
    uint64_t oldSize;      // the file's size before it
    std::string written;   // what was written (for a torn cut)
  };
  struct FileState {
    std::vector<Undo> unsynced;
    bool created = false;          // made since the last folder sync
    bool grew = false;             // longer than at its last sync
    jet::OsFile* open = nullptr;   // a handle the pager holds (Windows lets no one else write)
  };

  class Handle : public jet::File {
   public:
    Handle(FaultyFiles& fs, std::string path, jet::OsFile f) : fs_(fs), path_(std::move(path)), f_(std::move(f)) {
      fs_.state(path_).open = &f_;
    }
    ~Handle() override {
      auto s = fs_.states_.find(path_);
      if (s != fs_.states_.end() && s->second.open == &f_) s->second.open = nullptr;
    }
    jet::OsResult<size_t> readAt(uint64_t offset, void* buf, size_t len) const override {
      return f_.readAt(offset, buf, len);
    }
    jet::OsResult<size_t> writeAt(uint64_t offset, const void* buf, size_t len) override {
      if (fs_.dead_) return len;
      const bool grows = offset + len > fileSize();
      if (fs_.noRoom(grows)) return kNoSpace;
      const bool dies = fs_.fault_ == Fault::Kill && fs_.changes_ + 1 == fs_.at_;
      ++fs_.changes_;
      if (grows) fs_.state(path_).grew = true;
      size_t n = dies ? len / 2 : len;
      record(offset, static_cast<const char*>(buf), n);
      jet::OsResult<size_t> r = f_.writeAt(offset, buf, n);
      if (dies) fs_.die();
      return r;
    }
    jet::OsStatus sync() override {
      if (!fs_.dead_ && fs_.noRoom(fs_.state(path_).grew)) return kNoSpace;
      if (!fs_.sync()) return {};
      fs_.state(path_).grew = false;
      fs_.state(path_).unsynced.clear();
      return f_.sync();
    }
    jet::OsStatus truncate(uint64_t size) override {
      if (!fs_.change()) return {};
      record(std::min<uint64_t>(size, uint64_t(f_.size())), nullptr, 0);
      return f_.truncate(size);
    }
    jet::OsStatus reserve(uint64_t size) override {
      if (fs_.dead_) return {};
      if (fs_.noRoom(size > fileSize())) return kNoSpace;
      if (!fs_.change()) return {};
      record(uint64_t(f_.size()), nullptr, 0);
      fs_.state(path_).grew = true;
      return f_.reserve(size);
    }
    int64_t size() const override { return f_.size(); }
    jet::OsStatus lockExclusive() override { return f_.lockExclusive(); }
    jet::OsStatus lockShared() override { return f_.lockShared(); }

   private:
    uint64_t fileSize() const { return uint64_t(std::max<int64_t>(f_.size(), 0)); }
    // Keeps what a change replaces, until the file is synced.
    void record(uint64_t offset, const char* data, size_t len) {
      Undo u{offset, {}, fileSize(), data ? std::string(data, len) : std::string()};
      if (offset < u.oldSize) {
        u.old.resize(size_t(std::min<uint64_t>(u.oldSize - offset, len == 0 ? u.oldSize - offset : len)));
        jet::OsResult<size_t> got = f_.readAt(offset, u.old.data(), u.old.size());
        u.old.resize(got ? *got : 0);
      }
      fs_.state(path_).unsynced.push_back(std::move(u));
    }

    FaultyFiles& fs_;
    std::string path_;
    jet::OsFile f_;
  };

  FileState& state(const std::string& path) { return states_[path]; }

  // True when a change that needs more room fails: the disk is full from the nth change on.
  bool noRoom(bool grows) {
    if (!grows || !(full_ || (fault_ == Fault::DiskFull && changes_ + 1 >= at_))) return false;
    ++changes_;
    full_ = fired_ = true;
    return true;
  }
  // False when the change must not happen: the process is dead, or dies now.
  bool change() {
    if (dead_) return false;
    ++changes_;
    if (fault_ == Fault::Kill && changes_ == at_) die();
    return true;
  }
  bool sync() {
    if (!change()) return false;
    ++syncs_;
    if ((fault_ == Fault::PowerCut || fault_ == Fault::TornCut) && syncs_ == at_) cutPower();
    return true;
  }
  [[noreturn]] void die() {
    dead_ = fired_ = true;
    throw Stopped{};
  }
  // What no sync made durable goes: unsynced writes (or all but their first halves), files
  // made since their folder was synced, and removals not yet synced are undone.
  [[noreturn]] void cutPower() {
    for (auto& [path, s] : states_) {
      jet::OsFile own;
      if (!s.open && !own.open(path, jet::OsFile::Open::ReadWrite)) continue;
      jet::OsFile& f = s.open ? *s.open : own;
      for (auto u = s.unsynced.rbegin(); u != s.unsynced.rend(); ++u) {
        if (!u->old.empty()) (void)f.writeAt(u->offset, u->old.data(), u->old.size());
        (void)f.truncate(u->oldSize);
      }
      if (fault_ == Fault::TornCut) {
        for (auto& u : s.unsynced) {
          if (!u.written.empty()) (void)f.writeAt(u.offset, u.written.data(), u.written.size() / 2);
        }
      }
      own.close();
      if (s.created) (void)jet::osRemoveFile(path);  // (Windows keeps a file still open: it holds no commit)
    }
    for (auto& [path, keep] : pendingRemovals_) (void)jet::osRenameFile(keep, path);
    pendingRemovals_.clear();
    die();
  }

  Fault fault_;
  long at_;
  long changes_ = 0, syncs_ = 0, removals_ = 0;
  bool dead_ = false, full_ = false, fired_ = false;
  std::map<std::string, FileState> states_;
  std::vector<std::pair<std::string, std::string>> pendingRemovals_;
  std::optional<jet::OsError> lockFailure_;
};

}  // namespace testing_support
