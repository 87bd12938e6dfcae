// What must hold before a database file is written: this user may read and write it, its log can
// be made beside it, and the file is as long as its own page maps say. Checked when it is opened.
#pragma once

#include <string>

#include "jet/os/file_system.h"

namespace jet {

class Database;

// Fails with the error that says why the database file at `path` cannot be written: 3051 when
// this user may not read it, 3027 when it is read-only (for everyone, for this user, or on a
// read-only file system), 3050 when its log cannot be created in its folder, 3035 when that
// folder's disk is full. A missing file or a folder passes: opening it tells what it is.
void checkWriteAccess(const std::string& path, FileSystem& fs = FileSystem::real());

// Fails with 3049 when a table's definition, page maps or index roots name a page past the end
// of the file: a file cut short, to which new pages would be added where the maps expect others.
// Reads the definitions and page maps only, never the whole file.
void checkLengthAgainstPageMaps(Database& db);

}  // namespace jet
