#include "jet_test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "jet/base/csv_format.h"
#include "jet/database/database.h"
#include "jet/format/row_codec.h"

namespace fs = std::filesystem;

namespace jet::testing {

std::vector<std::string> fixtureDatabases() {
  std::vector<std::string> out;
  for (const char* dir : {"access-made", "jet4"}) {
    for (const auto& e : fs::directory_iterator(fs::path(TARNLOG_FIXTURES) / dir)) {
      if (e.path().extension() == ".mdb") out.push_back(e.path().string());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

namespace {

bool isFloating(ColumnType t) {
  return t == ColumnType::Single || t == ColumnType::Double || t == ColumnType::Currency || t == ColumnType::Numeric;
}

bool knownType(ColumnType t) { return std::string(columnTypeName(t)) != "Unknown"; }

// A cell as mdbtools writes it. mdbtools handles text and binary values as C strings, which end
// at their first zero byte, prints empty text like Null, and each half of a character outside
// the BMP as '?'.
CsvCell ourCell(const Column& c, const Value& v) {
  if (v.isNull() || (v.kind == Value::Kind::Text && v.s.empty())) return {};
  std::string text = csvField(v);
  if (v.kind == Value::Kind::Text) {
    text.clear();
    for (size_t i = 0; i < v.s.size() && v.s[i] != '\0'; i += (v.s[i] & 0xF8) == 0xF0 ? 4 : 1) {
      text += (v.s[i] & 0xF8) == 0xF0 ? std::string("??") : std::string(1, v.s[i]);
    }
    if (text.empty()) return {};  // mdbtools stops at a NUL, and prints nothing for what is left
  }
  if (c.type == ColumnType::Binary) {
    text = csvField(Value::binary(v.s.substr(0, v.s.find('\0'))));
    if (text.empty()) return {};
  }
  // mdbtools leaves out one of the dashes of a GUID: compare them without.
  if (v.kind == Value::Kind::Guid) std::erase(text, '-');
  return {text, v.kind == Value::Kind::Text || v.kind == Value::Kind::Binary || v.kind == Value::Kind::Date ||
                    v.kind == Value::Kind::Guid};
}

bool sameNumber(const std::string& a, const std::string& b, ColumnType type) {
  char* endA = nullptr;
  char* endB = nullptr;
  double x = std::strtod(a.c_str(), &endA), y = std::strtod(b.c_str(), &endB);
  if (*endA || *endB || a.empty() || b.empty()) return a == b;
  // mdbtools prints 16 digits, which round the largest double past it (read back as infinity).
  x = std::clamp(x, -DBL_MAX, DBL_MAX);
  y = std::clamp(y, -DBL_MAX, DBL_MAX);
  // A Single printed by one side with a double's digits (0.1500000059604645 for 0.15).
  const double tolerance = type == ColumnType::Single ? 1e-7 : 1e-9;
  return x == y || std::fabs(x - y) <= tolerance * std::max(std::fabs(x), std::fabs(y));
}

}  // namespace

std::string unhex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::vector<std::string> mdbtoolsRowDifferences(Database& db, const std::string& table) {
  Table& t = db.table(table);
  const TableDef& def = t.def();
  std::vector<std::vector<CsvCell>> ours;
  t.scan([&](RowId, Bytes row) {
    std::vector<CsvCell> cells;
    std::vector<Value> values = decodeRow(db.file(), db.format(), def, row);
    for (size_t i = 0; i < values.size(); ++i) cells.push_back(ourCell(def.columns[i], values[i]));
    ours.push_back(std::move(cells));
    return true;
  });
  int status = 0;
  std::string csv = runCommand("mdb-export -T '%Y-%m-%d %H:%M:%S' -b hex " + shellQuote(db.path()) + " " +
                                   shellQuote(table) + " 2>/dev/null",
                               &status);
  if (status != 0) return {"mdb-export failed"};
  auto theirs = parseCsv(csv);
  if (theirs.empty()) return {"no header from mdb-export"};
  theirs.erase(theirs.begin());
  for (size_t i = 0; i < def.columns.size(); ++i) {
    if (def.columns[i].type == ColumnType::Guid) {
      // mdbtools writes a GUID as the hex of its text.
      for (auto& r : theirs) if (i < r.size() && !r[i].text.empty() && r[i].text[0] != '{') r[i].text = unhex(r[i].text);
      for (auto& r : theirs) if (i < r.size()) std::erase(r[i].text, '-');
    } else if (!knownType(def.columns[i].type)) {
      // mdbtools cannot print the column type Access keeps in MSysAccessObjects: leave it out.
      for (auto& r : ours) r[i] = {};
      for (auto& r : theirs) if (i < r.size()) r[i] = {};
    }
  }

  std::vector<std::string> out;
  if (ours.size() != theirs.size()) {
    out.push_back("row counts differ: " + std::to_string(ours.size()) + " here, " + std::to_string(theirs.size()) +
                  " in mdb-export");
  }
  auto exactPart = [&](const std::vector<CsvCell>& row) {
    std::string key;
    for (size_t i = 0; i < def.columns.size(); ++i) {
      if (isFloating(def.columns[i].type) || !knownType(def.columns[i].type)) continue;
      key += (row[i].quoted ? "q" : "u") + std::to_string(row[i].text.size()) + ":" + row[i].text;
    }
    return key;
  };
  std::multimap<std::string, const std::vector<CsvCell>*> pool;
  for (const auto& row : theirs) {
    if (row.size() != def.columns.size()) return {"mdb-export row with the wrong number of cells"};
    pool.emplace(exactPart(row), &row);
  }
  for (const auto& row : ours) {
    auto [lo, hi] = pool.equal_range(exactPart(row));
    auto match = hi;
    for (auto it = lo; it != hi && match == hi; ++it) {
      bool same = true;
      for (size_t i = 0; i < def.columns.size() && same; ++i) {
        if (isFloating(def.columns[i].type)) same = sameNumber(row[i].text, (*it->second)[i].text, def.columns[i].type);
      }
      if (same) match = it;
    }
    if (match == hi) {
      std::string shown;
      for (const auto& c : row) shown += (shown.empty() ? "" : ",") + c.text;
      out.push_back("mdb-export has no row like ours: " + shown);
      continue;
    }
    pool.erase(match);
  }
  return out;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.ends_with('\r')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void patchFile(const std::string& path, uint64_t offset, const std::string& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(std::streamoff(offset));
  f.write(bytes.data(), std::streamsize(bytes.size()));
  if (!f) throw std::runtime_error("cannot patch " + path);
}

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string runCommand(const std::string& command, int* status) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

std::vector<std::vector<CsvCell>> parseCsv(const std::string& text) {
  std::vector<std::vector<CsvCell>> rows;
  std::vector<CsvCell> row;
  CsvCell cell;
  bool inQuotes = false, any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inQuotes) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') { cell.text += '"'; ++i; }
      else if (c == '"') inQuotes = false;
      else cell.text += c;
      continue;
    }
    any = true;
    if (c == '"') { inQuotes = true; cell.quoted = true; }
    else if (c == ',') { row.push_back(std::move(cell)); cell = {}; }
    else if (c == '\n') {
      row.push_back(std::move(cell));
      cell = {};
      rows.push_back(std::move(row));
      row.clear();
      any = false;
    } else if (c != '\r') cell.text += c;
  }
  if (any) {
    row.push_back(std::move(cell));
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace jet::testing
