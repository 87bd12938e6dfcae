// Memo and OLE values: kept inline in the row, on one long-value page row, or in a chain of them.
// The row holds a 12-byte header: length and form, the address of the first part, and a spare word.
#pragma once

#include <cstdint>
#include <string>

#include "jet/base/bytes.h"
#include "jet/format/format.h"

namespace jet {

class PageFile;

// The raw bytes of a long value, given the field's bytes from the row.
std::string readLongValue(PageFile& file, const Format& f, Bytes field);

// Writes a long value and returns the bytes the row keeps for it. Short values stay inline;
// longer ones go to long-value pages owned by the table at `tdefPage`.
std::string writeLongValue(PageFile& file, const Format& f, uint32_t tdefPage, const std::string& data, size_t inlineLimit);

// Frees the long-value rows that a field's bytes point to.
void freeLongValue(PageFile& file, const Format& f, Bytes field);

}  // namespace jet
