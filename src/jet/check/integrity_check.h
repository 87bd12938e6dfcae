// The consistency check behind `jet check`: rows, counts, page maps and index trees of every table.
// Damage and notes come back as plain sentences; a file too damaged to walk raises jet::Error.
#pragma once

#include <string>
#include <vector>

namespace jet {

class Database;

// Checks every user and system table; an empty result means the file is sound. Damage is what
// makes a reader return wrong rows or a write corrupt the file. What Access itself leaves in
// files it keeps using (counts it corrects only when it compacts, pages it left out of a map,
// node keys looser than needed, keys that are not checked and why) goes to `notes` instead.
std::vector<std::string> checkDatabase(Database& db, std::vector<std::string>* notes = nullptr);

}  // namespace jet
