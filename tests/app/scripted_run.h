// Test support for the form's front ends: a message box answered from a script, and updates that
// only record that they ran on the controller's data sources, all in one list of events.
#pragma once

#include <string>
#include <vector>

#include "app/form_controller.h"

namespace testing_support {

inline const std::string kConfirm = "box 3 Tarnlog: Have you backed up your logbook and BandPlan.mdb?";

struct Script {
  std::vector<int> answers;  // for the boxes in turn; OK once they run out
  std::vector<std::string> events;

  app::MsgBoxFn box() {
    return [this](const std::string& prompt, int buttons, const std::string& title) {
      events.push_back("box " + std::to_string(buttons) + " " + title + ": " + prompt);
      if (answers.empty()) return app::vbOK;
      int answer = answers.front();
      answers.erase(answers.begin());
      return answer;
    };
  }

  // `form` is read when the updates run: it may be set after they are made.
  app::Updates updates(app::FormController*& form) {
    app::Updates u;
    u.bandPlan = [this, &form](db::DataSource& source, const updates::ReportFn& report) {
      events.push_back(&source == &form->BandPlan ? "bandplan" : "bandplan on wrong source");
      report("band plan done");
    };
    u.logbook = [this, &form](db::DataSource& source, const updates::GetAppSettingFn& setting,
                              const updates::ReportFn&) {
      events.push_back(&source == &form->Logbook ? "logbook" : "logbook on wrong source");
      events.push_back("setting " + setting("Settings", "Logbook", ""));
    };
    return u;
  }
};

}  // namespace testing_support
