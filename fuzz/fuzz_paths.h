// The three ways a hostile file reaches the engine: reading everything, checking, and editing.
// Shared by the fuzz targets and the regression test of kept crash inputs; only jet::Error may escape.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_tree.h"
#include "jet/check/integrity_check.h"
#include "jet/format/row_codec.h"
#include "jet/write/table_writer.h"

namespace jet::fuzz {

// A file's page size as the header announces it (byte 0x14: 0 for Jet 3, else Jet 4).
inline size_t announcedPageSize(const uint8_t* data, size_t size) {
  return size > 0x14 && data[0x14] == 0 ? 2048 : 4096;
}

// How many leading bytes of an input form the database: whole pages only, since any other size
// is refused at once. The rest of the input drives the edits.
inline size_t databaseBytes(const uint8_t* data, size_t size) {
  size_t page = announcedPageSize(data, size);
  return size - size % page;
}

inline void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::remove((path + "-wal").c_str());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  out.close();
  if (!out) throw Error(err::kDiskIo, "cannot write the scratch file '" + path + "'");
}

inline void removeScratch(const std::string& path) {
  std::remove(path.c_str());
  std::remove((path + "-wal").c_str());
}

// Every row of every table, in storage order and through every index.
inline void readEverything(Database& db) {
  for (const auto& name : db.tableNames(true)) {
    Table& t = db.table(name);
    t.scan([&](RowId, Bytes row) {
      decodeRow(db.file(), db.format(), t.def(), row);
      return true;
    });
    for (const auto& ri : t.def().realIndexes) {
      size_t visited = 0;
      walkIndex(db.file(), db.format(), ri.rootPage, "", [&](const IndexEntry& e) {
        // What `jet export --index` does with each entry; a bad address is an Error, not a crash.
        try {
          t.readRow(e.row);
        } catch (const Error& err) {
          if (err.number() != err::kNoCurrentRecord) throw;
        }
        return ++visited < 100000;
      });
    }
  }
}

// Path 1: open read-only, read every table's rows and walk every index.
inline void readPath(const std::string& path) {
  Database db(path, Database::Mode::ReadOnly);
  readEverything(db);
}

// Path 2: what `jet check` runs.
inline void checkPath(const std::string& path) {
  Database db(path, Database::Mode::ReadOnly);
  checkDatabase(db);
}

// The bytes that steer the edits; zero once used up.
class Script {
 public:
  Script(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t next32() {
    uint32_t v = next();
    v |= uint32_t(next()) << 8;
    v |= uint32_t(next()) << 16;
    return v | uint32_t(next()) << 24;
  }
  bool done() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

inline std::string scriptText(Script& s, size_t maxLength) {
  static const char* const kPieces[] = {"A", "z", "0", " ", "-", "\xC3\xA9", "\xCE\xA9", "\xE2\x82\xAC", "'", "ss"};
  size_t n = s.next() % (maxLength + 1);
  std::string out;
  for (size_t i = 0; i < n; ++i) out += kPieces[s.next() % 10];
  return out;
}

// A value of the column's type, or Null, chosen by the script.
inline Value scriptValue(Script& s, const Column& c) {
  uint8_t pick = s.next();
  if (pick % 8 == 0) return Value::null();
  switch (c.type) {
    case ColumnType::Boolean: return Value::boolean(pick & 0x10);
    case ColumnType::Byte: return Value::byte(s.next());
    case ColumnType::Integer: return Value::integer(int16_t(s.next32()));
    case ColumnType::Long: return Value::long_(int32_t(s.next32() % 2000) - 100);
    case ColumnType::Currency: return Value::currency(int64_t(int32_t(s.next32())) * 100);
    case ColumnType::Single: return Value::single(float(int32_t(s.next32())) / 16.0f);
    case ColumnType::Double: return Value::double_(double(int32_t(s.next32())) / 1024.0);
    case ColumnType::DateTime: return Value::date(double(s.next32() % 80000) + s.next() / 256.0);
    case ColumnType::Text: return Value::text(scriptText(s, 12));
    case ColumnType::Memo: return Value::text(pick & 0x10 ? std::string(200 + s.next() * 40, 'M') : scriptText(s, 40));
    case ColumnType::Binary: return Value::binary(std::string(s.next() % 32, char(s.next())));
    case ColumnType::Ole: return Value::binary(std::string(pick & 0x10 ? 5000 : s.next(), char(s.next())));
    case ColumnType::Guid: return Value::guid("{12345678-ABCD-EF01-2345-6789ABCDEF0" + std::to_string(s.next() % 10) + "}");
    case ColumnType::Numeric: return Value::decimal(std::to_string(int32_t(s.next32()) % 100000));
  }
  return Value::null();
}

// Path 3: open a writable copy, change rows as the script says, then read and check the result,
// both through the same object and after opening the file again.
inline void editPath(const std::string& path, const uint8_t* script, size_t scriptSize) {
  static const uint8_t kDefault[] = {0, 0x11, 0x22, 0x33, 1, 0x01, 0x42, 2, 0x02, 0, 0x57, 3, 0x01, 0, 0x05};
  if (scriptSize == 0) {
    script = kDefault;
    scriptSize = sizeof kDefault;
  }
  Script s(script, scriptSize);
  {
    Database db(path, Database::Mode::ReadWrite);
    std::vector<std::string> names = db.tableNames();
    if (names.empty()) names = db.tableNames(true);
    if (names.empty()) return;
    size_t current = 0;
    for (int op = 0; op < 12 && !s.done(); ++op) {
      uint8_t what = s.next();
      try {
        Table& t = db.table(names[current]);
        TableWriter w(db, t);
        switch (what % 4) {
          case 0: {
            std::vector<Value> values;
            for (const auto& c : t.def().columns) values.push_back(scriptValue(s, c));
            w.insert(std::move(values));
            break;
          }
          case 1:
          case 2: {
            std::vector<RowId> ids = t.rowIds();
            if (ids.empty()) break;
            RowId id = ids[s.next() % ids.size()];
            if (what % 4 == 2) {
              w.remove(id);
            } else {
              std::vector<Value> values = t.readRow(id);
              for (size_t i = 0; i < values.size(); ++i) {
                if (s.next() & 1) values[i] = scriptValue(s, t.def().columns[i]);
              }
              w.update(id, std::move(values));
            }
            break;
          }
          case 3:
            current = s.next() % names.size();
            break;
        }
      } catch (const Error&) {
        // A refused edit leaves the file as it was; go on with the next one.
      }
    }
    readEverything(db);
    checkDatabase(db);
    db.close();
  }
  Database again(path, Database::Mode::ReadOnly);
  readEverything(again);
  checkDatabase(again);
}

}  // namespace jet::fuzz
