#include "app/console/console_options.h"

namespace console {

std::string parseOptions(const std::vector<std::string>& args, ConsoleOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> attached;
    if (name.rfind("--", 0) == 0) {
      size_t eq = name.find('=');
      if (eq != std::string::npos) {
        attached = name.substr(eq + 1);
        name.resize(eq);
      }
    }
    std::optional<std::string>* target = nullptr;
    if (name == "--bandplan") target = &options.bandPlan;
    if (name == "--logbook") target = &options.logbook;
    if (name == "--backup") target = &options.backupDir;
    if (name == "--prefix") target = &options.prefix;
    if (target) {
      if (!attached) {
        if (i + 1 >= args.size()) return "option '" + name + "' needs a value";
        attached = args[++i];
      }
      if (attached->empty()) return "option '" + name + "' needs a value";
      if (*target) return "option '" + name + "' given twice";
      *target = *attached;
      continue;
    }
    bool* flag = nullptr;
    if (name == "--yes" || name == "-y") flag = &options.yes;
    if (name == "--dry-run" || name == "-n") flag = &options.dryRun;
    if (name == "--help" || name == "-h") flag = &options.help;
    if (name == "--version") flag = &options.version;
    if (name == "--list-prefixes") flag = &options.listPrefixes;
    if (!flag) {
      if (name.empty() || name[0] != '-') return "unexpected argument '" + args[i] + "'";
      return "unknown option '" + name + "'";
    }
    if (attached) return "option '" + name + "' takes no value";
    *flag = true;
  }
  return "";
}

std::string usageText() {
  return "Usage: tarnlog-entity-update [OPTION]...\n"
         "Updates Tarnlog's band plan and logbook for the DXCC entities that began on 10/10/2010\n"
         "(Curacao, Sint Maarten, Saba and St. Eustatius, Bonaire).\n"
         "\n"
         "The band plan is BRAEWICK\\Tarnlog\\databases\\bandplan.mdb in your documents folder,\n"
         "the logbook the one Tarnlog's settings name, unless given here.\n"
         "\n"
         "  --bandplan PATH  the band plan database to update\n"
         "  --logbook PATH   the logbook database to update\n"
         "  --yes, -y        answer Yes to \"Have you backed up your logbook and BandPlan.mdb?\"\n"
         "                   (needed when the input is not a terminal)\n"
         "  --dry-run, -n    run the update on temporary copies and show what it would change;\n"
         "                   nothing is asked and your files are left as they are\n"
         "  --backup DIR     copy both databases into DIR, named with the date and time,\n"
         "                   before anything is written (also with --dry-run)\n"
         "  --prefix DIR     the Wine prefix that holds Tarnlog (else WINEPREFIX, else the\n"
         "                   one prefix found that holds Tarnlog's settings)\n"
         "  --list-prefixes  list the Wine prefixes looked at and which hold Tarnlog;\n"
         "                   exit status 0 when exactly one does\n"
         "  --help, -h       show this help\n"
         "  --version        show the version\n"
         "\n"
         "Exit status: 0 done (or declined), 1 run-time error, 2 bad usage.\n";
}

}  // namespace console
