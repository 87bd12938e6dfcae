#include "app/platform/prefix_discovery.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/platform/wine_prefix.h"
#include "app/platform/wine_registry.h"
#include "jet/base/error.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using State = PrefixCandidate::State;

const char* const kSettingsKey = "Software\\VB and VBA Program Settings\\Tarnlog\\Settings";

std::string absoluteOr(const char* variable, const std::string& fallback) {
  const char* value = std::getenv(variable);
  return (value != nullptr && *value == '/') ? std::string(value) : fallback;
}

// What `folder` holds: a prefix with or without the setting, nothing, or something unreadable.
PrefixCandidate examine(const std::string& folder, const std::string& manager) {
  PrefixCandidate c{folder, manager, State::kNoPrefix, ""};
  std::error_code ec;
  fs::file_status status = fs::status(folder, ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    c.state = State::kUnreadable;
    c.detail = "cannot be read: " + ec.message();
    return c;
  }
  if (!fs::is_directory(status)) {
    c.detail = fs::exists(status) ? "not a folder" : "no such folder";
    return c;
  }
  const std::string userReg = folder + "/user.reg";
  status = fs::status(userReg, ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    c.state = State::kUnreadable;
    c.detail = "user.reg cannot be read: " + ec.message();
    return c;
  }
  if (!fs::exists(status)) {
    c.detail = "no user.reg";
    return c;
  }
  errno = 0;
  if (!fs::is_regular_file(status) || !std::ifstream(userReg, std::ios::binary)) {
    c.state = State::kUnreadable;
    c.detail = std::string("user.reg cannot be read: ") +
               (fs::is_regular_file(status) && errno != 0 ? std::strerror(errno) : "not a file");
    return c;
  }
  if (auto logbook = readWineRegistryString(userReg, kSettingsKey, "Logbook")) {
    c.state = State::kHoldsTarnlog;
    c.detail = *logbook;
  } else {
    c.state = State::kNoSetting;
  }
  return c;
}

// The entries of `parent` that are folders, sorted by name; `error` tells why there are none.
std::vector<std::string> subfolders(const std::string& parent, std::string& error) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(parent, ec);
  if (ec) {
    error = ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory
                ? "no such folder"
                : "cannot be read: " + ec.message();
    return names;
  }
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code dirError;
    if (it->is_directory(dirError)) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  if (names.empty()) error = "no prefixes here";
  return names;
}

// A place with nothing in it, listed so that the user sees it was looked at.
void addEmptyPlace(std::vector<PrefixCandidate>& out, const std::string& place, const std::string& manager,
                   const std::string& why) {
  bool unreadable = why.rfind("cannot be read", 0) == 0;
  out.push_back({place, manager, unreadable ? State::kUnreadable : State::kNoPrefix, why});
}

// Each folder directly below `parent` is a prefix of `manager` (a bottle, a game).
void addEachBelow(std::vector<PrefixCandidate>& out, const std::string& parent, const std::string& manager) {
  std::string why;
  std::vector<std::string> names = subfolders(parent, why);
  if (names.empty()) addEmptyPlace(out, parent + "/*", manager, why);
  for (const std::string& name : names) out.push_back(examine(parent + "/" + name, manager));
}

// The value of a "prefix:" line of a game configuration, quotes taken off and ~ expanded.
std::string prefixValue(const std::string& line, const std::string& home) {
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line.compare(start, 7, "prefix:") != 0) return "";
  std::string value = line.substr(start + 7);
  size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  value = value.substr(first);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) value.pop_back();
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  if (value == "~" || value.rfind("~/", 0) == 0) value = home + value.substr(1);
  if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
  return value.empty() || value.front() != '/' ? std::string() : value;
}

// The prefixes the game configurations in `gamesFolder` name.
void addLutrisGames(std::vector<PrefixCandidate>& out, const std::string& gamesFolder, const std::string& home) {
  std::error_code ec;
  fs::directory_iterator it(gamesFolder, ec);
  if (ec) {
    bool missing = ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
    addEmptyPlace(out, gamesFolder + "/*.yml", "Lutris", missing ? "no such folder" : "cannot be read: " + ec.message());
    return;
  }
  std::vector<std::string> files;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    if (it->path().extension() == ".yml") files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  size_t before = out.size();
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      std::string prefix = prefixValue(line, home);
      if (!prefix.empty()) {
        out.push_back(examine(prefix, "Lutris"));
        break;
      }
    }
  }
  if (out.size() == before) addEmptyPlace(out, gamesFolder + "/*.yml", "Lutris", "no game names a prefix");
}

// Wrapper apps below `parent`: an .app bundle that carries a prefix inside.
void addWrapperApps(std::vector<PrefixCandidate>& out, const std::string& parent) {
  std::string why;
  size_t before = out.size();
  for (const std::string& name : subfolders(parent, why)) {
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".app") != 0) continue;
    const std::string contents = parent + "/" + name + "/Contents";
    std::error_code ec;
    if (fs::is_directory(contents + "/SharedSupport/prefix", ec)) {
      out.push_back(examine(contents + "/SharedSupport/prefix", "wrapper app"));
    } else if (fs::exists(contents + "/Resources/user.reg", ec)) {
      out.push_back(examine(contents + "/Resources", "wrapper app"));
    }
  }
  if (out.size() == before) {
    addEmptyPlace(out, parent + "/*.app", "wrapper app", why == "no prefixes here" || why.empty() ? "no wrapper app" : why);
  }
}

std::string key(const std::string& folder) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(folder, ec);
  return ec ? folder : canonical.string();
}

}  // namespace

HostFolders homeFolders() {
  HostFolders f;
  f.home = homeFolder();
  f.dataHome = absoluteOr("XDG_DATA_HOME", f.home + "/.local/share");
  f.configHome = absoluteOr("XDG_CONFIG_HOME", f.home + "/.config");
  f.applications = "/Applications";
  return f;
}

HostKind thisHost() {
#ifdef __APPLE__
  return HostKind::kMacOS;
#else
  return HostKind::kLinux;
#endif
}

std::vector<PrefixCandidate> findWinePrefixes(const HostFolders& f, HostKind host) {
  std::vector<PrefixCandidate> all;
  if (f.home.empty()) return all;
  all.push_back(examine(f.home + "/.wine", "Wine"));
  if (host == HostKind::kLinux) {
    addEachBelow(all, f.home + "/.cxoffice", "CrossOver");
    addEachBelow(all, f.dataHome + "/bottles/bottles", "Bottles");
    addEachBelow(all, f.home + "/.var/app/com.usebottles.bottles/data/bottles/bottles", "Bottles (Flatpak)");
    addEachBelow(all, f.home + "/.PlayOnLinux/wineprefix", "PlayOnLinux");
    addLutrisGames(all, f.configHome + "/lutris/games", f.home);
    addLutrisGames(all, f.dataHome + "/lutris/games", f.home);
    addEachBelow(all, f.home + "/Games", "Lutris");
  } else {
    addEachBelow(all, f.home + "/Library/Application Support/CrossOver/Bottles", "CrossOver");
    addWrapperApps(all, f.home + "/Applications");
    addWrapperApps(all, f.home + "/Applications/Wineskin");
    addWrapperApps(all, f.applications);
  }
  // A prefix that two places name (a game's folder and its configuration) is listed once.
  std::vector<PrefixCandidate> unique;
  std::set<std::string> seen;
  for (PrefixCandidate& c : all) {
    if (seen.insert(key(c.folder)).second) unique.push_back(std::move(c));
  }
  return unique;
}

PrefixCandidate examinePrefix(const std::string& folder, const std::string& manager) {
  return examine(folder, manager);
}

std::vector<PrefixCandidate> findWinePrefixes() {
  if (std::string named = namedWinePrefix(); !named.empty()) return {examine(named, "--prefix")};
  const char* variable = std::getenv("WINEPREFIX");
  if (variable != nullptr && *variable != '\0') return {examine(variable, "WINEPREFIX")};
  return findWinePrefixes(homeFolders(), thisHost());
}

std::string describeCandidates(const std::vector<PrefixCandidate>& candidates) {
  std::string text;
  for (const PrefixCandidate& c : candidates) {
    text += "  " + c.folder + " (" + c.manager + "): ";
    switch (c.state) {
      case State::kHoldsTarnlog:
        text += "holds Tarnlog's settings, logbook " + (c.detail.empty() ? std::string("not named") : c.detail);
        break;
      case State::kNoSetting: text += "a prefix without Tarnlog's settings"; break;
      case State::kNoPrefix:
      case State::kUnreadable: text += c.detail; break;
    }
    text += '\n';
  }
  return text;
}

std::string selectTarnlogPrefix(const std::vector<PrefixCandidate>& candidates) {
  std::vector<PrefixCandidate> holding;
  for (const PrefixCandidate& c : candidates) {
    if (c.state == State::kHoldsTarnlog) holding.push_back(c);
  }
  if (holding.size() == 1) return holding.front().folder;
  if (holding.empty()) {
    throw jet::Error(jet::err::kFileNotFound,
                     "Could not find Tarnlog: no Wine prefix holds its settings. Looked in:\n" +
                         describeCandidates(candidates) +
                         "Name the prefix that holds Tarnlog with --prefix DIR or WINEPREFIX=DIR.");
  }
  throw jet::Error(jet::err::kInvalidArgument,
                   "Several Wine prefixes hold Tarnlog's settings:\n" + describeCandidates(holding) +
                       "Choose one with --prefix DIR or WINEPREFIX=DIR.");
}

}  // namespace platform
