#include "bandplan/update_band_plan.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "db/recordset.h"
#include "db/value_convert.h"
#include "jet/base/error.h"

namespace bandplan {

namespace {

using jet::Value;

Value textValue(const char* s) { return Value::text(s); }
Value int16Value(int16_t v) { return Value::integer(v); }
Value int32Value(int32_t v) { return Value::long_(v); }
Value doubleValue(double v) { return Value::double_(v); }
Value boolValue(bool v) { return Value::boolean(v); }

// One new entity row of the prefixes table, with the types its values are passed with.
struct NewEntity {
  int number;
  const char* prefix;
  const char* country;
  const char* continent;
  const char* cqZone;
  double latitude;
  Value longitude;
};

const char* const kCutOver = "10/10/2010";

// The fields of a new entity row, in the order they are written, with the values passed.
std::vector<std::pair<const char*, Value>> rowOf(const NewEntity& e) {
  return {{"prefix", textValue(e.prefix)},      {"Master_Prefix", textValue(e.prefix)},
          {"Country", textValue(e.country)},    {"Abbreviation", textValue("-x")},
          {"Continent", textValue(e.continent)}, {"CQ_Zone", textValue(e.cqZone)},
          {"ITU_Zone", textValue("11")},        {"Latitude", doubleValue(e.latitude)},
          {"Longitude", e.longitude},      {"DXCC", int16Value(int16_t(e.number))},
          {"Time_Offset", int16Value(4)},       {"Begin_Date", textValue(kCutOver)},
          {"Deleted", boolValue(false)},        {"Use", boolValue(true)}};
}

// Adds the rows of the new entities that the prefixes table lacks; notes which were added and
// their IDs. An entity with a row of its number already, whatever that row holds, is left alone.
void addNewEntities(db::DataSource& BandPlan, bool Added[4], int32_t NewID[4]) {
  const NewEntity entities[4] = {
      {517, "PJ2", "Curacao", "SA", "09", 12.17, int16Value(-69)},
      {518, "PJ7", "Sint Maarten", "NA", "08", 18.07, doubleValue(-63.07)},
      {519, "PJ5", "St. Eustatius & Saba", "NA", "08", 17.57, doubleValue(-63.1)},
      {520, "PJ4", "Bonaire", "SA", "09", 12.2, doubleValue(-68.25)},
  };
  BandPlan.setRecordSource("SELECT * from prefixes ORDER BY ID");
  BandPlan.Refresh();
  db::Recordset& rs = BandPlan.Recordset();
  rs.MoveLast();
  for (int k = 0; k < 4; ++k) {
    const NewEntity& e = entities[k];
    rs.FindFirst("DXCC=" + std::to_string(e.number));
    if (!rs.NoMatch()) continue;
    rs.AddNew();
    Added[k] = true;
    for (const auto& [name, value] : rowOf(e)) rs.setField(name, value);
    NewID[k] = db::toLong(rs.getField("ID"));
    rs.Update();
  }
}

// Marks every row of the two retired entities as deleted, ended at the cut-over and out of use.
void retireEntities(db::DataSource& BandPlan) {
  for (const char* query : {"SELECT * FROM prefixes WHERE DXCC = 85", "SELECT * FROM prefixes WHERE DXCC = 255"}) {
    BandPlan.setRecordSource(query);
    BandPlan.Refresh();
    db::Recordset& rs = BandPlan.Recordset();
    if (rs.RecordCount() == 0) continue;
    rs.MoveLast();
    rs.MoveFirst();
    while (!rs.Eof()) {
      rs.Edit();
      rs.setField("Deleted", boolValue(true));
      rs.setField("End_Date", textValue(kCutOver));
      rs.setField("Use", boolValue(false));
      rs.Update();
      rs.MoveNext();
    }
  }
}

// Rebuilds the prefix links: old links go, the entities added in this run get theirs (and only
// they: an entity row found present gets none), earlier links are recorded.
void relinkPrefixes(db::DataSource& BandPlan, const bool Added[4], const int32_t NewID[4]) {
  BandPlan.Database().Execute("DELETE * FROM plink where plink = 108");
  BandPlan.Database().Execute("DELETE * FROM plink where plink = 143");

  BandPlan.setRecordSource("select * from plink");
  BandPlan.Refresh();
  struct Link { int entity; const char* prefix; };
  const Link links[5] = {{0, "PJ2"}, {1, "PJ7"}, {2, "PJ5"}, {2, "PJ6"}, {3, "PJ4"}};
  for (const Link& l : links) {
    if (!Added[l.entity]) continue;
    db::Recordset& rs = BandPlan.Recordset();
    rs.AddNew();
    rs.setField("prefix", textValue(l.prefix));
    rs.setField("plink", int32Value(NewID[l.entity]));
    rs.Update();
  }

  struct Earlier { const char* prefix; int16_t plink; };
  const Earlier earlier[10] = {{"PJ0", 143}, {"PJ1", 143}, {"PJ2", 143}, {"PJ3", 143}, {"PJ4", 143},
                               {"PJ9", 143}, {"PJ5", 108}, {"PJ6", 108}, {"PJ7", 108}, {"PJ8", 108}};
  for (const Earlier& e : earlier) {
    BandPlan.setRecordSource(std::string("select * from plinkold where prefix = '") + e.prefix + "'");
    BandPlan.Refresh();
    db::Recordset& rs = BandPlan.Recordset();
    if (rs.RecordCount() != 0) continue;
    rs.AddNew();
    rs.setField("prefix", textValue(e.prefix));
    rs.setField("plink", int16Value(e.plink));
    rs.setField("before", textValue("2010"));
    rs.Update();
  }
}

}  // namespace

void UpdateBandPlan(db::DataSource& BandPlan, const updates::ReportFn& MsgBox) {
  bool Added[4] = {false, false, false, false};   // Added517 .. Added520
  int32_t NewID[4] = {0, 0, 0, 0};                // NewID517 .. NewID520
  // One transaction: a stopped run leaves none of it, a reported error keeps what came before,
  // except damage found in the file, which leaves none of it either.
  BandPlan.BeginTrans();
  try {
    addNewEntities(BandPlan, Added, NewID);
    retireEntities(BandPlan);
    relinkPrefixes(BandPlan, Added, NewID);
  } catch (const jet::Error& e) {
    if (e.number() == jet::err::kNotDatabase) BandPlan.Rollback();
    else BandPlan.CommitTrans();
    throw;
  } catch (...) {
    BandPlan.CommitTrans();
    throw;
  }
  BandPlan.CommitTrans();  // the file holds the update before the message says so
  MsgBox("PJ Entities have been checked and changed where necessary.");
}

}  // namespace bandplan
