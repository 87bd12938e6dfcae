// The run that Start sets off, shared by the window and the console program: the backup
// question, then the band plan update, then the logbook update.
#pragma once

#include <functional>

#include "app/msgbox.h"
#include "bandplan/update_band_plan.h"
#include "db/data_source.h"
#include "logbook/update_logbook.h"

namespace app {

inline constexpr const char* kBackupQuestion = "Have you backed up your logbook and BandPlan.mdb?";

// The two updates a run calls; the real ones unless a test puts others in.
struct Updates {
  std::function<void(db::DataSource& BandPlan, const bandplan::ReportFn& MsgBox)> bandPlan;
  std::function<void(db::DataSource& Logbook, const logbook::GetAppSettingFn& GetAppSetting,
                     const logbook::ReportFn& MsgBox)>
      logbook;
  static Updates real();
};

// Both updates, in order, without asking. `GetAppSetting` reads the logging program's settings
// as stored; the logbook update sees them through localSettings.
void runUpdates(db::DataSource& BandPlan, db::DataSource& Logbook, const MsgBoxFn& MsgBox, const Updates& updates,
                const logbook::GetAppSettingFn& GetAppSetting);

// Asks kBackupQuestion (Yes/No/Cancel). On Yes runs `beforeWriting` (when given) and then
// runUpdates, and returns true; any other answer does nothing and returns false.
bool startRun(db::DataSource& BandPlan, db::DataSource& Logbook, const MsgBoxFn& MsgBox, const Updates& updates,
              const logbook::GetAppSettingFn& GetAppSetting, const std::function<void()>& beforeWriting = {});

}  // namespace app
