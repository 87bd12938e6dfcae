#include "app/console/console_program.h"

#include <ctime>
#include <exception>

#include "app/console/backup_copy.h"
#include "app/console/console_msgbox.h"
#include "app/console/console_options.h"
#include "app/console/preview_run.h"
#include "app/database_locations.h"
#include "app/error_report.h"
#include "app/platform/host_path.h"
#include "app/pub_routines.h"
#include "app/run_sequence.h"
#include "db/data_source.h"

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

// The run of the window's Start button, after its load step.
void run(const ConsoleOptions& options, const logbook::GetAppSettingFn& settings, std::istream& in,
         std::ostream& out) {
  std::string bandPlanPath = options.bandPlan
                                 ? app::localPath(*options.bandPlan)
                                 : platform::hostPath(app::bandPlanPathIn(app::GetMyDocumentsPath()));
  auto backup = [&] {
    if (!options.backupDir) return;
    std::string logbookPath = app::localPath(settings("Settings", "Logbook", ""));
    for (const std::string& copy : backupFiles(*options.backupDir, {bandPlanPath, logbookPath}, std::time(nullptr))) {
      out << "Backed up to " << copy << '\n';
    }
  };
  if (options.dryRun) {
    backup();  // asked for, so taken, although the preview writes only to its own copies
    previewRun(bandPlanPath, settings, out);
    return;
  }
  db::DataSource BandPlan, Logbook;
  BandPlan.setDatabaseName(bandPlanPath);
  BandPlan.Refresh();
  app::startRun(BandPlan, Logbook, ConsoleMsgBox(in, out, options.yes), app::Updates::real(), settings, backup);
  BandPlan.close();
  Logbook.close();
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
  if (!options.dryRun && !options.yes && !terminal) {
    return usageError(err, "no terminal to answer \"" + std::string(app::kBackupQuestion) +
                               "\"; pass --yes to answer Yes");
  }

  logbook::GetAppSettingFn settings = app::GetAppSetting;
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
