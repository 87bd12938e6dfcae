#include "app/error_report.h"

#include <new>
#include <string>

#include "jet/base/error.h"

namespace app {

int reportRunTimeError(std::exception_ptr failure, const MsgBoxFn& msgBox, std::ostream& err) {
  int number = jet::err::kInternal;
  std::string description = "Internal error";
  try {
    std::rethrow_exception(failure);
  } catch (const jet::Error& e) {
    number = e.number();
    description = e.description();
  } catch (const std::bad_alloc&) {
    number = jet::err::kOutOfMemory;
    description = "Out of memory";
  } catch (const std::exception& e) {
    if (*e.what() != '\0') description = e.what();
  } catch (...) {
  }
  const std::string num = std::to_string(number);
  err << "Run-time error " << num << ": " << description << std::endl;
  if (msgBox) msgBox("Run-time error '" + num + "':\n\n" + description, vbOKOnly, kTitle);
  return kRunTimeErrorExit;
}

}  // namespace app
