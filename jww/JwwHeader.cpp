// The drawing header, read and written side by side. Items in file order:
//
//   magic "JwwData." (8), jwVer, strMemo, nZumen, nWriteGLay,
//   16 x { anGLay, anWriteLay, adScale, anGLayProtect, 16 x { aanLay, aanLayProtect } },
//   56 reserved, lnSunpou1..5, 4 reserved, nMaxDrawWid, print origin and scale,
//   nPrtSet, nMemoriMode, grid (5 doubles), 256 layer names, 16 group names,
//   shadow settings, [>= 300] sky view, nMMTani3D, view (6 doubles),
//   [>= 231] 8 zoom jumps of 28 bytes + dDm block | [<= 230] 4 zoom jumps of 24,
//   10 double lines, dRyougawaFukusenTomeDe, 10 pen colours, 10 print colours,
//   line types 8 + 5 + 4, 10 print switches, nPrtDpi * 10 + nPrtDispOnlyNonDraw,
//   [>= 223] drawing time and eye, [>= 225] dimension settings,
//   [>= 230] solid colour, [>= 420] 257 extended colours, 33 extended line types,
//   10 text types, text settings.
#include <cmath>

#include "jww/Archive.h"
#include "jww/JwwFormat.h"
#include "jww/EntityRecords.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"

namespace talvine {

namespace {

constexpr size_t kReserved1 = 56;
constexpr size_t kReserved2 = 4;

void SizeTables(TJwwData& d) {
    d.EntLgrp.resize(16);
    d.EntLay.resize(256);
    d.EntCol.resize(10);
    d.EntLtp1.resize(8);
    d.EntLtp2.resize(5);
    d.EntLtp3.resize(4);
    d.EntMoj.resize(10);
    d.EntColS.resize(257);
    d.EntLtpS.resize(33);
}

double FiniteOr(double v, double fallback) { return IsFiniteNum(v) ? v : fallback; }

template <class T>
T Clamp(T v, T lo, T hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

int32_t ValidRgb(int32_t c) { return (c < 0 || c > 0xFFFFFF) ? 0 : c; }

std::u16string NameOr(const std::u16string& name, const char* prefix, int index) {
    std::u16string s = SanitizeText(name);
    if (RemoveBlanks(s).empty()) return Utf8ToUtf16(prefix + std::to_string(index));
    return s;
}

}  // namespace

void TJwwData::ReadHeader(ArchiveReader& in) {
    TEntJwwHeader& h = Enthd;
    SizeTables(*this);

    const uint8_t* magic = in.Take(fmt::kJwwMagicLen);
    h.jwID.assign(reinterpret_cast<const char*>(magic), fmt::kJwwMagicLen);
    if (h.jwID != fmt::kJwwMagic) throw JwIoError(fmt::kErrJwwHeader);
    h.jwVer = in.I32();
    const int v = h.jwVer;
    if (v < fmt::kJwwMinVersion || v > fmt::kMaxVersion) throw JwIoError(fmt::kErrJwwVersion);

    h.strMemo = in.StringIn();
    h.nZumen = in.I32();
    h.nWriteGLay = in.I32();
    for (int g = 0; g < 16; ++g) {
        TEntJwwLayerGroup& G = EntLgrp[g];
        G.anGLay = in.I32();
        G.anWriteLay = in.I32();
        G.adScale = in.F64();
        G.anGLayProtect = in.I32();
        for (int l = 0; l < 16; ++l) {
            EntLay[g * 16 + l].aanLay = in.I32();
            EntLay[g * 16 + l].aanLayProtect = in.I32();
        }
    }
    in.Skip(kReserved1);
    h.lnSunpou1 = in.I32();
    h.lnSunpou2 = in.I32();
    h.lnSunpou3 = in.I32();
    h.lnSunpou4 = in.I32();
    h.lnSunpou5 = in.I32();
    in.Skip(kReserved2);
    h.nMaxDrawWid = in.I32();
    h.bSenHaba100 = false;
    h.nMaxDrawWidBak = h.nMaxDrawWid;
    if (h.nMaxDrawWid <= -101) {
        const int32_t w = h.nMaxDrawWid;
        h.bSenHaba100 = true;
        if (w >= -500 && w <= -401)
            h.nMaxDrawWidBak = 400 + w;  // 400 - |w|
        else if (w >= -300 && w <= -201)
            h.nMaxDrawWidBak = -w - 200;  // |w| - 200
        else
            h.nMaxDrawWidBak = -100;
    }
    h.DPPrtGenten_x = in.F64();
    h.DPPrtGenten_y = in.F64();
    h.dPrtBairitsu = in.F64();
    h.nPrtSet = in.I32();
    h.nMemoriMode = in.I32();
    h.dMemoriHyoujiMin = in.F64();
    h.dMemoriX = in.F64();
    h.dMemoriY = in.F64();
    h.DpMemoriKjTen_x = in.F64();
    h.DpMemoriKjTen_y = in.F64();
    for (auto& lay : EntLay) lay.aStrLayName = in.StringInClean();
    for (auto& grp : EntLgrp) grp.aStrGLayName = in.StringInClean();
    h.dKageLevel = in.F64();
    h.dKageIdo = in.F64();
    h.nKage9_15JiFlg = in.I32();
    h.dKabeKageLevel = in.F64();
    if (v >= fmt::kVer300) {
        h.dTenkuuZuLevel = in.F64();
        h.dTenkuuZuEnkoR = in.F64();
    }
    h.nMMTani3D = in.I32();
    h.dBairitsu = in.F64();
    h.DPGenten_x = in.F64();
    h.DPGenten_y = in.F64();
    h.dHanniBairitsu = in.F64();
    h.DPHanniGenten_x = in.F64();
    h.DPHanniGenten_y = in.F64();
    if (v >= fmt::kVer231) {
        for (int i = 1; i <= 8; ++i) {
            h.dZoomJumpBairitsu[i] = in.F64();
            h.DPZoomJumpGenten_x[i] = in.F64();
            h.DPZoomJumpGenten_y[i] = in.F64();
            h.nZoomJumpGLay[i] = in.I32();
        }
        h.dDm11 = in.F64();
        h.dDm12 = in.F64();
        h.dDm13 = in.F64();
        h.lnDm1 = in.I32();
        h.dDm21 = in.F64();
        h.dDm22 = in.F64();
        h.dMojiBG = in.F64();
        h.nMojiBG = in.I32();
    } else {
        for (int i = 1; i <= 4; ++i) {
            h.dZoomJumpBairitsu[i] = in.F64();
            h.DPZoomJumpGenten_x[i] = in.F64();
            h.DPZoomJumpGenten_y[i] = in.F64();
        }
    }
    for (double& d : h.adFukusenSuuchi) d = in.F64();
    h.dRyougawaFukusenTomeDe = in.F64();
    for (auto& c : EntCol) {
        c.aPenColor = in.I32();
        c.anPenWidth = in.I32();
    }
    for (auto& c : EntCol) {
        c.aPrtPenColor = in.I32();
        c.anPrtPenWidth = in.I32();
        c.adPrtTenHankei = in.F64();
    }
    for (auto& t : EntLtp1) {
        t.alLType = in.I32();
        t.anTokushuSenUintDot = in.I32();
        t.anTokushuSenPich = in.I32();
        t.anPrtTokushuSenPich = in.I32();
    }
    for (auto& t : EntLtp2) {
        t.alLType = in.I32();
        t.anRandSenWide = in.I32();
        t.anTokushuSenPich = in.I32();
        t.anPrtRandSenWide = in.I32();
        t.anPrtTokushuSenPich = in.I32();
    }
    for (auto& t : EntLtp3) {
        t.alLType = in.I32();
        t.anTokushuSenUintDot = in.I32();
        t.anTokushuSenPich = in.I32();
        t.anPrtTokushuSenPich = in.I32();
    }
    h.nDrawGamenTen = in.I32();
    h.nDrawPrtTen = in.I32();
    h.nBitMapFirstDraw = in.I32();
    h.nGyakuDraw = in.I32();
    h.nGyakuSearch = in.I32();
    h.nColorPrint = in.I32();
    h.nLayJunPrint = in.I32();
    h.nColJunPrint = in.I32();
    h.nPrtRenzoku = in.I32();
    h.nPrtKyoutsuuGray = in.I32();
    const int32_t dpi = in.I32();
    h.nPrtDpi = dpi / 10;  // C++ division truncates toward zero, as stored
    h.nPrtDispOnlyNonDraw = dpi % 10;
    if (v >= fmt::kVer223) {
        h.lnDrawTime = in.I32();
        h.nEyeInit = in.I32();
        h.dEye_H_Ichi_1 = in.I32();
        h.dEye_H_Ichi_2 = in.I32();
        h.dEye_H_Ichi_3 = in.I32();
        h.dEye_Z_Ichi_1 = in.F64();
        h.dEye_Y_Ichi_1 = in.F64();
        h.dEye_Z_Ichi_2 = in.F64();
        h.dEye_Y_Ichi_2 = in.F64();
        h.dEye_V_Ichi_3 = in.F64();
    }
    if (v >= fmt::kVer225) {
        h.dSenNagasaSnpou = in.F64();
        h.dBoxSunpouX = in.F64();
        h.dBoxSunpouY = in.F64();
        h.dEnHankeiSnpou = in.F64();
    }
    if (v >= fmt::kVer230) {
        h.nSolidNinniColor = in.I32();
        h.SolidColor = in.I32();
    }
    if (v >= fmt::kVer420) {
        for (auto& c : EntColS) {
            c.aPenColor = in.I32();
            c.anPenWidth = in.I32();
        }
        for (auto& c : EntColS) {
            c.astrUDColorName = in.StringInClean();
            c.aPrtPenColor = in.I32();
            c.anPrtPenWidth = in.I32();
            c.adPrtTenHankei = in.F64();
        }
        for (auto& t : EntLtpS) {
            t.alLType = in.I32();
            t.anTokushuSenUintDot = in.I32();
            t.anTokushuSenPich = in.I32();
            t.anPrtTokushuSenPich = in.I32();
        }
        for (auto& t : EntLtpS) {
            t.astrUDLTypeName = in.StringInClean();
            t.anUDLTypeSegment = in.I32();
            for (int i = 1; i <= 10; ++i) t.aadUDLTypePitch[i] = in.F64();
        }
    }
    for (auto& m : EntMoj) {
        m.adMojiX = FiniteOr(in.F64(), 3.0);
        m.adMojiY = FiniteOr(in.F64(), 3.0);
        m.adMojiD = FiniteOr(in.F64(), 0.0);
        m.anMojiCol = in.I32();
    }
    h.dMojiSizeX = FiniteOr(in.F64(), 3.0);
    h.dMojiSizeY = FiniteOr(in.F64(), 3.0);
    h.dMojiKankaku = FiniteOr(in.F64(), 0.0);
    h.nMojiColor = in.I32();
    h.nMojiShu = in.I32();
    h.dMojiSeiriGyouKan = in.F64();
    h.dMojiSeiriSuu = in.F64();
    h.nMojiKijunZureOn = in.I32();
    h.adMojiKijunZureX0 = in.F64();
    h.adMojiKijunZureX1 = in.F64();
    h.adMojiKijunZureX2 = in.F64();
    h.adMojiKijunZureY0 = in.F64();
    h.adMojiKijunZureY1 = in.F64();
    h.adMojiKijunZureY2 = in.F64();
}

void TJwwData::WriteHeader(ArchiveWriter& out, int v) const {
    const TEntJwwHeader& h = Enthd;
    // Every table as long as the file stores it.
    const TFixedTable groups(EntLgrp, 16);
    const TFixedTable layers(EntLay, 256);
    const TFixedTable pens(EntCol, 10);
    const TFixedTable types1(EntLtp1, 8);
    const TFixedTable types2(EntLtp2, 5);
    const TFixedTable types3(EntLtp3, 4);
    const TFixedTable colours(EntColS, 257);
    const TFixedTable lineTypes(EntLtpS, 33);
    const TFixedTable textTypes(EntMoj, 10);
    out.Bytes(fmt::kJwwMagic, fmt::kJwwMagicLen);
    out.I32(v);
    out.StringOut(h.strMemo);
    out.I32(h.nZumen);
    out.I32(h.nWriteGLay);
    for (int g = 0; g < 16; ++g) {
        const TEntJwwLayerGroup& G = groups[g];
        out.I32(G.anGLay);
        out.I32(G.anWriteLay);
        out.F64(G.adScale);
        out.I32(G.anGLayProtect);
        for (int l = 0; l < 16; ++l) {
            out.I32(layers[g * 16 + l].aanLay);
            out.I32(layers[g * 16 + l].aanLayProtect);
        }
    }
    const uint8_t spaces[kReserved1] = {
        0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
        0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
        0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
        0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
    out.Bytes(spaces, kReserved1);
    out.I32(h.lnSunpou1);
    out.I32(h.lnSunpou2);
    out.I32(h.lnSunpou3);
    out.I32(h.lnSunpou4);
    out.I32(h.lnSunpou5);
    out.I32(0);  // 4 reserved bytes
    // Versions up to 420 know only the old line-width settings.
    out.I32(v <= fmt::kVer420 && h.nMaxDrawWid < -101 ? -101 : h.nMaxDrawWid);
    out.F64(h.DPPrtGenten_x);
    out.F64(h.DPPrtGenten_y);
    out.F64(h.dPrtBairitsu);
    out.I32(h.nPrtSet);
    out.I32(h.nMemoriMode);
    out.F64(h.dMemoriHyoujiMin);
    out.F64(h.dMemoriX);
    out.F64(h.dMemoriY);
    out.F64(h.DpMemoriKjTen_x);
    out.F64(h.DpMemoriKjTen_y);
    for (size_t l = 0; l < layers.size(); ++l) out.StringOut(SanitizeText(layers[l].aStrLayName));
    for (size_t g = 0; g < groups.size(); ++g) out.StringOut(SanitizeText(groups[g].aStrGLayName));
    out.F64(h.dKageLevel);
    out.F64(h.dKageIdo);
    out.I32(h.nKage9_15JiFlg);
    out.F64(h.dKabeKageLevel);
    if (v >= fmt::kVer300) {
        out.F64(h.dTenkuuZuLevel);
        out.F64(h.dTenkuuZuEnkoR);
    }
    out.I32(h.nMMTani3D);
    out.F64(h.dBairitsu);
    out.F64(h.DPGenten_x);
    out.F64(h.DPGenten_y);
    out.F64(h.dHanniBairitsu);
    out.F64(h.DPHanniGenten_x);
    out.F64(h.DPHanniGenten_y);
    if (v >= fmt::kVer231) {
        for (int i = 1; i <= 8; ++i) {
            out.F64(h.dZoomJumpBairitsu[i]);
            out.F64(h.DPZoomJumpGenten_x[i]);
            out.F64(h.DPZoomJumpGenten_y[i]);
            out.I32(h.nZoomJumpGLay[i]);
        }
        out.F64(h.dDm11);
        out.F64(h.dDm12);
        out.F64(h.dDm13);
        out.I32(h.lnDm1);
        out.F64(h.dDm21);
        out.F64(h.dDm22);
        out.F64(h.dMojiBG);
        out.I32(h.nMojiBG);
    } else {
        for (int i = 1; i <= 4; ++i) {
            out.F64(h.dZoomJumpBairitsu[i]);
            out.F64(h.DPZoomJumpGenten_x[i]);
            out.F64(h.DPZoomJumpGenten_y[i]);
        }
    }
    for (double d : h.adFukusenSuuchi) out.F64(d);
    out.F64(h.dRyougawaFukusenTomeDe);
    for (size_t k = 0; k < pens.size(); ++k) {
        const auto& c = pens[k];
        out.I32(ValidRgb(c.aPenColor));
        out.I32(Clamp(c.anPenWidth, 1, 16));
    }
    for (size_t k = 0; k < pens.size(); ++k) {
        const auto& c = pens[k];
        out.I32(k == 0 ? 0xFFFFFF : ValidRgb(c.aPrtPenColor));  // background entry: always white
        out.I32(Clamp(c.anPrtPenWidth, 1, 500));
        out.F64(Clamp(c.adPrtTenHankei, 0.1, 10.0));
    }
    for (size_t k = 0; k < types1.size(); ++k) {
        const auto& t = types1[k];
        out.I32(t.alLType);
        out.I32(t.anTokushuSenUintDot);
        out.I32(t.anTokushuSenPich);
        out.I32(t.anPrtTokushuSenPich);
    }
    for (size_t k = 0; k < types2.size(); ++k) {
        const auto& t = types2[k];
        out.I32(t.alLType);
        out.I32(t.anRandSenWide);
        out.I32(t.anTokushuSenPich);
        out.I32(t.anPrtRandSenWide);
        out.I32(t.anPrtTokushuSenPich);
    }
    for (size_t k = 0; k < types3.size(); ++k) {
        const auto& t = types3[k];
        out.I32(t.alLType);
        out.I32(t.anTokushuSenUintDot);
        out.I32(t.anTokushuSenPich);
        out.I32(t.anPrtTokushuSenPich);
    }
    out.I32(h.nDrawGamenTen);
    out.I32(h.nDrawPrtTen);
    out.I32(h.nBitMapFirstDraw);
    out.I32(h.nGyakuDraw);
    out.I32(h.nGyakuSearch);
    out.I32(h.nColorPrint);
    out.I32(h.nLayJunPrint);
    out.I32(h.nColJunPrint);
    out.I32(h.nPrtRenzoku);
    out.I32(h.nPrtKyoutsuuGray);
    if (v < fmt::kVer600) {
        out.I32(h.nPrtDispOnlyNonDraw);
    } else {
        // A resolution of 0 or less is stored as 1, and the switch beside it
        // as its last digit (outside 0-9 as 0), so that the file reads back
        // as what was written.
        const int64_t dpi = h.nPrtDpi > 0 ? h.nPrtDpi : 1;
        const int64_t onlyNonDraw = h.nPrtDispOnlyNonDraw >= 0 && h.nPrtDispOnlyNonDraw <= 9 ? h.nPrtDispOnlyNonDraw : 0;
        out.I32(static_cast<int32_t>(static_cast<uint32_t>(onlyNonDraw + 10 * dpi)));
    }
    if (v >= fmt::kVer223) {
        out.I32(h.lnDrawTime);
        out.I32(h.nEyeInit);
        out.I32(h.dEye_H_Ichi_1);
        out.I32(h.dEye_H_Ichi_2);
        out.I32(h.dEye_H_Ichi_3);
        out.F64(h.dEye_Z_Ichi_1);
        out.F64(h.dEye_Y_Ichi_1);
        out.F64(h.dEye_Z_Ichi_2);
        out.F64(h.dEye_Y_Ichi_2);
        out.F64(h.dEye_V_Ichi_3);
    }
    if (v >= fmt::kVer225) {
        out.F64(h.dSenNagasaSnpou);
        out.F64(h.dBoxSunpouX);
        out.F64(h.dBoxSunpouY);
        out.F64(h.dEnHankeiSnpou);
    }
    if (v >= fmt::kVer230) {
        out.I32(h.nSolidNinniColor);
        out.I32(h.SolidColor);
    }
    if (v >= fmt::kVer420) {
        for (size_t k = 0; k < colours.size(); ++k) {
            const auto& c = colours[k];
            out.I32(c.aPenColor);
            out.I32(c.anPenWidth);
        }
        for (size_t k = 0; k < colours.size(); ++k) {
            const auto& c = colours[k];
            out.StringOut(NameOr(c.astrUDColorName, "Color_", static_cast<int>(k)));
            // Entries above 16 print in their screen colour.
            out.I32(k <= 16 ? c.aPrtPenColor : c.aPenColor);
            out.I32(c.anPrtPenWidth);
            out.F64(c.adPrtTenHankei);
        }
        // Entries from 17 on are user line types, which need 2, 4, 6 or 8
        // segments; any other entry is replaced by a plain dashed line.
        auto broken = [&lineTypes](size_t k) {
            const int s = lineTypes[k].anUDLTypeSegment;
            return k >= 17 && s != 2 && s != 4 && s != 6 && s != 8;
        };
        for (size_t k = 0; k < lineTypes.size(); ++k) {
            const auto& t = lineTypes[k];
            if (broken(k)) {
                out.I32(static_cast<int32_t>(0xC3C3C3C3u));
                out.I32(8);
                out.I32(1);
                out.I32(8);
            } else {
                out.I32(t.alLType == 0 ? -1 : t.alLType);
                out.I32(t.anTokushuSenUintDot);
                out.I32(t.anTokushuSenPich);
                out.I32(t.anPrtTokushuSenPich);
            }
        }
        for (size_t k = 0; k < lineTypes.size(); ++k) {
            const auto& t = lineTypes[k];
            if (broken(k)) {
                out.StringOut(Utf8ToUtf16("LType_" + std::to_string(k)));
                out.I32(2);
                out.F64(1.0);
                out.F64(1.0);
                for (int i = 3; i <= 10; ++i) out.F64(0.0);
            } else {
                out.StringOut(NameOr(t.astrUDLTypeName, "LType_", static_cast<int>(k)));
                out.I32(t.anUDLTypeSegment);
                for (int i = 1; i <= 10; ++i) out.F64(t.aadUDLTypePitch[i]);
            }
        }
    }
    for (size_t k = 0; k < textTypes.size(); ++k) {
        const auto& m = textTypes[k];
        out.F64(ClampTextSize(m.adMojiX));
        out.F64(ClampTextSize(m.adMojiY));
        out.F64(m.adMojiD);
        out.I32(m.anMojiCol);
    }
    out.F64(ClampTextSize(h.dMojiSizeX));
    out.F64(ClampTextSize(h.dMojiSizeY));
    out.F64(h.dMojiKankaku);
    out.I32(h.nMojiColor);
    out.I32(h.nMojiShu);
    out.F64(h.dMojiSeiriGyouKan);
    out.F64(h.dMojiSeiriSuu);
    out.I32(h.nMojiKijunZureOn);
    out.F64(h.adMojiKijunZureX0);
    out.F64(h.adMojiKijunZureX1);
    out.F64(h.adMojiKijunZureX2);
    out.F64(h.adMojiKijunZureY0);
    out.F64(h.adMojiKijunZureY1);
    out.F64(h.adMojiKijunZureY2);
}

}  // namespace talvine
