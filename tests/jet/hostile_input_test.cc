// Damaged and foreign files: opening, reading every table and checking must end normally or in
// jet::Error, never in a crash, a hang or a sanitizer report.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <random>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/integrity_check.h"
#include "jet/row_codec.h"
#include "jet_test_support.h"

namespace jet {
namespace {

// Everything a reader does with a file; returns the error number it ended in, or 0.
int exercise(const std::string& path) {
  try {
    Database db(path, Database::Mode::ReadOnly);
    for (const auto& name : db.tableNames(true)) {
      Table& t = db.table(name);
      t.scan([&](RowId, Bytes row) {
        decodeRow(db.file(), db.format(), t.def(), row);
        return true;
      });
    }
    checkDatabase(db);
    return 0;
  } catch (const Error& e) {
    return e.number();
  }
}

class HostileInput : public ::testing::Test {
 protected:
  testing::ScratchDir dir;

  std::string path() const { return dir.path() + "/damaged.mdb"; }

  void run(const std::string& bytes, const std::string& what) {
    testing::writeFile(path(), bytes);
    runInPlace(what);
  }

  // A case that runs far longer than any file this size can need is a hang: the program stops,
  // naming it.
  void runInPlace(const std::string& what) {
    auto done = std::async(std::launch::async, [this] { return exercise(path()); });
    if (done.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
      std::fprintf(stderr, "hang: %s\n", what.c_str());
      std::abort();
    }
    try {
      done.get();
    } catch (const std::exception& e) {
      ADD_FAILURE() << what << ": " << e.what();
    }
  }

  // Overwrites `bytes` at `offset` of the scratch copy of `original`, runs, and puts them back.
  void runPatched(const std::string& original, size_t offset, const std::string& bytes, const std::string& what) {
    overwrite(offset, bytes);
    runInPlace(what);
    overwrite(offset, original.substr(offset, bytes.size()));
  }

  void overwrite(size_t offset, const std::string& bytes) {
    std::fstream f(path(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(offset));
    f.write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_TRUE(bool(f));
  }
};

size_t pageSizeOf(const std::string& bytes) { return bytes.size() > 0x14 && bytes[0x14] == 0 ? 2048 : 4096; }

TEST_F(HostileInput, TruncatedFiles) {
  for (const auto& fixture : testing::fixtureDatabases()) {
    std::string original = testing::readFile(fixture);
    size_t page = pageSizeOf(original);
    for (size_t size : {size_t(0), size_t(100), size_t(2047), size_t(2048), page, 3 * page, 3 * page + 100,
                        original.size() / 2, original.size() - page, original.size() - 1}) {
      if (size > original.size()) continue;
      run(original.substr(0, size), fixture + " cut at " + std::to_string(size));
    }
  }
}

// One flipped bit a copy: mostly in header, definition, index and map pages, some anywhere.
TEST_F(HostileInput, FlippedBits) {
  std::mt19937 rng(20240611);
  int cases = 0;
  for (const auto& fixture : testing::fixtureDatabases()) {
    std::string original = testing::readFile(fixture);
    size_t page = pageSizeOf(original);
    std::vector<size_t> structural = {0};
    for (size_t p = 1; p * page < original.size(); ++p) {
      uint8_t type = uint8_t(original[p * page]);
      if (type >= 2 && type <= 5) structural.push_back(p);
    }
    testing::writeFile(path(), original);
    int flips = original.size() > 1000000 && fixture.find("logbook") != std::string::npos ? 8 : 22;
    for (int i = 0; i < flips; ++i, ++cases) {
      size_t pos;
      if (i % 3 == 2) {
        pos = rng() % original.size();
      } else {
        size_t p = structural[rng() % structural.size()];
        // Within a page, the first bytes hold most of the structure.
        size_t within = (i % 2) ? rng() % page : rng() % 0x300;
        pos = p * page + within;
      }
      std::string flipped(1, char(original[pos] ^ (1 << (rng() % 8))));
      runPatched(original, pos, flipped, fixture + " with a bit flipped at " + std::to_string(pos));
    }
  }
  EXPECT_GE(cases, 290);
}

TEST_F(HostileInput, ZeroedPages) {
  std::mt19937 rng(7);
  for (const auto& fixture : testing::fixtureDatabases()) {
    std::string original = testing::readFile(fixture);
    size_t page = pageSizeOf(original);
    size_t pages = original.size() / page;
    std::vector<size_t> victims;
    for (size_t p = 0; p < std::min<size_t>(pages, 10); ++p) victims.push_back(p);
    for (int i = 0; i < 3; ++i) victims.push_back(rng() % pages);
    testing::writeFile(path(), original);
    for (size_t p : victims) {
      runPatched(original, p * page, std::string(page, '\0'), fixture + " with page " + std::to_string(p) + " zeroed");
    }
  }
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
    std::string encrypted = testing::readFile(testing::fixturePath(fixture));
    encrypted[0x3E] = char(encrypted[0x3E] ^ 0x01);
    EXPECT_EQ(errorOf(encrypted), err::kBadPassword) << fixture;
    std::string password = testing::readFile(testing::fixturePath(fixture));
    password[0x43] = char(password[0x43] ^ 0x20);
    EXPECT_EQ(errorOf(password), err::kBadPassword) << fixture;
  }
}

}  // namespace
}  // namespace jet
