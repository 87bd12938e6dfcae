#include "app/platform/wine_prefix.h"

#include "app/platform/prefix_discovery.h"

#include <cctype>
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

namespace {
std::string& namedPrefix() {
  static std::string folder;
  return folder;
}
}  // namespace

void useWinePrefix(const std::string& folder) { namedPrefix() = folder; }

std::string namedWinePrefix() { return namedPrefix(); }

std::string winePrefix() {
  if (!namedPrefix().empty()) return namedPrefix();
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix != nullptr && *prefix != '\0') return prefix;
  return selectTarnlogPrefix(findWinePrefixes());
}

std::string wineUserRegistry() {
  std::string prefix = winePrefix();
  return prefix.empty() ? std::string() : prefix + "/user.reg";
}

bool sameWindowsName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace platform
