// tarnlog-gen: builds a band plan or a logbook of any size in the logging program's table shapes.
// The entity facts are compiled in (gen/dxcc_entities.inc); contacts come from a seeded generator.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "jet/write/create_database.h"
#include "jet/write/add_index.h"
#include "jet/write/create_table.h"
#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/write/table_writer.h"

namespace {

using jet::ColumnType;
using jet::Value;

struct Entity {
  int dxcc;
  const char* name;
  const char* prefix;
  const char* alts;
  const char* continent;
  const char* cq;
  const char* itu;
  double lat, lon, offset;
  bool deleted;
  const char* begin;
  const char* end;
  const char* abbrev;
  const char* note;
};

const Entity kEntities[] = {
#include "gen/dxcc_entities.inc"
};

// The band plan's main rows of these two entities sit at fixed IDs, as in the logging program's own file.
constexpr int kAntillesId = 143;     // entity 85, PJ2
constexpr int kSintMaartenId = 108;  // entity 255, PJ7

std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    size_t j = s.find(' ', i);
    if (j == std::string::npos) j = s.size();
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j + 1;
  }
  return out;
}

// Days since 1899-12-30 for a civil date (proleptic Gregorian).
double jetDate(int y, int m, int d, int hh = 0, int mi = 0, int ss = 0) {
  y -= m <= 2;
  int era = (y >= 0 ? y : y - 399) / 400;
  int yoe = y - era * 400;
  int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long days = long(era) * 146097 + doe - 719468;  // days since 1970-01-01
  return double(days + 25569) + (hh * 3600 + mi * 60 + ss) / 86400.0;
}

Value dateOrNull(const char* iso) {
  if (!*iso) return Value::null();
  int y = 0, m = 0, d = 0;
  std::sscanf(iso, "%d-%d-%d", &y, &m, &d);
  return Value::date(jetDate(y, m, d));
}

Value textOrNull(const std::string& s) { return s.empty() ? Value::null() : Value::text(s); }

jet::ColumnSpec autoId() { return {"ID", ColumnType::Long, 0, true}; }
jet::ColumnSpec text(const char* n, uint16_t len) { return {n, ColumnType::Text, len}; }
jet::ColumnSpec typed(const char* n, ColumnType t) { return {n, t}; }
jet::IndexSpec primaryKey() { return {"PrimaryKey", {{"ID"}}, true, true}; }
jet::IndexSpec plainIndex(const char* name, const char* column) { return {name, {{column}}}; }

// Inserts rows through the row writer, committing every so many rows rather than each one: in
// unlogged batches of 20,000 (a new file), or in transactions of 50,000, one row at a time as a
// logging program adds them. Each commit of a transaction writes every page it changed, and rows
// in time order spread their index entries over most leaves of the Call, DXCC and Country
// indexes, so fewer, larger transactions write far less (a 300,000-contact logbook wrote 2.4 GB
// in transactions of 1,000, 0.25 GB in these).
class RowInserter {
 public:
  enum class How { Batches, Transactions };
  RowInserter(jet::Database& db, const std::string& table, How how = How::Batches)
      : db_(db), table_(db.table(table)), how_(how), every_(how == How::Batches ? 20000 : 50000) {
    begin();
  }
  // Left open by a failure: the unfinished batch or transaction is forgotten, not half stored.
  ~RowInserter() {
    if (!open_) return;
    if (how_ == How::Transactions) {
      db_.rollback();
      return;
    }
    db_.reload();
    db_.endBatch();
  }
  void add(std::vector<Value> values) {
    jet::TableWriter(db_, table_).insert(std::move(values));
    if (++count_ % every_ == 0) {
      end();
      begin();
    }
  }
  void finish() {
    open_ = false;
    end();
  }

 private:
  void begin() { how_ == How::Batches ? db_.beginBatch() : db_.beginTransaction(); }
  void end() { how_ == How::Batches ? db_.endBatch() : db_.commitTransaction(); }

  jet::Database& db_;
  jet::Table& table_;
  How how_;
  long every_;
  long count_ = 0;
  bool open_ = true;
};

void buildBandPlan(const std::string& path, const jet::Format& format) {
  jet::createDatabase(path, 0, format);
  jet::Database db(path, jet::Database::Mode::ReadWrite);
  jet::createTable(db, {"prefixes",
                        {autoId(), text("prefix", 10), text("Master_Prefix", 10), text("Country", 50),
                         text("Abbreviation", 10), text("Continent", 2), text("CQ_Zone", 2), text("ITU_Zone", 2),
                         typed("Latitude", ColumnType::Double), typed("Longitude", ColumnType::Double),
                         typed("DXCC", ColumnType::Integer), typed("Time_Offset", ColumnType::Single),
                         typed("Begin_Date", ColumnType::DateTime), typed("End_Date", ColumnType::DateTime),
                         typed("Deleted", ColumnType::Boolean), typed("Use", ColumnType::Boolean),
                         typed("Notes", ColumnType::Memo)},
                        {primaryKey(), plainIndex("DXCC", "DXCC"), plainIndex("prefix", "prefix")}});
  jet::createTable(db, {"plink",
                        {autoId(), text("prefix", 10), typed("plink", ColumnType::Long)},
                        {primaryKey(), plainIndex("prefix", "prefix"), plainIndex("plink", "plink")}});
  jet::createTable(db, {"plinkold",
                        {autoId(), text("prefix", 10), typed("plink", ColumnType::Integer), text("before", 4)},
                        {primaryKey(), plainIndex("prefix", "prefix")}});

  // Rows of the band plan: each entity's main prefix, and its other prefixes when it has few.
  struct Row { const Entity* e; std::string prefix; bool main; };
  std::vector<Row> rows;
  for (auto& e : kEntities) {
    rows.push_back({&e, e.prefix, true});
    auto alts = words(e.alts);
    if (e.dxcc == 255) alts = {"PJ5", "PJ6", "PJ8"};
    if (alts.size() <= 3) for (auto& a : alts) rows.push_back({&e, a, false});
  }
  // Number them, keeping the two fixed IDs for their entities' main rows.
  std::map<int, const Row*> byId;
  std::map<int, int> mainId;  // dxcc -> ID of its main row
  int next = 1;
  for (auto& r : rows) {
    int id;
    if (r.main && r.e->dxcc == 85) id = kAntillesId;
    else if (r.main && r.e->dxcc == 255) id = kSintMaartenId;
    else {
      while (next == kAntillesId || next == kSintMaartenId) ++next;
      id = next++;
    }
    byId[id] = &r;
    if (r.main) mainId[r.e->dxcc] = id;
  }
  {
    RowInserter out(db, "prefixes");
    for (auto& [id, r] : byId) {
      const Entity& e = *r->e;
      std::string notes = e.note;
      if (e.dxcc == 85 && r->main) {
        for (int i = 0; notes.size() < 4500; ++i) {
          notes += "Island note " + std::to_string(i) + ": Curacao, Bonaire and Sint Maarten shared this entity until 10 October 2010. ";
        }
        notes.resize(4500);
      }
      out.add({Value::long_(id), Value::text(r->prefix), Value::text(e.prefix), Value::text(e.name),
               textOrNull(e.abbrev), Value::text(e.continent), Value::text(e.cq), Value::text(e.itu),
               Value::double_(e.lat), Value::double_(e.lon), Value::integer(int16_t(e.dxcc)),
               Value::single(float(e.offset)), dateOrNull(e.begin), dateOrNull(e.end), Value::boolean(e.deleted),
               Value::boolean(!e.deleted), textOrNull(notes)});
    }
    out.finish();
  }
  {
    RowInserter out(db, "plink");
    for (auto& e : kEntities) {
      // The main prefix and at most ten others, as the program's own band plan keeps them.
      std::vector<std::string> prefixes{e.prefix};
      auto alts = words(e.alts);
      if (alts.size() > 10) alts.resize(10);
      for (auto& a : alts) prefixes.push_back(a);
      if (e.dxcc == 85) for (const char* p : {"PJ0", "PJ1", "PJ3"}) prefixes.push_back(p);
      if (e.dxcc == 255) for (const char* p : {"PJ6", "PJ8"}) prefixes.push_back(p);
      for (auto& p : prefixes) {
        if (p.size() > 10) continue;
        out.add({Value::null(), Value::text(p), Value::long_(mainId[e.dxcc])});
      }
    }
    out.finish();
  }
  {
    // Old links: the second prefix of the first twenty entities that have one, as they were before 1990.
    RowInserter out(db, "plinkold");
    int n = 0;
    for (auto& e : kEntities) {
      auto alts = words(e.alts);
      if (alts.empty() || alts[0].size() > 10 || alts[0].rfind("PJ", 0) == 0) continue;
      out.add({Value::null(), Value::text(alts[0]), Value::integer(int16_t(mainId[e.dxcc])), Value::text("1990")});
      if (++n == 20) break;
    }
    out.finish();
  }
  db.close();
}

// A small deterministic generator (splitmix64), the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : s_(seed) {}
  // A generator made from this state repeats what this one does from here on.
  uint64_t state() const { return s_; }
  uint64_t next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return int(next() % uint64_t(n)); }
  bool chance(int percent) { return below(100) < percent; }
  template <typename T, size_t N> const T& pick(const T (&a)[N]) { return a[below(int(N))]; }

 private:
  uint64_t s_;
};

std::string letters(Random& r, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += char('A' + r.below(26));
  return s;
}

// A call sign of the entity: its prefix, a digit unless the prefix ends in one, and a suffix.
std::string callFor(Random& r, const Entity& e) {
  std::string prefix = e.prefix;
  auto alts = words(e.alts);
  if (!alts.empty() && r.chance(30)) prefix = alts[size_t(r.below(int(alts.size())))];
  std::string call = prefix;
  if (!std::isdigit(static_cast<unsigned char>(call.back()))) call += char('0' + r.below(10));
  call += letters(r, 1 + r.below(3));
  return call.substr(0, 20);
}

struct Band { const char* name; double low, high; };
const Band kBands[] = {{"160m", 1.81, 1.99},   {"80m", 3.5, 3.8},     {"40m", 7.0, 7.2},    {"30m", 10.1, 10.15},
                       {"20m", 14.0, 14.35},   {"17m", 18.068, 18.168}, {"15m", 21.0, 21.45}, {"12m", 24.89, 24.99},
                       {"10m", 28.0, 29.7},    {"6m", 50.0, 52.0},    {"2m", 144.0, 146.0}};
const char* const kModes[] = {"SSB", "CW", "RTTY", "PSK31", "FT8", "FM", "AM", "JT65"};
const char* const kNames[] = {"John", "Peter", "Maria", "Hans", "Yuki", "Carlos", "Anna", "Ivan", "Li", "Pierre",
                              "Ahmed", "Sven", "Giulia", "Jan", "Olga", "Raj", "Tom", "Eva", ""};
const char* const kQths[] = {"Springfield", "Willemstad", "Kralendijk", "Philipsburg", "The Bottom", "Oranjestad",
                             "Berlin", "Tokyo", "Madrid", "Moscow", "Sydney", "Toronto", "Nairobi", "Lima", ""};
const char* const kComments[] = {"", "", "", "", "Contest QSO", "QSL via bureau", "QSL via LoTW", "Nice signal, good op",
                                 "Pile-up, worked on second call", "DXpedition"};

// Calls heard from the islands after the entity changes of 10 October 2010.
struct IslandCall { const char* call; int dxcc; };
const IslandCall kIslandCalls[] = {{"PJ2T", 85},      {"PJ4A", 85},        {"PJ5/K1ABC", 255}, {"K1ABC/PJ7", 255},
                                   {"PJ6AA", 255},    {"PJ8A", 255},       {"PJ9JT", 85},      {"pj2x", 85},
                                   {"PJ4/W2XYZ", 85}, {"PJ7/DL1ABC", 255}, {"PJ2/N0AB", 85},   {"pj7b", 255}};

// One generated contact, compactly: the texts it shares with others are pointers into the tables above.
struct Contact {
  std::string call;
  double start, end, freq;
  const Entity* entity;
  const char* band;
  const char* mode;
  const char* name;
  const char* qth;
  const char* comment;
  std::string rst;
  bool cw, qslSent, qslRcvd;
};

// The logbook's contacts: each one made from what a seeded generator draws next.
class ContactSource {
 public:
  ContactSource() {
    for (auto& e : kEntities) {
      byDxcc_[e.dxcc] = &e;
      if (!e.deleted) live_.push_back(&e);
    }
  }
  Contact next(Random& r) const {
    Contact c;
    if (r.chance(2)) {
      const IslandCall& ic = r.pick(kIslandCalls);
      c.entity = byDxcc_.at(ic.dxcc);
      c.call = ic.call;
      // Some exactly at the change, the rest in the ten years after it.
      c.start = r.chance(10) ? kCutover : kCutover + double(r.below(10 * 365 * 1440)) / 1440.0;
    } else {
      c.entity = live_[size_t(r.below(int(live_.size())))];
      c.call = callFor(r, *c.entity);
      c.start = kFrom + double(r.next() % uint64_t((kTo - kFrom) * 86400)) / 86400.0;
    }
    // Whole seconds, as the logging program stores them.
    c.start = std::round(c.start * 86400.0) / 86400.0;
    const Band& band = r.pick(kBands);
    c.band = band.name;
    c.mode = r.pick(kModes);
    c.cw = std::strcmp(c.mode, "CW") == 0 || std::strcmp(c.mode, "RTTY") == 0 || std::strncmp(c.mode, "PSK", 3) == 0;
    c.freq = std::round((band.low + (band.high - band.low) * double(r.below(10000)) / 10000.0) * 1000.0) / 1000.0;
    c.rst = "5" + std::to_string(5 + r.below(5)) + (c.cw ? "9" : "");
    c.comment = r.pick(kComments);
    c.end = c.start + (1 + r.below(15)) / 1440.0;
    c.name = r.pick(kNames);
    c.qth = r.pick(kQths);
    c.qslSent = r.chance(40);
    c.qslRcvd = r.chance(25);
    return c;
  }

 private:
  static inline const double kFrom = jetDate(2000, 1, 1), kTo = jetDate(2021, 1, 1), kCutover = jetDate(2010, 10, 10);
  std::map<int, const Entity*> byDxcc_;
  std::vector<const Entity*> live_;
};

// A contact as a row of MainLog; its ID is the next autonumber.
std::vector<Value> mainLogRow(const Contact& c) {
  const Entity& e = *c.entity;
  return {Value::null(), Value::text(c.call), Value::date(c.start), Value::date(c.end), Value::text(c.band),
          Value::text(c.mode), Value::double_(c.freq), Value::text(c.rst), Value::text(c.cw ? "599" : "59"),
          textOrNull(c.name), textOrNull(c.qth), Value::long_(e.dxcc), Value::text(e.name), Value::text(e.continent),
          Value::text(e.cq), Value::text(e.itu), Value::boolean(c.qslSent), Value::boolean(c.qslRcvd), textOrNull(c.comment)};
}


// Two layouts of the same contacts. Packed: rows in the generator's random time order, each index
// built afterwards in one sorted pass (full index pages). Grown: the contacts in order of
// Time_Start, inserted one at a time into the table whose indexes already exist, so that index
// pages split as they fill and the newest contacts sit at the back of the file, as in a logbook
// kept for years.
void buildLogbook(const std::string& path, long contacts, uint64_t seed, bool grown, const jet::Format& format) {
  const std::vector<jet::IndexSpec> indexes{primaryKey(), plainIndex("Call", "Call"), plainIndex("Time_Start", "Time_Start"),
                                            plainIndex("DXCC", "DXCC"), plainIndex("Country", "Country")};
  jet::createDatabase(path, 0, format);
  jet::Database db(path, jet::Database::Mode::ReadWrite);
  jet::createTable(db, {"MainLog",
                        {autoId(), text("Call", 20), typed("Time_Start", ColumnType::DateTime),
                         typed("Time_End", ColumnType::DateTime), text("Band", 6), text("Mode", 10),
                         typed("Frequency", ColumnType::Double), text("RST_Sent", 5), text("RST_Rcvd", 5),
                         text("Name", 30), text("QTH", 40), typed("DXCC", ColumnType::Long), text("Country", 50),
                         text("Continent", 2), text("CQ_Zone", 2), text("ITU_Zone", 2),
                         typed("QSL_Sent", ColumnType::Boolean), typed("QSL_Rcvd", ColumnType::Boolean),
                         typed("Comment", ColumnType::Memo)},
                        grown ? indexes : std::vector<jet::IndexSpec>{}});
  const ContactSource source;
  Random r(seed);
  if (grown) {
    // Each contact's start and the generator's state before it, sorted by start; the contacts
    // are made again from those states, so that only these pairs are held in memory.
    struct Start { double time; uint64_t state; };
    std::vector<Start> starts;
    starts.reserve(size_t(contacts));
    for (long i = 0; i < contacts; ++i) {
      const uint64_t state = r.state();
      starts.push_back({source.next(r).start, state});
    }
    std::stable_sort(starts.begin(), starts.end(), [](const Start& a, const Start& b) { return a.time < b.time; });
    RowInserter out(db, "MainLog", RowInserter::How::Transactions);
    for (const Start& s : starts) {
      Random again(s.state);
      out.add(mainLogRow(source.next(again)));
    }
    out.finish();
  } else {
    RowInserter out(db, "MainLog");
    for (long i = 0; i < contacts; ++i) out.add(mainLogRow(source.next(r)));
    out.finish();
    for (auto& ix : indexes) jet::addIndex(db, "MainLog", ix);
  }
  db.close();
}

int usage() {
  std::fprintf(stderr,
               "usage: tarnlog-gen bandplan FILE [--format 97|2000]\n"
               "       tarnlog-gen logbook FILE --contacts N [--seed S] [--grown] [--format 97|2000]\n"
               "  --grown: the contacts in time order, inserted one at a time into the indexed table,\n"
               "           as a logbook kept for years has grown (default: random order, indexes built after)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  std::string what = argv[1], path = argv[2];
  long contacts = -1;
  uint64_t seed = 1;
  bool grown = false;
  const jet::Format* format = &jet::kJet4;  // Access 2000 unless --format 97
  for (int i = 3; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--contacts" && i + 1 < argc) contacts = std::strtol(argv[++i], nullptr, 10);
    else if (a == "--seed" && i + 1 < argc) seed = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--grown") grown = true;
    else if (a == "--format" && i + 1 < argc && std::string(argv[i + 1]) == "97") format = &jet::kJet3, ++i;
    else if (a == "--format" && i + 1 < argc && std::string(argv[i + 1]) == "2000") format = &jet::kJet4, ++i;
    else return usage();
  }
  try {
    if (what == "bandplan" && contacts < 0 && !grown) buildBandPlan(path, *format);
    else if (what == "logbook" && contacts >= 0) buildLogbook(path, contacts, seed, grown, *format);
    else return usage();
  } catch (const jet::Error& e) {
    std::fprintf(stderr, "tarnlog-gen: error %d: %s\n", e.number(), e.what());
    return 1;
  }
  return 0;
}
