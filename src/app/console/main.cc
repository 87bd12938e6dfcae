// Start-up of tarnlog-entity-update, the console twin of the window: the command line, the
// terminal, and the exit status.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/console/console_program.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <filesystem>

#include "app/utf8_path.h"
#else
#include <unistd.h>
#endif

int main(int argc, char* argv[]) {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
  bool terminal = _isatty(_fileno(stdin)) != 0;
  // The arguments as typed, in UTF-8 like every path of the program; argv holds them in the
  // 8-bit character set.
  std::vector<std::string> args;
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) args.push_back(app::textOf(std::filesystem::path(wide[i])));
    LocalFree(wide);
  } else {
    args.assign(argv + 1, argv + argc);
  }
#else
  bool terminal = isatty(fileno(stdin)) != 0;
  std::vector<std::string> args(argv + 1, argv + argc);
#endif
  return console::runConsole(args, std::cin, std::cout, std::cerr, terminal);
}
