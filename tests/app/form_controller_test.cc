// The form's controller, which every front end (the Qt window, the Win32 window, the console
// program) drives: the load step and the unload, the Start sequence, a band plan given as the logbook.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/console/console_program.h"
#include "app/form_controller.h"
#include "fake_prefix.h"
#include "scripted_run.h"
#include "jet/base/error.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FakePrefix;
using testing_support::kConfirm;

class FormControllerTest : public ::testing::Test {
 protected:
  FormControllerTest() : form(script.box(), script.updates(formPtr)) {
    form.beforeWriting = [this] { script.events.push_back("backups"); };
  }

  FakePrefix fake;
  testing_support::Script script;
  app::FormController* formPtr = &form;
  app::FormController form;
};

TEST_F(FormControllerTest, LoadFindsTheBandPlanBelowTheDocumentsFolder) {
  // A documents folder ending in a separator gives a doubled one, kept as it is.
  fake.writeUserReg("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
                    "\"Personal\"=\"C:\\\\users\\\\bob\\\\Documents\\\\\"\n");
  fs::path bandPlan = fake.driveC() / "users/bob/Documents/BRAEWICK/Tarnlog/Databases/BandPlan.mdb";
  testing_support::copyFixture("jet4/bandplan.mdb", bandPlan);

  form.Form_Load();
  EXPECT_EQ(form.MyDocsPath, "C:\\users\\bob\\Documents\\");
  EXPECT_EQ(form.BandPlanPath, "C:\\users\\bob\\Documents\\\\BRAEWICK\\Tarnlog\\databases\\bandplan.mdb");
  const std::string& opened = form.BandPlan.DatabaseName();
  EXPECT_NE(opened.find("/Documents//BRAEWICK/Tarnlog/Databases/BandPlan.mdb"), std::string::npos) << opened;
  EXPECT_TRUE(fs::equivalent(opened, bandPlan));
  EXPECT_NO_THROW(form.BandPlan.Database());
  EXPECT_TRUE(form.Logbook.DatabaseName().empty());  // the logbook is not touched by the load step
  // Unloading closes the band plan, once.
  form.Form_Unload();
  EXPECT_THROW(form.BandPlan.Database(), jet::Error);
  EXPECT_NO_THROW(form.Form_Unload());
  EXPECT_TRUE(script.events.empty());
}

TEST_F(FormControllerTest, NoOrCancelRunsNothingAndStartAsksAgainThenYesRunsBothUpdatesInOrder) {
  fake.writeUserReg("[Software\\\\VB and VBA Program Settings\\\\Tarnlog\\\\Settings] 1\n"
                    "\"Logbook\"=\"C:\\\\Tarnlog\\\\LogBook.mdb\"\n");
  fs::path logbook = fake.driveC() / "tarnlog" / "logbook.mdb";
  FakePrefix::touch(logbook);
  script.answers = {app::vbNo, app::vbCancel, app::vbYes};
  EXPECT_FALSE(form.Start_Click());
  EXPECT_FALSE(form.Start_Click());
  EXPECT_EQ(script.events, (std::vector<std::string>{kConfirm, kConfirm}));
  EXPECT_TRUE(form.Start_Click());
  // The backups come after Yes and before any update; the updates speak through the same box,
  // and the logbook update gets the logbook as this system reaches it.
  EXPECT_EQ(script.events,
            (std::vector<std::string>{kConfirm, kConfirm, kConfirm, "backups", "bandplan", "box 0 Tarnlog: band plan done",
                                      "logbook", "setting " + fs::canonical(logbook).string()}));

  // A failing band plan update ends the run: the logbook update never starts.
  script.events.clear();
  script.answers = {app::vbYes};
  app::Updates failing = script.updates(formPtr);
  failing.bandPlan = [](db::DataSource&, const updates::ReportFn&) {
    throw jet::Error(jet::err::kFileNotFound, "Could not find file 'bandplan.mdb'.");
  };
  app::FormController broken(script.box(), failing);
  formPtr = &broken;
  EXPECT_THROW(broken.Start_Click(), jet::Error);
  EXPECT_EQ(script.events, (std::vector<std::string>{kConfirm}));
}

// The same file as band plan and logbook, by one name or two (a symbolic link, a hard link), is
// refused before anything is written: no backup, no update; the window's run and the console's
// preview alike.
TEST_F(FormControllerTest, ABandPlanGivenAsTheLogbookIsRefusedBeforeAnythingIsWritten) {
  const fs::path bandPlan = fake.root() / "bandplan.mdb";
  testing_support::copyFixture("jet4/bandplan.mdb", bandPlan);
  const std::string before = testing_support::readBytes(bandPlan.string());
  fs::create_symlink(bandPlan, fake.root() / "symbolic.mdb");
  fs::create_hard_link(bandPlan, fake.root() / "hard.mdb");
  for (const char* name : {"bandplan.mdb", "symbolic.mdb", "hard.mdb"}) {
    SCOPED_TRACE(name);
    const std::string logbook = (fake.root() / name).string();
    script.events.clear();
    script.answers = {app::vbYes};
    app::FormController run(script.box(), app::Updates::real(),
                            [&](const std::string&, const std::string&, const std::string&) { return logbook; });
    run.beforeWriting = [this] { script.events.push_back("backups"); };
    run.bandPlanGiven = bandPlan.string();
    run.Form_Load();
    try {
      run.Start_Click();
      ADD_FAILURE() << "not refused";
    } catch (const jet::Error& e) {
      EXPECT_EQ(e.number(), jet::err::kPathFileAccess);
      EXPECT_NE(e.description().find("are one file"), std::string::npos) << e.description();
    }
    run.Form_Unload();
    EXPECT_EQ(script.events, (std::vector<std::string>{kConfirm}));

    std::istringstream in;
    std::ostringstream out, err;  // the preview
    EXPECT_EQ(console::runConsole({"--dry-run", "--bandplan", bandPlan.string(), "--logbook", logbook}, in, out, err, false), 1);
    EXPECT_EQ(err.str().rfind("Run-time error 75: ", 0), 0u) << err.str();
    EXPECT_EQ(testing_support::readBytes(bandPlan.string()), before);
  }
}

}  // namespace
