// Finding the Wine prefixes a user may run the logging program in: Wine's own, and those that the
// common prefix managers keep in their standard places. Used only away from Windows.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The folders the places are found from; homeFolders() gives this user's.
struct HostFolders {
  std::string home;          // $HOME
  std::string dataHome;      // $XDG_DATA_HOME when absolute, else <home>/.local/share
  std::string configHome;    // $XDG_CONFIG_HOME when absolute, else <home>/.config
  std::string applications;  // the system's applications folder: "/Applications"
};
HostFolders homeFolders();

enum class HostKind { kLinux, kMacOS };
// The kind of this system: macOS when built for it, else Linux.
HostKind thisHost();

// One place looked at: a prefix, or a place where a manager's prefixes would be and none is.
struct PrefixCandidate {
  enum class State {
    kHoldsTarnlog,  // its user.reg holds the logging program's Logbook setting
    kNoSetting,     // a prefix without that setting
    kNoPrefix,      // nothing there: no folder, no user.reg
    kUnreadable,    // a folder or user.reg that cannot be read
  };
  std::string folder;   // the prefix, or the place (with '*' for "any name")
  std::string manager;  // "Wine", "CrossOver", "Bottles", ...
  State state = State::kNoPrefix;
  std::string detail;   // the Logbook setting, or why there is no prefix here
};

// Every place of `host`'s managers, each prefix once (the first place that names it), in this
// order: ~/.wine, then the managers' places, each manager's prefixes sorted by name.
// Linux: CrossOver (~/.cxoffice/*), Bottles (<data>/bottles/bottles/* and its Flatpak's
// ~/.var/app/com.usebottles.bottles/data/bottles/bottles/*), PlayOnLinux
// (~/.PlayOnLinux/wineprefix/*), Lutris (the "prefix:" of each game in <config>/lutris/games/*.yml
// and <data>/lutris/games/*.yml, then ~/Games/*). macOS: CrossOver
// (~/Library/Application Support/CrossOver/Bottles/*), wrapper apps (*.app in ~/Applications,
// ~/Applications/Wineskin and the applications folder, with the prefix in
// Contents/SharedSupport/prefix, or in Contents/Resources as older wrappers keep it).
std::vector<PrefixCandidate> findWinePrefixes(const HostFolders& folders, HostKind host);

// This run's candidates: the prefix named by useWinePrefix alone, else $WINEPREFIX alone when it
// is set, else findWinePrefixes(homeFolders(), thisHost()).
std::vector<PrefixCandidate> findWinePrefixes();

// What `folder` holds, as a candidate of `manager`.
PrefixCandidate examinePrefix(const std::string& folder, const std::string& manager);

// One line a candidate: "  <folder> (<manager>): <state and detail>".
std::string describeCandidates(const std::vector<PrefixCandidate>& candidates);

// The one candidate that holds the logging program. None: error 3024 naming every place looked
// at; several: error 3001 listing them and saying how to choose. Never a guess.
std::string selectTarnlogPrefix(const std::vector<PrefixCandidate>& candidates);

}  // namespace platform
