// Reading rows through an index without trusting it: the stretch of the tree a walk reads is
// checked against the rows it names, so that damage ends in error 3049 instead of missed rows.
#pragma once

#include <functional>
#include <string>

#include "jet/format/row_codec.h"
#include "jet/index/index_page.h"

namespace jet {

class Table;
struct RealIndex;

// Calls `visit` for each entry of `index` from the first not below `from` (every entry when
// `from` is empty), stopping where `visit` returns false, as walkIndex does. Fails with 3049,
// naming the file, the table and the index, unless what it read is sound: the entries are in
// ascending order from the last one below `from` to the one `visit` stopped at, each leaf links
// to the leaf read before it, the walk ends at the last leaf of the index, and each of those
// entries, the two neighbours of the range included, names a live row of the table, no row
// twice, whose values give its key. An entry removed from the file without a trace is beyond
// this check: it needs a scan of the table (`jet check`). `visit` is given the fields of the
// entry's row as the check read them, valid during the call.
void walkIndexChecked(Table& table, const RealIndex& index, const std::string& from,
                      const std::function<bool(const IndexEntry&, const RawRow&)>& visit);

}  // namespace jet
