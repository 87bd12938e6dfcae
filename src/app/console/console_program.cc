#include "app/console/console_program.h"

#include <ctime>
#include <exception>
#include <filesystem>

#include "app/backup_copy.h"
#include "app/console/console_msgbox.h"
#include "app/console/console_options.h"
#include "app/error_report.h"
#include "app/form_controller.h"
#include "app/platform/prefix_discovery.h"
#include "app/platform/wine_prefix.h"
#include "app/preview_run.h"
#include "app/pub_routines.h"
#include "app/run_sequence.h"

#ifndef TARNLOG_VERSION
#define TARNLOG_VERSION "1.01"
#endif

namespace console {
namespace {

constexpr const char* kProgram = "tarnlog-entity-update";

int usageError(std::ostream& err, const std::string& problem) {
  err << kProgram << ": " << problem << "\nTry '" << kProgram << " --help' for more information.\n";
  return kUsageExit;
}

// --list-prefixes: every place looked at, then the prefix a run would use (or why none).
void listPrefixes(std::ostream& out) {
#ifdef _WIN32
  out << "On Windows Tarnlog's settings are in the registry: there is no Wine prefix to look for.\n";
#else
  std::vector<platform::PrefixCandidate> candidates = platform::findWinePrefixes();
  out << "Wine prefixes looked at:\n" << platform::describeCandidates(candidates);
  out.flush();
  out << "Tarnlog's prefix: " << platform::selectTarnlogPrefix(candidates) << '\n';
#endif
}

// The window's run: its load step and one press of Start; or, for --dry-run, the preview.
void run(const ConsoleOptions& options, const updates::GetAppSettingFn& settings, std::istream& in,
         std::ostream& out) {
#ifndef _WIN32
  // Which prefix, settled before anything is written: none or several end the run here.
  if (!options.bandPlan || !options.logbook) platform::winePrefix();
#endif
  app::FormController form(consoleMsgBox(in, out, options.yes), app::Updates::real(), settings);
  form.bandPlanGiven = options.bandPlan;
  std::string bandPlanPath;
  auto backup = [&] {
    if (!options.backupDir) return;
    app::backupFiles(*options.backupDir, {bandPlanPath, form.logbookPath()}, std::time(nullptr),
                     [&](const std::string& copy) { out << "Backed up to " << copy << '\n' << std::flush; });
  };
  if (options.dryRun) {
    bandPlanPath = form.locateBandPlan();
    // Asked for, so taken, although the preview writes only to its own copies.
    app::previewRun(bandPlanPath, settings, out, backup);
    return;
  }
  form.beforeWriting = backup;
  form.Form_Load();
  bandPlanPath = form.BandPlan.DatabaseName();
  form.Start_Click();
  form.Form_Unload();
}

}  // namespace

int runConsole(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
               bool terminal) {
  ConsoleOptions options;
  std::string problem = parseOptions(args, options);
  if (!problem.empty()) return usageError(err, problem);
  if (options.help) {
    out << usageText();
    return 0;
  }
  if (options.version) {
    out << kProgram << ' ' << TARNLOG_VERSION << '\n';
    return 0;
  }

  if (options.prefix) {
    std::error_code ec;
    if (!std::filesystem::is_directory(*options.prefix, ec)) {
      return usageError(err, "option '--prefix': no folder '" + *options.prefix + "'");
    }
    platform::useWinePrefix(*options.prefix);
  }
  if (options.listPrefixes) {
    try {
      listPrefixes(out);
    } catch (...) {
      out.flush();
      return app::reportRunTimeError(std::current_exception(), {}, err);
    }
    return 0;
  }
  if (!options.dryRun && !options.yes && !terminal) {
    return usageError(err, "no terminal to answer \"" + std::string(app::kBackupQuestion) +
                               "\"; pass --yes to answer Yes");
  }

  updates::GetAppSettingFn settings = app::GetAppSetting;
  if (options.logbook) {
    settings = [path = *options.logbook](const std::string& section, const std::string& key,
                                         const std::string& defaultValue) {
      return section == "Settings" && key == "Logbook" ? path : app::GetAppSetting(section, key, defaultValue);
    };
  }
  try {
    run(options, settings, in, out);
  } catch (...) {
    out.flush();
    return app::reportRunTimeError(std::current_exception(), {}, err);
  }
  out.flush();
  return 0;
}

}  // namespace console
