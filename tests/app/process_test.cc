// The real program as a process: a missing band plan ends it with a run-time error report.
// This runs the full start-up path over the storage engine, so it passes only once the
// engine's data sources are linked in (with placeholders it depends on what they do).

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <string>
#include <utility>

#include "fake_prefix.h"

namespace {

// The window program with this home folder and WINEPREFIX (none when empty): its exit code and
// what it wrote on its error output.
std::pair<int, std::string> runWindow(const testing_support::FakePrefix& fake, const std::string& prefix) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.remove("WINEPREFIX");
  if (!prefix.empty()) env.insert("WINEPREFIX", QString::fromStdString(prefix));
  env.insert("HOME", QString::fromStdString(fake.home().string()));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(TARNLOG_EXE), {});
  EXPECT_TRUE(process.waitForStarted(10000));
  EXPECT_TRUE(process.waitForFinished(30000)) << "the program did not end";
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  return {process.exitCode(), process.readAllStandardError().toStdString()};
}

TEST(ProcessTest, MissingBandPlanIsRunTimeError3024) {
  testing_support::FakePrefix fake;
  fake.writeUserReg("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
                    "\"Personal\"=\"C:\\\\users\\\\bob\\\\Documents\"\n");
  std::filesystem::create_directories(fake.driveC() / "users/bob/Documents/BRAEWICK/Tarnlog/Databases");

  auto [code, err] = runWindow(fake, fake.prefix().string());
  EXPECT_EQ(code, 1);
  EXPECT_NE(err.find("Run-time error 3024"), std::string::npos) << err;
}

// Without WINEPREFIX the window looks for Tarnlog's prefix as the console program does: with two
// bottles holding its setting it names both and does not open.
TEST(ProcessTest, TwoPrefixesHoldingTarnlogEndItBeforeTheWindowOpens) {
  testing_support::FakePrefix fake;
  const char* reg = "WINE REGISTRY Version 2\n\n[Software\\\\VB and VBA Program Settings\\\\Tarnlog\\\\Settings] 1\n"
                    "\"Logbook\"=\"C:\\\\log.mdb\"\n";
  for (const char* bottle : {".cxoffice/One", ".cxoffice/Two"}) testing_support::FakePrefix::touch(fake.home() / bottle / "user.reg", reg);

  auto [code, err] = runWindow(fake, "");
  EXPECT_EQ(code, 1);
  EXPECT_NE(err.find("Run-time error 3001: Several Wine prefixes hold Tarnlog's settings:\n"), std::string::npos) << err;
  for (const char* bottle : {"/.cxoffice/One (CrossOver)", "/.cxoffice/Two (CrossOver)"}) {
    EXPECT_NE(err.find(fake.home().string() + bottle), std::string::npos) << err;
  }
}

}  // namespace
