// Choosing and reading the rows of one table that a WHERE clause selects, in ORDER BY order.
// Walks an index when the clause or the order allows it, else scans; always checks the full clause.
#pragma once

#include <string>
#include <vector>

#include "db/sql_ast.h"
#include "db/sql_eval.h"
#include "jet/format/data_page.h"
#include "jet/database/table.h"
#include "jet/base/error.h"

namespace db {

namespace err = jet::err;  // the one table of error numbers

// Fails with 3061 ("Too few parameters. Expected N.") when `e` names columns the table lacks.
void checkColumnNames(const jet::TableDef& def, const sql::Expr& e);

// Looks columns up by name in a row of the table (values in def.columns order); throws 3061.
sql::FieldLookup rowLookup(const jet::TableDef& def, const std::vector<jet::Value>& row);

// How the rows are found: by walking an index (its name) or by scanning (empty). Equalities on
// an index's leading columns give exact keys; a range on an ascending first column a key range.
struct QueryPlan {
  std::string index;
  std::string column;          // the index's first column
  bool forWhere = false;       // the walk narrows the WHERE clause (else it only gives the order)
  bool sortInMemory = false;   // ORDER BY is not satisfied by the reading order
};

QueryPlan planQuery(jet::Table& table, const sql::Expr* where, const std::vector<sql::OrderTerm>& orderBy);

// The addresses of the rows meeting `where` (all rows when null), ordered by `orderBy`.
// Names the table lacks fail with 3061. With useIndexes false the table is scanned.
std::vector<jet::RowId> selectRows(jet::Table& table, const sql::Expr* where,
                                   const std::vector<sql::OrderTerm>& orderBy, bool useIndexes = true);

}  // namespace db
