#include "app/pub_routines.h"

#include "app/platform/documents_folder.h"
#include "app/platform/settings.h"

namespace app {

std::string GetMyDocumentsPath() { return platform::documentsFolder(); }

std::string GetAppSetting(const std::string& section, const std::string& key, const std::string& defaultValue) {
  return platform::getSetting("Tarnlog", section, key, defaultValue);
}

}  // namespace app
