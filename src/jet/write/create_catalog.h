// New rows of the catalog (MSysObjects) and of the permissions table (MSysACEs).
// Ids, owners and permission masks follow what Access writes into a new database.
#pragma once

#include <cstdint>
#include <string>

namespace jet {

class Database;
class Table;

namespace catalog_ids {
inline constexpr int32_t kRoot = 0x0F000000;           // parent of the containers
inline constexpr int32_t kTables = 0x0F000001;
inline constexpr int32_t kDatabases = 0x0F000002;
inline constexpr int32_t kRelationships = 0x0F000003;
inline constexpr int32_t kMSysDb = 0x10000000;
inline constexpr int32_t kSystemFlag = int32_t(0x80000000u);
}  // namespace catalog_ids

// Security ids Jet writes as owners and in permission rows.
namespace sids {
inline const std::string kEngine("\xE4\xA1", 2);
inline const std::string kAdmin("\xE5\xA3", 2);   // the Admin user
inline const std::string kAdmins("\xE4\xA3", 2);  // the Admins group
inline const std::string kUsers("\xE4\xA6", 2);   // the Users group
}  // namespace sids

struct CatalogObject {
  int32_t id = 0;
  int32_t parentId = catalog_ids::kTables;
  std::string name;
  int16_t type = 1;  // 1 table, 2 database, 3 container
  int32_t flags = 0;
  std::string owner = sids::kAdmin;
};

// Adds one row to `objects`, MSysObjects, with its indexes, dated `when` (days since 1899-12-30).
void addCatalogObject(Database& db, Table& objects, const CatalogObject& object, double when);
// Adds one row to `aces`, MSysACEs.
void addPermission(Database& db, Table& aces, int32_t objectId, const std::string& sid, int32_t mask, bool inheritable);

// The current time as Jet stores dates: days since 1899-12-30, local time.
double nowAsJetDate();

}  // namespace jet
