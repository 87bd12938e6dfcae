// Index key encoding: every entry stored in the fixtures' indexes against the key of its row, and
// vectors for what the fixtures lack. Vectors marked "Access" come from Microsoft Access itself.

#include "jet/index/index_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_tree.h"
#include "jet/format/text_codec.h"
#include "jet/index/text_sort_general_table.h"
#include "../error_number.h"
#include "jet_test_support.h"

namespace jet {
namespace {

using testing_support::errorNumber;

// Bytes as lower-case hex digits, two a byte: the order of the texts is the order of the bytes.
std::string hexBytes(std::string_view bytes) {
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

// The key of one column, as hex; `access97` for a text column of an Access 97 file.
std::string key(ColumnType type, const Value& v, bool ascending = true, bool access97 = false) {
  Column c = column(type);
  c.access97 = access97;
  std::string out;
  appendIndexKey(out, c, ascending, v);
  return hexBytes(out);
}
std::string textKey(const std::string& s, bool ascending = true) { return key(ColumnType::Text, Value::text(s), ascending); }
std::string key97(const std::string& s, bool ascending = true) { return key(ColumnType::Text, Value::text(s), ascending, true); }

// Positions in a key (the accent bytes, the unprintables' slots) count a letter that sorts as
// several (ß as ss) once a letter: Access 2000 stored these keys in a Northwind. The keys of some
// Access-made files count it once; the check accepts those, and a row holding one can be changed.
TEST(IndexKeyText, LettersThatSortAsSeveralTakeAPositionEach) {
  // The hyphens' slots come after ß: 11 and 17, not 10 and 16.
  EXPECT_EQ(textKey("NuNuCa Nu\xC3\x9F-Nougat-Creme"),
            "7f626f626f4d4a07626f6b6b62646f554a6d4d695160510101010180330682804b068200");
  // ä takes the accent byte after 26 others, two of them for ß.
  EXPECT_EQ(textKey("Plutzer Lebensmittelgro\xC3\x9Fm\xC3\xA4rkte AG"),
            "7f665e6f6d785169075e514c51626b60596d6d515e5569646b6b604a695c6d51074a55"
            "0102020202020202020202020202020202020202020202020202021300");
  // The ligatures and Œ too, and the letters with an accent that sort as two (Ǽ, two accent bytes).
  // The hyphen's slot (the key's last four bytes) is the one it has after two letters.
  const std::string two = textKey("axx-b");
  for (const char* several : {"\xC3\xA6", "\xC3\xBE", "\xC5\x93", "\xEF\xAC\x81", "\xC7\xBC"}) {
    const std::string k = textKey(std::string("a") + several + "-b");
    EXPECT_EQ(k.substr(k.size() - 8), two.substr(two.size() - 8)) << several;
  }
  std::string once;
  appendGeneralTextKey(once, "Nu\xC3\x9F-", true, Expansions::kOnce);
  EXPECT_EQ(hexBytes(once), "626f6b6b" "01010101" "80130682" "00");
}

TEST(IndexKeyText, WholeLatin1RangeMatchesAccess) {
  // Access stored this key for the text U+0001 .. U+00FF (255 characters), counting each of Æ, Þ,
  // ß, æ and þ once.
  std::u32string text;
  for (char32_t ch = 1; ch <= 0xFF; ++ch) text += ch;
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
  std::string once;
  appendGeneralTextKey(once, utf32ToUtf8(text), true, Expansions::kOnce);
  EXPECT_EQ("7f" + hexBytes(once), expected);
  EXPECT_NE(textKey(utf32ToUtf8(text)), expected);
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
  for (const auto& a : words) {
    for (const auto& b : words) {
      if (textKey(a) < textKey(b)) {  // hex digits keep the order of the bytes
        EXPECT_GT(textKey(a, false), textKey(b, false)) << a << " / " << b;
      }
    }
  }
}

TEST(IndexKeyText, Access97Order) {
  // Access 97: one code a character, then 00 (no accents anywhere); Access 97 fixtures hold such keys.
  EXPECT_EQ(key97("a", false), "809fff");
  // Accents follow as four-bit codes: each accent after a 2 for every letter that could carry
  // one since the last, between 0s.
  EXPECT_EQ(key97("\xC3\xA9"), "7f66" "0400");
  EXPECT_EQ(key97("ab\xC3\xA9"), "7f606166" "0240");  // b never has an accent: no 2 for it
  // Characters of code page 1252 above Latin-1 use their byte's codes; others count for nothing.
  EXPECT_EQ(key97("\xE2\x82\xAC"), "7f1000");                // euro sign, byte 80
  EXPECT_EQ(key97("\xC5\x92"), key97("oe"));                 // OE ligature, byte 8C
  EXPECT_EQ(key97("a\xD0\x9C"), key97("a"));
  // The byte 00 keys as the control characters 01 to 08 do, not ignored: Access 97 stored this
  // key for the name "Lock" with a 00 after it.
  EXPECT_EQ(key97(std::string("Lock\0", 5)), "7f6d72626c1000");
  // Keys order as Access 97 sorts: case and accents count only after the letters.
  const std::vector<std::string> sorted = {"", "a", "A", "\xC3\xA1", "ab", "\xC3\xA1" "b", "b", "z"};
  for (size_t i = 0; i + 1 < sorted.size(); ++i) {
    EXPECT_LE(key97(sorted[i]), key97(sorted[i + 1])) << sorted[i] << " / " << sorted[i + 1];
    EXPECT_GE(key97(sorted[i], false), key97(sorted[i + 1], false)) << sorted[i] << " / " << sorted[i + 1];
  }
}

// The packed tables hold exactly the sort-code facts they are generated from.
TEST(IndexKeyText, SortTablesHoldTheFacts) {
  const std::string dir = testing::fixturePath("../../tools/gen/sort-codes/");
  auto lines = [&](const std::string& name) { return testing::linesOf(testing::readFile(dir + name)); };
  // The line a table entry would have been written from.
  auto line = [&](const SortCode& c) {
    const std::string in(reinterpret_cast<const char*>(c.inline_), c.inlineSize);
    const std::string extra(reinterpret_cast<const char*>(c.extra), c.extraSize);
    switch (c.kind) {
      case SortCode::Kind::kIgnored: return std::string("X");
      case SortCode::Kind::kSimple: return "S" + hexBytes(in);
      case SortCode::Kind::kSignificant: return "G" + hexBytes(in);
      case SortCode::Kind::kInternational: return "I" + hexBytes(in) + "," + hexBytes(extra);
      case SortCode::Kind::kUnprintable: return "U" + hexBytes(in);
      case SortCode::Kind::kUnprintableExt: return "P" + hexBytes(in);
      case SortCode::Kind::kInternationalExt2: return "Z" + hexBytes(in) + "," + hexBytes(extra) + ",1";
      case SortCode::Kind::kInternationalExt3: return "Z" + hexBytes(in) + "," + hexBytes(extra) + ",";
    }
    return std::string("?");
  };
  // Facts as our line shape: hex in lower case, every byte with both digits.
  auto normal = [&](const std::string& fact) {
    std::string out(1, fact[0]);
    size_t start = 1;
    for (int field = 0; start <= fact.size() && fact.size() > 1; ++field) {
      size_t end = std::min(fact.find(',', start), fact.size());
      const std::string f = fact.substr(start, end - start);
      out += (field ? "," : "") + (fact[0] == 'Z' && field == 2 ? f : hexBytes(testing::unhex(f.size() % 2 ? "0" + f : f)));
      start = end + 1;
    }
    return out;
  };
  std::vector<std::string> jet4 = lines("index_codes_genleg.txt"), ext = lines("index_codes_ext_genleg.txt");
  jet4.insert(jet4.end(), ext.begin(), ext.end());
  ASSERT_EQ(jet4.size(), 0x10000u - 0x800u);
  size_t next = 0;
  for (char32_t ch = 0; ch <= 0xFFFF; ++ch) {
    if (ch >= 0xD800 && ch <= 0xDFFF) continue;
    ASSERT_EQ(line(generalSortCode(char16_t(ch))), normal(jet4[next++])) << std::hex << unsigned(ch);
  }
  const std::vector<std::string> gen97 = lines("index_codes_gen_97.txt");
  ASSERT_EQ(gen97.size(), 256u);
  for (unsigned b = 0; b < 256; ++b) ASSERT_EQ(line(general97SortCode(uint8_t(b))), normal(gen97[b])) << b;
  for (const std::string& m : lines("index_mappings_ext_gen_97.txt")) {
    if (m.empty()) continue;
    const size_t comma = m.find(',');
    EXPECT_EQ(general97Byte(char32_t(std::stoul(m.substr(0, comma)))), std::stoul(m.substr(comma + 1))) << m;
  }
  EXPECT_EQ(general97Byte(U'\u0416'), 0);
}

TEST(IndexKeyText, LimitsAndRefusals) {
  // Only the first 255 characters count, for text and memo alike.
  EXPECT_EQ(key(ColumnType::Memo, Value::text(std::string(300, 'q'))), textKey(std::string(255, 'q')));
  EXPECT_NE(textKey(std::string(255, 'q')), textKey(std::string(254, 'q')));

  // Trailing blanks do not count (other white space does), in Jet 4 and Access 97 keys alike.
  EXPECT_EQ(textKey("x "), textKey("x"));
  EXPECT_EQ(textKey("x   "), textKey("x"));
  EXPECT_EQ(textKey("   "), textKey(""));
  EXPECT_NE(textKey(" x"), textKey("x"));
  EXPECT_NE(textKey("x\t"), textKey("x"));
  EXPECT_EQ(key97("PJ2T "), key97("PJ2T"));
  // The limit counts UTF-16 units, blanks included, before the blanks are dropped.
  EXPECT_EQ(textKey(std::string(255, 'q') + "r"), textKey(std::string(255, 'q')));
  EXPECT_EQ(textKey(std::string(254, 'q') + "  r"), textKey(std::string(254, 'q')));
  // A character outside the BMP takes two units; one that starts at unit 255 is cut in half.
  EXPECT_NE(textKey(std::string(253, 'q') + "\xF0\x9F\x98\x80"), textKey(std::string(253, 'q')));
  EXPECT_NE(textKey(std::string(254, 'q') + "\xF0\x9F\x98\x80"), textKey(std::string(254, 'q')));
  // Surrogates: computed inline codes and accent 3F (U+1F600 is D83D DE00).
  EXPECT_EQ(textKey("\xF0\x9F\x98\x80"), "7fb03fb6fc013f3f00");
  // Each unit is keyed alone: the two halves written one by one key as the whole character.
  EXPECT_EQ(textKey("\xED\xA0\xBD\xED\xB8\x80"), "7fb03fb6fc013f3f00");
  // Broken UTF-8.
  EXPECT_EQ(errorNumber([] { textKey("\xC3"); }), err::kInvalidArgument);
  EXPECT_EQ(errorNumber([] { textKey("\xC0\x80"); }), err::kInvalidArgument);
  // Other sort orders are not ours to guess.
  Column other = column(ColumnType::Text);
  other.sortOrder = 1031;
  std::string out;
  EXPECT_EQ(errorNumber([&] { appendIndexKey(out, other, true, Value::text("a")); }), err::kNotSupported);
}

TEST(IndexKeyNumber, TypesTheFixturesDoNotIndex) {
  using T = ColumnType;
  const std::tuple<ColumnType, Value, bool, const char*> cases[] = {  // type, value, ascending, key
      // Long, Integer and Date/Time keys of both directions are among the fixtures' entries.
      {T::Long, Value::null(), false, "ff"},
      {T::Long, Value::null(), true, "00"},
      // Floating point: negative numbers are inverted whole.
      {T::Double, Value::double_(1.0), true, "7fbff0000000000000"},
      {T::Double, Value::double_(-1.0), true, "7f400fffffffffffff"},
      {T::Double, Value::double_(-1.0), false, "80bff0000000000000"},
      {T::Single, Value::single(-2.5f), true, "7f3fdfffff"},
      {T::Currency, Value::currency(-10000), true, "7f7fffffffffffd8f0"},
      {T::Byte, Value::byte(200), true, "7fc8"},
      {T::Byte, Value::byte(200), false, "8037"},
      {T::Integer, Value::integer(-2), false, "808001"},
      // Decimals: FF and the value's 16 bytes, most significant first (Access stored 1 so).
      {T::Numeric, Value::decimal("1"), true, "7fff00000000000000000000000000000001"},
      {T::Numeric, Value::decimal("4294967298"), true, "7fff00000000000000000000000100000002"},
      {T::Numeric, Value::decimal("1"), false, "8000fffffffffffffffffffffffffffffffe"},
  };
  for (const auto& [type, value, ascending, expected] : cases) {
    EXPECT_EQ(key(type, value, ascending), expected) << columnTypeName(type) << " " << value.i << " " << value.d
                                                     << (ascending ? "" : " descending");
  }
  // The keys of negative decimals are not known: refused, not guessed.
  EXPECT_EQ(errorNumber([&] { key(T::Numeric, Value::decimal("-1")); }), err::kNotSupported);
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

  // A two-column index (ParentId, Name), as in every catalog: all Null, or too few values.
  const Column parent = column(ColumnType::Long), name = column(ColumnType::Text);
  const std::vector<IndexKeyPart> parts = {{&parent, true}, {&name, true}};
  EXPECT_EQ(hexBytes(encodeIndexKey(parts, {Value::null(), Value::null()})), "0000");
  EXPECT_EQ(errorNumber([&] { encodeIndexKey(parts, {Value::long_(1)}); }), err::kInvalidArgument);
}

TEST(IndexKeyOther, RejectsValuesThatDoNotFit) {
  using T = ColumnType;
  const std::vector<std::tuple<ColumnType, Value, int>> cases = {
      {T::Integer, Value::long_(40000), err::kOverflow},     {T::Byte, Value::integer(-1), err::kOverflow},
      {T::Long, Value::text("12"), err::kTypeMismatch},      {T::Text, Value::long_(12), err::kTypeMismatch},
      {T::Single, Value::double_(1e39), err::kOverflow},     {T::Numeric, Value::decimal("1.5"), err::kOverflow},
      {T::Ole, Value::binary("x"), err::kNotSupported},
  };
  for (const auto& [type, value, number] : cases) {
    EXPECT_EQ(errorNumber([&] { key(type, value); }), number) << columnTypeName(type);
  }
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
  // Beyond U+FFFF too: surrogates have codes of their own.
  std::string start, whole;
  appendIndexKeyStart(start, text, true, Value::text("ab\U0001F600c"));
  appendIndexKey(whole, text, true, Value::text("AB\U0001F600C"));
  EXPECT_EQ(hexBytes(start), hexBytes(whole.substr(0, start.size())));
}

// Every entry Access (97 to 2003) stored in the fixtures' indexes, against the key of its row.
// Entries whose column types the encoder refuses (kNotSupported) are left out.
TEST(IndexKeyStored, EveryStoredKeyEqualsItsRowsKey) {
  size_t total = 0;
  for (const auto& path : testing::fixtureDatabases()) {
    Database db(path, Database::Mode::ReadOnly);
    size_t checked = 0;
    std::vector<std::string> mismatches;
    for (const auto& name : db.tableNames(true)) {
      Table& t = db.table(name);
      for (const auto& ri : t.def().realIndexes) {
        walkIndex(db.file(), db.format(), ri.rootPage, "", [&](const IndexEntry& e) {
          const std::string where = name + " / index " + std::to_string(ri.number) + " / row " + std::to_string(e.row.page) +
                                    ":" + std::to_string(e.row.row);
          std::optional<std::string> key;
          const int error = errorNumber([&] { key = rowKey(t.def(), ri, t.readRow(e.row)); });
          if (error == err::kNotSupported) return true;
          ++checked;
          if (error != 0) {
            mismatches.push_back(where + ": error " + std::to_string(error));
          } else if (!key) {
            mismatches.push_back(where + ": listed, but its row has only Nulls in an index that leaves them out");
          } else if (*key != e.key && rowKey(t.def(), ri, t.readRow(e.row), Expansions::kOnce) != e.key) {
            mismatches.push_back(where + ": stored " + hexBytes(e.key) + ", computed " + hexBytes(*key));
          }
          return true;
        });
      }
    }
    EXPECT_EQ(mismatches, std::vector<std::string>{}) << path << ": " << mismatches.size() << " of " << checked << " keys differ";
    total += checked;
  }
  EXPECT_GT(total, 1000u);
}

}  // namespace
}  // namespace jet
