// Routines the window shares with the rest of the program: the documents folder and the settings.
// Thin over the platform layer, named as the program's own modules name them.
#pragma once

#include <string>

namespace app {

// The user's documents folder, as the shell (or the Wine prefix) gives it.
std::string GetMyDocumentsPath();

// A setting of the logging program: application "Tarnlog", `section`, `key`; `defaultValue`
// when absent.
std::string GetAppSetting(const std::string& section, const std::string& key, const std::string& defaultValue);

}  // namespace app
