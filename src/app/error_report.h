// The run-time error report: the one place where a failure of the program is caught and shown.
// The window shows it in a box and on standard error; the console program on standard error alone.
#pragma once

#include <exception>
#include <ostream>

#include "app/msgbox.h"

namespace app {

// Exit status of a program ended by a run-time error.
inline constexpr int kRunTimeErrorExit = 1;

// Writes "Run-time error <number>: <description>" to `err`, shows "Run-time error
// '<number>':\n\n<description>" in `msgBox` (OK only, title "Tarnlog") when one is given, and
// returns kRunTimeErrorExit. jet::Error gives its number and description; std::bad_alloc is
// error 7 "Out of memory"; any other failure is error 51 with its text ("Internal error" when
// it has none).
int reportRunTimeError(std::exception_ptr failure, const MsgBoxFn& msgBox, std::ostream& err);

}  // namespace app
