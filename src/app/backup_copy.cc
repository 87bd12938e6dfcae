#include "app/backup_copy.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "app/utf8_path.h"

#include "jet/os/file_name_stamp.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/os/file_system.h"
#include "jet/os/os_file.h"

namespace app {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void cannotCopy(const std::string& file, const std::string& target, const jet::OsError& e) {
  jet::throwWriteFailure(e, ": cannot copy '" + file + "' to '" + target + "'", jet::err::kPathFileAccess, "Path/File access error");
}

// Copies `file` to a new file `target` and syncs the copy. False when `target` exists.
bool copyNew(const std::string& file, const std::string& target, jet::FileSystem& fsys) {
  auto opened = fsys.open(file, jet::OsFile::Open::Read);
  if (!opened) cannotCopy(file, target, opened.error());
  std::unique_ptr<jet::File> in = std::move(*opened);
  opened = fsys.open(target, jet::OsFile::Open::CreateNew);
  if (!opened) {
    if (opened.error().kind == jet::OsFailure::Exists) return false;
    cannotCopy(file, target, opened.error());
  }
  std::unique_ptr<jet::File> out = std::move(*opened);
  // A copy that fails is removed (its error is told by then).
  struct Partial {
    jet::FileSystem& fsys;
    const std::string& path;
    std::unique_ptr<jet::File>& out;
    bool done = false;
    ~Partial() {
      if (done) return;
      out.reset();
      fsys.remove(path);
    }
  } partial{fsys, target, out};
  std::vector<char> buf(1u << 20);
  uint64_t at = 0;
  for (;;) {
    jet::OsResult<size_t> got = in->readAt(at, buf.data(), buf.size());
    if (!got) cannotCopy(file, target, got.error());
    if (*got == 0) break;
    for (size_t put = 0; put < *got;) {
      jet::OsResult<size_t> w = out->writeAt(at + put, buf.data() + put, *got - put);
      if (!w) cannotCopy(file, target, w.error());
      if (*w == 0) cannotCopy(file, target, {jet::OsFailure::NoSpace, "No space left on device"});
      put += *w;
    }
    at += *got;
  }
  if (int64_t(at) != in->size()) cannotCopy(file, target, {jet::OsFailure::Other, "the copy came out short"});
  // The update changes the file in place once the backup is taken: the copy must be on the
  // disk by then, not in the system's cache, or a power cut could leave the update without it.
  if (jet::OsStatus s = out->sync(); !s) cannotCopy(file, target, s.error());
  partial.done = true;
  return true;
}

}  // namespace

std::string backupName(const std::string& file, std::time_t when) {
  fs::path name = pathOf(file).filename();
  return textOf(name.stem()) + "-" + jet::fileNameStamp(when) + textOf(name.extension());
}

std::vector<std::string> backupFiles(const std::string& dir, const std::vector<std::string>& files, std::time_t when,
                                     const std::function<void(const std::string& copy)>& taken, jet::FileSystem& fsys) {
  std::error_code ec;
  // The folders made here, innermost first: each must be synced into the one above it.
  const fs::path folder = pathOf(dir);
  std::vector<fs::path> made;
  for (fs::path p = fs::absolute(folder, ec); !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
    made.push_back(p);
    if (p == p.parent_path()) break;
  }
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder)) {
    throw jet::Error(jet::err::kPathNotFound, "Path not found: cannot make the backup folder '" + dir + "'" +
                                        (ec ? ": " + ec.message() : std::string()) + ".");
  }
  std::vector<std::string> copies;
  for (const std::string& file : files) {
    const fs::path source = pathOf(file);
    if (file.empty() || !fs::is_regular_file(source)) {
      throw jet::Error(jet::err::kFileNotFound, "Could not find file '" + file + "'.");
    }
    jet::settleLeftoverLog(file, fsys);
    fs::path name = pathOf(backupName(file, when));
    fs::path target = folder / name;
    for (int n = 2; !copyNew(file, textOf(target), fsys); ++n) {
      target = folder / pathOf(textOf(name.stem()) + "-" + std::to_string(n) + textOf(name.extension()));
    }
    copies.push_back(textOf(target));
    // The copy's name, and the folders made for it, are on the disk too before it is told.
    fsys.syncFolderOf(copies.back());
    if (copies.size() == 1) {
      for (const fs::path& p : made) fsys.syncFolderOf(textOf(p));
    }
    if (taken) taken(copies.back());
  }
  return copies;
}

}  // namespace app
