// The consistency check behind `jet check`: rows, counts, page maps and index trees of every table.
// Problems come back as plain sentences; a file too damaged to walk raises jet::Error instead.
#pragma once

#include <string>
#include <vector>

namespace jet {

class Database;

// Checks every user and system table; an empty result means the file is sound.
std::vector<std::string> checkDatabase(Database& db);

}  // namespace jet
