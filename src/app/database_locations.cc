#include "app/database_locations.h"

#include <cctype>
#include <utility>

#include "app/platform/host_path.h"

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
    return localPath(settings(section, key, defaultValue));
  };
}

}  // namespace app
