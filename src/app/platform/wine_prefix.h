// Where the Wine installation that runs the logging program keeps its Windows files and registry.
// Used only away from Windows: the prefix named for the run, else $WINEPREFIX, else the one found.
#pragma once

#include <string>

namespace platform {

// The user's home folder: $HOME, else the password database entry; "" when neither is known.
std::string homeFolder();

// Names the prefix for the rest of the run (the console program's --prefix); "" forgets it.
void useWinePrefix(const std::string& folder);
// The prefix useWinePrefix named, or "".
std::string namedWinePrefix();

// The Wine prefix folder: the one named by useWinePrefix, else $WINEPREFIX when set and not
// empty (neither is checked for existence), else the one prefix that findWinePrefixes finds
// holding the logging program's settings; when none or several do, the error of
// selectTarnlogPrefix.
std::string winePrefix();

// <prefix>/user.reg: the per-user registry of the prefix.
std::string wineUserRegistry();

// Windows compares file names, registry keys and value names without regard to (ASCII) letter case.
bool sameWindowsName(const std::string& a, const std::string& b);

}  // namespace platform
