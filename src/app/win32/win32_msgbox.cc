#include "app/win32/win32_msgbox.h"

namespace app {

static_assert(vbOK == IDOK && vbCancel == IDCANCEL && vbYes == IDYES && vbNo == IDNO);
static_assert(vbOKOnly == MB_OK && vbYesNoCancel == MB_YESNOCANCEL);

std::wstring wideText(const std::string& text) {
  if (text.empty()) return {};
  // Paths from the shell and the registry come in the 8-bit character set, not in UTF-8.
  UINT codePage = CP_UTF8;
  int size = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
  if (size == 0) {
    codePage = CP_ACP;
    size = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
  }
  std::wstring wide(size, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), wide.data(), size);
  return wide;
}

MsgBoxFn win32MsgBox(HWND owner) {
  return [owner](const std::string& prompt, int buttons, const std::string& title) {
    UINT type = buttons == vbYesNoCancel ? MB_YESNOCANCEL | MB_DEFBUTTON1 : MB_OK;
    int answer = MessageBoxW(owner, wideText(prompt).c_str(), wideText(title).c_str(), type | MB_APPLMODAL);
    // A box that could not be shown counts as closed by Esc.
    if (answer == 0) return buttons == vbYesNoCancel ? vbCancel : vbOK;
    return answer;
  };
}

}  // namespace app
