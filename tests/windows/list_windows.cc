// Prints the visible top-level windows of the desktop and their controls, for the window test of
// scripts/test-windows.sh, which reads the window from outside as a user sees it:
//   window "<caption>" client <w>x<h> [closebox] [minimize] [maximize] [resizable] [owner "<caption>"] [disabled]
//     <class> "<text>" <left>,<top> <w>x<h> [tabstop] [default] [focus]
// Positions are in pixels within the client area (with --screen: on the screen); texts are
// printed as UTF-8, controls in tab order.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

bool onScreen = false;  // --screen

std::string textOf(HWND hwnd) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(hwnd, buffer, 1024);
  char utf8[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, buffer, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::string quoted;
  for (const char* p = utf8; *p != '\0'; ++p) quoted += *p == '\n' ? std::string("\\n") : std::string(1, *p);
  return quoted;
}

std::string classOf(HWND hwnd) {
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

HWND focusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

BOOL CALLBACK printControl(HWND control, LPARAM window) {
  HWND parent = reinterpret_cast<HWND>(window);
  if (!IsWindowVisible(control) || GetParent(control) != parent) return TRUE;
  RECT r;
  GetWindowRect(control, &r);
  if (!onScreen) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  std::printf("  %s \"%s\" %ld,%ld %ldx%ld", classOf(control).c_str(), textOf(control).c_str(), r.left, r.top,
              r.right - r.left, r.bottom - r.top);
  if (style & WS_TABSTOP) std::printf(" tabstop");
  if (classOf(control) == "Button" && (style & 0x0F) == BS_DEFPUSHBUTTON) std::printf(" default");
  if (focusOf(parent) == control) std::printf(" focus");
  std::printf("\n");
  return TRUE;
}

BOOL CALLBACK printWindow(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (!IsWindowVisible(window) || process == GetCurrentProcessId()) return TRUE;
  RECT client;
  GetClientRect(window, &client);
  std::printf("window \"%s\" client %ldx%ld", textOf(window).c_str(), client.right, client.bottom);
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  if (style & WS_SYSMENU) std::printf(" closebox");
  if (style & WS_MINIMIZEBOX) std::printf(" minimize");
  if (style & WS_MAXIMIZEBOX) std::printf(" maximize");
  if (style & WS_THICKFRAME) std::printf(" resizable");
  if (HWND owner = GetWindow(window, GW_OWNER)) std::printf(" owner \"%s\"", textOf(owner).c_str());
  if (!IsWindowEnabled(window)) std::printf(" disabled");
  std::printf("\n");
  EnumChildWindows(window, printControl, reinterpret_cast<LPARAM>(window));
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  onScreen = argc > 1 && std::string(argv[1]) == "--screen";
  EnumWindows(printWindow, 0);
  return 0;
}
