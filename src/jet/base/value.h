// A typed field value as the engine reads and writes it.
// Text is UTF-8; binary values (OLE, GUID bytes, raw) are kept as bytes.
#pragma once

#include <cstdint>
#include <string>

namespace jet {

struct Value {
  enum class Kind { Null, Boolean, Byte, Integer, Long, Currency, Single, Double, Date, Text, Binary, Guid, Decimal };

  Kind kind = Kind::Null;
  bool b = false;       // Boolean
  int64_t i = 0;        // Byte, Integer, Long; Currency in ten-thousandths
  double d = 0;         // Single, Double; Date as days since 1899-12-30 with the time as fraction
  std::string s;        // Text (UTF-8), Binary (raw bytes), Guid ("{...}"), Decimal (plain digits)

  static Value null() { return {}; }
  static Value boolean(bool v) { Value x; x.kind = Kind::Boolean; x.b = v; return x; }
  static Value byte(uint8_t v) { Value x; x.kind = Kind::Byte; x.i = v; return x; }
  static Value integer(int16_t v) { Value x; x.kind = Kind::Integer; x.i = v; return x; }
  static Value long_(int32_t v) { Value x; x.kind = Kind::Long; x.i = v; return x; }
  static Value currency(int64_t tenThousandths) { Value x; x.kind = Kind::Currency; x.i = tenThousandths; return x; }
  static Value single(float v) { Value x; x.kind = Kind::Single; x.d = v; return x; }
  static Value double_(double v) { Value x; x.kind = Kind::Double; x.d = v; return x; }
  static Value date(double v) { Value x; x.kind = Kind::Date; x.d = v; return x; }
  static Value text(std::string v) { Value x; x.kind = Kind::Text; x.s = std::move(v); return x; }
  static Value binary(std::string v) { Value x; x.kind = Kind::Binary; x.s = std::move(v); return x; }
  static Value guid(std::string v) { Value x; x.kind = Kind::Guid; x.s = std::move(v); return x; }
  static Value decimal(std::string v) { Value x; x.kind = Kind::Decimal; x.s = std::move(v); return x; }

  bool isNull() const { return kind == Kind::Null; }
  bool isNumeric() const {
    return kind == Kind::Boolean || kind == Kind::Byte || kind == Kind::Integer || kind == Kind::Long ||
           kind == Kind::Currency || kind == Kind::Single || kind == Kind::Double || kind == Kind::Date ||
           kind == Kind::Decimal;
  }
  bool operator==(const Value& o) const = default;
};

}  // namespace jet
