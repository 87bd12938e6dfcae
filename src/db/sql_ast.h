// The parsed form of Jet SQL: expressions and the statements the data-source layer runs.
// Plain values built by sql_parser and read by sql_eval and the database layer.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "jet/format/column.h"
#include "jet/base/value.h"

namespace db::sql {

// One node of an expression tree. Operands are in args, in source order:
//   Literal: value.  Column: name (a qualifier "t." is dropped).
//   Not, Negate: args[0].  And, Or, comparisons, arithmetic, Concat: args[0] op args[1].
//   IsNull: args[0] IS [NOT] NULL.  Like: args[0] [NOT] LIKE args[1].
//   Between: args[0] [NOT] BETWEEN args[1] AND args[2].  In: args[0] [NOT] IN (args[1..]).
//   Call: the function `name` of args (sql_functions.h).
// negated is set for the NOT forms of IsNull, Like, Between and In.
struct Expr {
  enum class Op {
    Literal, Column,
    Not, Negate,
    And, Or,
    Eq, Ne, Lt, Le, Gt, Ge,
    IsNull, Like, Between, In,
    Add, Sub, Mul, Div, IntDiv, Mod, Concat,
    Call,
  };

  Op op = Op::Literal;
  jet::Value value;
  std::string name;
  std::vector<Expr> args;
  bool negated = false;
};

struct OrderTerm {
  std::string column;
  bool descending = false;
};

// SELECT * | col, ... FROM table [WHERE ...] [ORDER BY ...]
struct Select {
  std::vector<std::string> columns;  // empty for *
  std::string table;
  bool hasWhere = false;
  Expr where;
  std::vector<OrderTerm> orderBy;
};

// DELETE [*] FROM table [WHERE ...]
struct Delete {
  std::string table;
  bool hasWhere = false;
  Expr where;
};

// INSERT INTO table [(col, ...)] VALUES (expr, ...); columns empty means all, in table order.
struct Insert {
  std::string table;
  std::vector<std::string> columns;
  std::vector<Expr> values;
};

struct Assignment {
  std::string column;
  Expr value;
};

// UPDATE table SET col = expr, ... [WHERE ...]
struct Update {
  std::string table;
  std::vector<Assignment> set;
  bool hasWhere = false;
  Expr where;
};

// A column of CREATE TABLE / ALTER TABLE ADD. size is in bytes as the engine stores it: for Text
// twice the character count (TEXT alone is 255 characters); Memo and OLE are 0.
struct ColumnDef {
  std::string name;
  jet::ColumnType type = jet::ColumnType::Long;
  uint16_t size = 4;
  uint8_t precision = 0;  // Numeric
  uint8_t scale = 0;      // Numeric
  bool autoNumber = false;  // COUNTER / AUTOINCREMENT
  bool notNull = false;
  bool primaryKey = false;  // PRIMARY KEY on the column itself
  bool unique = false;      // UNIQUE on the column itself
};

// CONSTRAINT name PRIMARY KEY (c, ...) / UNIQUE (c, ...) at the end of CREATE TABLE.
struct TableConstraint {
  std::string name;  // may be empty
  bool primaryKey = false;  // else UNIQUE
  std::vector<std::string> columns;
};

struct CreateTable {
  std::string table;
  std::vector<ColumnDef> columns;
  std::vector<TableConstraint> constraints;
};

struct IndexColumn {
  std::string column;
  bool descending = false;
};

// CREATE [UNIQUE] INDEX name ON table (col [ASC|DESC], ...) [WITH PRIMARY | DISALLOW NULL | IGNORE NULL]
struct CreateIndex {
  std::string name;
  std::string table;
  std::vector<IndexColumn> columns;
  bool unique = false;
  bool primary = false;
  bool disallowNull = false;
  bool ignoreNull = false;
};

struct DropTable {
  std::string table;
};

// DROP INDEX name ON table
struct DropIndex {
  std::string name;
  std::string table;
};

// ALTER TABLE table ADD [COLUMN] def | DROP [COLUMN] name
struct AlterTable {
  std::string table;
  bool add = true;
  ColumnDef column;    // add
  std::string dropName;  // drop
};

using Statement = std::variant<Select, Delete, Insert, Update, CreateTable, CreateIndex, DropTable, DropIndex, AlterTable>;

}  // namespace db::sql
