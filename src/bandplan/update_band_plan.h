// The band plan update: new entity rows, retired entity rows, prefix link rows, one report.
// Works only through the BandPlan data source and the message box.
#pragma once

#include "app/msgbox.h"
#include "db/data_source.h"

namespace bandplan {

void UpdateBandPlan(db::DataSource& BandPlan, const app::MsgBoxFn& MsgBox);

}  // namespace bandplan
