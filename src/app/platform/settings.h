// The per-user settings store of programs written for the Windows runtime (GetSetting).
// Windows: HKCU\Software\VB and VBA Program Settings\<app>\<section>; elsewhere the same key in Wine's user.reg.
#pragma once

#include <string>

namespace platform {

// The string value `key` of `app`/`section`; `defaultValue` when the key or value is absent
// or the value is not a string. The value comes back as UTF-8, like every path of the program.
std::string getSetting(const std::string& app, const std::string& section, const std::string& key,
                       const std::string& defaultValue);

}  // namespace platform
