#include "db/table_recordset.h"

#include <cctype>

#include "db/default_values.h"
#include "db/query_plan.h"
#include "db/sql_eval.h"
#include "db/sql_parser.h"
#include "db/validation_rules.h"
#include "db/value_convert.h"
#include "jet/base/error.h"
#include "jet/write/table_writer.h"

namespace db {

namespace {

[[noreturn]] void noCurrentRecord() { throw jet::Error(jet::err::kNoCurrentRecord, "No current record."); }

[[noreturn]] void noAddNewOrEdit() {
  throw jet::Error(err::kNoAddNewOrEdit, "Update or CancelUpdate without AddNew or Edit.");
}

std::string firstWord(const std::string& s) {
  std::string w;
  for (char c : s) {
    if (!std::isalpha(static_cast<unsigned char>(c))) break;
    w += char(std::tolower(static_cast<unsigned char>(c)));
  }
  return w;
}

bool isStatementWord(const std::string& w) {
  for (const char* k : {"select", "delete", "insert", "update", "create", "drop", "alter", "transform", "parameters"}) {
    if (w == k) return true;
  }
  return false;
}

}  // namespace

TableRecordset::TableRecordset(jet::Database& db, jet::Table& table, std::vector<size_t> fields,
                               std::vector<jet::RowId> rows)
    : db_(db), table_(table), fields_(std::move(fields)), rows_(std::move(rows)), deleted_(rows_.size(), false),
      systemTable_(db.isSystemTable(table.def().name)) {
  if (!rows_.empty()) settle(0);
}

long TableRecordset::RecordCount() const {
  long n = 0;
  for (bool d : deleted_) if (!d) ++n;
  return n;
}

bool TableRecordset::firstLive(size_t from, size_t& at) const {
  for (size_t i = from; i < rows_.size(); ++i) {
    if (!deleted_[i]) {
      at = i;
      return true;
    }
  }
  return false;
}

void TableRecordset::settle(size_t at) {
  pos_ = at;
  bof_ = eof_ = false;
  mode_ = EditMode::None;  // moving discards a pending edit
}

void TableRecordset::MoveFirst() {
  size_t at = 0;
  if (!firstLive(0, at)) noCurrentRecord();
  settle(at);
}

void TableRecordset::MoveLast() {
  for (size_t i = rows_.size(); i-- > 0;) {
    if (!deleted_[i]) {
      settle(i);
      return;
    }
  }
  noCurrentRecord();
}

void TableRecordset::MoveNext() {
  if (eof_) noCurrentRecord();
  size_t at = 0;
  if (firstLive(bof_ ? 0 : pos_ + 1, at)) {
    settle(at);
    return;
  }
  mode_ = EditMode::None;
  pos_ = rows_.size();
  bof_ = false;
  eof_ = true;
}

void TableRecordset::FindFirst(const std::string& criteria) {
  const sql::Expr e = sql::parseExpression(criteria);
  std::vector<std::string> names;
  const jet::TableDef& def = table_.def();
  std::vector<const sql::Expr*> stack{&e};
  while (!stack.empty()) {
    const sql::Expr* x = stack.back();
    stack.pop_back();
    if (x->op == sql::Expr::Op::Column && !def.findColumn(x->name)) {
      throw jet::Error(err::kUnknownName, "The database engine does not recognize '" + x->name +
                                              "' as a valid field name or expression.");
    }
    for (auto& a : x->args) stack.push_back(&a);
  }
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (deleted_[i]) continue;
    const std::vector<jet::Value> row = table_.readRow(rows_[i]);
    if (sql::matches(e, rowLookup(def, row))) {
      settle(i);
      noMatch_ = false;
      return;
    }
  }
  noMatch_ = true;
}

size_t TableRecordset::fieldPosition(const std::string& name) const {
  for (auto& [spelling, f] : spelled_) if (spelling == name) return f;
  for (size_t f : fields_) {
    if (jet::sameName(table_.def().columns[f].name, name)) {
      if (spelled_.size() < 64) spelled_.emplace_back(name, f);
      return f;
    }
  }
  throw jet::Error(jet::err::kItemNotFound, "Item not found in this collection. (Field '" + name + "'.)");
}

void TableRecordset::requireCurrent() const {
  if (bof_ || eof_ || pos_ >= rows_.size()) noCurrentRecord();
  if (deleted_[pos_]) throw jet::Error(err::kRecordDeleted, "Record is deleted.");
}

jet::Value TableRecordset::getField(const std::string& name) const {
  const size_t f = fieldPosition(name);
  if (mode_ == EditMode::Adding) return *buffer_[f];
  if (mode_ == EditMode::Editing && buffer_[f]) return *buffer_[f];
  requireCurrent();
  return table_.readField(rows_[pos_], f);
}

std::vector<jet::Value> TableRecordset::currentValues() const {
  std::vector<jet::Value> row;
  if (mode_ != EditMode::Adding) {
    requireCurrent();
    row = table_.readRow(rows_[pos_]);
  }
  if (mode_ != EditMode::None) {
    row.resize(buffer_.size());
    for (size_t i = 0; i < buffer_.size(); ++i) if (buffer_[i]) row[i] = *buffer_[i];
  }
  std::vector<jet::Value> out;
  out.reserve(fields_.size());
  for (size_t f : fields_) out.push_back(row[f]);
  return out;
}

void TableRecordset::setField(const std::string& name, const jet::Value& value) {
  const size_t f = fieldPosition(name);
  if (mode_ == EditMode::None) noAddNewOrEdit();
  const jet::Column& c = table_.def().columns[f];
  if (c.autoNumber() || (c.flags & 0x40) != 0) {
    throw jet::Error(err::kNotUpdatable, "Field cannot be updated. ('" + c.name + "' is an AutoNumber.)");
  }
  buffer_[f] = convertForColumn(value, c);
}

void refuseSystemTable(jet::Database& db, const jet::Table& table) {
  if (db.isSystemTable(table.def().name)) {
    throw jet::Error(err::kReadOnly, "Cannot update. Database or object is read-only. ('" + table.def().name +
                                         "' is a system table.)");
  }
}

void TableRecordset::AddNew() {
  if (systemTable_) refuseSystemTable(db_, table_);
  const jet::TableDef& def = table_.def();
  // A new row starts with its columns' default values.
  std::vector<jet::Value> defaults = defaultRow(def);
  std::vector<std::optional<jet::Value>> row(def.columns.size());
  for (size_t i = 0; i < def.columns.size(); ++i) row[i] = std::move(defaults[i]);
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet::Column& c = def.columns[i];
    if (c.autoNumber() && c.type == jet::ColumnType::Long) {
      row[i] = jet::Value::long_(jet::TableWriter(db_, table_).takeAutoNumber());
    }
  }
  buffer_ = std::move(row);
  mode_ = EditMode::Adding;
}

void TableRecordset::Edit() {
  if (systemTable_) refuseSystemTable(db_, table_);
  requireCurrent();
  jet::PageRef hold;
  table_.rowBytes(rows_[pos_], hold);  // the row is still there (3021 when it is not)
  buffer_.assign(table_.def().columns.size(), std::nullopt);
  mode_ = EditMode::Editing;
}

void TableRecordset::Update() {
  if (mode_ == EditMode::None) noAddNewOrEdit();
  const bool adding = mode_ == EditMode::Adding;
  checkValidationRules(table_.def(), buffer_, [&](size_t i) {
    if (buffer_[i] || adding) return buffer_[i] ? *buffer_[i] : jet::Value::null();
    return table_.readField(rows_[pos_], i);
  });
  jet::TableWriter writer(db_, table_);
  if (adding) {
    std::vector<jet::Value> row(buffer_.size());
    for (size_t i = 0; i < buffer_.size(); ++i) row[i] = std::move(*buffer_[i]);
    const jet::RowId id = writer.insert(std::move(row));
    rows_.push_back(id);
    deleted_.push_back(false);
  } else {
    writer.update(rows_[pos_], std::move(buffer_));
  }
  mode_ = EditMode::None;
  buffer_.clear();
}

void TableRecordset::Delete() {
  if (systemTable_) refuseSystemTable(db_, table_);
  requireCurrent();
  mode_ = EditMode::None;
  jet::TableWriter(db_, table_).remove(rows_[pos_]);
  deleted_[pos_] = true;
}

std::vector<std::string> TableRecordset::fieldNames() const {
  std::vector<std::string> names;
  for (size_t f : fields_) names.push_back(table_.def().columns[f].name);
  return names;
}

std::unique_ptr<TableRecordset> openSelect(jet::Database& db, const sql::Select& select) {
  jet::Table& table = db.table(select.table);
  const jet::TableDef& def = table.def();
  std::vector<size_t> fields;
  if (select.columns.empty()) {
    for (size_t i = 0; i < def.columns.size(); ++i) fields.push_back(i);
  } else {
    for (auto& name : select.columns) {
      const int i = table.columnIndex(name);
      if (i < 0) {
        throw jet::Error(err::kTooFewParameters, "Too few parameters. Expected 1. (Unknown name '" + name + "'.)");
      }
      fields.push_back(size_t(i));
    }
  }
  std::vector<jet::RowId> rows = selectRows(table, select.hasWhere ? &select.where : nullptr, select.orderBy);
  return std::make_unique<TableRecordset>(db, table, std::move(fields), std::move(rows));
}

std::unique_ptr<TableRecordset> openRecordset(jet::Database& db, const std::string& source) {
  std::string text = trimmed(source);
  if (isStatementWord(firstWord(text))) {
    sql::Statement st = sql::parseStatement(text);
    if (auto* select = std::get_if<sql::Select>(&st)) return openSelect(db, *select);
    throw jet::Error(err::kInvalidOperation, "Invalid operation. (A record set opens a table or a SELECT query.)");
  }
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') text = text.substr(1, text.size() - 2);
  jet::Table& table = db.table(text);
  std::vector<size_t> fields;
  for (size_t i = 0; i < table.def().columns.size(); ++i) fields.push_back(i);
  return std::make_unique<TableRecordset>(db, table, std::move(fields), selectRows(table, nullptr, {}));
}

}  // namespace db
