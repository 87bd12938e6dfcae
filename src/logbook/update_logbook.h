// The logbook update: contacts of the retired entities after the cut-over get their new entity.
// Reads the logbook path from the settings, works through the Logbook data source, reports once.
#pragma once

#include <functional>
#include <string>

#include "db/data_source.h"

namespace logbook {

using GetAppSettingFn = std::function<std::string(const std::string& section, const std::string& key,
                                                  const std::string& defaultValue)>;

// How the update tells the user what it did: one message, which the caller shows and waits on.
using ReportFn = std::function<void(const std::string& message)>;

void UpdateLogbook(db::DataSource& Logbook, const GetAppSettingFn& GetAppSetting, const ReportFn& MsgBox);

}  // namespace logbook
