// An open Jet database: header, catalog and tables, over the pager.
// The engine's entry point; the writing operations live in table_writer.h.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jet/database/catalog.h"
#include "jet/format/header.h"
#include "jet/pager/page_file.h"
#include "jet/database/table.h"

namespace jet {

class Database {
 public:
  enum class Mode { ReadOnly, ReadWrite };
  Database(const std::string& path, Mode mode, FileSystem& fs = FileSystem::real());
  // Writes nothing: see close().
  ~Database();
  // Ends the open; a writing open carries its log into the file first (PageFile::close).
  void close() { file_->close(); }

  const std::string& path() const { return file_->path(); }
  const Header& header() const { return header_; }
  const Format& format() const { return *header_.format; }
  PageFile& file() { return *file_; }
  bool writable() const { return file_->writable(); }

  const std::vector<CatalogEntry>& catalog() const { return catalog_; }
  std::vector<std::string> tableNames(bool includeSystem = false) const;
  bool hasTable(const std::string& name) const;
  // Access's own tables (MSysObjects and the others the catalog flags as the system's).
  bool isSystemTable(const std::string& name) const;
  // Fails with "table not found" (3078).
  Table& table(const std::string& name);
  // Gives the columns of a definition read from its pages the rules its table's properties set.
  void applyColumnRules(TableDef& def) const;
  // The table whose definition starts at page `tdefPage`; a file that has none there is damaged.
  Table& tableAt(uint32_t tdefPage);

  // Re-reads table definitions after a failed write left cached ones stale, or after changes.
  void reload();

  // Ends one write operation: stores its pages atomically, unless a batch is open.
  void operationDone();
  // A failed operation: forgets its pages and re-reads what it changed in memory.
  void operationFailed();
  // Batches group many operations into one commit (for building large files).
  void beginBatch() { ++batch_; }
  void endBatch();

  // A transaction: all operations until commitTransaction are stored as one, or not at all.
  // When commitTransaction returns, the file holds them, synced. rollback forgets them.
  void beginTransaction() { file_->beginTransaction(); }
  void commitTransaction() { file_->commitTransaction(); }
  void rollback();

 private:
  std::unique_ptr<PageFile> file_;
  Header header_;
  std::vector<CatalogEntry> catalog_;
  std::map<std::string, std::unique_ptr<Table>> tables_;
  int batch_ = 0;
  // Pages below this the database's free-page map already knows; pages appended since are
  // taken out of it as they are committed, so that Access does not hand them out again.
  uint32_t knownPages_ = 0;

  void commit();
};

// Carries a log that a stopped writer left beside the file at `path` into it, so that the file
// alone holds what was stored; nothing to do when there is none. Fails as opening it for writing.
void settleLeftoverLog(const std::string& path, FileSystem& fs = FileSystem::real());

// Fails as opening `path` for writing would (a missing, damaged, unreadable or read-only file,
// one that another program holds, one whose folder has no room for its log, one cut short),
// without writing to it; a leftover log is carried in first, as that open carries it in.
void checkOpensForWriting(const std::string& path);

// One atomic operation made of many writes (a statement, a new table): commit() stores them
// all at once; leaving the scope without it forgets them all.
class Batch {
 public:
  explicit Batch(Database& db) : db_(db) { db_.beginBatch(); }
  ~Batch() {
    if (!done_) {
      db_.reload();
      db_.endBatch();
    }
  }
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;
  void commit() {
    done_ = true;
    db_.endBatch();
  }

 private:
  Database& db_;
  bool done_ = false;
};

}  // namespace jet
