#include "db/data_source.h"

#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/os/file_system.h"

namespace db {

DataSource::DataSource() : fs_(&jet::FileSystem::real()) {}
DataSource::~DataSource() = default;

void DataSource::Refresh() {
  if (!database_ || openName_ != databaseName_) {
    recordset_.reset();
    if (database_) {
      database_->close();
      database_.reset();
    }
    openName_.clear();
    if (databaseName_.empty()) throw jet::Error(jet::err::kFileNotFound, "Could not find file ''.");
    database_ = std::make_unique<db::Connection>(databaseName_, db::Connection::Mode::ReadWrite, *fs_);
    openName_ = databaseName_;
  }
  if (!recordSource_.empty()) {
    recordset_.reset();
    recordset_ = database_->OpenRecordset(recordSource_);
  }
}

db::Recordset& DataSource::Recordset() {
  if (!recordset_) {
    throw jet::Error(jet::err::kObjectNotSet,
                     "Object variable or With block variable not set: the data source has no open record set.");
  }
  return *recordset_;
}

db::Connection& DataSource::Database() {
  if (!database_) {
    throw jet::Error(jet::err::kObjectNotSet, "Object variable or With block variable not set: the data source has no open database.");
  }
  return *database_;
}

void DataSource::BeginTrans() { Database().engine().beginTransaction(); }
void DataSource::CommitTrans() { Database().engine().commitTransaction(); }
void DataSource::Rollback() { Database().engine().rollback(); }

void DataSource::close() {
  recordset_.reset();
  std::unique_ptr<db::Connection> open = std::move(database_);
  openName_.clear();
  if (open) open->close();
}

}  // namespace db
