#include "jet_test_support.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_tree.h"

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

std::string hexBytes(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace

std::vector<std::string> storedKeyMismatches(Database& db, size_t* checked, size_t* refused) {
  std::vector<std::string> out;
  size_t compared = 0, notEncoded = 0;
  for (const auto& name : db.tableNames(true)) {
    Table& t = db.table(name);
    const TableDef& def = t.def();
    for (const auto& ri : def.realIndexes) {
      std::string indexName = "#" + std::to_string(ri.number);
      for (const auto& li : def.indexes) {
        if (li.realIndex == ri.number) indexName = li.name;
      }
      try {
      walkIndex(db.file(), db.format(), ri.rootPage, "", [&](const IndexEntry& e) {
        const std::string where = name + " / " + indexName + " / row " + std::to_string(e.row.page) + ":" +
                                  std::to_string(e.row.row);
        std::optional<std::string> key;
        try {
          key = rowKey(def, ri, t.readRow(e.row));
        } catch (const Error& err) {
          if (err.number() != err::kNotSupported) {
            out.push_back(where + ": " + err.what());
          } else {
            ++notEncoded;
          }
          return true;
        }
        ++compared;
        if (!key) {
          out.push_back(where + ": listed, but its row has only Nulls in an index that leaves them out");
        } else if (*key != e.key) {
          out.push_back(where + ": stored " + hexBytes(e.key) + ", computed " + hexBytes(*key));
        }
        return true;
      });
      } catch (const Error& err) {
        out.push_back(name + " / " + indexName + ": cannot be read: " + err.what());
      }
    }
  }
  if (checked) *checked = compared;
  if (refused) *refused = notEncoded;
  return out;
}

std::string fixturePath(const std::string& relative) { return (fs::path(TARNLOG_FIXTURES) / relative).string(); }

ScratchDir::ScratchDir() {
  std::string templ = (fs::temp_directory_path() / "jet-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("cannot create a temporary folder");
  path_ = templ;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ScratchDir::copy(const std::string& source, const std::string& name) const {
  std::string target = (fs::path(path_) / name).string();
  writeFile(target, readFile(source));
  return target;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
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
