#include "jet/os/lock_file.h"

#include <vector>

#include "jet/base/error.h"
#include "jet/os/file_system.h"

namespace jet {

std::string lockFileOf(const std::string& path) {
  auto dot = path.find_last_of('.');
  auto slash = path.find_last_of(osPathSeparators());
  std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path;
  return base + ".ldb";
}

void refuseIfLockFileHeld(const std::string& databasePath, FileSystem& fs) {
  std::vector<std::string> lockFiles{lockFileOf(fs.realPath(databasePath))};
  if (std::string named = lockFileOf(databasePath); named != lockFiles[0]) lockFiles.push_back(named);
  for (const std::string& ldb : lockFiles) {
    OsStatus probe = fs.probeLock(ldb);
    if (probe || probe.error().kind == OsFailure::NotFound) continue;
    if (probe.error().kind == OsFailure::Busy) {
      throw Error(err::kAlreadyInUse, "The database '" + databasePath + "' is in use by another program (its lock file '" +
                                          ldb + "' is held). Close that program and try again.");
    }
    throw Error(err::kAlreadyInUse, "The database '" + databasePath + "' may be in use by another program: its lock file '" +
                                        ldb + "' cannot be checked (" + probe.error().text +
                                        "). Close any program that uses the database and try again.");
  }
}

}  // namespace jet
