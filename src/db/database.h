// An open Access database as the data-source layer sees it: statements run on it directly.
#pragma once

#include <memory>
#include <string>

namespace jet {
class Database;
class FileSystem;
}  // namespace jet

namespace db {

class Recordset;

class Database {
 public:
  // Opens the file for reading and writing; fails with the engine's error.
  explicit Database(const std::string& path);
  Database(const std::string& path, jet::FileSystem& fs);
  // Writes nothing; close() carries what is stored into the file.
  ~Database();
  void close();

  // Runs an action statement (DELETE, INSERT, UPDATE, CREATE TABLE, CREATE INDEX) at once.
  // Matching no row is no error. Returns the number of rows affected.
  long Execute(const std::string& sql);

  // Opens a record set over a table name or a SELECT statement.
  std::unique_ptr<Recordset> OpenRecordset(const std::string& source);

  jet::Database& engine() { return *engine_; }

 private:
  std::unique_ptr<jet::Database> engine_;
};

}  // namespace db
