// Index entry keys: the bytes Jet 4 stores for the column values of one index entry.
// Used to insert into index B-trees and to check stored entries against their rows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/format/column.h"
#include "jet/format/format.h"
#include "jet/format/table_def.h"
#include "jet/index/text_sort_general.h"
#include "jet/base/value.h"

namespace jet {

// Appends the key bytes of one column value, starting with its flag byte, for an
// ascending or descending index column. Text and memo columns use the General
// sort order. Raises kNotSupported for a column whose keys indexKeysSupported refuses, and for
// values we cannot encode exactly (characters, negative decimals); kTypeMismatch or kOverflow for
// values that do not fit the column.
void appendIndexKey(std::string& out, const Column& column, bool ascending, const Value& value,
                    Expansions expansions = Expansions::kEachLetter);

// Whether keys can be built for the column at all: its type has keys, and text is in the
// General sort order.
bool indexKeysSupported(const Column& column);

// The 16 bytes, in written order, of a GUID written as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
// nothing for text of another shape.
std::optional<std::string> guidTextBytes(std::string_view text);

// Appends the bytes that the key of `value` starts with, and so does the key of every text that
// differs from it only in letter case, accents or unprintable characters. For values of other
// types, the whole key.
void appendIndexKeyStart(std::string& out, const Column& column, bool ascending, const Value& value);

struct IndexKeyPart {
  const Column* column;
  bool ascending;
};

// The key of a whole index entry: the keys of `values` in the order of `parts`.
std::string encodeIndexKey(const std::vector<IndexKeyPart>& parts, const std::vector<Value>& values,
                           Expansions expansions = Expansions::kEachLetter);
// Whether some Jet 4 text value among `values` gets another key when expansions count once.
bool keyDependsOnExpansions(const std::vector<IndexKeyPart>& parts, const std::vector<Value>& values);

// The key of a row (`values` follow def.columns) in one of its table's indexes, or nothing
// when the index leaves such a row out (all its columns Null in an index that ignores Nulls).
std::optional<std::string> rowKey(const TableDef& def, const RealIndex& index, const std::vector<Value>& values,
                                  Expansions expansions = Expansions::kEachLetter);
// Where the column of this number sits in def.columns (and so in a row's values).
size_t columnPosition(const TableDef& def, uint16_t number);
// Whether two rows hold the same values in the index's columns (and so have the same key).
bool sameKeyValues(const TableDef& def, const RealIndex& index, const std::vector<Value>& a, const std::vector<Value>& b);

// Whether every column of the index is Null in this row.
bool allKeyColumnsNull(const TableDef& def, const RealIndex& index, const std::vector<Value>& values);

}  // namespace jet
