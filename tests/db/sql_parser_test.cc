// The SQL parser: the shape of each statement and the Jet number of each malformed form. (Precedence
// and literals: the evaluator's test, which sees them in the values.)
#include "db/sql_parser.h"

#include <gtest/gtest.h>

#include "../error_number.h"

#include "jet/base/error.h"

namespace {

using namespace db::sql;

int errorOf(const std::string& sql) {
  return testing_support::errorNumber([&] { parseStatement(sql); });
}

Select select(const std::string& sql) { return std::get<Select>(parseStatement(sql)); }

// The statements the updates run, and the DDL they need, are read end to end by the record set,
// Execute and DDL tests, which see their results in the files; here the forms no other test uses.
TEST(SqlParser, SelectForms) {
  Select s = select("SELECT a, [b c], t.d FROM [My Table] ORDER BY a DESC, [b c] ASC;");
  EXPECT_EQ(s.columns, (std::vector<std::string>{"a", "b c", "d"}));
  EXPECT_EQ(s.table, "My Table");
  ASSERT_EQ(s.orderBy.size(), 2u);
  EXPECT_TRUE(s.orderBy[0].descending);
  EXPECT_EQ(s.orderBy[1].column, "b c");

  EXPECT_TRUE(select("SELECT t.* FROM t WHERE a = 1").columns.empty());
  EXPECT_EQ(select("SELECT [Select] FROM [From]").table, "From");  // a bracketed keyword is a name
}

TEST(SqlParser, ActionStatements) {
  EXPECT_FALSE(std::get<Delete>(parseStatement("delete from t")).hasWhere);
  EXPECT_EQ(std::get<Delete>(parseStatement("DELETE t.* FROM t WHERE x = 1")).table, "t");

  EXPECT_EQ(std::get<Insert>(parseStatement("insert into t values (1, 'it''s', Null, True)")).values[1].value,
            jet::Value::text("it's"));

  auto u = std::get<Update>(parseStatement("UPDATE t SET n = n + 1, name = \"a\"\"b\""));
  ASSERT_EQ(u.set.size(), 2u);
  EXPECT_EQ(u.set[1].value.value, jet::Value::text("a\"b"));
  EXPECT_FALSE(u.hasWhere);
}

TEST(SqlParser, DataDefinition) {
  auto t = std::get<CreateTable>(parseStatement(
      "CREATE TABLE plink (ID COUNTER PRIMARY KEY, Prefix TEXT(10) NOT NULL, Name VARCHAR, Notes MEMO, "
      "DXCC INTEGER, Zone SHORT, Flag BYTE, Cost MONEY, Lat SINGLE, Lon DOUBLE, Seen DATETIME, Ok YESNO, "
      "Pic OLEOBJECT, G GUID, Amount DECIMAL(10,2), CONSTRAINT pk2 UNIQUE (Prefix, DXCC))"));
  using T = jet::ColumnType;
  // INTEGER is 32-bit in Jet DDL, SHORT 16-bit.
  const T types[] = {T::Long, T::Text, T::Text, T::Memo, T::Long, T::Integer, T::Byte, T::Currency,
                     T::Single, T::Double, T::DateTime, T::Boolean, T::Ole, T::Guid, T::Numeric};
  ASSERT_EQ(t.columns.size(), std::size(types));
  for (size_t c = 0; c < std::size(types); ++c) EXPECT_EQ(t.columns[c].type, types[c]) << t.columns[c].name;
  EXPECT_EQ(t.columns[1].size, 20);  // bytes: two a character
  EXPECT_TRUE(t.columns[1].notNull);
  EXPECT_EQ(t.columns[2].size, 510);
  EXPECT_EQ(t.columns[14].precision, 10);
  EXPECT_EQ(t.columns[14].scale, 2);
  EXPECT_TRUE(std::get<CreateTable>(parseStatement("create table x (a long, constraint pk primary key (a))"))
                  .constraints[0].primaryKey);
  auto x = std::get<CreateIndex>(parseStatement("CREATE UNIQUE INDEX PrimaryKey ON plink (ID ASC, Prefix DESC) WITH PRIMARY"));
  EXPECT_TRUE(x.unique && x.primary);

  EXPECT_EQ(std::get<DropTable>(parseStatement("DROP TABLE plinkold")).table, "plinkold");
  EXPECT_EQ(std::get<DropIndex>(parseStatement("DROP INDEX ix ON t")).name, "ix");
  auto a = std::get<AlterTable>(parseStatement("ALTER TABLE t ADD COLUMN c TEXT(3)"));
  EXPECT_TRUE(a.add);
  EXPECT_EQ(a.column.size, 6);
  EXPECT_EQ(std::get<AlterTable>(parseStatement("ALTER TABLE t DROP c")).dropName, "c");
}

TEST(SqlParser, ErrorNumbers) {
  const std::pair<const char*, int> cases[] = {
      {"SELEKT * FROM t", 3129}, {"", 3129},
      {"SELECT * FROM", 3131}, {"SELECT * FROM t u v", 3131}, {"SELECT * FROM [t", 3131}, {"DELETE FROM", 3131},
      {"SELECT * t", 3141}, {"SELECT * FROM t ORDER ID", 3138},
      {"SELECT * FROM t WHERE", 3075}, {"SELECT * FROM t WHERE a = 1 b", 3075},
      {"SELECT * FROM t WHERE a = 'open", 3075}, {"SELECT * FROM t WHERE d > #13/13/2010#", 3075},
      {"DELETE * FROM t WHERE (a = 1", 3075}, {"UPDATE t SET a = WHERE x = 1", 3075},
      {"INSERT t VALUES (1)", 3134}, {"INSERT INTO t (a, b) VALUES (1", 3134},
      {"INSERT INTO t (a, b) VALUES (1)", 3346},
      {"UPDATE t a = 1", 3144}, {"UPDATE t SET a = 1 junk", 3144},
      {"CREATE TABLE x (a WIDGET)", 3259}, {"CREATE TABLE x (a TEXT(300))", 3292},
      {"CREATE TABLE x a LONG", 3290}, {"CREATE TABLE x (a LONG, CONSTRAINT pk FOREIGN KEY (a))", 3289},
      {"CREATE INDEX ix ON t", 3291}, {"CREATE INDEX ix ON t (a) WITH", 3291},
      {"DROP t", 3295}, {"ALTER TABLE t RENAME c", 3293},
  };
  for (const auto& [sql, number] : cases) EXPECT_EQ(errorOf(sql), number) << sql;
  // A criterion alone (FindFirst) is refused the same way as a WHERE clause.
  for (const char* bad : {"DXCC = 1)", "a IS 5", "a BETWEEN 1 OR 2", "t.Len(a) = 1", "Len(a = 1", "a = 12abc", "a = #2010-10-10",
                          "a = 1 ; b", "from = 1"}) {
    EXPECT_EQ(testing_support::errorNumber([&] { parseExpression(bad); }), 3075) << bad;
  }

  // Nesting and chains deep enough to run the stack out are refused; those near the limits pass.
  auto repeat = [](const std::string& s, int n) { std::string out; while (n-- > 0) out += s; return out; };
  auto where = [](const std::string& condition) { return "SELECT * FROM t WHERE " + condition; };
  EXPECT_EQ(errorOf(where(repeat("(", 20000) + "a = 1" + repeat(")", 20000))), 3360);
  EXPECT_EQ(errorOf(where(repeat("NOT ", 30000) + "a = 1")), 3360);
  EXPECT_EQ(errorOf(where("a = " + repeat("-", 30000) + "1")), 3360);
  EXPECT_EQ(errorOf(where("a = 1" + repeat(" AND a = 1", 100000))), 3360);
  EXPECT_EQ(errorOf(where(repeat("(", 90) + "a = 1" + repeat(")", 90) + repeat(" OR a = 1", 400))), 0);

  try {
    parseStatement("SELECT * FROM t WHERE a = = 1;");
    FAIL();
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), 3075);
    EXPECT_NE(std::string(e.what()).find("'a = = 1'"), std::string::npos) << e.what();
  }
}

}  // namespace
