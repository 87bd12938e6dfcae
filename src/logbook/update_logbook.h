// The logbook update: contacts of the retired entities after the cut-over get their new entity.
// Reads the logbook path from the settings, works through the Logbook data source, reports once.
#pragma once

#include <functional>
#include <string>

#include "app/msgbox.h"
#include "db/data_source.h"

namespace logbook {

using GetAppSettingFn = std::function<std::string(const std::string& section, const std::string& key,
                                                  const std::string& defaultValue)>;

void UpdateLogbook(db::DataSource& Logbook, const GetAppSettingFn& GetAppSetting, const app::MsgBoxFn& MsgBox);

}  // namespace logbook
