// The properties Access keeps for a table's columns (MSysObjects.LvProp), as far as the engine
// applies them to the rows it stores: Required, AllowZeroLength, DefaultValue, ValidationRule and
// ValidationText (a column's, and the table's own).
//
// A property block starts with "MR2\0" (Jet 4) or "KKD\0" (Jet 3), then chunks:
//   u32 length (the chunk's, with these six bytes), u16 kind;
//   kind 0x80: the property names, each a u16 byte count and the name (UTF-16LE in Jet 4, the
//              file's code page in Jet 3); properties name theirs by position in this list;
//   kind 0x00 (the table's own) or 0x01 (a column's): a u32 length of the part that names the
//              owner, a u16 byte count and the owner's name, then properties, each
//              u16 length (with these eight bytes), u8 flags, u8 value type (the column types:
//              1 Yes/No, 10 Text, 12 Memo, ...), u16 name position, u16 value size, the value.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "jet/base/bytes.h"
#include "jet/format/format.h"

namespace jet {

struct ColumnRules {
  bool required = false;      // Null is refused
  bool noZeroLength = false;  // AllowZeroLength is No: "" is refused in a text or memo column
  std::optional<std::string> defaultValue;  // the expression, as Access keeps it ("0", "=No", ...)
  std::optional<std::string> validationRule;  // an expression ("<Date()", ">=0", "Between 0 And 1")
  std::optional<std::string> validationText;  // the message of a value the rule refuses
};

// The rules of each column named in a property block, by its name as foldCase gives it, and the
// table's own (its ValidationRule and ValidationText) under the empty name. A block
// cut short or of another kind gives the rules read before the damage, or none: properties do
// not decide where data lies, so a damaged block never stops a read.
// Jet 3 names are in `codePage`, the database's.
std::map<std::string, ColumnRules> readColumnRules(Bytes block, const Format& f, uint16_t codePage);

}  // namespace jet
