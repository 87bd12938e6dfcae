#include "jet/database/database.h"

#include "jet/format/column_properties.h"

#include "jet/base/error.h"
#include "jet/os/lock_file.h"
#include "jet/os/os_file.h"
#include "jet/format/text_codec.h"
#include "jet/database/write_preconditions.h"
#include "jet/format/usage_map.h"

namespace jet {

Database::Database(const std::string& path, Mode mode, FileSystem& fs) {
  if (mode == Mode::ReadWrite) checkWriteAccess(path, fs);
  file_ = std::make_unique<PageFile>(path, mode == Mode::ReadWrite ? PageFile::Mode::ReadWrite : PageFile::Mode::ReadOnly, fs);
  header_ = parseHeader(file_->readPrefix(2048), path);
  file_->setPageSize(header_.format->pageSize);
  if (file_->fileSize() % header_.format->pageSize != 0) corrupt("the file's size is not a whole number of pages");
  // The header, the map of free pages and the catalog's definition come first in every database.
  if (file_->pageCount() < 3) corrupt("the file ends after " + std::to_string(file_->pageCount()) + " page(s), before its catalog");
  try {
    catalog_ = readCatalog(*file_, format());
  } catch (const Error& e) {
    if (e.number() == err::kNotDatabase) throw;
    throw Error(err::kNotDatabase, std::string("The database file is damaged: ") + e.what());
  }
  if (mode == Mode::ReadWrite) checkLengthAgainstPageMaps(*this);
  knownPages_ = file_->pageCount();
}

Database::~Database() = default;

std::vector<std::string> Database::tableNames(bool includeSystem) const {
  std::vector<std::string> names;
  for (auto& e : catalog_) {
    if (e.isTable() && (includeSystem || !e.isSystem())) names.push_back(e.name);
  }
  return names;
}

bool Database::hasTable(const std::string& name) const {
  for (auto& e : catalog_) if (e.isTable() && sameName(e.name, name)) return true;
  return false;
}

bool Database::isSystemTable(const std::string& name) const {
  for (auto& e : catalog_) if (e.isTable() && sameName(e.name, name)) return e.isSystem();
  return false;
}

Table& Database::table(const std::string& name) {
  std::string key = foldCase(name);
  if (auto it = tables_.find(key); it != tables_.end()) return *it->second;
  for (auto& e : catalog_) {
    if (e.isTable() && sameName(e.name, name)) {
      TableDef def = readTableDef(*file_, format(), e.tdefPage());
      def.name = e.name;
      applyColumnRules(def);
      auto t = std::make_unique<Table>(*this, std::move(def));
      Table& ref = *t;
      tables_[key] = std::move(t);
      return ref;
    }
  }
  throw Error(err::kTableNotFound, "The database engine cannot find the input table or query '" + name + "'.");
}

void Database::applyColumnRules(TableDef& def) const {
  for (auto& e : catalog_) {
    if (!e.isTable() || e.tdefPage() != def.page) continue;
    const std::map<std::string, ColumnRules> rules =
        readColumnRules(Bytes(std::string_view(e.properties)), format(), header_.codePage);
    for (Column& c : def.columns) {
      auto r = rules.find(foldCase(c.name));
      const ColumnRules none;
      const ColumnRules& got = r != rules.end() ? r->second : none;
      c.required = got.required;
      c.noZeroLength = got.noZeroLength;
      c.defaultValue = got.defaultValue;
      c.validationRule = got.validationRule;
      c.validationText = got.validationText;
    }
    auto own = rules.find(std::string());
    def.validationRule = own != rules.end() ? own->second.validationRule : std::nullopt;
    def.validationText = own != rules.end() ? own->second.validationText : std::nullopt;
    return;
  }
}

Table& Database::tableAt(uint32_t tdefPage) {
  for (auto& e : catalog_) {
    if (e.isTable() && e.tdefPage() == tdefPage) return table(e.name);
  }
  corrupt("an index refers to a table at page " + std::to_string(tdefPage) + ", where there is none");
}

void Database::commit() {
  const uint32_t pages = file_->pageCount();
  for (uint32_t p = knownPages_; p < pages; ++p) setUsageMapPage(*file_, format(), kFreePageMap, p, false);
  file_->commit();
  knownPages_ = pages;
}

void Database::operationDone() {
  if (batch_ == 0) commit();
}

void Database::operationFailed() {
  if (batch_ == 0) reload();
}

void Database::endBatch() {
  if (batch_ > 0 && --batch_ == 0) {
    try {
      commit();
    } catch (...) {
      reload();
      throw;
    }
  }
}

void Database::rollback() {
  file_->rollbackTransaction();
  reload();
}

void Database::reload() {
  file_->rollback();
  knownPages_ = file_->pageCount();
  catalog_ = readCatalog(*file_, format());
  for (auto& [key, t] : tables_) {
    TableDef def = readTableDef(*file_, format(), t->def().page);
    def.name = t->def().name;
    applyColumnRules(def);
    t->mutableDef() = std::move(def);
    t->insertHint = 0;
  }
}

void settleLeftoverLog(const std::string& path, FileSystem& fs) {
  if (fs.pathInfo(wal::logPathOf(path, fs)).exists) PageFile(path, PageFile::Mode::ReadWrite, fs).close();
}

void checkOpensForWriting(const std::string& path) {
  checkWriteAccess(path);
  refuseIfLockFileHeld(path);
  Database check(path, Database::Mode::ReadOnly);
  checkLengthAgainstPageMaps(check);
}

}  // namespace jet
