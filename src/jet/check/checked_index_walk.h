// Reading rows through an index without trusting it: the stretches of the tree a walk reads are
// checked against the rows they name, so that damage ends in error 3049 instead of missed rows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "jet/format/row_codec.h"
#include "jet/index/index_page.h"

namespace jet {

class Table;
struct RealIndex;

// One stretch of an index: its entries from the first not below `from` (from the first entry
// when `from` is empty) for as long as `within` holds.
struct IndexStretch {
  std::string from;
  std::function<bool(const IndexEntry&)> within;
};

// Reads the entries of each stretch of `index`, then calls `visit` for each of them with its
// place in key order (the first stretch's entries first) and the fields of its row as the check
// read them (valid during the call): those `columns` marks, or every field when it is null. The rows are read in the order of their addresses, each
// page once however many stretches name it; `visit` is called in that order.
//
// Fails with 3049, naming the file, the table and the index, unless what was read is sound (a
// fault of the tree is found before `visit` is first called, a row's before it is visited): in each stretch the entries are in ascending order from the
// last one below `from` to the first one past the stretch, each leaf links to the leaf read
// before it, and a stretch that runs to the end of its leaves ends at the last leaf of the
// index; no row is named twice in the stretches; and each of those entries, the neighbours of
// each stretch included, names a live row of the table whose values give its key. An entry
// removed from the file without a trace is beyond this check: it needs a scan of the table
// (`jet check`).
void readIndexStretchesChecked(Table& table, const RealIndex& index, const std::vector<IndexStretch>& stretches,
                               const std::function<void(size_t place, RowId row, const RawRow& fields)>& visit,
                               const std::vector<bool>* columns = nullptr);

}  // namespace jet
