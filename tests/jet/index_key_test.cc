// Index key encoding, checked against entries read from index pages of real files.
// Vectors marked "Access" come from databases made by Microsoft Access itself.

#include "jet/index_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jet/error.h"

namespace jet {
namespace {

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

Column column(ColumnType type) {
  Column c;
  c.name = "c";
  c.type = type;
  c.sortOrder = type == ColumnType::Text || type == ColumnType::Memo ? 1033 : 0;
  return c;
}

std::string key(ColumnType type, const Value& v, bool ascending = true) {
  std::string out;
  appendIndexKey(out, column(type), ascending, v);
  return hex(out);
}

std::string textKey(const std::string& s, bool ascending = true) {
  return key(ColumnType::Text, Value::text(s), ascending);
}

int errorNumber(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

TEST(IndexKeyText, MatchesStoredEntries) {
  struct Case {
    const char* text;
    const char* key;
  };
  const Case cases[] = {
      // Access: letters fold case, space is 07.
      {"a", "7f4a0100"},
      {"abcdefg", "7f4a4c4d4f5153550100"},
      {"hijklmnop", "7f57595b5c5e606264660100"},
      {"admin", "7f4a4f6059620100"},
      {"Admin User", "7f4a4f605962076f6b51690100"},
      {"CORE USER", "7f4d646951076f6b51690100"},
      {"Core User", "7f4d646951076f6b51690100"},
      {"Office Theme.thmx", "7f645353594d51076d575160511c6d5760750100"},
      // Access: accents go to a second section, one byte per letter, 02 = none.
      {"\xC3\xA4\xC3\xA4kk\xC3\xB6si\xC3\xA4", "7f4a4a5c5c646b594a01131302021302021300"},
      {"\xC3\xBCmlaut", "7f6f605e4a6f6d011300"},
      // Access: hyphen and control characters are kept apart with their position.
      {"-1", "7f38010101018007068200"},
      {"\x03" "DirData", "7f4f59694f4a6d4a010101018007060500"},
      {"3L9\x1D" "52\x02_AB(\xC2\xA5\x05!!V",
       "7f3c5e48403a2b034a4c1434a9090971010101018013061a801b0604802f060700"},
      // Written by the Java library the project fixtures come from.
      {"3D2/C", "7f3c4f3a1e4d0100"},
      {"Cote d'Ivoire", "7f4d646d51074f59716459695101010101801f068000"},
      {"Timor - Leste", "7f6d5960646907075e516b6d5101010101801f068200"},
      {"Amsterdam & St. Paul Is.", "7f4a606b6d51694f4a600712076b6d1c07664a6f5e07596b1c0100"},
      {"Cocos (Keeling) Islands", "7f4d644d646b07145c51515e5962551607596b5e4a624f6b0100"},
  };
  for (const Case& c : cases) EXPECT_EQ(textKey(c.text), c.key) << c.text;
}

TEST(IndexKeyText, WholeLatin1RangeMatchesAccess) {
  // Access stored this key for the text U+0001 .. U+00FF (255 characters).
  std::string text;
  for (char32_t ch = 1; ch <= 0xFF; ++ch) {
    if (ch < 0x80) {
      text += static_cast<char>(ch);
    } else {
      text += static_cast<char>(0xC0 | (ch >> 6));
      text += static_cast<char>(0x80 | (ch & 0x3F));
    }
  }
  const std::string expected =
      "7f0803080408050806080707090a0c0e10121416182c1a1c1e36383a3c3e404244464820222e303224264a4c4d4f5153"
      "5557595b5c5e6062646668696b6d6f717375767827292a2b022b032b074a4c4d4f51535557595b5c5e6062646668696b"
      "6d6f71737576782b092b0b2b0d2b0f08022b1034a634a734a834a92b1134aa2b1234ab4a330534ac34ad2b1334ae3304"
      "3a3c2b1434af34b034b12b153864330737123716371a2b164a4a4a4a4a4a4a514d51515151595959594f626464646464"
      "3309646f6f6f6f766d576b6b4a4a4a4a4a4a4a514d51515151595959594f626464646464330a646f6f6f6f766d577601"
      "020202020202020202020202020202020202020202020202020202020202020202020202020202020202020202020202"
      "020202020202020202020202020202020202020202020202020202020202020202020202020202020202020202020202"
      "0202020202020202020202020302020202020202020202020202020302020202020f0e1219131a021c0f0e12130f0e12"
      "1368190f0e12191302210f0e12130e02020f0e1219131a021c0f0e12130f0e121368190f0e12191302210f0e12130e02"
      "13010101800706038007060480070605800706068007060780070608800706098007060a801b060b801b060c801b060d"
      "801b060e801b060f801b0610801b0611801b0612801b0613801b0614801b0615801b0616801b0617801b0618801b0619"
      "801b061a801b061b801b061c80370680804b0682818f061d818f061e818f061f818f0620818f0621818f0622818f0623"
      "818f0624818f0625818f0626818f0627818f0628818f0629818f062a818f062b818f062c818f062d818f062e818f062f"
      "818f0630818f0631818f0632818f0633818f0634818f0635818f0636818f0637818f0638818f0639818f063a818f063b"
      "818f063c818f063d81c3068300";
  EXPECT_EQ(textKey(text), expected);
}

TEST(IndexKeyText, WindowsExtrasAndDescending) {
  // Characters of Windows-1252 beyond Latin-1 use the same sections.
  EXPECT_EQ(textKey("\xC5\x92uvre"), "7f64516f7169510100");         // Œ sorts as OE
  EXPECT_EQ(textKey("\xC5\xA0" "a"), "7f6b4a011400");                 // Š: S plus caron
  EXPECT_EQ(textKey("a\xE2\x80\x93" "b"), "7f4a4c01010101800b068900");  // en dash: unprintable
  EXPECT_EQ(textKey("\xE2\x82\xAC" "5"), "7f35a1400100");                // euro sign
  EXPECT_EQ(textKey("\xE2\x80\x9C" "x\xE2\x80\x9D"), "7f2b3b752b3c0100");

  // Descending: all bytes inverted, the closing 00 included, then one more 00.
  EXPECT_EQ(textKey("A", false), "80b5feff00");
  EXPECT_EQ(textKey("-1", false), "80c7fefefefe7ff8f97dff00");
  EXPECT_EQ(textKey("", true), "7f0100");
  EXPECT_EQ(textKey("", false), "80feff00");

  // Descending keys sort in the reverse order of ascending ones.
  const std::vector<std::string> words = {"", "a", "A-", "ab", "abc", "\xC3\xA1" "b", "b", "O'Neil", "Zz", "zzz"};
  std::vector<std::string> asc, desc;
  for (const auto& w : words) {
    std::string a, d;
    appendIndexKey(a, column(ColumnType::Text), true, Value::text(w));
    appendIndexKey(d, column(ColumnType::Text), false, Value::text(w));
    asc.push_back(a);
    desc.push_back(d);
  }
  for (size_t i = 0; i < words.size(); ++i) {
    for (size_t j = 0; j < words.size(); ++j) {
      if (asc[i] < asc[j]) {
        EXPECT_GT(desc[i], desc[j]) << words[i] << " / " << words[j];
      }
    }
  }
}

TEST(IndexKeyText, LimitsAndRefusals) {
  // Only the first 255 characters count, for text and memo alike.
  const std::string longText(300, 'q');
  std::string memoKey;
  appendIndexKey(memoKey, column(ColumnType::Memo), true, Value::text(longText));
  EXPECT_EQ(hex(memoKey), textKey(std::string(255, 'q')));
  EXPECT_NE(textKey(std::string(255, 'q')), textKey(std::string(254, 'q')));

  // Characters outside the tables (Cyrillic, CJK, outside the BMP) are refused.
  EXPECT_EQ(errorNumber([] { textKey("\xD0\x9C\xD0\xB8\xD1\x80"); }), err::kNotSupported);
  EXPECT_EQ(errorNumber([] { textKey("\xE6\xBC\xA2"); }), err::kNotSupported);
  EXPECT_EQ(errorNumber([] { textKey("x\xF0\x9F\x98\x80"); }), err::kNotSupported);
  // Broken UTF-8.
  EXPECT_EQ(errorNumber([] { textKey("\xC3"); }), err::kInvalidArgument);
  EXPECT_EQ(errorNumber([] { textKey("\xC0\x80"); }), err::kInvalidArgument);
  EXPECT_EQ(errorNumber([] { textKey("\xED\xA0\x80"); }), err::kInvalidArgument);
  // Other sort orders are not ours to guess.
  Column other = column(ColumnType::Text);
  other.sortOrder = 1031;
  std::string out;
  EXPECT_EQ(errorNumber([&] { appendIndexKey(out, other, true, Value::text("a")); }), err::kNotSupported);
}

TEST(IndexKeyNumber, MatchesStoredEntries) {
  // Access: Long, ascending and descending.
  EXPECT_EQ(key(ColumnType::Long, Value::long_(-2147483642)), "7f00000006");
  EXPECT_EQ(key(ColumnType::Long, Value::long_(251658241)), "7f8f000001");
  EXPECT_EQ(key(ColumnType::Long, Value::long_(0)), "7f80000000");
  EXPECT_EQ(key(ColumnType::Long, Value::long_(4812), false), "807fffed33");
  EXPECT_EQ(key(ColumnType::Long, Value::long_(4811), false), "807fffed34");
  EXPECT_EQ(key(ColumnType::Long, Value::null(), false), "ff");
  EXPECT_EQ(key(ColumnType::Long, Value::null()), "00");
  // Access: Date/Time.
  EXPECT_EQ(key(ColumnType::DateTime, Value::date(std::bit_cast<double>(0x40e39585457fcf74ull))), "7fc0e39585457fcf74");
  EXPECT_EQ(key(ColumnType::DateTime, Value::date(std::bit_cast<double>(0x40e3975f9690e085ull))), "7fc0e3975f9690e085");
  // Project fixtures: Integer and Date/Time.
  EXPECT_EQ(key(ColumnType::Integer, Value::integer(1)), "7f8001");
  EXPECT_EQ(key(ColumnType::DateTime, Value::date(std::bit_cast<double>(0x40e2ba2907c65a44ull))), "7fc0e2ba2907c65a44");

  // Floating point: negative numbers are inverted whole.
  EXPECT_EQ(key(ColumnType::Double, Value::double_(1.0)), "7fbff0000000000000");
  EXPECT_EQ(key(ColumnType::Double, Value::double_(-1.0)), "7f400fffffffffffff");
  EXPECT_EQ(key(ColumnType::Double, Value::double_(-1.0), false), "80bff0000000000000");
  EXPECT_EQ(key(ColumnType::Single, Value::single(-2.5f)), "7f3fdfffff");
  EXPECT_EQ(key(ColumnType::Currency, Value::currency(-10000)), "7f7fffffffffffd8f0");
  EXPECT_EQ(key(ColumnType::Byte, Value::byte(200)), "7fc8");
  EXPECT_EQ(key(ColumnType::Byte, Value::byte(200), false), "8037");
  EXPECT_EQ(key(ColumnType::Integer, Value::integer(-2), false), "808001");
}

TEST(IndexKeyNumber, KeysOrderLikeValues) {
  const std::vector<double> reals = {-1e300, -12.5, -1.0, -1e-300, 0.0, 1e-300, 0.5, 1.0, 2.0, 1e300};
  for (ColumnType type : {ColumnType::Double, ColumnType::DateTime, ColumnType::Single}) {
    for (bool ascending : {true, false}) {
      for (size_t i = 0; i + 1 < reals.size(); ++i) {
        double lo = reals[i], hi = reals[i + 1];
        if (type == ColumnType::Single && (std::abs(lo) > 1e30 || (lo != 0 && std::abs(lo) < 1e-30))) continue;
        if (type == ColumnType::Single && (std::abs(hi) > 1e30 || (hi != 0 && std::abs(hi) < 1e-30))) continue;
        std::string a = key(type, Value::double_(lo), ascending), b = key(type, Value::double_(hi), ascending);
        EXPECT_EQ(a < b, ascending) << lo << " " << hi;
      }
    }
  }
  const std::vector<int64_t> ints = {-32768, -300, -1, 0, 1, 255, 32767};
  for (ColumnType type : {ColumnType::Integer, ColumnType::Long, ColumnType::Currency}) {
    for (bool ascending : {true, false}) {
      for (size_t i = 0; i + 1 < ints.size(); ++i) {
        Value lo, hi;
        lo.kind = hi.kind = type == ColumnType::Currency ? Value::Kind::Currency : Value::Kind::Long;
        lo.i = ints[i];
        hi.i = ints[i + 1];
        EXPECT_EQ(key(type, lo, ascending) < key(type, hi, ascending), ascending) << ints[i];
      }
    }
  }
}

TEST(IndexKeyOther, BooleanGuidAndCompound) {
  EXPECT_EQ(key(ColumnType::Boolean, Value::boolean(true)), "7f00");
  EXPECT_EQ(key(ColumnType::Boolean, Value::boolean(false)), "7fff");
  EXPECT_EQ(key(ColumnType::Boolean, Value::null()), "7fff");
  EXPECT_EQ(key(ColumnType::Boolean, Value::boolean(true), false), "80ff");

  const Value g = Value::guid("{01234567-89AB-CDEF-0011-223344556677}");
  EXPECT_EQ(key(ColumnType::Guid, g), "7f0123456789abcdef09001122334455667708");
  EXPECT_EQ(key(ColumnType::Guid, g, false), "80fedcba987654321009ffeeddccbbaa9988f7");
  EXPECT_EQ(errorNumber([] { key(ColumnType::Guid, Value::guid("{0123}")); }), err::kTypeMismatch);
  EXPECT_EQ(key(ColumnType::Binary, Value::binary("\x01\x02\x03")), "7f010203000000000003");

  // Access: a two-column index (ParentId, Name).
  const Column parent = column(ColumnType::Long), name = column(ColumnType::Text);
  const std::vector<IndexKeyPart> parts = {{&parent, true}, {&name, true}};
  EXPECT_EQ(hex(encodeIndexKey(parts, {Value::long_(-2147483642), Value::text("Admin")})),
            "7f000000067f4a4f6059620100");
  EXPECT_EQ(hex(encodeIndexKey(parts, {Value::long_(251658241), Value::text("Table1")})),
            "7f8f0000017f6d4a4c5e51380100");
  EXPECT_EQ(hex(encodeIndexKey(parts, {Value::null(), Value::null()})), "0000");
  EXPECT_EQ(errorNumber([&] { encodeIndexKey(parts, {Value::long_(1)}); }), err::kInvalidArgument);
}

TEST(IndexKeyOther, RejectsValuesThatDoNotFit) {
  EXPECT_EQ(errorNumber([] { key(ColumnType::Integer, Value::long_(40000)); }), err::kOverflow);
  EXPECT_EQ(errorNumber([] { key(ColumnType::Byte, Value::integer(-1)); }), err::kOverflow);
  EXPECT_EQ(errorNumber([] { key(ColumnType::Long, Value::text("12")); }), err::kTypeMismatch);
  EXPECT_EQ(errorNumber([] { key(ColumnType::Text, Value::long_(12)); }), err::kTypeMismatch);
  EXPECT_EQ(errorNumber([] { key(ColumnType::Single, Value::double_(1e39)); }), err::kOverflow);
  EXPECT_EQ(errorNumber([] { key(ColumnType::Numeric, Value::decimal("12")); }), err::kNotSupported);
  EXPECT_EQ(errorNumber([] { key(ColumnType::Ole, Value::binary("x")); }), err::kNotSupported);
}

// A lookup walks from a text key's start: every text that differs only in letter case, accents
// or unprintable characters has a key beginning with it, other text has not.
TEST(IndexKeyText, KeyStartIsSharedByTextThatDiffersOnlyInCaseAccentsOrUnprintables) {
  const Column text = column(ColumnType::Text);
  for (bool ascending : {true, false}) {
    std::string start;
    appendIndexKeyStart(start, text, ascending, Value::text("\u00C4rger"));
    for (const char* same : {"\u00C4rger", "\u00E4RGER", "arger", "ar\x03ger"}) {
      std::string whole;
      appendIndexKey(whole, text, ascending, Value::text(same));
      EXPECT_EQ(whole.compare(0, start.size(), start), 0) << same << (ascending ? "" : " descending");
    }
    for (const char* other : {"argers", "arge", "\u00C4rgex"}) {
      std::string whole;
      appendIndexKey(whole, text, ascending, Value::text(other));
      EXPECT_NE(whole.compare(0, start.size(), start), 0) << other << (ascending ? "" : " descending");
    }
  }
  // Characters the tables lack (as any beyond U+FFFF) end the start; those before them narrow it.
  std::string cut, before;
  appendIndexKeyStart(cut, text, true, Value::text("ab\U0001F600c"));
  appendIndexKey(before, text, true, Value::text("ab"));
  EXPECT_EQ(hex(cut), hex(before.substr(0, cut.size())));
  EXPECT_LT(cut.size(), before.size());
  EXPECT_EQ(errorNumber([&] { appendIndexKey(before, text, true, Value::text("ab\U0001F600c")); }), err::kNotSupported);
}

}  // namespace
}  // namespace jet
