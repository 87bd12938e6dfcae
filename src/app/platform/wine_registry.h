// Reading string values out of a registry file that Wine keeps as text (user.reg, system.reg).
// Keys look like [Software\\Vendor\\App] <time>, values like "Name"="text with \\ escapes".
#pragma once

#include <optional>
#include <string>

namespace platform {

// The string (REG_SZ) value `name` of key `keyPath` ("Software\Microsoft\..." with single
// backslashes) in the registry file `regFile`. Key and value names match without regard to
// letter case; "@" names the key's default value. Wine's escapes are decoded and the text is
// returned as UTF-8. Missing file, key or value, or a value of another type: nullopt.
std::optional<std::string> readWineRegistryString(const std::string& regFile, const std::string& keyPath,
                                                  const std::string& name);

// Decodes one quoted token of a Wine registry file. `text` starts just after the opening
// delimiter; decoding stops at the first unescaped `close`. Returns the decoded UTF-8 text and
// sets `end` to the index of the closing delimiter (text.size() when it is missing).
std::string decodeWineString(const std::string& text, char close, size_t& end);

}  // namespace platform
