// Evaluates parsed Jet SQL expressions over a row with Jet's rules for Null, text and numbers.
// Also orders values for ORDER BY and finds the index-usable terms of a WHERE clause.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/sql_ast.h"
#include "jet/base/value.h"
#include "jet/base/error.h"

namespace db::sql {

namespace err = jet::err;  // the one table of error numbers

// Fetches a column of the current row by name; throws for an unknown name.
using FieldLookup = std::function<jet::Value(const std::string& column)>;

// The value of e. Comparisons, NOT, AND, OR, LIKE, BETWEEN, IN and arithmetic follow Jet's
// three-valued logic (Null where the answer is unknown). Text compares ignoring case; numbers
// of any kind and dates compare numerically; a number or date against text that is no date
// fails with 3464 (data type mismatch in criteria). Division by zero fails with 11.
jet::Value eval(const Expr& e, const FieldLookup& field);

// A value as a truth: True or a nonzero number is true, Null unknown; other kinds fail with 3464.
std::optional<bool> truthValue(const jet::Value& v);

// Whether the row meets the criterion: True or a nonzero number; Null counts as not met.
bool matches(const Expr& e, const FieldLookup& field);

// Ordering for ORDER BY: <0, 0 or >0. Null sorts first, then numbers and dates by value, then text
// ignoring case, then binary data bytewise. Never fails.
int compareValues(const jet::Value& a, const jet::Value& b);

// Jet's LIKE: * any run, ? one character, # one digit, [abc] [a-z] one of, [!abc] none of;
// case-insensitive. A '[' without ']' fails with 93.
bool likeMatch(std::string_view text, std::string_view pattern);

// A condition on one column that every row meeting the whole WHERE expression satisfies, so an
// index on the column can narrow the rows to read. It never replaces evaluating the expression on
// each candidate row: the constants are the literals as written (the planner converts them to the
// column's type, and compares text ignoring case as Jet's text indexes do).
//   Equality (values not empty): the column equals one of values. Made from "col = c",
//     "col IN (c, ...)" and ORs of those on one column: (DXCC = 85 OR DXCC = 255).
//   Range (values empty): low/high bound the column; a Null bound is open. Made from
//     "col > c" (either side), <, <=, >=, and "col BETWEEN a AND b".
// Terms are the AND-ed parts of the expression's top level; several may name one column.
struct SargTerm {
  std::string column;
  std::vector<jet::Value> values;
  jet::Value low;
  jet::Value high;
  bool lowInclusive = false;
  bool highInclusive = false;

  bool isEquality() const { return !values.empty(); }
};

std::vector<SargTerm> sargableTerms(const Expr& where);

}  // namespace db::sql
