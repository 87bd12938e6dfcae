#include "jet/integrity_check.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/referential_integrity.h"
#include "jet/row_codec.h"
#include "jet/usage_map.h"

namespace jet {

namespace {

constexpr int kMaxDepth = 32;

std::string pageName(uint32_t page) { return "page " + std::to_string(page); }
std::string rowName(RowId id) { return "row " + std::to_string(id.page) + ":" + std::to_string(id.row); }

// What one real index should hold: the key of every row it lists, by packed row address.
// A key is unknown (nullopt) where the encoder cannot build it; such rows are only checked
// for being listed.
struct ExpectedIndex {
  std::vector<IndexKeyPart> parts;
  std::unordered_map<uint32_t, std::optional<std::string>> keys;
  std::string unchecked;  // why some keys are unknown
  // The key where a letter that sorts as several counts once, for rows whose text holds one.
  std::unordered_map<uint32_t, std::string> otherKeys;
  size_t otherKeysStored = 0;
};

class Checker {
 public:
  explicit Checker(Database& db) : db_(db), file_(db.file()), f_(db.format()) {}

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
    for (const auto& [page, user] : users_) {
      if (free_.count(page)) problem(pageName(page) + " is used by " + user + " but the database lists it as free");
    }
    return std::move(problems_);
  }

  std::vector<std::string> notes() { return std::move(notes_); }

 private:
  void problem(std::string text) { problems_.push_back(std::move(text)); }
  void note(std::string text) { notes_.push_back(std::move(text)); }

  // Records who uses a page; false (and a problem) when someone else already does.
  bool claim(uint32_t page, const std::string& user) {
    auto [it, fresh] = users_.emplace(page, user);
    if (!fresh) problem(pageName(page) + " is used by both " + it->second + " and " + user);
    return fresh;
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

  static bool isLongValuePage(const Page& pg) { return pg[0] == uint8_t(PageType::Data) && std::equal(pg.begin() + 4, pg.begin() + 8, "LVAL"); }

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

    std::vector<ExpectedIndex> expected(def.realIndexes.size());
    for (size_t k = 0; k < def.realIndexes.size(); ++k) {
      for (const auto& ic : def.realIndexes[k].columns) {
        const Column* c = def.columnByNumber(ic.columnNumber);
        expected[k].parts.push_back({c, ic.ascending});
      }
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
    uint32_t live = 0;
    t.scan([&](RowId id, Bytes bytes) {
      ++live;
      std::vector<Value> values = decodeRow(file_, f_, def, bytes);
      for (size_t k = 0; k < def.realIndexes.size(); ++k) addExpectedKey(def, def.realIndexes[k], expected[k], id, values);
      for (size_t k = 0; k < refers.size(); ++k) {
        const RelationshipEnd& end = refers[k];
        std::optional<std::string> key = keyUnlessRefused([&] { return relatedKey(def, end, values); });
        if (key) references_.push_back({labels + k, id, end.table.def().page, end.index.number, std::move(*key)});
      }
      return true;
    });
    for (size_t k = 0; k < def.realIndexes.size(); ++k) {
      auto held = rowKeys_.find({def.page, def.realIndexes[k].number});
      if (held == rowKeys_.end()) continue;  // no row refers to this table through it
      for (const auto& [packed, key] : expected[k].keys) if (key) held->second.insert(*key);
    }
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
    for (size_t k = 0; k < def.realIndexes.size(); ++k) checkIndex(t, def.realIndexes[k], expected[k]);
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

  // A key, or nothing where the encoder refuses the column's type or sort order: such keys stay
  // unchecked, and `why` keeps the first reason.
  template <typename Encode>
  static std::optional<std::string> keyUnlessRefused(Encode encode, std::string* why = nullptr) {
    try {
      return encode();
    } catch (const Error& err) {
      if (err.number() != err::kNotSupported) throw;
      if (why && why->empty()) *why = err.what();
      return std::nullopt;
    }
  }

  void addExpectedKey(const TableDef& def, const RealIndex& ri, ExpectedIndex& e, RowId id, const std::vector<Value>& row) {
    std::vector<Value> values;
    bool allNull = true;
    for (const auto& part : e.parts) {
      values.push_back(row[size_t(part.column - def.columns.data())]);
      if (!values.back().isNull()) allNull = false;
    }
    if (allNull && ri.ignoreNulls()) return;
    std::optional<std::string> key = keyUnlessRefused([&] { return std::optional<std::string>(encodeIndexKey(e.parts, values)); }, &e.unchecked);
    if (key && keyDependsOnExpansions(e.parts, values)) e.otherKeys.emplace(id.packed(), encodeIndexKey(e.parts, values, Expansions::kOnce));
    e.keys.emplace(id.packed(), std::move(key));
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
    IndexNode node = readIndexNode(file_, f_, page);
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

  void checkIndex(Table& t, const RealIndex& ri, ExpectedIndex& e) {
    const TableDef& def = t.def();
    std::string names;
    for (const auto& li : def.indexes) {
      if (li.realIndex == ri.number) names += (names.empty() ? "" : "/") + li.name;
    }
    Walk w;
    w.who = "index '" + (names.empty() ? std::to_string(ri.number) : names) + "' of table '" + def.name + "'";
    w.tdef = def.page;
    size_t entries = 0;
    std::set<uint32_t> listed;
    size_t reported = 0;
    auto report = [&](std::string text) {
      if (++reported <= 20) problem(std::move(text));
    };
    w.onLeafEntry = [&](const IndexEntry& entry) {
      ++entries;
      uint32_t packed = entry.row.packed();
      if (!listed.insert(packed).second) {
        report(w.who + " lists " + rowName(entry.row) + " more than once");
        return;
      }
      auto it = e.keys.find(packed);
      if (it == e.keys.end()) {
        report(w.who + " lists " + rowName(entry.row) + ", which is not a live row it should hold");
        return;
      }
      if (it->second && *it->second != entry.key) {
        auto other = e.otherKeys.find(packed);
        if (other != e.otherKeys.end() && other->second == entry.key) ++e.otherKeysStored;
        else report(w.who + ": the key stored for " + rowName(entry.row) + " does not match the row");
      }
    };
    walkNode(w, ri.rootPage, 0);
    checkLinks(w);
    if (w.looseKeys) {
      note(w.who + ": " + std::to_string(w.looseKeys) + " node keys lie above the last entry of their child (Access leaves them so after deletes)");
    }
    if (w.lateTails) {
      note(w.who + ": " + std::to_string(w.lateTails) + " node pages name a tail page but are not the last of their level (readers take the tail as their last child)");
    }
    if (!e.unchecked.empty()) note(w.who + ": some keys are not checked: " + e.unchecked);
    if (e.otherKeysStored) {
      note(w.who + ": " + std::to_string(e.otherKeysStored) + " keys count a letter that sorts as several (such as ß) once, as some Access-made files store it; this engine writes them as Access 2000 does, a position for each letter");
    }
    if (entries != e.keys.size()) {
      problem(w.who + " has " + std::to_string(entries) + " entries for " + std::to_string(e.keys.size()) + " rows");
    }
    for (const auto& [packed, key] : e.keys) {
      if (!listed.count(packed)) report(w.who + " does not list " + rowName(RowId::unpack(packed)));
    }
    if (reported > 20) problem(w.who + ": " + std::to_string(reported - 20) + " more problems like these");
  }

  Database& db_;
  PageFile& file_;
  const Format& f_;
  std::vector<std::string> problems_;
  std::vector<std::string> notes_;
  std::map<uint32_t, std::string> users_;
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
