// Jet dates, VB text of values, and the conversions a value goes through on its way into a column.
#include "db/value_convert.h"

#include <gtest/gtest.h>

#include "../error_number.h"

#include "db/jet_date.h"
#include "jet/base/error.h"

namespace {

using jet::Column;
using jet::ColumnType;
using jet::Value;

Column col(ColumnType t, uint16_t size = 0) {
  Column c;
  c.name = "F";
  c.type = t;
  c.size = size;
  return c;
}

int errorOf(const Value& v, const Column& c) {
  return testing_support::errorNumber([&] { db::convertForColumn(v, c); });
}

double date(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return db::toJetDate(db::DateParts{y, m, d, hh, mm, ss});
}

TEST(JetDate, SerialNumbersAndTheirTexts) {
  EXPECT_EQ(date(1899, 12, 30), 0.0);
  EXPECT_EQ(date(1900, 1, 1), 2.0);
  EXPECT_EQ(date(2010, 10, 10), 40461.0);
  EXPECT_DOUBLE_EQ(date(2010, 10, 10, 12), 40461.5);
  EXPECT_DOUBLE_EQ(date(1899, 12, 29, 6), -1.25);  // before day 0 the time is the fraction's magnitude
  const std::pair<double, const char*> iso[] = {
      {-1.25, "1899-12-29 06:00:00"}, {-0.5, "1899-12-30 12:00:00"}, {date(100, 1, 1), "0100-01-01 00:00:00"},
      {date(1850, 3, 1, 23, 59, 59), "1850-03-01 23:59:59"}, {date(2000, 2, 29, 13, 5, 7), "2000-02-29 13:05:07"},
      {40461.999999999, "2010-10-11 00:00:00"},  // a hair short of midnight rounds into the next day
  };
  for (const auto& [serial, text] : iso) EXPECT_EQ(db::formatIsoDate(serial), text) << serial;
  const std::pair<double, const char*> vb[] = {
      {40461.0, "10/10/2010"}, {date(2010, 10, 10, 12, 30), "10/10/2010 12:30:00 PM"},
      {date(2010, 1, 2, 0, 0, 1), "1/2/2010 12:00:01 AM"}, {date(2010, 1, 2, 23, 59, 59), "1/2/2010 11:59:59 PM"},
      {0.75, "6:00:00 PM"}, {0, "12:00:00 AM"},
  };
  for (const auto& [serial, text] : vb) EXPECT_EQ(db::formatVbDate(serial), text) << serial;
}

TEST(JetDate, ParsesTheFormsJetReads) {
  const std::pair<const char*, double> cases[] = {
      {"10/10/2010", 40461.0}, {"Oct 10, 2010", 40461.0}, {"October 10, 2010", 40461.0}, {"10 Oct 2010", 40461.0},
      {"2010-10-10", 40461.0}, {"10-10-2010", 40461.0},   {"10/10/10", 40461.0},          {"2010/10/10", 40461.0},
      {"Sunday, October 10, 2010", 40461.0},
      {"3/4/2010", date(2010, 3, 4)},      // month first
      {"25/12/2010", date(2010, 12, 25)},  // day first when it cannot be a month
      {"1/1/29", date(2029, 1, 1)},        // two-digit years pivot at 30
      {"1/1/30", date(1930, 1, 1)},
      {"2010-10-10 12:30:00", date(2010, 10, 10, 12, 30)},   {"10/10/2010 12:30:00 PM", date(2010, 10, 10, 12, 30)},
      {"10/10/2010 12:30:00 AM", date(2010, 10, 10, 0, 30)}, {"10/10/2010 1:05 pm", date(2010, 10, 10, 13, 5)},
      {"2010-10-10T23:59:59", date(2010, 10, 10, 23, 59, 59)},
      {"6:00:00 PM", 0.75},                                  {"12/29/1899 6:00", -1.25},
  };
  for (const auto& [text, serial] : cases) EXPECT_EQ(db::parseJetDate(text), serial) << text;

  for (const char* bad : {"", "hello", "13/13/2010", "2/30/2010", "10/10/2010 25:00", "10/10/2010 13:00 PM",
                          "10/10/2010 12:61", "Oct 10, 2010 x", "1/2/3/4", "10/10/99999"}) {
    EXPECT_FALSE(db::parseJetDate(bad)) << bad;
  }
}

TEST(TextOf, PrintsAsVb) {
  const std::pair<Value, const char*> cases[] = {
      {Value::boolean(true), "True"},       {Value::boolean(false), "False"},
      {Value::long_(-69), "-69"},           {Value::double_(-69), "-69"},
      {Value::double_(0.1 + 0.2), "0.3"},   // 15 significant digits
      {Value::double_(1e15), "1E+15"},      {Value::double_(123456789012345.0), "123456789012345"},
      {Value::double_(0.0001), "0.0001"},   {Value::double_(0.00001), "1E-05"},
      {Value::double_(-0.0), "0"},          {Value::single(0.1f), "0.1"},
      {Value::currency(125000), "12.5"},    {Value::currency(-5), "-0.0005"},
      {Value::currency(30000), "3"},        {Value::date(40461.5), "10/10/2010 12:00:00 PM"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(db::textOf(value), text) << text;
  EXPECT_EQ(testing_support::errorNumber([] { db::textOf(Value::null()); }), 94);
}

TEST(ParseNumber, AcceptsOnlyWholeNumbers) {
  const std::pair<const char*, double> good[] = {{" -69 ", -69.0}, {"12.17", 12.17}, {".5", 0.5}, {"1E3", 1000.0}, {"+7.", 7.0}};
  for (const auto& [text, number] : good) EXPECT_EQ(db::parseNumber(text), number) << text;
  for (const char* bad : {"", "-", "abc", "12abc", "1E", "1.2.3", "0x10", "1 2"}) {
    EXPECT_FALSE(db::parseNumber(bad)) << bad;
  }
}

// Values on their way into a column: rounding half to even, each type's range, text read as a
// number, a date or a Yes/No, text lengths in characters, and Null that stays Null.
TEST(ConvertForColumn, ConvertsOrRefuses) {
  const Column byte = col(ColumnType::Byte, 1), integer = col(ColumnType::Integer, 2), lng = col(ColumnType::Long, 4);
  const Column dbl = col(ColumnType::Double, 8), money = col(ColumnType::Currency, 8), dt = col(ColumnType::DateTime, 8);
  const Column yesNo = col(ColumnType::Boolean, 1), guid = col(ColumnType::Guid, 16);
  const Column text10 = col(ColumnType::Text, 20);  // 10 characters in Jet 4
  struct Case { Value in; Column column; Value out; };
  const Case cases[] = {
      {Value::double_(2.5), integer, Value::integer(2)},      {Value::double_(3.5), integer, Value::integer(4)},
      {Value::double_(-2.5), integer, Value::integer(-2)},    {Value::double_(2.51), integer, Value::integer(3)},
      {Value::currency(25000), integer, Value::integer(2)},   {Value::currency(35000), integer, Value::integer(4)},
      {Value::currency(-25001), integer, Value::integer(-3)}, {Value::text(" 12.5 "), integer, Value::integer(12)},
      {Value::double_(0.5), lng, Value::long_(0)},            {Value::double_(1.5), byte, Value::byte(2)},
      {Value::long_(255), byte, Value::byte(255)},            {Value::double_(-0.5), byte, Value::byte(0)},
      {Value::double_(254.5), byte, Value::byte(254)},        {Value::long_(32767), integer, Value::integer(32767)},
      {Value::long_(-32768), integer, Value::integer(-32768)},
      {Value::double_(-32768.5), integer, Value::integer(-32768)},
      {Value::double_(2147483647.0), lng, Value::long_(2147483647)},
      {Value::double_(-2147483648.0), lng, Value::long_(-2147483647 - 1)},
      {Value::integer(-69), dbl, Value::double_(-69.0)},      {Value::text("12.17"), dbl, Value::double_(12.17)},
      {Value::boolean(true), lng, Value::long_(-1)},          {Value::double_(12.17), money, Value::currency(121700)},
      {Value::long_(5), yesNo, Value::boolean(true)},         {Value::double_(0), yesNo, Value::boolean(false)},
      {Value::text("True"), yesNo, Value::boolean(true)},     {Value::text("no"), yesNo, Value::boolean(false)},
      {Value::text("-1"), yesNo, Value::boolean(true)},       {Value::long_(40461), dt, Value::date(40461.0)},
      {Value::text("10/10/2010"), dt, Value::date(40461.0)},
      {Value::text("2010-10-10 12:00:00"), dt, Value::date(40461.5)},
      {Value::text("0123456789"), text10, Value::text("0123456789")},
      {Value::double_(-69), text10, Value::text("-69")},      {Value::boolean(true), text10, Value::text("True")},
      {Value::text("{0a1b2c3d-0000-1111-2222-333344445555}"), guid, Value::guid("{0A1B2C3D-0000-1111-2222-333344445555}")},
      {Value::null(), yesNo, Value::null()},  {Value::null(), lng, Value::null()},  {Value::null(), text10, Value::null()},
      {Value::null(), dt, Value::null()},     {Value::null(), guid, Value::null()}, {Value::null(), col(ColumnType::Memo), Value::null()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(db::convertForColumn(c.in, c.column), c.out) << db::textOf(c.in) << " into type " << int(c.column.type);
  }

  struct Refusal { Value in; Column column; int error; };
  const Refusal refusals[] = {
      {Value::long_(256), byte, 6},           {Value::long_(-1), byte, 6},             {Value::double_(255.5), byte, 6},
      {Value::boolean(true), byte, 6},        {Value::long_(32768), integer, 6},       {Value::long_(-32769), integer, 6},
      {Value::double_(32767.5), integer, 6},  {Value::double_(2147483648.0), lng, 6},  {Value::double_(-2147483649.0), lng, 6},
      {Value::double_(1e300), lng, 6},        {Value::double_(1e15), money, 6},        {Value::double_(1e7), dt, 6},
      {Value::double_(1e39), col(ColumnType::Single, 4), 6},
      {Value::text("maybe"), yesNo, 3421},    {Value::text("not a date"), dt, 3421},   {Value::binary("\x01"), lng, 3421},
      {Value::text("{xyz}"), guid, 3421},     {Value::text("0123456789A"), text10, 3163},
      {Value::double_(1.0 / 3), text10, 3163},  // "0.333333333333333"
      {Value::binary(std::string(11, 'b')), col(ColumnType::Binary, 10), 3163},
  };
  for (size_t i = 0; i < std::size(refusals); ++i) {
    EXPECT_EQ(errorOf(refusals[i].in, refusals[i].column), refusals[i].error) << "refusal " << i;
  }
  for (ColumnType t : {ColumnType::Byte, ColumnType::Integer, ColumnType::Long, ColumnType::Currency,
                       ColumnType::Single, ColumnType::Double}) {
    EXPECT_EQ(errorOf(Value::text("abc"), col(t, 8)), 3421) << static_cast<int>(t);
    EXPECT_EQ(errorOf(Value::text(""), col(t, 8)), 3421) << static_cast<int>(t);
  }

  // Characters, not bytes: ten accented letters fit.
  EXPECT_EQ(errorOf(Value::text("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"), text10), 0);
  const std::string longText(70000, 'x');
  EXPECT_EQ(db::convertForColumn(Value::text(longText), col(ColumnType::Memo)), Value::text(longText));
  Column dec = col(ColumnType::Numeric, 17);
  dec.precision = 5;
  dec.scale = 2;
  EXPECT_EQ(db::convertForColumn(Value::double_(123.456), dec), Value::decimal("123.46"));
  EXPECT_EQ(errorOf(Value::double_(1234.5), dec), 6);
}

}  // namespace
