// Paths between the program's UTF-8 text and std::filesystem, which on Windows reads a plain
// string in the 8-bit character set.
#pragma once

#include <filesystem>
#include <string>

namespace app {

// The path that the UTF-8 text `utf8` names.
inline std::filesystem::path pathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// `path` as UTF-8 text.
inline std::string textOf(const std::filesystem::path& path) {
  std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

}  // namespace app
