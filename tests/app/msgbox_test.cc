// The Qt message box: buttons, default, escape answer, order, text shown unchanged.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <tuple>

#include "app/qt/qt_msgbox.h"

namespace {

TEST(QtMsgBoxTest, YesNoCancelBox) {
  auto box = app::makeMessageBox("Have you backed up your logbook and BandPlan.mdb?", app::vbYesNoCancel,
                                 app::kTitle, nullptr);
  EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::Yes));
  box->show();
  QApplication::processEvents();
  // Windows order, left to right.
  auto left = [&](QMessageBox::StandardButton b) { return box->button(b)->mapToGlobal(QPoint()).x(); };
  EXPECT_LT(left(QMessageBox::Yes), left(QMessageBox::No));
  EXPECT_LT(left(QMessageBox::No), left(QMessageBox::Cancel));
  box->close();
}

TEST(QtMsgBoxTest, AnswerCodes) {
  const std::tuple<int, QMessageBox::StandardButton, int> clicks[] = {  // buttons, the one clicked, answer
      {app::vbYesNoCancel, QMessageBox::Yes, app::vbYes}, {app::vbYesNoCancel, QMessageBox::No, app::vbNo},
      {app::vbYesNoCancel, QMessageBox::Cancel, app::vbCancel}, {app::vbOKOnly, QMessageBox::Ok, app::vbOK}};
  for (const auto& [buttons, click, answer] : clicks) {
    auto box = app::makeMessageBox("?", buttons, app::kTitle, nullptr);
    box->show();
    box->button(click)->click();
    EXPECT_EQ(app::answerOf(*box), answer) << click;
  }
  // Esc and the close box give Cancel, or OK on a box that has only OK.
  for (int buttons : {app::vbYesNoCancel, app::vbOKOnly}) {
    int expected = buttons == app::vbOKOnly ? app::vbOK : app::vbCancel;
    auto escaped = app::makeMessageBox("?", buttons, app::kTitle, nullptr);
    escaped->show();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(escaped.get(), &esc);
    EXPECT_EQ(app::answerOf(*escaped), expected);
    auto closed = app::makeMessageBox("?", buttons, app::kTitle, nullptr);
    closed->show();
    closed->close();
    EXPECT_EQ(app::answerOf(*closed), expected);
  }
}

TEST(QtMsgBoxTest, PromptIsShownUnchanged) {
  const std::string prompt = "Run-time error '3024':\n\n<b>Could not</b> find file 'C:\\x & y.mdb'.";
  auto box = app::makeMessageBox(prompt, app::vbOKOnly, app::kTitle, nullptr);
  EXPECT_EQ(box->text().toStdString(), prompt);
  EXPECT_EQ(box->textFormat(), Qt::PlainText);
}

TEST(QtMsgBoxTest, OffscreenBoxIsNotWaitedFor) {
  ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
  app::MsgBoxFn box = app::qtMsgBox(nullptr);
  EXPECT_EQ(box("Have you backed up your logbook and BandPlan.mdb?", app::vbYesNoCancel, app::kTitle), app::vbCancel);
  EXPECT_EQ(box("Done.", app::vbOKOnly, app::kTitle), app::vbOK);
}

}  // namespace
