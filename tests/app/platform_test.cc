// The platform layer over a fake Wine prefix: documents folder, settings, host paths.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/platform/documents_folder.h"
#include "app/platform/host_path.h"
#include "app/platform/settings.h"
#include "app/platform/wine_registry.h"
#include "fake_prefix.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FakePrefix;

// As Wine writes it: escaped backslashes and quotes, \x escapes for characters beyond ASCII.
const char* const kUserReg = R"([Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1700000000
#time=1da1f2b3c4d5e6f
"AppData"="C:\\users\\bob\\AppData\\Roaming"
"Personal"="C:\\users\\bob\\Documents"

[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders] 1700000000
"Personal"="%USERPROFILE%\\Other"

[Software\\VB and VBA Program Settings\\Tarnlog\\Other] 1700000002
"Logbook"="wrong section"

[Software\\VB and VBA Program Settings\\Tarnlog\\Settings] 1700000001
#time=1da1f2b3c4d5e70
"Binary"=hex:01,02,03,\
  04,05
"Count"=dword:00000005
"Empty"=""
"Escapes"="say \"hi\"\ttab\\x\nline"
"Logbook"="C:\\Program Files\\Tarnlog\\logbook.mdb"
"Unicode"="Cura\x00e7ao \x20ac\x41"

[Software\\VB and VBA Program Settings\\Tarnlog\\Settings\\Deeper] 1700000003
"Logbook"="too deep"
)";

class PlatformTest : public ::testing::Test {
 protected:
  FakePrefix fake;
};

TEST_F(PlatformTest, DocumentsFolderAndSettingsPresentAbsentEmptyAndOfOtherTypes) {
  fake.writeUserReg(kUserReg);
  EXPECT_EQ(platform::documentsFolder(), "C:\\users\\bob\\Documents");
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "Logbook", ""), "C:\\Program Files\\Tarnlog\\logbook.mdb");
  // Registry names do not depend on letter case.
  EXPECT_EQ(platform::getSetting("TARNLOG", "settings", "LOGBOOK", ""), "C:\\Program Files\\Tarnlog\\logbook.mdb");
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "Missing", ""), "");
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "Missing", "fallback"), "fallback");
  EXPECT_EQ(platform::getSetting("Tarnlog", "Nowhere", "Logbook", "fallback"), "fallback");
  EXPECT_EQ(platform::getSetting("Other", "Settings", "Logbook", "fallback"), "fallback");
  // An empty value is a value: it wins over the default.
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "Empty", ""), "");
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "Empty", "fallback"), "");
  // Only string values count; the continuation line of the hex value is not a value.
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "Count", "d"), "d");
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "Binary", "d"), "d");
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "  04,05", "d"), "d");
}

TEST_F(PlatformTest, WineEscapesAreDecoded) {
  fake.writeUserReg(kUserReg);
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "Escapes", ""), "say \"hi\"\ttab\\x\nline");
  EXPECT_EQ(platform::getSetting("Tarnlog", "Settings", "Unicode", ""), "Cura\xC3\xA7" "ao \xE2\x82\xAC" "A");
  size_t end = 0;
  EXPECT_EQ(platform::decodeWineString("\\xd83d\\xde00\\101\\]x]rest", ']', end), "\xF0\x9F\x98\x80" "A]x");
  EXPECT_EQ(end, 19u);
}

TEST_F(PlatformTest, DrivesMapThroughDosdevicesLinks) {
  FakePrefix::touch(fake.driveC() / "Program Files" / "Tarnlog" / "logbook.mdb");
  fs::path elsewhere = fake.root() / "elsewhere";
  FakePrefix::touch(elsewhere / "Logs" / "main.mdb");
  fake.linkDrive('d', elsewhere);

  // Drive C:, with names in other letter case, is where the window and console tests find the databases.
  const fs::path c = fs::canonical(fake.driveC());
  EXPECT_EQ(platform::hostPath("d:\\Logs\\main.mdb"), (fs::canonical(elsewhere) / "Logs" / "main.mdb").string());
  // From the root of the current drive: drive C:.
  EXPECT_EQ(platform::hostPath("\\Program Files\\Tarnlog\\logbook.mdb"),
            (c / "Program Files" / "Tarnlog" / "logbook.mdb").string());
  // Already a host path: its root is kept.
  const std::string host = (c / "Program Files" / "Tarnlog" / "logbook.mdb").string();
  EXPECT_EQ(platform::hostPath(host), host);
  EXPECT_EQ(platform::hostPath(""), "");
  // Wine's own drive for the whole file system: its root is not doubled.
  fake.linkDrive('z', "/");
  std::string onZ = "Z:" + (elsewhere / "Logs" / "main.mdb").string();
  std::replace(onZ.begin(), onZ.end(), '/', '\\');
  EXPECT_EQ(platform::hostPath(onZ), (elsewhere / "Logs" / "main.mdb").string());
  EXPECT_EQ(platform::hostPath("Z:\\"), "/");
}

// Where no name matches, the rest stays as written and the file is simply not there.
TEST_F(PlatformTest, NamesThatMatchNothingStayAsWritten) {
  FakePrefix::touch(fake.driveC() / "users" / "bob" / "Documents" / "BRAEWICK" / "Tarnlog" / "Databases" / "BandPlan.mdb");
  std::string missing = platform::hostPath("C:\\users\\bob\\Documents\\BRAEWICK\\nothing\\databases\\bandplan.mdb");
  EXPECT_EQ(missing, (fs::canonical(fake.driveC()) / "users/bob/Documents/BRAEWICK/nothing/databases/bandplan.mdb").string());
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(PlatformTest, WithoutPrefixTheDesktopDocumentsFolderIsUsed) {
  fake.removePrefixVariable();
  EXPECT_EQ(platform::documentsFolder(), "");

  fs::create_directories(fake.home() / "Documents");
  EXPECT_EQ(platform::documentsFolder(), (fake.home() / "Documents").string());

  FakePrefix::touch(fake.home() / ".config" / "user-dirs.dirs",
                    "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                    "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
  EXPECT_EQ(platform::documentsFolder(), (fake.home() / "Papiere").string());

  // A prefix without the Personal value falls back the same way.
  setenv("WINEPREFIX", fake.prefix().c_str(), 1);
  fake.writeUserReg("[Software\\\\Wine] 1\n\"Version\"=\"win10\"\n");
  EXPECT_EQ(platform::documentsFolder(), (fake.home() / "Papiere").string());
}

}  // namespace
