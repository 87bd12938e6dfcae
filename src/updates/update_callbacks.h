// What the two updates are handed besides their data source: how they report to the user, and
// how the logbook update reads the logging program's settings. The front ends supply both.
#pragma once

#include <functional>
#include <string>

namespace updates {

// How an update tells the user what it did: one message, which the caller shows and waits on.
using ReportFn = std::function<void(const std::string& message)>;

// A setting of the logging program by section and key; `defaultValue` when none is stored.
using GetAppSettingFn = std::function<std::string(const std::string& section, const std::string& key,
                                                  const std::string& defaultValue)>;

}  // namespace updates
