// The band plan update: new entity rows, retired entity rows, prefix link rows, one report.
// Works only through the BandPlan data source and its report.
#pragma once

#include <functional>
#include <string>

#include "db/data_source.h"

namespace bandplan {

// How the update tells the user what it did: one message, which the caller shows and waits on.
using ReportFn = std::function<void(const std::string& message)>;

void UpdateBandPlan(db::DataSource& BandPlan, const ReportFn& MsgBox);

}  // namespace bandplan
