// The run that Start sets off, shared by every front end: the backup question, then the band
// plan update, then the logbook update.
#pragma once

#include <functional>

#include "app/msgbox.h"
#include "db/data_source.h"
#include "updates/update_callbacks.h"

namespace app {

inline constexpr const char* kBackupQuestion = "Have you backed up your logbook and BandPlan.mdb?";

// The two updates a run calls; the real ones unless a test puts others in.
struct Updates {
  std::function<void(db::DataSource& BandPlan, const updates::ReportFn& MsgBox)> bandPlan;
  std::function<void(db::DataSource& Logbook, const updates::GetAppSettingFn& GetAppSetting,
                     const updates::ReportFn& MsgBox)>
      logbook;
  static Updates real();
};

// Both updates, in order, without asking. `GetAppSetting` reads the logging program's settings
// as stored; the logbook update sees them through localSettings. Before anything is written, a
// logbook that is the band plan's file is refused (refuseSameFile) and then `beforeWriting`
// (when given) runs.
void runUpdates(db::DataSource& BandPlan, db::DataSource& Logbook, const MsgBoxFn& MsgBox, const Updates& updates,
                const updates::GetAppSettingFn& GetAppSetting, const std::function<void()>& beforeWriting = {});

// Asks kBackupQuestion (Yes/No/Cancel). On Yes runs runUpdates and returns true; any other
// answer does nothing and returns false.
bool startRun(db::DataSource& BandPlan, db::DataSource& Logbook, const MsgBoxFn& MsgBox, const Updates& updates,
              const updates::GetAppSettingFn& GetAppSetting, const std::function<void()>& beforeWriting = {});

}  // namespace app
