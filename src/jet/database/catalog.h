// The catalog, MSysObjects: the table of every object in the database.
// Finds tables by name, as Jet does without regard to letter case, and lists the user tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

struct CatalogEntry {
  std::string name;
  int32_t id = 0;
  int32_t parentId = 0;
  int16_t type = 0;     // 1: local table
  uint32_t flags = 0;
  std::string properties;  // a table's property block (LvProp), as stored; empty when it has none
  uint32_t tdefPage() const { return uint32_t(id) & 0x00FFFFFFu; }
  bool isTable() const { return type == 1; }
  bool isSystem() const { return (flags & 0x80000002u) != 0 || name.rfind("MSys", 0) == 0 || name.rfind("~", 0) == 0; }
};

class PageFile;
struct Format;

// Reads every object of the catalog whose definition lies at page 2.
std::vector<CatalogEntry> readCatalog(PageFile& file, const Format& f);

}  // namespace jet
