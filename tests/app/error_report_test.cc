// The run-time error report: the box, the console line and the exit status, for each kind of failure.

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "app/error_report.h"
#include "jet/base/error.h"

namespace {

struct Report {
  std::string prompt, title, console;
  int buttons = -1;
  int status = 0;
};

template <class E>
Report reportOf(const E& failure) {
  Report r;
  std::ostringstream err;
  r.status = app::reportRunTimeError(
      std::make_exception_ptr(failure),
      [&](const std::string& prompt, int buttons, const std::string& title) {
        r.prompt = prompt;
        r.buttons = buttons;
        r.title = title;
        return app::vbOK;
      },
      err);
  r.console = err.str();
  return r;
}

TEST(ErrorReportTest, EngineErrorShowsItsNumberAndDescription) {
  Report r = reportOf(jet::Error(3024, "Could not find file 'C:\\x\\bandplan.mdb'."));
  EXPECT_EQ(r.prompt, "Run-time error '3024':\n\nCould not find file 'C:\\x\\bandplan.mdb'.");
  EXPECT_EQ(r.buttons, app::vbOKOnly);
  EXPECT_EQ(r.title, "Tarnlog");
  EXPECT_EQ(r.console, "Run-time error 3024: Could not find file 'C:\\x\\bandplan.mdb'.\n");
  EXPECT_EQ(r.status, 1);
}

TEST(ErrorReportTest, OtherFailuresGetRuntimeNumbers) {
  Report memory = reportOf(std::bad_alloc());
  EXPECT_EQ(memory.prompt, "Run-time error '7':\n\nOut of memory");
  EXPECT_EQ(memory.status, 1);
  Report internal = reportOf(std::logic_error("vector::at"));
  EXPECT_EQ(internal.console, "Run-time error 51: vector::at\n");
  Report unknown = reportOf(42);
  EXPECT_EQ(unknown.prompt, "Run-time error '51':\n\nInternal error");
  EXPECT_EQ(unknown.status, 1);
}

}  // namespace
