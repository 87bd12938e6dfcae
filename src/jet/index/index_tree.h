// Reading an index's B-tree: every entry in key order, or the entries from a key onwards.
// Walks node pages down to the leaves, with every page visited at most once.
#pragma once

#include <functional>
#include <string>

#include "jet/index/index_page.h"

namespace jet {

class PageFile;

// Calls `visit` for each leaf entry in order, starting at the first entry not below `from`
// (all entries when `from` is empty); stop by returning false.
void walkIndex(PageFile& file, const Format& f, uint32_t root, const std::string& from,
               const std::function<bool(const IndexEntry&)>& visit);

}  // namespace jet
