// A column of a table definition: its type, size and where its value lies in a row.
// Shared by the row codec, the index key encoder and everything above them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace jet {

enum class ColumnType : uint8_t {
  Boolean = 0x01,
  Byte = 0x02,
  Integer = 0x03,   // 16-bit
  Long = 0x04,      // 32-bit
  Currency = 0x05,  // 64-bit, ten-thousandths
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  Ole = 0x0B,
  Memo = 0x0C,
  Guid = 0x0F,      // replication ID
  Numeric = 0x10,   // decimal
};

const char* columnTypeName(ColumnType t);

// Bytes a value of a fixed-length column takes in the fixed area (Yes/No lives in the null mask).
size_t fixedWidth(const struct Column& c);

struct Column {
  std::string name;
  ColumnType type = ColumnType::Long;
  uint16_t number = 0;        // column id, stable across deletions of other columns
  uint16_t varIndex = 0;      // slot in the variable-length offset table
  uint16_t fixedOffset = 0;   // offset of a fixed value from the start of the fixed area
  uint16_t size = 0;          // bytes for fixed columns; maximum bytes for text (2 per char in Jet 4)
  uint8_t flags = 0;          // 0x01 fixed length, 0x02 can be null, 0x04 autonumber, 0x40 GUID autonumber
  uint8_t precision = 0;      // Numeric
  uint8_t scale = 0;          // Numeric
  uint16_t sortOrder = 0;     // text sort order (1033 = General)
  uint16_t codePage = 0;
  bool compressedText = false;  // Jet 4 text stored with Unicode compression
  bool access97 = false;        // of an Access 97 file: code page text, Access 97 text keys
  // From the table's properties (column_properties.h): rules for the values stored.
  bool required = false;
  bool noZeroLength = false;
  std::optional<std::string> defaultValue;
  std::optional<std::string> validationRule, validationText;

  bool fixed() const { return (flags & 0x01) != 0; }
  bool autoNumber() const { return (flags & 0x04) != 0; }
  bool isTextual() const { return type == ColumnType::Text || type == ColumnType::Memo; }
  bool isLongValue() const { return type == ColumnType::Memo || type == ColumnType::Ole; }
  // The characters a text column holds: its size counts code page bytes in Access 97, UTF-16 units after.
  size_t maxChars() const { return access97 ? size : size / 2; }
};

}  // namespace jet
