#include "db/query_plan.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_tree.h"
#include "jet/row_codec.h"
#include "jet/text_codec.h"

namespace db {

namespace {

using jet::Column;
using jet::ColumnType;
using jet::Value;
using Kind = jet::Value::Kind;

void collectNames(const sql::Expr& e, std::vector<std::string>& out) {
  if (e.op == sql::Expr::Op::Column) out.push_back(e.name);
  for (auto& a : e.args) collectNames(a, out);
}

[[noreturn]] void tooFewParameters(const std::vector<std::string>& unknown) {
  std::set<std::string> distinct;
  for (auto& n : unknown) distinct.insert(jet::foldCase(n));
  throw jet::Error(err::kTooFewParameters, "Too few parameters. Expected " + std::to_string(distinct.size()) +
                                               ". (Unknown name '" + unknown.front() + "'.)");
}

// What a literal bound becomes as a key value of the column.
enum class KeyUse { Use, Nothing, Unusable };
enum class BoundKind { Equal, Low, High };

struct KeyValue {
  KeyUse use = KeyUse::Unusable;
  bool open = false;  // a bound that limits nothing
  Value value;
};

bool numericLiteral(const Value& v) {
  return v.kind == Kind::Byte || v.kind == Kind::Integer || v.kind == Kind::Long || v.kind == Kind::Single ||
         v.kind == Kind::Double || v.kind == Kind::Date;
}

double literalNumber(const Value& v) {
  return (v.kind == Kind::Single || v.kind == Kind::Double || v.kind == Kind::Date) ? v.d : double(v.i);
}

// Text keys of the General order ignore letter case as the evaluator does; plain ASCII text is
// the case where both agree exactly, so other text is left to a scan.
bool plainAscii(const std::string& s) {
  if (s.size() > 255) return false;
  for (unsigned char c : s) if (c < 0x20 || c > 0x7E) return false;
  return true;
}

KeyValue keyValue(const Column& c, const Value& lit, BoundKind kind) {
  KeyValue k;
  if (lit.isNull()) {
    if (kind == BoundKind::Equal) return k;  // Unusable
    k.use = KeyUse::Use;
    k.open = true;
    return k;
  }
  switch (c.type) {
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long: {
      if (!numericLiteral(lit)) return k;
      const double lo = c.type == ColumnType::Byte ? 0 : c.type == ColumnType::Integer ? -32768.0 : -2147483648.0;
      const double hi = c.type == ColumnType::Byte ? 255 : c.type == ColumnType::Integer ? 32767.0 : 2147483647.0;
      const double x = literalNumber(lit);
      if (!std::isfinite(x)) return k;
      double v = 0;
      if (kind == BoundKind::Equal) {
        if (x != std::floor(x) || x < lo || x > hi) { k.use = KeyUse::Nothing; return k; }
        v = x;
      } else if (kind == BoundKind::Low) {
        v = std::ceil(x);
        if (v > hi) { k.use = KeyUse::Nothing; return k; }
        if (v < lo) { k.use = KeyUse::Use; k.open = true; return k; }
      } else {
        v = std::floor(x);
        if (v < lo) { k.use = KeyUse::Nothing; return k; }
        if (v > hi) { k.use = KeyUse::Use; k.open = true; return k; }
      }
      k.use = KeyUse::Use;
      k.value = Value::long_(int32_t(v));
      return k;
    }
    case ColumnType::Double:
    case ColumnType::DateTime: {
      if (!numericLiteral(lit) || !std::isfinite(literalNumber(lit))) return k;
      k.use = KeyUse::Use;
      k.value = Value::double_(literalNumber(lit));
      return k;
    }
    case ColumnType::Text: {
      if (lit.kind != Kind::Text || !plainAscii(lit.s)) return k;
      if (c.sortOrder != 1033 && c.sortOrder != 0) return k;
      k.use = KeyUse::Use;
      k.value = lit;
      return k;
    }
    default:
      return k;
  }
}

// One index walk: several exact first-column keys, or a key range.
struct Walk {
  const jet::LogicalIndex* index = nullptr;
  const jet::RealIndex* real = nullptr;
  const Column* column = nullptr;
  bool forWhere = false;
  bool nothing = false;           // no row can match
  bool equality = false;
  std::vector<std::string> keys;  // equality: sorted first-column keys
  std::string from;               // range: start key
  std::optional<std::string> high;
};

std::string columnKey(const Column& c, const Value& v) {
  std::string key;
  jet::appendIndexKey(key, c, true, v);
  return key;
}

// Indexes whose first column is `column`, ascending; the one with the fewest columns first.
const jet::LogicalIndex* indexOn(const jet::TableDef& def, const Column& column, bool needEveryRow) {
  const jet::LogicalIndex* best = nullptr;
  size_t bestColumns = 0;
  for (auto& li : def.indexes) {
    if (li.realIndex < 0 || size_t(li.realIndex) >= def.realIndexes.size()) continue;
    const jet::RealIndex& ri = def.realIndexes[li.realIndex];
    if (ri.columns.empty() || ri.columns[0].columnNumber != column.number || !ri.columns[0].ascending) continue;
    if (needEveryRow && ri.ignoreNulls()) continue;
    if (!best || ri.columns.size() < bestColumns) {
      best = &li;
      bestColumns = ri.columns.size();
    }
  }
  return best;
}

std::optional<Walk> walkForTerm(const jet::TableDef& def, const sql::SargTerm& term) {
  const Column* c = def.findColumn(term.column);
  if (!c) return std::nullopt;
  const jet::LogicalIndex* li = indexOn(def, *c, false);
  if (!li) return std::nullopt;
  Walk w;
  w.index = li;
  w.real = &def.realIndexes[li->realIndex];
  w.column = c;
  w.forWhere = true;
  if (term.isEquality()) {
    w.equality = true;
    for (auto& lit : term.values) {
      KeyValue k = keyValue(*c, lit, BoundKind::Equal);
      if (k.use == KeyUse::Unusable) return std::nullopt;
      if (k.use == KeyUse::Use) w.keys.push_back(columnKey(*c, k.value));
    }
    std::sort(w.keys.begin(), w.keys.end());
    w.keys.erase(std::unique(w.keys.begin(), w.keys.end()), w.keys.end());
    w.nothing = w.keys.empty();
    return w;
  }
  // Text keys order by the General sort, which need not agree with the evaluator's order.
  if (c->type == ColumnType::Text) return std::nullopt;
  KeyValue low = keyValue(*c, term.low, BoundKind::Low);
  KeyValue high = keyValue(*c, term.high, BoundKind::High);
  if (low.use == KeyUse::Unusable || high.use == KeyUse::Unusable) return std::nullopt;
  if (low.use == KeyUse::Nothing || high.use == KeyUse::Nothing) {
    w.nothing = true;
    return w;
  }
  w.from = low.open ? std::string(1, '\x7F') : columnKey(*c, low.value);  // past the Nulls
  if (!high.open) w.high = columnKey(*c, high.value);
  return w;
}

std::optional<Walk> chooseWalk(const jet::TableDef& def, const sql::Expr* where,
                               const std::vector<sql::OrderTerm>& orderBy) {
  if (where) {
    std::optional<Walk> range;
    for (auto& term : sql::sargableTerms(*where)) {
      std::optional<Walk> w = walkForTerm(def, term);
      if (!w) continue;
      if (w->equality || w->nothing) return w;
      if (!range) range = w;
    }
    if (range) return range;
  }
  if (orderBy.size() == 1 && !orderBy[0].descending) {
    const Column* c = def.findColumn(orderBy[0].column);
    if (c && c->type != ColumnType::Text && c->type != ColumnType::Memo) {
      if (const jet::LogicalIndex* li = indexOn(def, *c, true)) {
        Walk w;
        w.index = li;
        w.real = &def.realIndexes[li->realIndex];
        w.column = c;
        return w;
      }
    }
  }
  return std::nullopt;
}

// Whether reading along the walk already gives the ORDER BY order.
bool walkGivesOrder(const std::optional<Walk>& w, const std::vector<sql::OrderTerm>& orderBy) {
  if (orderBy.empty()) return true;
  if (!w || orderBy.size() != 1 || orderBy[0].descending) return false;
  if (w->column->type == ColumnType::Text || w->column->type == ColumnType::Memo) return false;
  return jet::sameName(w->column->name, orderBy[0].column);
}

std::vector<jet::RowId> walkRows(jet::Table& table, const Walk& w) {
  std::vector<jet::RowId> rows;
  if (w.nothing) return rows;
  jet::Database& db = table.database();
  if (w.equality) {
    for (auto& key : w.keys) {
      jet::walkIndex(db.file(), db.format(), w.real->rootPage, key, [&](const jet::IndexEntry& e) {
        if (e.key.compare(0, key.size(), key) != 0) return false;
        rows.push_back(e.row);
        return true;
      });
    }
    return rows;
  }
  jet::walkIndex(db.file(), db.format(), w.real->rootPage, w.from, [&](const jet::IndexEntry& e) {
    if (w.high && e.key.compare(0, w.high->size(), *w.high) > 0) return false;
    rows.push_back(e.row);
    return true;
  });
  return rows;
}

}  // namespace

void checkColumnNames(const jet::TableDef& def, const sql::Expr& e) {
  std::vector<std::string> names, unknown;
  collectNames(e, names);
  for (auto& n : names) if (!def.findColumn(n)) unknown.push_back(n);
  if (!unknown.empty()) tooFewParameters(unknown);
}

sql::FieldLookup rowLookup(const jet::TableDef& def, const std::vector<jet::Value>& row) {
  return [&def, &row](const std::string& name) -> jet::Value {
    for (size_t i = 0; i < def.columns.size(); ++i) {
      if (jet::sameName(def.columns[i].name, name)) return i < row.size() ? row[i] : jet::Value::null();
    }
    tooFewParameters({name});
  };
}

QueryPlan planQuery(const jet::TableDef& def, const sql::Expr* where, const std::vector<sql::OrderTerm>& orderBy) {
  QueryPlan plan;
  std::optional<Walk> w = chooseWalk(def, where, orderBy);
  if (w) {
    plan.index = w->index->name;
    plan.column = w->column->name;
    plan.forWhere = w->forWhere;
  }
  plan.sortInMemory = !walkGivesOrder(w, orderBy);
  return plan;
}

std::vector<jet::RowId> selectRows(jet::Table& table, const sql::Expr* where,
                                   const std::vector<sql::OrderTerm>& orderBy, bool useIndexes) {
  const jet::TableDef& def = table.def();
  if (where) checkColumnNames(def, *where);
  std::vector<std::string> unknown;
  for (auto& t : orderBy) if (!def.findColumn(t.column)) unknown.push_back(t.column);
  if (!unknown.empty()) tooFewParameters(unknown);

  std::optional<Walk> walk = useIndexes ? chooseWalk(def, where, orderBy) : std::nullopt;
  const bool sort = !walkGivesOrder(walk, orderBy);

  // Order columns' values of each selected row, kept only when sorting in memory.
  std::vector<size_t> orderColumns;
  for (auto& t : orderBy) orderColumns.push_back(size_t(table.columnIndex(t.column)));
  struct Selected {
    jet::RowId id;
    std::vector<jet::Value> sortValues;
  };
  std::vector<Selected> selected;

  auto consider = [&](jet::RowId id, const std::vector<jet::Value>& row) {
    if (where && !sql::matches(*where, rowLookup(def, row))) return;
    Selected s{id, {}};
    if (sort) for (size_t c : orderColumns) s.sortValues.push_back(row[c]);
    selected.push_back(std::move(s));
  };

  // Only the columns the clause and the order name are decoded (memo values cost page reads).
  std::vector<bool> needed(def.columns.size(), false);
  if (where) {
    std::vector<std::string> names;
    collectNames(*where, names);
    for (auto& n : names) needed[size_t(table.columnIndex(n))] = true;
  }
  for (size_t c : orderColumns) needed[c] = true;
  jet::Database& db = table.database();
  auto decodeNeeded = [&](jet::Bytes bytes) {
    std::vector<jet::Value> row(def.columns.size());
    const jet::RawRow raw = jet::splitRow(db.format(), def, bytes);
    for (size_t i = 0; i < def.columns.size(); ++i) {
      if (needed[i]) row[i] = jet::decodeField(db.file(), db.format(), def.columns[i], raw, i);
    }
    return row;
  };
  if (walk) {
    for (jet::RowId id : walkRows(table, *walk)) {
      jet::PageRef hold;
      consider(id, decodeNeeded(table.rowBytes(id, hold)));
    }
  } else {
    table.scan([&](jet::RowId id, jet::Bytes bytes) {
      consider(id, decodeNeeded(bytes));
      return true;
    });
  }

  if (sort) {
    std::stable_sort(selected.begin(), selected.end(), [&](const Selected& a, const Selected& b) {
      for (size_t k = 0; k < orderBy.size(); ++k) {
        int c = sql::compareValues(a.sortValues[k], b.sortValues[k]);
        if (orderBy[k].descending) c = -c;
        if (c != 0) return c < 0;
      }
      return false;
    });
  }
  std::vector<jet::RowId> ids;
  ids.reserve(selected.size());
  for (auto& s : selected) ids.push_back(s.id);
  return ids;
}

}  // namespace db
