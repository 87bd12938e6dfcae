#include "db/query_plan.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <set>

#include "jet/check/checked_index_walk.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_key.h"
#include "jet/format/row_codec.h"
#include "jet/format/text_codec.h"

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

// What a literal bound becomes as key values of the column.
enum class KeyUse { Use, Nothing, Unusable };
enum class BoundKind { Equal, Low, High };

struct KeyValue {
  KeyUse use = KeyUse::Unusable;
  bool open = false;          // a bound that limits nothing
  bool start = false;         // the keys' start only: text that case, accents or more may vary
  std::vector<Value> values;  // equality: every stored value equal to the literal (0 and -0)
};

bool numericLiteral(const Value& v) {
  return v.kind == Kind::Byte || v.kind == Kind::Integer || v.kind == Kind::Long || v.kind == Kind::Single ||
         v.kind == Kind::Double || v.kind == Kind::Date;
}

double literalNumber(const Value& v) {
  return (v.kind == Kind::Single || v.kind == Kind::Double || v.kind == Kind::Date) ? v.d : double(v.i);
}

// Text keys of the General order ignore letter case as the evaluator does; for plain ASCII text
// both agree exactly. Other text is found by the start its keys share with every text equal to
// it (letters that fold together have one code), and the evaluator sorts out the rest.
bool plainAscii(const std::string& s) {
  if (s.size() > 255) return false;
  for (unsigned char c : s) if (c < 0x20 || c > 0x7E) return false;
  return true;
}

KeyValue use(Value v) {
  KeyValue k;
  k.use = KeyUse::Use;
  k.values.push_back(std::move(v));
  return k;
}

KeyValue nothing() {
  KeyValue k;
  k.use = KeyUse::Nothing;
  return k;
}

KeyValue open() {
  KeyValue k;
  k.use = KeyUse::Use;
  k.open = true;
  return k;
}

// Integers of a column's range (Byte, Integer, Long; Currency in ten-thousandths).
KeyValue integralKey(double x, double lo, double hi, BoundKind kind, Value (*make)(int64_t)) {
  if (kind == BoundKind::Equal) {
    if (x != std::floor(x) || x < lo || x > hi) return nothing();
    return use(make(int64_t(x)));
  }
  const double v = kind == BoundKind::Low ? std::ceil(x) : std::floor(x);
  if (kind == BoundKind::Low ? v > hi : v < lo) return nothing();
  if (kind == BoundKind::Low ? v < lo : v > hi) return open();
  return use(make(int64_t(v)));
}

// Floating point keys: equality finds both zeros, which compare equal but differ in their bits.
KeyValue realKey(double x, Value (*make)(double)) {
  KeyValue k = use(make(x));
  if (x == 0) k.values.push_back(make(-x));
  return k;
}

KeyValue keyValue(const jet::Format& f, const Column& c, const Value& lit, BoundKind kind) {
  KeyValue k;
  if (lit.isNull()) return kind == BoundKind::Equal ? k : open();
  const double x = numericLiteral(lit) ? literalNumber(lit) : 0;
  if (numericLiteral(lit) && !std::isfinite(x)) return k;
  switch (c.type) {
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long: {
      if (!numericLiteral(lit)) return k;
      const double lo = c.type == ColumnType::Byte ? 0 : c.type == ColumnType::Integer ? -32768.0 : -2147483648.0;
      const double hi = c.type == ColumnType::Byte ? 255 : c.type == ColumnType::Integer ? 32767.0 : 2147483647.0;
      return integralKey(x, lo, hi, kind, [](int64_t v) { return Value::long_(int32_t(v)); });
    }
    case ColumnType::Currency: {
      // The evaluator compares a currency as its ten-thousandths divided out; below 10^11 such
      // quotients lie further apart than doubles there, so each names one amount.
      if (!numericLiteral(lit) || std::fabs(x) > 1.0e11) return k;
      double units = std::round(x * 10000);
      if (kind == BoundKind::Equal) {
        if (units / 10000 != x) return nothing();
      } else if (kind == BoundKind::Low) {
        if (units / 10000 < x) ++units;
      } else if (units / 10000 > x) {
        --units;
      }
      return use(Value::currency(int64_t(units)));
    }
    case ColumnType::Single: {
      if (!numericLiteral(lit) || std::fabs(x) > 3.0e38) return k;
      float v = float(x);
      if (kind == BoundKind::Equal) {
        if (double(v) != x) return nothing();
        return realKey(double(v), [](double d) { return Value::single(float(d)); });
      }
      if (kind == BoundKind::Low && double(v) < x) v = std::nextafter(v, INFINITY);
      if (kind == BoundKind::High && double(v) > x) v = std::nextafter(v, -INFINITY);
      return use(Value::single(v));
    }
    case ColumnType::Double:
    case ColumnType::DateTime:
      if (!numericLiteral(lit)) return k;
      if (kind == BoundKind::Equal) return realKey(x, Value::double_);
      return use(Value::double_(x));
    case ColumnType::Text: {
      if (lit.kind != Kind::Text || (c.sortOrder != 1033 && c.sortOrder != 0)) return k;
      KeyValue text = use(lit);
      text.start = !plainAscii(lit.s);
      if (text.start && kind != BoundKind::Equal) return k;
      return text;
    }
    case ColumnType::Guid: {
      // A GUID equals text of its own shape only; ranges are left to a scan.
      if (lit.kind != Kind::Text || kind != BoundKind::Equal) return k;
      if (!jet::guidTextBytes(lit.s)) return nothing();
      return use(lit);
    }
    default:
      return k;
  }
}

// One index walk: exact keys over the index's leading columns, or a key range.
struct Walk {
  const jet::LogicalIndex* index = nullptr;
  const jet::RealIndex* real = nullptr;
  const Column* column = nullptr;  // the index's first column
  bool forWhere = false;
  bool nothing = false;            // no row can match
  bool equality = false;
  size_t keyColumns = 0;           // equality: how many leading columns the keys cover
  std::vector<std::string> keys;   // equality: sorted
  std::string from;                // range: start key
  std::optional<std::string> high;
};

// At most this many exact keys for one walk (the product of the values of each column).
constexpr size_t kMaxKeys = 256;

std::string columnKey(const Column& c, bool ascending, const Value& v, bool start = false) {
  std::string key;
  if (start) jet::appendIndexKeyStart(key, c, ascending, v);
  else jet::appendIndexKey(key, c, ascending, v);
  return key;
}

const jet::RealIndex* realIndexOf(const jet::TableDef& def, const jet::LogicalIndex& li) {
  if (li.realIndex < 0 || size_t(li.realIndex) >= def.realIndexes.size()) return nullptr;
  const jet::RealIndex& ri = def.realIndexes[size_t(li.realIndex)];
  return ri.columns.empty() ? nullptr : &ri;
}

// Indexes whose first column is `column`, ascending; the one with the fewest columns first.
const jet::LogicalIndex* indexOn(const jet::TableDef& def, const Column& column, bool needEveryRow) {
  const jet::LogicalIndex* best = nullptr;
  size_t bestColumns = 0;
  for (auto& li : def.indexes) {
    const jet::RealIndex* ri = realIndexOf(def, li);
    if (!ri || ri->columns[0].columnNumber != column.number || !ri->columns[0].ascending) continue;
    if (needEveryRow && ri->ignoreNulls()) continue;
    if (!best || ri->columns.size() < bestColumns) {
      best = &li;
      bestColumns = ri->columns.size();
    }
  }
  return best;
}

const sql::SargTerm* equalityOn(const std::vector<sql::SargTerm>& terms, const Column& c) {
  for (auto& t : terms) {
    if (t.isEquality() && jet::sameName(t.column, c.name)) return &t;
  }
  return nullptr;
}

// The exact keys of one index that the equalities on its leading columns give, or nothing
// when its first column has none that the keys can express.
std::optional<Walk> equalityWalk(const jet::Format& f, const jet::TableDef& def, const jet::LogicalIndex& li,
                                 const std::vector<sql::SargTerm>& terms) {
  const jet::RealIndex* ri = realIndexOf(def, li);
  if (!ri) return std::nullopt;
  Walk w;
  w.index = &li;
  w.real = ri;
  w.column = def.columnByNumber(ri->columns[0].columnNumber);
  w.forWhere = true;
  w.equality = true;
  w.keys = {std::string()};
  for (const jet::IndexColumn& ic : ri->columns) {
    const Column* c = def.columnByNumber(ic.columnNumber);
    const sql::SargTerm* term = equalityOn(terms, *c);
    if (!term) break;
    std::vector<std::string> parts;
    bool usable = true, start = false;
    for (const Value& lit : term->values) {
      KeyValue k = keyValue(f, *c, lit, BoundKind::Equal);
      if (k.use == KeyUse::Unusable) usable = false;
      start = start || k.start;
      for (const Value& v : k.values) parts.push_back(columnKey(*c, ic.ascending, v, k.start));
    }
    if (!usable) break;
    ++w.keyColumns;
    if (parts.empty()) {
      w.nothing = true;
      break;
    }
    if (w.keys.size() * parts.size() > kMaxKeys) {
      --w.keyColumns;
      break;
    }
    std::vector<std::string> longer;
    for (const std::string& head : w.keys) {
      for (const std::string& part : parts) longer.push_back(head + part);
    }
    w.keys = std::move(longer);
    if (start) break;  // what follows a key's start is not known
  }
  if (w.keyColumns == 0) return std::nullopt;
  std::sort(w.keys.begin(), w.keys.end());
  w.keys.erase(std::unique(w.keys.begin(), w.keys.end()), w.keys.end());
  return w;
}

std::optional<Walk> rangeWalk(const jet::Format& f, const jet::TableDef& def, const sql::SargTerm& term) {
  const Column* c = def.findColumn(term.column);
  if (!c) return std::nullopt;
  const jet::LogicalIndex* li = indexOn(def, *c, false);
  if (!li) return std::nullopt;
  // Text keys order by the General sort, which need not agree with the evaluator's order.
  if (c->type == ColumnType::Text) return std::nullopt;
  Walk w;
  w.index = li;
  w.real = realIndexOf(def, *li);
  w.column = c;
  w.forWhere = true;
  KeyValue low = keyValue(f, *c, term.low, BoundKind::Low);
  KeyValue high = keyValue(f, *c, term.high, BoundKind::High);
  if (low.use == KeyUse::Unusable || high.use == KeyUse::Unusable) return std::nullopt;
  if (low.use == KeyUse::Nothing || high.use == KeyUse::Nothing) {
    w.nothing = true;
    return w;
  }
  w.from = low.open ? std::string(1, '\x7F') : columnKey(*c, true, low.values[0]);  // past the Nulls
  if (!high.open) w.high = columnKey(*c, true, high.values[0]);
  return w;
}

std::optional<Walk> chooseWalk(const jet::Format& f, const jet::TableDef& def, const sql::Expr* where,
                               const std::vector<sql::OrderTerm>& orderBy) {
  if (where) {
    const std::vector<sql::SargTerm> terms = sql::sargableTerms(*where);
    // Equalities first: the index whose keys cover the most columns, then the narrowest one;
    // on a tie the column named first in the clause.
    std::optional<Walk> best;
    for (const sql::SargTerm& term : terms) {
      if (!term.isEquality()) continue;
      for (const jet::LogicalIndex& li : def.indexes) {
        const jet::RealIndex* ri = realIndexOf(def, li);
        if (!ri || !jet::sameName(def.columnByNumber(ri->columns[0].columnNumber)->name, term.column)) continue;
        std::optional<Walk> w = equalityWalk(f, def, li, terms);
        if (!w) continue;
        if (w->nothing) return w;
        if (!best || w->keyColumns > best->keyColumns ||
            (w->keyColumns == best->keyColumns && w->real->columns.size() < best->real->columns.size())) {
          best = std::move(w);
        }
      }
    }
    if (best) return best;
    for (const sql::SargTerm& term : terms) {
      if (term.isEquality()) continue;
      if (std::optional<Walk> w = rangeWalk(f, def, term)) return w;
    }
  }
  if (orderBy.size() == 1 && !orderBy[0].descending) {
    const Column* c = def.findColumn(orderBy[0].column);
    if (c && c->type != ColumnType::Text && c->type != ColumnType::Memo) {
      if (const jet::LogicalIndex* li = indexOn(def, *c, true)) {
        Walk w;
        w.index = li;
        w.real = realIndexOf(def, *li);
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
  if (!w || orderBy.size() != 1 || orderBy[0].descending || !w->real->columns[0].ascending) return false;
  if (w->column->type == ColumnType::Text || w->column->type == ColumnType::Memo) return false;
  return jet::sameName(w->column->name, orderBy[0].column);
}

// Calls `onRow` for each row the walk finds, with its place in the index's order and the fields
// `columns` marks, as the check read them; the rows come in the order of their addresses.
void walkRows(jet::Table& table, const Walk& w, const std::vector<bool>& columns,
              const std::function<void(size_t, jet::RowId, const jet::RawRow&)>& onRow) {
  if (w.nothing) return;
  std::vector<jet::IndexStretch> stretches;
  if (w.equality) {
    for (const std::string& key : w.keys) {
      stretches.push_back({key, [&key](const jet::IndexEntry& e) { return e.key.compare(0, key.size(), key) == 0; }});
    }
  } else {
    stretches.push_back({w.from, [&w](const jet::IndexEntry& e) {
                           return !w.high || e.key.compare(0, w.high->size(), *w.high) <= 0;
                         }});
  }
  // The rows found are only as good as the index: the stretches walked are checked against them.
  jet::readIndexStretchesChecked(table, *w.real, stretches, onRow, &columns);
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

QueryPlan planQuery(jet::Table& table, const sql::Expr* where, const std::vector<sql::OrderTerm>& orderBy) {
  QueryPlan plan;
  std::optional<Walk> w = chooseWalk(table.database().format(), table.def(), where, orderBy);
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

  std::optional<Walk> walk = useIndexes ? chooseWalk(table.database().format(), def, where, orderBy) : std::nullopt;
  const bool sort = !walkGivesOrder(walk, orderBy);

  // Order columns' values of each selected row, kept only when sorting in memory.
  std::vector<size_t> orderColumns;
  for (auto& t : orderBy) orderColumns.push_back(size_t(table.columnIndex(t.column)));
  struct Selected {
    jet::RowId id;
    size_t place = 0;  // in the index walked
    std::vector<jet::Value> sortValues;
  };
  std::vector<Selected> selected;

  // The clause's names, found once among the columns: each row's values are then looked up by
  // the name as the clause spells it.
  std::vector<std::pair<std::string, size_t>> spelled;
  if (where) {
    std::vector<std::string> names;
    collectNames(*where, names);
    for (auto& n : names) spelled.emplace_back(n, size_t(table.columnIndex(n)));
  }
  auto consider = [&](jet::RowId id, size_t place, const std::vector<jet::Value>& row) {
    const sql::FieldLookup lookup = [&](const std::string& name) -> jet::Value {
      for (auto& [n, at] : spelled) if (n == name) return row[at];
      return rowLookup(def, row)(name);
    };
    if (where && !sql::matches(*where, lookup)) return;
    Selected s{id, place, {}};
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
  // One row's values, the same room for each row: the columns not needed stay Null.
  std::vector<jet::Value> row(def.columns.size());
  auto decodeNeeded = [&](const jet::RawRow& raw) -> const std::vector<jet::Value>& {
    for (size_t i = 0; i < def.columns.size(); ++i) {
      if (needed[i]) row[i] = jet::decodeField(db.file(), db.format(), def.columns[i], raw, i);
    }
    return row;
  };
  if (walk) {
    // The walk reads the rows page by page; they are kept in the index's order.
    walkRows(table, *walk, needed,
             [&](size_t place, jet::RowId id, const jet::RawRow& raw) { consider(id, place, decodeNeeded(raw)); });
    std::sort(selected.begin(), selected.end(), [](const Selected& a, const Selected& b) { return a.place < b.place; });
  } else {
    jet::RawRow raw;
    table.scan([&](jet::RowId id, jet::Bytes bytes) {
      jet::splitRow(db.format(), def, bytes, raw);
      consider(id, 0, decodeNeeded(raw));
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
