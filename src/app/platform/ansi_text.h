// Text that the Windows API hands back in the system's 8-bit character set (its A functions),
// turned into the UTF-8 in which this program keeps every text and path.
#pragma once

#ifdef _WIN32

#include <string>

namespace platform {

// `ansi` (in the active code page) as UTF-8; "" stays "".
std::string utf8FromAnsi(const std::string& ansi);

}  // namespace platform

#endif
