#include "app/platform/ansi_text.h"

#ifdef _WIN32

#include <windows.h>

#include "jet/os/os_file.h"

namespace platform {

std::string utf8FromAnsi(const std::string& ansi) {
  if (ansi.empty()) return ansi;
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), wide.data(), n);
  return jet::osNarrow(wide);
}

}  // namespace platform

#endif
