// The record set over one table: a fixed list of row addresses read fresh at each access.
// Membership is settled when it opens; rows it adds are appended, rows it deletes stay as holes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/recordset.h"
#include "db/sql_ast.h"
#include "jet/format/data_page.h"
#include "jet/database/database.h"
#include "jet/base/error.h"

namespace db {

namespace err = jet::err;  // the one table of error numbers

class TableRecordset : public Recordset {
 public:
  // `fields` are positions in the table's columns, in the order the set shows them.
  TableRecordset(jet::Database& db, jet::Table& table, std::vector<size_t> fields, std::vector<jet::RowId> rows);

  long RecordCount() const override;
  void MoveFirst() override;
  void MoveLast() override;
  void MoveNext() override;
  bool Eof() const override { return eof_; }
  bool Bof() const override { return bof_; }

  void FindFirst(const std::string& criteria) override;
  bool NoMatch() const override { return noMatch_; }

  jet::Value getField(const std::string& name) const override;
  void setField(const std::string& name, const jet::Value& value) override;

  void AddNew() override;
  void Edit() override;
  void Update() override;
  void Delete() override;

  std::vector<std::string> fieldNames() const override;
  std::vector<jet::Value> currentValues() const override;

 private:
  enum class EditMode { None, Adding, Editing };

  size_t fieldPosition(const std::string& name) const;  // in the table's columns; 3265
  void requireCurrent() const;                          // 3021 / 3167
  bool firstLive(size_t from, size_t& at) const;
  void settle(size_t at);                               // current row becomes `at`

  jet::Database& db_;
  jet::Table& table_;
  std::vector<size_t> fields_;
  std::vector<jet::RowId> rows_;
  std::vector<bool> deleted_;
  size_t pos_ = 0;
  bool bof_ = true;
  bool eof_ = true;
  bool noMatch_ = false;
  EditMode mode_ = EditMode::None;
  bool systemTable_ = false;  // one of Access's own tables: read, never changed
  // The row being added (every column has a value), or the values set since Edit (the other
  // columns keep what the row holds, read from it when asked for).
  std::vector<std::optional<jet::Value>> buffer_;
  // Field names as callers spelled them, with their positions: a loop over the rows asks by the
  // same few names again and again.
  mutable std::vector<std::pair<std::string, size_t>> spelled_;
};

// Programs read Access's system tables but do not change them: 3027 for a write to one.
void refuseSystemTable(jet::Database& db, const jet::Table& table);

// Opens a record set over a table name or a SELECT statement: 3078 when the table is missing,
// 3061 for names in the query that the table lacks, 3219 for other statements.
std::unique_ptr<TableRecordset> openRecordset(jet::Database& db, const std::string& source);

// The same for a parsed SELECT.
std::unique_ptr<TableRecordset> openSelect(jet::Database& db, const sql::Select& select);

}  // namespace db
