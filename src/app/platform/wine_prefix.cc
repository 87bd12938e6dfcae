#include "app/platform/wine_prefix.h"

#include <cstdlib>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace platform {

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
#ifndef _WIN32
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
#endif
  return "";
}

std::string winePrefix() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix != nullptr && *prefix != '\0') return prefix;
  std::string home = homeFolder();
  return home.empty() ? std::string() : home + "/.wine";
}

std::string wineUserRegistry() {
  std::string prefix = winePrefix();
  return prefix.empty() ? std::string() : prefix + "/user.reg";
}

}  // namespace platform
