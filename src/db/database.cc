#include "db/database.h"

#include "db/action_query.h"
#include "db/table_recordset.h"
#include "jet/database.h"

namespace db {

Database::Database(const std::string& path) : Database(path, jet::FileSystem::real()) {}

Database::Database(const std::string& path, jet::FileSystem& fs)
    : engine_(std::make_unique<jet::Database>(path, jet::Database::Mode::ReadWrite, fs)) {}

void Database::close() { engine_->close(); }

Database::~Database() = default;

long Database::Execute(const std::string& sql) { return executeStatement(*engine_, sql); }

std::unique_ptr<Recordset> Database::OpenRecordset(const std::string& source) {
  return openRecordset(*engine_, source);
}

}  // namespace db
