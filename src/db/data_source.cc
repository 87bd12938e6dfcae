#include "db/data_source.h"

#include "jet/error.h"

namespace db {

DataSource::DataSource() = default;
DataSource::~DataSource() = default;

void DataSource::Refresh() {
  if (!database_ || openName_ != databaseName_) {
    close();
    if (databaseName_.empty()) throw jet::Error(jet::err::kFileNotFound, "Could not find file ''.");
    database_ = std::make_unique<db::Database>(databaseName_);
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

db::Database& DataSource::Database() {
  if (!database_) {
    throw jet::Error(jet::err::kObjectNotSet, "Object variable or With block variable not set: the data source has no open database.");
  }
  return *database_;
}

void DataSource::close() {
  recordset_.reset();
  database_.reset();
  openName_.clear();
}

}  // namespace db
