#include "app/run_sequence.h"

#include "app/database_locations.h"
#include "bandplan/update_band_plan.h"

namespace app {

Updates Updates::real() { return Updates{bandplan::UpdateBandPlan, logbook::UpdateLogbook}; }

void runUpdates(db::DataSource& BandPlan, db::DataSource& Logbook, const MsgBoxFn& MsgBox, const Updates& updates,
                const logbook::GetAppSettingFn& GetAppSetting) {
  // Each update's report is a message box with OK only.
  auto report = [&](const std::string& message) { MsgBox(message, vbOKOnly, kTitle); };
  updates.bandPlan(BandPlan, report);
  // Starts only once the band plan update has returned, its closing message answered.
  updates.logbook(Logbook, localSettings(GetAppSetting), report);
}

bool startRun(db::DataSource& BandPlan, db::DataSource& Logbook, const MsgBoxFn& MsgBox, const Updates& updates,
              const logbook::GetAppSettingFn& GetAppSetting, const std::function<void()>& beforeWriting) {
  if (MsgBox(kBackupQuestion, vbYesNoCancel, kTitle) != vbYes) return false;
  if (beforeWriting) beforeWriting();
  runUpdates(BandPlan, Logbook, MsgBox, updates, GetAppSetting);
  return true;
}

}  // namespace app
