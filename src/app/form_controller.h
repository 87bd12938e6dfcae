// What the program's one window does, whichever front end draws it: the load step, Start and the
// unload, over the BandPlan and Logbook data sources. The front ends draw and ask; this decides.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/msgbox.h"
#include "app/run_sequence.h"
#include "db/data_source.h"
#include "updates/update_callbacks.h"

namespace app {

class FormController {
 public:
  // `GetAppSetting` reads the logging program's settings (the real ones unless a test or the
  // console program's --logbook puts others in).
  explicit FormController(MsgBoxFn MsgBox, Updates updates = Updates::real(),
                          updates::GetAppSettingFn GetAppSetting = {});

  // The box the controller asks and reports through, for a window that makes it after this.
  void setMsgBox(MsgBoxFn MsgBox) { msgBox_ = std::move(MsgBox); }

  // Sets MyDocsPath and BandPlanPath (or takes bandPlanGiven) and returns the band plan as this
  // system reaches it, without opening it.
  std::string locateBandPlan();
  // The load step: locateBandPlan, then the band plan opened through BandPlan.
  void Form_Load();
  // Asks whether the databases are backed up; on Yes runs both updates (runUpdates, with
  // beforeWriting). Returns whether they ran.
  bool Start_Click();
  // The window goes: both data sources close, carrying what is stored into their files. Once;
  // later calls do nothing.
  void Form_Unload();
  bool unloaded() const { return unloaded_; }

  // The logbook that the settings name, as this system reaches it.
  std::string logbookPath() const;

  db::DataSource BandPlan;
  db::DataSource Logbook;
  std::string MyDocsPath;
  std::string BandPlanPath;

  // A band plan named instead of the one below the documents folder (the console's --bandplan).
  std::optional<std::string> bandPlanGiven;
  // Runs once Start is answered Yes, before anything is written (the console's --backup).
  std::function<void()> beforeWriting;

 private:
  MsgBoxFn msgBox_;
  Updates updates_;
  updates::GetAppSettingFn getAppSetting_;
  bool unloaded_ = false;
};

}  // namespace app
