// The message box of the Win32 window: MessageBoxW, modal over its owner, title as given, no icon.
#pragma once

#include <windows.h>

#include <string>

#include "app/msgbox.h"

namespace app {

// `text` (UTF-8, or else the system's 8-bit character set) as UTF-16 for the Windows calls.
std::wstring wideText(const std::string& text);

// The Windows box as a MsgBoxFn, modal over `owner` (none: nullptr). vbOKOnly shows OK;
// vbYesNoCancel shows Yes, No and Cancel with Yes the default. The answer codes are Windows' own.
MsgBoxFn win32MsgBox(HWND owner);

}  // namespace app
