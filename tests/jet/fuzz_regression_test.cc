// Every input the fuzzers ever crashed on (fuzz_crashes/) goes through the same three paths as
// they do — read everything, check, edit — and may end only normally or in jet::Error.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../../fuzz/fuzz_paths.h"
#include "jet_test_support.h"

namespace jet {
namespace {

std::vector<std::string> keptCrashes() {
  std::filesystem::path dir = std::filesystem::path(__FILE__).parent_path() / "fuzz_crashes";
  std::vector<std::string> files;
  if (std::filesystem::is_directory(dir)) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.is_regular_file()) files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Runs one path; a jet::Error is a refusal and fine, any other exception fails the case.
template <typename F>
void expectOnlyJetErrors(const std::string& what, F&& path) {
  try {
    path();
  } catch (const Error&) {
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": " << e.what();
  }
}

TEST(FuzzRegression, KeptCrashInputsEndInJetErrorsAtWorst) {
  std::vector<std::string> files = keptCrashes();
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
    expectOnlyJetErrors(file + " (read)", [&] { fuzz::readPath(path); });
    expectOnlyJetErrors(file + " (check)", [&] { fuzz::checkPath(path); });
    expectOnlyJetErrors(file + " (edit)", [&] { fuzz::editPath(path, data + dbSize, input.size() - dbSize); });
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
