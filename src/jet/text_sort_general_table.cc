// Character codes of the Jet 4 "General" text sort order (1033, version 0).
// Data only; the key assembly lives in text_sort_general.cc.

#include "jet/text_sort_general_table.h"

#include <algorithm>
#include <iterator>

namespace jet {
namespace {

using Kind = GeneralSortCode::Kind;

// U+0000 .. U+00FF, indexed by code point.
constexpr GeneralSortCode kLatin1[256] = {
    {Kind::kIgnored, "", ""},  // U+0000
    {Kind::kUnprintable, "\x03", ""},  // U+0001
    {Kind::kUnprintable, "\x04", ""},  // U+0002
    {Kind::kUnprintable, "\x05", ""},  // U+0003
    {Kind::kUnprintable, "\x06", ""},  // U+0004
    {Kind::kUnprintable, "\x07", ""},  // U+0005
    {Kind::kUnprintable, "\x08", ""},  // U+0006
    {Kind::kUnprintable, "\x09", ""},  // U+0007
    {Kind::kUnprintable, "\x0A", ""},  // U+0008
    {Kind::kSimple, "\x08\x03", ""},  // U+0009
    {Kind::kSimple, "\x08\x04", ""},  // U+000A
    {Kind::kSimple, "\x08\x05", ""},  // U+000B
    {Kind::kSimple, "\x08\x06", ""},  // U+000C
    {Kind::kSimple, "\x08\x07", ""},  // U+000D
    {Kind::kUnprintable, "\x0B", ""},  // U+000E
    {Kind::kUnprintable, "\x0C", ""},  // U+000F
    {Kind::kUnprintable, "\x0D", ""},  // U+0010
    {Kind::kUnprintable, "\x0E", ""},  // U+0011
    {Kind::kUnprintable, "\x0F", ""},  // U+0012
    {Kind::kUnprintable, "\x10", ""},  // U+0013
    {Kind::kUnprintable, "\x11", ""},  // U+0014
    {Kind::kUnprintable, "\x12", ""},  // U+0015
    {Kind::kUnprintable, "\x13", ""},  // U+0016
    {Kind::kUnprintable, "\x14", ""},  // U+0017
    {Kind::kUnprintable, "\x15", ""},  // U+0018
    {Kind::kUnprintable, "\x16", ""},  // U+0019
    {Kind::kUnprintable, "\x17", ""},  // U+001A
    {Kind::kUnprintable, "\x18", ""},  // U+001B
    {Kind::kUnprintable, "\x19", ""},  // U+001C
    {Kind::kUnprintable, "\x1A", ""},  // U+001D
    {Kind::kUnprintable, "\x1B", ""},  // U+001E
    {Kind::kUnprintable, "\x1C", ""},  // U+001F
    {Kind::kSimple, "\x07", ""},  // U+0020
    {Kind::kSimple, "\x09", ""},  // U+0021 !
    {Kind::kSimple, "\x0A", ""},  // U+0022 "
    {Kind::kSimple, "\x0C", ""},  // U+0023 #
    {Kind::kSimple, "\x0E", ""},  // U+0024 $
    {Kind::kSimple, "\x10", ""},  // U+0025 %
    {Kind::kSimple, "\x12", ""},  // U+0026 &
    {Kind::kUnprintable, "\x80", ""},  // U+0027 '
    {Kind::kSimple, "\x14", ""},  // U+0028 (
    {Kind::kSimple, "\x16", ""},  // U+0029 )
    {Kind::kSimple, "\x18", ""},  // U+002A *
    {Kind::kSimple, "\x2C", ""},  // U+002B +
    {Kind::kSimple, "\x1A", ""},  // U+002C ,
    {Kind::kUnprintable, "\x82", ""},  // U+002D -
    {Kind::kSimple, "\x1C", ""},  // U+002E .
    {Kind::kSimple, "\x1E", ""},  // U+002F /
    {Kind::kSimple, "\x36", ""},  // U+0030 0
    {Kind::kSimple, "\x38", ""},  // U+0031 1
    {Kind::kSimple, "\x3A", ""},  // U+0032 2
    {Kind::kSimple, "\x3C", ""},  // U+0033 3
    {Kind::kSimple, "\x3E", ""},  // U+0034 4
    {Kind::kSimple, "\x40", ""},  // U+0035 5
    {Kind::kSimple, "\x42", ""},  // U+0036 6
    {Kind::kSimple, "\x44", ""},  // U+0037 7
    {Kind::kSimple, "\x46", ""},  // U+0038 8
    {Kind::kSimple, "\x48", ""},  // U+0039 9
    {Kind::kSimple, "\x20", ""},  // U+003A :
    {Kind::kSimple, "\x22", ""},  // U+003B ;
    {Kind::kSimple, "\x2E", ""},  // U+003C <
    {Kind::kSimple, "\x30", ""},  // U+003D =
    {Kind::kSimple, "\x32", ""},  // U+003E >
    {Kind::kSimple, "\x24", ""},  // U+003F ?
    {Kind::kSimple, "\x26", ""},  // U+0040 @
    {Kind::kSimple, "\x4A", ""},  // U+0041 A
    {Kind::kSimple, "\x4C", ""},  // U+0042 B
    {Kind::kSimple, "\x4D", ""},  // U+0043 C
    {Kind::kSimple, "\x4F", ""},  // U+0044 D
    {Kind::kSimple, "\x51", ""},  // U+0045 E
    {Kind::kSimple, "\x53", ""},  // U+0046 F
    {Kind::kSimple, "\x55", ""},  // U+0047 G
    {Kind::kSimple, "\x57", ""},  // U+0048 H
    {Kind::kSimple, "\x59", ""},  // U+0049 I
    {Kind::kSimple, "\x5B", ""},  // U+004A J
    {Kind::kSimple, "\x5C", ""},  // U+004B K
    {Kind::kSimple, "\x5E", ""},  // U+004C L
    {Kind::kSimple, "\x60", ""},  // U+004D M
    {Kind::kSimple, "\x62", ""},  // U+004E N
    {Kind::kSimple, "\x64", ""},  // U+004F O
    {Kind::kSimple, "\x66", ""},  // U+0050 P
    {Kind::kSimple, "\x68", ""},  // U+0051 Q
    {Kind::kSimple, "\x69", ""},  // U+0052 R
    {Kind::kSimple, "\x6B", ""},  // U+0053 S
    {Kind::kSimple, "\x6D", ""},  // U+0054 T
    {Kind::kSimple, "\x6F", ""},  // U+0055 U
    {Kind::kSimple, "\x71", ""},  // U+0056 V
    {Kind::kSimple, "\x73", ""},  // U+0057 W
    {Kind::kSimple, "\x75", ""},  // U+0058 X
    {Kind::kSimple, "\x76", ""},  // U+0059 Y
    {Kind::kSimple, "\x78", ""},  // U+005A Z
    {Kind::kSimple, "\x27", ""},  // U+005B [
    {Kind::kSimple, "\x29", ""},  // U+005C
    {Kind::kSimple, "\x2A", ""},  // U+005D ]
    {Kind::kSimple, "\x2B\x02", ""},  // U+005E ^
    {Kind::kSimple, "\x2B\x03", ""},  // U+005F _
    {Kind::kSimple, "\x2B\x07", ""},  // U+0060 `
    {Kind::kSimple, "\x4A", ""},  // U+0061 a
    {Kind::kSimple, "\x4C", ""},  // U+0062 b
    {Kind::kSimple, "\x4D", ""},  // U+0063 c
    {Kind::kSimple, "\x4F", ""},  // U+0064 d
    {Kind::kSimple, "\x51", ""},  // U+0065 e
    {Kind::kSimple, "\x53", ""},  // U+0066 f
    {Kind::kSimple, "\x55", ""},  // U+0067 g
    {Kind::kSimple, "\x57", ""},  // U+0068 h
    {Kind::kSimple, "\x59", ""},  // U+0069 i
    {Kind::kSimple, "\x5B", ""},  // U+006A j
    {Kind::kSimple, "\x5C", ""},  // U+006B k
    {Kind::kSimple, "\x5E", ""},  // U+006C l
    {Kind::kSimple, "\x60", ""},  // U+006D m
    {Kind::kSimple, "\x62", ""},  // U+006E n
    {Kind::kSimple, "\x64", ""},  // U+006F o
    {Kind::kSimple, "\x66", ""},  // U+0070 p
    {Kind::kSimple, "\x68", ""},  // U+0071 q
    {Kind::kSimple, "\x69", ""},  // U+0072 r
    {Kind::kSimple, "\x6B", ""},  // U+0073 s
    {Kind::kSimple, "\x6D", ""},  // U+0074 t
    {Kind::kSimple, "\x6F", ""},  // U+0075 u
    {Kind::kSimple, "\x71", ""},  // U+0076 v
    {Kind::kSimple, "\x73", ""},  // U+0077 w
    {Kind::kSimple, "\x75", ""},  // U+0078 x
    {Kind::kSimple, "\x76", ""},  // U+0079 y
    {Kind::kSimple, "\x78", ""},  // U+007A z
    {Kind::kSimple, "\x2B\x09", ""},  // U+007B {
    {Kind::kSimple, "\x2B\x0B", ""},  // U+007C |
    {Kind::kSimple, "\x2B\x0D", ""},  // U+007D }
    {Kind::kSimple, "\x2B\x0F", ""},  // U+007E ~
    {Kind::kUnprintable, "\x1D", ""},  // U+007F
    {Kind::kUnprintable, "\x1E", ""},  // U+0080
    {Kind::kUnprintable, "\x1F", ""},  // U+0081
    {Kind::kUnprintable, "\x20", ""},  // U+0082
    {Kind::kUnprintable, "\x21", ""},  // U+0083
    {Kind::kUnprintable, "\x22", ""},  // U+0084
    {Kind::kUnprintable, "\x23", ""},  // U+0085
    {Kind::kUnprintable, "\x24", ""},  // U+0086
    {Kind::kUnprintable, "\x25", ""},  // U+0087
    {Kind::kUnprintable, "\x26", ""},  // U+0088
    {Kind::kUnprintable, "\x27", ""},  // U+0089
    {Kind::kUnprintable, "\x28", ""},  // U+008A
    {Kind::kUnprintable, "\x29", ""},  // U+008B
    {Kind::kUnprintable, "\x2A", ""},  // U+008C
    {Kind::kUnprintable, "\x2B", ""},  // U+008D
    {Kind::kUnprintable, "\x2C", ""},  // U+008E
    {Kind::kUnprintable, "\x2D", ""},  // U+008F
    {Kind::kUnprintable, "\x2E", ""},  // U+0090
    {Kind::kUnprintable, "\x2F", ""},  // U+0091
    {Kind::kUnprintable, "\x30", ""},  // U+0092
    {Kind::kUnprintable, "\x31", ""},  // U+0093
    {Kind::kUnprintable, "\x32", ""},  // U+0094
    {Kind::kUnprintable, "\x33", ""},  // U+0095
    {Kind::kUnprintable, "\x34", ""},  // U+0096
    {Kind::kUnprintable, "\x35", ""},  // U+0097
    {Kind::kUnprintable, "\x36", ""},  // U+0098
    {Kind::kUnprintable, "\x37", ""},  // U+0099
    {Kind::kUnprintable, "\x38", ""},  // U+009A
    {Kind::kUnprintable, "\x39", ""},  // U+009B
    {Kind::kUnprintable, "\x3A", ""},  // U+009C
    {Kind::kUnprintable, "\x3B", ""},  // U+009D
    {Kind::kUnprintable, "\x3C", ""},  // U+009E
    {Kind::kUnprintable, "\x3D", ""},  // U+009F
    {Kind::kSimple, "\x08\x02", ""},  // U+00A0
    {Kind::kSimple, "\x2B\x10", ""},  // U+00A1 ¡
    {Kind::kSimple, "\x34\xA6", ""},  // U+00A2 ¢
    {Kind::kSimple, "\x34\xA7", ""},  // U+00A3 £
    {Kind::kSimple, "\x34\xA8", ""},  // U+00A4 ¤
    {Kind::kSimple, "\x34\xA9", ""},  // U+00A5 ¥
    {Kind::kSimple, "\x2B\x11", ""},  // U+00A6 ¦
    {Kind::kSimple, "\x34\xAA", ""},  // U+00A7 §
    {Kind::kSimple, "\x2B\x12", ""},  // U+00A8 ¨
    {Kind::kSimple, "\x34\xAB", ""},  // U+00A9 ©
    {Kind::kAccented, "\x4A", "\x03"},  // U+00AA ª
    {Kind::kSimple, "\x33\x05", ""},  // U+00AB «
    {Kind::kSimple, "\x34\xAC", ""},  // U+00AC ¬
    {Kind::kUnprintable, "\x83", ""},  // U+00AD
    {Kind::kSimple, "\x34\xAD", ""},  // U+00AE ®
    {Kind::kSimple, "\x2B\x13", ""},  // U+00AF ¯
    {Kind::kSimple, "\x34\xAE", ""},  // U+00B0 °
    {Kind::kSimple, "\x33\x04", ""},  // U+00B1 ±
    {Kind::kSimple, "\x3A", ""},  // U+00B2 ²
    {Kind::kSimple, "\x3C", ""},  // U+00B3 ³
    {Kind::kSimple, "\x2B\x14", ""},  // U+00B4 ´
    {Kind::kSimple, "\x34\xAF", ""},  // U+00B5 µ
    {Kind::kSimple, "\x34\xB0", ""},  // U+00B6 ¶
    {Kind::kSimple, "\x34\xB1", ""},  // U+00B7 ·
    {Kind::kSimple, "\x2B\x15", ""},  // U+00B8 ¸
    {Kind::kSimple, "\x38", ""},  // U+00B9 ¹
    {Kind::kAccented, "\x64", "\x03"},  // U+00BA º
    {Kind::kSimple, "\x33\x07", ""},  // U+00BB »
    {Kind::kSimple, "\x37\x12", ""},  // U+00BC ¼
    {Kind::kSimple, "\x37\x16", ""},  // U+00BD ½
    {Kind::kSimple, "\x37\x1A", ""},  // U+00BE ¾
    {Kind::kSimple, "\x2B\x16", ""},  // U+00BF ¿
    {Kind::kAccented, "\x4A", "\x0F"},  // U+00C0 À
    {Kind::kAccented, "\x4A", "\x0E"},  // U+00C1 Á
    {Kind::kAccented, "\x4A", "\x12"},  // U+00C2 Â
    {Kind::kAccented, "\x4A", "\x19"},  // U+00C3 Ã
    {Kind::kAccented, "\x4A", "\x13"},  // U+00C4 Ä
    {Kind::kAccented, "\x4A", "\x1A"},  // U+00C5 Å
    {Kind::kSimple, "\x4A\x51", ""},  // U+00C6 Æ
    {Kind::kAccented, "\x4D", "\x1C"},  // U+00C7 Ç
    {Kind::kAccented, "\x51", "\x0F"},  // U+00C8 È
    {Kind::kAccented, "\x51", "\x0E"},  // U+00C9 É
    {Kind::kAccented, "\x51", "\x12"},  // U+00CA Ê
    {Kind::kAccented, "\x51", "\x13"},  // U+00CB Ë
    {Kind::kAccented, "\x59", "\x0F"},  // U+00CC Ì
    {Kind::kAccented, "\x59", "\x0E"},  // U+00CD Í
    {Kind::kAccented, "\x59", "\x12"},  // U+00CE Î
    {Kind::kAccented, "\x59", "\x13"},  // U+00CF Ï
    {Kind::kAccented, "\x4F", "\x68"},  // U+00D0 Ð
    {Kind::kAccented, "\x62", "\x19"},  // U+00D1 Ñ
    {Kind::kAccented, "\x64", "\x0F"},  // U+00D2 Ò
    {Kind::kAccented, "\x64", "\x0E"},  // U+00D3 Ó
    {Kind::kAccented, "\x64", "\x12"},  // U+00D4 Ô
    {Kind::kAccented, "\x64", "\x19"},  // U+00D5 Õ
    {Kind::kAccented, "\x64", "\x13"},  // U+00D6 Ö
    {Kind::kSimple, "\x33\x09", ""},  // U+00D7 ×
    {Kind::kAccented, "\x64", "\x21"},  // U+00D8 Ø
    {Kind::kAccented, "\x6F", "\x0F"},  // U+00D9 Ù
    {Kind::kAccented, "\x6F", "\x0E"},  // U+00DA Ú
    {Kind::kAccented, "\x6F", "\x12"},  // U+00DB Û
    {Kind::kAccented, "\x6F", "\x13"},  // U+00DC Ü
    {Kind::kAccented, "\x76", "\x0E"},  // U+00DD Ý
    {Kind::kSimple, "\x6D\x57", ""},  // U+00DE Þ
    {Kind::kSimple, "\x6B\x6B", ""},  // U+00DF ß
    {Kind::kAccented, "\x4A", "\x0F"},  // U+00E0 à
    {Kind::kAccented, "\x4A", "\x0E"},  // U+00E1 á
    {Kind::kAccented, "\x4A", "\x12"},  // U+00E2 â
    {Kind::kAccented, "\x4A", "\x19"},  // U+00E3 ã
    {Kind::kAccented, "\x4A", "\x13"},  // U+00E4 ä
    {Kind::kAccented, "\x4A", "\x1A"},  // U+00E5 å
    {Kind::kSimple, "\x4A\x51", ""},  // U+00E6 æ
    {Kind::kAccented, "\x4D", "\x1C"},  // U+00E7 ç
    {Kind::kAccented, "\x51", "\x0F"},  // U+00E8 è
    {Kind::kAccented, "\x51", "\x0E"},  // U+00E9 é
    {Kind::kAccented, "\x51", "\x12"},  // U+00EA ê
    {Kind::kAccented, "\x51", "\x13"},  // U+00EB ë
    {Kind::kAccented, "\x59", "\x0F"},  // U+00EC ì
    {Kind::kAccented, "\x59", "\x0E"},  // U+00ED í
    {Kind::kAccented, "\x59", "\x12"},  // U+00EE î
    {Kind::kAccented, "\x59", "\x13"},  // U+00EF ï
    {Kind::kAccented, "\x4F", "\x68"},  // U+00F0 ð
    {Kind::kAccented, "\x62", "\x19"},  // U+00F1 ñ
    {Kind::kAccented, "\x64", "\x0F"},  // U+00F2 ò
    {Kind::kAccented, "\x64", "\x0E"},  // U+00F3 ó
    {Kind::kAccented, "\x64", "\x12"},  // U+00F4 ô
    {Kind::kAccented, "\x64", "\x19"},  // U+00F5 õ
    {Kind::kAccented, "\x64", "\x13"},  // U+00F6 ö
    {Kind::kSimple, "\x33\x0A", ""},  // U+00F7 ÷
    {Kind::kAccented, "\x64", "\x21"},  // U+00F8 ø
    {Kind::kAccented, "\x6F", "\x0F"},  // U+00F9 ù
    {Kind::kAccented, "\x6F", "\x0E"},  // U+00FA ú
    {Kind::kAccented, "\x6F", "\x12"},  // U+00FB û
    {Kind::kAccented, "\x6F", "\x13"},  // U+00FC ü
    {Kind::kAccented, "\x76", "\x0E"},  // U+00FD ý
    {Kind::kSimple, "\x6D\x57", ""},  // U+00FE þ
    {Kind::kAccented, "\x76", "\x13"},  // U+00FF ÿ
};

struct ExtraEntry {
  char32_t ch;
  GeneralSortCode code;
};

// Selected characters above U+00FF: Latin Extended-A, the Windows-1252 extras and
// the General Punctuation block up to U+2046. Sorted by code point.
constexpr ExtraEntry kExtra[] = {
    {0x0100, {Kind::kAccented, "\x4A", "\x17"}},  // Ā
    {0x0101, {Kind::kAccented, "\x4A", "\x17"}},  // ā
    {0x0102, {Kind::kAccented, "\x4A", "\x15"}},  // Ă
    {0x0103, {Kind::kAccented, "\x4A", "\x15"}},  // ă
    {0x0104, {Kind::kAccented, "\x4A", "\x1B"}},  // Ą
    {0x0105, {Kind::kAccented, "\x4A", "\x1B"}},  // ą
    {0x0106, {Kind::kAccented, "\x4D", "\x0E"}},  // Ć
    {0x0107, {Kind::kAccented, "\x4D", "\x0E"}},  // ć
    {0x0108, {Kind::kAccented, "\x4D", "\x12"}},  // Ĉ
    {0x0109, {Kind::kAccented, "\x4D", "\x12"}},  // ĉ
    {0x010A, {Kind::kAccented, "\x4D", "\x10"}},  // Ċ
    {0x010B, {Kind::kAccented, "\x4D", "\x10"}},  // ċ
    {0x010C, {Kind::kAccented, "\x4D", "\x14"}},  // Č
    {0x010D, {Kind::kAccented, "\x4D", "\x14"}},  // č
    {0x010E, {Kind::kAccented, "\x4F", "\x14"}},  // Ď
    {0x010F, {Kind::kAccented, "\x4F", "\x14"}},  // ď
    {0x0110, {Kind::kAccented, "\x4F", "\x1E"}},  // Đ
    {0x0111, {Kind::kAccented, "\x4F", "\x1E"}},  // đ
    {0x0112, {Kind::kAccented, "\x51", "\x17"}},  // Ē
    {0x0113, {Kind::kAccented, "\x51", "\x17"}},  // ē
    {0x0114, {Kind::kAccented, "\x51", "\x15"}},  // Ĕ
    {0x0115, {Kind::kAccented, "\x51", "\x15"}},  // ĕ
    {0x0116, {Kind::kAccented, "\x51", "\x10"}},  // Ė
    {0x0117, {Kind::kAccented, "\x51", "\x10"}},  // ė
    {0x0118, {Kind::kAccented, "\x51", "\x1B"}},  // Ę
    {0x0119, {Kind::kAccented, "\x51", "\x1B"}},  // ę
    {0x011A, {Kind::kAccented, "\x51", "\x14"}},  // Ě
    {0x011B, {Kind::kAccented, "\x51", "\x14"}},  // ě
    {0x011C, {Kind::kAccented, "\x55", "\x12"}},  // Ĝ
    {0x011D, {Kind::kAccented, "\x55", "\x12"}},  // ĝ
    {0x011E, {Kind::kAccented, "\x55", "\x15"}},  // Ğ
    {0x011F, {Kind::kAccented, "\x55", "\x15"}},  // ğ
    {0x0120, {Kind::kAccented, "\x55", "\x10"}},  // Ġ
    {0x0121, {Kind::kAccented, "\x55", "\x10"}},  // ġ
    {0x0122, {Kind::kAccented, "\x55", "\x1C"}},  // Ģ
    {0x0123, {Kind::kAccented, "\x55", "\x1C"}},  // ģ
    {0x0124, {Kind::kAccented, "\x57", "\x12"}},  // Ĥ
    {0x0125, {Kind::kAccented, "\x57", "\x12"}},  // ĥ
    {0x0126, {Kind::kAccented, "\x57", "\x1E"}},  // Ħ
    {0x0127, {Kind::kAccented, "\x57", "\x1E"}},  // ħ
    {0x0128, {Kind::kAccented, "\x59", "\x19"}},  // Ĩ
    {0x0129, {Kind::kAccented, "\x59", "\x19"}},  // ĩ
    {0x012A, {Kind::kAccented, "\x59", "\x17"}},  // Ī
    {0x012B, {Kind::kAccented, "\x59", "\x17"}},  // ī
    {0x012C, {Kind::kAccented, "\x59", "\x15"}},  // Ĭ
    {0x012D, {Kind::kAccented, "\x59", "\x15"}},  // ĭ
    {0x012E, {Kind::kAccented, "\x59", "\x1B"}},  // Į
    {0x012F, {Kind::kAccented, "\x59", "\x1B"}},  // į
    {0x0130, {Kind::kAccented, "\x59", "\x10"}},  // İ
    {0x0131, {Kind::kAccented, "\x59", "\x03"}},  // ı
    {0x0132, {Kind::kSimple, "\x59\x5B", ""}},  // Ĳ
    {0x0133, {Kind::kSimple, "\x59\x5B", ""}},  // ĳ
    {0x0134, {Kind::kAccented, "\x5B", "\x12"}},  // Ĵ
    {0x0135, {Kind::kAccented, "\x5B", "\x12"}},  // ĵ
    {0x0136, {Kind::kAccented, "\x5C", "\x1C"}},  // Ķ
    {0x0137, {Kind::kAccented, "\x5C", "\x1C"}},  // ķ
    {0x0138, {Kind::kAccented, "\x5C", "\x03"}},  // ĸ
    {0x0139, {Kind::kAccented, "\x5E", "\x0E"}},  // Ĺ
    {0x013A, {Kind::kAccented, "\x5E", "\x0E"}},  // ĺ
    {0x013B, {Kind::kAccented, "\x5E", "\x1C"}},  // Ļ
    {0x013C, {Kind::kAccented, "\x5E", "\x1C"}},  // ļ
    {0x013D, {Kind::kAccented, "\x5E", "\x14"}},  // Ľ
    {0x013E, {Kind::kAccented, "\x5E", "\x14"}},  // ľ
    {0x013F, {Kind::kAccented, "\x5E", "\x11"}},  // Ŀ
    {0x0140, {Kind::kAccented, "\x5E", "\x11"}},  // ŀ
    {0x0141, {Kind::kAccented, "\x5E", "\x1F"}},  // Ł
    {0x0142, {Kind::kAccented, "\x5E", "\x1F"}},  // ł
    {0x0143, {Kind::kAccented, "\x62", "\x0E"}},  // Ń
    {0x0144, {Kind::kAccented, "\x62", "\x0E"}},  // ń
    {0x0145, {Kind::kAccented, "\x62", "\x1C"}},  // Ņ
    {0x0146, {Kind::kAccented, "\x62", "\x1C"}},  // ņ
    {0x0147, {Kind::kAccented, "\x62", "\x14"}},  // Ň
    {0x0148, {Kind::kAccented, "\x62", "\x14"}},  // ň
    {0x0149, {Kind::kAccented, "\x62", "\x48"}},  // ŉ
    {0x014A, {Kind::kSimple, "\x63\x05", ""}},  // Ŋ
    {0x014B, {Kind::kSimple, "\x63\x05", ""}},  // ŋ
    {0x014C, {Kind::kAccented, "\x64", "\x17"}},  // Ō
    {0x014D, {Kind::kAccented, "\x64", "\x17"}},  // ō
    {0x014E, {Kind::kAccented, "\x64", "\x15"}},  // Ŏ
    {0x014F, {Kind::kAccented, "\x64", "\x15"}},  // ŏ
    {0x0150, {Kind::kAccented, "\x64", "\x1D"}},  // Ő
    {0x0151, {Kind::kAccented, "\x64", "\x1D"}},  // ő
    {0x0152, {Kind::kSimple, "\x64\x51", ""}},  // Œ
    {0x0153, {Kind::kSimple, "\x64\x51", ""}},  // œ
    {0x0154, {Kind::kAccented, "\x69", "\x0E"}},  // Ŕ
    {0x0155, {Kind::kAccented, "\x69", "\x0E"}},  // ŕ
    {0x0156, {Kind::kAccented, "\x69", "\x1C"}},  // Ŗ
    {0x0157, {Kind::kAccented, "\x69", "\x1C"}},  // ŗ
    {0x0158, {Kind::kAccented, "\x69", "\x14"}},  // Ř
    {0x0159, {Kind::kAccented, "\x69", "\x14"}},  // ř
    {0x015A, {Kind::kAccented, "\x6B", "\x0E"}},  // Ś
    {0x015B, {Kind::kAccented, "\x6B", "\x0E"}},  // ś
    {0x015C, {Kind::kAccented, "\x6B", "\x12"}},  // Ŝ
    {0x015D, {Kind::kAccented, "\x6B", "\x12"}},  // ŝ
    {0x015E, {Kind::kAccented, "\x6B", "\x1C"}},  // Ş
    {0x015F, {Kind::kAccented, "\x6B", "\x1C"}},  // ş
    {0x0160, {Kind::kAccented, "\x6B", "\x14"}},  // Š
    {0x0161, {Kind::kAccented, "\x6B", "\x14"}},  // š
    {0x0162, {Kind::kAccented, "\x6D", "\x1C"}},  // Ţ
    {0x0163, {Kind::kAccented, "\x6D", "\x1C"}},  // ţ
    {0x0164, {Kind::kAccented, "\x6D", "\x14"}},  // Ť
    {0x0165, {Kind::kAccented, "\x6D", "\x14"}},  // ť
    {0x0166, {Kind::kAccented, "\x6E\x06", "\x1E"}},  // Ŧ
    {0x0167, {Kind::kAccented, "\x6E\x06", "\x1E"}},  // ŧ
    {0x0168, {Kind::kAccented, "\x6F", "\x19"}},  // Ũ
    {0x0169, {Kind::kAccented, "\x6F", "\x19"}},  // ũ
    {0x016A, {Kind::kAccented, "\x6F", "\x17"}},  // Ū
    {0x016B, {Kind::kAccented, "\x6F", "\x17"}},  // ū
    {0x016C, {Kind::kAccented, "\x6F", "\x15"}},  // Ŭ
    {0x016D, {Kind::kAccented, "\x6F", "\x15"}},  // ŭ
    {0x016E, {Kind::kAccented, "\x6F", "\x1A"}},  // Ů
    {0x016F, {Kind::kAccented, "\x6F", "\x1A"}},  // ů
    {0x0170, {Kind::kAccented, "\x6F", "\x1D"}},  // Ű
    {0x0171, {Kind::kAccented, "\x6F", "\x1D"}},  // ű
    {0x0172, {Kind::kAccented, "\x6F", "\x1B"}},  // Ų
    {0x0173, {Kind::kAccented, "\x6F", "\x1B"}},  // ų
    {0x0174, {Kind::kAccented, "\x73", "\x12"}},  // Ŵ
    {0x0175, {Kind::kAccented, "\x73", "\x12"}},  // ŵ
    {0x0176, {Kind::kAccented, "\x76", "\x12"}},  // Ŷ
    {0x0177, {Kind::kAccented, "\x76", "\x12"}},  // ŷ
    {0x0178, {Kind::kAccented, "\x76", "\x13"}},  // Ÿ
    {0x0179, {Kind::kAccented, "\x78", "\x0E"}},  // Ź
    {0x017A, {Kind::kAccented, "\x78", "\x0E"}},  // ź
    {0x017B, {Kind::kAccented, "\x78", "\x10"}},  // Ż
    {0x017C, {Kind::kAccented, "\x78", "\x10"}},  // ż
    {0x017D, {Kind::kAccented, "\x78", "\x14"}},  // Ž
    {0x017E, {Kind::kAccented, "\x78", "\x14"}},  // ž
    {0x017F, {Kind::kSimple, "\x6C\x06", ""}},  // ſ
    {0x0192, {Kind::kAccented, "\x53", "\x7B"}},  // ƒ
    {0x02C6, {Kind::kAccented, "\x2B\x02", "\x03"}},  // ˆ
    {0x02DC, {Kind::kSimple, "\x2B\x1C", ""}},  // ˜
    {0x2000, {Kind::kSimple, "\x08\x08", ""}},  // U+2000
    {0x2001, {Kind::kSimple, "\x08\x09", ""}},  // U+2001
    {0x2002, {Kind::kSimple, "\x08\x0A", ""}},  // U+2002
    {0x2003, {Kind::kSimple, "\x08\x0B", ""}},  // U+2003
    {0x2004, {Kind::kSimple, "\x08\x0C", ""}},  // U+2004
    {0x2005, {Kind::kSimple, "\x08\x0D", ""}},  // U+2005
    {0x2006, {Kind::kSimple, "\x08\x0E", ""}},  // U+2006
    {0x2007, {Kind::kSimple, "\x08\x0F", ""}},  // U+2007
    {0x2008, {Kind::kSimple, "\x08\x10", ""}},  // U+2008
    {0x2009, {Kind::kSimple, "\x08\x11", ""}},  // U+2009
    {0x200A, {Kind::kSimple, "\x08\x12", ""}},  // U+200A
    {0x200B, {Kind::kSimple, "\x08\x13", ""}},  // U+200B
    {0x200C, {Kind::kSimple, "\x08\x14", ""}},  // U+200C
    {0x200D, {Kind::kIgnored, "", ""}},  // U+200D
    {0x200E, {Kind::kIgnored, "", ""}},  // U+200E
    {0x200F, {Kind::kIgnored, "", ""}},  // U+200F
    {0x2010, {Kind::kUnprintable, "\x84", ""}},  // ‐
    {0x2011, {Kind::kUnprintable, "\x85", ""}},  // ‑
    {0x2012, {Kind::kUnprintable, "\x88", ""}},  // ‒
    {0x2013, {Kind::kUnprintable, "\x89", ""}},  // –
    {0x2014, {Kind::kUnprintable, "\x8B", ""}},  // —
    {0x2015, {Kind::kUnprintable, "\x8C", ""}},  // ―
    {0x2016, {Kind::kSimple, "\x2B\x35", ""}},  // ‖
    {0x2017, {Kind::kSimple, "\x2B\x36", ""}},  // ‗
    {0x2018, {Kind::kSimple, "\x2B\x37", ""}},  // ‘
    {0x2019, {Kind::kSimple, "\x2B\x38", ""}},  // ’
    {0x201A, {Kind::kSimple, "\x2B\x39", ""}},  // ‚
    {0x201B, {Kind::kSimple, "\x2B\x3A", ""}},  // ‛
    {0x201C, {Kind::kSimple, "\x2B\x3B", ""}},  // “
    {0x201D, {Kind::kSimple, "\x2B\x3C", ""}},  // ”
    {0x201E, {Kind::kSimple, "\x2B\x3D", ""}},  // „
    {0x201F, {Kind::kSimple, "\x2B\x3E", ""}},  // ‟
    {0x2020, {Kind::kSimple, "\x34\xB3", ""}},  // †
    {0x2021, {Kind::kSimple, "\x34\xB4", ""}},  // ‡
    {0x2022, {Kind::kSimple, "\x34\xB5", ""}},  // •
    {0x2023, {Kind::kSimple, "\x34\xB6", ""}},  // ‣
    {0x2024, {Kind::kSimple, "\x34\xB7", ""}},  // ․
    {0x2025, {Kind::kSimple, "\x34\xB8", ""}},  // ‥
    {0x2026, {Kind::kSimple, "\x34\xB9", ""}},  // …
    {0x2027, {Kind::kUnprintable, "\x86", ""}},  // ‧
    {0x2028, {Kind::kSimple, "\x08\x15", ""}},  // U+2028
    {0x2029, {Kind::kSimple, "\x08\x16", ""}},  // U+2029
    {0x202A, {Kind::kIgnored, "", ""}},  // U+202A
    {0x202B, {Kind::kIgnored, "", ""}},  // U+202B
    {0x202C, {Kind::kIgnored, "", ""}},  // U+202C
    {0x202D, {Kind::kIgnored, "", ""}},  // U+202D
    {0x202E, {Kind::kIgnored, "", ""}},  // U+202E
    {0x202F, {Kind::kIgnored, "", ""}},  // U+202F
    {0x2030, {Kind::kSimple, "\x34\xBA", ""}},  // ‰
    {0x2031, {Kind::kSimple, "\x34\xBB", ""}},  // ‱
    {0x2032, {Kind::kSimple, "\x2B\x3F", ""}},  // ′
    {0x2033, {Kind::kSimple, "\x2B\x40", ""}},  // ″
    {0x2034, {Kind::kSimple, "\x2B\x41", ""}},  // ‴
    {0x2035, {Kind::kSimple, "\x2B\x42", ""}},  // ‵
    {0x2036, {Kind::kSimple, "\x2B\x43", ""}},  // ‶
    {0x2037, {Kind::kSimple, "\x2B\x44", ""}},  // ‷
    {0x2038, {Kind::kSimple, "\x2B\x45", ""}},  // ‸
    {0x2039, {Kind::kSimple, "\x2B\x46", ""}},  // ‹
    {0x203A, {Kind::kSimple, "\x2B\x47", ""}},  // ›
    {0x203B, {Kind::kSimple, "\x34\xBC", ""}},  // ※
    {0x203C, {Kind::kSimple, "\x2B\x48", ""}},  // ‼
    {0x203D, {Kind::kSimple, "\x2B\x49", ""}},  // ‽
    {0x203E, {Kind::kSimple, "\x2B\x4A", ""}},  // ‾
    {0x203F, {Kind::kSimple, "\x2B\x4B", ""}},  // ‿
    {0x2040, {Kind::kSimple, "\x34\xBD", ""}},  // ⁀
    {0x2041, {Kind::kSimple, "\x34\xBE", ""}},  // ⁁
    {0x2042, {Kind::kSimple, "\x34\xBF", ""}},  // ⁂
    {0x2043, {Kind::kUnprintable, "\x87", ""}},  // ⁃
    {0x2044, {Kind::kSimple, "\x2D\x05", ""}},  // ⁄
    {0x2045, {Kind::kAccented, "\x27", "\x1C"}},  // ⁅
    {0x2046, {Kind::kAccented, "\x2A", "\x1C"}},  // ⁆
    {0x20AC, {Kind::kSimple, "\x35\xA1", ""}},  // €
    {0x2122, {Kind::kSimple, "\x6E\x04", ""}},  // ™
};

}  // namespace

const GeneralSortCode* generalSortCode(char32_t ch) {
  if (ch < 0x100) return &kLatin1[ch];
  auto it = std::lower_bound(std::begin(kExtra), std::end(kExtra), ch,
                             [](const ExtraEntry& e, char32_t c) { return e.ch < c; });
  if (it == std::end(kExtra) || it->ch != ch) return nullptr;
  return &it->code;
}

}  // namespace jet
