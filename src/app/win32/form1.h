// The program's one window on Windows, a dialog of the Win32 API: what the update does, where the
// files are, Start and Cancel. Holds the BandPlan and Logbook data sources; Start asks for a backup
// and runs both updates.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "app/msgbox.h"
#include "db/data_source.h"

namespace app {

class Form1 {
 public:
  // Makes the window from its dialog resource, hidden, its controls placed for the screen.
  explicit Form1(HINSTANCE instance);
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // The load step, before the window is shown: finds the band plan and opens it.
  void Form_Load();

  // Shows the window, the focus on Cancel, and handles its events until it is unloaded. A
  // failure in a handler ends the event loop and is thrown from here.
  void Show();

  HWND hwnd() const { return hwnd_; }

  db::DataSource BandPlan;
  db::DataSource Logbook;
  std::string MyDocsPath;
  std::string BandPlanPath;

  void Start_Click();
  void Cancel_Click();

 private:
  static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Form_Unload();
  void placeControls();
  // Runs a handler; a failure is kept for Show, and no handler runs after it.
  template <class Handler>
  void runHandler(Handler handler);

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  MsgBoxFn msgBox_;
  std::exception_ptr failure_;
  bool unloaded_ = false;
};

}  // namespace app
