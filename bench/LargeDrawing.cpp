#include "bench/LargeDrawing.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace talvine::bench {

namespace {

// The sheet: A1 (841 x 594 mm), centred on the origin as Jw_cad keeps it.
// Everything is drawn in paper millimetres inside a margin of 10 mm; real
// lengths are paper lengths times the scale of the entity's layer group.
constexpr int32_t kPaperA1 = 1;
constexpr double kHalfWidth = 841.0 / 2 - 10, kHalfHeight = 594.0 / 2 - 10;

// Scales of the layer groups, as real drawings use them: group g has
// kScales[g % 6].
constexpr double kScales[6] = {100, 40, 200, 50, 150, 20};

double ScaleOf(const TEntJwwAttr& a) { return kScales[a.nGLayer % 6]; }

// An axis-parallel box, for keeping what is placed on the sheet.
struct Box {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    void Extend(double x, double y) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
};

// Block definitions come in families of kFamily consecutive numbers; a
// definition places the next two of its own family. Within a family of five
// that nests four levels deep and the biggest placement expands to twelve
// nodes, so the tree grows linearly with the inserts.
constexpr int32_t kFamily = 5;

// Deterministic pseudo-random numbers (xorshift64*).
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t Next() {
        s_ ^= s_ >> 12;
        s_ ^= s_ << 25;
        s_ ^= s_ >> 27;
        return s_ * 0x2545F4914F6CDD1DULL;
    }
    // Uniform in [lo, hi).
    double Real(double lo, double hi) { return lo + (hi - lo) * static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Uniform in [lo, hi].
    int Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1)); }
    // A place for something that reaches from its origin to a and to b, so
    // that it stays within [-half, half].
    double Within(double half, double a, double b) {
        return Real(-half - std::min({0.0, a, b}), half - std::max({0.0, a, b}));
    }

private:
    uint64_t s_;
};

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string Num(long long n) { return Ascii(std::to_string(n)); }

TEntJwwAttr Attr(Rng& r, uint8_t style, uint16_t color) {
    TEntJwwAttr a;
    a.nPenStyle = style;
    a.nPenColor = color;
    a.nLayer = static_cast<uint16_t>(r.Int(0, 15));
    a.nGLayer = static_cast<uint16_t>(r.Int(0, 15));
    return a;
}

const std::u16string kFont = u"ＭＳ ゴシック";

// Texts as a floor plan has them: about half Japanese, half ASCII.
std::u16string TextString(Rng& r, int32_t i) {
    static const std::u16string kJapanese[] = {
        u"会議室",        u"階段",           u"廊下",     u"便所",       u"倉庫",
        u"事務室 第",     u"配管 SGP 50A 系統", u"仕上げ：床 長尺シート", u"天井高 CH=", u"防火戸 特定防火設備",
    };
    static const char* const kAscii[] = {
        "ROOM-", "Level 3 finish FL+", "Door D", "WINDOW W-", "Grid X", "Column C-", "Note: see detail ",
    };
    if (i % 2 == 0) return kJapanese[r.Int(0, 9)] + Num(r.Int(1, 9999));
    return Ascii(kAscii[r.Int(0, 6)]) + Num(r.Int(1, 99999));
}

TEntJwwMoji Text(Rng& r, double x, double y, const std::u16string& s, const TEntJwwAttr& a) {
    TEntJwwMoji t;
    t.att = a;
    t.start_x = x;
    t.start_y = y;
    t.dSizeX = t.dSizeY = 2.5 + r.Int(0, 4) * 0.5;
    t.dKankaku = 0.25;
    t.nMojiShu = static_cast<uint32_t>(r.Int(1, 10));
    t.degKakudo = r.Int(0, 3) == 0 ? 90.0 : 0.0;
    const double run = (t.dSizeX + t.dKankaku) * static_cast<double>(s.size());
    t.end_x = t.degKakudo == 0 ? x + run : x;
    t.end_y = t.degKakudo == 0 ? y : y + run;
    t.strFontName = kFont;
    t.str = s;
    return t;
}

// A line of up to 2 m each way, on the sheet.
TEntJwwLine Line(Rng& r) {
    TEntJwwLine l;
    l.att = Attr(r, static_cast<uint8_t>(r.Int(1, 9)), static_cast<uint16_t>(r.Int(1, 9)));
    const double dx = r.Real(-2'000, 2'000) / ScaleOf(l.att), dy = r.Real(-2'000, 2'000) / ScaleOf(l.att);
    l.start_x = r.Within(kHalfWidth, dx, dx);
    l.start_y = r.Within(kHalfHeight, dy, dy);
    l.end_x = l.start_x + dx;
    l.end_y = l.start_y + dy;
    return l;
}

// A text of the drawing, on the sheet.
TEntJwwMoji PlacedText(Rng& r, int32_t i) {
    const TEntJwwAttr a = Attr(r, static_cast<uint8_t>(r.Int(1, 9)), static_cast<uint16_t>(r.Int(1, 9)));
    TEntJwwMoji t = Text(r, 0, 0, TextString(r, i), a);
    const double x = r.Within(kHalfWidth, 0, t.end_x), y = r.Within(kHalfHeight, 0, t.end_y);
    t.start_x += x;
    t.end_x += x;
    t.start_y += y;
    t.end_y += y;
    return t;
}

TEntJwwTen Point(const TEntJwwAttr& a, double x, double y, uint32_t kariten) {
    TEntJwwTen p;
    p.att = a;
    p.att.nPenStyle = 1;
    p.start_x = x;
    p.start_y = y;
    p.bKariten = kariten;
    return p;
}

// An SXF dimension with its dimension line, two extension lines, two end
// points, two reference points and its value: a real length of 100 to
// 9,000 mm, drawn at its group's scale, measured 10 mm above the reference
// points.
TEntJwwSunpo Dimension(Rng& r) {
    TEntJwwSunpo d;
    d.att = Attr(r, 1, static_cast<uint16_t>(r.Int(1, 9)));
    const int value = r.Int(100, 9'000);
    const double len = value / ScaleOf(d.att);
    d.Moji = Text(r, 0, 0, Num(value), d.att);
    d.Moji.degKakudo = 0;  // along its line
    const double run = (d.Moji.dSizeX + d.Moji.dKankaku) * static_cast<double>(d.Moji.str.size());
    const double x1 = r.Within(kHalfWidth, std::min(0.0, (len - run) / 2), std::max(len, (len + run) / 2));
    const double y1 = r.Within(kHalfHeight, -10, 1);
    const double x2 = x1 + len, y2 = y1;
    d.Sen = TEntJwwLine{d.att, x1, y1, x2, y2};
    d.Moji.start_x = (x1 + x2 - run) / 2;  // centred, 0.5 mm above the line
    d.Moji.end_x = (x1 + x2 + run) / 2;
    d.Moji.start_y = d.Moji.end_y = y1 + 0.5;
    d.bSxfMode = 1;
    d.Ho1 = TEntJwwLine{d.att, x1, y1 - 9, x1, y1 + 1};
    d.Ho2 = TEntJwwLine{d.att, x2, y2 - 9, x2, y2 + 1};
    d.Te1 = Point(d.att, x1, y1, 0);
    d.Te2 = Point(d.att, x2, y2, 0);
    d.Kt1 = Point(d.att, x1, y1 - 10, 1);
    d.Kt2 = Point(d.att, x2, y2 - 10, 1);
    return d;
}

TEntJwwEnko Arc(Rng& r) {
    TEntJwwEnko e;
    e.att = Attr(r, static_cast<uint8_t>(r.Int(1, 9)), static_cast<uint16_t>(r.Int(1, 9)));
    e.dHankei = r.Real(10, 3'000) / ScaleOf(e.att);
    e.start_x = r.Within(kHalfWidth, -e.dHankei, e.dHankei);
    e.start_y = r.Within(kHalfHeight, -e.dHankei, e.dHankei);
    if (r.Int(0, 3) == 0) {
        e.radEnkoKaku = 2 * std::numbers::pi;
        e.dHenpeiRitsu = 1;
        e.bZenEnFlg = 1;
    } else {
        e.radKaishiKaku = r.Real(0, 2 * std::numbers::pi);
        e.radEnkoKaku = r.Real(0.1, std::numbers::pi);
        e.radKatamukiKaku = r.Real(0, std::numbers::pi);
        e.dHenpeiRitsu = r.Real(0.3, 1);
    }
    return e;
}

TEntJwwSolid Solid(Rng& r) {
    TEntJwwSolid s;
    const bool own = r.Int(0, 1) == 0;
    s.att = Attr(r, 1, own ? 10 : static_cast<uint16_t>(r.Int(1, 9)));
    const double side = 600 / ScaleOf(s.att);  // a column of 600 x 600 mm
    s.start_x = r.Within(kHalfWidth, 0, side);
    s.start_y = r.Within(kHalfHeight, 0, side);
    s.end_x = s.start_x + side;
    s.end_y = s.start_y;
    s.DPoint2_x = s.start_x + side;
    s.DPoint2_y = s.start_y + side;
    s.DPoint3_x = s.start_x;
    s.DPoint3_y = s.start_y + side;
    s.Color = own ? static_cast<uint32_t>(r.Next() & 0xFFFFFF) : 0;
    return s;
}

TEntJwwBlock Insert(uint32_t number, double x, double y, double scale, double rot) {
    TEntJwwBlock b;
    b.att.nPenStyle = 1;
    b.att.nPenColor = 1;
    b.DPKijunTen_x = x;
    b.DPKijunTen_y = y;
    b.dBairitsuX = b.dBairitsuY = scale;
    b.radKaitenKaku = rot;
    b.nNumber = number;
    return b;
}

// Appends e to the list arr (count n) and its order entry to no.
template <class T>
void Push(TArray<T>& arr, int32_t& n, TArray<TEntJwwNo>& no, int kind, T&& e) {
    arr.push_back(std::forward<T>(e));
    no.push_back(TEntJwwNo{kind, n++});
}

// The definitions that definition i places.
std::vector<int32_t> Children(int32_t i, int32_t defs) {
    std::vector<int32_t> c;
    for (int32_t k = i + 1; k <= i + 2; ++k)
        if (k < defs && k / kFamily == i / kFamily) c.push_back(k);
    return c;
}

void FillHeader(TJwwData& d) {
    TEntJwwHeader& h = d.Enthd;
    h.jwID = "JwwData.";
    h.jwVer = 700;
    h.strMemo = u"ベンチマーク用の大きな図面\r\nbenchmark drawing";
    h.nZumen = kPaperA1;
    h.nWriteGLay = 0;
    h.nMaxDrawWid = -450;
    h.nMaxDrawWidBak = -50;
    h.bSenHaba100 = true;
    h.dPrtBairitsu = 1;
    h.nPrtSet = 1;
    h.dMemoriHyoujiMin = h.dMemoriX = h.dMemoriY = 1;
    h.dBairitsu = h.dHanniBairitsu = 1;
    for (int i = 1; i <= 8; ++i) h.dZoomJumpBairitsu[i] = i;
    for (int i = 0; i < 10; ++i) h.adFukusenSuuchi[i] = 1 + i;
    h.nPrtDpi = 36;
    h.nPrtDispOnlyNonDraw = 1;
    h.lnDrawTime = 7'384;
    h.dMojiSizeX = h.dMojiSizeY = 3.5;
    h.dMojiKankaku = 0.5;
    h.nMojiColor = 1;
    h.nMojiShu = 3;
    h.dMojiSeiriGyouKan = 2;
    h.dMojiSeiriSuu = 10;

    d.EntLgrp.resize(16);
    d.EntLay.resize(256);
    for (int g = 0; g < 16; ++g) {
        auto& G = d.EntLgrp[static_cast<size_t>(g)];
        G.anGLay = 2;
        G.anWriteLay = 0;
        G.adScale = kScales[g % 6];
        G.aStrGLayName = g == 0 ? u"平面図" : u"Group " + Num(g);
        for (int l = 0; l < 16; ++l) {
            auto& L = d.EntLay[static_cast<size_t>(g * 16 + l)];
            L.aanLay = 2;
            L.aStrLayName = l == 1 ? u"壁" : u"layer " + Num(l);
        }
    }
    d.EntCol.resize(10);
    for (int k = 0; k < 10; ++k) {
        auto& c = d.EntCol[static_cast<size_t>(k)];
        c.aPenColor = 0x102030 * k;
        c.anPenWidth = 1 + k;
        c.aPrtPenColor = k == 0 ? 0xFFFFFF : 0;
        c.anPrtPenWidth = 10 + 20 * k;
        c.adPrtTenHankei = 0.3 + 0.1 * k;
    }
    d.EntLtp1.resize(8);
    for (int k = 0; k < 8; ++k) d.EntLtp1[static_cast<size_t>(k)] = {0x0F0F0F0F + k, 1, 8, 8};
    d.EntLtp2.resize(5);
    for (int k = 0; k < 5; ++k) d.EntLtp2[static_cast<size_t>(k)] = {0x33333333 + k, 2, 8, 2, 8};
    d.EntLtp3.resize(4);
    for (int k = 0; k < 4; ++k) d.EntLtp3[static_cast<size_t>(k)] = {0x00FF00FF + k, 1, 16, 16};
    d.EntColS.resize(257);
    for (int k = 0; k < 257; ++k) {
        auto& c = d.EntColS[static_cast<size_t>(k)];
        c.aPenColor = 0x010101 * (k % 256);
        c.anPenWidth = 1 + k % 16;
        c.astrUDColorName = u"Color " + Num(k);
        c.aPrtPenColor = c.aPenColor;
        c.anPrtPenWidth = 1 + k % 50;
        c.adPrtTenHankei = 0.5;
    }
    d.EntLtpS.resize(33);
    for (int k = 0; k < 33; ++k) {
        auto& t = d.EntLtpS[static_cast<size_t>(k)];
        t.alLType = 0x0F0F0F0F + k;
        t.anTokushuSenUintDot = 1;
        t.anTokushuSenPich = 8;
        t.anPrtTokushuSenPich = 8;
        t.astrUDLTypeName = u"LType " + Num(k);
        t.anUDLTypeSegment = k >= 17 ? 2 : 0;
        for (int i = 1; i <= 10; ++i) t.aadUDLTypePitch[i] = 0.5 * i;
    }
    d.EntMoj.resize(10);
    for (int k = 0; k < 10; ++k) d.EntMoj[static_cast<size_t>(k)] = {2.0 + k, 2.0 + k, 0.5, 1 + k % 9};
}

// Children are placed at half size, at this point of their parent.
constexpr double kChildX = 12, kChildY = 2, kChildScale = 0.5;

// The definitions: small parts of 3 to 8 strokes 4 mm high with a label
// under them, each placing the next two of its family. Returns the box of
// each definition with all it places, in its own coordinates.
std::vector<Box> FillBlockDefs(TJwwData& d, Rng& r, int32_t defs) {
    d.EntBlockDef.resize(static_cast<size_t>(defs));
    std::vector<Box> boxes(static_cast<size_t>(defs));
    for (int32_t i = defs - 1; i >= 0; --i) {  // children first, for the boxes
        TEntJwwBlockDef& def = d.EntBlockDef[static_cast<size_t>(i)];
        def.att.nPenStyle = 1;
        def.att.nPenColor = 1;
        def.nNumber = static_cast<uint32_t>(i);
        def.dtime = 1'600'000'000u + static_cast<uint32_t>(i);
        def.strName = (i % 2 == 0 ? u"部品_" : u"part_") + Num(i);
        Box& box = boxes[static_cast<size_t>(i)];
        const int lines = 3 + i % 6;
        for (int k = 0; k < lines; ++k) {
            TEntJwwLine l = Line(r);
            l.start_x = k * 2;
            l.start_y = 0;
            l.end_x = k * 2 + 1;
            l.end_y = 4;
            box.Extend(l.end_x, l.end_y);
            Push(def.mLine, def.mLineN, def.mNo, kEntLine, std::move(l));
        }
        const TEntJwwAttr ta = Attr(r, 1, 1);
        TEntJwwMoji t = Text(r, 0, -5, TextString(r, i), ta);
        box.Extend(t.start_x, t.start_y);
        box.Extend(t.end_x, t.end_y);
        Push(def.mMoji, def.mMojiN, def.mNo, kEntMoji, std::move(t));
        for (int32_t c : Children(i, defs)) {
            const Box& cb = boxes[static_cast<size_t>(c)];
            box.Extend(kChildX + kChildScale * cb.minX, kChildY + kChildScale * cb.minY);
            box.Extend(kChildX + kChildScale * cb.maxX, kChildY + kChildScale * cb.maxY);
            Push(def.mBlock, def.mBlockN, def.mNo, kEntBlock,
                 Insert(static_cast<uint32_t>(c), kChildX, kChildY, kChildScale, 0));
        }
        def.N = static_cast<int32_t>(def.mNo.size());
    }
    d.EntBlockDefN = defs;
    return boxes;
}

// A placement of a definition with box b, at scale 1 or 2 and turned by a
// multiple of 90 degrees, on the sheet.
TEntJwwBlock PlacedInsert(Rng& r, uint32_t number, const Box& b) {
    const double scale = r.Int(0, 1) ? 1.0 : 2.0;
    const int quarter = r.Int(0, 3);
    const double c[4] = {1, 0, -1, 0}, s[4] = {0, 1, 0, -1};
    Box turned{1e300, 1e300, -1e300, -1e300};
    for (const double x : {b.minX, b.maxX})
        for (const double y : {b.minY, b.maxY})
            turned.Extend(scale * (c[quarter] * x - s[quarter] * y), scale * (s[quarter] * x + c[quarter] * y));
    const double bx = r.Within(kHalfWidth, turned.minX, turned.maxX);
    const double by = r.Within(kHalfHeight, turned.minY, turned.maxY);
    return Insert(number, bx, by, scale, quarter * (std::numbers::pi / 2));
}

// Subtree size (the placement itself and all it expands to) per definition.
std::vector<int64_t> SubtreeSizes(int32_t defs) {
    std::vector<int64_t> s(static_cast<size_t>(std::max(defs, 0)), 1);
    for (int32_t i = defs - 1; i >= 0; --i)
        for (int32_t c : Children(i, defs)) s[static_cast<size_t>(i)] += s[static_cast<size_t>(c)];
    return s;
}

}  // namespace

LargeDrawingSize LargeDrawingSize::Scaled(double f) const {
    auto sc = [f](int32_t n) { return std::max<int32_t>(1, static_cast<int32_t>(std::lround(n * f))); };
    return {sc(lines), sc(texts), sc(dimensions), sc(arcs), sc(points), sc(solids), sc(blockDefs), sc(inserts)};
}

int64_t ExpectedBlockTreeNodes(const LargeDrawingSize& size) {
    if (size.blockDefs <= 0) return size.inserts;
    const std::vector<int64_t> s = SubtreeSizes(size.blockDefs);
    int64_t n = 0;
    for (int32_t j = 0; j < size.inserts; ++j) n += s[static_cast<size_t>(j % size.blockDefs)];
    return n;
}

TJwwData MakeLargeDrawing(const LargeDrawingSize& size) {
    TJwwData d;
    FillHeader(d);
    Rng r(0x9E3779B97F4A7C15ULL);

    d.EntLine.reserve(static_cast<size_t>(size.lines));
    d.EntMoji.reserve(static_cast<size_t>(size.texts));
    d.EntSunpo.reserve(static_cast<size_t>(size.dimensions));
    d.EntEnko.reserve(static_cast<size_t>(size.arcs));
    d.EntTen.reserve(static_cast<size_t>(size.points));
    d.EntSolid.reserve(static_cast<size_t>(size.solids));
    d.EntBlock.reserve(static_cast<size_t>(size.inserts));

    const std::vector<Box> boxes = FillBlockDefs(d, r, std::max(size.blockDefs, 0));

    // Interleave the kinds in the drawing order the way drawing sessions
    // would: each round adds a share of every kind still wanted.
    const int32_t wanted[7] = {size.lines, size.texts, size.dimensions, size.arcs,
                               size.points, size.solids, size.blockDefs > 0 ? size.inserts : 0};
    const int64_t total = int64_t{wanted[0]} + wanted[1] + wanted[2] + wanted[3] + wanted[4] + wanted[5] + wanted[6];
    d.EntNo.reserve(static_cast<size_t>(total));
    constexpr int kRounds = 1'000;
    for (int round = 1; round <= kRounds; ++round) {
        auto due = [&](int k) { return static_cast<int32_t>(int64_t{wanted[k]} * round / kRounds); };
        while (d.EntLineN < due(0)) Push(d.EntLine, d.EntLineN, d.EntNo, kEntLine, Line(r));
        while (d.EntMojiN < due(1)) Push(d.EntMoji, d.EntMojiN, d.EntNo, kEntMoji, PlacedText(r, d.EntMojiN));
        while (d.EntSunpoN < due(2)) Push(d.EntSunpo, d.EntSunpoN, d.EntNo, kEntSunpo, Dimension(r));
        while (d.EntEnkoN < due(3)) Push(d.EntEnko, d.EntEnkoN, d.EntNo, kEntEnko, Arc(r));
        while (d.EntTenN < due(4)) {
            const TEntJwwAttr a = Attr(r, 1, static_cast<uint16_t>(r.Int(1, 9)));
            TEntJwwTen p = Point(a, r.Within(kHalfWidth, 0, 0), r.Within(kHalfHeight, 0, 0), 0);
            p.dBairitsu = 1;
            Push(d.EntTen, d.EntTenN, d.EntNo, kEntTen, std::move(p));
        }
        while (d.EntSolidN < due(5)) Push(d.EntSolid, d.EntSolidN, d.EntNo, kEntSolid, Solid(r));
        while (d.EntBlockN < due(6)) {
            const auto number = static_cast<uint32_t>(d.EntBlockN % size.blockDefs);
            Push(d.EntBlock, d.EntBlockN, d.EntNo, kEntBlock, PlacedInsert(r, number, boxes[number]));
        }
    }


    d.Enthd.n1 = static_cast<int32_t>(d.EntNo.size());
    d.Enthd.n2 = d.EntBlockDefN;
    d.MakeBlockTree();
    return d;
}

}  // namespace talvine::bench
