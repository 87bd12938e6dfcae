#include "app/console/table_diff.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "db/jet_date.h"
#include "db/value_convert.h"
#include "jet/csv_format.h"
#include "jet/database.h"
#include "jet/row_codec.h"

namespace console {
namespace {

constexpr size_t kShownCharacters = 100;

// What is kept of a row of the table before the update.
struct RowMark {
  std::string key;
  uint64_t checksum = 0;
  jet::RowId id;
};

class Checksum {
 public:
  void add(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
      h_ ^= p[i];
      h_ *= 1099511628211ull;
    }
  }
  void add(uint64_t n) { add(&n, sizeof n); }
  uint64_t value() const { return h_; }

 private:
  uint64_t h_ = 1469598103934665603ull;
};

// The columns that identify a row: the primary key's, or none.
std::vector<size_t> keyColumns(const jet::TableDef& def) {
  std::vector<size_t> columns;
  for (const jet::LogicalIndex& index : def.indexes) {
    if (!index.primary()) continue;
    for (const jet::RealIndex& real : def.realIndexes) {
      if (real.number != index.realIndex) continue;
      for (const jet::IndexColumn& ic : real.columns) {
        for (size_t i = 0; i < def.columns.size(); ++i) {
          if (def.columns[i].number == ic.columnNumber) columns.push_back(i);
        }
      }
    }
    break;
  }
  return columns;
}

void appendValueKey(std::string& key, const jet::Value& v) {
  key += char(v.kind);
  key.append(reinterpret_cast<const char*>(&v.i), sizeof v.i);
  key.append(reinterpret_cast<const char*>(&v.d), sizeof v.d);
  key += v.b ? '1' : '0';
  key += v.s;
  key += '\0';
}

class TableCompare {
 public:
  TableCompare(jet::Table* before, jet::Table* after) : before_(before), after_(after) {
    const jet::Table* t = after ? after : before;
    keys_ = keyColumns(t->def());
  }

  void write(std::ostream& out) {
    std::vector<RowMark> marks = markBefore();
    std::vector<bool> seen(marks.size(), false);
    if (after_) {
      jet::Table& table = *after_;
      jet::PageFile& file = table.database().file();
      const jet::Format& f = table.database().format();
      table.scan([&](jet::RowId id, jet::Bytes row) {
        jet::RawRow raw = jet::splitRow(f, table.def(), row);
        std::string key = keyOf(table, raw, id);
        uint64_t sum = checksumOf(table, raw);
        auto it = std::lower_bound(marks.begin(), marks.end(), key,
                                   [](const RowMark& m, const std::string& k) { return m.key < k; });
        if (it == marks.end() || it->key != key) {
          std::vector<jet::Value> values = jet::decodeRow(file, f, table.def(), row);
          added_.push_back("+ " + label(table, values, id) + ": " + allFields(table.def(), values));
          return true;
        }
        seen[size_t(it - marks.begin())] = true;
        if (it->checksum != sum) changed(it->id, jet::decodeRow(file, f, table.def(), row), id);
        return true;
      });
    }
    std::vector<jet::RowId> gone;
    for (size_t i = 0; i < marks.size(); ++i) {
      if (!seen[i]) gone.push_back(marks[i].id);
    }
    std::sort(gone.begin(), gone.end());
    for (jet::RowId id : gone) {
      std::vector<jet::Value> values = before_->readRow(id);
      deleted_.push_back("- " + label(*before_, values, id) + ": " + allFields(before_->def(), values));
    }

    const jet::Table& t = after_ ? *after_ : *before_;
    out << "  " << t.name() << ": " << added_.size() << " added, " << changed_.size() << " changed, "
        << deleted_.size() << " deleted\n";
    for (const auto* lines : {&added_, &changed_, &deleted_}) {
      for (const std::string& line : *lines) out << "    " << line << '\n';
    }
  }

 private:
  std::vector<RowMark> markBefore() {
    std::vector<RowMark> marks;
    if (!before_) return marks;
    jet::Table& table = *before_;
    const jet::Format& f = table.database().format();
    table.scan([&](jet::RowId id, jet::Bytes row) {
      jet::RawRow raw = jet::splitRow(f, table.def(), row);
      marks.push_back(RowMark{keyOf(table, raw, id), checksumOf(table, raw), id});
      return true;
    });
    std::sort(marks.begin(), marks.end(), [](const RowMark& a, const RowMark& b) { return a.key < b.key; });
    return marks;
  }

  // The primary key's values, or the row's stored position when the table has no key.
  std::string keyOf(jet::Table& table, const jet::RawRow& raw, jet::RowId id) {
    std::string key;
    if (keys_.empty()) {
      uint32_t packed = id.packed();
      key.append(reinterpret_cast<const char*>(&packed), sizeof packed);
      return key;
    }
    for (size_t i : keys_) appendValueKey(key, decode(table, raw, i));
    return key;
  }

  // The stored bytes of each field; long values by their content, since their bytes in the row
  // only point at it.
  uint64_t checksumOf(jet::Table& table, const jet::RawRow& raw) {
    Checksum sum;
    const auto& columns = table.def().columns;
    for (size_t i = 0; i < columns.size(); ++i) {
      bool present = i < raw.present.size() && raw.present[i];
      sum.add(present ? 1 : 0);
      if (i < raw.boolValue.size()) sum.add(raw.boolValue[i] ? 1 : 0);
      if (!present) continue;
      if (columns[i].isLongValue()) {
        jet::Value v = decode(table, raw, i);
        sum.add(v.s.data(), v.s.size());
      } else {
        sum.add(raw.fields[i].data(), raw.fields[i].size());
      }
    }
    return sum.value();
  }

  static jet::Value decode(jet::Table& table, const jet::RawRow& raw, size_t i) {
    jet::Database& db = table.database();
    return jet::decodeField(db.file(), db.format(), table.def().columns[i], raw, i);
  }

  // Different stored bytes may still hold the same values (text stored compressed or not).
  void changed(jet::RowId beforeId, const std::vector<jet::Value>& now, jet::RowId id) {
    std::vector<jet::Value> was = before_->readRow(beforeId);
    const auto& columns = after_->def().columns;
    std::string fields;
    for (size_t i = 0; i < columns.size() && i < now.size(); ++i) {
      int old = before_->columnIndex(columns[i].name);
      jet::Value previous = old >= 0 && size_t(old) < was.size() ? was[size_t(old)] : jet::Value::null();
      if (previous == now[i]) continue;
      if (!fields.empty()) fields += "; ";
      fields += columns[i].name + ": " + displayValue(previous) + " \u2192 " + displayValue(now[i]);
    }
    if (!fields.empty()) changed_.push_back("~ " + label(*after_, now, id) + ": " + fields);
  }

  std::string label(const jet::Table& table, const std::vector<jet::Value>& values, jet::RowId id) const {
    if (keys_.empty()) return "row " + std::to_string(id.page) + "." + std::to_string(id.row);
    std::string text;
    for (size_t i : keys_) {
      if (!text.empty()) text += ", ";
      text += table.def().columns[i].name + " " + (i < values.size() ? displayValue(values[i]) : "Null");
    }
    return text;
  }

  // The fields of a whole row, but for the key, which its label shows.
  std::string allFields(const jet::TableDef& def, const std::vector<jet::Value>& values) const {
    std::string text;
    for (size_t i = 0; i < def.columns.size() && i < values.size(); ++i) {
      if (std::find(keys_.begin(), keys_.end(), i) != keys_.end()) continue;
      if (!text.empty()) text += ", ";
      text += def.columns[i].name + "=" + displayValue(values[i]);
    }
    return text;
  }

  jet::Table* before_;
  jet::Table* after_;
  std::vector<size_t> keys_;
  std::vector<std::string> added_, changed_, deleted_;
};

// At most `count` characters of UTF-8 text, cut between characters.
std::string firstCharacters(const std::string& text, size_t count) {
  size_t i = 0;
  for (size_t n = 0; i < text.size() && n < count; ++n) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return text.substr(0, i);
}

}  // namespace

std::string displayValue(const jet::Value& v) {
  switch (v.kind) {
    case jet::Value::Kind::Null:
      return "Null";
    case jet::Value::Kind::Text: {
      size_t length = db::utf8Length(v.s);
      if (length <= kShownCharacters) return jet::csvQuote(v.s);
      return jet::csvQuote(firstCharacters(v.s, kShownCharacters) + "...") + " (" + std::to_string(length) +
             " characters)";
    }
    case jet::Value::Kind::Date:
      return "#" + db::formatVbDate(v.d) + "#";
    case jet::Value::Kind::Binary:
      return "<" + std::to_string(v.s.size()) + " bytes>";
    case jet::Value::Kind::Guid:
    case jet::Value::Kind::Decimal:
      return v.s;
    default:
      return db::textOf(v);
  }
}

void writeDatabaseChanges(const std::string& before, const std::string& after, std::ostream& out) {
  jet::Database was(before, jet::Database::Mode::ReadOnly);
  jet::Database now(after, jet::Database::Mode::ReadOnly);
  for (const std::string& name : now.tableNames()) {
    TableCompare(was.hasTable(name) ? &was.table(name) : nullptr, &now.table(name)).write(out);
  }
  for (const std::string& name : was.tableNames()) {
    if (!now.hasTable(name)) TableCompare(&was.table(name), nullptr).write(out);
  }
}

}  // namespace console
