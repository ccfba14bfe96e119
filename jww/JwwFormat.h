// Magic texts, class names and version thresholds of the Jw_cad archive
// formats, shared by every reader and writer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvine::fmt {

inline constexpr char kJwwMagic[] = "JwwData.";  // 8 bytes, no terminator on disk
inline constexpr size_t kJwwMagicLen = 8;
inline constexpr char kJwsMagic[] = "JwsData";   // 7 bytes, no terminator on disk
inline constexpr size_t kJwsMagicLen = 7;
inline constexpr size_t kJwsFillerSize = 193;  // after the magic, before the version

inline constexpr int kJwwMinVersion = 220;
inline constexpr int kJwsMinVersion = 230;
inline constexpr int kMaxVersion = 700;

// A field is present from the version named on (version >= threshold).
inline constexpr int kVer223 = 223;  // drawing time and eye position
inline constexpr int kVer225 = 225;  // dimension settings
inline constexpr int kVer230 = 230;  // solid colour
inline constexpr int kVer231 = 231;  // eight zoom jumps and the dDm block
inline constexpr int kVer300 = 300;  // sky-view settings
inline constexpr int kVer351 = 351;  // pen width in every attribute block
inline constexpr int kVer420 = 420;  // SXF tables and SXF dimensions
inline constexpr int kVer600 = 600;  // print resolution stored with the print flag
inline constexpr int kVer700 = 700;  // bound images

// Class names of the object lists, indexed by EntKind (1..7).
inline constexpr const char* kClassNames[8] = {
    nullptr, "CDataSen", "CDataEnko", "CDataTen", "CDataMoji", "CDataSunpou", "CDataSolid", "CDataBlock",
};
inline constexpr const char kBlockDefClass[] = "CDataList";

// Class tags.
inline constexpr uint16_t kTagNewClass = 0xFFFF;
inline constexpr uint16_t kTagLongRef = 0x7FFF;
inline constexpr uint16_t kTagClassRef = 0x8000;
inline constexpr uint32_t kLongRefBit = 0x80000000u;

// Size of the scratch buffer through which class names are decoded and
// image files are copied.
inline constexpr size_t kScratchSize = 2048;

// Error texts raised inside the readers and writers.
inline constexpr char kErrJwwHeader[] = "JWW-Header Error";
inline constexpr char kErrJwwVersion[] = "JWW-Version Error";
inline constexpr char kErrJwsHeader[] = "JWS-Header Error";
inline constexpr char kErrJwsVersion[] = "JWS-Version Error";
inline constexpr char kErrIo[] = "File I/O Error";
inline constexpr char kErrTooComplex[] = "Block structure too complex";
inline constexpr char kErrNoMemory[] = "Out of memory";

// Fixed part of each entity record for version >= 351 (attribute block
// included); two bytes less up to version 350.
inline constexpr size_t kAttrSize = 15;
inline constexpr size_t kAttrSizeOld = 13;
inline constexpr size_t kLineSize = 47;
inline constexpr size_t kEnkoSize = 75;
inline constexpr size_t kTenSize = 35;       // + 20 for a symbol point
inline constexpr size_t kTenSymbolSize = 20;
inline constexpr size_t kMojiFixedSize = 83;  // + two strings
inline constexpr size_t kSolidSize = 79;      // + 4 for an own colour
inline constexpr size_t kBlockSize = 59;
inline constexpr size_t kBlockDefHeadSize = 27;

inline constexpr uint8_t kPenStyleSymbolPoint = 100;
inline constexpr uint16_t kPenColorOwnRgb = 10;

}  // namespace talvine::fmt
