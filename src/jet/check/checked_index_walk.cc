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

class CheckedWalk {
 public:
  CheckedWalk(Table& table, const RealIndex& index, const std::string& from,
              const std::function<bool(const IndexEntry&, const RawRow&)>& visit)
      : table_(table), index_(index), file_(table.database().file()), f_(table.database().format()), from_(from),
        visit_(visit) {
    for (const LogicalIndex& li : table.def().indexes) {
      if (li.realIndex == index.number) names_ += (names_.empty() ? "" : "/") + li.name;
    }
    if (names_.empty()) names_ = std::to_string(index.number);
  }

  void run() {
    if (index_.rootPage == 0 || index_.rootPage >= file_.pageCount()) damaged("has its root outside the file");
    walk(index_.rootPage, 0);
    checkEachRowOnce();
    if (stopped_) return;
    // Every entry lies below the range, or the index is empty: the last leaf shows which.
    if (lastLeaf_ == 0) lastLeafBelow(index_.rootPage, 0);
    // The walk ran off the end: that must be the end of the leaf level too.
    if (lastLeafNext_ != 0) damaged("ends its tree at page " + std::to_string(lastLeaf_) + ", which links to a further leaf");
    if (!lowChecked_) checkLowNeighbour();
  }

 private:
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

  void walk(uint32_t page, int depth) {
    if (depth > kMaxDepth) damaged("is deeper than any real index tree");
    const std::shared_ptr<const IndexNode> held = node(page);
    const IndexNode& n = *held;
    if (n.leaf) return leaf(n);
    for (const IndexEntry& e : n.entries) {
      if (!from_.empty() && e.key < from_) continue;
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
      if (below_ && !from_.empty() && !(below_->key < from_)) damaged("skips entries of the range it reads");
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
      if (!from_.empty() && e.key < from_) {
        below_ = e;  // the last entry before the range, checked with it
        continue;
      }
      if (!lowChecked_) checkLowNeighbour();
      checkAgainstRow(e);
      if (!visit_(e, raw_)) {
        stopped_ = true;
        return;
      }
    }
  }

  // The entry just before the range must lie below it, or there must be none.
  void checkLowNeighbour() {
    lowChecked_ = true;
    if (from_.empty() && firstLeafPrev_ != 0) {
      damaged("starts at leaf page " + std::to_string(firstLeaf_) + ", which links back to page " +
              std::to_string(firstLeafPrev_));
    }
    if (!below_ && firstLeafPrev_ != 0) {
      // The range starts a leaf: its neighbour is the last entry of the leaf before.
      const std::shared_ptr<const IndexNode> held = node(firstLeafPrev_);
      if (!held->leaf || held->next != firstLeaf_) {
        damaged("has leaf page " + std::to_string(firstLeaf_) + " linked back to page " + std::to_string(firstLeafPrev_) +
                ", which does not link to it");
      }
      if (held->entries.empty()) damaged("holds an empty leaf, page " + std::to_string(firstLeafPrev_));
      below_ = held->entries.back();
      if (!(below_->key < from_)) damaged("skips entries at the start of the range it reads");
    }
    if (below_) checkAgainstRow(*below_, false);
  }

  static std::string rowName(RowId id) { return std::to_string(id.page) + ":" + std::to_string(id.row); }

  // No row is listed twice in the stretch read (checked once it has been read: before the
  // walk's caller has anything but rows it is about to be told are unsound).
  void checkEachRowOnce() {
    std::sort(rows_.begin(), rows_.end());
    auto twice = std::adjacent_find(rows_.begin(), rows_.end());
    if (twice != rows_.end()) damaged("lists row " + rowName(RowId::unpack(*twice)) + " twice");
  }

  // The entry names a live row of this table whose values give its key; the row is noted for
  // checkEachRowOnce.
  void checkAgainstRow(const IndexEntry& e, bool count = true) {
    if (count) rows_.push_back(e.row.packed());
    if (e.row.page == 0 || e.row.page >= file_.pageCount()) damaged("lists row " + rowName(e.row) + ", outside the file");
    PageRef hold = file_.read(e.row.page);
    DataPage dp(Bytes(hold->data(), hold->size()), f_);
    if (!dp.isData() || dp.owner() != table_.def().page || e.row.row >= dp.rowCount() || dp.slot(e.row.row).deleted) {
      damaged("lists row " + rowName(e.row) + ", which is no live row of the table");
    }
    const TableDef& def = table_.def();
    Bytes bytes = resolveRow(file_, f_, e.row, rowPage_);
    splitRow(f_, def, bytes, raw_);
    values_.assign(def.columns.size(), Value());
    for (const IndexColumn& ic : index_.columns) {
      const size_t at = columnPosition(def, ic.columnNumber);
      values_[at] = decodeField(file_, f_, def.columns[at], raw_, at);
    }
    std::optional<std::string> key;
    try {
      key = rowKey(def, index_, values_);
    } catch (const Error& err) {
      if (err.number() != err::kNotSupported) throw;
      return;  // a key this engine cannot build: the row is only checked for being there
    }
    if (key && *key == e.key) return;
    // Some Access-made files count a letter that sorts as several (ß) once: that key is the row's too.
    if (key && rowKey(def, index_, values_, Expansions::kOnce) == e.key) return;
    damaged("holds a key for row " + rowName(e.row) + " that does not match the row");
  }

  Table& table_;
  const RealIndex& index_;
  PageFile& file_;
  const Format& f_;
  const std::string& from_;
  const std::function<bool(const IndexEntry&, const RawRow&)>& visit_;
  PageRef rowPage_;  // holds the bytes of raw_, the row last checked
  RawRow raw_;
  std::string names_;
  std::set<uint32_t> seen_;
  std::vector<uint32_t> rows_;  // the rows the entries read name
  std::vector<Value> values_;
  std::optional<IndexEntry> last_, below_;
  uint32_t firstLeaf_ = 0, firstLeafPrev_ = 0, lastLeaf_ = 0, lastLeafNext_ = 0;
  bool lowChecked_ = false, stopped_ = false;
};

}  // namespace

void walkIndexChecked(Table& table, const RealIndex& index, const std::string& from,
                      const std::function<bool(const IndexEntry&, const RawRow&)>& visit) {
  CheckedWalk(table, index, from, visit).run();
}

}  // namespace jet
