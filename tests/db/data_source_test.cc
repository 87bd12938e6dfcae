// The data source: opening, switching and closing databases and record sources.
#include <gtest/gtest.h>

#include "../error_number.h"
#include "../temp_copy.h"

#include <string>

#include "db/data_source.h"
#include "jet/base/error.h"

namespace {

using testing_support::ScratchDir;
using testing_support::errorNumber;

TEST(DataSourceTest, NothingOpenGivesClearErrors) {
  ScratchDir dir;
  db::DataSource ds;
  EXPECT_EQ(errorNumber([&] { ds.Recordset(); }), 91);
  EXPECT_EQ(errorNumber([&] { ds.Database(); }), 91);
  EXPECT_EQ(errorNumber([&] { ds.Refresh(); }), jet::err::kFileNotFound);
  ds.setDatabaseName(dir.path() + "/missing.mdb");
  EXPECT_EQ(errorNumber([&] { ds.Refresh(); }), jet::err::kFileNotFound);
  EXPECT_EQ(errorNumber([&] { ds.Database(); }), 91);

  // A database without a record source is open, but has no record set.
  ds.setDatabaseName(dir.copy("jet4/bandplan.mdb"));
  ds.Refresh();
  EXPECT_EQ(ds.Database().Execute("DELETE FROM plink WHERE plink = -1"), 0);
  EXPECT_EQ(errorNumber([&] { ds.Recordset(); }), 91);
  ds.setRecordSource("nosuch");
  EXPECT_EQ(errorNumber([&] { ds.Refresh(); }), jet::err::kTableNotFound);
}

TEST(DataSourceTest, RefreshReopensSourcesAndCloseReleasesTheFile) {
  ScratchDir dir;
  const std::string bandplan = dir.copy("jet4/bandplan.mdb");
  const std::string logbook = dir.copy("jet4/logbook.mdb");
  db::DataSource ds;
  ds.setDatabaseName(bandplan);
  ds.setRecordSource("prefixes");
  ds.Refresh();
  EXPECT_EQ(ds.Recordset().RecordCount(), 438);
  db::Connection* first = &ds.Database();

  // While open, the file is held.
  EXPECT_NE(errorNumber([&] { db::Connection other(bandplan); }), 0);

  // A new source on the same database: the database stays, the set is opened anew and sees
  // what was written through the database.
  ds.Database().Execute("DELETE FROM prefixes WHERE DXCC = 85");
  ds.setRecordSource("SELECT * FROM prefixes WHERE DXCC = 255 ORDER BY ID");
  ds.Refresh();
  EXPECT_EQ(&ds.Database(), first);
  ASSERT_EQ(ds.Recordset().RecordCount(), 2);
  EXPECT_EQ(ds.Recordset().getField("ID").i, 108);
  ds.setRecordSource("prefixes");
  ds.Refresh();
  EXPECT_EQ(ds.Recordset().RecordCount(), 435);

  // Another database: the first file is released.
  ds.setDatabaseName(logbook);
  ds.setRecordSource("SELECT * FROM MainLog WHERE (DXCC = 85 OR DXCC = 255) AND Time_Start > #Oct 10, 2010#");
  ds.Refresh();
  ds.Recordset().MoveLast();
  EXPECT_EQ(ds.Recordset().RecordCount(), 68);
  EXPECT_EQ(errorNumber([&] { db::Connection other(bandplan); }), 0);

  ds.close();
  EXPECT_EQ(errorNumber([&] { ds.Recordset(); }), 91);
  EXPECT_EQ(errorNumber([&] { db::Connection other(logbook); }), 0);
}

}  // namespace
