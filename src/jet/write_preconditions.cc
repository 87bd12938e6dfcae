#include "jet/write_preconditions.h"

#include <string_view>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/os_file.h"
#include "jet/table_def.h"
#include "jet/usage_map.h"
#include "jet/wal.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace jet {

namespace {

[[noreturn]] void unreadable(const std::string& path) {
  throw Error(err::kCannotOpen, "Cannot open the database file '" + path + "': you have no permission to read it.");
}

}  // namespace

#ifdef _WIN32

// The read-only attribute is checked where the file is opened; folder rights are ACLs, and a
// log that cannot be created fails when the first operation is stored.
void checkWriteAccess(const std::string& path) {
  std::wstring wide = osWide(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_ACCESS_DENIED) unreadable(path);
    return;
  }
  CloseHandle(h);
}

#else

namespace {

std::string folderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

bool denied(int e) { return e == EACCES || e == EPERM; }

}  // namespace

void checkWriteAccess(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && denied(errno)) unreadable(path);
  if (fd >= 0) ::close(fd);

  const std::string readOnly = "Cannot update. The database file '" + path + "' is read-only";
  if ((st.st_mode & 0222) == 0) throw Error(err::kReadOnly, readOnly + ": no one may write it.");
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    if (errno == EROFS) throw Error(err::kReadOnly, readOnly + ": it lies on a read-only file system.");
    if (denied(errno)) throw Error(err::kReadOnly, readOnly + " for you: you have no permission to write it.");
  }

  const std::string log = wal::logPathOf(path);
  const std::string folder = folderOf(log);
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0 && (denied(errno) || errno == EROFS)) {
    throw Error(err::kLogNotCreated, "Cannot update the database '" + path + "': its log '" + log +
                                         "' cannot be created in the folder '" + folder + "' (" + std::strerror(errno) +
                                         "). Writing a database needs permission to create files beside it.");
  }
  struct statvfs fs {};
  if (::statvfs(folder.c_str(), &fs) == 0 && (::geteuid() == 0 ? fs.f_bfree : fs.f_bavail) == 0) {
    throw Error(err::kDiskFull, "Cannot update the database '" + path + "': there is no room on the disk for its log '" +
                                    log + "'.");
  }
}

#endif

void checkLengthAgainstPageMaps(Database& db) {
  PageFile& file = db.file();
  const Format& f = db.format();
  const uint32_t pages = file.pageCount();
  auto damaged = [&](const std::string& table, std::string_view what) {
    constexpr std::string_view kDamaged = "The database file is damaged: ";
    if (what.substr(0, kDamaged.size()) == kDamaged) what.remove_prefix(kDamaged.size());
    throw Error(err::kNotDatabase, "The database file '" + db.path() + "' is damaged and is not written: table '" + table +
                                       "': " + std::string(what));
  };
  for (const CatalogEntry& e : db.catalog()) {
    if (!e.isTable()) continue;
    if (e.tdefPage() >= pages) damaged(e.name, "its definition lies past the end of the file.");
    TableDef def;
    try {
      def = readTableDef(file, f, e.tdefPage());
      // A map that marks a page past the end fails as it is read.
      readUsageMap(file, f, def.usedPagesMap);
      readUsageMap(file, f, def.freePagesMap);
      for (const RealIndex& ix : def.realIndexes) {
        if (ix.usageMap != 0) readUsageMap(file, f, ix.usageMap);
      }
    } catch (const Error& x) {
      if (x.number() != err::kNotDatabase) throw;
      damaged(e.name, x.what());
    }
    for (const RealIndex& ix : def.realIndexes) {
      if (ix.rootPage >= pages) damaged(e.name, "the root of an index lies past the end of the file.");
    }
  }
}

}  // namespace jet
