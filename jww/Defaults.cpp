// The settings of a new drawing or figure, and the hand-over of a drawing's
// pen-colour and line-type tables to the display tables.
//
// Colours are 0x00BBGGRR. Pen widths of the extended colours are 1/100 mm.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "jww/Defaults.h"
#include "jww/DisplayTables.h"
#include "jww/JwwUnit.h"
#include "util/Func_2.h"

namespace talvine {

std::vector<TEntJwwMojiType> DefaultTextTypes() {
    struct Row {
        double size, spacing;
        int32_t color;
    };
    static constexpr Row kRows[10] = {{2.0, 0.0, 1}, {2.5, 0.0, 1}, {3.0, 0.5, 2}, {4.0, 0.5, 2}, {5.0, 0.5, 3},
                                      {6.0, 1.0, 3}, {7.0, 1.0, 4}, {8.0, 1.0, 4}, {9.0, 1.0, 5}, {10.0, 1.0, 5}};
    std::vector<TEntJwwMojiType> t;
    for (const Row& r : kRows) t.push_back(TEntJwwMojiType{r.size, r.size, r.spacing, r.color});
    return t;
}

std::vector<TEntJwwLayerGroup> DefaultLayerGroups(int32_t group0State) {
    std::vector<TEntJwwLayerGroup> g(16, TEntJwwLayerGroup{2, 0, 1.0, 0, u""});
    g[0].anGLay = group0State;
    return g;
}

namespace {

std::u16string Numbered(const char* prefix, int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%d", prefix, n);
    return Utf8ToUtf16(buf);
}

int32_t AsInt(uint32_t bits) { return static_cast<int32_t>(bits); }

void SetHeaderDefaults(TEntJwwHeader& h) {
    const int32_t n1 = h.n1, n2 = h.n2;
    h = TEntJwwHeader{};
    h.n1 = n1;
    h.n2 = n2;
    h.jwID = "JwwData.";
    h.jwVer = 600;
    h.lnSunpou1 = 2001112;
    h.lnSunpou2 = 5;
    h.lnSunpou3 = 50150030;
    h.lnSunpou4 = 10000000;
    h.lnSunpou5 = 4100;
    h.nMaxDrawWid = -300;
    h.bSenHaba100 = true;
    h.nMaxDrawWidBak = 100;
    h.dPrtBairitsu = 1.0;
    h.dMemoriHyoujiMin = 15.0;
    h.dMemoriX = 5.0;
    h.dMemoriY = 5.0;
    h.dKageLevel = 1.5;
    h.dKageIdo = 36.0;
    h.dTenkuuZuEnkoR = 100.0;
    h.dBairitsu = 1.0;
    h.dHanniBairitsu = 1.0;
    for (int i = 1; i <= 8; ++i) {
        h.dZoomJumpBairitsu[i] = 1.0;
        h.nZoomJumpGLay[i] = -1;
    }
    h.nMojiBG = 1;
    for (int i = 0; i < 10; ++i) h.adFukusenSuuchi[i] = 50.0 * (i + 1);
    h.nColorPrint = h.nLayJunPrint = h.nColJunPrint = 1;
    h.nPrtDpi = 1;
    h.dEye_H_Ichi_1 = h.dEye_H_Ichi_2 = h.dEye_H_Ichi_3 = -4500;
    h.dEye_Z_Ichi_1 = 2000.0;
    h.dEye_Y_Ichi_1 = h.dEye_Z_Ichi_2 = h.dEye_Y_Ichi_2 = 1000000.0;
    h.dEye_V_Ichi_3 = 35.2643896827547;  // degrees; its tangent is 1/sqrt(2)
    h.nSolidNinniColor = 10;
    h.SolidColor = 0xC0C0C0;
    h.dMojiSizeX = h.dMojiSizeY = 3.0;
    h.dMojiKankaku = 0.5;
    h.nMojiColor = 2;
    h.nMojiShu = 3;
    h.adMojiKijunZureX0 = -1.0;
    h.adMojiKijunZureY0 = -1.0;
    h.adMojiKijunZureY2 = 1.0;
}

std::vector<TEntJwwColorNo> DefaultPenColors() {
    return {
        {0xFFFFFF, 1, 0xFFFFFF, 1, 0.1},  {0xC0C000, 1, 0xFFFF00, 8, 0.2},  {0x000000, 1, 0x000000, 17, 0.3},
        {0x00C000, 1, 0x00FF00, 25, 0.4}, {0x00C0C0, 1, 0x00FFFF, 34, 0.5}, {0xC000C0, 1, 0xFF00FF, 42, 0.5},
        {0xFF0000, 2, 0xFF0000, 51, 0.5}, {0x808000, 3, 0x808000, 59, 0.5}, {0x8000FF, 5, 0x0000FF, 68, 0.5},
        {0xC0C0C0, 1, 0x808080, 1, 0.1},
    };
}

std::vector<TEntJwwColorExNo> DefaultExtendedColors() {
    struct Named {
        const char16_t* name;
        int32_t color;
    };
    // The predefined colours of the SXF exchange standard.
    static constexpr Named kSxf[16] = {
        {u"black", 0x000000},     {u"red", 0x0000FF},        {u"green", 0x00FF00},    {u"blue", 0xFF0000},
        {u"yellow", 0x00FFFF},    {u"magenta", 0xFF00FF},    {u"cyan", 0xFFFF00},     {u"white", 0xFFFFFF},
        {u"deeppink", 0x8000C0},  {u"brown", 0x4080C0},      {u"orange", 0x0080FF},   {u"lightgreen", 0x80C080},
        {u"lightblue", 0xFF8000}, {u"lavender", 0xFF4080},   {u"lightgray", 0xC0C0C0}, {u"darkgray", 0x808080},
    };
    std::vector<TEntJwwColorExNo> c(257);
    for (int i = 0; i < 257; ++i) {
        TEntJwwColorExNo& e = c[static_cast<size_t>(i)];
        e.anPenWidth = e.anPrtPenWidth = 18;
        e.adPrtTenHankei = 0.18;
        if (i >= 1 && i <= 16) {
            e.astrUDColorName = kSxf[i - 1].name;
            e.aPenColor = e.aPrtPenColor = kSxf[i - 1].color;
        } else {
            e.astrUDColorName = Numbered("Color_", i);
            e.aPenColor = e.aPrtPenColor = i == 0 ? 0x000000 : 0xC0C0C0;
        }
    }
    c[0].aPrtPenColor = 0x000190;
    return c;
}

std::vector<TEntJwwLineTypeExNo> DefaultExtendedLineTypes() {
    struct Row {
        const char16_t* name;
        uint32_t pattern;
        int32_t unit, printPitch;
        std::vector<double> segments;
    };
    // Entries 1..15 are the predefined line types of the SXF exchange standard.
    const Row kRows[17] = {
        {u"Ltype_0", 0xFFFFFFFF, 32, 10, {}},
        {u"continuous", 0xFFFFFFFF, 32, 10, {}},
        {u"dashed", 0xFE3FFE3F, 16, 15, {6, 1.5}},
        {u"dashed spaced", 0xF00FF00F, 16, 24, {6, 6}},
        {u"long dashed dotted", 0xFFFBBFFF, 32, 15, {12, 1.5, 0.25, 1.5}},
        {u"long dashed double-dotted", 0xFFEEEFFF, 32, 17, {12, 1.5, 0.25, 1.5, 0.25, 1.5}},
        {u"long dashed triplicate-dotted", 0xFFBBBBFF, 32, 19, {12, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
        {u"dotted", 0x10101010, 8, 7, {0.25, 1.5}},
        {u"chain", 0xFFFDBFFF, 32, 19, {12, 1.5, 3.5, 1.5}},
        {u"chain double dash", 0xFFF6DFFF, 32, 24, {12, 1.5, 3.5, 1.5, 3.5, 1.5}},
        {u"dashed dotted", 0xFFE083FF, 32, 9, {6, 1.5, 0.25, 1.5}},
        {u"double-dashed dotted", 0xFC7FF11F, 32, 17, {6, 1.5, 6, 1.5, 0.25, 1.5}},
        {u"dashed double-dotted", 0xFF8421FF, 32, 11, {6, 1.5, 0.25, 1.5, 0.25, 1.5}},
        {u"double-dashed double-dotted", 0xF8FF888F, 32, 19, {6, 1.5, 6, 1.5, 0.25, 1.5, 0.25, 1.5}},
        {u"dashed triplicate-dotted", 0xFE10843F, 32, 13, {6, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
        {u"double-dashed triplicate-dotted", 0xF9FF249F, 32, 20, {6, 1.5, 6, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
        {u"undefined", 0xFFFFFFFF, 32, 10, {}},
    };
    std::vector<TEntJwwLineTypeExNo> t(33);
    for (int i = 0; i < 33; ++i) {
        TEntJwwLineTypeExNo& e = t[static_cast<size_t>(i)];
        // Entries from 17 on are free line types, preset to a dashed line.
        const Row user{nullptr, 0xC3C3C3C3, 8, 48, {6, 6}};
        const Row& r = i < 17 ? kRows[i] : user;
        e.astrUDLTypeName = r.name ? std::u16string(r.name) : Numbered("LType_", i);
        e.alLType = AsInt(r.pattern);
        e.anTokushuSenUintDot = r.unit;
        e.anTokushuSenPich = 1;
        e.anPrtTokushuSenPich = r.printPitch;
        e.anUDLTypeSegment = static_cast<int32_t>(r.segments.size());
        for (size_t k = 0; k < r.segments.size(); ++k) e.aadUDLTypePitch[k + 1] = r.segments[k];
    }
    return t;
}

// ---- Display units ----

constexpr double kFineFactor = 0.085;    // 85.1666... truncated, / 1000
constexpr double kCoarseFactor = 0.042;  // 42.8333... truncated, / 1000

// The factor of a drawing's print resolution; for drawings that store none,
// the display switch decides between the fine factor and otherwise.
double ResolutionFactor(const TEntJwwHeader& h, bool fineSwitch, double otherwise) {
    if (h.jwVer > 420 && h.nPrtDpi > 0) return h.nPrtDpi == 1 ? kFineFactor : kCoarseFactor;
    return fineSwitch ? kFineFactor : otherwise;
}

// Display units per stored pen-width unit.
double PenWidthFactor(const TEntJwwHeader& h, bool fineSwitch) {
    if (h.nMaxDrawWid <= -1 && h.nMaxDrawWid >= -100) return -1.0 / h.nMaxDrawWid;
    if (h.nMaxDrawWid < -100) return 0.01;
    return ResolutionFactor(h, fineSwitch, kCoarseFactor);
}

TDisplayPen Pen(int32_t color, int32_t width, double factor, double radius) {
    return TDisplayPen{ColorRefToArgb(static_cast<uint32_t>(color) & 0xFFFFFFu), width * factor, radius};
}

TDisplayLineType Pattern(int32_t pattern, double pitch) {
    double d[32];
    const int n = LineTypeDashes(static_cast<uint32_t>(pattern), pitch, d);
    return TDisplayLineType{std::vector<double>(d, d + n), 0};
}

}  // namespace

void TJwwData::DataDefaultSet() {
    SetHeaderDefaults(Enthd);
    EntLgrp = DefaultLayerGroups(3);
    EntLay.assign(256, TEntJwwLayer{2, 0, u""});
    for (size_t g = 0; g < 16; ++g) EntLay[g * 16].aanLay = 3;
    EntCol = DefaultPenColors();
    EntLtp1 = {
        {AsInt(0x99999999), 4, 1, 10},  {AsInt(0xC3C3C3C3), 8, 1, 10},  {AsInt(0xE7E7E7E7), 8, 1, 10},
        {AsInt(0xF99FF99F), 16, 1, 10}, {AsInt(0xFFF99FFF), 32, 1, 10}, {AsInt(0xF24FF24F), 16, 1, 10},
        {AsInt(0xFFF24FFF), 32, 1, 10}, {AsInt(0x22222222), 4, 1, 10},
    };
    const int32_t random = AsInt(0xCCB2B32A);
    EntLtp2 = {{random, 1, 3, 1, 5}, {random, 1, 4, 1, 10}, {random, 2, 5, 2, 15}, {random, 2, 6, 2, 20},
               {random, 2, 7, 2, 25}};
    EntLtp3 = {{AsInt(0xFFF99FFF), 32, 2, 20},
               {AsInt(0xFFF24FFF), 32, 2, 20},
               {AsInt(0xFFFE7FFF), 32, 2, 20},
               {AsInt(0xFFFE7FFF), 32, 4, 40}};
    EntMoj = DefaultTextTypes();
    EntColS = DefaultExtendedColors();
    EntLtpS = DefaultExtendedLineTypes();
}

void TJwwData::FileColorSet() const {
    if (EntCol.empty()) return;
    TDisplaySetup& disp = DisplaySetup();
    const bool print = disp.printMode;
    const double x = PenWidthFactor(Enthd, disp.fineWidths);
    for (size_t i = 1; i <= 8 && i < EntCol.size(); ++i) {
        const TEntJwwColorNo& c = EntCol[i];
        disp.pens[i] = print ? Pen(c.aPrtPenColor, c.anPrtPenWidth, x, c.adPrtTenHankei)
                             : Pen(c.aPenColor, c.anPenWidth, x, c.adPrtTenHankei);
    }
    for (size_t i = 1; i <= 256 && i < EntColS.size(); ++i) {
        const TEntJwwColorExNo& c = EntColS[i];
        disp.pens[100 + i] = print ? Pen(c.aPrtPenColor, c.anPrtPenWidth, 0.01, c.adPrtTenHankei)
                                   : Pen(c.aPenColor, c.anPenWidth, 0.01, c.adPrtTenHankei);
    }
    // The background follows pen 0: black-ish turns the dark background on,
    // white-ish off, anything between leaves it.
    const uint32_t bg = static_cast<uint32_t>(print ? EntCol[0].aPrtPenColor : EntCol[0].aPenColor);
    const uint32_t rgb[3] = {bg & 0xFF, (bg >> 8) & 0xFF, (bg >> 16) & 0xFF};
    if (std::all_of(rgb, rgb + 3, [](uint32_t v) { return v <= 20; }))
        disp.darkBackground = true;
    else if (std::all_of(rgb, rgb + 3, [](uint32_t v) { return v > 234; }))
        disp.darkBackground = false;
}

void TJwwData::FileLtypeSet() const {
    if (EntLtp1.empty()) return;
    TDisplaySetup& disp = DisplaySetup();
    const bool print = disp.printMode;
    const double q =
        Enthd.nMaxDrawWid >= 0 ? ResolutionFactor(Enthd, disp.fineWidths, disp.pitchFactor) : disp.pitchFactor;
    auto& types = disp.lineTypes;
    types[0] = TDisplayLineType{};
    for (size_t i = 0; i < 8 && i < EntLtp1.size(); ++i) {
        const TEntJwwLineTypeNo& t = EntLtp1[i];
        types[1 + i] = Pattern(t.alLType, (print ? t.anPrtTokushuSenPich : t.anTokushuSenPich) * q);
    }
    for (size_t i = 0; i < 5 && i < EntLtp2.size(); ++i) {
        const TEntJwwRandomLineNo& t = EntLtp2[i];
        types[9 + i] = Pattern(t.alLType, (print ? t.anPrtTokushuSenPich : t.anTokushuSenPich) * q);
        types[9 + i].width = (print ? t.anPrtRandSenWide : t.anRandSenWide) * q;
    }
    for (size_t i = 0; i < 4 && i < EntLtp3.size(); ++i) {
        const TEntJwwLineTypeNo& t = EntLtp3[i];
        types[14 + i] = Pattern(t.alLType, (print ? t.anPrtTokushuSenPich : t.anTokushuSenPich) * q);
    }
    // Extended line types give their segments in millimetres: dash, gap,
    // dash ... at most ten of them.
    for (size_t i = 1; i <= 32 && i < EntLtpS.size(); ++i) {
        const TEntJwwLineTypeExNo& t = EntLtpS[i];
        const int n = std::clamp(t.anUDLTypeSegment, 0, 10);
        TDisplayLineType lt;
        for (int k = 1; k <= n; ++k) {
            const double len = std::fabs(t.aadUDLTypePitch[k]);
            lt.dashes.push_back(k % 2 == 0 ? -len : len);
        }
        types[17 + i] = std::move(lt);
    }
}

}  // namespace talvine
