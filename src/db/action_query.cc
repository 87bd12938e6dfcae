#include "db/action_query.h"

#include "db/default_values.h"
#include "db/query_plan.h"
#include "db/sql_eval.h"
#include "db/sql_parser.h"
#include "db/table_recordset.h"
#include "db/validation_rules.h"
#include "db/value_convert.h"
#include "jet/write/add_index.h"
#include "jet/write/create_table.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/write/table_writer.h"

namespace db {

namespace {

long runDelete(jet::Database& db, const sql::Delete& st) {
  jet::Table& table = db.table(st.table);
  refuseSystemTable(db, table);
  const std::vector<jet::RowId> rows = selectRows(table, st.hasWhere ? &st.where : nullptr, {});
  if (rows.empty()) return 0;
  jet::TableWriter writer(db, table);
  jet::Batch batch(db);
  for (jet::RowId id : rows) writer.remove(id);
  batch.commit();
  return long(rows.size());
}

// INSERT values may not name fields: in a statement without a source table every name is a parameter.
jet::Value evalConstant(const sql::Expr& e) {
  return sql::eval(e, [](const std::string& name) -> jet::Value {
    throw jet::Error(err::kTooFewParameters, "Too few parameters. Expected 1. (Unknown name '" + name + "'.)");
  });
}

long runInsert(jet::Database& db, const sql::Insert& st) {
  jet::Table& table = db.table(st.table);
  refuseSystemTable(db, table);
  const jet::TableDef& def = table.def();
  std::vector<size_t> targets;
  if (st.columns.empty()) {
    for (size_t i = 0; i < def.columns.size(); ++i) targets.push_back(i);
  } else {
    for (auto& name : st.columns) {
      const int i = table.columnIndex(name);
      if (i < 0) {
        throw jet::Error(err::kUnknownInsertField,
                         "The INSERT INTO statement contains the following unknown field name: '" + name + "'.");
      }
      targets.push_back(size_t(i));
    }
  }
  if (targets.size() != st.values.size()) {
    throw jet::Error(sql::err::kValueCount, "Number of query values and destination fields are not the same.");
  }
  // The columns the statement leaves out take their default values.
  std::vector<jet::Value> row = defaultRow(def);
  for (size_t k = 0; k < targets.size(); ++k) {
    row[targets[k]] = convertForColumn(evalConstant(st.values[k]), def.columns[targets[k]]);
  }
  checkValidationRules(def, row);
  jet::TableWriter(db, table).insert(std::move(row));
  return 1;
}

long runUpdate(jet::Database& db, const sql::Update& st) {
  jet::Table& table = db.table(st.table);
  refuseSystemTable(db, table);
  const jet::TableDef& def = table.def();
  std::vector<size_t> targets;
  for (auto& a : st.set) {
    const int i = table.columnIndex(a.column);
    if (i < 0) {
      throw jet::Error(err::kTooFewParameters, "Too few parameters. Expected 1. (Unknown name '" + a.column + "'.)");
    }
    const jet::Column& c = def.columns[size_t(i)];
    if (c.autoNumber() || (c.flags & 0x40) != 0) {
      throw jet::Error(err::kNotUpdatable, "Field cannot be updated. ('" + c.name + "' is an AutoNumber.)");
    }
    checkColumnNames(def, a.value);
    targets.push_back(size_t(i));
  }
  const std::vector<jet::RowId> rows = selectRows(table, st.hasWhere ? &st.where : nullptr, {});
  if (rows.empty()) return 0;
  jet::TableWriter writer(db, table);
  jet::Batch batch(db);
  for (jet::RowId id : rows) {
    const std::vector<jet::Value> old = table.readRow(id);
    std::vector<std::optional<jet::Value>> changes(def.columns.size());
    // Every SET expression sees the row as it was before the statement.
    for (size_t k = 0; k < targets.size(); ++k) {
      changes[targets[k]] = convertForColumn(sql::eval(st.set[k].value, rowLookup(def, old)), def.columns[targets[k]]);
    }
    checkValidationRules(def, changes, [&](size_t i) { return changes[i] ? *changes[i] : old[i]; });
    writer.update(id, std::move(changes));
  }
  batch.commit();
  return long(rows.size());
}

long runCreateTable(jet::Database& db, const sql::CreateTable& st) {
  jet::TableDesign design;
  design.name = st.table;
  for (auto& c : st.columns) {
    jet::ColumnSpec col;
    col.name = c.name;
    col.type = c.type;
    col.length = c.type == jet::ColumnType::Text ? uint16_t(c.size / 2) : 0;
    col.autoNumber = c.autoNumber;
    // Access keeps a field's Required setting among the table's properties, which new
    // tables do not have yet; a key column is kept from Nulls by its index instead.
    if (c.notNull && !c.primaryKey) {
      throw jet::Error(jet::err::kNotSupported, "Operation is not supported: the field '" + c.name +
                                                    "' cannot be made NOT NULL; index it WITH DISALLOW NULL instead.");
    }
    design.columns.push_back(col);
    if (c.primaryKey || c.unique) {
      jet::IndexSpec ix;
      ix.name = c.primaryKey ? "PrimaryKey" : c.name;
      ix.columns.push_back({c.name, true});
      ix.primaryKey = c.primaryKey;
      ix.unique = true;
      design.indexes.push_back(ix);
    }
  }
  for (auto& k : st.constraints) {
    jet::IndexSpec ix;
    ix.name = !k.name.empty() ? k.name : k.primaryKey ? "PrimaryKey" : k.columns.front();
    for (auto& name : k.columns) ix.columns.push_back({name, true});
    ix.primaryKey = k.primaryKey;
    ix.unique = true;
    design.indexes.push_back(ix);
  }
  jet::createTable(db, design);
  return 0;
}

long runCreateIndex(jet::Database& db, const sql::CreateIndex& st) {
  refuseSystemTable(db, db.table(st.table));
  jet::IndexSpec ix;
  ix.name = st.name;
  for (auto& c : st.columns) ix.columns.push_back({c.column, !c.descending});
  ix.primaryKey = st.primary;
  ix.unique = st.unique || st.primary;
  ix.required = st.disallowNull;
  ix.ignoreNulls = st.ignoreNull;
  jet::addIndex(db, st.table, ix);
  return 0;
}

[[noreturn]] void notSupported(const std::string& what) {
  throw jet::Error(jet::err::kNotSupported, "Operation is not supported: " + what + " is not available yet.");
}

}  // namespace

long executeStatement(jet::Database& db, const sql::Statement& statement) {
  struct Runner {
    jet::Database& db;
    long operator()(const sql::Select&) const {
      throw jet::Error(err::kCannotExecuteSelect, "Cannot execute a select query.");
    }
    long operator()(const sql::Delete& s) const { return runDelete(db, s); }
    long operator()(const sql::Insert& s) const { return runInsert(db, s); }
    long operator()(const sql::Update& s) const { return runUpdate(db, s); }
    long operator()(const sql::CreateTable& s) const { return runCreateTable(db, s); }
    long operator()(const sql::CreateIndex& s) const { return runCreateIndex(db, s); }
    long operator()(const sql::DropTable&) const { notSupported("DROP TABLE"); }
    long operator()(const sql::DropIndex&) const { notSupported("DROP INDEX"); }
    long operator()(const sql::AlterTable&) const { notSupported("ALTER TABLE"); }
  };
  return std::visit(Runner{db}, statement);
}

long executeStatement(jet::Database& db, const std::string& sql) {
  return executeStatement(db, sql::parseStatement(sql));
}

}  // namespace db
