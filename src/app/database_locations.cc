#include "app/database_locations.h"

#include <cctype>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/platform/host_path.h"
#include "app/utf8_path.h"
#include "jet/base/error.h"

namespace app {

std::string bandPlanPathIn(const std::string& myDocsPath) {
  return myDocsPath + "\\BRAEWICK\\Tarnlog\\databases\\bandplan.mdb";
}

std::string localPath(const std::string& path) {
  bool drivePath = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                   (path[2] == '\\' || path[2] == '/');
  return drivePath ? platform::hostPath(path) : path;
}

updates::GetAppSettingFn localSettings(updates::GetAppSettingFn settings) {
  return [settings = std::move(settings)](const std::string& section, const std::string& key,
                                          const std::string& defaultValue) {
    std::string value = settings(section, key, defaultValue);
    if (section == "Settings" && key == "Logbook") {
      if (value.empty()) {
        throw jet::Error(jet::err::kFileNotFound,
                         "Could not find the logbook: Tarnlog's settings name no logbook (Settings, Logbook is "
                         "empty or missing).");
      }
      if (size_t nul = value.find('\0'); nul != std::string::npos) {
        std::string shown = value;
        for (size_t at = nul; at != std::string::npos; at = shown.find('\0', at + 2)) shown.replace(at, 1, "\\0");
        throw jet::Error(jet::err::kInvalidPath, "'" + shown +
                                                     "' is not a valid path: Tarnlog's Logbook setting holds a NUL "
                                                     "character.");
      }
    }
    return localPath(value);
  };
}

void refuseSameFile(const std::string& bandPlan, const std::string& logbook) {
  if (bandPlan.empty() || logbook.empty()) return;
  std::error_code ec;
  if (!std::filesystem::equivalent(pathOf(bandPlan), pathOf(logbook), ec) || ec) return;
  throw jet::Error(jet::err::kPathFileAccess, "Path/File access error: the band plan '" + bandPlan + "' and the logbook '" +
                                                  logbook + "' are one file; nothing is written.");
}

}  // namespace app
