#include "app/platform/settings.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>

#include "app/platform/ansi_text.h"
#else
#include "app/platform/wine_prefix.h"
#include "app/platform/wine_registry.h"
#endif

namespace platform {

std::string getSetting(const std::string& app, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
  const std::string keyPath = "Software\\VB and VBA Program Settings\\" + app + "\\" + section;
#ifdef _WIN32
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
    return defaultValue;
  }
  DWORD type = 0;
  DWORD size = 0;
  std::string result = defaultValue;
  if (RegQueryValueExA(handle, key.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(handle, key.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size) ==
        ERROR_SUCCESS) {
      result = utf8FromAnsi(data.data());  // the value in the 8-bit character set
    }
  }
  RegCloseKey(handle);
  return result;
#else
  std::string userReg = wineUserRegistry();
  if (userReg.empty()) return defaultValue;
  return readWineRegistryString(userReg, keyPath, key).value_or(defaultValue);
#endif
}

}  // namespace platform
