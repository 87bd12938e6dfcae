// The Qt window: focus and placement, Cancel, the close box and Esc, and a failure in Start
// ending its event loop. What Start and the load step do is the controller's (its own test).

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <vector>

#include "app/error_report.h"
#include "app/qt/event_loop_failure.h"
#include "app/qt/form1.h"
#include "fake_prefix.h"
#include "scripted_run.h"
#include "jet/base/error.h"

namespace {

using app::Form1;
using testing_support::FakePrefix;
using testing_support::kConfirm;
using testing_support::Script;

class Form1Test : public ::testing::Test {
 protected:
  Form1Test() : form(script.box(), script.updates(controller)) {
    controller = &form.controller();
    fake.writeUserReg("[Software\\\\VB and VBA Program Settings\\\\Tarnlog\\\\Settings] 1\n\"Logbook\"=\"logbook.mdb\"\n");
  }

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
  app::FormController* controller = nullptr;
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

TEST_F(Form1Test, StartAsksThroughTheWindowsBoxAndRunsTheUpdatesOnItsDataSources) {
  script.answers = {app::vbNo, app::vbYes};
  clickStart();
  clickStart();
  EXPECT_EQ(script.events, (std::vector<std::string>{kConfirm, kConfirm, "bandplan", "box 0 Tarnlog: band plan done", "logbook", "setting logbook.mdb"}));
}

TEST_F(Form1Test, CancelAndCloseBoxEndWithoutUpdatesAndEscapeDoesNot) {
  form.show();
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&form, &esc);
  EXPECT_TRUE(form.isVisible());
  child<QPushButton>("Cancel")->click();
  EXPECT_FALSE(form.isVisible());

  Form1 second(script.box(), script.updates(controller));
  second.show();
  EXPECT_TRUE(second.close());
  EXPECT_FALSE(second.isVisible());
  EXPECT_TRUE(script.events.empty());
}

TEST_F(Form1Test, FailureInAnUpdateEndsTheEventLoopAndReachesTheReport) {
  script.answers = {app::vbYes, app::vbYes};
  app::FormController* failing = nullptr;
  app::Updates updates = script.updates(failing);
  updates.bandPlan = [](db::DataSource&, const updates::ReportFn&) {
    throw jet::Error(jet::err::kFileNotFound, "Could not find file 'bandplan.mdb'.");
  };
  Form1 broken(script.box(), updates);
  failing = &broken.controller();
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

}  // namespace
