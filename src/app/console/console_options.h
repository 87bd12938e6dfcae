// The command line of the console program: which files, whether to ask, preview or back up.
// Parsing only; what the options do lives in console_program.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace console {

struct ConsoleOptions {
  std::optional<std::string> bandPlan;   // --bandplan PATH, instead of the documents folder's
  std::optional<std::string> logbook;    // --logbook PATH, instead of the setting Settings/Logbook
  std::optional<std::string> backupDir;  // --backup DIR
  std::optional<std::string> prefix;     // --prefix DIR: the Wine prefix, instead of looking for it
  bool listPrefixes = false;             // --list-prefixes
  bool yes = false;                      // --yes: the backup question is answered Yes
  bool dryRun = false;                   // --dry-run
  bool help = false;                     // --help
  bool version = false;                  // --version
};

// Reads `args` (without the program name) into `options`. Options take their value as the next
// argument or after '=' ("--backup=DIR"). Returns "" when the command line is good, otherwise
// what is wrong with it.
std::string parseOptions(const std::vector<std::string>& args, ConsoleOptions& options);

// The --help text.
std::string usageText();

}  // namespace console
