#include "app/form_controller.h"

#include <utility>

#include "app/database_locations.h"
#include "app/platform/host_path.h"
#include "app/pub_routines.h"

namespace app {

FormController::FormController(MsgBoxFn MsgBox, Updates updates, updates::GetAppSettingFn GetAppSetting)
    : msgBox_(std::move(MsgBox)), updates_(std::move(updates)), getAppSetting_(std::move(GetAppSetting)) {
  if (!getAppSetting_) getAppSetting_ = app::GetAppSetting;
}

std::string FormController::locateBandPlan() {
  if (bandPlanGiven) {
    BandPlanPath = *bandPlanGiven;
    return localPath(BandPlanPath);
  }
  MyDocsPath = GetMyDocumentsPath();
  BandPlanPath = bandPlanPathIn(MyDocsPath);
  return platform::hostPath(BandPlanPath);
}

void FormController::Form_Load() {
  BandPlan.setDatabaseName(locateBandPlan());
  BandPlan.Refresh();
}

bool FormController::Start_Click() {
  return startRun(BandPlan, Logbook, msgBox_, updates_, getAppSetting_, beforeWriting);
}

void FormController::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  BandPlan.close();
  Logbook.close();
}

std::string FormController::logbookPath() const { return localPath(getAppSetting_("Settings", "Logbook", "")); }

}  // namespace app
