// The real program as a process: a missing band plan ends it with a run-time error report.
// This runs the full start-up path over the storage engine, so it passes only once the
// engine's data sources are linked in (with placeholders it depends on what they do).

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>

#include "fake_prefix.h"

namespace {

TEST(ProcessTest, MissingBandPlanIsRunTimeError3024) {
  testing_support::FakePrefix fake;
  fake.writeUserReg("[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
                    "\"Personal\"=\"C:\\\\users\\\\bob\\\\Documents\"\n");
  std::filesystem::create_directories(fake.driveC() / "users/bob/Documents/BRAEWICK/Tarnlog/Databases");

  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("WINEPREFIX", QString::fromStdString(fake.prefix().string()));
  env.insert("HOME", QString::fromStdString(fake.home().string()));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(TARNLOG_EXE), {});
  ASSERT_TRUE(process.waitForStarted(10000));
  ASSERT_TRUE(process.waitForFinished(30000)) << "the program did not end";
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 1);
  std::string err = process.readAllStandardError().toStdString();
  EXPECT_NE(err.find("Run-time error 3024"), std::string::npos) << err;
}

}  // namespace
