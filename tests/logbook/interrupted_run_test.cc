// A run stopped at every write call in turn, as a full disk or a killed process would stop it:
// the files must open sound, hold whole operations only, and a further run must finish the job.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../independent_reader.h"
#include "../temp_copy.h"
#include "bandplan/update_band_plan.h"
#include "db/data_source.h"
#include "db/database.h"
#include "db/recordset.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "jet/table.h"
#include "logbook/update_logbook.h"

using namespace testing_support;

namespace {

// An optimised build stops at every write call. Sanitizer and debug builds make each stop
// several times dearer: there the stops are spread evenly over the run, about this many.
#if defined(__SANITIZE_ADDRESS__)
#define TARNLOG_SLOW_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define TARNLOG_SLOW_BUILD 1
#endif
#endif
#if defined(TARNLOG_SLOW_BUILD)
constexpr long kStopsInSlowBuilds = 25;
#elif !defined(NDEBUG)
constexpr long kStopsInSlowBuilds = 150;
#else
constexpr long kStopsInSlowBuilds = 0;  // every write call
#endif

// Every so many stops the files are also read as the stop left them (journal or log in place)
// by `jet check` and by a read-only open, and, once opened for writing again, by mdbtools.
constexpr long kSampleEvery = 29;

const char* const kBandPlanDone = "PJ Entities have been checked and changed where necessary.";
const char* const kLogbookDone = " PJ logbook records have been updated.";
const char* const kNothingSelected = "No PJ QSO's requiring changes on or after 10/10/2010 were found.";
const char* const kSelection =
    "SELECT * FROM MainLog WHERE (DXCC = 85 OR DXCC = 255) AND Time_Start > #Oct 10, 2010#";

// A temporary folder in memory where there is one: the engine syncs its files as it stores,
// and hundreds of runs on a disk would take many minutes.
class MemoryDir {
 public:
  MemoryDir() {
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string tmpl = (base / "tarnlog-crash-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder in " + base.string());
    path_ = tmpl;
  }
  ~MemoryDir() { std::filesystem::remove_all(path_); }
  MemoryDir(const MemoryDir&) = delete;
  MemoryDir& operator=(const MemoryDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Copies a fixture here, writable.
  std::string copy(const std::string& relative) const {
    std::filesystem::path src = fixture(relative);
    std::filesystem::path dst = path_ / src.filename();
    std::filesystem::copy_file(src, dst, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(dst, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    return dst.string();
  }

 private:
  std::filesystem::path path_;
};

// Both databases as the program finds them before its first run.
struct Files {
  MemoryDir dir;
  std::string bandplan = dir.copy("jet4/bandplan.mdb");
  std::string logbook = dir.copy("jet4/logbook.mdb");
};

// One press of Start, answered Yes: the band plan update, then the logbook update. Both data
// sources stay open until the run ends; an error ends the run where it happens.
void runBoth(const Files& f, ScriptedMsgBox& box) {
  db::DataSource BandPlan;
  BandPlan.setDatabaseName(f.bandplan);
  BandPlan.Refresh();
  db::DataSource Logbook;
  bandplan::UpdateBandPlan(BandPlan, box.fn());
  logbook::UpdateLogbook(
      Logbook, [&](const std::string&, const std::string&, const std::string&) { return f.logbook; }, box.fn());
}

using Values = std::vector<jet::Value>;

// The rows of one table by ID, with its column names.
struct TableRows {
  std::vector<std::string> columns;
  std::map<long long, Values> rows;

  size_t column(const std::string& name) const {
    for (size_t i = 0; i < columns.size(); ++i) if (columns[i] == name) return i;
    throw std::runtime_error("no column " + name);
  }
  const Values* row(long long id) const {
    auto r = rows.find(id);
    return r == rows.end() ? nullptr : &r->second;
  }
};

// Every user table of both files, named "bandplan.prefixes", "logbook.MainLog" and so on.
// Tables are shared between states: a file found unchanged reuses what was read before.
using State = std::map<std::string, std::shared_ptr<const TableRows>>;

void readFile(const std::string& label, const std::string& path, State& s) {
  jet::Database db(path, jet::Database::Mode::ReadOnly);
  for (const std::string& name : db.tableNames()) {
    jet::Table& t = db.table(name);
    auto rows = std::make_shared<TableRows>();
    for (auto& c : t.def().columns) rows->columns.push_back(c.name);
    size_t id = rows->column("ID");
    for (jet::RowId at : t.rowIds()) {
      Values v = t.readRow(at);
      long long key = v[id].i;
      if (!rows->rows.emplace(key, std::move(v)).second) ADD_FAILURE() << name << " holds ID " << key << " twice";
    }
    s[label + "." + name] = rows;
  }
}

State read(const Files& f) {
  State s;
  readFile("bandplan", f.bandplan, s);
  readFile("logbook", f.logbook, s);
  return s;
}

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file content whose tables are known and which our check has found sound.
struct Known {
  std::string label;
  std::string bytes;
  State tables;
};

Known known(const std::string& label, const std::string& path, const State& s) {
  Known k{label, bytesOf(path), {}};
  for (auto& [t, rows] : s) if (t.rfind(label + ".", 0) == 0) k.tables[t] = rows;
  return k;
}

// Loads one file into `s`: from a known content when its bytes match one, else by checking and
// reading it. Returns what the integrity check found.
std::string load(const std::string& label, const std::string& path, const std::vector<Known>& knowns, State& s) {
  std::string bytes = bytesOf(path);
  for (const Known& k : knowns) {
    if (k.label != label || k.bytes != bytes) continue;
    for (auto& [t, rows] : k.tables) s[t] = rows;
    return "";
  }
  std::string problems = integrityProblems(path);
  readFile(label, path, s);
  return problems;
}

const Values* find(const State& s, const std::string& table, long long id) {
  auto t = s.find(table);
  return t == s.end() ? nullptr : t->second->row(id);
}

std::string show(const TableRows& t, const Values* r, bool withId = true) {
  if (!r) return "(no row)";
  std::ostringstream o;
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const std::string& name = t.columns[i];
    const jet::Value& v = (*r)[i];
    if (name == "Notes" || name == "Comment" || (!withId && name == "ID")) continue;
    o << name << "=";
    if (v.isNull()) o << "Null";
    else if (v.kind == jet::Value::Kind::Text) o << '"' << v.s << '"';
    else if (v.kind == jet::Value::Kind::Boolean) o << (v.b ? "True" : "False");
    else if (v.kind == jet::Value::Kind::Single || v.kind == jet::Value::Kind::Double || v.kind == jet::Value::Kind::Date) o << v.d;
    else o << v.i;
    o << " ";
  }
  return o.str();
}

// What a table row should be in some state: nullptr for no row.
using Expect = std::function<const Values*(const std::string& table, long long id)>;

// The first few rows in which `got` differs from what `want` gives, for messages; empty when none.
// Where `newLinksByContent`, links added since `before` are compared without their own ID: a run
// that adds fewer links gives them other numbers.
std::string differences(const State& got, const State& before, const State& after, const Expect& want, bool newLinksByContent) {
  std::ostringstream o;
  int shown = 0;
  for (auto& [t, shape] : before) {
    std::set<long long> ids;
    for (const State* s : {&got, &before, &after}) {
      if (auto it = s->find(t); it != s->end()) for (auto& [id, r] : it->second->rows) ids.insert(id);
    }
    const bool byContent = newLinksByContent && t == "bandplan.plink";
    std::vector<std::string> gotNew, wantNew;
    for (long long id : ids) {
      const Values* g = find(got, t, id);
      const Values* w = want(t, id);
      if (byContent && !shape->row(id)) {
        if (g) gotNew.push_back(show(*shape, g, false));
        if (w) wantNew.push_back(show(*shape, w, false));
        continue;
      }
      if (g && w ? *g == *w : g == w) continue;
      if (++shown > 4) return o.str() + "  ...\n";
      o << "  " << t << " ID " << id << ":\n    found    " << show(*shape, g) << "\n    expected " << show(*shape, w) << "\n";
    }
    std::sort(gotNew.begin(), gotNew.end());
    std::sort(wantNew.begin(), wantNew.end());
    if (gotNew != wantNew) {
      o << "  new rows of " << t << ":\n";
      for (auto& r : gotNew) o << "    found    " << r << "\n";
      for (auto& r : wantNew) o << "    expected " << r << "\n";
    }
  }
  return o.str();
}

// One committed step of a run: an added, changed or deleted row, or all rows of one statement.
struct Operation {
  std::string what;
  std::vector<std::pair<std::string, long long>> rows;  // table, ID
  int entity = -1;                                      // a new link: the step that added its entity row
  bool logbook = false;
};

enum class Seen { Absent, Present, Partial };

// The IDs of a record set in the order the engine walks it.
std::vector<long long> walk(const std::string& path, const std::string& source) {
  db::Database d(path);
  std::unique_ptr<db::Recordset> rs = d.OpenRecordset(source);
  std::vector<long long> ids;
  if (rs->RecordCount() == 0) return ids;
  rs->MoveFirst();
  for (; !rs->Eof(); rs->MoveNext()) ids.push_back(rs->getField("ID").i);
  return ids;
}

// The steps of one uninterrupted run, in the order it takes them, from the states before and after it.
std::vector<Operation> stepsOfARun(const State& before, const State& after) {
  Files order;  // untouched copies to learn the engine's walking order from
  std::vector<Operation> ops;
  auto changed = [&](const std::string& t, long long id) {
    const Values* b = find(before, t, id);
    const Values* a = find(after, t, id);
    return b && a ? *b != *a : b != a;
  };
  auto added = [&](const std::string& t) {
    std::vector<long long> ids;
    for (auto& [id, r] : after.at(t)->rows) if (!find(before, t, id)) ids.push_back(id);
    return ids;  // autonumbers rise in the order the rows were stored
  };
  const TableRows& prefixes = *after.at("bandplan.prefixes");
  const TableRows& links = *after.at("bandplan.plink");
  const TableRows& earlier = *after.at("bandplan.plinkold");
  std::map<long long, int> entityStep;
  for (long long id : added("bandplan.prefixes")) {
    entityStep[id] = int(ops.size());
    const Values& r = *prefixes.row(id);
    ops.push_back({"new entity row " + std::to_string(id) + " (" + r[prefixes.column("prefix")].s + ", " +
                       std::to_string(r[prefixes.column("DXCC")].i) + ")",
                   {{"bandplan.prefixes", id}}});
  }
  for (int dxcc : {85, 255}) {
    for (long long id : walk(order.bandplan, "SELECT * FROM prefixes WHERE DXCC = " + std::to_string(dxcc))) {
      if (changed("bandplan.prefixes", id)) ops.push_back({"retiring prefixes row " + std::to_string(id), {{"bandplan.prefixes", id}}});
    }
  }
  const TableRows& oldLinks = *before.at("bandplan.plink");
  for (int link : {108, 143}) {
    Operation del{"DELETE * FROM plink where plink = " + std::to_string(link), {}};
    for (auto& [id, r] : oldLinks.rows) if (r[oldLinks.column("plink")].i == link) del.rows.push_back({"bandplan.plink", id});
    if (!del.rows.empty()) ops.push_back(del);
  }
  for (long long id : added("bandplan.plink")) {
    const Values& r = *links.row(id);
    long long target = r[links.column("plink")].i;
    Operation op{"new link " + r[links.column("prefix")].s + " -> " + std::to_string(target), {{"bandplan.plink", id}}};
    auto e = entityStep.find(target);
    EXPECT_NE(e, entityStep.end()) << "a new link to no new entity row: " << op.what;
    if (e != entityStep.end()) op.entity = e->second;
    ops.push_back(op);
  }
  for (long long id : added("bandplan.plinkold")) {
    ops.push_back({"new earlier link " + (*earlier.row(id))[earlier.column("prefix")].s, {{"bandplan.plinkold", id}}});
  }
  for (long long id : walk(order.logbook, kSelection)) {
    if (changed("logbook.MainLog", id)) {
      Operation op{"contact " + std::to_string(id) + " re-assigned", {{"logbook.MainLog", id}}};
      op.logbook = true;
      ops.push_back(op);
    }
  }
  // Nothing else may differ between the two states.
  std::set<std::pair<std::string, long long>> covered;
  for (auto& op : ops) for (auto& r : op.rows) covered.insert(r);
  for (auto& [t, rows] : after) {
    std::set<long long> ids;
    for (auto& [id, r] : rows->rows) ids.insert(id);
    for (auto& [id, r] : before.at(t)->rows) ids.insert(id);
    for (long long id : ids) {
      if (changed(t, id) && !covered.count({t, id})) ADD_FAILURE() << t << " row " << id << " changed by no known step";
    }
  }
  return ops;
}

Seen seen(const State& s, const State& before, const State& after, const Operation& op) {
  size_t old = 0, now = 0;
  for (auto& [t, id] : op.rows) {
    const Values* cur = find(s, t, id);
    const Values* b = find(before, t, id);
    const Values* a = find(after, t, id);
    if (b ? (cur && *cur == *b) : !cur) ++old;
    else if (a ? (cur && *cur == *a) : !cur) ++now;
  }
  if (old == op.rows.size()) return Seen::Absent;
  if (now == op.rows.size()) return Seen::Present;
  return Seen::Partial;
}

// What a stopped run leaves beside the two databases (a journal, a log): names and sizes.
std::string leftBehind(const Files& f) {
  std::string out;
  for (auto& e : std::filesystem::directory_iterator(f.dir.path())) {
    if (e.path() == f.bandplan || e.path() == f.logbook) continue;
    std::error_code ec;
    auto size = std::filesystem::file_size(e.path(), ec);
    out += (out.empty() ? "" : ", ") + e.path().filename().string() + " (" + (ec ? "?" : std::to_string(size)) + " bytes)";
  }
  return out;
}

// One press of Start on fresh copies, with the nth write or sync call failing and the files
// left as a killed process would leave them.
struct StoppedRun {
  Files files;
  ScriptedMsgBox box;
  std::optional<jet::Error> error;
  std::string left;  // what the stop left beside the databases

  explicit StoppedRun(long n) {
    jet::PageFile::failAfterWrites(n);
    jet::PageFile::simulateCrashOnFailure(true);
    try {
      runBoth(files, box);
    } catch (const jet::Error& e) {
      error = e;
    }
    jet::PageFile::failAfterWrites(0);
    jet::PageFile::simulateCrashOnFailure(false);
    left = leftBehind(files);
  }
  // A failure that ends the program shows as its error; one while the files are closed, which
  // nothing reports, shows only in what it leaves behind.
  bool stopped() const { return error.has_value() || !left.empty(); }
};

// The number of write and sync calls in one whole run: the largest n whose failure a run meets.
long writeCallsOfARun() {
  long lo = 0, hi = 1;
  while (StoppedRun(hi).stopped()) {
    lo = hi;
    hi *= 2;
    if (hi > (1L << 24)) throw std::runtime_error("the run never gets past its write calls");
  }
  while (hi - lo > 1) {
    long mid = lo + (hi - lo) / 2;
    (StoppedRun(mid).stopped() ? lo : hi) = mid;
  }
  return lo;
}

// `jet check` on a file, as a user would run it.
std::string jetCheck(const std::string& path) {
  std::string cmd = std::string("'") + TARNLOG_JET_TOOL + "' check '" + path + "' 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return "cannot run jet";
  std::string out;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  int status = ::pclose(p);
  return status == 0 && out == "ok\n" ? "" : out + " (status " + std::to_string(status) + ")";
}

// Problems of one kind, with the stops at which they showed and the first one in full.
class Findings {
 public:
  void add(const std::string& kind, long n, const std::string& detail) {
    auto& f = byKind_[kind];
    if (f.stops.empty()) f.first = detail;
    f.stops.push_back(n);
  }
  void report() const {
    for (auto& [kind, f] : byKind_) {
      std::ostringstream stops;
      for (size_t i = 0; i < f.stops.size() && i < 40; ++i) stops << (i ? ", " : "") << f.stops[i];
      if (f.stops.size() > 40) stops << ", ... (" << f.stops.size() << " in all)";
      ADD_FAILURE() << kind << "\n  at write call " << stops.str() << "\n  first: " << f.first;
    }
  }

 private:
  struct Found { std::vector<long> stops; std::string first; };
  std::map<std::string, Found> byKind_;
};

}  // namespace

TEST(InterruptedRun, EveryStopLeavesWholeStepsAndAFullRunFinishesTheJob) {
  auto started = std::chrono::steady_clock::now();
  jet::PageFile::failAfterWrites(0);
  jet::PageFile::simulateCrashOnFailure(false);

  // The reference: one uninterrupted run.
  Files ref;
  const State before = read(ref);
  std::vector<Known> knowns{known("bandplan", ref.bandplan, before), known("logbook", ref.logbook, before)};
  ScriptedMsgBox refBox;
  runBoth(ref, refBox);
  ASSERT_EQ(integrityProblems(ref.bandplan), "");
  ASSERT_EQ(integrityProblems(ref.logbook), "");
  const State after = read(ref);
  knowns.push_back(known("bandplan", ref.bandplan, after));
  knowns.push_back(known("logbook", ref.logbook, after));

  const std::vector<Operation> ops = stepsOfARun(before, after);
  size_t logbookOps = 0;
  for (auto& op : ops) logbookOps += op.logbook ? 1 : 0;
  const size_t bandPlanOps = ops.size() - logbookOps;
  ASSERT_GE(bandPlanOps, 20u);  // the band plan fixture changes in every stage
  ASSERT_GT(logbookOps, 0u);
  ASSERT_EQ(refBox.shown.size(), 2u);
  EXPECT_EQ(refBox.shown[0].prompt, kBandPlanDone);
  EXPECT_EQ(refBox.shown[1].prompt, std::to_string(logbookOps) + kLogbookDone);
  std::map<std::string, std::map<long long, size_t>> stepOf;
  for (size_t i = 0; i < ops.size(); ++i) for (auto& [t, id] : ops[i].rows) stepOf[t][id] = i;

  const long writeCalls = writeCallsOfARun();
  ASSERT_GT(writeCalls, long(ops.size()));
  const long stride = kStopsInSlowBuilds > 0 ? std::max(1L, writeCalls / kStopsInSlowBuilds) : 1;

  {
    // One call more than a run makes: no stop, and the reference state.
    StoppedRun whole(writeCalls + 1);
    EXPECT_FALSE(whole.error.has_value()) << whole.error->what();
    EXPECT_EQ(whole.left, "");
    State s;
    for (auto& [label, path] : {std::pair<std::string, std::string>{"bandplan", whole.files.bandplan}, {"logbook", whole.files.logbook}}) {
      EXPECT_EQ(load(label, path, knowns, s), "");
    }
    auto same = [&](const std::string& t, long long id) { return find(after, t, id); };
    EXPECT_EQ(differences(s, before, after, same, false), "") << "a run with no stop ends elsewhere than the reference run";
  }

  Findings findings;
  long stops = 0, silent = 0, samples = 0;
  std::vector<long> stopsPerStep(ops.size() + 1);
  for (long n = 1; n <= writeCalls; n += stride) {
    StoppedRun run(n);
    const Files& f = run.files;
    ++stops;
    const std::string where = (run.error ? "stopped by \"" + std::string(run.error->what()) + "\" (" + std::to_string(run.error->number()) + ")"
                                         : std::string("no error shown")) +
                              "; left behind: " + (run.left.empty() ? "nothing" : run.left);
    if (!run.stopped()) {
      findings.add("a run stopped short of its last write call leaves no trace", n, where);
      continue;
    }
    silent += run.error ? 0 : 1;
    if (run.error && run.error->number() != jet::err::kDiskFull && run.error->number() != jet::err::kDiskIo) {
      findings.add("the run stopped with an unexpected error", n, where);
    }
    const bool sample = (stops - 1) % kSampleEvery == 0;

    try {
      // As the files were left, journal or log in place: `jet check` and the read-only view must
      // see whole steps only.
      std::optional<State> asLeft;
      if (sample) {
        ++samples;
        for (auto* path : {&f.bandplan, &f.logbook}) {
          std::string problems = jetCheck(*path);
          if (!problems.empty()) findings.add("`jet check` fails on a file as the stop left it", n, where + "\n" + *path + ": " + problems);
        }
        asLeft = read(f);
      }

      // Opening for writing settles the interrupted step.
      State s;
      for (auto& [label, path] : {std::pair<std::string, std::string>{"bandplan", f.bandplan}, {"logbook", f.logbook}}) {
        { jet::Database reopened(path, jet::Database::Mode::ReadWrite); }
        std::string problems = load(label, path, knowns, s);
        if (!problems.empty()) findings.add("the integrity check fails after the stop", n, where + "\n" + path + ":\n" + problems);
      }
      if (std::string left = leftBehind(f); !left.empty()) findings.add("opening for writing leaves " + left + " behind", n, where);
      if (asLeft) {
        auto same = [&](const std::string& t, long long id) { return find(s, t, id); };
        std::string diff = differences(*asLeft, before, after, same, false);
        if (!diff.empty()) findings.add("the read-only view of the stopped files differs from the files after opening for writing", n, where + "\n" + diff);
        for (auto* path : {&f.bandplan, &f.logbook}) {
          std::string problems = soundForEveryReader(*path);
          if (!problems.empty()) findings.add("mdbtools reads the stopped file differently", n, where + "\n" + problems);
        }
      }

      // Whole steps only, and only a leading run of them.
      std::vector<Seen> st;
      for (auto& op : ops) st.push_back(seen(s, before, after, op));
      size_t k = 0;
      while (k < ops.size() && st[k] == Seen::Present) ++k;
      stopsPerStep[k]++;
      auto firstSteps = [&](const std::string& t, long long id) {
        auto tt = stepOf.find(t);
        if (tt != stepOf.end()) {
          if (auto at = tt->second.find(id); at != tt->second.end() && at->second < k) return find(after, t, id);
        }
        return find(before, t, id);
      };
      for (size_t i = k; i < ops.size(); ++i) {
        if (st[i] == Seen::Partial) {
          findings.add("a step is partly stored after the stop: " + ops[i].what, n,
                       where + "\n" + differences(s, before, after, firstSteps, false));
        } else if (st[i] == Seen::Present) {
          findings.add("a step is stored although an earlier one is not", n, where + "\n  stored: " + ops[i].what + "\n  missing: " + ops[k].what);
        }
      }
      // A run that showed an error cannot have stored its last step; one that showed none must
      // have stored every step (the stop came while the files were closed).
      if (run.error && k == ops.size()) findings.add("every step is stored although the run failed", n, where);
      if (!run.error && k < ops.size()) findings.add("the run ended without an error but lost steps", n, where + "\n  first missing: " + ops[k].what);
      if (k < ops.size() && st[k] == Seen::Absent) {
        std::string diff = differences(s, before, after, firstSteps, false);
        if (!diff.empty()) findings.add("the stopped files hold more than whole steps", n, where + "\n" + diff);
      }

      // The stopped run shows the band plan report only once that update is over.
      std::vector<std::string> prompts;
      for (auto& m : run.box.shown) prompts.push_back(m.prompt);
      std::vector<std::string> wantPrompts;
      if (k >= bandPlanOps) wantPrompts.push_back(kBandPlanDone);
      if (!run.error) wantPrompts.push_back(std::to_string(logbookOps) + kLogbookDone);
      if (prompts != wantPrompts) findings.add("the stopped run showed other messages", n, where + ", shown " + std::to_string(prompts.size()));

      // A full run afterwards ends as one uninterrupted run.
      ScriptedMsgBox again;
      runBoth(f, again);
      State s2;
      for (auto& [label, path] : {std::pair<std::string, std::string>{"bandplan", f.bandplan}, {"logbook", f.logbook}}) {
        std::string problems = load(label, path, knowns, s2);
        if (!problems.empty()) findings.add("the integrity check fails after the second run", n, where + "\n" + path + ":\n" + problems);
      }
      auto finalRows = [&](const std::string& t, long long id) { return find(after, t, id); };
      std::string diff = differences(s2, before, after, finalRows, true);
      if (!diff.empty()) findings.add("the second run ends in another state", n, where + "\n" + diff);

      size_t logbookDone = 0;
      for (size_t i = 0; i < ops.size(); ++i) logbookDone += ops[i].logbook && st[i] == Seen::Present ? 1 : 0;
      std::vector<std::string> againPrompts;
      for (auto& m : again.shown) againPrompts.push_back(m.prompt);
      std::vector<std::string> wantAgain{kBandPlanDone, logbookDone < logbookOps ? std::to_string(logbookOps - logbookDone) + kLogbookDone
                                                                             : std::string(kNothingSelected)};
      if (againPrompts != wantAgain) {
        std::string got;
        for (auto& p : againPrompts) got += "\"" + p + "\" ";
        findings.add("the second run showed other messages", n, where + ", shown " + got);
      }
    } catch (const std::exception& e) {
      findings.add("an error after the stop", n, where + "\n  then: " + e.what());
    }
  }
  if (stride == 1) {
    // With every write call taken, some stop falls into each step.
    for (size_t i = 0; i < ops.size(); ++i) EXPECT_GT(stopsPerStep[i], 0) << "no stop fell into: " << ops[i].what;
  }
  findings.report();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("[ info     ] %ld write calls in a full run, %zu steps; %ld stops (stride %ld), %ld of them while the files were closed; "
              "%ld read as left; %.1f s\n",
              writeCalls, ops.size(), stops, stride, silent, samples, seconds);
}
