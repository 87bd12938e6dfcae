#include "jet/write/create_database.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <random>

#include "jet/base/bytes.h"
#include "jet/write/create_catalog.h"
#include "jet/write/create_layout.h"
#include "jet/format/data_page.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/os/file_system.h"
#include "jet/format/header.h"
#include "jet/pager/page_file.h"
#include "jet/database/table.h"
#include "jet/format/table_def.h"
#include "jet/pager/wal.h"

namespace jet {

namespace {


// The header page of a new file, before masking.
std::string headerPage(const Format& f, double created) {
  std::string p(f.pageSize, '\0');
  auto* b = reinterpret_cast<uint8_t*>(p.data());
  put32(b, 0x00000100);
  std::memcpy(b + 4, "Standard Jet DB", 15);
  b[0x14] = f.jet4 ? 1 : 0;
  // The start of the masked area holds the same fixed bytes in every file Access makes.
  static const uint8_t fixed[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
  std::memcpy(b + 0x18, fixed, sizeof fixed);
  put16(b + 0x3C, 1252);  // code page
  std::mt19937 rng(uint32_t(created * 86400.0));
  if (!f.jet4) {
    // Access 97: sort order General beside the code page, an empty password, and near the
    // end of the page a table of Access's own.
    put16(b + 0x38, 1);
    put16(b + 0x3A, 1033);
    put16(b + 0x56, uint16_t(rng() & 0x7FFF));  // a per-file number Access varies
    put16(b + 0x600, 0x0101);
    put16(b + 0x602, 0x0114);
    for (size_t off = 0x604; off < f.pageSize; off += 2) put16(b + off, 0x0100);
    return unmaskHeader(p, false);
  }
  // No database key: not encrypted. The password area holds the creation date's whole days,
  // which an empty password leaves unchanged.
  int32_t days = int32_t(std::floor(created));
  for (size_t i = 0; i < 40; ++i) b[0x42 + i] = uint8_t(uint32_t(days) >> (8 * (i % 4)));
  put16(b + 0x6A, uint16_t(rng() & 0x7FFF));  // a per-file number Access varies
  put16(b + 0x6E, 1033);  // sort order General
  b[0x70] = 0;            // its version
  std::memcpy(b + 0x72, &created, sizeof created);
  put32(b + 0x98, 0x0654);
  std::memcpy(b + 0x9C, "4.0", 4);
  // Near the end of the page Access keeps a table of its own.
  put16(b + 0xE00, 0x011D);
  put16(b + 0xE02, 0x0131);
  for (size_t off = 0xE04; off < f.pageSize; off += 2) put16(b + off, 0x0100);
  return unmaskHeader(p, true);  // the mask is its own inverse
}

// Page 1: the map of free pages of the whole file (none yet), and a second map Access keeps.
std::string globalMapPage(const Format& f) {
  std::string p(f.pageSize, '\0');
  auto* b = reinterpret_cast<uint8_t*>(p.data());
  initDataPage(b, f, 1);
  addRowToPage(b, f, std::string(f.jet4 ? 101 : 133, '\0'));
  addRowToPage(b, f, std::string(f.jet4 ? 69 : 133, '\0'));
  return p;
}

ColumnLayout col(const char* name, ColumnType type, uint16_t size, uint8_t flags) {
  ColumnLayout c;
  c.name = name;
  c.type = type;
  c.size = size;
  c.flags = flags;
  return c;
}

// The system tables as Access defines them, column for column; text and binary columns hold 255
// characters (510 bytes in Access 2000).
TableLayout objectsTable(const Format& f) {
  const uint16_t n = uint16_t(255 * f.textBytesPerChar);
  using T = ColumnType;
  TableLayout t;
  t.system = true;
  t.columns = {col("Id", T::Long, 4, 0x13),           col("ParentId", T::Long, 4, 0x13),
               col("Name", T::Text, n, 0x12),       col("Type", T::Integer, 2, 0x13),
               col("DateCreate", T::DateTime, 8, 0x13), col("DateUpdate", T::DateTime, 8, 0x13),
               col("Owner", T::Binary, n, 0x32),    col("Flags", T::Long, 4, 0x13),
               col("Database", T::Memo, 0, 0x12),     col("Connect", T::Memo, 0, 0x12),
               col("ForeignName", T::Text, n, 0x12), col("RmtInfoShort", T::Binary, n, 0x12),
               col("RmtInfoLong", T::Ole, 0, 0x12),   col("Lv", T::Ole, 0, 0x12),
               col("LvProp", T::Ole, 0, 0x12),        col("LvModule", T::Ole, 0, 0x12),
               col("LvExtra", T::Ole, 0, 0x12)};
  t.indexes = {{"ParentIdName", {{1, true}, {2, true}}, 0x81, 0x00}, {"Id", {{0, true}}, 0x81, 0x01}};
  return t;
}

TableLayout acesTable(const Format& f) {
  const uint16_t n = uint16_t(255 * f.textBytesPerChar);
  using T = ColumnType;
  TableLayout t;
  t.system = true;
  t.columns = {col("ObjectId", T::Long, 4, 0x13), col("SID", T::Binary, n, 0x32), col("ACM", T::Long, 4, 0x13),
               col("FInheritable", T::Boolean, 1, 0x13)};
  t.indexes = {{"ObjectId", {{0, true}}, 0x88, 0x00}};
  return t;
}

TableLayout queriesTable(const Format& f) {
  const uint16_t n = uint16_t(255 * f.textBytesPerChar);
  using T = ColumnType;
  TableLayout t;
  t.system = true;
  t.columns = {col("ObjectId", T::Long, 4, 0x13), col("Attribute", T::Byte, 1, 0x13), col("Order", T::Binary, n, 0x12),
               col("Name1", T::Text, n, 0x12), col("Name2", T::Text, n, 0x12), col("Expression", T::Memo, 0, 0x12),
               col("Flag", T::Integer, 2, 0x13)};
  if (f.jet4) t.columns.push_back(col("LvExtra", T::Long, 4, 0x13));  // Access 97 has no such column
  t.indexes = {{"ObjectIdAttribute", {{0, true}, {1, true}, {2, true}}, 0x81, 0x01}};
  return t;
}

TableLayout relationshipsTable(const Format& f) {
  const uint16_t n = uint16_t(255 * f.textBytesPerChar);
  using T = ColumnType;
  TableLayout t;
  t.system = true;
  t.columns = {col("szRelationship", T::Text, n, 0x12), col("grbit", T::Long, 4, 0x13),
               col("ccolumn", T::Long, 4, 0x13),           col("icolumn", T::Long, 4, 0x13),
               col("szObject", T::Text, n, 0x12),        col("szColumn", T::Text, n, 0x12),
               col("szReferencedObject", T::Text, n, 0x12), col("szReferencedColumn", T::Text, n, 0x12)};
  t.indexes = {{"szRelationship", {{0, true}}, 0x82, 0x00},
               {"szObject", {{4, true}}, 0x82, 0x00},
               {"szReferencedObject", {{6, true}}, 0x82, 0x00}};
  return t;
}

[[noreturn]] void refuseExisting(const std::string& path) {
  throw Error(err::kDatabaseExists, "Database '" + path + "' already exists.");
}

void writeNewFile(FileSystem& fs, const std::string& path, const std::string& bytes) {
  auto opened = fs.open(path, OsFile::Open::CreateNew);
  if (!opened) {
    const OsError& e = opened.error();
    if (e.kind == OsFailure::Exists) refuseExisting(path);
    if (e.kind == OsFailure::TooLong) throwMissing(path, OsPathInfo{.missing = e});
    throw Error(err::kCannotOpen, "Cannot create the file '" + path + "': " + e.text + ".");
  }
  writeAll(**opened, path, 0, bytes.data(), bytes.size());
  syncAll(**opened, path);
}

}  // namespace

void createDatabase(const std::string& path, double created, const Format& f, FileSystem& fs) {
  if (created == 0) created = nowAsJetDate();
  if (OsPathInfo info = fs.pathInfo(path); info.exists) {
    refuseExisting(path);
  } else if (info.missing.kind == OsFailure::TooLong) {
    throwMissing(path, info);
  }
  // The file is made under a name of its own and takes the database's name only when it is
  // whole, so that a creation that stops (killed, a power cut) leaves no half-made database. A
  // file a stopped creation left under that name is made again.
  const std::string making = path + "-creating";
  const std::string makingLog = wal::logPathOf(making, fs);
  auto removeMaking = [&] {
    (void)fs.remove(makingLog);
    (void)fs.remove(making);
  };
  if (fs.pathInfo(making).exists) removeMaking();
  // Whatever fails from here on leaves nothing behind.
  struct Remove {
    const std::function<void()> remove;
    bool keep = false;
    ~Remove() { if (!keep) remove(); }
  } guard{removeMaking};
  writeNewFile(fs, making, headerPage(f, created) + globalMapPage(f));
  {
    PageFile file(making, PageFile::Mode::ReadWrite, fs);
    file.setPageSize(f.pageSize);
    // The four definitions at pages 2 to 5, their page maps on page 6, then the index roots.
    uint32_t tdefs[4];
    for (auto& p : tdefs) p = file.append();
    MapRows maps(file, f);
    TableLayout layouts[4] = {objectsTable(f), acesTable(f), queriesTable(f), relationshipsTable(f)};
    for (int i = 0; i < 4; ++i) writeTableLayout(file, f, tdefs[i], layouts[i], maps);
    file.commit();
    file.close();
  }
  {
    using namespace catalog_ids;
    Database db(making, Database::Mode::ReadWrite, fs);
    // The catalog lists nothing yet, not even itself: reach the two tables by their pages.
    Table objectsT(db, readTableDef(db.file(), db.format(), 2));
    Table acesT(db, readTableDef(db.file(), db.format(), 3));
    objectsT.mutableDef().name = "MSysObjects";
    acesT.mutableDef().name = "MSysACEs";
    db.beginBatch();
    CatalogObject objects[] = {
        {kTables, kRoot, "Tables", 3, kSystemFlag, sids::kEngine},
        {kDatabases, kRoot, "Databases", 3, kSystemFlag, sids::kEngine},
        {kRelationships, kRoot, "Relationships", 3, kSystemFlag, sids::kEngine},
        {kMSysDb, kDatabases, "MSysDb", 2, kSystemFlag, sids::kAdmin},
        {2, kTables, "MSysObjects", 1, kSystemFlag, sids::kEngine},
        {3, kTables, "MSysACEs", 1, kSystemFlag, sids::kEngine},
        {4, kTables, "MSysQueries", 1, kSystemFlag, sids::kEngine},
        {5, kTables, "MSysRelationships", 1, kSystemFlag, sids::kEngine},
    };
    for (auto& o : objects) addCatalogObject(db, objectsT, o, created);
    struct Ace { int32_t id; const std::string& sid; int32_t mask; bool inherit; };
    const Ace aces[] = {
        {2, sids::kAdmin, 393216, false},           {3, sids::kAdmin, 393216, false},
        {4, sids::kAdmin, 393216, false},           {5, sids::kAdmin, 917504, false},
        {kTables, sids::kUsers, 983294, true},      {kTables, sids::kAdmin, 1048319, true},
        {kRelationships, sids::kUsers, 983294, true}, {kRelationships, sids::kAdmin, 393217, false},
        {kDatabases, sids::kAdmin, 393216, false},  {kMSysDb, sids::kAdmin, 393230, false},
        {kMSysDb, sids::kAdmins, 14, false},        {4, sids::kAdmins, 20, false},
        {5, sids::kAdmins, 20, false},              {2, sids::kAdmins, 20, false},
        {kTables, sids::kAdmins, 1048319, true},    {kRelationships, sids::kAdmins, 1048575, true},
    };
    for (auto& a : aces) addPermission(db, acesT, a.id, a.sid, a.mask, a.inherit);
    db.endBatch();
    db.close();
  }
  fs.syncFolderOf(making);  // whole under its own name before it takes the database's
  if (fs.pathInfo(path).exists) refuseExisting(path);
  if (OsStatus s = fs.rename(making, path); !s) {
    throw Error(err::kCannotOpen, "Cannot give the new database the name '" + path + "': " + s.error().text + ".");
  }
  guard.keep = true;
  fs.syncFolderOf(path);  // the new name itself survives a power cut
}

}  // namespace jet
