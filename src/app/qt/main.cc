// Start-up of the Tarnlog Entity Updater: the window, its load step, the event loop, and the
// one handler that reports a run-time error and ends the program.

#include <QApplication>
#include <iostream>

#include "app/error_report.h"
#include "app/qt/event_loop_failure.h"
#include "app/qt/form1.h"
#include "app/qt/qt_msgbox.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Tarnlog Entity Updater"));
  QCoreApplication::setApplicationVersion(QStringLiteral("1.01"));
  QGuiApplication::setDesktopFileName(QStringLiteral("tarnlog-entity-updater"));

  app::Form1 form;
  QApplication::setWindowIcon(form.windowIcon());
  try {
    form.controller().Form_Load();
    form.show();
    QApplication::exec();
    app::rethrowPendingFailure();
  } catch (...) {
    return app::reportRunTimeError(std::current_exception(), app::qtMsgBox(form.isVisible() ? &form : nullptr),
                                   std::cerr);
  }
  return 0;
}
