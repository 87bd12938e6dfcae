// The row writer against an in-memory model: random adds, changes and deletes on real files,
// with every index checked by our integrity check and the rows read back by mdbtools.
#include "jet/write/table_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>

#include "jet/format/code_page.h"
#include "jet/write/add_index.h"
#include "jet/write/create_table.h"
#include "jet/base/error.h"
#include "jet/index/index_key.h"
#include "jet/index/index_page.h"
#include "jet/index/index_tree.h"
#include "jet/check/integrity_check.h"
#include "jet/pager/page_file.h"
#include "jet/format/row_codec.h"
#include "jet/format/text_codec.h"
#include "jet_test_support.h"
#include "../error_number.h"
#include "../independent_reader.h"

namespace jet {
namespace {

using testing::ScratchDir;
using testing::fixturePath;
using testing_support::errorNumber;

// Text with the characters that keys must sort right: punctuation, spaces, digits, case, accents,
// Greek, Cyrillic and CJK; now and then empty, as long as the column allows, or with trailing blanks.
// An Access 97 column gets the characters of its code page, and now and then one it lacks.
std::string randomText(std::mt19937& rng, size_t maxLen, bool codePage = false) {
  static const std::vector<std::string> latin = {
      "A", "b", "Z", "q", "0", "7", " ", "-", "'", "/", "&", ".", "(", "é", "Ü", "ñ", "ß", "PJ", "pj"};
  static const std::vector<std::string> wide = {"\xCE\xA9", "\xCF\x89", "\xCE\xAC", "\xD0\x96", "\xD0\xB6", "\xD1\x91", "\xE6\xBC\xA2", "\xE3\x81\x8B", "\xE3\x82\xAB"};
  static const std::vector<std::string> cp1252 = {"\xE2\x82\xAC", "\xC5\x92", "\xC5\x93", "\xC5\xA0", "\xC5\xA1", "\xE2\x80\x94", "\xC3\xBF", "\xC3\x86"};
  const auto& extra = codePage ? cp1252 : wide;
  auto piece = [&] { size_t k = rng() % (latin.size() + extra.size()); return k < latin.size() ? latin[k] : extra[k - latin.size()]; };
  if (rng() % 20 == 0) return "";
  size_t n = rng() % 10 == 0 ? maxLen : 1 + rng() % std::min<size_t>(maxLen, 40);
  std::string s;
  while (true) {
    std::string p = piece();
    if (utf8ToUtf32(s + p).size() > n) break;
    s += p;
  }
  if (codePage && !s.empty() && rng() % 60 == 0) {
    std::u32string chars = utf8ToUtf32(s);
    chars[rng() % chars.size()] = U'\u03A9';  // Greek: no place in code page 1252
    s = utf32ToUtf8(chars);
  }
  if (rng() % 6 == 0) {
    size_t blanks = 1 + rng() % 3;
    while (blanks > 0 && utf8ToUtf32(s).size() + blanks > maxLen) --blanks;
    s.append(blanks, ' ');
  }
  return s;
}

// Whether a code page 1252 file can store every text of `values`.
bool fitsCodePage(const std::vector<Column>& cols, const std::vector<Value>& values) {
  for (size_t i = 0; i < cols.size() && i < values.size(); ++i) {
    if (!cols[i].access97 || values[i].kind != Value::Kind::Text) continue;
    for (char32_t ch : utf8ToUtf32(values[i].s)) if (codePageByte(ch, cols[i].codePage) < 0) return false;
  }
  return true;
}

// Whether a value given for a column breaks a rule of its properties: a Null where a value is
// Required, "" where AllowZeroLength is No. Autonumbers get their number before the rules count.
bool breaksColumnRules(const std::vector<Column>& cols, const std::vector<Value>& values, const std::vector<bool>& given) {
  for (size_t i = 0; i < cols.size() && i < values.size(); ++i) {
    if (!given[i] || cols[i].autoNumber()) continue;
    if (cols[i].required && values[i].isNull() && cols[i].type != ColumnType::Boolean) return true;
    if (cols[i].noZeroLength && cols[i].isTextual() && values[i].kind == Value::Kind::Text && values[i].s.empty()) return true;
  }
  return false;
}

// Whether the table has an index whose keys are not built here (text in another sort order or an
// Access 97 code page other than 1252, decimals): changes to its rows are refused.
bool keysNotBuilt(const TableDef& def) {
  for (const auto& ri : def.realIndexes) {
    for (const auto& ic : ri.columns) {
      const Column* c = def.columnByNumber(ic.columnNumber);
      if (c->isTextual() && ((c->sortOrder != 1033 && c->sortOrder != 0) || (c->access97 && c->codePage != 1252))) return true;
      if (c->type == ColumnType::Numeric) return true;
    }
  }
  return false;
}

Value randomValue(std::mt19937& rng, const Column& c) {
  if (rng() % 10 == 0 && c.type != ColumnType::Boolean) return Value::null();
  switch (c.type) {
    case ColumnType::Boolean: return Value::boolean(rng() % 2);
    case ColumnType::Byte: return Value::byte(uint8_t(rng()));
    case ColumnType::Integer: return Value::integer(int16_t(int(rng() % 2000) - 1000));
    case ColumnType::Long: return Value::long_(int32_t(rng() % 200000) - 100000);
    case ColumnType::Currency: return Value::currency(int64_t(rng() % 10000000) - 5000000);
    case ColumnType::Single: return Value::single(float(int(rng() % 100000) - 50000) / 8.0f);
    case ColumnType::Double: return Value::double_((double(rng()) - 2147483648.0) / 1000.0);
    case ColumnType::DateTime: return Value::date(30000 + double(rng() % 20000) + double(rng() % 86400) / 86400.0);
    case ColumnType::Text: return Value::text(randomText(rng, c.maxChars(), c.access97));
    case ColumnType::Memo: {
      if (rng() % 4 != 0) return Value::text(randomText(rng, 80, c.access97));
      std::string long_;
      while (long_.size() < 3000 + rng() % 6000) long_ += randomText(rng, 40, c.access97);
      return Value::text(long_);
    }
    case ColumnType::Guid: {
      char g[40];
      std::snprintf(g, sizeof g, "{%08X-%04X-%04X-%04X-%08X%04X}", unsigned(rng()), unsigned(rng() & 0xFFFF),
                    unsigned(rng() & 0xFFFF), unsigned(rng() % 4), unsigned(rng()), unsigned(rng() & 0xFFFF));
      return Value::guid(g);
    }
    case ColumnType::Numeric: {
      // As values read back: the integer part without leading zeros, then `scale` decimals.
      const int intDigits = std::min(6, (c.precision ? c.precision : 18) - c.scale);
      std::string digits = intDigits > 0 ? std::to_string(rng() % uint32_t(std::pow(10, intDigits))) : "0";
      std::string fraction;
      for (int k = 0; k < c.scale; ++k) fraction += char('0' + rng() % 10);
      const bool zero = digits == "0" && fraction.find_first_not_of('0') == std::string::npos;
      return Value::decimal((rng() % 2 && !zero ? "-" : "") + digits + (c.scale ? "." + fraction : ""));
    }
    default: return Value::null();
  }
}

// A value that Access indexes as `v`: other letter case, more trailing blanks.
Value lookalike(std::mt19937& rng, const Column& c, const Value& v) {
  if (v.kind != Value::Kind::Text) return v;
  std::string s = v.s;
  for (char& ch : s) {
    if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');
    else if (ch >= 'A' && ch <= 'Z' && rng() % 2) ch = char(ch - 'A' + 'a');
  }
  if (utf8ToUtf32(s).size() < c.maxChars()) s += ' ';
  return Value::text(s);
}

// A table's rows by their home address, as the engine reads them.
std::map<RowId, std::vector<Value>> contents(Table& t) {
  std::map<RowId, std::vector<Value>> out;
  for (RowId id : t.rowIds()) out[id] = t.readRow(id);
  return out;
}

// The values as a row keeps them: fixed-length text padded with blanks to its length.
std::vector<Value> asStored(const std::vector<Column>& cols, std::vector<Value> v) {
  for (size_t i = 0; i < cols.size(); ++i) {
    if (cols[i].type != ColumnType::Text || !cols[i].fixed() || v[i].isNull()) continue;
    v[i].s.append(cols[i].maxChars() - utf8ToUtf32(v[i].s).size(), ' ');
  }
  return v;
}

bool uniqueIndex(const TableDef& def, const RealIndex& ri) {
  bool primary = false;
  for (auto& li : def.indexes) primary = primary || (li.realIndex == ri.number && li.primary());
  return primary || ri.unique();
}

// Whether `values` for row `self` would repeat the key of another row in a unique index.
bool repeatsUniqueKey(const TableDef& def, const std::map<RowId, std::vector<Value>>& model,
                      const std::vector<Value>& values, const RowId* self) {
  for (auto& ri : def.realIndexes) {
    if (!uniqueIndex(def, ri) || allKeyColumnsNull(def, ri, values)) continue;
    std::optional<std::string> key;
    if (errorNumber([&] { key = rowKey(def, ri, values); }) == err::kNotSupported) return false;  // the writer refuses it
    for (auto& [id, row] : model) {
      if ((!self || id != *self) && rowKey(def, ri, row) == key) return true;
    }
  }
  return false;
}

// A relationship Access enforces, seen from one of its tables: that table's columns in it, and
// the values the rows at the other end hold in theirs. (Compared as values: the files' related
// columns hold numbers, where values and keys agree.)
struct Related {
  std::vector<size_t> columns;
  std::vector<std::vector<Value>> others;
  bool holds(const std::vector<Value>& row) const {
    std::vector<Value> mine;
    for (size_t c : columns) mine.push_back(row[c]);
    return std::find(others.begin(), others.end(), mine) != others.end();
  }
  bool anyNull(const std::vector<Value>& row) const {
    return std::any_of(columns.begin(), columns.end(), [&](size_t c) { return row[c].isNull(); });
  }
};

// The relationships of `table` as the file's list of relationships names them: those in which
// its rows refer to another table's (`referring`), or those in which other rows refer to its own.
std::vector<Related> relationshipsOf(Database& db, const std::string& table, bool referring) {
  std::map<std::string, std::pair<std::vector<std::string>, std::vector<std::string>>> columns;  // mine, theirs
  std::map<std::string, std::string> otherTable;
  if (!db.hasTable("MSysRelationships")) return {};
  Table& rel = db.table("MSysRelationships");
  auto field = [&](const std::vector<Value>& row, const char* name) { return row[size_t(rel.columnIndex(name))]; };
  for (RowId id : rel.rowIds()) {
    std::vector<Value> row = rel.readRow(id);
    if (field(row, "grbit").i & 0x2) continue;  // not enforced
    const char* mine = referring ? "szObject" : "szReferencedObject";
    const char* theirs = referring ? "szReferencedObject" : "szObject";
    if (!sameName(field(row, mine).s, table)) continue;
    auto& [m, t] = columns[field(row, "szRelationship").s];
    m.push_back(field(row, referring ? "szColumn" : "szReferencedColumn").s);
    t.push_back(field(row, referring ? "szReferencedColumn" : "szColumn").s);
    otherTable[field(row, "szRelationship").s] = field(row, theirs).s;
  }
  std::vector<Related> out;
  for (const auto& [name, pair] : columns) {
    Related r;
    for (const auto& c : pair.first) r.columns.push_back(size_t(db.table(table).columnIndex(c)));
    Table& other = db.table(otherTable[name]);
    for (RowId id : other.rowIds()) {
      std::vector<Value> row = other.readRow(id), values;
      for (const auto& c : pair.second) values.push_back(row[size_t(other.columnIndex(c))]);
      r.others.push_back(values);
    }
    out.push_back(std::move(r));
  }
  return out;
}

// Runs `ops` random operations on one table of a copy and checks it against a model: the
// engine's rows, mdbtools' rows and the integrity check, which compares every stored key and
// every reference between tables too.
void exercise(const std::string& path, const std::string& tableName, int ops, unsigned seed) {
  std::mt19937 rng(seed);
  std::map<RowId, std::vector<Value>> model;
  std::vector<std::string> problemsBefore;
  int lookalikesRefused = 0;
  int keysRefused = 0;
  int conversionsRefused = 0;
  int rulesRefused = 0;
  {
    Database db(path, Database::Mode::ReadWrite);
    problemsBefore = checkDatabase(db);  // what Access itself left (kept, not made worse)
    Table& t = db.table(tableName);
    model = contents(t);
    TableWriter w(db, t);
    const TableDef& def = t.def();
    const auto& cols = def.columns;
    // The other tables stay as they are while this one changes.
    const std::vector<Related> refers = relationshipsOf(db, tableName, true), referred = relationshipsOf(db, tableName, false);
    auto refersToNothing = [&](const std::vector<Value>& v) {
      return std::any_of(refers.begin(), refers.end(), [&](const Related& r) { return !r.anyNull(v) && !r.holds(v); });
    };
    auto isReferred = [&](const std::vector<Value>& v) {
      return std::any_of(referred.begin(), referred.end(), [&](const Related& r) { return r.holds(v); });
    };
    // New values for every column of a new row, or for about half the columns of a changed one.
    // A reference mostly names a row that is there.
    auto fresh = [&](std::vector<Value> v) {
      bool all = v.empty();
      v.resize(cols.size());
      for (size_t i = 0; i < cols.size(); ++i) {
        if (!cols[i].autoNumber() && (all || rng() % 2)) v[i] = randomValue(rng, cols[i]);
      }
      for (const Related& r : refers) {
        if (r.others.empty() || rng() % 4 == 0) continue;
        const auto& other = r.others[rng() % r.others.size()];
        for (size_t k = 0; k < r.columns.size(); ++k) v[r.columns[k]] = other[k];
      }
      return v;
    };
    int referencesRefused = 0;
    for (int i = 0; i < ops; ++i) {
      int op = int(rng() % 10);
      bool lookalikeOfOther = false;
      std::vector<Value> v, old;
      std::vector<bool> given(cols.size(), true);  // the columns the operation gives values for
      try {
        if (op < 5 || model.size() < 5) {
          v = fresh({});
          if (!model.empty() && rng() % 8 == 0) {
            // A row that differs from another only in case and trailing blanks.
            const auto& other = std::next(model.begin(), long(rng() % model.size()))->second;
            for (size_t k = 0; k < cols.size(); ++k) if (!cols[k].autoNumber()) v[k] = lookalike(rng, cols[k], other[k]);
            lookalikeOfOther = true;
          }
          const bool repeats = repeatsUniqueKey(def, model, v, nullptr);
          RowId id = w.insert(v);
          ASSERT_FALSE(repeats) << "a repeated key in a unique index was accepted";
          ASSERT_FALSE(breaksColumnRules(cols, v, given)) << "a value its column's properties refuse was stored";
          ASSERT_TRUE(fitsCodePage(cols, v)) << "text outside the code page was stored";
          model[id] = t.readRow(id);
          const std::vector<Value> stored = asStored(cols, v);
          for (size_t k = 0; k < cols.size(); ++k) {
            if (!cols[k].autoNumber()) {
              ASSERT_EQ(model[id][k], stored[k]) << cols[k].name;
            }
          }
        } else if (op < 8) {
          auto it = std::next(model.begin(), long(rng() % model.size()));
          old = it->second;
          v = fresh(it->second);
          const bool repeats = repeatsUniqueKey(def, model, v, &it->first);
          if (rng() % 2) {
            // Only some columns given, now and then one as it stands: the others keep their bytes.
            std::vector<std::optional<Value>> changes(cols.size());
            for (size_t k = 0; k < cols.size(); ++k) {
              if (!(v[k] == old[k]) || rng() % 4 == 0) changes[k] = v[k];
              given[k] = changes[k].has_value();
            }
            w.update(it->first, std::move(changes));
          } else {
            w.update(it->first, v);
          }
          ASSERT_FALSE(breaksColumnRules(cols, v, given)) << "a value its column's properties refuse was stored";
          ASSERT_FALSE(repeats) << "a repeated key in a unique index was accepted";
          ASSERT_TRUE(fitsCodePage(cols, v)) << "text outside the code page was stored";
          it->second = asStored(cols, v);
        } else {
          auto it = std::next(model.begin(), long(rng() % model.size()));
          old = it->second;
          w.remove(it->first);
          ASSERT_FALSE(isReferred(old)) << "a row other rows refer to was deleted";
          model.erase(it);
        }
      } catch (const Error& e) {
        // Only text the file's code page lacks, a key that is already there, a Null in a
        // primary key, a reference to nothing or the loss of a row referred to may be refused.
        if (e.number() == err::kRelatedRecordsExist) {  // a delete or a change of a row referred to
          ASSERT_TRUE(isReferred(old)) << e.what();
          ++referencesRefused;
        } else if (e.number() == err::kNotSupported && keysNotBuilt(def)) {
          ASSERT_NE(std::string(e.what()).find("Nothing was written"), std::string::npos) << e.what();
          ++keysRefused;
        } else if (e.number() == err::kConversion) {
          ASSERT_FALSE(fitsCodePage(cols, v)) << e.what();
          ++conversionsRefused;
        } else if (!fitsCodePage(cols, v)) {
          FAIL() << "text outside the code page was refused with " << e.number() << " instead: " << e.what();
        } else if (e.number() == err::kValueRequired || e.number() == err::kZeroLengthString) {
          ASSERT_TRUE(breaksColumnRules(cols, v, given)) << e.what();
          ++rulesRefused;
        } else if (e.number() == err::kDuplicateKey) {
          ASSERT_TRUE(repeatsUniqueKey(def, model, v, nullptr)) << e.what();
          lookalikesRefused += lookalikeOfOther;
        } else if (e.number() == err::kRelatedRecordRequired) {
          ASSERT_TRUE(refersToNothing(v)) << e.what();
          ++referencesRefused;
        } else if (e.number() == err::kRecordTooLarge) {
          // A row too large for a page (tables of many text columns).
          size_t bytes = 0;
          for (const auto& value : v) bytes += value.kind == Value::Kind::Text ? utf8ToUtf16le(value.s).size() : 8;
          ASSERT_GT(bytes, db.format().pageSize / 2) << e.what();
        } else {
          ASSERT_EQ(e.number(), err::kNullInIndex) << e.what();
        }
      }
      if (i % 250 == 249) {
        ASSERT_EQ(checkDatabase(db), problemsBefore) << "after " << i + 1 << " operations";
        ASSERT_EQ(contents(t), model);
      }
    }
    ASSERT_EQ(contents(t), model);
    // Each refusal the table can meet was met: a reference to nothing or the loss of a row referred
    // to, a lookalike of a row in a unique index on values we choose, text outside the code page.
    bool uniqueOnValues = false, codePageText = false;
    for (auto& ri : def.realIndexes) {
      bool chosen = uniqueIndex(def, ri);
      for (auto& ic : ri.columns) chosen = chosen && !def.columnByNumber(ic.columnNumber)->autoNumber();
      uniqueOnValues = uniqueOnValues || chosen;
    }
    for (auto& c : cols) codePageText = codePageText || (c.access97 && c.type == ColumnType::Text);
    EXPECT_TRUE(referencesRefused > 0 || (refers.empty() && referred.empty()));
    EXPECT_TRUE(lookalikesRefused > 0 || !uniqueOnValues || keysRefused > 0);
    EXPECT_TRUE(conversionsRefused > 0 || !codePageText || keysRefused > 0);
    // A column whose properties refuse Null or "" met such a value.
    const bool rules = std::any_of(cols.begin(), cols.end(), [](const Column& c) {
      return !c.autoNumber() && ((c.required && c.type != ColumnType::Boolean) || (c.noZeroLength && c.isTextual()));
    });
    EXPECT_TRUE(rulesRefused > 0 || !rules || keysRefused > 0);
  }
  Database db(path, Database::Mode::ReadOnly);
  EXPECT_EQ(checkDatabase(db), problemsBefore);
  EXPECT_EQ(contents(db.table(tableName)), model);
  std::vector<std::string> differences = testing::mdbtoolsRowDifferences(db, tableName);
  EXPECT_TRUE(differences.empty()) << differences.size() << " rows differ, first: " << differences.front();
}

TEST(TableWriter, RandomOperationsOnTheBandPlanKeepEveryIndexExact) {
  ScratchDir dir;
  std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"), "bandplan.mdb");
  exercise(path, "prefixes", 1500, 1);
  exercise(path, "plink", 1500, 2);
}

// Access leaves a node's key for a child above the child's last entry once that entry is deleted
// (below the next child's first, so that searches still turn right). Such a tree, rebuilt here
// from a logbook's indexes, is no damage; random writes into it keep every entry where a search
// finds it: the check's walk says so (an entry at or below the key before it is damage), and so
// does a search for each row's key.
TEST(TableWriter, RandomOperationsOnTreesWithLooseNodeKeys) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/logbook.mdb"), "loose.mdb");
  size_t loosened = 0;
  {
    Database db(path, Database::Mode::ReadWrite);
    PageFile& file = db.file();
    auto firstLeafEntry = [&](uint32_t page) {
      IndexNode n = readIndexNode(file, db.format(), page);
      while (!n.leaf) n = readIndexNode(file, db.format(), n.entries.empty() ? n.tail : n.entries.front().child);
      return n.entries.at(0);
    };
    for (const RealIndex& ri : db.table("MainLog").def().realIndexes) {
      IndexNode root = readIndexNode(file, db.format(), ri.rootPage);
      if (root.leaf) continue;
      for (size_t i = 0; i < root.entries.size(); ++i) {
        const uint32_t next = i + 1 < root.entries.size() ? root.entries[i + 1].child : root.tail;
        if (next == 0) continue;
        // Just below the next child's first entry: the loosest key a search still turns right at.
        IndexEntry loose = firstLeafEntry(next);
        loose.row = RowId::unpack(loose.row.packed() - 1);
        if (compareEntries(loose, root.entries[i]) <= 0) continue;
        root.entries[i].key = loose.key;
        root.entries[i].row = loose.row;
        ++loosened;
      }
      ASSERT_TRUE(writeIndexNode(file.modify(root.page), db.format(), root));
    }
    file.commit();
  }
  ASSERT_GT(loosened, 10u);
  std::vector<std::string> notes;
  {
    Database db(path, Database::Mode::ReadOnly);
    EXPECT_EQ(checkDatabase(db, &notes), std::vector<std::string>{});
  }
  EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [](const std::string& n) { return n.find("node keys lie above") != std::string::npos; }));
  // One step further, at the next child's first entry or below the child's last, a key is damage.
  for (bool tooHigh : {true, false}) {
    const std::string broken = dir.copy(path, tooHigh ? "high.mdb" : "low.mdb");
    {
      Database db(broken, Database::Mode::ReadWrite);
      const RealIndex& ri = db.table("MainLog").def().realIndexes.at(0);
      IndexNode root = readIndexNode(db.file(), db.format(), ri.rootPage);
      IndexNode child = readIndexNode(db.file(), db.format(), root.entries.at(0).child);
      IndexEntry& e = root.entries[0];
      e.row = RowId::unpack(e.row.packed() + (tooHigh ? 1 : 0));
      if (!tooHigh) {
        e.key = child.entries.at(child.entries.size() - 2).key;
        e.row = child.entries.at(child.entries.size() - 2).row;
      }
      ASSERT_TRUE(writeIndexNode(db.file().modify(root.page), db.format(), root));
      db.file().commit();
    }
    const std::string problems = testing_support::integrityProblems(broken);
    EXPECT_NE(problems.find(tooHigh ? "is not above the key node" : "carries a key below the last entry"), std::string::npos) << problems;
  }
  exercise(path, "MainLog", 1200, 77);
  Database db(path, Database::Mode::ReadOnly);
  Table& t = db.table("MainLog");
  for (const RealIndex& ri : t.def().realIndexes) {
    for (RowId id : t.rowIds()) {
      const std::optional<std::string> key = rowKey(t.def(), ri, t.readRow(id));
      if (!key) continue;
      bool found = false;
      walkIndex(db.file(), db.format(), ri.rootPage, *key, [&](const IndexEntry& e) {
        found = e.key == *key && e.row == id;
        return e.key == *key && !found;
      });
      ASSERT_TRUE(found) << "index " << ri.number << " hides row " << id.page << ":" << int(id.row);
    }
  }
}

// Every table of every file Access made, Access 97 ones included.
TEST(TableWriter, RandomOperationsOnAccessMadeFiles) {
  ScratchDir dir;
  unsigned seed = 10;
  int tables = 0, access97Files = 0;
  for (const auto& file : testing::fixtureDatabases()) {
    if (file.find("access-made") == std::string::npos) continue;
    std::vector<std::string> names;
    {
      Database db(file, Database::Mode::ReadOnly);
      access97Files += !db.format().jet4;
      names = db.tableNames();
    }
    std::string path = dir.copy(file, "copy" + std::to_string(seed) + ".mdb");
    for (const auto& table : names) {
      SCOPED_TRACE(file + " / " + table);
      exercise(path, table, 400, seed++);
      ++tables;
    }
  }
  EXPECT_GE(tables, 24);
  EXPECT_EQ(access97Files, 4);
}

// Refused rows leave the file as it was, byte for byte: a primary key that is taken, text longer
// than its column and text that is not UTF-8 (it has no key: refused, not stored with a wrong one);
// in Access 97, text outside code page 1252 and a Text(50) that holds 50 bytes, '€' being one of
// them; in a fixed-length Text(1), two characters or one that takes two UTF-16 units; a reference to
// a row that is not there.
TEST(TableWriter, RefusalsLeaveTheFileUnchanged) {
  using Refusal = std::pair<std::vector<Value>, int>;
  auto table1 = [](const std::string& a, const std::string& b) {
    return std::vector<Value>{Value::text(a), Value::text(b), Value::null(), Value::null(), Value::null(),
                              Value::null(), Value::null(), Value::null(), Value::boolean(false)};
  };
  auto users = [](const std::string& password, const std::string& flag) {
    return std::vector<Value>{Value::long_(90), Value::text("x"), Value::text(password), Value::text("x"), Value::text("x"),
                              Value::long_(1), Value::long_(2), Value::long_(3), Value::text(flag), Value::date(40000.5)};
  };
  struct Case {
    const char* fixture;
    const char* table;
    bool alsoUpdate;
    std::vector<Refusal> refused;
  };
  const Case cases[] = {
      {"jet4/bandplan.mdb", "plink", false,
       {{{Value::long_(1), Value::text("NEW"), Value::long_(1)}, err::kDuplicateKey},
        {{Value::null(), Value::text("ABCDEFGHIJK"), Value::long_(1)}, err::kTooSmall},
        {{Value::null(), Value::text("PJ\xC3"), Value::long_(1)}, err::kInvalidArgument}}},
      {"access-made/testV1997.mdb", "Table1", true,
       {{table1("\xCE\xA9MEGA", "b"), err::kConversion},  // in the primary key
        {table1("NEW", "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1"), err::kConversion},  // in another index
        {table1("NEW", "b\xE6\xBC\xA2"), err::kConversion},
        {table1(std::string(50, 'x') + "\xE2\x82\xAC", "b"), err::kTooSmall}}},
      {"access-made/fixedTextTestV2003.mdb", "users", false,
       {{users("x", "NY"), err::kTooSmall},
        {users("x", "\xF0\x9F\x98\x80"), err::kTooSmall},
        {users("p\xE9", "N"), err::kInvalidArgument}}},  // in a column without an index too
      {"access-made/indexTestV2003.mdb", "Table1", true,  // a reference to no row of Table2
       {{{Value::long_(100), Value::long_(99), Value::long_(10), Value::text("x"), Value::long_(0)}, err::kRelatedRecordRequired}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    ScratchDir dir;
    const std::string path = dir.copy(fixturePath(c.fixture)), before = testing::readFile(path);
    {
      Database db(path, Database::Mode::ReadWrite);
      Table& t = db.table(c.table);
      TableWriter w(db, t);
      const RowId first = t.rowIds().front();
      for (size_t i = 0; i < c.refused.size(); ++i) {
        const auto& [values, number] = c.refused[i];
        EXPECT_EQ(errorNumber([&] { w.insert(values); }), number) << "refusal " << i;
        if (c.alsoUpdate) {
          EXPECT_EQ(errorNumber([&] { w.update(first, values); }), number) << "refusal " << i;
        }
      }
      EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
      db.close();  // whatever the log held is in the file now
    }
    EXPECT_TRUE(testing::readFile(path) == before) << "the file changed";
  }
}

// Long runs of one key pack tightly with prefix compression; a different key arriving among
// them must still split the page into pieces that fit. Runs of a 255-character key share more
// than the 255 bytes an Access 97 page can name as its common prefix (it keeps that length in
// one byte): what the pages hold must read back the same once the file is opened again.
TEST(TableWriter, ManyEqualKeysThenOthers) {
  for (const char* fixture : {"jet4/bandplan.mdb", "access-made/testV1997.mdb"}) {
    SCOPED_TRACE(fixture);
    ScratchDir dir;
    const std::string path = dir.copy(fixturePath(fixture));
    {
      Database db(path, Database::Mode::ReadWrite);
      if (!db.hasTable("plink")) {
        createTable(db, {"plink", {{"ID", ColumnType::Long, 0, true}, {"prefix", ColumnType::Text, 255}, {"plink", ColumnType::Long}},
                         {{"prefix", {{"prefix"}}}}});
      }
      const std::string run = db.format().jet4 ? "PJ2" : std::string(254, 'p') + "2";
      Table& t = db.table("plink");
      TableWriter w(db, t);
      db.beginBatch();
      for (int i = 0; i < 3000; ++i) w.insert({Value::null(), Value::text(run), Value::long_(7)});
      for (int i = 0; i < 300; ++i) {
        w.insert({Value::null(), Value::text(run.substr(0, run.size() - 1) + std::to_string(i % 10)), Value::long_(i % 13)});
      }
      db.endBatch();
      EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    }
    Database again(path, Database::Mode::ReadOnly);
    EXPECT_EQ(checkDatabase(again), std::vector<std::string>{});
  }
}

size_t leafCount(PageFile& file, const Format& f, uint32_t page) {
  const IndexNode n = readIndexNode(file, f, page);
  if (n.leaf) return 1;
  size_t leaves = n.tail != 0 ? leafCount(file, f, n.tail) : 0;
  for (const IndexEntry& e : n.entries) leaves += leafCount(file, f, e.child);
  return leaves;
}

// A logbook grows one contact at a time, each row at a later address than the ones before: an
// index on a column of few values takes every new entry at the end of its value's run. Those
// leaves must be left about as full as an index built in one pass over the same rows, not a
// fraction of a page each (which a leaf split evenly at the end of a run leaves behind).
TEST(TableWriter, RowsAddedOneByOneLeaveTheirIndexAsFullAsOneBuiltAtOnce) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"));
  Database db(path, Database::Mode::ReadWrite);
  createTable(db, {"log", {{"ID", ColumnType::Long, 0, true}, {"Country", ColumnType::Text, 50}}, {{"Country", {{"Country"}}}}});
  const char* const countries[] = {"Germany", "Japan", "United States", "Curacao", "Bonaire", "Spain", "Italy", "Brazil"};
  std::mt19937 rng(5);
  Table& t = db.table("log");
  TableWriter w(db, t);
  db.beginBatch();
  for (int i = 0; i < 20000; ++i) w.insert({Value::null(), Value::text(countries[rng() % 8])});
  db.endBatch();
  EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
  const size_t grown = leafCount(db.file(), db.format(), t.def().realIndexes.back().rootPage);
  // The same index built in one pass over the rows.
  addIndex(db, "log", {"again", {{"Country"}}});
  const size_t packed = leafCount(db.file(), db.format(), db.table("log").def().realIndexes.back().rootPage);
  EXPECT_LE(grown, packed + packed / 4 + 2) << "grown " << grown << " leaves, built at once " << packed;
}

// 0 and -0 are equal numbers, but an index keeps them under different keys: a change from one to
// the other moves the entry.
TEST(TableWriter, ChangeBetweenZeroAndMinusZeroMovesTheKey) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"));
  Database db(path, Database::Mode::ReadWrite);
  createTable(db, {"zeros", {{"ID", ColumnType::Long, 0, true}, {"x", ColumnType::Double}, {"y", ColumnType::Single}},
                   {{"x", {{"x"}}}, {"y", {{"y"}}}}});
  Table& t = db.table("zeros");
  TableWriter w(db, t);
  const RowId id = w.insert({Value::null(), Value::double_(0.0), Value::single(0.0f)});
  for (double zero : {-0.0, 0.0, -0.0}) {
    std::vector<Value> row = t.readRow(id);
    row[1] = Value::double_(zero);
    row[2] = Value::single(float(zero));
    w.update(id, row);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{}) << zero;
  }
  w.remove(id);
  EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
}

// Access stores whatever UTF-16 it is given, a surrogate without its partner too: such a value
// reads back as the three-byte form of the unit, is stored again as that unit, and is keyed as it.
TEST(TableWriter, ALoneSurrogateIsStoredAsItWasRead) {
  ScratchDir dir;
  const std::string path = dir.copy(fixturePath("jet4/bandplan.mdb"));
  Database db(path, Database::Mode::ReadWrite);
  createTable(db, {"odd", {{"ID", ColumnType::Long, 0, true}, {"t", ColumnType::Text, 20}, {"n", ColumnType::Long}}, {{"t", {{"t"}}}}});
  Table& t = db.table("odd");
  TableWriter w(db, t);
  const std::string lone = "a\xED\xA8\xB1" "b", low = "\xED\xB0\x80";  // U+DA31 alone, U+DC00 alone
  const RowId first = w.insert({Value::null(), Value::text(lone), Value::long_(1)});
  w.insert({Value::null(), Value::text(low), Value::long_(2)});
  std::vector<Value> row = t.readRow(first);
  EXPECT_EQ(row[1], Value::text(lone));
  row[2] = Value::long_(3);  // a change elsewhere in the row stores the text again
  w.update(first, row);
  EXPECT_EQ(t.readRow(first), row);
  EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
  EXPECT_EQ(errorNumber([&] { w.insert({Value::null(), Value::text("\xED\xA8"), Value::long_(4)}); }), err::kInvalidArgument);
}

// Every row of every Access 97 file, system tables included, encoded again from its values is
// the row Access 97 stored: the same variable-field offsets (every one listed), jump table and
// null mask. Only the bytes of a Null fixed-length field, which Access leaves as they were, count
// as zeros.
TEST(TableWriter, Access97RowsEncodeAsAccess97WroteThem) {
  int rows = 0, jumpRows = 0;
  for (const auto& file : testing::fixtureDatabases()) {
    Database db(file, Database::Mode::ReadOnly);
    if (db.format().jet4) continue;
    for (const auto& name : db.tableNames(true)) {
      Table& t = db.table(name);
      const TableDef& def = t.def();
      t.scan([&](RowId id, Bytes row) {
        RawRow raw = splitRow(db.format(), def, row);
        std::string stored = row.str(0, row.size());
        std::vector<Value> values;
        for (size_t i = 0; i < def.columns.size(); ++i) {
          const Column& c = def.columns[i];
          if (c.fixed() && !raw.fields[i].present && c.type != ColumnType::Boolean) {
            std::fill_n(stored.begin() + long(db.format().rowColumnCountSize + c.fixedOffset), fixedWidth(c), '\0');
          }
          // Long values as the bytes the row keeps for them.
          values.push_back(c.isLongValue() ? (raw.fields[i].present ? Value::binary(raw.fields[i].bytes.str(0, raw.fields[i].bytes.size())) : Value::null())
                                           : decodeField(db.file(), db.format(), c, raw, i));
        }
        EXPECT_TRUE(encodeRow(db.format(), def, values) == stored) << file << " / " << name << " row " << id.page << ":" << int(id.row);
        ++rows;
        jumpRows += row.size() > 256;
        return true;
      });
    }
  }
  EXPECT_GT(rows, 900);
  EXPECT_GE(jumpRows, 1);
}

}  // namespace
}  // namespace jet
