// Start-up of the Tarnlog Entity Updater on Windows: the window, its load step, its events, and
// the one handler that reports a run-time error and ends the program.

#include <windows.h>

#include <iostream>
#include <memory>

#include "app/error_report.h"
#include "app/win32/form1.h"
#include "app/win32/win32_msgbox.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  SetProcessDPIAware();  // twips become pixels at the screen's real resolution
  std::unique_ptr<app::Form1> form;
  try {
    form = std::make_unique<app::Form1>(instance);
    form->controller().Form_Load();
    form->Show();
  } catch (...) {
    HWND owner = form && IsWindowVisible(form->hwnd()) ? form->hwnd() : nullptr;
    return app::reportRunTimeError(std::current_exception(), app::win32MsgBox(owner), std::cerr);
  }
  return 0;
}
