// The dry run: both updates on temporary copies of the databases, then what they changed and
// the messages they would show. The real files are only read.
#pragma once

#include <ostream>
#include <string>

#include "logbook/update_logbook.h"

namespace console {

// Copies the band plan at `bandPlanPath` (and, when the logbook update asks for it, the logbook
// that `GetAppSetting` names) into a temporary folder, runs app::runUpdates on the copies, and
// writes to `out` the changes of each database (writeDatabaseChanges) followed by the messages
// of the updates, one per line. A file the real run could not open or write fails here with the
// same run-time error, at the same point of the run. The temporary folder is removed afterwards.
void previewRun(const std::string& bandPlanPath, const logbook::GetAppSettingFn& GetAppSetting, std::ostream& out);

}  // namespace console
