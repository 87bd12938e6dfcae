#include "app/error_report.h"

#include <QCoreApplication>
#include <new>

#include "jet/error.h"

namespace app {
namespace {

std::exception_ptr& pendingFailure() {
  static std::exception_ptr failure;
  return failure;
}

}  // namespace

int ReportRunTimeError(std::exception_ptr failure, const MsgBoxFn& msgBox, std::ostream& err) {
  int number = 51;
  std::string description = "Internal error";
  try {
    std::rethrow_exception(failure);
  } catch (const jet::Error& e) {
    number = e.number();
    description = e.description();
  } catch (const std::bad_alloc&) {
    number = 7;
    description = "Out of memory";
  } catch (const std::exception& e) {
    if (*e.what() != '\0') description = e.what();
  } catch (...) {
  }
  const std::string num = std::to_string(number);
  err << "Run-time error " << num << ": " << description << std::endl;
  msgBox("Run-time error '" + num + "':\n\n" + description, vbOKOnly, kTitle);
  return kRunTimeErrorExit;
}

void RunFromEventLoop(const std::function<void()>& handler) {
  if (pendingFailure()) return;
  try {
    handler();
  } catch (...) {
    pendingFailure() = std::current_exception();
    QCoreApplication::exit(kRunTimeErrorExit);
  }
}

void RethrowPendingFailure() {
  std::exception_ptr failure = pendingFailure();
  pendingFailure() = nullptr;
  if (failure) std::rethrow_exception(failure);
}

}  // namespace app
