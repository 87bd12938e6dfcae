// Finding the logging program's Wine prefix in fake home folders, one per prefix manager's layout,
// without WINEPREFIX: the console program updates the files of the one prefix that holds the
// setting, refuses to guess between several, and names every place it looked at when none does.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "../jet/jet_test_support.h"
#include "../table_snapshot.h"
#include "../temp_copy.h"
#include "app/platform/prefix_discovery.h"
#include "jet/base/error.h"

namespace {

namespace fs = std::filesystem;
using jet::testing::runCommand;
using jet::testing::shellQuote;
using testing_support::copyFixture;
using testing_support::readBytes;
using testing_support::ScratchDir;

const char* const kLogbookSetting = R"(C:\\Tarnlog\\logbook.mdb)";

fs::path bandPlanOf(const fs::path& prefix) { return prefix / "drive_c/users/bob/Documents/BRAEWICK/Tarnlog/databases/bandplan.mdb"; }
fs::path logbookOf(const fs::path& prefix) { return prefix / "drive_c/Tarnlog/logbook.mdb"; }

// A prefix at `prefix`: its drive C:, user.reg with the documents folder and, unless `setting`
// is null, the logging program's Logbook setting (as Wine writes it), the band plan and logbook.
void makePrefix(const fs::path& prefix, const char* setting = kLogbookSetting) {
  fs::create_directories(prefix / "dosdevices");
  fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
  copyFixture("jet4/bandplan.mdb", bandPlanOf(prefix));
  copyFixture("jet4/logbook.mdb", logbookOf(prefix));
  std::ofstream(prefix / "user.reg", std::ios::binary)
      << "WINE REGISTRY Version 2\n\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
      << "\"Personal\"=\"C:\\\\users\\\\bob\\\\Documents\"\n\n"
      << (setting ? "[Software\\\\VB and VBA Program Settings\\\\Tarnlog\\\\Settings] 1\n\"Logbook\"=\"" + std::string(setting) + "\"\n" : "");
}

size_t updatedContacts(const fs::path& logbook) {
  return testing_support::rowsWhere(testing_support::readTable(logbook.string(), "MainLog"), [](const auto& r) {
           return testing_support::num(r, "DXCC") >= 517 && testing_support::num(r, "DXCC") <= 520;
         }).size();
}

struct Result {
  int status = -1;
  std::string out, err;
};

// The console program with `args`, this home folder and no WINEPREFIX or XDG folders set.
Result runIn(const fs::path& home, const std::vector<std::string>& args) {
  const fs::path errFile = home.parent_path() / "stderr.txt";
  std::string command = "env -u WINEPREFIX -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME=" +
                        shellQuote(home.string()) + " " + shellQuote(TARNLOG_CONSOLE_EXE);
  for (const std::string& a : args) command += " " + shellQuote(a);
  command += " </dev/null 2>" + shellQuote(errFile.string());
  Result r;
  r.out = runCommand(command, &r.status);
  r.err = readBytes(errFile);
  return r;
}

class WinePrefixesTest : public ::testing::Test {
 protected:
  ScratchDir scratch;
  fs::path home = fs::path(scratch.path()) / "home";
};

// One home per layout, each with a ~/.wine that lacks the setting beside the manager's prefix.
TEST_F(WinePrefixesTest, EachManagersLayoutIsFoundAndItsFilesUpdated) {
  struct Layout {
    const char* manager;
    fs::path prefix;                // relative to the home folder
    const char* config = nullptr;   // a Lutris game configuration naming the prefix, relative to home
    const char* prefixLine = nullptr;
  };
  const std::vector<Layout> layouts = {
      {"Wine", ".wine"},
      {"CrossOver", ".cxoffice/Tarnlog Bottle"},
      {"Bottles", ".local/share/bottles/bottles/Tarnlog"},
      {"Bottles (Flatpak)", ".var/app/com.usebottles.bottles/data/bottles/bottles/Tarnlog"},
      {"PlayOnLinux", ".PlayOnLinux/wineprefix/Tarnlog"},
      {"Lutris", "prefixes/tarnlog", ".config/lutris/games/tarnlog-1700000000.yml", "  prefix: ~/prefixes/tarnlog"},
      {"Lutris", "elsewhere/tarnlog", ".local/share/lutris/games/tarnlog.yml", "  prefix: '$HOME/elsewhere/tarnlog'"},
      {"Lutris", "Games/tarnlog"},
  };
  for (size_t i = 0; i < layouts.size(); ++i) {
    const Layout& layout = layouts[i];
    SCOPED_TRACE(std::string(layout.manager) + ": " + layout.prefix.string());
    const fs::path h = home.string() + std::to_string(i);
    if (layout.prefix != ".wine") makePrefix(h / ".wine", nullptr);  // a prefix without the setting
    makePrefix(h / layout.prefix);
    if (layout.config != nullptr) {
      fs::create_directories((h / layout.config).parent_path());
      std::ofstream(h / layout.config) << "game:\n  exe: /x/tarnlog.exe\n" << layout.prefixLine << "\nname: Tarnlog\n";
    }
    Result list = runIn(h, {"--list-prefixes"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("Tarnlog's prefix: " + (h / layout.prefix).string() + "\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("(" + std::string(layout.manager) + "): holds Tarnlog's settings"), std::string::npos)
        << list.out;

    Result run = runIn(h, {"--yes"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(updatedContacts(logbookOf(h / layout.prefix)), 68u);
    if (layout.prefix != ".wine") {
      EXPECT_EQ(updatedContacts(logbookOf(h / ".wine")), 0u);
      EXPECT_EQ(readBytes(bandPlanOf(h / ".wine")), readBytes(testing_support::fixture("jet4/bandplan.mdb")));
    }
  }
}

TEST_F(WinePrefixesTest, SeveralPrefixesAreListedAndNothingIsWritten) {
  const fs::path bottle = home / ".cxoffice/Office", game = home / ".PlayOnLinux/wineprefix/Logging";
  makePrefix(bottle);
  makePrefix(game);
  const std::string before = readBytes(bandPlanOf(bottle)) + readBytes(logbookOf(bottle));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--yes"}, {"--dry-run"}, {"--list-prefixes"}}) {
    Result r = runIn(home, args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_EQ(r.err.rfind("Run-time error 3001: Several Wine prefixes hold Tarnlog's settings:\n", 0), 0u) << r.err;
    for (const fs::path& p : {bottle, game}) EXPECT_NE(r.err.find("  " + p.string() + " ("), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--prefix DIR or WINEPREFIX=DIR"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("PJ"), std::string::npos) << r.out;
  }
  for (const fs::path& p : {bottle, game}) {
    EXPECT_EQ(readBytes(bandPlanOf(p)) + readBytes(logbookOf(p)), before) << p;
    EXPECT_FALSE(fs::exists(logbookOf(p).string() + "-wal"));
  }

  // Named, one of them is used and the other left alone.
  Result chosen = runIn(home, {"--yes", "--prefix", game.string()});
  EXPECT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_EQ(updatedContacts(logbookOf(game)), 68u);
  EXPECT_EQ(readBytes(bandPlanOf(bottle)) + readBytes(logbookOf(bottle)), before);
  EXPECT_EQ(runIn(home, {"--yes", "--prefix", (home / "none").string()}).status, 2);
}

TEST_F(WinePrefixesTest, NoPrefixNamesEveryPlaceLookedAt) {
  makePrefix(home / ".wine", nullptr);
  fs::create_directories(home / "Games/native");
  fs::create_directories(home / ".PlayOnLinux/wineprefix/Broken/user.reg");  // a folder where the file should be
  fs::create_directories(home / ".cxoffice");

  Result r = runIn(home, {"--yes"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.empty()) << r.out;  // before the question
  EXPECT_EQ(r.err.rfind("Run-time error 3024: Could not find Tarnlog: no Wine prefix holds its settings. Looked in:\n", 0), 0u)
      << r.err;
  const std::string h = home.string();
  for (const std::string& line :
       {"  " + h + "/.wine (Wine): a prefix without Tarnlog's settings\n", "  " + h + "/.cxoffice/* (CrossOver): no prefixes here\n",
        "  " + h + "/.local/share/bottles/bottles/* (Bottles): no such folder\n",
        "  " + h + "/.var/app/com.usebottles.bottles/data/bottles/bottles/* (Bottles (Flatpak)): no such folder\n",
        "  " + h + "/.PlayOnLinux/wineprefix/Broken (PlayOnLinux): user.reg cannot be read: not a file\n",
        "  " + h + "/.config/lutris/games/*.yml (Lutris): no such folder\n",
        "  " + h + "/.local/share/lutris/games/*.yml (Lutris): no such folder\n", "  " + h + "/Games/native (Lutris): no user.reg\n"}) {
    EXPECT_NE(r.err.find(line), std::string::npos) << line << "in:\n" << r.err;
  }
  EXPECT_EQ(runIn(home, {"--list-prefixes"}).status, 1);
}

// A setting that names no logbook, or holds a NUL that would cut the path short, is the
// settings' fault, said so before anything is written: neither file is opened for writing.
TEST_F(WinePrefixesTest, LogbookSettingThatIsEmptyOrHoldsANul) {
  for (const char* setting : {"", R"(C:\\Tarnlog\\logbook.mdb\0.bak)"}) {
    const fs::path prefix = home / (*setting == '\0' ? "empty" : "nul");
    makePrefix(prefix, setting);
    Result r = runIn(home, {"--yes", "--prefix", prefix.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find("PJ Entities have been checked"), std::string::npos) << r.out;
    EXPECT_EQ(readBytes(bandPlanOf(prefix)), readBytes(testing_support::fixture("jet4/bandplan.mdb")));
    EXPECT_EQ(r.err, *setting == '\0'
                         ? "Run-time error 3024: Could not find the logbook: Tarnlog's settings name no logbook "
                           "(Settings, Logbook is empty or missing).\n"
                         : "Run-time error 3044: 'C:\\Tarnlog\\logbook.mdb\\0.bak' is not a valid path: Tarnlog's "
                           "Logbook setting holds a NUL character.\n");
    EXPECT_EQ(readBytes(logbookOf(prefix)), readBytes(testing_support::fixture("jet4/logbook.mdb")));
    EXPECT_FALSE(fs::exists(logbookOf(prefix).string() + "-wal"));
  }
}

// The macOS places, looked at from a fake home and applications folder.
TEST_F(WinePrefixesTest, MacPlacesCrossOverAndWrapperApps) {
  const fs::path apps = fs::path(scratch.path()) / "Applications";
  makePrefix(home / "Library/Application Support/CrossOver/Bottles/Win10");
  makePrefix(home / "Applications/Tarnlog.app/Contents/SharedSupport/prefix");
  makePrefix(home / "Applications/Wineskin/Old.app/Contents/Resources", nullptr);
  fs::create_directories(home / "Applications/Native.app/Contents/MacOS");  // no prefix inside: no wrapper
  makePrefix(apps / "Logger.app/Contents/SharedSupport/prefix", nullptr);
  platform::HostFolders folders{home.string(), home.string() + "/.local/share", home.string() + "/.config", apps.string()};

  std::vector<platform::PrefixCandidate> found = platform::findWinePrefixes(folders, platform::HostKind::kMacOS);
  std::set<std::string> seen;
  for (const auto& c : found) seen.insert(c.folder + " " + c.manager + " " + std::to_string(int(c.state)));
  const std::string h = home.string();
  EXPECT_EQ(seen, (std::set<std::string>{
                      h + "/.wine Wine 2",
                      h + "/Library/Application Support/CrossOver/Bottles/Win10 CrossOver 0",
                      h + "/Applications/Tarnlog.app/Contents/SharedSupport/prefix wrapper app 0",
                      h + "/Applications/Wineskin/Old.app/Contents/Resources wrapper app 1",
                      apps.string() + "/Logger.app/Contents/SharedSupport/prefix wrapper app 1"}));
  // Two hold the setting: no guess.
  EXPECT_THROW(platform::selectTarnlogPrefix(found), jet::Error);
  fs::remove_all(home / "Library");
  EXPECT_EQ(platform::selectTarnlogPrefix(platform::findWinePrefixes(folders, platform::HostKind::kMacOS)),
            h + "/Applications/Tarnlog.app/Contents/SharedSupport/prefix");
}

}  // namespace
