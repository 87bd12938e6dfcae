#include "app/win32/form1.h"

#include <cmath>
#include <new>
#include <utility>

#include "app/win32/form1_controls.h"
#include "app/win32/win32_msgbox.h"

namespace app {
namespace {

// The client area and the controls, in twips: left, top, width, height.
constexpr int kClientWidth = 5505;
constexpr int kClientHeight = 3075;
struct Placement {
  int id, left, top, width, height;
};
constexpr Placement kControls[] = {
    {IDC_LABEL, 240, 240, 5175, 495},   {IDC_LABEL2, 240, 840, 5175, 495}, {IDC_LABEL3, 240, 1440, 5175, 495},
    {IDC_LABEL4, 600, 2040, 4575, 375}, {IDC_START, 3360, 2520, 975, 375}, {IDC_CANCEL, 4440, 2520, 975, 375},
};

int pixels(int twips, int dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

// MS Sans Serif at `points`; where it is missing, the system puts its nearest face in.
HFONT dialogFont(double points, int dpiY, int weight) {
  return CreateFontW(-static_cast<int>(std::lround(points * dpiY / 72.0)), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

// Whether the text of `label`, wrapped at `width` pixels as a static control wraps it, fits
// `width` x `height` pixels in `font`.
bool textFits(HWND label, HFONT font, int width, int height) {
  wchar_t text[512] = {};
  GetWindowTextW(label, text, 512);
  HDC dc = GetDC(label);
  HGDIOBJ before = SelectObject(dc, font);
  RECT needed{0, 0, width, 0};
  DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(dc, before);
  ReleaseDC(label, dc);
  return needed.right <= width && needed.bottom <= height;
}

HICON loadIcon(HINSTANCE instance, int sizeMetric) {
  int size = GetSystemMetrics(sizeMetric);
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TARNLOG), IMAGE_ICON, size, size, 0));
}

}  // namespace

Form1::Form1(HINSTANCE instance, MsgBoxFn msgBox, Updates updates) : controller_(msgBox, std::move(updates)) {
  hwnd_ = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_FORM1), nullptr, dialogProc,
                             reinterpret_cast<LPARAM>(this));
  if (hwnd_ == nullptr) throw std::bad_alloc();  // no window to be had: out of memory
  if (!msgBox) controller_.setMsgBox(win32MsgBox(hwnd_));
  bigIcon_ = loadIcon(instance, SM_CXICON);
  smallIcon_ = loadIcon(instance, SM_CXSMICON);
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  placeControls();
}

Form1::~Form1() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  for (HFONT font : {font_, boldFont_}) {
    if (font != nullptr) DeleteObject(font);
  }
  for (HICON icon : {bigIcon_, smallIcon_}) {
    if (icon != nullptr) DestroyIcon(icon);
  }
}

void Form1::placeControls() {
  HDC screen = GetDC(hwnd_);
  int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
  int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(hwnd_, screen);

  // 8.25 points, unless a face put in for MS Sans Serif is wider and a label's text would then
  // wrap onto a line below its box: then the largest size, in quarter points, at which every
  // label keeps to its lines.
  for (double points = 8.25;; points -= 0.25) {
    font_ = dialogFont(points, dpiY, FW_NORMAL);
    boldFont_ = dialogFont(points, dpiY, FW_BOLD);
    bool fits = true;
    for (const Placement& c : kControls) {
      if (c.id == IDC_START || c.id == IDC_CANCEL) continue;
      fits = fits && textFits(GetDlgItem(hwnd_, c.id), c.id == IDC_LABEL4 ? boldFont_ : font_, pixels(c.width, dpiX),
                              pixels(c.height, dpiY));
    }
    if (fits || points <= 6) break;
    DeleteObject(font_);
    DeleteObject(boldFont_);
  }
  for (const Placement& c : kControls) {
    HWND control = GetDlgItem(hwnd_, c.id);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(c.id == IDC_LABEL4 ? boldFont_ : font_), FALSE);
    MoveWindow(control, pixels(c.left, dpiX), pixels(c.top, dpiY), pixels(c.width, dpiX), pixels(c.height, dpiY),
               FALSE);
  }
  RECT frame{0, 0, pixels(kClientWidth, dpiX), pixels(kClientHeight, dpiY)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1::Show() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  // Through the dialog manager, so that Cancel is also the button Enter presses.
  SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd_, IDC_CANCEL)), TRUE);
  MSG message;
  while (!controller_.unloaded() && !failure_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(hwnd_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void Form1::Cancel_Click() { hideAndUnload(); }

void Form1::hideAndUnload() {
  if (controller_.unloaded()) return;
  ShowWindow(hwnd_, SW_HIDE);
  controller_.Form_Unload();
}

template <class Handler>
void Form1::runHandler(Handler handler) {
  if (failure_ || controller_.unloaded()) return;
  try {
    handler();
  } catch (...) {
    failure_ = std::current_exception();  // Show's loop ends when this handler has returned
  }
}

INT_PTR CALLBACK Form1::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    return TRUE;  // the focus goes to the first control in tab order, Cancel
  }
  auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (form == nullptr) return FALSE;
  // The close box ends the program. Answered here, it never becomes the IDCANCEL command that
  // the dialog manager would make of it, as it makes one of Esc, which is left unanswered.
  if (message == WM_CLOSE) {
    form->runHandler([form] { form->hideAndUnload(); });
    return TRUE;
  }
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_START:
      form->runHandler([form] { form->controller_.Start_Click(); });
      return TRUE;
    case IDC_CANCEL:
      form->runHandler([form] { form->Cancel_Click(); });
      return TRUE;
    case IDCANCEL:
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace app
