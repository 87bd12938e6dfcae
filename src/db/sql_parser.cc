#include "db/sql_parser.h"

#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <limits>

#include "db/jet_date.h"
#include "db/sql_lexer.h"
#include "jet/base/error.h"

namespace db::sql {
namespace {

using Kind = Token::Kind;

// Bare words that end a name list or an expression; they are never column or table names.
const char* const kReserved[] = {"SELECT", "FROM",   "WHERE", "ORDER", "BY",     "AND",    "OR",     "NOT",
                                 "IS",     "LIKE",   "BETWEEN", "IN",  "NULL",   "INSERT", "INTO",   "VALUES",
                                 "UPDATE", "SET",    "DELETE", "CREATE", "TABLE", "INDEX", "ON",     "WITH",
                                 "ASC",    "DESC",   "MOD",    "TRUE", "FALSE",  "CONSTRAINT", "PRIMARY", "KEY",
                                 "UNIQUE", "DROP",   "ALTER",  "ADD"};

struct TypeName {
  const char* name;
  jet::ColumnType type;
  uint16_t size;
  bool autoNumber;
};

const TypeName kTypes[] = {
    {"TEXT", jet::ColumnType::Text, 510, false},        {"VARCHAR", jet::ColumnType::Text, 510, false},
    {"CHAR", jet::ColumnType::Text, 510, false},        {"CHARACTER", jet::ColumnType::Text, 510, false},
    {"STRING", jet::ColumnType::Text, 510, false},      {"ALPHANUMERIC", jet::ColumnType::Text, 510, false},
    {"NVARCHAR", jet::ColumnType::Text, 510, false},    {"NCHAR", jet::ColumnType::Text, 510, false},
    {"MEMO", jet::ColumnType::Memo, 0, false},          {"LONGTEXT", jet::ColumnType::Memo, 0, false},
    {"LONGCHAR", jet::ColumnType::Memo, 0, false},      {"NOTE", jet::ColumnType::Memo, 0, false},
    {"NTEXT", jet::ColumnType::Memo, 0, false},         {"BYTE", jet::ColumnType::Byte, 1, false},
    {"TINYINT", jet::ColumnType::Byte, 1, false},       {"INTEGER1", jet::ColumnType::Byte, 1, false},
    {"SHORT", jet::ColumnType::Integer, 2, false},      {"SMALLINT", jet::ColumnType::Integer, 2, false},
    {"INTEGER2", jet::ColumnType::Integer, 2, false},   {"INTEGER", jet::ColumnType::Long, 4, false},
    {"INT", jet::ColumnType::Long, 4, false},           {"LONG", jet::ColumnType::Long, 4, false},
    {"INTEGER4", jet::ColumnType::Long, 4, false},      {"COUNTER", jet::ColumnType::Long, 4, true},
    {"AUTOINCREMENT", jet::ColumnType::Long, 4, true},  {"IDENTITY", jet::ColumnType::Long, 4, true},
    {"CURRENCY", jet::ColumnType::Currency, 8, false},  {"MONEY", jet::ColumnType::Currency, 8, false},
    {"SINGLE", jet::ColumnType::Single, 4, false},      {"REAL", jet::ColumnType::Single, 4, false},
    {"FLOAT4", jet::ColumnType::Single, 4, false},      {"IEEESINGLE", jet::ColumnType::Single, 4, false},
    {"DOUBLE", jet::ColumnType::Double, 8, false},      {"FLOAT", jet::ColumnType::Double, 8, false},
    {"FLOAT8", jet::ColumnType::Double, 8, false},      {"IEEEDOUBLE", jet::ColumnType::Double, 8, false},
    {"NUMBER", jet::ColumnType::Double, 8, false},      {"DATETIME", jet::ColumnType::DateTime, 8, false},
    {"DATE", jet::ColumnType::DateTime, 8, false},      {"TIME", jet::ColumnType::DateTime, 8, false},
    {"TIMESTAMP", jet::ColumnType::DateTime, 8, false}, {"BIT", jet::ColumnType::Boolean, 1, false},
    {"YESNO", jet::ColumnType::Boolean, 1, false},      {"LOGICAL", jet::ColumnType::Boolean, 1, false},
    {"LOGICAL1", jet::ColumnType::Boolean, 1, false},   {"BOOLEAN", jet::ColumnType::Boolean, 1, false},
    {"LONGBINARY", jet::ColumnType::Ole, 0, false},     {"OLEOBJECT", jet::ColumnType::Ole, 0, false},
    {"GENERAL", jet::ColumnType::Ole, 0, false},        {"IMAGE", jet::ColumnType::Ole, 0, false},
    {"BINARY", jet::ColumnType::Binary, 255, false},    {"VARBINARY", jet::ColumnType::Binary, 255, false},
    {"GUID", jet::ColumnType::Guid, 16, false},         {"UNIQUEIDENTIFIER", jet::ColumnType::Guid, 16, false},
    {"DECIMAL", jet::ColumnType::Numeric, 17, false},   {"NUMERIC", jet::ColumnType::Numeric, 17, false},
    {"DEC", jet::ColumnType::Numeric, 17, false},
};

class Parser {
 public:
  explicit Parser(std::string_view text) : src_(text), toks_(tokenize(text)) {}

  Statement statement() {
    if (acceptKeyword("SELECT")) return select();
    if (acceptKeyword("DELETE")) return deleteStatement();
    if (acceptKeyword("INSERT")) return insert();
    if (acceptKeyword("UPDATE")) return update();
    if (acceptKeyword("CREATE")) {
      if (acceptKeyword("TABLE")) return createTable();
      const bool unique = acceptKeyword("UNIQUE");
      if (acceptKeyword("INDEX")) return createIndex(unique);
      fail(unique ? err::kSyntaxCreateIndex : err::kInvalidStatement, "");
    }
    if (acceptKeyword("DROP")) return drop();
    if (acceptKeyword("ALTER")) return alter();
    fail(err::kInvalidStatement, "");
  }

  Expr criterion() {
    exprStart_ = peek().offset;
    Expr e = expression();
    acceptSymbol(";");
    if (peek().kind != Kind::End) exprFail();
    return e;
  }

  // A column's validation rule: its parts at the top are about `column` (see parseValidationRule).
  Expr rule(const std::string& column) {
    ruleColumn_ = &column;
    exprStart_ = peek().offset;
    Expr e = expression();
    acceptSymbol(";");
    if (peek().kind != Kind::End) exprFail();
    return e;
  }

 private:
  // ---- tokens ----
  const Token& peek(size_t ahead = 0) const {
    const size_t i = pos_ + ahead;
    return i < toks_.size() ? toks_[i] : toks_.back();
  }
  const Token& next() {
    const Token& t = peek();
    if (pos_ < toks_.size() - 1) ++pos_;
    return t;
  }
  bool acceptKeyword(std::string_view kw) {
    if (!peek().isKeyword(kw)) return false;
    next();
    return true;
  }
  bool acceptSymbol(std::string_view s) {
    if (!peek().isSymbol(s)) return false;
    next();
    return true;
  }
  void expectKeyword(std::string_view kw, int code) {
    if (!acceptKeyword(kw)) fail(code, "");
  }
  void expectSymbol(std::string_view s, int code) {
    if (!acceptSymbol(s)) fail(code, "");
  }
  // The statement ends here, but for an optional ';'.
  void expectEnd(int code) {
    acceptSymbol(";");
    if (peek().kind != Kind::End) fail(code, "");
  }

  static bool isReserved(const Token& t) {
    for (const char* kw : kReserved) {
      if (t.isKeyword(kw)) return true;
    }
    return false;
  }

  // A table, column or index name; a qualifier "x." before it is dropped.
  std::string name(int code) {
    const Token& t = peek();
    if (t.kind != Kind::Name || isReserved(t)) fail(code, "");
    std::string n = next().text;
    while (peek().isSymbol(".") && peek(1).kind == Kind::Name) {
      next();
      n = next().text;
    }
    return n;
  }

  [[noreturn]] void fail(int code, const std::string& detail) {
    std::string what;
    switch (code) {
      case err::kInvalidStatement:
        what = "Not a valid SQL statement: expected SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER or DROP.";
        break;
      case err::kSyntaxFrom: what = "Syntax error in the FROM clause."; break;
      case err::kSyntaxInsert: what = "Syntax error in the INSERT INTO statement."; break;
      case err::kSyntaxOrderBy: what = "Syntax error in the ORDER BY clause."; break;
      case err::kSyntaxSelect: what = "Syntax error in the SELECT statement."; break;
      case err::kSyntaxUpdate: what = "Syntax error in the UPDATE statement."; break;
      case err::kSyntaxCreateTable: what = "Syntax error in the CREATE TABLE statement."; break;
      case err::kSyntaxCreateIndex: what = "Syntax error in the CREATE INDEX statement."; break;
      case err::kSyntaxConstraint: what = "Syntax error in a CONSTRAINT clause."; break;
      case err::kSyntaxFieldDef: what = "Syntax error in a field definition."; break;
      case err::kSyntaxAlterTable: what = "Syntax error in the ALTER TABLE statement."; break;
      case err::kSyntaxDrop: what = "Syntax error in the DROP TABLE or DROP INDEX statement."; break;
      case err::kInvalidFieldType: what = "Unknown field data type '" + detail + "'."; break;
      case err::kValueCount: what = "The INSERT INTO statement has a different number of values and fields."; break;
      default: what = "Syntax error in the SQL statement."; break;
    }
    throw jet::Error(code, what);
  }

  // ---- expressions ----
  [[noreturn]] void exprFail() {
    std::string_view text = src_.substr(std::min(exprStart_, src_.size()));
    while (!text.empty() && (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == ';'))
      text.remove_suffix(1);
    throw jet::Error(jet::err::kSyntaxQuery, "Syntax error in the expression '" + std::string(text) + "'.");
  }

  // An expression starting here; errors quote the text from here on.
  Expr expressionAt() {
    exprStart_ = peek().offset;
    return expression();
  }

  // Expressions are parsed, evaluated and freed by recursion: their depth is bounded, as Jet
  // bounds it, so that no text can run the stack out.
  static constexpr int kMaxNesting = 100;         // parentheses, NOT and signs inside each other
  static constexpr size_t kMaxOperators = 1000;   // operators in one statement
  [[noreturn]] static void tooComplex() { throw jet::Error(jet::err::kQueryTooComplex, "Query is too complex."); }
  struct Nesting {
    explicit Nesting(int& depth) : depth_(depth) { if (++depth_ > kMaxNesting) tooComplex(); }
    ~Nesting() { --depth_; }
    int& depth_;
  };

  Expr node(Expr::Op op, std::vector<Expr> args, bool negated = false) {
    if (++operators_ > kMaxOperators) tooComplex();
    Expr e;
    e.op = op;
    e.args = std::move(args);
    e.negated = negated;
    return e;
  }
  Expr binary(Expr::Op op, Expr a, Expr b) {
    std::vector<Expr> args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    return node(op, std::move(args));
  }
  static Expr literal(jet::Value v) {
    Expr e;
    e.op = Expr::Op::Literal;
    e.value = std::move(v);
    return e;
  }

  Expr expression() {
    Nesting in(nesting_);
    ++expressionDepth_;
    Expr e = orExpr();
    --expressionDepth_;
    return e;
  }

  // Whether a part of a column's validation rule is being read: the operands of its outermost
  // And, Or and Not, not those inside parentheses, lists or function calls.
  bool rulePart() const { return ruleColumn_ && expressionDepth_ == 1; }
  bool startsWithOperator() const {
    for (const char* sym : {"=", "<>", "<", "<=", ">", ">="}) if (peek().isSymbol(sym)) return true;
    if (peek().isKeyword("IS") || peek().isKeyword("LIKE") || peek().isKeyword("BETWEEN") || peek().isKeyword("IN")) return true;
    return peek().isKeyword("NOT") &&
           (peek(1).isKeyword("LIKE") || peek(1).isKeyword("BETWEEN") || peek(1).isKeyword("IN"));
  }
  Expr ruleColumn() {
    Expr e;
    e.op = Expr::Op::Column;
    e.name = *ruleColumn_;
    return e;
  }

  Expr orExpr() {
    Expr left = andExpr();
    while (acceptKeyword("OR")) left = binary(Expr::Op::Or, std::move(left), andExpr());
    return left;
  }

  Expr andExpr() {
    Expr left = notExpr();
    while (acceptKeyword("AND")) left = binary(Expr::Op::And, std::move(left), notExpr());
    return left;
  }

  Expr notExpr() {
    if (acceptKeyword("NOT")) {
      Nesting in(nesting_);
      std::vector<Expr> args;
      args.push_back(notExpr());
      return node(Expr::Op::Not, std::move(args));
    }
    return comparison();
  }

  Expr comparison() {
    // In a validation rule, a part that opens with an operator has the column before it, and a
    // part that is a value alone is the column equal to it: ">0 And <10", "0 Or >100".
    const bool part = rulePart();
    const bool implicit = part && startsWithOperator();
    Expr left = implicit ? ruleColumn() : concat();
    if (part && !implicit && !startsWithOperator()) return binary(Expr::Op::Eq, ruleColumn(), std::move(left));
    static const std::pair<const char*, Expr::Op> kOps[] = {{"=", Expr::Op::Eq},  {"<>", Expr::Op::Ne},
                                                             {"<", Expr::Op::Lt},  {"<=", Expr::Op::Le},
                                                             {">", Expr::Op::Gt},  {">=", Expr::Op::Ge}};
    for (const auto& [sym, op] : kOps) {
      if (acceptSymbol(sym)) return binary(op, std::move(left), concat());
    }
    if (acceptKeyword("IS")) {
      const bool negated = acceptKeyword("NOT");
      if (!acceptKeyword("NULL")) exprFail();
      std::vector<Expr> args;
      args.push_back(std::move(left));
      return node(Expr::Op::IsNull, std::move(args), negated);
    }
    bool negated = false;
    if (peek().isKeyword("NOT") &&
        (peek(1).isKeyword("LIKE") || peek(1).isKeyword("BETWEEN") || peek(1).isKeyword("IN"))) {
      next();
      negated = true;
    }
    if (acceptKeyword("LIKE")) {
      Expr e = binary(Expr::Op::Like, std::move(left), concat());
      e.negated = negated;
      return e;
    }
    if (acceptKeyword("BETWEEN")) {
      std::vector<Expr> args;
      args.push_back(std::move(left));
      args.push_back(concat());
      if (!acceptKeyword("AND")) exprFail();
      args.push_back(concat());
      return node(Expr::Op::Between, std::move(args), negated);
    }
    if (acceptKeyword("IN")) {
      if (!acceptSymbol("(")) exprFail();
      std::vector<Expr> args;
      args.push_back(std::move(left));
      do {
        args.push_back(expression());
      } while (acceptSymbol(","));
      if (!acceptSymbol(")")) exprFail();
      return node(Expr::Op::In, std::move(args), negated);
    }
    return left;
  }

  Expr concat() {
    Expr left = additive();
    while (acceptSymbol("&")) left = binary(Expr::Op::Concat, std::move(left), additive());
    return left;
  }

  Expr additive() {
    Expr left = modulo();
    while (true) {
      if (acceptSymbol("+")) {
        left = binary(Expr::Op::Add, std::move(left), modulo());
      } else if (acceptSymbol("-")) {
        left = binary(Expr::Op::Sub, std::move(left), modulo());
      } else {
        return left;
      }
    }
  }

  Expr modulo() {
    Expr left = intDivision();
    while (acceptKeyword("MOD")) left = binary(Expr::Op::Mod, std::move(left), intDivision());
    return left;
  }

  Expr intDivision() {
    Expr left = multiplicative();
    while (acceptSymbol("\\")) left = binary(Expr::Op::IntDiv, std::move(left), multiplicative());
    return left;
  }

  Expr multiplicative() {
    Expr left = unary();
    while (true) {
      if (acceptSymbol("*")) {
        left = binary(Expr::Op::Mul, std::move(left), unary());
      } else if (acceptSymbol("/")) {
        left = binary(Expr::Op::Div, std::move(left), unary());
      } else {
        return left;
      }
    }
  }

  Expr unary() {
    if (acceptSymbol("+")) {
      Nesting in(nesting_);
      return unary();
    }
    if (acceptSymbol("-")) {
      Nesting in(nesting_);
      Expr operand = unary();
      if (operand.op == Expr::Op::Literal) {  // fold -69 into a literal
        jet::Value& v = operand.value;
        if (v.kind == jet::Value::Kind::Long && v.i != std::numeric_limits<int32_t>::min()) {
          v.i = -v.i;
          return operand;
        }
        if (v.kind == jet::Value::Kind::Double) {
          v.d = -v.d;
          return operand;
        }
      }
      std::vector<Expr> args;
      args.push_back(std::move(operand));
      return node(Expr::Op::Negate, std::move(args));
    }
    return primary();
  }

  Expr primary() {
    const Token& t = peek();
    switch (t.kind) {
      case Kind::Number: {
        const std::string text = next().text;
        if (text.find_first_of(".eE") == std::string::npos) {
          const double d = std::strtod(text.c_str(), nullptr);
          if (d <= 2147483647.0) return literal(jet::Value::long_(static_cast<int32_t>(d)));
          return literal(jet::Value::double_(d));
        }
        return literal(jet::Value::double_(std::strtod(text.c_str(), nullptr)));
      }
      case Kind::String: return literal(jet::Value::text(next().text));
      case Kind::Date: {
        auto d = parseJetDate(t.text);
        if (!d) exprFail();
        next();
        return literal(jet::Value::date(*d));
      }
      case Kind::Symbol:
        if (acceptSymbol("(")) {
          Expr e = expression();
          if (!acceptSymbol(")")) exprFail();
          return e;
        }
        exprFail();
      case Kind::Name: {
        if (t.isKeyword("TRUE") || t.isKeyword("YES")) {
          next();
          return literal(jet::Value::boolean(true));
        }
        if (t.isKeyword("FALSE") || t.isKeyword("NO")) {
          next();
          return literal(jet::Value::boolean(false));
        }
        if (t.isKeyword("NULL")) {
          next();
          return literal(jet::Value::null());
        }
        if (isReserved(t)) exprFail();
        Expr e;
        e.op = Expr::Op::Column;
        e.name = next().text;
        if (acceptSymbol("(")) return call(std::move(e.name));
        while (peek().isSymbol(".") && peek(1).kind == Kind::Name) {
          next();
          e.name = next().text;
        }
        if (peek().isSymbol("(")) exprFail();  // a qualified name calls nothing
        return e;
      }
      default: exprFail();
    }
  }

  // A function's arguments, its '(' read.
  Expr call(std::string name) {
    Nesting in(nesting_);
    std::vector<Expr> args;
    if (!acceptSymbol(")")) {
      do {
        args.push_back(expression());
      } while (acceptSymbol(","));
      if (!acceptSymbol(")")) exprFail();
    }
    Expr e = node(Expr::Op::Call, std::move(args));
    e.name = std::move(name);
    return e;
  }

  // WHERE criteria of SELECT, DELETE and UPDATE.
  void whereClause(bool& hasWhere, Expr& where) {
    if (!acceptKeyword("WHERE")) return;
    hasWhere = true;
    where = expressionAt();
  }

  // ---- statements ----
  Statement select() {
    Select s;
    if (peek().kind == Kind::Name && peek(1).isSymbol(".") && peek(2).isSymbol("*")) {  // SELECT t.* FROM t
      next();
      next();
    }
    if (!acceptSymbol("*")) {
      do {
        s.columns.push_back(name(err::kSyntaxSelect));
      } while (acceptSymbol(","));
    }
    expectKeyword("FROM", err::kSyntaxSelect);
    s.table = name(err::kSyntaxFrom);
    const Token& after = peek();
    if (!(after.kind == Kind::End || after.isSymbol(";") || after.isKeyword("WHERE") || after.isKeyword("ORDER")))
      fail(err::kSyntaxFrom, "");
    whereClause(s.hasWhere, s.where);
    if (s.hasWhere && !(peek().kind == Kind::End || peek().isSymbol(";") || peek().isKeyword("ORDER"))) exprFail();
    if (acceptKeyword("ORDER")) {
      expectKeyword("BY", err::kSyntaxOrderBy);
      do {
        OrderTerm term;
        term.column = name(err::kSyntaxOrderBy);
        if (acceptKeyword("DESC")) {
          term.descending = true;
        } else {
          acceptKeyword("ASC");
        }
        s.orderBy.push_back(std::move(term));
      } while (acceptSymbol(","));
      expectEnd(err::kSyntaxOrderBy);
    }
    expectEnd(err::kSyntaxSelect);
    return s;
  }

  Statement deleteStatement() {
    Delete d;
    if (!acceptSymbol("*") && !peek().isKeyword("FROM")) {  // DELETE t.* FROM t
      name(err::kSyntaxFrom);
      if (acceptSymbol(".")) expectSymbol("*", err::kSyntaxFrom);
    }
    expectKeyword("FROM", err::kSyntaxFrom);
    d.table = name(err::kSyntaxFrom);
    if (!(peek().kind == Kind::End || peek().isSymbol(";") || peek().isKeyword("WHERE"))) fail(err::kSyntaxFrom, "");
    whereClause(d.hasWhere, d.where);
    if (d.hasWhere && !(peek().kind == Kind::End || peek().isSymbol(";"))) exprFail();
    expectEnd(err::kSyntaxFrom);
    return d;
  }

  Statement insert() {
    Insert s;
    expectKeyword("INTO", err::kSyntaxInsert);
    s.table = name(err::kSyntaxInsert);
    if (acceptSymbol("(")) {
      do {
        s.columns.push_back(name(err::kSyntaxInsert));
      } while (acceptSymbol(","));
      expectSymbol(")", err::kSyntaxInsert);
    }
    expectKeyword("VALUES", err::kSyntaxInsert);
    expectSymbol("(", err::kSyntaxInsert);
    do {
      s.values.push_back(expressionAt());
    } while (acceptSymbol(","));
    expectSymbol(")", err::kSyntaxInsert);
    expectEnd(err::kSyntaxInsert);
    if (!s.columns.empty() && s.columns.size() != s.values.size()) fail(err::kValueCount, "");
    return s;
  }

  Statement update() {
    Update u;
    u.table = name(err::kSyntaxUpdate);
    expectKeyword("SET", err::kSyntaxUpdate);
    do {
      Assignment a;
      a.column = name(err::kSyntaxUpdate);
      expectSymbol("=", err::kSyntaxUpdate);
      a.value = expressionAt();
      u.set.push_back(std::move(a));
    } while (acceptSymbol(","));
    if (!(peek().kind == Kind::End || peek().isSymbol(";") || peek().isKeyword("WHERE"))) fail(err::kSyntaxUpdate, "");
    whereClause(u.hasWhere, u.where);
    if (u.hasWhere && !(peek().kind == Kind::End || peek().isSymbol(";"))) exprFail();
    expectEnd(err::kSyntaxUpdate);
    return u;
  }

  int smallNumber(int code) {
    const Token& t = peek();
    if (t.kind != Kind::Number || t.text.find_first_of(".eE") != std::string::npos || t.text.size() > 9)
      fail(code, "");
    return std::atoi(next().text.c_str());
  }

  ColumnDef columnDef() {
    ColumnDef c;
    c.name = name(err::kSyntaxFieldDef);
    const Token& typeTok = peek();
    if (typeTok.kind != Kind::Name) fail(err::kSyntaxFieldDef, "");
    const TypeName* type = nullptr;
    for (const TypeName& tn : kTypes) {
      if (typeTok.isKeyword(tn.name)) type = &tn;
    }
    if (!type) fail(err::kInvalidFieldType, typeTok.text);
    next();
    c.type = type->type;
    c.size = type->size;
    c.autoNumber = type->autoNumber;
    if (c.type == jet::ColumnType::Numeric) c.precision = 18;
    if (acceptSymbol("(")) {
      const int n = smallNumber(err::kSyntaxFieldDef);
      int m = -1;
      if (acceptSymbol(",")) m = smallNumber(err::kSyntaxFieldDef);
      expectSymbol(")", err::kSyntaxFieldDef);
      if (c.type == jet::ColumnType::Text) {
        if (n < 1 || n > 255 || m >= 0) fail(err::kSyntaxFieldDef, "");
        c.size = static_cast<uint16_t>(n * 2);
      } else if (c.type == jet::ColumnType::Binary) {
        if (n < 1 || n > 510 || m >= 0) fail(err::kSyntaxFieldDef, "");
        c.size = static_cast<uint16_t>(n);
      } else if (c.type == jet::ColumnType::Numeric) {
        if (n < 1 || n > 28 || m > n) fail(err::kSyntaxFieldDef, "");
        c.precision = static_cast<uint8_t>(n);
        c.scale = static_cast<uint8_t>(m < 0 ? 0 : m);
      } else if (!c.autoNumber) {  // COUNTER(seed, increment) is accepted and ignored
        fail(err::kSyntaxFieldDef, "");
      }
    }
    while (true) {
      if (acceptKeyword("NOT")) {
        expectKeyword("NULL", err::kSyntaxFieldDef);
        c.notNull = true;
      } else if (acceptKeyword("NULL")) {
        c.notNull = false;
      } else if (acceptKeyword("PRIMARY")) {
        expectKeyword("KEY", err::kSyntaxFieldDef);
        c.primaryKey = true;
      } else if (acceptKeyword("UNIQUE")) {
        c.unique = true;
      } else if (peek().isKeyword("CONSTRAINT")) {
        next();  // CONSTRAINT name PRIMARY KEY | UNIQUE on this column
        name(err::kSyntaxConstraint);
        if (acceptKeyword("PRIMARY")) {
          expectKeyword("KEY", err::kSyntaxConstraint);
          c.primaryKey = true;
        } else if (acceptKeyword("UNIQUE")) {
          c.unique = true;
        } else {
          fail(err::kSyntaxConstraint, "");
        }
      } else if (peek().isKeyword("WITH") && (peek(1).isKeyword("COMPRESSION") || peek(1).isKeyword("COMP"))) {
        next();
        next();
      } else {
        return c;
      }
    }
  }

  std::vector<std::string> nameList(int code) {
    std::vector<std::string> names;
    expectSymbol("(", code);
    do {
      names.push_back(name(code));
    } while (acceptSymbol(","));
    expectSymbol(")", code);
    return names;
  }

  Statement createTable() {
    CreateTable t;
    t.table = name(err::kSyntaxCreateTable);
    expectSymbol("(", err::kSyntaxCreateTable);
    do {
      if (peek().isKeyword("CONSTRAINT") || peek().isKeyword("PRIMARY") ||
          (peek().isKeyword("UNIQUE") && peek(1).isSymbol("("))) {
        TableConstraint k;
        if (acceptKeyword("CONSTRAINT")) k.name = name(err::kSyntaxConstraint);
        if (acceptKeyword("PRIMARY")) {
          expectKeyword("KEY", err::kSyntaxConstraint);
          k.primaryKey = true;
        } else if (!acceptKeyword("UNIQUE")) {
          fail(err::kSyntaxConstraint, "");
        }
        k.columns = nameList(err::kSyntaxConstraint);
        t.constraints.push_back(std::move(k));
      } else {
        t.columns.push_back(columnDef());
      }
    } while (acceptSymbol(","));
    expectSymbol(")", err::kSyntaxCreateTable);
    expectEnd(err::kSyntaxCreateTable);
    if (t.columns.empty()) fail(err::kSyntaxCreateTable, "");
    return t;
  }

  Statement createIndex(bool unique) {
    CreateIndex x;
    x.unique = unique;
    x.name = name(err::kSyntaxCreateIndex);
    expectKeyword("ON", err::kSyntaxCreateIndex);
    x.table = name(err::kSyntaxCreateIndex);
    expectSymbol("(", err::kSyntaxCreateIndex);
    do {
      IndexColumn c;
      c.column = name(err::kSyntaxCreateIndex);
      if (acceptKeyword("DESC")) {
        c.descending = true;
      } else {
        acceptKeyword("ASC");
      }
      x.columns.push_back(std::move(c));
    } while (acceptSymbol(","));
    expectSymbol(")", err::kSyntaxCreateIndex);
    if (acceptKeyword("WITH")) {
      bool any = false;
      while (true) {
        if (acceptKeyword("PRIMARY")) {
          x.primary = true;
        } else if (acceptKeyword("DISALLOW")) {
          expectKeyword("NULL", err::kSyntaxCreateIndex);
          x.disallowNull = true;
        } else if (acceptKeyword("IGNORE")) {
          expectKeyword("NULL", err::kSyntaxCreateIndex);
          x.ignoreNull = true;
        } else {
          break;
        }
        any = true;
      }
      if (!any) fail(err::kSyntaxCreateIndex, "");
    }
    expectEnd(err::kSyntaxCreateIndex);
    return x;
  }

  Statement drop() {
    if (acceptKeyword("TABLE")) {
      DropTable d;
      d.table = name(err::kSyntaxDrop);
      expectEnd(err::kSyntaxDrop);
      return d;
    }
    expectKeyword("INDEX", err::kSyntaxDrop);
    DropIndex d;
    d.name = name(err::kSyntaxDrop);
    expectKeyword("ON", err::kSyntaxDrop);
    d.table = name(err::kSyntaxDrop);
    expectEnd(err::kSyntaxDrop);
    return d;
  }

  Statement alter() {
    expectKeyword("TABLE", err::kSyntaxAlterTable);
    AlterTable a;
    a.table = name(err::kSyntaxAlterTable);
    if (acceptKeyword("ADD")) {
      acceptKeyword("COLUMN");
      a.add = true;
      a.column = columnDef();
    } else if (acceptKeyword("DROP")) {
      acceptKeyword("COLUMN");
      a.add = false;
      a.dropName = name(err::kSyntaxAlterTable);
    } else {
      fail(err::kSyntaxAlterTable, "");
    }
    expectEnd(err::kSyntaxAlterTable);
    return a;
  }

  std::string_view src_;
  std::vector<Token> toks_;
  size_t pos_ = 0;
  int nesting_ = 0;
  int expressionDepth_ = 0;
  const std::string* ruleColumn_ = nullptr;  // reading the validation rule of this column
  size_t operators_ = 0;
  size_t exprStart_ = 0;
};

}  // namespace

Statement parseStatement(std::string_view text) { return Parser(text).statement(); }

Expr parseExpression(std::string_view text) { return Parser(text).criterion(); }

Expr parseValidationRule(std::string_view text, const std::string& column) {
  return column.empty() ? Parser(text).criterion() : Parser(text).rule(column);
}

}  // namespace db::sql
