// Access's lock file (.ldb) beside a database: whether another program holds it, checked as Jet
// checks it, beside the real file that symbolic links lead to.
#pragma once

#include <string>

#include "jet/os/file_system.h"

namespace jet {

// The lock file Access keeps beside the database at `path`: the same name ending in ".ldb".
std::string lockFileOf(const std::string& databasePath);

// Fails with 3045 when another program holds the lock file beside the database, or beside the
// real file that `databasePath` leads to through symbolic links: a POSIX record lock or a BSD
// lock on it, or on Windows an open that shares nothing or a byte-range lock. A lock file that
// cannot be checked (it cannot be opened, say) counts as held; a missing one is not held.
void refuseIfLockFileHeld(const std::string& databasePath, FileSystem& fs = FileSystem::real());

}  // namespace jet
