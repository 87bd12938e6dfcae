// Turning a Windows path of the logging program into a path this system can open.
// Under Wine a drive letter is a link in <prefix>/dosdevices and letter case does not matter.
#pragma once

#include <string>

namespace platform {

// Windows: `windowsPath` unchanged. Elsewhere:
//  - "X:\..." goes through <prefix>/dosdevices/x: (the link's target); a path without a drive
//    letter ("\dir\file") is taken from the root of drive C:;
//  - a path already starting with '/' keeps its root;
//  - backslashes become '/', and each component that does not exist as written is matched
//    against its folder's entries without regard to letter case. From the first component
//    that matches nothing on, the rest is appended as written, so opening it fails plainly.
// A relative path only has its separators turned; "" stays "".
std::string hostPath(const std::string& windowsPath);

}  // namespace platform
