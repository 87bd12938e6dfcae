// Rows: the column count, fixed area, variable area, offset table and null mask of a stored row.
// Decodes stored bytes to values and encodes values to the bytes of a row.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"
#include "jet/format/table_def.h"
#include "jet/base/value.h"

namespace jet {

class PageFile;

// The bytes of each column of a stored row, before interpretation; absent columns are null.
// One field of a stored row, by position in def.columns.
struct RawField {
  Bytes bytes;             // the field's bytes (fixed or variable part)
  bool present = false;    // false: Null, or a column added after the row was written
  bool boolValue = false;  // Yes/No columns: their value lives in the null mask
};

struct RawRow {
  std::vector<RawField> fields;
};

RawRow splitRow(const Format& f, const TableDef& def, Bytes row);
// The same into `raw`, whose room serves again: a loop over many rows allocates nothing. With
// `only`, just the columns it marks are split and the others read as absent; the row's offset
// table is checked whole all the same.
void splitRow(const Format& f, const TableDef& def, Bytes row, RawRow& raw, const std::vector<bool>* only = nullptr);

// Interprets one field; long values are read through the file.
Value decodeField(PageFile& file, const Format& f, const Column& c, const RawRow& raw, size_t index);
std::vector<Value> decodeRow(PageFile& file, const Format& f, const TableDef& def, Bytes row);

// Builds the bytes of a row from values already converted to the columns' types. Memo and OLE
// fields are given as the bytes the row keeps for them (see writeLongValue), as Binary values.
std::string encodeRow(const Format& f, const TableDef& def, const std::vector<Value>& values);
// The same for a changed row: a column without a value keeps the bytes its field has in `kept`
// (the row as stored) as they stand, undecoded.
std::string encodeRow(const Format& f, const TableDef& def, const std::vector<std::optional<Value>>& values,
                      const RawRow& kept);

// The plain bytes of a fixed-size value as the row stores it.
std::string encodeFixed(const Format& f, const Column& c, const Value& v);
// Text as the column stores it: UTF-16 in Jet 4 (compressed when the column asks for it), code
// page 1252 in Jet 3, where a character that code page lacks is refused (kConversion).
std::string encodeText(const Format& f, const Column& c, const std::string& utf8);
// Refuses text that cannot be stored at all (broken UTF-8, characters the code page lacks),
// before anything else judges a row's values.
void requireStorableText(const Format& f, const Column& c, const Value& v);

// Formats a GUID's 16 bytes as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
std::string formatGuid(Bytes b);
std::string parseGuid(const std::string& text);
// A Numeric (decimal) value's 17 bytes as plain digits with the column's scale.
std::string formatDecimal(Bytes b, int scale);
// The 17 bytes a Numeric field stores for a decimal's text (as values read back: "-12.3400").
std::string encodeDecimal(const Column& c, const std::string& text);

}  // namespace jet
