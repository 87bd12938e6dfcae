#include "app/qt/event_loop_failure.h"

#include <QCoreApplication>
#include <exception>

#include "app/error_report.h"

namespace app {
namespace {

std::exception_ptr& pendingFailure() {
  static std::exception_ptr failure;
  return failure;
}

}  // namespace

void runFromEventLoop(const std::function<void()>& handler) {
  if (pendingFailure()) return;
  try {
    handler();
  } catch (...) {
    pendingFailure() = std::current_exception();
    QCoreApplication::exit(kRunTimeErrorExit);
  }
}

void rethrowPendingFailure() {
  std::exception_ptr failure = pendingFailure();
  pendingFailure() = nullptr;
  if (failure) std::rethrow_exception(failure);
}

}  // namespace app
