// Where the Wine installation that runs the logging program keeps its Windows files and registry.
// Used only away from Windows: the prefix is $WINEPREFIX, else ~/.wine.
#pragma once

#include <string>

namespace platform {

// The user's home folder: $HOME, else the password database entry; "" when neither is known.
std::string homeFolder();

// The Wine prefix folder: $WINEPREFIX when set and not empty, else <home>/.wine.
// The folder is not checked for existence.
std::string winePrefix();

// <prefix>/user.reg: the per-user registry of the prefix.
std::string wineUserRegistry();

// Windows compares file names, registry keys and value names without regard to (ASCII) letter case.
bool sameWindowsName(const std::string& a, const std::string& b);

}  // namespace platform
