// The band plan update: new entity rows, retired entity rows, prefix link rows, one report.
// Works only through the BandPlan data source and its report.
#pragma once

#include "db/data_source.h"
#include "updates/update_callbacks.h"

namespace bandplan {

void UpdateBandPlan(db::DataSource& BandPlan, const updates::ReportFn& MsgBox);

}  // namespace bandplan
