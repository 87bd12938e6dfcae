// Copies of the databases taken before the update writes: one file each, named with the time.
// A copy that cannot be made stops the program before anything is written.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace console {

// "<name>-YYYYMMDD-HHMMSS<extension>" for `file` at local time `when` ("bandplan.mdb" at
// 2011-01-02 03:04:05 gives "bandplan-20110102-030405.mdb").
std::string backupName(const std::string& file, std::time_t when);

// Copies each of `files` into `dir` (made when missing) under backupName, adding "-2", "-3", ...
// before the extension when that name is taken; never overwrites. Returns the copies' paths, in
// order. Fails with a run-time error: 3024 when a file is missing, 76 when `dir` cannot be made,
// 75 when a copy cannot be written or comes out short.
std::vector<std::string> backupFiles(const std::string& dir, const std::vector<std::string>& files, std::time_t when);

}  // namespace console
