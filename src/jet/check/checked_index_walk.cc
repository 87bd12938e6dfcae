#include "jet/check/checked_index_walk.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "jet/database/database.h"
#include "jet/base/error.h"
#include "jet/index/index_key.h"
#include "jet/format/row_codec.h"
#include "jet/database/table.h"

namespace jet {

namespace {

constexpr int kMaxDepth = 32;

constexpr uint32_t kNeighbour = UINT32_MAX;  // an entry next to a stretch: checked, not visited

class CheckedStretches {
 public:
  CheckedStretches(Table& table, const RealIndex& index, const std::vector<bool>* columns)
      : table_(table), index_(index), file_(table.database().file()), f_(table.database().format()) {
    // The fields split from each row: those the visit reads, and those that give the key.
    if (columns) {
      split_ = *columns;
      split_.resize(table.def().columns.size(), false);
      for (const IndexColumn& ic : index.columns) split_[columnPosition(table.def(), ic.columnNumber)] = true;
    }
    for (const LogicalIndex& li : table.def().indexes) {
      if (li.realIndex == index.number) names_ += (names_.empty() ? "" : "/") + li.name;
    }
    if (names_.empty()) names_ = std::to_string(index.number);
  }

  void read(const IndexStretch& stretch) {
    from_ = &stretch.from;
    within_ = &stretch.within;
    seen_.clear();
    last_.reset();
    below_.reset();
    firstLeaf_ = firstLeafPrev_ = lastLeaf_ = lastLeafNext_ = 0;
    lowChecked_ = stopped_ = false;
    if (index_.rootPage == 0 || index_.rootPage >= file_.pageCount()) damaged("has its root outside the file");
    walk(index_.rootPage, 0);
    if (!stopped_) {
      // Every entry lies below the stretch, or the index is empty: the last leaf shows which.
      if (lastLeaf_ == 0) lastLeafBelow(index_.rootPage, 0);
      // The walk ran off the end: that must be the end of the leaf level too.
      if (lastLeafNext_ != 0) damaged("ends its tree at page " + std::to_string(lastLeaf_) + ", which links to a further leaf");
    }
    if (!lowChecked_) checkLowNeighbour();
  }

  // The rows of every stretch read, in the order of their addresses.
  void visitRows(const std::function<void(size_t, RowId, const RawRow&)>& visit) {
    checkEachRowOnce();
    std::sort(noted_.begin(), noted_.end(),
              [](const Noted& a, const Noted& b) { return a.row != b.row ? a.row < b.row : a.place < b.place; });
    for (const Noted& n : noted_) {
      checkAgainstRow(n);  // leaves the row's fields in raw_
      if (n.place != kNeighbour) visit(n.place, RowId::unpack(n.row), raw_);
    }
  }

 private:
  // An entry read: its row, its place in key order (or kNeighbour) and its key, in keys_.
  struct Noted {
    uint32_t row;
    uint32_t place;
    uint32_t keyAt;
    uint32_t keySize;
  };

  [[noreturn]] void damaged(const std::string& what) {
    throw Error(err::kNotDatabase, "The database file '" + table_.database().path() + "' is damaged: index '" + names_ +
                                       "' of table '" + table_.def().name + "' " + what + ".");
  }

  std::shared_ptr<const IndexNode> node(uint32_t page) {
    if (page == 0 || page >= file_.pageCount()) damaged("points at page " + std::to_string(page) + ", outside the file");
    if (!seen_.insert(page).second) damaged("visits page " + std::to_string(page) + " twice");
    std::shared_ptr<const IndexNode> n;
    try {
      n = readIndexNodeShared(file_, f_, page);
    } catch (const Error& e) {
      if (e.number() != err::kNotDatabase) throw;
      damaged("leads to page " + std::to_string(page) + ", which cannot be read as an index page");
    }
    if (n->owner != table_.def().page) damaged("holds page " + std::to_string(page) + ", which names another table");
    return n;
  }

  bool belowStretch(const IndexEntry& e) const { return !from_->empty() && e.key < *from_; }

  void walk(uint32_t page, int depth) {
    if (depth > kMaxDepth) damaged("is deeper than any real index tree");
    const std::shared_ptr<const IndexNode> held = node(page);
    const IndexNode& n = *held;
    if (n.leaf) return leaf(n);
    for (const IndexEntry& e : n.entries) {
      if (belowStretch(e)) continue;
      walk(e.child, depth + 1);
      if (stopped_) return;
    }
    if (n.tail != 0) walk(n.tail, depth + 1);
  }

  // Follows the last child of each node down to the last leaf, whose entries all lie below `from`.
  void lastLeafBelow(uint32_t page, int depth) {
    if (depth > kMaxDepth) damaged("is deeper than any real index tree");
    seen_.erase(page);  // the walk skipped its children, not this node
    const std::shared_ptr<const IndexNode> held = node(page);
    const IndexNode& n = *held;
    if (n.leaf) {
      lastLeaf_ = n.page;
      lastLeafNext_ = n.next;
      if (!n.entries.empty()) below_ = n.entries.back();
      if (below_ && !belowStretch(*below_) && !from_->empty()) damaged("skips entries of the range it reads");
      return;
    }
    if (n.tail != 0) return lastLeafBelow(n.tail, depth + 1);
    if (!n.entries.empty()) return lastLeafBelow(n.entries.back().child, depth + 1);
  }

  void leaf(const IndexNode& n) {
    if (lastLeaf_ != 0) {
      if (n.prev != lastLeaf_ || lastLeafNext_ != n.page) {
        damaged("reads leaf page " + std::to_string(n.page) + " after page " + std::to_string(lastLeaf_) +
                ", but the two do not link to each other");
      }
    } else {
      firstLeaf_ = n.page;
      firstLeafPrev_ = n.prev;
    }
    lastLeaf_ = n.page;
    lastLeafNext_ = n.next;
    for (const IndexEntry& e : n.entries) {
      if (last_ && compareEntries(*last_, e) >= 0) {
        damaged("holds the entry for row " + rowName(e.row) + " on page " + std::to_string(n.page) +
                " out of order");
      }
      last_ = e;
      if (belowStretch(e)) {
        below_ = e;  // the last entry before the stretch, checked with it
        continue;
      }
      if (!lowChecked_) checkLowNeighbour();
      if (!(*within_)(e)) {
        note(e, kNeighbour);
        stopped_ = true;
        return;
      }
      if (places_ == kNeighbour) damaged("holds more entries than any table has rows");
      note(e, places_++);
    }
  }

  // The entry just before the stretch must lie below it, or there must be none.
  void checkLowNeighbour() {
    lowChecked_ = true;
    if (from_->empty() && firstLeafPrev_ != 0) {
      damaged("starts at leaf page " + std::to_string(firstLeaf_) + ", which links back to page " +
              std::to_string(firstLeafPrev_));
    }
    if (!below_ && firstLeafPrev_ != 0) {
      // The stretch starts a leaf: its neighbour is the last entry of the leaf before.
      const std::shared_ptr<const IndexNode> held = node(firstLeafPrev_);
      if (!held->leaf || held->next != firstLeaf_) {
        damaged("has leaf page " + std::to_string(firstLeaf_) + " linked back to page " + std::to_string(firstLeafPrev_) +
                ", which does not link to it");
      }
      if (held->entries.empty()) damaged("holds an empty leaf, page " + std::to_string(firstLeafPrev_));
      below_ = held->entries.back();
      if (!belowStretch(*below_)) damaged("skips entries at the start of the range it reads");
    }
    if (below_) note(*below_, kNeighbour);
  }

  void note(const IndexEntry& e, uint32_t place) {
    if (e.row.page == 0 || e.row.page >= file_.pageCount()) damaged("lists row " + rowName(e.row) + ", outside the file");
    noted_.push_back({e.row.packed(), place, uint32_t(keys_.size()), uint32_t(e.key.size())});
    keys_.append(e.key.data(), e.key.size());
  }

  static std::string rowName(RowId id) { return std::to_string(id.page) + ":" + std::to_string(id.row); }

  // No row is listed twice in the stretches read.
  void checkEachRowOnce() {
    std::vector<uint32_t> rows;
    rows.reserve(noted_.size());
    for (const Noted& n : noted_) if (n.place != kNeighbour) rows.push_back(n.row);
    std::sort(rows.begin(), rows.end());
    auto twice = std::adjacent_find(rows.begin(), rows.end());
    if (twice != rows.end()) damaged("lists row " + rowName(RowId::unpack(*twice)) + " twice");
  }

  // Splits the row into raw_, or fails when the address names no live row of this table.
  void readRow(RowId id) {
    PageRef hold = file_.read(id.page);
    DataPage dp(Bytes(hold->data(), hold->size()), f_);
    if (!dp.isData() || dp.owner() != table_.def().page || id.row >= dp.rowCount() || dp.slot(id.row).deleted) {
      damaged("lists row " + rowName(id) + ", which is no live row of the table");
    }
    splitRow(f_, table_.def(), resolveRow(file_, f_, id, rowPage_), raw_, split_.empty() ? nullptr : &split_);
  }

  // The entry names a live row of this table whose values give its key. A row named by several
  // entries is read and keyed once.
  void checkAgainstRow(const Noted& n) {
    const RowId id = RowId::unpack(n.row);
    if (!keyed_ || n.row != keyedRow_) {
      readRow(id);
      const TableDef& def = table_.def();
      values_.assign(def.columns.size(), Value());
      for (const IndexColumn& ic : index_.columns) {
        const size_t at = columnPosition(def, ic.columnNumber);
        values_[at] = decodeField(file_, f_, def.columns[at], raw_, at);
      }
      keyed_ = true;
      keyedRow_ = n.row;
      keyUnknown_ = false;
      onceKey_.reset();
      try {
        rowKey_ = rowKey(def, index_, values_);
      } catch (const Error& err) {
        if (err.number() != err::kNotSupported) throw;
        keyUnknown_ = true;  // a key this engine cannot build: the row is only checked for being there
      }
    }
    if (keyUnknown_) return;
    const std::string_view stored(keys_.data() + n.keyAt, n.keySize);
    if (rowKey_ && *rowKey_ == stored) return;
    // Some Access-made files count a letter that sorts as several (ß) once: that key is the row's too.
    if (!onceKey_) onceKey_ = rowKey(table_.def(), index_, values_, Expansions::kOnce);
    if (rowKey_ && *onceKey_ && **onceKey_ == stored) return;
    damaged("holds a key for row " + rowName(id) + " that does not match the row");
  }

  Table& table_;
  const RealIndex& index_;
  PageFile& file_;
  const Format& f_;
  std::string names_;
  // The stretch being read.
  const std::string* from_ = nullptr;
  const std::function<bool(const IndexEntry&)>* within_ = nullptr;
  std::set<uint32_t> seen_;
  std::optional<IndexEntry> last_, below_;
  uint32_t firstLeaf_ = 0, firstLeafPrev_ = 0, lastLeaf_ = 0, lastLeafNext_ = 0;
  bool lowChecked_ = false, stopped_ = false;
  // What every stretch read.
  std::vector<Noted> noted_;
  std::string keys_;
  uint32_t places_ = 0;
  // The row last read, and its key.
  std::vector<bool> split_;  // the fields split from each row; empty: all
  PageRef rowPage_;  // holds the bytes of raw_
  RawRow raw_;
  std::vector<Value> values_;
  bool keyed_ = false, keyUnknown_ = false;
  uint32_t keyedRow_ = 0;
  std::optional<std::string> rowKey_;
  std::optional<std::optional<std::string>> onceKey_;
};

}  // namespace

void readIndexStretchesChecked(Table& table, const RealIndex& index, const std::vector<IndexStretch>& stretches,
                               const std::function<void(size_t place, RowId row, const RawRow& fields)>& visit,
                               const std::vector<bool>* columns) {
  CheckedStretches reader(table, index, columns);
  for (const IndexStretch& s : stretches) reader.read(s);
  reader.visitRows(visit);
}

}  // namespace jet
