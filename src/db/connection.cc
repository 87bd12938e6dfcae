#include "db/connection.h"

#include "db/action_query.h"
#include "db/table_recordset.h"
#include "jet/database/database.h"

namespace db {

Connection::Connection(const std::string& path, Mode mode) : Connection(path, mode, jet::FileSystem::real()) {}

Connection::Connection(const std::string& path, Mode mode, jet::FileSystem& fs)
    : engine_(std::make_unique<jet::Database>(
          path, mode == Mode::ReadOnly ? jet::Database::Mode::ReadOnly : jet::Database::Mode::ReadWrite, fs)) {}

void Connection::close() { engine_->close(); }

Connection::~Connection() = default;

long Connection::Execute(const std::string& sql) { return executeStatement(*engine_, sql); }

std::unique_ptr<Recordset> Connection::OpenRecordset(const std::string& source) {
  return openRecordset(*engine_, source);
}

std::vector<std::string> Connection::tableNames() const { return engine_->tableNames(); }

std::vector<std::string> Connection::primaryKey(const std::string& table) {
  const jet::TableDef& def = engine_->table(table).def();
  std::vector<std::string> columns;
  for (const jet::LogicalIndex& index : def.indexes) {
    if (!index.primary()) continue;
    for (const jet::RealIndex& real : def.realIndexes) {
      if (real.number != index.realIndex) continue;
      for (const jet::IndexColumn& ic : real.columns) {
        for (const jet::Column& c : def.columns) {
          if (c.number == ic.columnNumber) columns.push_back(c.name);
        }
      }
    }
    break;
  }
  return columns;
}

}  // namespace db
