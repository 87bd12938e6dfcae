// Building an index tree from all of its entries at once, bottom-up, level by level.
// For an index added to a filled table, where adding entries one by one rewrites pages over and over.
#pragma once

#include <vector>

#include "jet/index/index_page.h"
#include "jet/format/table_def.h"

namespace jet {

class PageFile;

// Fills the empty tree of `index` (its root an empty leaf) with `entries`, which must be sorted
// by compareEntries. Leaves are packed full; the root stays on its page.
void buildIndexTree(PageFile& file, const Format& f, const RealIndex& index, std::vector<IndexEntry> entries);

}  // namespace jet
