#include "jet/check/integrity_check.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <unordered_map>

#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_key.h"
#include "jet/index/index_page.h"
#include "jet/write/referential_integrity.h"
#include "jet/format/row_codec.h"
#include "jet/format/usage_map.h"

namespace jet {

namespace {

constexpr int kMaxDepth = 32;

std::string pageName(uint32_t page) { return "page " + std::to_string(page); }
std::string rowName(RowId id) { return "row " + std::to_string(id.page) + ":" + std::to_string(id.row); }

// The 64-bit mixing step of the fingerprints below.
uint64_t mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

uint64_t hashBytes(uint64_t seed, std::string_view bytes) {
  uint64_t h = mix(seed ^ bytes.size());
  size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, bytes.data() + i, 8);
    h = mix(h ^ w);
  }
  uint64_t tail = 0;
  std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
  return mix(h ^ tail ^ 0x9e3779b97f4a7c15ULL);
}

// An order-free fingerprint of a set of (row, key) pairs: two sums of hashes,
// seeded anew in each check so that no file can be made to match a fingerprint it should not.
// The rows of a table give one per index, the index's leaf entries another; when the two agree
// the index lists exactly its rows with their keys, and nothing of either needs to be kept.
struct Fingerprint {
  uint64_t count = 0, a = 0, b = 0;
  bool unknownKey = false;  // a row whose key the encoder refuses: only the full comparison tells
  void add(uint64_t seed, uint32_t packed, std::string_view key) {
    ++count;
    const uint64_t h = hashBytes(seed, key);
    a += mix(h ^ (uint64_t(packed) * 0x9e3779b97f4a7c15ULL));
    b += mix(h + packed + seed);
  }
  bool operator==(const Fingerprint& o) const { return count == o.count && a == o.a && b == o.b; }
};

// What one real index should hold, for the full comparison: each row it should list, in order
// of its packed address, with a hash of its key. A key is unknown where the encoder cannot
// build it; such rows are only checked for being listed.
struct ExpectedRow {
  uint32_t packed;
  bool known;
  uint64_t keyHash;
  // Where a letter that sorts as several (ß) counts once: the hash of that key, which some
  // Access-made files store; 0 when the row's text holds no such letter.
  uint64_t otherKeyHash;
};

class Checker {
 public:
  explicit Checker(Database& db) : db_(db), file_(db.file()), f_(db.format()), seed_(std::random_device{}()) {
    seed_ = (seed_ << 32) ^ std::random_device{}();
  }

  std::vector<std::string> run() {
    readPageOwners();
    for (const auto& e : db_.catalog()) {
      if (!e.isTable()) continue;
      const TableDef& def = db_.table(e.name).def();
      for (const auto& li : def.indexes) {
        if (li.foreignKey() && li.relatedTableType == 0x01) rowKeys_[{def.page, li.realIndex}];
      }
    }
    for (const auto& e : db_.catalog()) {
      if (e.isTable()) checkTable(db_.table(e.name), e.isSystem());
    }
    checkReferences();
    // Access would hand such a page out again and overwrite what is on it.
    for (uint32_t page = 0; page < users_.size(); ++page) {
      if (users_[page] != kNobody && free_.count(page)) {
        problem(pageName(page) + " is used by " + userNames_[users_[page]] + " but the database lists it as free");
      }
    }
    return std::move(problems_);
  }

  std::vector<std::string> notes() { return std::move(notes_); }

 private:
  void problem(std::string text) { problems_.push_back(std::move(text)); }
  void note(std::string text) { notes_.push_back(std::move(text)); }

  // Records who uses a page; false (and a problem) when someone else already does.
  bool claim(uint32_t page, const std::string& user) {
    if (page >= users_.size()) users_.resize(std::max<size_t>(page + 1, file_.pageCount()), kNobody);
    if (users_[page] != kNobody) {
      problem(pageName(page) + " is used by both " + userNames_[users_[page]] + " and " + user);
      return false;
    }
    auto [it, fresh] = userNumbers_.emplace(user, uint32_t(userNames_.size()));
    if (fresh) userNames_.push_back(user);
    users_[page] = it->second;
    return true;
  }

  // The owner of every data page in the file, to find pages a table owns but does not list.
  // Pages the database lists as free are nobody's, whatever rows they still hold: Access frees
  // the pages of a table it compacts or drops without clearing them.
  void readPageOwners() {
    for (uint32_t p : readFreePages(file_, f_)) free_.insert(p);
    uint32_t count = file_.pageCount();
    for (uint32_t p = 1; p < count; ++p) {
      if (free_.count(p)) continue;
      PageRef pg = file_.read(p);
      DataPage dp(Bytes(pg->data(), pg->size()), f_);
      if (dp.isData()) ownedBy_[dp.owner()].push_back(p);
    }
  }

  uint32_t liveRows(uint32_t page) {
    PageRef pg = file_.read(page);
    DataPage dp(Bytes(pg->data(), pg->size()), f_);
    uint32_t n = 0;
    for (uint16_t r = 0; r < dp.rowCount(); ++r) n += !dp.slot(r).deleted;
    return n;
  }

  static bool isLongValuePage(const Page& pg) { return pg[0] == uint8_t(PageType::Data) && std::memcmp(pg.data() + 4, "LVAL", 4) == 0; }

  void checkTable(Table& t, bool system) {
    const TableDef& def = t.def();
    const std::string who = "table '" + def.name + "'";
    for (uint32_t p : def.pages) claim(p, "the definition of " + who);

    std::vector<uint32_t> mapped = t.dataPages();
    std::set<uint32_t> inMap(mapped.begin(), mapped.end());
    for (uint32_t p : mapped) {
      PageRef pg = file_.read(p);
      if (isLongValuePage(*pg)) continue;
      DataPage dp(Bytes(pg->data(), pg->size()), f_);
      if (!dp.isData()) problem("the page map of " + who + " lists " + pageName(p) + ", which is not a data page");
      else if (dp.owner() != def.page) problem("the page map of " + who + " lists " + pageName(p) + ", which belongs to another table");
      else claim(p, "the rows of " + who);
    }
    // Access leaves pages of a table out of its map when it lets go of their rows (all of them
    // deleted, or the page dropped whole) and keeps them until a compact. Rows still marked live
    // there are no row of the table for any reader, which follows the map: an index listing one
    // is damage, found below, and so is a count that holds them where no index tells.
    std::vector<uint32_t> outside;
    uint32_t outsideRows = 0;
    for (uint32_t p : ownedBy_[def.page]) {
      if (inMap.count(p)) continue;
      const uint32_t n = liveRows(p);
      if (n > 0) outside.push_back(p);
      outsideRows += n;
    }

    std::vector<std::vector<IndexKeyPart>> parts(def.realIndexes.size());
    std::vector<Fingerprint> expected(def.realIndexes.size());
    std::vector<std::set<std::string>*> held(def.realIndexes.size(), nullptr);  // keys references need
    for (size_t k = 0; k < def.realIndexes.size(); ++k) {
      for (const auto& ic : def.realIndexes[k].columns) {
        const Column* c = def.columnByNumber(ic.columnNumber);
        parts[k].push_back({c, ic.ascending});
      }
      auto it = rowKeys_.find({def.page, def.realIndexes[k].number});
      if (it != rowKeys_.end()) held[k] = &it->second;
    }
    // The references of the rows, each with the key it needs in the other table.
    std::vector<RelationshipEnd> refers;
    const size_t labels = referenceLabels_.size();
    for (const auto& li : def.indexes) {
      if (li.foreignKey() && li.relatedTableType == 0x02) {
        refers.push_back(otherEnd(db_, def, li));
        referenceLabels_.push_back({li.name, who});
      }
    }
    std::vector<bool> referSupported;
    for (const RelationshipEnd& end : refers) referSupported.push_back(keysSupported(end.table.def(), end.index));
    uint32_t live = 0;
    t.scan([&](RowId id, Bytes bytes) {
      ++live;
      std::vector<Value> values = decodeRow(file_, f_, def, bytes);
      for (size_t k = 0; k < def.realIndexes.size(); ++k) {
        std::optional<std::string> otherKey;
        std::optional<std::optional<std::string>> key = expectedKey(def, def.realIndexes[k], parts[k], values, nullptr, &otherKey);
        if (!key) continue;
        if (!*key || otherKey) {
          // Unknown, or stored in either of two forms: only the full comparison tells.
          expected[k].unknownKey = true;
          ++expected[k].count;
          if (*key && held[k]) held[k]->insert(**key);
          continue;
        }
        expected[k].add(seed_, id.packed(), **key);
        if (held[k]) held[k]->insert(**key);
      }
      for (size_t k = 0; k < refers.size(); ++k) {
        const RelationshipEnd& end = refers[k];
        std::optional<std::string> key =
            referSupported[k] ? unlessRefused([&] { return std::optional<std::string>(relatedKey(def, end, values)); }, nullptr)
                              : std::nullopt;
        if (key) references_.push_back({labels + k, id, end.table.def().page, end.index.number, std::move(*key)});
      }
      return true;
    });
    const bool lost = def.realIndexes.empty() && outsideRows > 0 && live != def.rowCount && live + outsideRows == def.rowCount;
    for (uint32_t p : outside) {
      if (lost) problem(pageName(p) + " holds rows of " + who + " that its definition counts but its page map leaves out");
      else note(pageName(p) + " holds rows of " + who + " outside its page map, which no reader sees (Access leaves such pages until a compact)");
    }
    // Access does not keep the counts of its own system tables exact (MSysACEs runs ahead), and
    // leaves a user table's count off until a compact: readers count the rows themselves.
    if (live != def.rowCount && !system && !lost) {
      note(who + " counts " + std::to_string(def.rowCount) + " rows in its definition but holds " + std::to_string(live) +
           " (Access corrects the count when it compacts the database)");
    }
    for (size_t k = 0; k < def.realIndexes.size(); ++k) checkIndex(t, def.realIndexes[k], parts[k], expected[k]);
  }

  // Every reference names a row of the table it refers to (found by its values, not its index).
  void checkReferences() {
    size_t missing = 0;
    for (const auto& r : references_) {
      auto held = rowKeys_.find({r.table, r.index});
      if (held != rowKeys_.end() && held->second.count(r.key)) continue;
      if (++missing > 20) continue;
      const auto& [relationship, table] = referenceLabels_[r.label];
      problem("relationship '" + relationship + "': " + rowName(r.row) + " of " + table + " refers to a row that its related table does not hold");
    }
    if (missing > 20) problem(std::to_string(missing - 20) + " more references like these");
  }

  // Whether the encoder builds keys for every column of the index; where it does not, the
  // index's keys stay unchecked.
  static bool keysSupported(const TableDef& def, const RealIndex& index) {
    for (const auto& ic : index.columns) {
      const Column* c = def.columnByNumber(ic.columnNumber);
      if (c && !indexKeysSupported(*c)) return false;
    }
    return true;
  }

  // The values of a row that an index's key is made of, in the index's order.
  static std::vector<Value> indexValues(const TableDef& def, const std::vector<IndexKeyPart>& parts, const std::vector<Value>& row) {
    std::vector<Value> values;
    values.reserve(parts.size());
    for (const auto& part : parts) values.push_back(row[size_t(part.column - def.columns.data())]);
    return values;
  }

  // The key a row should have in an index: nothing when the index leaves the row out, an
  // unknown key where the encoder cannot build it (`why` keeps the first reason). `otherKey`
  // gets the key where a letter that sorts as several counts once, for text that holds one.
  static std::optional<std::optional<std::string>> expectedKey(const TableDef& def, const RealIndex& ri,
                                                               const std::vector<IndexKeyPart>& parts,
                                                               const std::vector<Value>& row, std::string* why,
                                                               std::optional<std::string>* otherKey) {
    const std::vector<Value> values = indexValues(def, parts, row);
    if (ri.ignoreNulls() && std::all_of(values.begin(), values.end(), [](const Value& v) { return v.isNull(); })) {
      return std::nullopt;
    }
    for (const auto& part : parts) {
      if (indexKeysSupported(*part.column)) continue;
      if (why && why->empty()) *why = "keys are not built for column '" + part.column->name + "'";
      return std::optional<std::string>();
    }
    return std::optional<std::optional<std::string>>(unlessRefused([&] {
      std::string key = encodeIndexKey(parts, values);
      if (otherKey && keyDependsOnExpansions(parts, values)) *otherKey = encodeIndexKey(parts, values, Expansions::kOnce);
      return std::optional<std::string>(std::move(key));
    }, why));
  }

  // Some values are refused as they are met (a negative decimal): the encoder's refusal becomes
  // an unknown key, and `why` keeps the first reason.
  template <typename Encode>
  static std::optional<std::string> unlessRefused(Encode encode, std::string* why) {
    try {
      return encode();
    } catch (const Error& err) {
      if (err.number() != err::kNotSupported) throw;
      if (why && why->empty()) *why = err.what();
      return std::nullopt;
    }
  }

  // The walk of one index tree, level by level.
  struct Walk {
    std::string who;
    uint32_t tdef = 0;
    std::vector<std::vector<uint32_t>> levels;          // pages of each level, left to right
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> links;  // page -> (prev, next)
    std::optional<IndexEntry> lastLeaf;
    std::optional<IndexEntry> bound;  // the highest node key so far: every later entry lies above it
    std::optional<uint32_t> boundNode;
    size_t looseKeys = 0;             // node keys above their child's last entry
    size_t lateTails = 0;             // nodes that name a tail but are not the last of their level
    std::function<void(const IndexEntry&)> onLeafEntry;
    std::vector<uint32_t> claimed;  // the pages this walk claimed, in case it is taken back
  };

  // Walks the subtree at `page`; returns its last leaf entry, if it has any.
  std::optional<IndexEntry> walkNode(Walk& w, uint32_t page, int depth) {
    if (depth > kMaxDepth) {
      problem(w.who + " is deeper than any real index tree");
      return std::nullopt;
    }
    if (page == 0 || page >= file_.pageCount()) {
      problem(w.who + " points at " + pageName(page) + ", which lies outside the file");
      return std::nullopt;
    }
    if (!claim(page, w.who)) return std::nullopt;
    w.claimed.push_back(page);
    // Decoded for this walk alone: the cache of decoded nodes is kept for the writer.
    IndexNode node = decodeIndexNode(file_, f_, page);
    if (node.owner != w.tdef) problem(w.who + ": " + pageName(page) + " names another table as its owner");
    if (w.levels.size() <= size_t(depth)) w.levels.resize(size_t(depth) + 1);
    w.levels[size_t(depth)].push_back(page);
    w.links[page] = {node.prev, node.next};
    for (size_t i = 1; i < node.entries.size(); ++i) {
      if (compareEntries(node.entries[i - 1], node.entries[i]) >= 0) {
        problem(w.who + ": the entries of " + pageName(page) + " are not in ascending order");
        break;
      }
    }
    if (node.leaf) {
      if (node.tail != 0 && f_.jet4) problem(w.who + ": leaf " + pageName(page) + " names a tail page");
      for (const auto& e : node.entries) {
        if (w.lastLeaf && compareEntries(*w.lastLeaf, e) >= 0) {
          problem(w.who + ": the entry for " + rowName(e.row) + " on " + pageName(page) + " is not above the entry before it");
        }
        // A search for this entry would turn into the child before it.
        if (w.bound && compareEntries(*w.bound, e) >= 0) {
          problem(w.who + ": the entry for " + rowName(e.row) + " on " + pageName(page) + " is not above the key node " +
                  pageName(*w.boundNode) + " carries for the child before it");
        }
        w.bound.reset();
        w.lastLeaf = e;
        w.onLeafEntry(e);
      }
      if (node.entries.empty()) return std::nullopt;
      return node.entries.back();
    }
    std::optional<IndexEntry> last;
    // A node's key for a child lies at or above the child's last entry and below the next
    // child's first: searches turn at it. Access leaves it above the last entry when that entry
    // goes, so a loose key is no damage.
    for (const auto& e : node.entries) {
      last = walkNode(w, e.child, depth + 1);
      if (!last) {
        problem(w.who + ": node " + pageName(page) + " has an entry for child " + pageName(e.child) + ", which holds no entries");
      } else if (compareEntries(*last, e) > 0) {
        problem(w.who + ": node " + pageName(page) + " carries a key below the last entry of its child " + pageName(e.child));
      } else if (compareEntries(*last, e) < 0) {
        ++w.looseKeys;
      }
      if (!w.bound || compareEntries(*w.bound, e) < 0) {
        w.bound = e;
        w.boundNode = page;
      }
    }
    // Other writers leave the tail of every node; readers take it as the node's last child.
    if (node.tail != 0 && node.next != 0) ++w.lateTails;
    if (node.tail != 0) last = walkNode(w, node.tail, depth + 1);
    return last;
  }

  void checkLinks(Walk& w) {
    for (size_t d = 0; d < w.levels.size(); ++d) {
      const auto& level = w.levels[d];
      for (size_t i = 0; i < level.size(); ++i) {
        auto [prev, next] = w.links[level[i]];
        uint32_t wantPrev = i == 0 ? 0 : level[i - 1];
        uint32_t wantNext = i + 1 == level.size() ? 0 : level[i + 1];
        if (prev != wantPrev || next != wantNext) {
          problem(w.who + ": " + pageName(level[i]) + " on level " + std::to_string(d) + " links to " + pageName(prev) + " and " +
                  pageName(next) + " instead of its neighbours " + pageName(wantPrev) + " and " + pageName(wantNext));
        }
      }
    }
  }

  // First the fingerprint of the entries against that of the rows; only when the two differ is
  // the walk taken back and done again against every row's key, to name what differs.
  void checkIndex(Table& t, const RealIndex& ri, const std::vector<IndexKeyPart>& parts, const Fingerprint& rows) {
    const TableDef& def = t.def();
    std::string names;
    for (const auto& li : def.indexes) {
      if (li.realIndex == ri.number) names += (names.empty() ? "" : "/") + li.name;
    }
    const std::string who = "index '" + (names.empty() ? std::to_string(ri.number) : names) + "' of table '" + def.name + "'";
    const size_t before = problems_.size();
    {
      Walk w;
      w.who = who;
      w.tdef = def.page;
      Fingerprint listed;
      w.onLeafEntry = [&](const IndexEntry& entry) { listed.add(seed_, entry.row.packed(), entry.key); };
      walkNode(w, ri.rootPage, 0);
      checkLinks(w);
      if (!rows.unknownKey && listed == rows) {
        noteShape(w);
        return;
      }
      problems_.resize(before);
      for (uint32_t page : w.claimed) users_[page] = kNobody;
    }
    compareIndex(t, ri, parts, who);
  }

  // What Access leaves in the shape of a tree and readers take in their stride.
  void noteShape(const Walk& w) {
    if (w.looseKeys) {
      note(w.who + ": " + std::to_string(w.looseKeys) + " node keys lie above the last entry of their child (Access leaves them so after deletes)");
    }
    if (w.lateTails) {
      note(w.who + ": " + std::to_string(w.lateTails) + " node pages name a tail page but are not the last of their level (readers take the tail as their last child)");
    }
  }

  void compareIndex(Table& t, const RealIndex& ri, const std::vector<IndexKeyPart>& parts, const std::string& who) {
    const TableDef& def = t.def();
    std::vector<ExpectedRow> expected;
    std::string unchecked;  // why some keys are unknown
    size_t otherKeysStored = 0;
    t.scan([&](RowId id, Bytes bytes) {
      std::optional<std::string> otherKey;
      std::optional<std::optional<std::string>> key = expectedKey(def, ri, parts, decodeRow(file_, f_, def, bytes), &unchecked, &otherKey);
      if (key) {
        expected.push_back({id.packed(), bool(*key), *key ? hashBytes(seed_, **key) : 0, otherKey ? hashBytes(seed_, *otherKey) : 0});
      }
      return true;
    });
    std::sort(expected.begin(), expected.end(), [](const ExpectedRow& a, const ExpectedRow& b) { return a.packed < b.packed; });
    std::vector<bool> listed(expected.size(), false);
    std::set<uint32_t> listedOthers;  // listed rows that the index should not hold
    Walk w;
    w.who = who;
    w.tdef = def.page;
    size_t entries = 0;
    size_t reported = 0;
    auto report = [&](std::string text) {
      if (++reported <= 20) problem(std::move(text));
    };
    w.onLeafEntry = [&](const IndexEntry& entry) {
      ++entries;
      uint32_t packed = entry.row.packed();
      auto it = std::lower_bound(expected.begin(), expected.end(), packed,
                                 [](const ExpectedRow& r, uint32_t p) { return r.packed < p; });
      const bool expectedRow = it != expected.end() && it->packed == packed;
      if (expectedRow ? listed[size_t(it - expected.begin())] : !listedOthers.insert(packed).second) {
        report(w.who + " lists " + rowName(entry.row) + " more than once");
        return;
      }
      if (!expectedRow) {
        report(w.who + " lists " + rowName(entry.row) + ", which is not a live row it should hold");
        return;
      }
      listed[size_t(it - expected.begin())] = true;
      if (!it->known) return;
      const uint64_t stored = hashBytes(seed_, entry.key);
      if (stored == it->keyHash) return;
      if (it->otherKeyHash != 0 && stored == it->otherKeyHash) ++otherKeysStored;
      else report(w.who + ": the key stored for " + rowName(entry.row) + " does not match the row");
    };
    walkNode(w, ri.rootPage, 0);
    checkLinks(w);
    noteShape(w);
    if (!unchecked.empty()) note(w.who + ": some keys are not checked: " + unchecked);
    if (otherKeysStored) {
      note(w.who + ": " + std::to_string(otherKeysStored) + " keys count a letter that sorts as several (such as ß) once, as some Access-made files store it; this engine writes them as Access 2000 does, a position for each letter");
    }
    if (entries != expected.size()) {
      problem(w.who + " has " + std::to_string(entries) + " entries for " + std::to_string(expected.size()) + " rows");
    }
    for (size_t i = 0; i < expected.size(); ++i) {
      if (!listed[i]) report(w.who + " does not list " + rowName(RowId::unpack(expected[i].packed)));
    }
    if (reported > 20) problem(w.who + ": " + std::to_string(reported - 20) + " more problems like these");
  }

  Database& db_;
  PageFile& file_;
  const Format& f_;
  std::vector<std::string> problems_;
  std::vector<std::string> notes_;
  uint64_t seed_;
  // Who uses each page, by page number: a number in userNames_, or kNobody.
  static constexpr uint32_t kNobody = UINT32_MAX;
  std::vector<uint32_t> users_;
  std::vector<std::string> userNames_;
  std::unordered_map<std::string, uint32_t> userNumbers_;
  std::set<uint32_t> free_;  // the pages the database lists as free
  std::unordered_map<uint32_t, std::vector<uint32_t>> ownedBy_;
  struct Reference {
    size_t label;    // in referenceLabels_
    RowId row;
    uint32_t table;  // the definition page of the table referred to
    int index;       // its real index over the referred columns
    std::string key;
  };
  std::vector<Reference> references_;
  std::vector<std::pair<std::string, std::string>> referenceLabels_;  // relationship, table
  // The keys the rows of a referred table hold in the index references use, by table and index.
  std::map<std::pair<uint32_t, int>, std::set<std::string>> rowKeys_;
};

}  // namespace

std::vector<std::string> checkDatabase(Database& db, std::vector<std::string>* notes) {
  Checker checker(db);
  std::vector<std::string> damage = checker.run();
  if (notes) *notes = checker.notes();
  return damage;
}

}  // namespace jet
