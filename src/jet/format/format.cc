#include "jet/format/format.h"

namespace jet {

const Format kJet3 = {
    /*jet4*/ false, /*pageSize*/ 2048,
    /*dataRowCount*/ 0x08, /*dataRowOffsets*/ 0x0A, /*dataFreeSpace*/ 0x02,
    /*tdefRowCount*/ 0x0C, /*tdefAutoNumber*/ 0x10, /*tdefTableType*/ 0x14, /*tdefMaxCols*/ 0x15,
    /*tdefVarCols*/ 0x17, /*tdefNumCols*/ 0x19, /*tdefNumIndexes*/ 0x1B, /*tdefNumRealIndexes*/ 0x1F,
    /*tdefUsedPages*/ 0x23, /*tdefFreePages*/ 0x27, /*tdefIndexStart*/ 0x2B, /*realIndexCountSize*/ 8,
    /*columnSize*/ 18, /*colType*/ 0, /*colNumber*/ 1, /*colVarIndex*/ 3, /*colMisc*/ 7, /*colFlags*/ 13,
    /*colFixedOffset*/ 14, /*colSize*/ 16,
    /*realIndexSize*/ 39, /*logicalIndexSize*/ 20,
    /*indexPrev*/ 0x08, /*indexNext*/ 0x0C, /*indexTail*/ 0x10, /*indexPrefixLength*/ 0x14, /*indexPrefixLengthSize*/ 1,
    /*indexBitmask*/ 0x16, /*indexEntries*/ 0xF8,
    /*rowColumnCountSize*/ 1, /*rowOffsetSize*/ 1, /*rowListsEveryOffset*/ true,
    /*textBytesPerChar*/ 1,
};

const Format kJet4 = {
    /*jet4*/ true, /*pageSize*/ 4096,
    /*dataRowCount*/ 0x0C, /*dataRowOffsets*/ 0x0E, /*dataFreeSpace*/ 0x02,
    /*tdefRowCount*/ 0x10, /*tdefAutoNumber*/ 0x14, /*tdefTableType*/ 0x28, /*tdefMaxCols*/ 0x29,
    /*tdefVarCols*/ 0x2B, /*tdefNumCols*/ 0x2D, /*tdefNumIndexes*/ 0x2F, /*tdefNumRealIndexes*/ 0x33,
    /*tdefUsedPages*/ 0x37, /*tdefFreePages*/ 0x3B, /*tdefIndexStart*/ 0x3F, /*realIndexCountSize*/ 12,
    /*columnSize*/ 25, /*colType*/ 0, /*colNumber*/ 5, /*colVarIndex*/ 7, /*colMisc*/ 11, /*colFlags*/ 15,
    /*colFixedOffset*/ 21, /*colSize*/ 23,
    /*realIndexSize*/ 52, /*logicalIndexSize*/ 28,
    /*indexPrev*/ 0x0C, /*indexNext*/ 0x10, /*indexTail*/ 0x14, /*indexPrefixLength*/ 0x18, /*indexPrefixLengthSize*/ 2,
    /*indexBitmask*/ 0x1B, /*indexEntries*/ 0x1E0,
    /*rowColumnCountSize*/ 2, /*rowOffsetSize*/ 2, /*rowListsEveryOffset*/ false,
    /*textBytesPerChar*/ 2,
};

}  // namespace jet
