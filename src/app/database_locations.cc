#include "app/database_locations.h"

#include <cctype>
#include <utility>

#include "app/platform/host_path.h"
#include "jet/error.h"

namespace app {

std::string bandPlanPathIn(const std::string& myDocsPath) {
  return myDocsPath + "\\BRAEWICK\\Tarnlog\\databases\\bandplan.mdb";
}

std::string localPath(const std::string& path) {
  bool drivePath = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                   (path[2] == '\\' || path[2] == '/');
  return drivePath ? platform::hostPath(path) : path;
}

logbook::GetAppSettingFn localSettings(logbook::GetAppSettingFn settings) {
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

}  // namespace app
