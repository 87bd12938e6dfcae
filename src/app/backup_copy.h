// Copies of the databases taken before the update writes: one file each, named with the time.
// A copy that cannot be made stops the program before anything is written.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "jet/os/file_system.h"

namespace app {

// "<name>-YYYYMMDD-HHMMSS<extension>" for `file` at local time `when` ("bandplan.mdb" at
// 2011-01-02 03:04:05 gives "bandplan-20110102-030405.mdb").
std::string backupName(const std::string& file, std::time_t when);

// Copies each of `files` into `dir` (made when missing) under backupName, adding "-2", "-3", ...
// before the extension when that name is taken; never overwrites. A leftover log is carried
// into its file first, so that the copy holds the file as stored. Each copy is synced, with its
// folder, and then handed to `taken` (when given), before the next file is copied: a failure
// later on leaves the copies made so far announced. Returns the copies' paths, in order. Fails
// with a run-time error: 3024 when a file is missing, 76 when `dir` cannot be made, 3035 when
// the disk is full, 75 when a copy cannot be written otherwise or comes out short; a copy that
// fails is removed.
std::vector<std::string> backupFiles(const std::string& dir, const std::vector<std::string>& files, std::time_t when,
                                     const std::function<void(const std::string& copy)>& taken = {},
                                     jet::FileSystem& fsys = jet::FileSystem::real());

}  // namespace app
