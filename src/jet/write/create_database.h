// Creating a new, empty Access 2000 (Jet 4) or Access 97 (Jet 3) database file, as Jet's own
// CreateDatabase leaves it.
// Header, page maps, the system tables MSysObjects, MSysACEs, MSysQueries, MSysRelationships, and the catalog.
#pragma once

#include <string>

#include "jet/os/file_system.h"
#include "jet/format/format.h"

namespace jet {

// Writes the file at `path`, which must not exist yet (error 3204 otherwise), through `fs`.
// `created` is the creation date stored in the header and the catalog (days since 1899-12-30);
// 0 means now. `format` is kJet4 for Access 2000 or kJet3 for Access 97. The file takes its name
// only once it is whole: until then it is `path` + "-creating", which a failed creation removes
// and the next one replaces. Open it afterwards with Database to add tables (create_table.h).
void createDatabase(const std::string& path, double created = 0, const Format& format = kJet4,
                    FileSystem& fs = FileSystem::real());

}  // namespace jet
