// The console program: the window's run on the command line, with its own options for
// scripts, previews and backups.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace console {

// Exit statuses besides 0 (done, or the question answered other than Yes) and
// app::kRunTimeErrorExit.
inline constexpr int kUsageExit = 2;

// Runs the program for `args` (without the program name). `terminal` tells whether `in` is a
// terminal someone can answer on. Messages go to `out`, usage and run-time errors to `err`.
// Returns the exit status.
int runConsole(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
               bool terminal);

}  // namespace console
