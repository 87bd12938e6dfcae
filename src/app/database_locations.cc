#include "app/database_locations.h"

#include <cctype>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/platform/host_path.h"
#include "app/utf8_path.h"
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

updates::GetAppSettingFn localSettings(updates::GetAppSettingFn settings) {
  return [settings = std::move(settings)](const std::string& section, const std::string& key,
                                          const std::string& defaultValue) {
    return localPath(settings(section, key, defaultValue));
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
