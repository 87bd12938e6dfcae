// Damaged and foreign files: opening, reading every table and checking must end normally or in
// jet::Error, never in a crash, a hang or a sanitizer report.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <random>

#include "../../fuzz/fuzz_paths.h"
#include "../error_number.h"
#include "jet/base/error.h"
#include "jet_test_support.h"

namespace jet {
namespace {

// Everything a reader does with a file, as the fuzzers do it: every row read, through every index
// too, then the check. Returns the error number it ended in, or 0.
int exercise(const std::string& path) {
  return testing_support::errorNumber([&] {
    fuzz::readPath(path);
    fuzz::checkPath(path);
  });
}

class HostileInput : public ::testing::Test {
 protected:
  testing::ScratchDir dir;

  std::string path() const { return dir.path() + "/damaged.mdb"; }

  // Runs the reader on the scratch file. A case that runs far longer than any file this size can
  // need is a hang: the program stops, naming it.
  void run(const std::string& what) {
    auto done = std::async(std::launch::async, [this] { return exercise(path()); });
    if (done.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
      std::fprintf(stderr, "hang: %s\n", what.c_str());
      std::abort();
    }
    EXPECT_NO_THROW(done.get()) << what;  // jet::Error is taken by exercise()
  }

  // Overwrites `bytes` at `offset` of the scratch copy of `original`, runs, and puts them back.
  void runPatched(const std::string& original, size_t offset, const std::string& bytes, const std::string& what) {
    testing::patchFile(path(), offset, bytes);
    run(what);
    testing::patchFile(path(), offset, original.substr(offset, bytes.size()));
  }
};

// Every fixture cut short, with one bit flipped a copy (mostly in header, definition, index and
// map pages, some anywhere), and with whole pages zeroed.
TEST_F(HostileInput, DamagedCopiesOfEveryFixture) {
  std::mt19937 rng(20240611);
  int flipped = 0;
  for (const auto& fixture : testing::fixtureDatabases()) {
    const std::string original = testing::readFile(fixture);
    const auto* bytes = reinterpret_cast<const uint8_t*>(original.data());
    const size_t page = fuzz::announcedPageSize(bytes, original.size()), pages = original.size() / page;
    for (size_t size : {size_t(0), size_t(100), size_t(2047), size_t(2048), page, 3 * page, 3 * page + 100,
                        original.size() / 2, original.size() - page, original.size() - 1}) {
      if (size > original.size()) continue;
      testing::writeFile(path(), original.substr(0, size));
      run(fixture + " cut at " + std::to_string(size));
    }

    testing::writeFile(path(), original);
    std::vector<size_t> structural = {0};
    for (size_t p = 1; p < pages; ++p) {
      uint8_t type = uint8_t(original[p * page]);
      if (type >= 2 && type <= 5) structural.push_back(p);
    }
    int flips = original.size() > 1000000 && fixture.find("logbook") != std::string::npos ? 8 : 22;
    for (int i = 0; i < flips; ++i, ++flipped) {
      size_t pos;
      if (i % 3 == 2) {
        pos = rng() % original.size();
      } else {
        // Within a page, the first bytes hold most of the structure.
        pos = structural[rng() % structural.size()] * page + ((i % 2) ? rng() % page : rng() % 0x300);
      }
      std::string bit(1, char(original[pos] ^ (1 << (rng() % 8))));
      runPatched(original, pos, bit, fixture + " with a bit flipped at " + std::to_string(pos));
    }

    std::vector<size_t> zeroed;
    for (size_t p = 0; p < std::min<size_t>(pages, 10); ++p) zeroed.push_back(p);
    for (int i = 0; i < 3; ++i) zeroed.push_back(rng() % pages);
    for (size_t p : zeroed) {
      runPatched(original, p * page, std::string(page, '\0'), fixture + " with page " + std::to_string(p) + " zeroed");
    }
  }
  EXPECT_GE(flipped, 290);
}

TEST_F(HostileInput, FilesThatAreNoDatabaseWeRead) {
  auto errorOf = [&](const std::string& bytes) {
    std::string path = dir.path() + "/foreign.mdb";
    testing::writeFile(path, bytes);
    return exercise(path);
  };
  EXPECT_EQ(exercise(dir.path() + "/missing.mdb"), err::kFileNotFound);
  EXPECT_EQ(errorOf(""), err::kNotDatabase);
  EXPECT_EQ(errorOf(std::string(8192, 'x')), err::kNotDatabase);
  EXPECT_EQ(errorOf(testing::readFile(testing::fixturePath("README.md"))), err::kNotDatabase);
  EXPECT_EQ(exercise(dir.path()), err::kNotDatabase);

  std::string ace = testing::readFile(testing::fixturePath("jet4/bandplan.mdb"));
  ace.replace(4, 15, "Standard ACE DB");
  EXPECT_EQ(errorOf(ace), err::kUnrecognizedFormat);

  // The header is masked by a key stream, so a flipped bit stays a flipped bit: any bit of the
  // encryption flag or the password makes the file one we cannot open.
  for (const char* fixture : {"access-made/testV1997.mdb", "jet4/bandplan.mdb"}) {
    for (auto [offset, bit] : {std::pair{0x3E, 0x01}, std::pair{0x43, 0x20}}) {  // the flag, the password
      std::string bytes = testing::readFile(testing::fixturePath(fixture));
      bytes[offset] = char(bytes[offset] ^ bit);
      EXPECT_EQ(errorOf(bytes), err::kBadPassword) << fixture << " at " << offset;
    }
  }
}

}  // namespace
}  // namespace jet
