#include "db/sql_eval.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "db/jet_date.h"
#include "db/sql_functions.h"
#include "db/value_convert.h"
#include "jet/base/error.h"
#include "jet/index/text_sort_general.h"

namespace db::sql {
namespace {

using jet::Value;
using Kind = jet::Value::Kind;
using Op = Expr::Op;

[[noreturn]] void criteriaMismatch() {
  throw jet::Error(jet::err::kCriteriaMismatch, "Data type mismatch in criteria expression.");
}

// ---- text ----

// Lower case for ASCII, Latin-1, Latin Extended-A, basic Greek and Cyrillic.
char32_t foldChar(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  if (c == 0x178) return 0xFF;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

// Code points of UTF-8 text, folded; a byte that starts no valid sequence stands for itself.
std::u32string folded(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len > 0 && i + len <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      const unsigned char cb = static_cast<unsigned char>(s[i + k]);
      if ((cb & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (cb & 0x3F);
    }
    if (!ok) {
      c = b;
      len = 1;
    }
    out.push_back(foldChar(c));
    i += len;
  }
  return out;
}

// Text that differs in more than letter case orders as its index keys do (the General sort
// order: accented letters among their base letters, a hyphen or apostrophe counting only after
// the letters), and by folded code points where the keys cannot tell (past the indexed length,
// broken UTF-8).
int compareText(std::string_view a, std::string_view b) {
  const std::u32string fa = folded(a), fb = folded(b);
  if (fa == fb) return 0;
  std::string ka, kb;
  try {
    jet::appendGeneralTextKey(ka, a, true);
    jet::appendGeneralTextKey(kb, b, true);
  } catch (const jet::Error&) {
    ka.clear();
    kb.clear();
  }
  if (ka != kb) return ka < kb ? -1 : 1;
  return fa < fb ? -1 : 1;
}

// ---- comparisons ----

bool isIntegral(Kind k) { return k == Kind::Byte || k == Kind::Integer || k == Kind::Long || k == Kind::Boolean; }
bool isTextual(Kind k) { return k == Kind::Text || k == Kind::Guid; }

int64_t integralOf(const Value& v) { return v.kind == Kind::Boolean ? (v.b ? -1 : 0) : v.i; }

int compareNumbers(const Value& a, const Value& b) {
  if (isIntegral(a.kind) && isIntegral(b.kind)) {
    const int64_t x = integralOf(a), y = integralOf(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (a.kind == Kind::Currency && b.kind == Kind::Currency) return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
  const double x = numberOf(a), y = numberOf(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

// Jet's comparison in criteria; both values are non-Null. Throws 3464 for unlike kinds.
int compareCriteria(const Value& a, const Value& b) {
  if (a.isNumeric() && b.isNumeric()) return compareNumbers(a, b);
  if (isTextual(a.kind) && isTextual(b.kind)) return compareText(a.s, b.s);
  if (a.kind == Kind::Date && b.kind == Kind::Text) {
    auto d = parseJetDate(b.s);
    if (!d) criteriaMismatch();
    return compareNumbers(a, Value::date(*d));
  }
  if (a.kind == Kind::Text && b.kind == Kind::Date) return -compareCriteria(b, a);
  if (a.kind == Kind::Binary && b.kind == Kind::Binary) {
    const int c = a.s.compare(b.s);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  criteriaMismatch();
}

// ---- three-valued logic: Null, or a Boolean ----

std::optional<bool> truthOf(const Value& v) {
  if (v.isNull()) return std::nullopt;
  if (v.kind == Kind::Boolean) return v.b;
  if (v.isNumeric()) return numberOf(v) != 0;
  criteriaMismatch();
}

Value logical(std::optional<bool> t) { return t ? Value::boolean(*t) : Value::null(); }

std::optional<bool> and3(std::optional<bool> a, std::optional<bool> b) {
  if (a == false || b == false) return false;
  if (!a || !b) return std::nullopt;
  return true;
}

std::optional<bool> or3(std::optional<bool> a, std::optional<bool> b) {
  if (a == true || b == true) return true;
  if (!a || !b) return std::nullopt;
  return false;
}

std::optional<bool> not3(std::optional<bool> a) {
  if (!a) return std::nullopt;
  return !*a;
}

// a op b for a comparison operator, Null when either side is Null.
std::optional<bool> compare3(Op op, const Value& a, const Value& b) {
  if (a.isNull() || b.isNull()) return std::nullopt;
  const int c = compareCriteria(a, b);
  switch (op) {
    case Op::Eq: return c == 0;
    case Op::Ne: return c != 0;
    case Op::Lt: return c < 0;
    case Op::Le: return c <= 0;
    case Op::Gt: return c > 0;
    default: return c >= 0;
  }
}

// ---- arithmetic ----

// A number operand of arithmetic: numbers as they are, numeric text parsed; else 3464.
Value arithmeticOperand(const Value& v) {
  if (v.isNumeric()) return v;
  if (v.kind == Kind::Text) {
    if (auto d = parseNumber(v.s)) return Value::double_(*d);
  }
  criteriaMismatch();
}

Value integralResult(long double x) {
  if (x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max())
    return Value::long_(static_cast<int32_t>(x));
  return Value::double_(static_cast<double>(x));
}

[[noreturn]] void divisionByZero() { throw jet::Error(db::err::kDivisionByZero, "Division by zero"); }

Value arithmetic(Op op, const Value& left, const Value& right) {
  if (left.isNull() || right.isNull()) return Value::null();
  if (op == Op::Add && left.kind == Kind::Text && right.kind == Kind::Text) return Value::text(left.s + right.s);
  const Value a = arithmeticOperand(left), b = arithmeticOperand(right);
  const double x = numberOf(a), y = numberOf(b);
  switch (op) {
    case Op::Add:
    case Op::Sub: {
      if (a.kind == Kind::Date || b.kind == Kind::Date) {
        const double r = op == Op::Add ? x + y : x - y;
        if (op == Op::Sub && a.kind == Kind::Date && b.kind == Kind::Date) return Value::double_(r);
        return Value::date(r);
      }
      if (isIntegral(a.kind) && isIntegral(b.kind)) {
        const long double r = op == Op::Add ? (long double)integralOf(a) + integralOf(b)
                                            : (long double)integralOf(a) - integralOf(b);
        return integralResult(r);
      }
      if ((a.kind == Kind::Currency || isIntegral(a.kind)) && (b.kind == Kind::Currency || isIntegral(b.kind))) {
        const int64_t ca = a.kind == Kind::Currency ? a.i : integralOf(a) * 10000;
        const int64_t cb = b.kind == Kind::Currency ? b.i : integralOf(b) * 10000;
        return Value::currency(op == Op::Add ? ca + cb : ca - cb);
      }
      return Value::double_(op == Op::Add ? x + y : x - y);
    }
    case Op::Mul:
      if (isIntegral(a.kind) && isIntegral(b.kind)) return integralResult((long double)integralOf(a) * integralOf(b));
      return Value::double_(x * y);
    case Op::Div:
      if (y == 0) divisionByZero();
      return Value::double_(x / y);
    case Op::IntDiv:
    case Op::Mod: {
      const double rx = bankersRound(x), ry = bankersRound(y);
      if (ry == 0) divisionByZero();
      if (op == Op::IntDiv) return integralResult(std::trunc(rx / ry));
      return integralResult(std::fmod(rx, ry));
    }
    default: return Value::null();
  }
}

Value negate(const Value& v) {
  if (v.isNull()) return v;
  const Value a = arithmeticOperand(v);
  if (isIntegral(a.kind)) return integralResult(-(long double)integralOf(a));
  if (a.kind == Kind::Currency) return Value::currency(-a.i);
  if (a.kind == Kind::Date) return Value::date(-a.d);
  return Value::double_(-numberOf(a));
}

// ---- LIKE ----

struct PatternItem {
  enum Kind { Star, Any, Digit, Char, Set } kind;
  explicit PatternItem(Kind k) : kind(k) {}
  char32_t c = 0;
  std::vector<std::pair<char32_t, char32_t>> ranges;  // Set
  bool negated = false;                               // Set
};

std::vector<PatternItem> compilePattern(const std::u32string& p) {
  std::vector<PatternItem> out;
  for (size_t i = 0; i < p.size(); ++i) {
    const char32_t c = p[i];
    if (c == U'*') {
      if (out.empty() || out.back().kind != PatternItem::Star) out.push_back(PatternItem(PatternItem::Star));
    } else if (c == U'?') {
      out.push_back(PatternItem(PatternItem::Any));
    } else if (c == U'#') {
      out.push_back(PatternItem(PatternItem::Digit));
    } else if (c == U'[') {
      const size_t close = p.find(U']', i + 1);
      if (close == std::u32string::npos) throw jet::Error(err::kInvalidPattern, "Invalid pattern string");
      PatternItem set(PatternItem::Set);
      size_t j = i + 1;
      if (j < close && p[j] == U'!') {
        set.negated = true;
        ++j;
      }
      for (; j < close; ++j) {
        if (j + 2 < close && p[j + 1] == U'-') {
          set.ranges.push_back({p[j], p[j + 2]});
          j += 2;
        } else {
          set.ranges.push_back({p[j], p[j]});
        }
      }
      if (!set.ranges.empty() || set.negated) out.push_back(std::move(set));  // "[]" matches nothing extra
      i = close;
    } else {
      PatternItem item(PatternItem::Char);
      item.c = c;
      out.push_back(std::move(item));
    }
  }
  return out;
}

bool itemMatches(const PatternItem& item, char32_t c) {
  switch (item.kind) {
    case PatternItem::Any: return true;
    case PatternItem::Digit: return c >= U'0' && c <= U'9';
    case PatternItem::Char: return c == item.c;
    case PatternItem::Set: {
      bool in = false;
      for (const auto& [lo, hi] : item.ranges) in = in || (c >= lo && c <= hi);
      return in != item.negated;
    }
    default: return false;
  }
}

}  // namespace

bool likeMatch(std::string_view text, std::string_view pattern) {
  const std::u32string t = folded(text);
  const std::vector<PatternItem> p = compilePattern(folded(pattern));
  // Greedy match with backtracking to the last star.
  size_t ti = 0, pi = 0, starP = std::string::npos, starT = 0;
  while (ti < t.size()) {
    if (pi < p.size() && p[pi].kind == PatternItem::Star) {
      starP = pi++;
      starT = ti;
    } else if (pi < p.size() && itemMatches(p[pi], t[ti])) {
      ++pi;
      ++ti;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      ti = ++starT;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi].kind == PatternItem::Star) ++pi;
  return pi == p.size();
}

Value eval(const Expr& e, const FieldLookup& field) {
  switch (e.op) {
    case Op::Literal: return e.value;
    case Op::Column: return field(e.name);
    case Op::Not: return logical(not3(truthOf(eval(e.args[0], field))));
    case Op::Negate: return negate(eval(e.args[0], field));
    case Op::And: {
      const auto a = truthOf(eval(e.args[0], field));
      if (a == false) return Value::boolean(false);
      return logical(and3(a, truthOf(eval(e.args[1], field))));
    }
    case Op::Or: {
      const auto a = truthOf(eval(e.args[0], field));
      if (a == true) return Value::boolean(true);
      return logical(or3(a, truthOf(eval(e.args[1], field))));
    }
    case Op::Eq:
    case Op::Ne:
    case Op::Lt:
    case Op::Le:
    case Op::Gt:
    case Op::Ge: return logical(compare3(e.op, eval(e.args[0], field), eval(e.args[1], field)));
    case Op::IsNull: return Value::boolean(eval(e.args[0], field).isNull() != e.negated);
    case Op::Like: {
      const Value a = eval(e.args[0], field), p = eval(e.args[1], field);
      if (a.isNull() || p.isNull()) return Value::null();
      return Value::boolean(likeMatch(textOf(a), textOf(p)) != e.negated);
    }
    case Op::Between: {
      const Value x = eval(e.args[0], field);
      const auto r = and3(compare3(Op::Ge, x, eval(e.args[1], field)), compare3(Op::Le, x, eval(e.args[2], field)));
      return logical(e.negated ? not3(r) : r);
    }
    case Op::In: {
      const Value x = eval(e.args[0], field);
      std::optional<bool> r = false;
      for (size_t i = 1; i < e.args.size() && r != true; ++i) r = or3(r, compare3(Op::Eq, x, eval(e.args[i], field)));
      return logical(e.negated ? not3(r) : r);
    }
    case Op::Call: {
      std::vector<Value> args;
      args.reserve(e.args.size());
      for (const Expr& a : e.args) args.push_back(eval(a, field));
      return callFunction(e.name, args);
    }
    case Op::Concat: {
      const Value a = eval(e.args[0], field), b = eval(e.args[1], field);
      if (a.isNull() && b.isNull()) return Value::null();
      return Value::text((a.isNull() ? "" : textOf(a)) + (b.isNull() ? "" : textOf(b)));
    }
    case Op::Add:
    case Op::Sub:
    case Op::Mul:
    case Op::Div:
    case Op::IntDiv:
    case Op::Mod: return arithmetic(e.op, eval(e.args[0], field), eval(e.args[1], field));
  }
  return Value::null();
}

std::optional<bool> truthValue(const Value& v) { return truthOf(v); }

bool matches(const Expr& e, const FieldLookup& field) { return truthOf(eval(e, field)).value_or(false); }

int compareValues(const Value& a, const Value& b) {
  auto rank = [](const Value& v) {
    if (v.isNull()) return 0;
    if (v.isNumeric()) return 1;
    if (isTextual(v.kind)) return 2;
    return 3;
  };
  const int ra = rank(a), rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  switch (ra) {
    case 0: return 0;
    case 1: return compareNumbers(a, b);
    case 2: return compareText(a.s, b.s);
    default: {
      const int c = a.s.compare(b.s);
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
  }
}

// ---- sargable terms ----
namespace {

bool isConstant(const Expr& e) { return e.op == Op::Literal && !e.value.isNull(); }

// Adds the constants of an OR of equalities on one column; false when the tree is anything else.
bool collectEqualities(const Expr& e, std::string& column, std::vector<Value>& values) {
  auto sameColumn = [&](const std::string& name) {
    if (column.empty()) column = name;
    return compareText(column, name) == 0;
  };
  auto add = [&](const Value& v) {
    for (const Value& have : values) {
      if (compareValues(have, v) == 0 && have.kind == v.kind) return;
    }
    values.push_back(v);
  };
  switch (e.op) {
    case Op::Or: return collectEqualities(e.args[0], column, values) && collectEqualities(e.args[1], column, values);
    case Op::Eq: {
      const Expr* col = &e.args[0];
      const Expr* lit = &e.args[1];
      if (col->op != Op::Column) std::swap(col, lit);
      if (col->op != Op::Column || !isConstant(*lit) || !sameColumn(col->name)) return false;
      add(lit->value);
      return true;
    }
    case Op::In: {
      if (e.negated || e.args[0].op != Op::Column || !sameColumn(e.args[0].name)) return false;
      for (size_t i = 1; i < e.args.size(); ++i) {
        if (e.args[i].op != Op::Literal) return false;
      }
      for (size_t i = 1; i < e.args.size(); ++i) {
        if (!e.args[i].value.isNull()) add(e.args[i].value);
      }
      return true;
    }
    default: return false;
  }
}

void collectTerms(const Expr& e, std::vector<SargTerm>& out) {
  switch (e.op) {
    case Op::And:
      collectTerms(e.args[0], out);
      collectTerms(e.args[1], out);
      return;
    case Op::Eq:
    case Op::Or:
    case Op::In: {
      SargTerm t;
      if (collectEqualities(e, t.column, t.values) && !t.values.empty()) out.push_back(std::move(t));
      return;
    }
    case Op::Lt:
    case Op::Le:
    case Op::Gt:
    case Op::Ge: {
      Op op = e.op;
      const Expr* col = &e.args[0];
      const Expr* lit = &e.args[1];
      if (col->op != Op::Column) {  // 5 < x is x > 5
        std::swap(col, lit);
        op = op == Op::Lt ? Op::Gt : op == Op::Le ? Op::Ge : op == Op::Gt ? Op::Lt : Op::Le;
      }
      if (col->op != Op::Column || !isConstant(*lit)) return;
      SargTerm t;
      t.column = col->name;
      if (op == Op::Gt || op == Op::Ge) {
        t.low = lit->value;
        t.lowInclusive = op == Op::Ge;
      } else {
        t.high = lit->value;
        t.highInclusive = op == Op::Le;
      }
      out.push_back(std::move(t));
      return;
    }
    case Op::Between: {
      if (e.negated || e.args[0].op != Op::Column || !isConstant(e.args[1]) || !isConstant(e.args[2])) return;
      SargTerm t;
      t.column = e.args[0].name;
      t.low = e.args[1].value;
      t.high = e.args[2].value;
      t.lowInclusive = t.highInclusive = true;
      out.push_back(std::move(t));
      return;
    }
    default: return;
  }
}

}  // namespace

std::vector<SargTerm> sargableTerms(const Expr& where) {
  std::vector<SargTerm> out;
  collectTerms(where, out);
  return out;
}

}  // namespace db::sql
