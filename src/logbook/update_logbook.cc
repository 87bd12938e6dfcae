#include "logbook/update_logbook.h"

#include <cstdint>
#include <string>

#include "db/value_convert.h"
#include "jet/base/error.h"

namespace logbook {

namespace {

struct Assignment {
  int32_t dxcc;
  const char* country;
  const char* continent;
};

// The new entity that a call sign selects, tested in this order; letter case counts.
const Assignment* assignmentFor(const std::string& call) {
  static const Assignment curacao{517, "Curacao", "SA"};
  static const Assignment sintMaarten{518, "Sint Maarten", "NA"};
  static const Assignment saba{519, "Saba & St. Eustatius", "NA"};
  static const Assignment bonaire{520, "Bonaire", "SA"};
  auto has = [&](const char* text) { return call.find(text) != std::string::npos; };
  if (has("PJ2")) return &curacao;
  if (has("PJ7")) return &sintMaarten;
  if (has("PJ5") || has("PJ6")) return &saba;
  if (has("PJ4")) return &bonaire;
  return nullptr;
}

}  // namespace

void UpdateLogbook(db::DataSource& Logbook, const updates::GetAppSettingFn& GetAppSetting,
                   const updates::ReportFn& MsgBox) {
  std::string path = GetAppSetting("Settings", "Logbook", "");
  Logbook.setDatabaseName(path);
  Logbook.setRecordSource("SELECT * FROM MainLog WHERE (DXCC = 85 OR DXCC = 255) AND Time_Start > #Oct 10, 2010#");
  Logbook.Refresh();
  db::Recordset& rs = Logbook.Recordset();
  if (!(rs.RecordCount() > 0)) {
    MsgBox("No PJ QSO's requiring changes on or after 10/10/2010 were found.");
    return;
  }
  int32_t count = 0;
  // One transaction: a stopped run leaves none of it, a reported error keeps what came before,
  // except damage found in the file, which leaves none of it either.
  Logbook.BeginTrans();
  try {
    rs.MoveLast();
    rs.MoveFirst();
    while (!rs.Eof()) {
      std::string call = db::textOf(rs.getField("Call"));
      // A call sign that selects no new entity is left as it is, and not counted.
      if (const Assignment* a = assignmentFor(call)) {
        if (count == INT32_MAX) throw jet::Error(jet::err::kOverflow, "Overflow");
        count += 1;
        rs.Edit();
        rs.setField("DXCC", jet::Value::long_(a->dxcc));
        rs.setField("Country", jet::Value::text(a->country));
        rs.setField("Continent", jet::Value::text(a->continent));
        rs.Update();
      }
      rs.MoveNext();
    }
  } catch (const jet::Error& e) {
    if (e.number() == jet::err::kNotDatabase) Logbook.Rollback();
    else Logbook.CommitTrans();
    throw;
  } catch (...) {
    Logbook.CommitTrans();
    throw;
  }
  Logbook.CommitTrans();  // the file holds the update before the message says so
  if (count != 0) {
    MsgBox(std::to_string(count) + " PJ logbook records have been updated.");
  } else {
    MsgBox("No PJ logbook records required updating.");
  }
}

}  // namespace logbook
