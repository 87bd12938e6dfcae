// The platform layer on Windows: the documents folder from the shell's folder service, and the
// settings of programs written for the Windows runtime from the current user's registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "app/platform/documents_folder.h"
#include "app/platform/host_path.h"
#include "app/platform/settings.h"
#include "jet/os/os_file.h"

namespace {

// A settings key of its own, so that running these tests never touches Tarnlog's settings.
const char kApp[] = "Tarnlog Windows Test";
const std::string kKey = std::string("Software\\VB and VBA Program Settings\\") + kApp;

class RegistryKey {
 public:
  RegistryKey() { RegDeleteTreeA(HKEY_CURRENT_USER, kKey.c_str()); }
  ~RegistryKey() { RegDeleteTreeA(HKEY_CURRENT_USER, kKey.c_str()); }
  void set(const std::string& section, const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (kKey + "\\" + section).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &h, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(h, jet::osWide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(h);
  }
  // UTF-8 text, stored as the system keeps text, in UTF-16.
  void setText(const std::string& section, const std::string& name, const std::string& text) {
    const std::wstring wide = jet::osWide(text);
    set(section, name, REG_SZ, wide.c_str(), DWORD((wide.size() + 1) * sizeof(wchar_t)));
  }
};

// Whether `text` can be written in the system's 8-bit character set without loss.
bool inAnsiCodePage(const std::wstring& text) {
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), int(text.size()), nullptr, 0, nullptr, &lossy);
  return !lossy;
}

TEST(WindowsDocumentsFolder, IsTheShellsPersonalFolder) {
  wchar_t personal[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, personal), S_OK);
  // Its name as UTF-8, as every path of the program is kept; asked for in the 8-bit character
  // set, a name beyond it cannot come back whole.
  std::string folder = platform::documentsFolder();
  if (inAnsiCodePage(personal)) {
    EXPECT_EQ(folder, jet::osNarrow(personal));
  }
  // The entry point found at the first call serves the later ones.
  EXPECT_EQ(platform::documentsFolder(), folder);
  // Windows paths are opened as they are.
  EXPECT_EQ(platform::hostPath(folder + "\\BRAEWICK\\Tarnlog\\databases\\bandplan.mdb"),
            folder + "\\BRAEWICK\\Tarnlog\\databases\\bandplan.mdb");
}

TEST(WindowsSettings, ReadsTextValuesAndFallsBackToTheDefault) {
  RegistryKey key;
  EXPECT_EQ(platform::getSetting(kApp, "Settings", "Logbook", "none"), "none");  // no key at all
  key.setText("Settings", "Logbook", "D:\\Logs\\My Log.mdb");
  key.setText("Settings", "Empty", "");
  DWORD number = 7;
  key.set("Settings", "Number", REG_DWORD, &number, sizeof number);
  key.setText("Other", "Logbook", "E:\\elsewhere.mdb");

  EXPECT_EQ(platform::getSetting(kApp, "Settings", "Logbook", ""), "D:\\Logs\\My Log.mdb");
  EXPECT_EQ(platform::getSetting(kApp, "settings", "LOGBOOK", ""), "D:\\Logs\\My Log.mdb");  // names ignore case
  EXPECT_EQ(platform::getSetting(kApp, "Other", "Logbook", ""), "E:\\elsewhere.mdb");
  EXPECT_EQ(platform::getSetting(kApp, "Settings", "Empty", "default"), "");
  EXPECT_EQ(platform::getSetting(kApp, "Settings", "Missing", "default"), "default");
  EXPECT_EQ(platform::getSetting(kApp, "Settings", "Number", "default"), "default");  // not text
  EXPECT_EQ(platform::getSetting("Tarnlog Windows Test Other", "Settings", "Logbook", "x"), "x");

  // A path with letters beyond ASCII comes back as UTF-8, the text every path is opened as.
  const std::wstring accented = L"D:\\Logs\\J\u00f6rg M\u00fcller.mdb";
  if (inAnsiCodePage(accented)) {
    key.setText("Settings", "Accented", jet::osNarrow(accented));
    EXPECT_EQ(platform::getSetting(kApp, "Settings", "Accented", ""), "D:\\Logs\\J\xC3\xB6rg M\xC3\xBCller.mdb");
  }
}

TEST(WindowsSettings, ALongValueComesBackWhole) {
  RegistryKey key;
  std::string path = "C:\\";
  for (int i = 0; path.size() < 1000; ++i) path += "folder" + std::to_string(i) + "\\";
  path += "logbook.mdb";
  key.setText("Settings", "Logbook", path);
  EXPECT_EQ(platform::getSetting(kApp, "Settings", "Logbook", ""), path);
}

}  // namespace
