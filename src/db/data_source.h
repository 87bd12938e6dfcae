// The data source of the window: one Access database and one current record set.
// All database work of the updates goes through it, as a data-source control does over Jet.
#pragma once

#include <memory>
#include <string>

#include "db/connection.h"
#include "db/recordset.h"

namespace db {

class DataSource {
 public:
  DataSource();
  ~DataSource();

  // DatabaseName = path: the file that the next Refresh opens.
  void setDatabaseName(std::string path) { databaseName_ = std::move(path); }
  const std::string& DatabaseName() const { return databaseName_; }

  // RecordSource = table name or SELECT text; takes effect at the next Refresh.
  void setRecordSource(std::string source) { recordSource_ = std::move(source); }

  // Opens the database (when its name changed or it is not open) and the record source anew.
  void Refresh();

  // The current record set; fails with "no current record" before the first Refresh with a source.
  db::Recordset& Recordset();
  // The open database; fails when none is open.
  db::Connection& Database();

  // Transactions on the open database (DAO's workspace calls): the work between BeginTrans and
  // CommitTrans is stored as one, and is in the file, synced, when CommitTrans returns.
  void BeginTrans();
  void CommitTrans();
  // Forgets the work since BeginTrans (damage found midway leaves none of it).
  void Rollback();

  // Closes the database (the window unloads), carrying what is stored into the file; its
  // failures are reported. The destructor writes nothing.
  void close();

  // The files the database is reached through (tests put in one that fails or stops).
  void setFileSystem(jet::FileSystem& fs) { fs_ = &fs; }

 private:
  std::string databaseName_;
  std::string recordSource_;
  std::string openName_;
  jet::FileSystem* fs_;
  std::unique_ptr<db::Connection> database_;
  std::unique_ptr<db::Recordset> recordset_;
};

}  // namespace db
