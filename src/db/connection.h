// An open Access database as the data-source layer sees it: statements run on it directly.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace jet {
class Database;
class FileSystem;
}  // namespace jet

namespace db {

class Recordset;

class Connection {
 public:
  enum class Mode { ReadWrite, ReadOnly };
  // Opens the file (for reading and writing unless `mode` says otherwise); fails with the
  // engine's error.
  explicit Connection(const std::string& path, Mode mode = Mode::ReadWrite);
  Connection(const std::string& path, Mode mode, jet::FileSystem& fs);
  // Writes nothing; close() carries what is stored into the file.
  ~Connection();
  void close();

  // Runs an action statement (DELETE, INSERT, UPDATE, CREATE TABLE, CREATE INDEX) at once.
  // Matching no row is no error. Returns the number of rows affected.
  long Execute(const std::string& sql);

  // Opens a record set over a table name or a SELECT statement.
  std::unique_ptr<Recordset> OpenRecordset(const std::string& source);

  // The user tables, in the order the database lists them.
  std::vector<std::string> tableNames() const;
  // The columns of the table's primary key, in key order; none when it has no primary key.
  std::vector<std::string> primaryKey(const std::string& table);

  jet::Database& engine() { return *engine_; }

 private:
  std::unique_ptr<jet::Database> engine_;
};

}  // namespace db
