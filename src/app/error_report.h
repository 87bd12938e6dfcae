// The run-time error report: the one place where a failure of the program is caught and shown.
// Slots called by Qt hand their failure over to it instead of letting it pass through the event loop.
#pragma once

#include <exception>
#include <functional>
#include <ostream>
#include <string>

#include "app/msgbox.h"

namespace app {

// Exit status of a program ended by a run-time error.
inline constexpr int kRunTimeErrorExit = 1;

// Shows "Run-time error '<number>':\n\n<description>" in `msgBox` (OK only, title "Tarnlog"),
// writes "Run-time error <number>: <description>" to `err`, and returns kRunTimeErrorExit.
// jet::Error gives its number and description; std::bad_alloc is error 7 "Out of memory";
// any other failure is error 51 with its text ("Internal error" when it has none).
int ReportRunTimeError(std::exception_ptr failure, const MsgBoxFn& msgBox, std::ostream& err);

// Runs `handler` for a Qt slot. A failure is kept and the event loop is told to end, so that
// it reaches the top-level handler (RethrowPendingFailure after QApplication::exec).
// While a failure is kept, further handlers do not run.
void RunFromEventLoop(const std::function<void()>& handler);

// Rethrows the failure kept by RunFromEventLoop, if there is one, and forgets it.
void RethrowPendingFailure();

}  // namespace app
