#include "app/platform/documents_folder.h"

#ifdef _WIN32
#include <windows.h>

#include "app/platform/ansi_text.h"
#include "jet/base/error.h"
#else
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/platform/wine_prefix.h"
#include "app/platform/wine_registry.h"
#endif

namespace platform {

#ifdef _WIN32

namespace {

using SHGetFolderPathAFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

// shfolder.dll is loaded at the first call; the entry point is kept for the calls after it.
SHGetFolderPathAFn folderPathEntry() {
  static SHGetFolderPathAFn entry = nullptr;
  if (entry == nullptr) {
    HMODULE module = LoadLibraryA("shfolder");
    if (module == nullptr) throw jet::Error(jet::err::kSystemFileNotFound, "File not found: shfolder");
    // Through the generic function type, the one cast between function types that is meant to work.
    auto generic = reinterpret_cast<void (*)()>(GetProcAddress(module, "SHGetFolderPathA"));
    entry = reinterpret_cast<SHGetFolderPathAFn>(generic);
    if (entry == nullptr) throw jet::Error(jet::err::kDllEntryPoint, "Can't find DLL entry point SHGetFolderPathA in shfolder");
  }
  return entry;
}

}  // namespace

std::string documentsFolder() {
  constexpr int kCsidlPersonal = 5;
  char buffer[260] = {};
  folderPathEntry()(nullptr, kCsidlPersonal, nullptr, 0, buffer);  // the result code is not looked at
  return utf8FromAnsi(buffer);  // the text before the first NUL, in the 8-bit character set
}

#else

namespace {

// XDG_DOCUMENTS_DIR="$HOME/Documents" from user-dirs.dirs; "" when the file or line is missing.
std::string xdgDocumentsFolder(const std::string& home) {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::string config = (configHome != nullptr && *configHome == '/') ? std::string(configHome) : home + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=";
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    std::string value = line.substr(start + key.size());
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    std::string decoded;
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) {
        decoded += value[++i];
      } else {
        decoded += value[i];
      }
    }
    if (decoded.rfind("$HOME", 0) == 0) decoded = home + decoded.substr(5);
    if (!decoded.empty() && decoded.front() == '/') return decoded;
  }
  return "";
}

}  // namespace

std::string documentsFolder() {
  std::string userReg = wineUserRegistry();
  if (!userReg.empty()) {
    if (auto personal = readWineRegistryString(
            userReg, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal")) {
      return *personal;
    }
  }
  std::string home = homeFolder();
  if (home.empty()) return "";
  std::string xdg = xdgDocumentsFolder(home);
  if (!xdg.empty()) return xdg;
  std::error_code ec;
  if (std::filesystem::is_directory(home + "/Documents", ec)) return home + "/Documents";
  return "";
}

#endif

}  // namespace platform
