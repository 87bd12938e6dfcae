// Where the two databases lie: the band plan below the documents folder, the logbook as the
// logging program's settings name it, both turned into paths this system can open.
#pragma once

#include <string>

#include "updates/update_callbacks.h"

namespace app {

// The band plan below `myDocsPath`, exactly as the logging program builds it: the folder, then
// "\BRAEWICK\Tarnlog\databases\bandplan.mdb"; nothing inserted or trimmed.
std::string bandPlanPathIn(const std::string& myDocsPath);

// A path with a drive letter ("C:\..." or "C:/...") as this system reaches it (platform::hostPath);
// any other text unchanged.
std::string localPath(const std::string& path);

// `settings` with every value passed through localPath: the settings hold Windows paths of the
// logging program, and the logbook is opened on this system. A Logbook setting (section
// "Settings") that names no logbook, empty or missing, is error 3024; one holding a NUL
// character, which would cut the path short, is error 3044. Both say the settings are at fault.
updates::GetAppSettingFn localSettings(updates::GetAppSettingFn settings);

// Fails with error 75 when `bandPlan` and `logbook` name one file: the same path, or two names
// of it (a symbolic link, a hard link). Both updates would then write the same file, the second
// through a lock that the first holds. Paths that name no file pass: opening them tells why.
void refuseSameFile(const std::string& bandPlan, const std::string& logbook);

}  // namespace app
