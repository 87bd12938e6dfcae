// make_seeds DIR: writes small databases made by the engine itself into DIR, as extra fuzz seeds.
// The fixtures are 100 KB and more; a seed of a few pages lets the fuzzers mutate far faster.
#include <cstdio>
#include <string>

#include "jet/write/create_database.h"
#include "jet/write/create_table.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/write/table_writer.h"

namespace {

void makeSeed(const std::string& path, int rows, bool memo) {
  std::remove(path.c_str());
  jet::createDatabase(path, 45000.5);
  jet::Database db(path, jet::Database::Mode::ReadWrite);
  jet::TableDesign d;
  d.name = "Calls";
  auto column = [&](const char* name, jet::ColumnType type, uint16_t length) {
    auto& c = d.columns.emplace_back();
    c.name = name;
    c.type = type;
    c.length = length;
  };
  column("Id", jet::ColumnType::Long, 0);
  d.columns.back().autoNumber = true;
  column("Call", jet::ColumnType::Text, 20);
  column("Band", jet::ColumnType::Integer, 0);
  column("Freq", jet::ColumnType::Double, 0);
  column("Qsl", jet::ColumnType::Boolean, 0);
  column("When", jet::ColumnType::DateTime, 0);
  column("Note", memo ? jet::ColumnType::Memo : jet::ColumnType::Text, memo ? 0 : 50);
  auto& primary = d.indexes.emplace_back();
  primary.name = "PrimaryKey";
  primary.columns.push_back({"Id", true});
  primary.primaryKey = true;
  auto& byCall = d.indexes.emplace_back();
  byCall.name = "ByCall";
  byCall.columns.push_back({"Call", true});
  byCall.columns.push_back({"Band", false});
  jet::createTable(db, d);
  jet::Table& t = db.table("Calls");
  jet::TableWriter w(db, t);
  static const char* const kCalls[] = {"PA3XYZ", "DL1ABC", "G4\xC3\x96K", "JA1AA", "K1TTT", "VK2\xC3\x9C"};
  for (int i = 0; i < rows; ++i) {
    std::string note = memo && i % 3 == 0 ? std::string(size_t(100 + 2000 * (i % 2)), 'n') : "n" + std::to_string(i);
    w.insert({jet::Value::null(), jet::Value::text(kCalls[i % 6] + std::to_string(i)), jet::Value::integer(int16_t(i % 7)),
              jet::Value::double_(14.0 + i / 100.0), jet::Value::boolean(i % 2), jet::Value::date(45000 + i * 0.25),
              i % 5 == 4 ? jet::Value::null() : jet::Value::text(note)});
  }
  if (rows > 2) {
    std::vector<jet::RowId> ids = t.rowIds();
    w.remove(ids[1]);
    std::vector<jet::Value> v = t.readRow(ids[0]);
    v[1] = jet::Value::text("ON4CHANGED");
    w.update(ids[0], v);
  }
  db.close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  try {
    makeSeed(dir + "/engine-empty.mdb", 0, false);
    makeSeed(dir + "/engine-small.mdb", 12, false);
    makeSeed(dir + "/engine-memo.mdb", 9, true);
  } catch (const jet::Error& e) {
    std::fprintf(stderr, "make_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
