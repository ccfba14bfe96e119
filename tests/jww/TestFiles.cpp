#include "tests/jww/TestFiles.h"

#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>

#include "jww/Archive.h"
#include "util/Func_2.h"

namespace talvine::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::random_device rd;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "fixture";
    for (char& c : name) {
        if (c == '/' || c == ' ') c = '_';
    }
    fs::path p = fs::path(::testing::TempDir()) / ("talvine-" + name + "-" + std::to_string(rd()));
    fs::create_directories(p);
    const std::u8string u8 = p.u8string();
    path_ = std::string(u8.begin(), u8.end()) + static_cast<char>(fs::path::preferred_separator);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(FsPath(path_), ec);
}

std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ByteBuilder& ByteBuilder::u8(uint8_t v) {
    b_.push_back(v);
    return *this;
}
ByteBuilder& ByteBuilder::u16(uint16_t v) { return u8(static_cast<uint8_t>(v)).u8(static_cast<uint8_t>(v >> 8)); }
ByteBuilder& ByteBuilder::u32(uint32_t v) {
    return u16(static_cast<uint16_t>(v)).u16(static_cast<uint16_t>(v >> 16));
}
ByteBuilder& ByteBuilder::f64(double d) {
    uint64_t v;
    std::memcpy(&v, &d, 8);
    return u32(static_cast<uint32_t>(v)).u32(static_cast<uint32_t>(v >> 32));
}
ByteBuilder& ByteBuilder::raw(const std::string& s) {
    b_.insert(b_.end(), s.begin(), s.end());
    return *this;
}
ByteBuilder& ByteBuilder::raw(const Bytes& b) {
    b_.insert(b_.end(), b.begin(), b.end());
    return *this;
}
ByteBuilder& ByteBuilder::fill(uint8_t v, size_t n) {
    b_.insert(b_.end(), n, v);
    return *this;
}
ByteBuilder& ByteBuilder::str(const std::string& ascii) {
    if (ascii.size() < 255) {
        u8(static_cast<uint8_t>(ascii.size()));
    } else {
        u8(0xFF).u16(static_cast<uint16_t>(ascii.size()));
    }
    return raw(ascii);
}
ByteBuilder& ByteBuilder::attr(int ver, const TEntJwwAttr& a) {
    u32(a.lGroup).u8(a.nPenStyle).u16(a.nPenColor);
    if (ver >= 351) u16(a.nPenWidth);
    return u16(a.nLayer).u16(a.nGLayer).u16(a.sFlg);
}
ByteBuilder& ByteBuilder::newClass(const std::string& name, uint16_t schema) {
    return u16(0xFFFF).u16(schema).u16(static_cast<uint16_t>(name.size())).raw(name);
}

TEntJwwAttr Attr(uint8_t style, uint16_t color, uint16_t layer, uint16_t group, uint16_t width) {
    TEntJwwAttr a;
    a.nPenStyle = style;
    a.nPenColor = color;
    a.nLayer = layer;
    a.nGLayer = group;
    a.nPenWidth = width;
    return a;
}

namespace {
template <class T>
void Push(TArray<T>& arr, int32_t& n, TArray<TEntJwwNo>& no, int kind, const T& e) {
    arr.resize(static_cast<size_t>(n));
    arr.push_back(e);
    no.push_back(TEntJwwNo{kind, n});
    ++n;
}
}  // namespace

void Add(TEntityLists L, const TEntJwwLine& e) { Push(L.Line, L.LineN, L.No, kEntLine, e); }
void Add(TEntityLists L, const TEntJwwEnko& e) { Push(L.Enko, L.EnkoN, L.No, kEntEnko, e); }
void Add(TEntityLists L, const TEntJwwTen& e) { Push(L.Ten, L.TenN, L.No, kEntTen, e); }
void Add(TEntityLists L, const TEntJwwMoji& e) { Push(L.Moji, L.MojiN, L.No, kEntMoji, e); }
void Add(TEntityLists L, const TEntJwwSunpo& e) { Push(L.Sunpo, L.SunpoN, L.No, kEntSunpo, e); }
void Add(TEntityLists L, const TEntJwwSolid& e) { Push(L.Solid, L.SolidN, L.No, kEntSolid, e); }
void Add(TEntityLists L, const TEntJwwBlock& e) { Push(L.Block, L.BlockN, L.No, kEntBlock, e); }

int AddBlockDef(TJwDocument& d, const std::u16string& name) {
    TEntJwwBlockDef def;
    def.att = Attr(1, 1);
    def.nNumber = static_cast<uint32_t>(d.EntBlockDefN);
    def.dtime = 1000u + static_cast<uint32_t>(d.EntBlockDefN);
    def.strName = name;
    d.EntBlockDef.push_back(std::move(def));
    return d.EntBlockDefN++;
}

namespace {
template <class Doc>
void SyncCountsImpl(Doc& d) {
    d.Enthd.n1 = static_cast<int32_t>(d.EntNo.size());
    d.Enthd.n2 = d.EntBlockDefN;
    for (auto& def : d.EntBlockDef) def.N = static_cast<int32_t>(def.mNo.size());
    d.MakeBlockTree();
}
}  // namespace
void KeepEveryDefinition(TJwDocument& d) {
    int32_t next = 0;
    for (auto& def : d.EntBlockDef) {
        def.ref_flag = true;
        def.ref_no = next++;
    }
    d.EntBlockNum = next;
}

void SyncCounts(TJwwData& d) { SyncCountsImpl(d); }
void SyncCounts(TJwsData& d) { SyncCountsImpl(d); }

TEntJwwMoji Text(double x, double y, const std::u16string& s, const TEntJwwAttr& a) {
    TEntJwwMoji t;
    t.att = a;
    t.start_x = x;
    t.start_y = y;
    t.end_x = x + 2.5 * static_cast<double>(s.size());
    t.end_y = y;
    t.nMojiShu = 2;
    t.dSizeX = t.dSizeY = 2.5;
    t.dKankaku = 0.25;
    t.degKakudo = 0;
    t.strFontName = u"ＭＳ ゴシック";
    t.str = s;
    return t;
}

TEntJwwSunpo Dimension(double x1, double y1, double x2, double y2, const std::u16string& s, bool sxf) {
    TEntJwwSunpo d;
    d.att = Attr(1, 3, 2, 0);
    d.Sen.att = d.att;
    d.Sen.start_x = x1;
    d.Sen.start_y = y1;
    d.Sen.end_x = x2;
    d.Sen.end_y = y2;
    d.Moji = Text((x1 + x2) / 2, y1 + 1, s, d.att);
    if (sxf) {
        d.bSxfMode = 1;
        d.Ho1 = TEntJwwLine{d.att, x1, y1 - 5, x1, y1};
        d.Ho2 = TEntJwwLine{d.att, x2, y2 - 5, x2, y2};
        TEntJwwTen p;
        p.att = d.att;
        d.Te1 = p;
        d.Te1.start_x = x1;
        d.Te1.start_y = y1;
        d.Te2 = p;
        d.Te2.start_x = x2;
        d.Te2.start_y = y2;
        d.Kt1 = p;
        d.Kt1.start_x = x1;
        d.Kt1.start_y = y1 - 5;
        d.Kt1.bKariten = 1;
        d.Kt2 = p;
        d.Kt2.start_x = x2;
        d.Kt2.start_y = y2 - 5;
        d.Kt2.att.nPenStyle = 100;  // a symbol point keeps its symbol fields
        d.Kt2.nCode = 4;
        d.Kt2.radKaitenKaku = 0.25;
        d.Kt2.dBairitsu = 1.5;
    } else {
        // What a file without SXF parts reads as.
        d.Ho1 = TEntJwwLine{d.att};
        d.Ho2 = TEntJwwLine{d.att};
        TEntJwwTen p;
        p.att = d.att;
        p.att.nPenStyle = 0;
        d.Te1 = d.Te2 = d.Kt1 = d.Kt2 = p;
    }
    return d;
}

TEntJwwBlock Insert(uint32_t number, double x, double y, double sx, double sy, double rot) {
    TEntJwwBlock b;
    b.att = Attr(1, 1);
    b.DPKijunTen_x = x;
    b.DPKijunTen_y = y;
    b.dBairitsuX = sx;
    b.dBairitsuY = sy;
    b.radKaitenKaku = rot;
    b.nNumber = number;
    return b;
}

namespace {

// Entities every version can store, in the form the reader gives them back,
// in paper millimetres around the origin; the dimensions lie in group 0, at
// 1/100, and read their lengths times 100.
void FillEntities(TJwDocument& d, int ver) {
    const bool sxf = ver >= 420;
    const uint16_t width = ver >= 351 ? 35 : 0;
    TEntityLists top = d.TopLists();

    TEntJwwLine line{Attr(sxf ? 35 : 2, sxf ? 105 : 5, 3, 1, width), 0, 0, 100, 50};
    line.att.lGroup = 7;
    line.att.sFlg = 0x20;
    Add(top, line);
    TEntJwwEnko arc{Attr(1, 2, 0, 0, width), 50, 50, 20, 0.1, 3.0, 0.2, 0.5, 0};
    Add(top, arc);
    TEntJwwEnko circle{Attr(9, 9), -10, -10, 5, 0, 2 * std::numbers::pi, 0, 1, 1};
    Add(top, circle);
    TEntJwwTen pt;
    pt.att = Attr(1, 4);
    pt.start_x = 3;
    pt.start_y = 4;
    pt.dBairitsu = 1.0;  // a point without symbol reads with scale 1
    Add(top, pt);
    TEntJwwTen sym;
    sym.att = Attr(100, 6);
    sym.start_x = -3;
    sym.start_y = 7;
    sym.bKariten = 1;
    sym.nCode = 12;
    sym.radKaitenKaku = 0.75;
    sym.dBairitsu = 2.0;
    Add(top, sym);
    Add(top, Text(10, 20, u"寸法①～∥￢－ ABC", Attr(2, 7, 1, 2)));
    Add(top, Text(10, 30, u"", Attr(1, 1)));
    Add(top, Dimension(0, -10, 100, -10, u"10000", sxf));
    Add(top, Dimension(0, -20, 0, -80, u"", sxf));
    TEntJwwSolid own{Attr(1, 10), 0, 0, 10, 0, 10, 10, 0, 10, 0x00336699};
    Add(top, own);
    TEntJwwSolid plain{Attr(1, 3), 1, 1, 2, 1, 2, 2, 1, 2, 0};
    Add(top, plain);

    const int door = AddBlockDef(d, u"扉");
    const int window = AddBlockDef(d, u"窓@@SfigorgFlag@@1");
    {
        TEntityLists L = ListsOf(d.EntBlockDef[static_cast<size_t>(door)]);
        Add(L, TEntJwwLine{Attr(1, 1), 0, 0, 10, 0});
        TEntJwwTen mp;
        mp.att = Attr(1, 2);
        mp.start_x = 1;  // a member point without symbol reads with scale 0
        Add(L, mp);
        Add(L, Text(1, 1, u"ドア", Attr(1, 1)));
        Add(L, Dimension(0, 0, 10, 0, u"1000", sxf));
        Add(L, Insert(static_cast<uint32_t>(window), 5, 5, 0.5, 0.5, std::numbers::pi / 2));
    }
    {
        TEntJwwBlockDef& w = d.EntBlockDef[static_cast<size_t>(window)];
        w.bRefferd = 1;
        TEntityLists L = ListsOf(w);
        Add(L, TEntJwwEnko{Attr(1, 1), 0, 0, 1, 0, std::numbers::pi, 0, 1, 0});
        Add(L, TEntJwwSolid{Attr(1, 2), 0, 0, 1, 0, 1, 1, 0, 1, 0});
    }
    Add(top, Insert(static_cast<uint32_t>(door), 100, 50, 2, 3, std::numbers::pi / 2));
    Add(top, Insert(static_cast<uint32_t>(window), -50, 0));
}

double g_value;
double Next() { return g_value += 1.25; }
int32_t NextInt() { return static_cast<int32_t>(g_value += 1); }

}  // namespace

TJwwData SampleDrawing(int ver) {
    TJwwData d;
    TEntJwwHeader& h = d.Enthd;
    g_value = 0;
    h.jwID = "JwwData.";
    h.jwVer = ver;
    h.strMemo = u"図面メモ\r\n二行目";
    h.nZumen = NextInt();  // 1: A1, 841 x 594 mm
    h.nWriteGLay = 3;
    d.EntLgrp.resize(16);
    d.EntLay.resize(256);
    for (int g = 0; g < 16; ++g) {
        auto& G = d.EntLgrp[static_cast<size_t>(g)];
        G.anGLay = g % 3;
        G.anWriteLay = g;
        G.adScale = kSampleScales[g];
        G.anGLayProtect = g % 2;
        G.aStrGLayName = g == 1 ? u"平面図" : u"";
        for (int l = 0; l < 16; ++l) {
            auto& L = d.EntLay[static_cast<size_t>(g * 16 + l)];
            L.aanLay = (g + l) % 3;
            L.aanLayProtect = l % 2;
            L.aStrLayName = l == 2 ? u"壁" : (l == 3 ? u"layer 3" : u"");
        }
    }
    h.lnSunpou1 = NextInt();
    h.lnSunpou2 = NextInt();
    h.lnSunpou3 = NextInt();
    h.lnSunpou4 = NextInt();
    h.lnSunpou5 = NextInt();
    h.nMaxDrawWid = ver > 420 ? -450 : 2;
    h.nMaxDrawWidBak = ver > 420 ? -50 : 2;
    h.bSenHaba100 = ver > 420;
    h.DPPrtGenten_x = Next();
    h.DPPrtGenten_y = Next();
    h.dPrtBairitsu = Next();
    h.nPrtSet = NextInt();
    h.nMemoriMode = NextInt();
    h.dMemoriHyoujiMin = Next();
    h.dMemoriX = Next();
    h.dMemoriY = Next();
    h.DpMemoriKjTen_x = Next();
    h.DpMemoriKjTen_y = Next();
    h.dKageLevel = Next();
    h.dKageIdo = Next();
    h.nKage9_15JiFlg = NextInt();
    h.dKabeKageLevel = Next();
    if (ver >= 300) {
        h.dTenkuuZuLevel = Next();
        h.dTenkuuZuEnkoR = Next();
    }
    h.nMMTani3D = NextInt();
    h.dBairitsu = Next();
    h.DPGenten_x = Next();
    h.DPGenten_y = Next();
    h.dHanniBairitsu = Next();
    h.DPHanniGenten_x = Next();
    h.DPHanniGenten_y = Next();
    for (int i = 1; i <= 8; ++i) {
        const bool stored = ver >= 231 || i <= 4;
        h.dZoomJumpBairitsu[i] = stored ? Next() : 1.0;
        h.DPZoomJumpGenten_x[i] = stored ? Next() : 0.0;
        h.DPZoomJumpGenten_y[i] = stored ? Next() : 0.0;
        h.nZoomJumpGLay[i] = ver >= 231 ? NextInt() : -1;
    }
    if (ver >= 231) {
        h.dDm11 = Next();
        h.dDm12 = Next();
        h.dDm13 = Next();
        h.lnDm1 = NextInt();
        h.dDm21 = Next();
        h.dDm22 = Next();
        h.dMojiBG = Next();
        h.nMojiBG = NextInt();
    }
    for (double& v : h.adFukusenSuuchi) v = Next();
    h.dRyougawaFukusenTomeDe = Next();
    d.EntCol.resize(10);
    for (int k = 0; k < 10; ++k) {
        auto& c = d.EntCol[static_cast<size_t>(k)];
        c.aPenColor = 0x010203 * k;
        c.anPenWidth = 1 + k;
        c.aPrtPenColor = k == 0 ? 0xFFFFFF : 0x000100 * k;
        c.anPrtPenWidth = 10 * (k + 1);
        c.adPrtTenHankei = 0.5 + 0.25 * k;
    }
    d.EntLtp1.resize(8);
    for (auto& t : d.EntLtp1) t = {NextInt(), NextInt(), NextInt(), NextInt()};
    d.EntLtp2.resize(5);
    for (auto& t : d.EntLtp2) t = {NextInt(), NextInt(), NextInt(), NextInt(), NextInt()};
    d.EntLtp3.resize(4);
    for (auto& t : d.EntLtp3) t = {NextInt(), NextInt(), NextInt(), NextInt()};
    h.nDrawGamenTen = NextInt();
    h.nDrawPrtTen = NextInt();
    h.nBitMapFirstDraw = NextInt();
    h.nGyakuDraw = NextInt();
    h.nGyakuSearch = NextInt();
    h.nColorPrint = NextInt();
    h.nLayJunPrint = NextInt();
    h.nColJunPrint = NextInt();
    h.nPrtRenzoku = NextInt();
    h.nPrtKyoutsuuGray = NextInt();
    h.nPrtDpi = ver >= 600 ? 36 : 0;
    h.nPrtDispOnlyNonDraw = 1;
    if (ver >= 223) {
        h.lnDrawTime = 3900;
        h.nEyeInit = NextInt();
        h.dEye_H_Ichi_1 = NextInt();
        h.dEye_H_Ichi_2 = NextInt();
        h.dEye_H_Ichi_3 = NextInt();
        h.dEye_Z_Ichi_1 = Next();
        h.dEye_Y_Ichi_1 = Next();
        h.dEye_Z_Ichi_2 = Next();
        h.dEye_Y_Ichi_2 = Next();
        h.dEye_V_Ichi_3 = Next();
    }
    if (ver >= 225) {
        h.dSenNagasaSnpou = Next();
        h.dBoxSunpouX = Next();
        h.dBoxSunpouY = Next();
        h.dEnHankeiSnpou = Next();
    }
    if (ver >= 230) {
        h.nSolidNinniColor = NextInt();
        h.SolidColor = NextInt();
    }
    d.EntColS.resize(257);
    d.EntLtpS.resize(33);
    if (ver >= 420) {
        for (int k = 0; k < 257; ++k) {
            auto& c = d.EntColS[static_cast<size_t>(k)];
            c.aPenColor = 0x000101 * k;
            c.anPenWidth = k % 7;
            c.astrUDColorName = k == 3 ? u"空色" : u"Color_" + IntToStrDec(k);
            c.aPrtPenColor = k <= 16 ? 0x010000 * k : c.aPenColor;
            c.anPrtPenWidth = k;
            c.adPrtTenHankei = 0.125 * k;
        }
        for (int k = 0; k < 33; ++k) {
            auto& t = d.EntLtpS[static_cast<size_t>(k)];
            t.alLType = 0x0F0F0F0F + k;
            t.anTokushuSenUintDot = k;
            t.anTokushuSenPich = k + 1;
            t.anPrtTokushuSenPich = k + 2;
            t.astrUDLTypeName = u"LType_" + IntToStrDec(k);
            t.anUDLTypeSegment = k >= 17 ? 2 * (1 + k % 4) : k % 3;
            for (int i = 1; i <= 10; ++i) t.aadUDLTypePitch[i] = 0.5 * i + k;
        }
    }
    d.EntMoj.resize(10);
    for (int k = 0; k < 10; ++k) d.EntMoj[static_cast<size_t>(k)] = {2.0 + k, 2.5 + k, 0.5, k % 5 + 1};
    h.dMojiSizeX = 3.5;
    h.dMojiSizeY = 4.5;
    h.dMojiKankaku = 0.75;
    h.nMojiColor = NextInt();
    h.nMojiShu = NextInt();
    h.dMojiSeiriGyouKan = Next();
    h.dMojiSeiriSuu = Next();
    h.nMojiKijunZureOn = NextInt();
    h.adMojiKijunZureX0 = Next();
    h.adMojiKijunZureX1 = Next();
    h.adMojiKijunZureX2 = Next();
    h.adMojiKijunZureY0 = Next();
    h.adMojiKijunZureY1 = Next();
    h.adMojiKijunZureY2 = Next();

    FillEntities(d, ver);
    SyncCounts(d);
    return d;
}

TJwwData TablesOnly(int ver) {
    TJwwData d = SampleDrawing(ver);
    TJwwData e;
    e.Enthd = d.Enthd;
    e.Enthd.n1 = e.Enthd.n2 = 0;
    e.EntLgrp = d.EntLgrp;
    e.EntLay = d.EntLay;
    e.EntCol = d.EntCol;
    e.EntLtp1 = d.EntLtp1;
    e.EntLtp2 = d.EntLtp2;
    e.EntLtp3 = d.EntLtp3;
    e.EntColS = d.EntColS;
    e.EntLtpS = d.EntLtpS;
    e.EntMoj = d.EntMoj;
    return e;
}

Bytes HeaderBytes(int ver) {
    TempDir dir;
    TJwwData d = TablesOnly(ver);
    EXPECT_TRUE(d.FileOut(dir.File("header.jww"), ver));
    Bytes b = ReadAll(dir.File("header.jww"));
    b.resize(b.size() - 4 - (ver >= 700 ? 4 : 0));  // two empty lists, no images
    return b;
}

TJwsData SampleFigure(int ver) {
    TJwsData d;
    TEntJwsHeader& h = d.Enthd;
    h.jwID = "JwsData";
    h.jwVer = ver;
    h.BasePoint_x = 12.5;
    h.BasePoint_y = -3;
    h.dmy01 = 1;
    h.dmy02 = 2;
    h.dmy03 = 3;
    h.dmy04 = -4;
    h.dmy05 = 5;
    h.dmy06 = 6;
    h.dmy11 = 1.5;
    h.dmy12 = 2.5;
    h.dmy13 = 3.5;
    h.dmy14 = 4.5;
    h.dmy15 = 5.5;
    h.dmy16 = 6.5;
    h.Mx1 = -60;
    h.My1 = -80;
    h.Mx2 = 300;
    h.My2 = 200;
    d.EntLgrp.resize(16);
    for (int g = 0; g < 16; ++g) {
        auto& G = d.EntLgrp[static_cast<size_t>(g)];
        G.anGLay = 2;
        G.adScale = kSampleScales[g];
    }
    FillEntities(d, ver);
    SyncCounts(d);
    return d;
}

namespace {

void ExpectSameTree(const TEntJwwBlockTree& a, const TEntJwwBlockTree& b, size_t i) {
    SCOPED_TRACE("block tree node " + std::to_string(i));
    EXPECT_EQ(a.att, b.att);
    EXPECT_EQ(a.level, b.level);
    EXPECT_EQ(a.parent, b.parent);
    EXPECT_EQ(a.no, b.no);
    EXPECT_EQ(a.defno, b.defno);
    EXPECT_EQ(a.name, b.name);
    EXPECT_DOUBLE_EQ(a.x, b.x);
    EXPECT_DOUBLE_EQ(a.y, b.y);
    EXPECT_DOUBLE_EQ(a.r1, b.r1);
    EXPECT_DOUBLE_EQ(a.r2, b.r2);
    EXPECT_DOUBLE_EQ(a.r3, b.r3);
    EXPECT_DOUBLE_EQ(a.r4, b.r4);
}

template <class T>
void ExpectSameArray(const TArray<T>& a, const TArray<T>& b, int32_t n, const char* what) {
    ASSERT_GE(a.size(), static_cast<size_t>(n)) << what;
    ASSERT_GE(b.size(), static_cast<size_t>(n)) << what;
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) EXPECT_TRUE(a[i] == b[i]) << what << " element " << i;
}

void ExpectSameLists(TEntityLists a, TEntityLists b) {
    EXPECT_EQ(a.No, b.No);
    EXPECT_EQ(a.LineN, b.LineN);
    EXPECT_EQ(a.EnkoN, b.EnkoN);
    EXPECT_EQ(a.TenN, b.TenN);
    EXPECT_EQ(a.MojiN, b.MojiN);
    EXPECT_EQ(a.SunpoN, b.SunpoN);
    EXPECT_EQ(a.SolidN, b.SolidN);
    EXPECT_EQ(a.BlockN, b.BlockN);
    ExpectSameArray(a.Line, b.Line, std::min(a.LineN, b.LineN), "line");
    ExpectSameArray(a.Enko, b.Enko, std::min(a.EnkoN, b.EnkoN), "arc");
    ExpectSameArray(a.Ten, b.Ten, std::min(a.TenN, b.TenN), "point");
    ExpectSameArray(a.Moji, b.Moji, std::min(a.MojiN, b.MojiN), "text");
    ExpectSameArray(a.Sunpo, b.Sunpo, std::min(a.SunpoN, b.SunpoN), "dimension");
    ExpectSameArray(a.Solid, b.Solid, std::min(a.SolidN, b.SolidN), "solid");
    ExpectSameArray(a.Block, b.Block, std::min(a.BlockN, b.BlockN), "block insert");
}

}  // namespace

void ExpectSameEntities(const TJwDocument& ca, const TJwDocument& cb) {
    auto& a = const_cast<TJwDocument&>(ca);
    auto& b = const_cast<TJwDocument&>(cb);
    ExpectSameLists(a.TopLists(), b.TopLists());
    ASSERT_EQ(a.EntBlockDefN, b.EntBlockDefN);
    for (size_t i = 0; i < static_cast<size_t>(a.EntBlockDefN); ++i) {
        SCOPED_TRACE("block definition " + std::to_string(i));
        auto& da = a.EntBlockDef[i];
        auto& db = b.EntBlockDef[i];
        EXPECT_EQ(da.att, db.att);
        EXPECT_EQ(da.nNumber, db.nNumber);
        EXPECT_EQ(da.bRefferd, db.bRefferd);
        EXPECT_EQ(da.dtime, db.dtime);
        EXPECT_EQ(da.strName, db.strName);
        EXPECT_EQ(da.N, db.N);
        EXPECT_EQ(da.ref_flag, db.ref_flag);
        EXPECT_EQ(da.ref_no, db.ref_no);
        ExpectSameLists(ListsOf(da), ListsOf(db));
    }
    EXPECT_EQ(a.EntBlockNum, b.EntBlockNum);
    ASSERT_EQ(a.EntBlockTreeN, b.EntBlockTreeN);
    for (size_t i = 0; i < static_cast<size_t>(a.EntBlockTreeN); ++i)
        ExpectSameTree(a.EntBlockTree[i], b.EntBlockTree[i], i);
    EXPECT_EQ(a.BindImageN, b.BindImageN);
    EXPECT_EQ(a.BindImage, b.BindImage);
}

void ExpectSameDrawing(const TJwwData& a, const TJwwData& b) {
    EXPECT_TRUE(a.Enthd == b.Enthd) << "drawing headers differ";
    EXPECT_EQ(a.EntLgrp, b.EntLgrp);
    EXPECT_EQ(a.EntLay, b.EntLay);
    EXPECT_EQ(a.EntCol, b.EntCol);
    EXPECT_EQ(a.EntLtp1, b.EntLtp1);
    EXPECT_EQ(a.EntLtp2, b.EntLtp2);
    EXPECT_EQ(a.EntLtp3, b.EntLtp3);
    EXPECT_EQ(a.EntColS, b.EntColS);
    EXPECT_EQ(a.EntLtpS, b.EntLtpS);
    EXPECT_EQ(a.EntMoj, b.EntMoj);
    ExpectSameEntities(a, b);
}

void ExpectSameFigure(const TJwsData& a, const TJwsData& b) {
    EXPECT_TRUE(a.Enthd == b.Enthd) << "figure headers differ";
    EXPECT_EQ(a.EntLgrp, b.EntLgrp);
    ExpectSameEntities(a, b);
}

namespace {
template <class Doc>
Doc RoundTripImpl(Doc& d, int ver, const TempDir& dir, Bytes* written) {
    static int serial = 0;
    const std::string path = dir.File("roundtrip" + std::to_string(serial++));
    EXPECT_TRUE(d.FileOut(path, ver)) << d.LastError;
    if (written) *written = ReadAll(path);
    Doc back;
    EXPECT_TRUE(back.FileIn(path)) << back.LastError;
    return back;
}
}  // namespace

TJwwData RoundTrip(TJwwData& d, int ver, const TempDir& dir, Bytes* written) {
    return RoundTripImpl(d, ver, dir, written);
}
TJwsData RoundTrip(TJwsData& d, int ver, const TempDir& dir, Bytes* written) {
    return RoundTripImpl(d, ver, dir, written);
}

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return b;
}

Bytes Gzip(const Bytes& plain) {
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    Bytes out(compressBound(static_cast<uLong>(plain.size())) + 64);
    zs.next_in = const_cast<Bytef*>(plain.data());
    zs.avail_in = static_cast<uInt>(plain.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

}  // namespace talvine::test
