// Records of a Jw_cad drawing: the entities with their common attribute
// block, block definitions, the drawing-order list, the block tree and the
// header tables. The figure document uses the same entity records.
//
// Vocabulary (romanised Japanese): Sen line, Enko arc, Ten point, Moji text,
// Sunpo dimension, Kariten temporary point, Bairitsu scale, Kaku angle,
// Hankei radius, Zahyo coordinates, Kijun reference.
//
// Records are natural C++ structures; the on-disk byte layouts (packed,
// little-endian) are read and written field by field in EntityRecords.cpp.
// Coordinates are millimetres on the drawing; rad* are radians, deg* degrees.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "util/LargeArray.h"

namespace talvine {

// Kinds of the drawing-order list (TEntJwwNo::EntType).
enum EntKind : int32_t {
    kEntNone = 0,
    kEntLine = 1,
    kEntEnko = 2,
    kEntTen = 3,
    kEntMoji = 4,
    kEntSunpo = 5,
    kEntSolid = 6,
    kEntBlock = 7,
};
// Kind passed to AttrOut for the attribute block of a block definition.
constexpr int kAttrKindBlockDef = 8;

// Common attribute block that opens every entity (15 bytes on disk; 13 up to
// version 350, without nPenWidth).
struct TEntJwwAttr {
    uint32_t lGroup = 0;     // group number
    uint8_t nPenStyle = 0;   // line type; 100 on a point marks a symbol point
    uint16_t nPenColor = 0;  // 1-9 standard pens, 101-356 extended colours; 10 on a solid: own RGB
    uint16_t nPenWidth = 0;  // 1/100 mm, 0 = width of the pen colour
    uint16_t nLayer = 0;     // layer within the group, 0-15
    uint16_t nGLayer = 0;    // layer group, 0-15
    uint16_t sFlg = 0;       // flags, carried through
    bool operator==(const TEntJwwAttr&) const = default;
};

struct TEntJwwLine {  // line (Sen)
    TEntJwwAttr att;
    double start_x = 0, start_y = 0, end_x = 0, end_y = 0;
    bool operator==(const TEntJwwLine&) const = default;
};

struct TEntJwwEnko {  // arc, circle or elliptic arc (Enko)
    TEntJwwAttr att;
    double start_x = 0, start_y = 0;  // centre
    double dHankei = 0;               // radius
    double radKaishiKaku = 0;         // start angle
    double radEnkoKaku = 0;           // swept angle
    double radKatamukiKaku = 0;       // tilt of the major axis
    double dHenpeiRitsu = 0;          // flattening ratio
    uint32_t bZenEnFlg = 0;           // non-zero: full circle or ellipse
    bool operator==(const TEntJwwEnko&) const = default;
};

struct TEntJwwTen {  // point (Ten)
    TEntJwwAttr att;
    double start_x = 0, start_y = 0;
    uint32_t bKariten = 0;  // 1 = temporary point (Kariten)
    // The symbol fields are meaningful and stored only when att.nPenStyle is 100.
    uint32_t nCode = 0;
    double radKaitenKaku = 0;
    double dBairitsu = 0;
    bool operator==(const TEntJwwTen&) const = default;
};

struct TEntJwwMoji {  // text (Moji)
    TEntJwwAttr att;
    double start_x = 0, start_y = 0;  // reference point
    double end_x = 0, end_y = 0;      // end of the text run
    uint32_t nMojiShu = 0;            // text style; modulo 100 the text type
    double dSizeX = 0, dSizeY = 0;    // character width and height
    double dKankaku = 0;              // character spacing
    double degKakudo = 0;             // direction
    std::u16string strFontName;
    std::u16string str;
    bool operator==(const TEntJwwMoji&) const = default;
};

struct TEntJwwSunpo {  // dimension (Sunpo)
    TEntJwwAttr att;
    TEntJwwLine Sen;         // dimension line
    TEntJwwMoji Moji;        // dimension text
    uint16_t bSxfMode = 0;   // non-zero: SXF dimension, the parts below count
    TEntJwwLine Ho1, Ho2;    // extension lines
    TEntJwwTen Te1, Te2;     // end points
    TEntJwwTen Kt1, Kt2;     // reference points
    bool operator==(const TEntJwwSunpo&) const = default;
};

struct TEntJwwSolid {  // filled area
    TEntJwwAttr att;
    double start_x = 0, start_y = 0, end_x = 0, end_y = 0;
    double DPoint2_x = 0, DPoint2_y = 0, DPoint3_x = 0, DPoint3_y = 0;
    uint32_t Color = 0;  // RGB, stored only when att.nPenColor is 10
    bool operator==(const TEntJwwSolid&) const = default;
};

struct TEntJwwBlock {  // block insert
    TEntJwwAttr att;
    double DPKijunTen_x = 0, DPKijunTen_y = 0;  // insertion point
    double dBairitsuX = 0, dBairitsuY = 0;      // scale factors
    double radKaitenKaku = 0;                   // rotation
    uint32_t nNumber = 0;                       // number of the definition placed
    bool operator==(const TEntJwwBlock&) const = default;
};

struct TEntJwwNo {  // drawing-order entry
    int32_t EntType = 0;  // EntKind
    int32_t EntNo = 0;    // index into the array of that kind
    bool operator==(const TEntJwwNo&) const = default;
};

// A block definition: a numbered, named group of entities with lists of its
// own. ref_flag and ref_no are derived by MakeBlockTree.
struct TEntJwwBlockDef {
    TEntJwwAttr att;
    uint32_t nNumber = 0;
    uint32_t bRefferd = 0;  // referenced flag as stored
    uint32_t dtime = 0;     // creation stamp as stored
    std::u16string strName;
    int32_t N = 0;  // number of member entries in mNo
    TArray<TEntJwwNo> mNo;
    int32_t mLineN = 0, mEnkoN = 0, mTenN = 0, mMojiN = 0, mSunpoN = 0, mSolidN = 0, mBlockN = 0;
    TArray<TEntJwwLine> mLine;
    TArray<TEntJwwEnko> mEnko;
    TArray<TEntJwwTen> mTen;
    TArray<TEntJwwMoji> mMoji;
    TArray<TEntJwwSunpo> mSunpo;
    TArray<TEntJwwSolid> mSolid;
    TArray<TEntJwwBlock> mBlock;
    bool ref_flag = false;
    int32_t ref_no = -1;
};

// A text held once and shared by every copy. The block tree gives each
// node its definition's name this way: a tree of a million placements of a
// definition with a long name holds that name once, not a million times.
class TSharedName {
public:
    TSharedName() = default;
    explicit TSharedName(std::shared_ptr<const std::u16string> s) : s_(std::move(s)) {}
    const std::u16string& str() const { return s_ ? *s_ : Empty(); }
    operator const std::u16string&() const { return str(); }
    bool empty() const { return str().empty(); }
    friend bool operator==(const TSharedName& a, const TSharedName& b) { return a.str() == b.str(); }
    friend bool operator==(const TSharedName& a, std::u16string_view b) { return a.str() == b; }

private:
    static const std::u16string& Empty() {
        static const std::u16string empty;
        return empty;
    }
    std::shared_ptr<const std::u16string> s_;
};

// One placement of a block definition, with its absolute placement: a
// definition point (X, Y) lands at (x + r1*X + r2*Y, y + r3*X + r4*Y).
struct TEntJwwBlockTree {
    TEntJwwAttr att;
    int32_t level = 0;
    int32_t parent = -1;
    uint32_t no = 0;      // nNumber of the insert
    int32_t defno = -1;   // index into EntBlockDef, -1 when none has that number
    TSharedName name;     // the definition's strName; empty when defno is -1
    double x = 0, y = 0, r1 = 1, r2 = 0, r3 = 0, r4 = 1;
};

// ---- Header tables ------------------------------------------------------

struct TEntJwwLayerGroup {
    int32_t anGLay = 0;        // group state
    int32_t anWriteLay = 0;    // current layer of the group
    double adScale = 0;        // scale denominator
    int32_t anGLayProtect = 0;
    std::u16string aStrGLayName;
    bool operator==(const TEntJwwLayerGroup&) const = default;
};

struct TEntJwwLayer {
    int32_t aanLay = 0;
    int32_t aanLayProtect = 0;
    std::u16string aStrLayName;
    bool operator==(const TEntJwwLayer&) const = default;
};

struct TEntJwwColorNo {
    int32_t aPenColor = 0, anPenWidth = 0, aPrtPenColor = 0, anPrtPenWidth = 0;
    double adPrtTenHankei = 0;
    bool operator==(const TEntJwwColorNo&) const = default;
};

struct TEntJwwColorExNo {
    int32_t aPenColor = 0, anPenWidth = 0;
    std::u16string astrUDColorName;
    int32_t aPrtPenColor = 0, anPrtPenWidth = 0;
    double adPrtTenHankei = 0;
    bool operator==(const TEntJwwColorExNo&) const = default;
};

struct TEntJwwLineTypeNo {
    int32_t alLType = 0, anTokushuSenUintDot = 0, anTokushuSenPich = 0, anPrtTokushuSenPich = 0;
    bool operator==(const TEntJwwLineTypeNo&) const = default;
};

struct TEntJwwRandomLineNo {
    int32_t alLType = 0, anRandSenWide = 0, anTokushuSenPich = 0, anPrtRandSenWide = 0,
            anPrtTokushuSenPich = 0;
    bool operator==(const TEntJwwRandomLineNo&) const = default;
};

struct TEntJwwLineTypeExNo {
    int32_t alLType = 0, anTokushuSenUintDot = 0, anTokushuSenPich = 0, anPrtTokushuSenPich = 0;
    std::u16string astrUDLTypeName;
    int32_t anUDLTypeSegment = 0;
    double aadUDLTypePitch[11] = {};  // indexed 1..10
    bool operator==(const TEntJwwLineTypeExNo&) const = default;
};

struct TEntJwwMojiType {
    double adMojiX = 0, adMojiY = 0, adMojiD = 0;
    int32_t anMojiCol = 0;
    bool operator==(const TEntJwwMojiType&) const = default;
};

// One bound image.
struct TBindImageType {
    std::u16string Fname;  // file name as stored, without folder
    int32_t Fsize = 0;     // size in bytes as stored
    bool exf = false;      // selected for writing (writer only)
    bool operator==(const TBindImageType&) const = default;
};

}  // namespace talvine
