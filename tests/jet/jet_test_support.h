// Helpers shared by the engine tests: the fixture files, scratch copies and running other programs.
// Fixtures are read-only; anything a test changes is a copy in its own temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../temp_copy.h"
#include "jet/base/value.h"

namespace jet {
class Database;
}

namespace jet::testing {

// Every database among the fixtures (access-made/*.mdb and jet4/*.mdb), sorted.
std::vector<std::string> fixtureDatabases();
inline std::string fixturePath(const std::string& relative) { return testing_support::fixture(relative); }

// The differences between a table's rows as the engine reads them and as mdb-export prints them,
// matched as multisets: exact cells must agree, floating-point ones within a relative 1e-9.
// Empty when they agree.
std::vector<std::string> mdbtoolsRowDifferences(Database& db, const std::string& table);

using testing_support::ScratchDir;

inline std::string readFile(const std::string& path) { return testing_support::readBytes(path); }
void writeFile(const std::string& path, const std::string& bytes);
// Overwrites part of a file in place with `bytes`, from `offset` on.
void patchFile(const std::string& path, uint64_t offset, const std::string& bytes);

// The bytes that pairs of hex digits stand for.
std::string unhex(const std::string& hex);
// The lines of a text, without their line ends (LF or CR LF).
std::vector<std::string> linesOf(const std::string& text);

// Runs a shell command; returns its standard output and sets `status` to its exit code.
std::string runCommand(const std::string& command, int* status = nullptr);
std::string shellQuote(const std::string& s);

// One CSV cell: its text and whether it was quoted (an unquoted empty cell is Null).
struct CsvCell {
  std::string text;
  bool quoted = false;
};
// Parses CSV text with quoted fields that may hold commas, quotes and line breaks.
std::vector<std::vector<CsvCell>> parseCsv(const std::string& text);

}  // namespace jet::testing
