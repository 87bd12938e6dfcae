// A failure inside a Qt slot, kept until the event loop has ended and then handed to the
// top-level handler, so that it never passes through Qt's own code.
#pragma once

#include <functional>

namespace app {

// Runs `handler` for a Qt slot. A failure is kept and the event loop is told to end (with
// kRunTimeErrorExit), so that it reaches the top-level handler (rethrowPendingFailure after
// QApplication::exec). While a failure is kept, further handlers do not run.
void runFromEventLoop(const std::function<void()>& handler);

// Rethrows the failure kept by runFromEventLoop, if there is one, and forgets it.
void rethrowPendingFailure();

}  // namespace app
