#include "app/run_sequence.h"

#include "app/database_locations.h"
#include "bandplan/update_band_plan.h"
#include "logbook/update_logbook.h"

namespace app {

Updates Updates::real() { return Updates{bandplan::UpdateBandPlan, logbook::UpdateLogbook}; }

void runUpdates(db::DataSource& BandPlan, db::DataSource& Logbook, const MsgBoxFn& MsgBox, const Updates& updates,
                const updates::GetAppSettingFn& GetAppSetting, const std::function<void()>& beforeWriting) {
  const updates::GetAppSettingFn settings = localSettings(GetAppSetting);
  refuseSameFile(BandPlan.DatabaseName(), settings("Settings", "Logbook", ""));
  if (beforeWriting) beforeWriting();
  // Each update's report is a message box with OK only.
  auto report = [&](const std::string& message) { MsgBox(message, vbOKOnly, kTitle); };
  updates.bandPlan(BandPlan, report);
  // Starts only once the band plan update has returned, its closing message answered.
  updates.logbook(Logbook, settings, report);
}

bool startRun(db::DataSource& BandPlan, db::DataSource& Logbook, const MsgBoxFn& MsgBox, const Updates& updates,
              const updates::GetAppSettingFn& GetAppSetting, const std::function<void()>& beforeWriting) {
  if (MsgBox(kBackupQuestion, vbYesNoCancel, kTitle) != vbYes) return false;
  runUpdates(BandPlan, Logbook, MsgBox, updates, GetAppSetting, beforeWriting);
  return true;
}

}  // namespace app
