// Every input the fuzzers ever crashed on (fuzz_crashes/) goes through the same three paths as
// they do — read everything, check, edit — and may end only normally or in jet::Error.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../../fuzz/fuzz_paths.h"
#include "../error_number.h"
#include "jet_test_support.h"

namespace jet {
namespace {

using testing_support::errorNumber;

TEST(FuzzRegression, KeptCrashInputsEndInJetErrorsAtWorst) {
  // Beside this file; found through the fixtures, since __FILE__ may be relative to the build folder.
  const std::filesystem::path crashes = testing::fixturePath("../jet/fuzz_crashes");
  std::vector<std::string> files;
  if (std::filesystem::is_directory(crashes)) {
    for (const auto& entry : std::filesystem::directory_iterator(crashes)) {
      if (entry.is_regular_file()) files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) GTEST_SKIP() << "no kept crash inputs";
  testing::ScratchDir dir;
  std::string path = dir.path() + "/input.mdb";
  for (const auto& file : files) {
    SCOPED_TRACE(file);
    std::string input = testing::readFile(file);
    const auto* data = reinterpret_cast<const uint8_t*>(input.data());
    size_t dbSize = fuzz::databaseBytes(data, input.size());
    std::string database = input.substr(0, dbSize);

    testing::writeFile(path, database);
    // A jet::Error is a refusal and fine (errorNumber takes it); any other exception fails the case.
    EXPECT_NO_THROW(errorNumber([&] { fuzz::readPath(path); })) << "read";
    EXPECT_NO_THROW(errorNumber([&] { fuzz::checkPath(path); })) << "check";
    EXPECT_NO_THROW(errorNumber([&] { fuzz::editPath(path, data + dbSize, input.size() - dbSize); })) << "edit";
    fuzz::removeScratch(path);
  }
}

// The paths themselves must work on sound files, or the fuzzers would only ever see refusals.
TEST(FuzzRegression, PathsRunCleanOnAFixture) {
  testing::ScratchDir dir;
  std::string path = dir.copy(testing::fixturePath("access-made/delTestV2000.mdb"), "sound.mdb");
  fuzz::readPath(path);
  fuzz::checkPath(path);
  fuzz::editPath(path, nullptr, 0);
  Database db(path, Database::Mode::ReadOnly);
  EXPECT_TRUE(checkDatabase(db).empty());
}

}  // namespace
}  // namespace jet
