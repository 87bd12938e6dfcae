#include "jet/database/write_preconditions.h"

#include <string_view>

#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/os/file_system.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"
#include "jet/pager/wal.h"

namespace jet {

namespace {

std::string folderOf(const std::string& path) {
  auto slash = path.find_last_of(osPathSeparators());
  return slash == std::string::npos ? "." : (slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
}

}  // namespace

void checkWriteAccess(const std::string& path, FileSystem& fs) {
  const OsPathInfo info = fs.pathInfo(path);
  if (!info.exists || info.folder) return;
  const std::string log = wal::logPathOf(path, fs);
  const std::string folder = folderOf(log);
  const OsWriteAccess access = fs.writeAccess(path, folder);
  if (!access.readable) {
    throw Error(err::kCannotOpen, "Cannot open the database file '" + path + "': you have no permission to read it.");
  }
  const std::string readOnly = "Cannot update. The database file '" + path + "' is read-only";
  if (info.readOnly) throw Error(err::kReadOnly, readOnly + ": no one may write it.");
  if (access.write == OsWriteAccess::Write::ReadOnlyVolume) {
    throw Error(err::kReadOnly, readOnly + ": it lies on a read-only file system.");
  }
  if (access.write == OsWriteAccess::Write::NotForThisUser) {
    throw Error(err::kReadOnly, readOnly + " for you: you have no permission to write it.");
  }
  if (!access.createInFolder) {
    throw Error(err::kLogNotCreated, "Cannot update the database '" + path + "': its log '" + log +
                                         "' cannot be created in the folder '" + folder + "' (" +
                                         access.createInFolder.error().text +
                                         "). Writing a database needs permission to create files beside it.");
  }
  if (access.folderFull) {
    throw Error(err::kDiskFull, "Cannot update the database '" + path + "': there is no room on the disk for its log '" +
                                    log + "'.");
  }
}

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
