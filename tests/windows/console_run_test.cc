// The console program on Windows, end to end: the band plan found below the documents folder that
// the shell gives, the logbook found through Tarnlog's setting in the registry, both fixture copies.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "../independent_reader.h"
#include "../temp_copy.h"
#include "app/utf8_path.h"
#include "app/platform/documents_folder.h"
#include "app/platform/settings.h"
#include "jet/os/os_file.h"

namespace {

namespace fs = std::filesystem;
using testing_support::integrityProblems;
using testing_support::readBytes;

const char kSettingsKey[] = "Software\\VB and VBA Program Settings\\Tarnlog\\Settings";

struct ProgramRun {
  DWORD exitCode = 0;
  std::string output;
};

// Runs `commandLine` (UTF-8) with no input, standard output and error caught together.
ProgramRun runProgram(const std::string& commandLine) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) throw std::runtime_error("CreatePipe failed");
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nul;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  PROCESS_INFORMATION pi{};
  std::wstring line = jet::osWide(commandLine);
  BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  CloseHandle(nul);
  if (!started) {
    CloseHandle(readEnd);
    throw std::runtime_error("cannot start " + commandLine);
  }
  ProgramRun run;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0) run.output.append(buf, got);
  CloseHandle(readEnd);
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &run.exitCode);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  std::erase(run.output, '\r');  // lines end in CR LF on Windows; the messages are compared without it
  return run;
}

std::string lineWith(const std::string& text, const std::string& part) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(part) != std::string::npos) return line;
  }
  return "";
}

// The band plan in the user's documents folder and Tarnlog's logbook setting, as an installed
// Tarnlog has them; both are put back as they were afterwards.
class InstalledTarnlog : public testing::Test {
 protected:
  void SetUp() override {
    const char* sandbox = std::getenv("TARNLOG_WINE_SANDBOX");
    if (sandbox == nullptr || std::string(sandbox) != "1") {
      GTEST_SKIP() << "changes the documents folder and Tarnlog's settings of the current user; "
                      "runs where TARNLOG_WINE_SANDBOX=1 says they belong to a throwaway Wine prefix";
    }
    // The folder and the setting come as UTF-8, and go back to the system as UTF-16.
    docs_ = app::pathOf(platform::documentsFolder());
    ASSERT_FALSE(docs_.empty());
    fs::path folder = docs_ / "BRAEWICK" / "Tarnlog" / "databases";
    ASSERT_FALSE(fs::exists(folder / "bandplan.mdb")) << "a band plan is already installed here";
    bandPlanFile_ = folder / "bandplan.mdb";
    logbookFile_ = docs_ / "Tarnlog test logs" / "logbook.mdb";
    bandPlan_ = app::textOf(bandPlanFile_);
    logbook_ = app::textOf(logbookFile_);
    testing_support::copyFixture("jet4/bandplan.mdb", bandPlanFile_);
    testing_support::copyFixture("jet4/logbook.mdb", logbookFile_);
    previous_ = platform::getSetting("Tarnlog", "Settings", "Logbook", "\x01");
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(setLogbook(h, logbook_), ERROR_SUCCESS);
    RegCloseKey(h);
    armed_ = true;
  }
  void TearDown() override {
    if (!armed_) return;
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &h) == ERROR_SUCCESS) {
      if (previous_ == "\x01") {
        RegDeleteValueA(h, "Logbook");
      } else {
        setLogbook(h, previous_);
      }
      RegCloseKey(h);
    }
    std::error_code ec;
    fs::remove_all(docs_ / "BRAEWICK", ec);
    fs::remove_all(docs_ / "Tarnlog test logs", ec);
  }

  static LSTATUS setLogbook(HKEY h, const std::string& utf8) {
    std::wstring value = jet::osWide(utf8);
    return RegSetValueExW(h, L"Logbook", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          DWORD((value.size() + 1) * sizeof(wchar_t)));
  }

  std::string program(const std::string& options) const { return "\"" TARNLOG_CONSOLE_PROGRAM "\" " + options; }

  fs::path docs_, bandPlanFile_, logbookFile_;
  std::string bandPlan_, logbook_, previous_;  // UTF-8
  bool armed_ = false;
};

TEST_F(InstalledTarnlog, DryRunThenRealRunFindBothDatabasesAndAgree) {
  const std::string bandPlanBefore = readBytes(bandPlanFile_.string()), logbookBefore = readBytes(logbookFile_.string());

  ProgramRun preview = runProgram(program("--dry-run"));
  ASSERT_EQ(preview.exitCode, 0u) << preview.output;
  EXPECT_EQ(readBytes(bandPlanFile_.string()), bandPlanBefore) << "a dry run leaves the band plan alone";
  EXPECT_EQ(readBytes(logbookFile_.string()), logbookBefore) << "a dry run leaves the logbook alone";
  const std::string bandPlanReport = "PJ Entities have been checked and changed where necessary.";
  std::string previewCount = lineWith(preview.output, " PJ logbook records have been updated.");
  EXPECT_NE(lineWith(preview.output, bandPlanReport), "") << preview.output;
  ASSERT_NE(previewCount, "") << preview.output;
  EXPECT_NE(previewCount.substr(0, 2), "0 ") << "the fixture has contacts to re-assign";

  ProgramRun real = runProgram(program("--yes"));
  ASSERT_EQ(real.exitCode, 0u) << real.output;
  EXPECT_NE(lineWith(real.output, bandPlanReport), "") << real.output;
  EXPECT_EQ(lineWith(real.output, " PJ logbook records have been updated."), previewCount) << real.output;
  EXPECT_NE(readBytes(bandPlanFile_.string()), bandPlanBefore);
  EXPECT_NE(readBytes(logbookFile_.string()), logbookBefore);
  EXPECT_EQ(integrityProblems(bandPlan_), "");
  EXPECT_EQ(integrityProblems(logbook_), "");

  // Everything was done: a second look finds nothing left to change in either database.
  ProgramRun again = runProgram(program("--dry-run"));
  ASSERT_EQ(again.exitCode, 0u) << again.output;
  EXPECT_EQ(lineWith(again.output, " PJ logbook records have been updated."), "") << again.output;
  EXPECT_EQ(lineWith(again.output, "MainLog:"), "  MainLog: 0 added, 0 changed, 0 deleted") << again.output;
  EXPECT_EQ(lineWith(again.output, "prefixes:"), "  prefixes: 0 added, 0 changed, 0 deleted") << again.output;
}

// Paths with letters beyond ASCII, given on the command line: both files are found, copied and
// previewed, and the run updates them.
TEST(ConsoleProgram, FindsCopiesAndUpdatesFilesWhosePathsHaveLettersBeyondAscii) {
  testing_support::ScratchDir dir;
  const fs::path folder = fs::path(dir.path()) / fs::path(L"J\u00f6rg M\u00fcller");
  testing_support::copyFixture("jet4/bandplan.mdb", folder / "bandplan.mdb");
  testing_support::copyFixture("jet4/logbook.mdb", folder / fs::path(L"L\u00f6gbook.mdb"));
  const std::string files = " --bandplan \"" + app::textOf(folder / "bandplan.mdb") + "\" --logbook \"" +
                            app::textOf(folder / fs::path(L"L\u00f6gbook.mdb")) + "\"";
  const std::string report = " PJ logbook records have been updated.";

  ProgramRun preview = runProgram("\"" TARNLOG_CONSOLE_PROGRAM "\" --dry-run --backup \"" +
                                  app::textOf(folder / fs::path(L"Sicherungsk\u00f6pie")) + "\"" + files);
  ASSERT_EQ(preview.exitCode, 0u) << preview.output;
  EXPECT_NE(lineWith(preview.output, report), "") << preview.output;
  size_t copies = 0;
  for (const auto& entry : fs::directory_iterator(folder / fs::path(L"Sicherungsk\u00f6pie"))) copies += entry.is_regular_file();
  EXPECT_EQ(copies, 2u);

  ProgramRun real = runProgram("\"" TARNLOG_CONSOLE_PROGRAM "\" --yes" + files);
  ASSERT_EQ(real.exitCode, 0u) << real.output;
  EXPECT_EQ(lineWith(real.output, report), lineWith(preview.output, report)) << real.output;
}

}  // namespace
