// The window: layout, texts, focus, frame, the Start/Cancel sequence and the load step.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <vector>

#include "app/error_report.h"
#include "app/event_loop_failure.h"
#include "app/form1.h"
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
      app::RethrowPendingFailure();
    } catch (...) {
    }
  }

  FakePrefix fake;
  Script script;
  Form1* formPtr = nullptr;
  Form1 form;
};

TEST_F(Form1Test, ControlsSitAtTheirTwipPositions) {
  form.ApplyDpi(96, 96);
  EXPECT_EQ(form.size(), QSize(367, 205));
  EXPECT_EQ(child<QLabel>("Label")->geometry(), QRect(16, 16, 345, 33));
  EXPECT_EQ(child<QLabel>("Label2")->geometry(), QRect(16, 56, 345, 33));
  EXPECT_EQ(child<QLabel>("Label3")->geometry(), QRect(16, 96, 345, 33));
  EXPECT_EQ(child<QLabel>("Label4")->geometry(), QRect(40, 136, 305, 25));
  EXPECT_EQ(child<QPushButton>("Start")->geometry(), QRect(224, 168, 65, 25));
  EXPECT_EQ(child<QPushButton>("Cancel")->geometry(), QRect(296, 168, 65, 25));

  form.ApplyDpi(144, 120);  // x and y scale each by their own resolution
  EXPECT_EQ(form.size(), QSize(551, 256));
  EXPECT_EQ(child<QLabel>("Label4")->geometry(), QRect(60, 170, 458, 31));
  EXPECT_EQ(child<QPushButton>("Cancel")->geometry(), QRect(444, 210, 98, 31));
  EXPECT_EQ(Form1::Pixels(5175, 120), 431);
}

TEST_F(Form1Test, TextsFontsAndWrapping) {
  EXPECT_EQ(form.windowTitle(), "Tarnlog Entity Updater");
  EXPECT_EQ(child<QLabel>("Label")->text(),
            "This program updates Tarnlog for the new entities of Curacao, Sint Maarten. Saba and St. Eustatius, "
            "and Bonaire.");
  EXPECT_EQ(child<QLabel>("Label2")->text(),
            "It then checks your log for PJ contacts on or after 10/10/2010 and makes any required changes to "
            "the DXCC Reference Numbers.");
  EXPECT_EQ(child<QLabel>("Label3")->text(),
            "Back up your logbook and the file named BandPlan.mdb before proceeding.  These files are located in:");
  EXPECT_EQ(child<QLabel>("Label4")->text(), "My Documents\\BRAEWICK\\Tarnlog\\Databases");
  EXPECT_EQ(child<QPushButton>("Start")->text(), "Start");
  EXPECT_EQ(child<QPushButton>("Cancel")->text(), "Cancel");
  for (const char* name : {"Label", "Label2", "Label3", "Label4"}) {
    QLabel* label = child<QLabel>(name);
    EXPECT_TRUE(label->wordWrap()) << name;
    EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignTop) << name;
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << name;
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << name;
    EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 8.25) << name;
    EXPECT_EQ(label->font().weight(), std::string(name) == "Label4" ? QFont::Bold : QFont::Normal) << name;
  }
  EXPECT_EQ(QFont::Bold, 700);
  EXPECT_EQ(form.windowIcon().availableSizes().size(), 3);
}

TEST_F(Form1Test, FocusStartsOnCancelAndTabGoesToStart) {
  auto* start = child<QPushButton>("Start");
  auto* cancel = child<QPushButton>("Cancel");
  form.show();
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

TEST_F(Form1Test, FixedDialogFrame) {
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_EQ(form.size(), form.minimumSize());
  Qt::WindowFlags flags = form.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowTitleHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
  EXPECT_FALSE(form.isSizeGripEnabled());
}

TEST_F(Form1Test, YesRunsBothUpdatesInOrder) {
  fake.writeUserReg("[Software\\\\VB and VBA Program Settings\\\\Tarnlog\\\\Settings] 1\n"
                    "\"Logbook\"=\"C:\\\\Tarnlog\\\\LogBook.mdb\"\n");
  fs::path logbook = fake.driveC() / "tarnlog" / "logbook.mdb";
  FakePrefix::touch(logbook);
  script.answers = {app::vbYes};
  clickStart();
  ASSERT_EQ(script.events.size(), 5u);
  EXPECT_EQ(script.events[0], kConfirm);
  EXPECT_EQ(script.events[1], "bandplan");
  EXPECT_EQ(script.events[2], "box 0 Tarnlog: band plan done");  // the updates speak through the same box
  EXPECT_EQ(script.events[3], "logbook");
  // The logbook update gets the logbook as this system reaches it.
  EXPECT_EQ(script.events[4], "setting " + fs::canonical(logbook).string());
}

TEST_F(Form1Test, NoOrCancelRunsNothingAndStartAsksAgain) {
  script.answers = {app::vbNo, app::vbCancel, app::vbYes};
  clickStart();
  clickStart();
  EXPECT_EQ(script.events, (std::vector<std::string>{kConfirm, kConfirm}));
  clickStart();
  ASSERT_EQ(script.events.size(), 7u);
  EXPECT_EQ(script.events[3], "bandplan");
  EXPECT_EQ(script.events[5], "logbook");
}

TEST_F(Form1Test, CancelAndCloseBoxEndWithoutUpdates) {
  form.show();
  EXPECT_TRUE(form.isVisible());
  child<QPushButton>("Cancel")->click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(script.events.empty());

  Script other;
  Form1* otherPtr = nullptr;
  Form1 second(other.box(), other.updates(&otherPtr));
  otherPtr = &second;
  second.show();
  EXPECT_TRUE(second.close());
  EXPECT_FALSE(second.isVisible());
  EXPECT_TRUE(other.events.empty());
}

TEST_F(Form1Test, EscapeDoesNotCloseTheWindow) {
  form.show();
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&form, &esc);
  EXPECT_TRUE(form.isVisible());
  form.close();
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
    app::RethrowPendingFailure();
    FAIL() << "no failure was kept";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), 3024);
    EXPECT_EQ(e.description(), "Could not find file 'bandplan.mdb'.");
  }
  EXPECT_NO_THROW(app::RethrowPendingFailure());
  broken.close();
}

TEST_F(Form1Test, LoadFindsTheBandPlanBelowTheDocumentsFolder) {
  // A documents folder ending in a separator gives a doubled one, kept as it is.
  fake.writeUserReg("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
                    "\"Personal\"=\"C:\\\\users\\\\bob\\\\Documents\\\\\"\n");
  fs::path bandPlan = fake.driveC() / "users/bob/Documents/BRAEWICK/Tarnlog/Databases/BandPlan.mdb";
  fs::create_directories(bandPlan.parent_path());
  fs::copy_file(fs::path(TARNLOG_FIXTURES) / "jet4" / "bandplan.mdb", bandPlan);
  fs::permissions(bandPlan, fs::perms::owner_write, fs::perm_options::add);

  form.Form_Load();
  EXPECT_EQ(form.MyDocsPath, "C:\\users\\bob\\Documents\\");
  EXPECT_EQ(form.BandPlanPath, "C:\\users\\bob\\Documents\\\\BRAEWICK\\Tarnlog\\databases\\bandplan.mdb");
  const std::string& opened = form.BandPlan.DatabaseName();
  EXPECT_NE(opened.find("/Documents//BRAEWICK/Tarnlog/Databases/BandPlan.mdb"), std::string::npos) << opened;
  EXPECT_TRUE(fs::equivalent(opened, bandPlan));
  EXPECT_TRUE(form.Logbook.DatabaseName().empty());  // the logbook is not touched by the load step
}

TEST_F(Form1Test, LoadFailsWhenTheBandPlanIsMissing) {
  fake.writeUserReg("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
                    "\"Personal\"=\"C:\\\\users\\\\bob\\\\Documents\"\n");
  try {
    form.Form_Load();
    FAIL() << "the load step opened a band plan that is not there";
  } catch (const jet::Error& e) {
    EXPECT_EQ(e.number(), jet::err::kFileNotFound);
  }
}

}  // namespace
