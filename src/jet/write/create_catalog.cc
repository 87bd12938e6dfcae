#include "jet/write/create_catalog.h"

#include <ctime>

#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/os/os_file.h"
#include "jet/write/table_writer.h"

namespace jet {

namespace {

// Fills a row of `table` by column name; the other columns stay Null.
class RowBuilder {
 public:
  explicit RowBuilder(Table& t) : table_(t), values_(t.def().columns.size()) {}
  RowBuilder& set(const char* column, Value v) {
    int i = table_.columnIndex(column);
    if (i < 0) corrupt(std::string("the table ") + table_.name() + " has no column " + column);
    values_[size_t(i)] = std::move(v);
    return *this;
  }
  std::vector<Value> take() { return std::move(values_); }

 private:
  Table& table_;
  std::vector<Value> values_;
};

}  // namespace

void addCatalogObject(Database& db, Table& t, const CatalogObject& o, double when) {
  RowBuilder row(t);
  row.set("Id", Value::long_(o.id))
      .set("ParentId", Value::long_(o.parentId))
      .set("Name", Value::text(o.name))
      .set("Type", Value::integer(o.type))
      .set("DateCreate", Value::date(when))
      .set("DateUpdate", Value::date(when))
      .set("Owner", Value::binary(o.owner))
      .set("Flags", Value::long_(o.flags));
  TableWriter(db, t).insert(row.take());
}

void addPermission(Database& db, Table& t, int32_t objectId, const std::string& sid, int32_t mask, bool inheritable) {
  RowBuilder row(t);
  row.set("ObjectId", Value::long_(objectId))
      .set("SID", Value::binary(sid))
      .set("ACM", Value::long_(mask))
      .set("FInheritable", Value::boolean(inheritable));
  TableWriter(db, t).insert(row.take());
}

double nowAsJetDate() {
  // Local wall-clock time, counted as if it were UTC, gives the local date and time.
  const std::time_t asUtc = osTimeOfUtc(osLocalTime(std::time(nullptr)));
  return double(asUtc) / 86400.0 + 25569.0;
}

}  // namespace jet
