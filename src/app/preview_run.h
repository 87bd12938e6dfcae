// The dry run: both updates on temporary copies of the databases, then what they changed and
// the messages they would show. The real files are only read.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "updates/update_callbacks.h"

namespace app {

// Copies the band plan at `bandPlanPath` (and, when the run asks for it, the logbook that
// `GetAppSetting` names) into a temporary folder, runs runUpdates on the copies (with
// `beforeWriting` where the real run has it), and writes to `out` the changes of each database
// (writeDatabaseChanges) followed by the messages of the updates, one per line. A file the real
// run could not open or write, and a logbook that is the band plan itself, fail here with the
// same run-time error. The temporary folder is removed afterwards.
void previewRun(const std::string& bandPlanPath, const updates::GetAppSettingFn& GetAppSetting, std::ostream& out,
                const std::function<void()>& beforeWriting = {});

}  // namespace app
