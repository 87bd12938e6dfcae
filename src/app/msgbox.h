// The message box through which the program speaks: prompt, buttons value, title; returns the answer code.
// Each window supplies its modal box (Qt or Win32); tests and the console program supply their own.
#pragma once

#include <functional>
#include <string>

namespace app {

// Buttons values and answer codes, as the Windows runtime numbers them.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

inline constexpr const char* kTitle = "Tarnlog";

using MsgBoxFn = std::function<int(const std::string& prompt, int buttons, const std::string& title)>;

}  // namespace app
