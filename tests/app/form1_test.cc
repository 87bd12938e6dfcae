// The window: focus and placement, the Start/Cancel sequence, failures and the load step.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <vector>

#include "app/error_report.h"
#include "app/qt/event_loop_failure.h"
#include "app/qt/form1.h"
#include "fake_prefix.h"
#include "jet/error.h"

namespace {

namespace fs = std::filesystem;
using app::Form1;
using testing_support::FakePrefix;

// Records every box and every update in the order they happen; answers the boxes from a script.
struct Script {
  std::vector<int> answers;
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

  app::Updates updates(Form1** form) {
    app::Updates u;
    u.bandPlan = [this, form](db::DataSource& source, const bandplan::ReportFn& box) {
      events.push_back(&source == &(*form)->BandPlan ? "bandplan" : "bandplan on wrong source");
      box("band plan done");
    };
    u.logbook = [this, form](db::DataSource& source, const logbook::GetAppSettingFn& setting,
                             const logbook::ReportFn& box) {
      events.push_back(&source == &(*form)->Logbook ? "logbook" : "logbook on wrong source");
      events.push_back("setting " + setting("Settings", "Logbook", ""));
    };
    return u;
  }
};

const std::string kConfirm = "box 3 Tarnlog: Have you backed up your logbook and BandPlan.mdb?";

class Form1Test : public ::testing::Test {
 protected:
  Form1Test() : form(script.box(), script.updates(&formPtr)) { formPtr = &form; }

  template <class W>
  W* child(const char* name) {
    W* w = form.findChild<W*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void clickStart() { child<QPushButton>("Start")->click(); }

  void TearDown() override {
    // A failure kept by a test must not leak into the next one.
    try {
      app::rethrowPendingFailure();
    } catch (...) {
    }
  }

  FakePrefix fake;
  Script script;
  Form1* formPtr = nullptr;
  Form1 form;
};

TEST_F(Form1Test, FocusStartsOnCancelAndTabGoesToStart) {
  auto* start = child<QPushButton>("Start");
  auto* cancel = child<QPushButton>("Cancel");
  const QPoint placed = form.pos();
  form.show();
  EXPECT_EQ(form.pos(), placed);  // the window manager places the window, not the program
  QApplication::setActiveWindow(&form);
  QApplication::processEvents();
  EXPECT_EQ(form.focusWidget(), cancel);
  EXPECT_EQ(QApplication::focusWidget(), cancel);
  QWidget* next = cancel->nextInFocusChain();
  while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
  EXPECT_EQ(next, start);
  next = start->nextInFocusChain();
  while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
  EXPECT_EQ(next, cancel);
  form.close();
}

TEST_F(Form1Test, NoOrCancelRunsNothingAndStartAsksAgainThenYesRunsBothUpdatesInOrder) {
  fake.writeUserReg("[Software\\\\VB and VBA Program Settings\\\\Tarnlog\\\\Settings] 1\n"
                    "\"Logbook\"=\"C:\\\\Tarnlog\\\\LogBook.mdb\"\n");
  fs::path logbook = fake.driveC() / "tarnlog" / "logbook.mdb";
  FakePrefix::touch(logbook);
  script.answers = {app::vbNo, app::vbCancel, app::vbYes};
  clickStart();
  clickStart();
  EXPECT_EQ(script.events, (std::vector<std::string>{kConfirm, kConfirm}));
  clickStart();
  // The updates speak through the same box; the logbook update gets the logbook as this system
  // reaches it.
  EXPECT_EQ(script.events, (std::vector<std::string>{kConfirm, kConfirm, kConfirm, "bandplan", "box 0 Tarnlog: band plan done",
                                                     "logbook", "setting " + fs::canonical(logbook).string()}));
}

TEST_F(Form1Test, CancelAndCloseBoxEndWithoutUpdatesAndEscapeDoesNot) {
  form.show();
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&form, &esc);
  EXPECT_TRUE(form.isVisible());
  child<QPushButton>("Cancel")->click();
  EXPECT_FALSE(form.isVisible());

  Form1 second(script.box(), script.updates(&formPtr));
  second.show();
  EXPECT_TRUE(second.close());
  EXPECT_FALSE(second.isVisible());
  EXPECT_TRUE(script.events.empty());
}

TEST_F(Form1Test, FailureInAnUpdateEndsTheEventLoopAndReachesTheReport) {
  script.answers = {app::vbYes, app::vbYes};
  Form1* failing = nullptr;
  app::Updates updates = script.updates(&failing);
  updates.bandPlan = [](db::DataSource&, const bandplan::ReportFn&) {
    throw jet::Error(jet::err::kFileNotFound, "Could not find file 'bandplan.mdb'.");
  };
  Form1 broken(script.box(), updates);
  failing = &broken;
  broken.show();

  QTimer::singleShot(0, &broken, [&] { broken.findChild<QPushButton*>("Start")->click(); });
  QTimer::singleShot(0, &broken, [&] { broken.findChild<QPushButton*>("Start")->click(); });
  QTimer::singleShot(5000, &broken, [] { QCoreApplication::exit(99); });  // guard: never hang
  EXPECT_EQ(QApplication::exec(), app::kRunTimeErrorExit);
  // The second click, queued behind the failure, did not run: the logbook update never started.
  EXPECT_EQ(script.events, (std::vector<std::string>{kConfirm}));

  try {
    app::rethrowPendingFailure();
    FAIL() << "no failure was kept";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), 3024);
    EXPECT_EQ(e.description(), "Could not find file 'bandplan.mdb'.");
  }
  EXPECT_NO_THROW(app::rethrowPendingFailure());
  broken.close();
}

TEST_F(Form1Test, LoadFindsTheBandPlanBelowTheDocumentsFolder) {
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
  EXPECT_TRUE(form.Logbook.DatabaseName().empty());  // the logbook is not touched by the load step
}

}  // namespace
