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
#else
#include <unistd.h>
#endif

int main(int argc, char* argv[]) {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
  bool terminal = _isatty(_fileno(stdin)) != 0;
#else
  bool terminal = isatty(fileno(stdin)) != 0;
#endif
  std::vector<std::string> args(argv + 1, argv + argc);
  return console::runConsole(args, std::cin, std::cout, std::cerr, terminal);
}
