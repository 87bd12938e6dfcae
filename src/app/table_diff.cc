#include "app/table_diff.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "db/connection.h"
#include "db/jet_date.h"
#include "db/recordset.h"
#include "db/value_convert.h"

namespace app {
namespace {

constexpr size_t kShownCharacters = 100;
constexpr size_t kNone = SIZE_MAX;

using Values = std::vector<jet::Value>;

void appendValueKey(std::string& key, const jet::Value& v) {
  key += char(v.kind);
  key.append(reinterpret_cast<const char*>(&v.i), sizeof v.i);
  key.append(reinterpret_cast<const char*>(&v.d), sizeof v.d);
  key += v.b ? '1' : '0';
  key += v.s;
  key += '\0';
}

uint64_t checksumOf(const Values& values) {
  std::string bytes;
  for (const jet::Value& v : values) appendValueKey(bytes, v);
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// Each row of `table`, in table order, with its position (from 1).
template <class Visit>
void eachRow(db::Connection& database, const std::string& table, Visit visit) {
  std::unique_ptr<db::Recordset> rows = database.OpenRecordset(table);
  for (size_t n = 1; !rows->Eof(); rows->MoveNext(), ++n) visit(rows->currentValues(), n);
}

// What is kept of a row of the table before the update.
struct RowMark {
  std::string key;
  uint64_t checksum = 0;
  size_t position = 0;  // in the table before, from 1
};

// A row of the table after the update whose values differ from its row before.
struct Changed {
  size_t mark;
  Values now;
  size_t position;
  Values was;
};

class TableCompare {
 public:
  TableCompare(db::Connection* before, db::Connection* after, const std::string& table)
      : before_(before), after_(after), table_(table) {
    db::Connection& shape = after ? *after : *before;
    fields_ = shape.OpenRecordset(table)->fieldNames();
    for (const std::string& column : shape.primaryKey(table)) {
      auto at = std::find(fields_.begin(), fields_.end(), column);
      if (at != fields_.end()) keys_.push_back(size_t(at - fields_.begin()));
    }
    if (before && after) beforeFields_ = before->OpenRecordset(table)->fieldNames();
  }

  void write(std::ostream& out) {
    std::vector<RowMark> marks = markBefore();
    std::vector<bool> seen(marks.size(), false);
    std::vector<Changed> changed;
    std::vector<size_t> changedOf(marks.size(), kNone);
    if (after_) {
      eachRow(*after_, table_, [&](const Values& values, size_t position) {
        const std::string key = keyOf(values);
        auto it = std::lower_bound(marks.begin(), marks.end(), key,
                                   [](const RowMark& m, const std::string& k) { return m.key < k; });
        // Rows of a table without a key may repeat: each row before matches one row after.
        while (it != marks.end() && it->key == key && seen[size_t(it - marks.begin())]) ++it;
        if (it == marks.end() || it->key != key) {
          added_.push_back("+ " + label(values, position) + ": " + allFields(values));
          return;
        }
        const size_t m = size_t(it - marks.begin());
        seen[m] = true;
        if (it->checksum != checksumOf(values)) {
          changedOf[m] = changed.size();
          changed.push_back(Changed{m, values, position, {}});
        }
      });
    }
    // The table before once more, for the values of the rows changed and deleted.
    std::vector<size_t> markAt(marks.size() + 1, kNone);
    for (size_t m = 0; m < marks.size(); ++m) markAt[marks[m].position] = m;
    const bool again = !changed.empty() || std::find(seen.begin(), seen.end(), false) != seen.end();
    if (before_ && again) {
      eachRow(*before_, table_, [&](const Values& values, size_t position) {
        const size_t m = position < markAt.size() ? markAt[position] : kNone;
        if (m == kNone) return;
        if (!seen[m]) deleted_.push_back("- " + label(values, position) + ": " + allFields(values));
        if (changedOf[m] != kNone) changed[changedOf[m]].was = values;
      });
    }
    std::vector<std::string> changedLines;
    for (const Changed& c : changed) {
      std::string fields = changedFields(c.was, c.now);
      if (!fields.empty()) changedLines.push_back("~ " + label(c.now, c.position) + ": " + fields);
    }

    out << "  " << table_ << ": " << added_.size() << " added, " << changedLines.size() << " changed, "
        << deleted_.size() << " deleted\n";
    for (const auto* lines : {&added_, &changedLines, &deleted_}) {
      for (const std::string& line : *lines) out << "    " << line << '\n';
    }
  }

 private:
  std::vector<RowMark> markBefore() {
    std::vector<RowMark> marks;
    if (!before_) return marks;
    eachRow(*before_, table_, [&](const Values& values, size_t position) {
      marks.push_back(RowMark{keyOf(values), checksumOf(values), position});
    });
    std::stable_sort(marks.begin(), marks.end(), [](const RowMark& a, const RowMark& b) { return a.key < b.key; });
    return marks;
  }

  // The primary key's values, or all values when the table has no key.
  std::string keyOf(const Values& values) const {
    std::string key;
    if (keys_.empty()) {
      for (const jet::Value& v : values) appendValueKey(key, v);
    } else {
      for (size_t i : keys_) appendValueKey(key, i < values.size() ? values[i] : jet::Value::null());
    }
    return key;
  }

  // Each field whose value differs, matched by name: "name: old → new; ...".
  std::string changedFields(const Values& was, const Values& now) const {
    std::string fields;
    for (size_t i = 0; i < fields_.size() && i < now.size(); ++i) {
      auto old = std::find(beforeFields_.begin(), beforeFields_.end(), fields_[i]);
      const size_t at = size_t(old - beforeFields_.begin());
      jet::Value previous = old != beforeFields_.end() && at < was.size() ? was[at] : jet::Value::null();
      if (previous == now[i]) continue;
      if (!fields.empty()) fields += "; ";
      fields += fields_[i] + ": " + displayValue(previous) + " \u2192 " + displayValue(now[i]);
    }
    return fields;
  }

  std::string label(const Values& values, size_t position) const {
    if (keys_.empty()) return "row " + std::to_string(position);
    std::string text;
    for (size_t i : keys_) {
      if (!text.empty()) text += ", ";
      text += fields_[i] + " " + (i < values.size() ? displayValue(values[i]) : "Null");
    }
    return text;
  }

  // The fields of a whole row, but for the key, which its label shows.
  std::string allFields(const Values& values) const {
    std::string text;
    for (size_t i = 0; i < fields_.size() && i < values.size(); ++i) {
      if (std::find(keys_.begin(), keys_.end(), i) != keys_.end()) continue;
      if (!text.empty()) text += ", ";
      text += fields_[i] + "=" + displayValue(values[i]);
    }
    return text;
  }

  db::Connection* before_;
  db::Connection* after_;
  std::string table_;
  std::vector<std::string> fields_, beforeFields_;
  std::vector<size_t> keys_;
  std::vector<std::string> added_, deleted_;
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

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

std::string displayValue(const jet::Value& v) {
  switch (v.kind) {
    case jet::Value::Kind::Null:
      return "Null";
    case jet::Value::Kind::Text: {
      size_t length = db::utf8Length(v.s);
      if (length <= kShownCharacters) return quoted(v.s);
      return quoted(firstCharacters(v.s, kShownCharacters) + "...") + " (" + std::to_string(length) + " characters)";
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
  db::Connection was(before, db::Connection::Mode::ReadOnly);
  db::Connection now(after, db::Connection::Mode::ReadOnly);
  const std::vector<std::string> wasTables = was.tableNames(), nowTables = now.tableNames();
  auto holds = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  for (const std::string& name : nowTables) {
    TableCompare(holds(wasTables, name) ? &was : nullptr, &now, name).write(out);
  }
  for (const std::string& name : wasTables) {
    if (!holds(nowTables, name)) TableCompare(&was, nullptr, name).write(out);
  }
}

}  // namespace app
