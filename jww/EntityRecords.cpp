#include "jww/EntityRecords.h"

#include <cmath>

#include "jww/JwwFormat.h"
#include "util/Func_2.h"

namespace talvine {

namespace {

using R = ArchiveReader;

// Decodes an attribute block at p; returns its size.
size_t DecodeAttr(const uint8_t* p, int ver, TEntJwwAttr& a) {
    a.lGroup = R::LoadU32(p);
    a.nPenStyle = p[4];
    a.nPenColor = R::LoadU16(p + 5);
    size_t o = 7;
    if (ver >= fmt::kVer351) {
        a.nPenWidth = R::LoadU16(p + 7);
        o = 9;
    } else {
        a.nPenWidth = 0;
    }
    a.nLayer = R::LoadU16(p + o);
    a.nGLayer = R::LoadU16(p + o + 2);
    a.sFlg = R::LoadU16(p + o + 4);
    return o + 6;
}

size_t AttrLen(int ver) { return ver >= fmt::kVer351 ? fmt::kAttrSize : fmt::kAttrSizeOld; }
size_t Shrink(int ver) { return fmt::kAttrSize - AttrLen(ver); }

double FiniteOr(double v, double fallback) { return IsFiniteNum(v) ? v : fallback; }

}  // namespace

void ReadLineRec(ArchiveReader& in, int ver, TEntJwwLine& e) {
    const uint8_t* p = in.Take(fmt::kLineSize - Shrink(ver));
    p += DecodeAttr(p, ver, e.att);
    e.start_x = R::LoadF64(p);
    e.start_y = R::LoadF64(p + 8);
    e.end_x = R::LoadF64(p + 16);
    e.end_y = R::LoadF64(p + 24);
}

void ReadEnkoRec(ArchiveReader& in, int ver, TEntJwwEnko& e) {
    const uint8_t* p = in.Take(fmt::kEnkoSize - Shrink(ver));
    p += DecodeAttr(p, ver, e.att);
    e.start_x = R::LoadF64(p);
    e.start_y = R::LoadF64(p + 8);
    e.dHankei = R::LoadF64(p + 16);
    e.radKaishiKaku = R::LoadF64(p + 24);
    e.radEnkoKaku = R::LoadF64(p + 32);
    e.radKatamukiKaku = R::LoadF64(p + 40);
    e.dHenpeiRitsu = R::LoadF64(p + 48);
    e.bZenEnFlg = R::LoadU32(p + 56);
}

void ReadTenRec(ArchiveReader& in, int ver, TEntJwwTen& e, PointDefaults defaults) {
    const uint8_t* p = in.Take(fmt::kTenSize - Shrink(ver));
    p += DecodeAttr(p, ver, e.att);
    e.start_x = R::LoadF64(p);
    e.start_y = R::LoadF64(p + 8);
    e.bKariten = R::LoadU32(p + 16);
    if (e.att.nPenStyle == fmt::kPenStyleSymbolPoint) {
        const uint8_t* q = in.Take(fmt::kTenSymbolSize);
        e.nCode = R::LoadU32(q);
        e.radKaitenKaku = R::LoadF64(q + 4);
        e.dBairitsu = R::LoadF64(q + 12);
    } else {
        e.nCode = 0;
        e.radKaitenKaku = 0;
        e.dBairitsu = defaults == PointDefaults::kTopLevel ? 1.0 : 0.0;
    }
}

void ReadMojiRec(ArchiveReader& in, int ver, TEntJwwMoji& e) {
    const uint8_t* p = in.Take(fmt::kMojiFixedSize - Shrink(ver));
    p += DecodeAttr(p, ver, e.att);
    e.start_x = R::LoadF64(p);
    e.start_y = R::LoadF64(p + 8);
    e.end_x = R::LoadF64(p + 16);
    e.end_y = R::LoadF64(p + 24);
    e.nMojiShu = R::LoadU32(p + 32);
    e.dSizeX = R::LoadF64(p + 36);
    e.dSizeY = R::LoadF64(p + 44);
    e.dKankaku = R::LoadF64(p + 52);
    e.degKakudo = R::LoadF64(p + 60);
    in.StringInClean(e.strFontName);
    in.StringInClean(e.str);
    e.dSizeX = FiniteOr(e.dSizeX, 3.0);
    e.dSizeY = FiniteOr(e.dSizeY, 3.0);
    e.dKankaku = FiniteOr(e.dKankaku, 0.0);
}

void ReadSunpoRec(ArchiveReader& in, int ver, TEntJwwSunpo& e) {
    e.att = in.AttrIn(ver);
    ReadLineRec(in, ver, e.Sen);
    ReadMojiRec(in, ver, e.Moji);
    if (ver >= fmt::kVer420) {
        e.bSxfMode = in.U16();
        ReadLineRec(in, ver, e.Ho1);
        ReadLineRec(in, ver, e.Ho2);
        // Sub-points without a symbol get zero symbol fields, scale included.
        ReadTenRec(in, ver, e.Te1, PointDefaults::kMember);
        ReadTenRec(in, ver, e.Te2, PointDefaults::kMember);
        ReadTenRec(in, ver, e.Kt1, PointDefaults::kMember);
        ReadTenRec(in, ver, e.Kt2, PointDefaults::kMember);
        return;
    }
    // Older files have no SXF part: the parts carry the dimension's attributes.
    e.bSxfMode = 0;
    e.Ho1 = TEntJwwLine{e.att};
    e.Ho2 = TEntJwwLine{e.att};
    TEntJwwTen pt;
    pt.att = e.att;
    pt.att.nPenStyle = 0;
    e.Te1 = e.Te2 = e.Kt1 = e.Kt2 = pt;
}

void ReadSolidRec(ArchiveReader& in, int ver, TEntJwwSolid& e) {
    const uint8_t* p = in.Take(fmt::kSolidSize - Shrink(ver));
    p += DecodeAttr(p, ver, e.att);
    e.start_x = R::LoadF64(p);
    e.start_y = R::LoadF64(p + 8);
    e.end_x = R::LoadF64(p + 16);
    e.end_y = R::LoadF64(p + 24);
    e.DPoint2_x = R::LoadF64(p + 32);
    e.DPoint2_y = R::LoadF64(p + 40);
    e.DPoint3_x = R::LoadF64(p + 48);
    e.DPoint3_y = R::LoadF64(p + 56);
    e.Color = e.att.nPenColor == fmt::kPenColorOwnRgb ? in.U32() : 0;
}

void ReadBlockRec(ArchiveReader& in, int ver, TEntJwwBlock& e) {
    const uint8_t* p = in.Take(fmt::kBlockSize - Shrink(ver));
    p += DecodeAttr(p, ver, e.att);
    e.DPKijunTen_x = R::LoadF64(p);
    e.DPKijunTen_y = R::LoadF64(p + 8);
    e.dBairitsuX = R::LoadF64(p + 16);
    e.dBairitsuY = R::LoadF64(p + 24);
    e.radKaitenKaku = R::LoadF64(p + 32);
    e.nNumber = R::LoadU32(p + 40);
}

// ---- Writers ----------------------------------------------------------------

double ClampTextSize(double v) {
    double a = std::fabs(v);
    if (!(a >= 1e-10)) return 1e-10;  // NaN too
    if (a > 1e10) return 1e10;
    return a;
}

void WriteLineRec(ArchiveWriter& out, int ver, const TEntJwwLine& e) {
    out.AttrOut(ver, e.att, kEntLine);
    out.F64(e.start_x);
    out.F64(e.start_y);
    out.F64(e.end_x);
    out.F64(e.end_y);
}

void WriteEnkoRec(ArchiveWriter& out, int ver, const TEntJwwEnko& e) {
    out.AttrOut(ver, e.att, kEntEnko);
    out.F64(e.start_x);
    out.F64(e.start_y);
    out.F64(e.dHankei);
    out.F64(e.radKaishiKaku);
    out.F64(e.radEnkoKaku);
    out.F64(e.radKatamukiKaku);
    out.F64(e.dHenpeiRitsu);
    out.U32(e.bZenEnFlg);
}

void WriteTenRec(ArchiveWriter& out, int ver, const TEntJwwTen& e, uint32_t bKariten) {
    out.AttrOut(ver, e.att, kEntTen);
    out.F64(e.start_x);
    out.F64(e.start_y);
    out.U32(bKariten);
    // The symbol fields follow when the stored pen style is 100, which the
    // validation keeps as it is.
    if (e.att.nPenStyle == fmt::kPenStyleSymbolPoint) {
        out.U32(e.nCode);
        out.F64(e.radKaitenKaku);
        out.F64(e.dBairitsu);
    }
}

void WriteMojiRec(ArchiveWriter& out, int ver, const TEntJwwMoji& e, std::u16string_view font,
                  std::u16string_view str) {
    out.AttrOut(ver, e.att, kEntMoji);
    out.F64(e.start_x);
    out.F64(e.start_y);
    out.F64(e.end_x);
    out.F64(e.end_y);
    out.U32(e.nMojiShu);
    out.F64(ClampTextSize(e.dSizeX));
    out.F64(ClampTextSize(e.dSizeY));
    out.F64(e.dKankaku);
    out.F64(e.degKakudo);
    out.StringOut(font);
    out.StringOut(str);
}

void WriteSolidRec(ArchiveWriter& out, int ver, const TEntJwwSolid& e) {
    out.AttrOut(ver, e.att, kEntSolid);
    for (double v : {e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x, e.DPoint2_y, e.DPoint3_x, e.DPoint3_y})
        out.F64(v);
    // A colour outside the valid ranges is written as 1, so the RGB value
    // follows exactly when the stored colour is 10.
    if (e.att.nPenColor == fmt::kPenColorOwnRgb) out.U32(e.Color);
}

void WriteBlockRec(ArchiveWriter& out, int ver, const TEntJwwBlock& e, uint32_t number) {
    out.AttrOut(ver, e.att, kEntBlock);
    out.F64(e.DPKijunTen_x);
    out.F64(e.DPKijunTen_y);
    out.F64(e.dBairitsuX);
    out.F64(e.dBairitsuY);
    out.F64(e.radKaitenKaku);
    out.U32(number);
}

}  // namespace talvine
