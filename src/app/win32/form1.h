// The program's one window on Windows, a dialog of the Win32 API: what the update does, where the
// files are, Start and Cancel. It draws and asks; what Start and the unload do is its FormController's.
#pragma once

#include <windows.h>

#include <exception>

#include "app/form_controller.h"
#include "app/msgbox.h"
#include "app/run_sequence.h"

namespace app {

class Form1 {
 public:
  // Makes the window from its dialog resource, hidden, its controls placed for the screen.
  // `msgBox` defaults to the Win32 box over this window.
  explicit Form1(HINSTANCE instance, MsgBoxFn msgBox = {}, Updates updates = Updates::real());
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // The data sources, the load step and Start.
  FormController& controller() { return controller_; }

  // Shows the window, the focus on Cancel, and handles its events until it is unloaded. A
  // failure in a handler ends the event loop and is thrown from here.
  void Show();

  HWND hwnd() const { return hwnd_; }

  void Cancel_Click();

 private:
  static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void hideAndUnload();  // the window hidden, then FormController::Form_Unload
  void placeControls();
  // Runs a handler; a failure is kept for Show, and no handler runs after it.
  template <class Handler>
  void runHandler(Handler handler);

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  FormController controller_;
  std::exception_ptr failure_;
};

}  // namespace app
