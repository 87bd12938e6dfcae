// The logbook update: contacts of the retired entities after the cut-over get their new entity.
// Reads the logbook path from the settings, works through the Logbook data source, reports once.
#pragma once

#include "db/data_source.h"
#include "updates/update_callbacks.h"

namespace logbook {

void UpdateLogbook(db::DataSource& Logbook, const updates::GetAppSettingFn& GetAppSetting,
                   const updates::ReportFn& MsgBox);

}  // namespace logbook
