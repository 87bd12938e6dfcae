// Usage maps: the bitmaps that say which pages belong to a table or an index.
// Inline maps (type 0) hold a start page and a bitmap; reference maps (type 1) point at bitmap pages.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/format/format.h"

namespace jet {

class PageFile;

// The pages the map at `rowPointer` ((page << 8) | row) marks, ascending.
std::vector<uint32_t> readUsageMap(PageFile& file, const Format& f, uint32_t rowPointer);

// The database's own map of the pages no object owns: the first row of page 1. Access marks the
// pages it freed (which keep whatever they held) and every page past the end of the file.
inline constexpr uint32_t kFreePageMap = (1u << 8) | 0;

// The free pages inside the file, ascending.
std::vector<uint32_t> readFreePages(PageFile& file, const Format& f);

// Marks or clears one page in the map, rewriting an inline map as a reference map when the
// page lies outside what the inline bitmap can reach.
void setUsageMapPage(PageFile& file, const Format& f, uint32_t rowPointer, uint32_t page, bool used);

}  // namespace jet
