// Block explode (placed block contents carried through their placements into
// the top level) and the whole-drawing transforms.
#include <cmath>
#include <numbers>

#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"

namespace talvine::test {
namespace {

constexpr double kTol = 1e-9;
constexpr double kPi = std::numbers::pi;

// A drawing with one definition (filled by fill) placed once by ins.
template <class Fill>
TJwwData OnePlacement(Fill fill, TEntJwwBlock ins) {
    TJwwData d;
    const int def = AddBlockDef(d, u"part");
    fill(ListsOf(d.EntBlockDef[static_cast<size_t>(def)]));
    ins.nNumber = static_cast<uint32_t>(def);
    Add(d.TopLists(), ins);
    SyncCounts(d);
    return d;
}

void ExpectLine(const TEntJwwLine& l, double x1, double y1, double x2, double y2) {
    EXPECT_NEAR(l.start_x, x1, kTol);
    EXPECT_NEAR(l.start_y, y1, kTol);
    EXPECT_NEAR(l.end_x, x2, kTol);
    EXPECT_NEAR(l.end_y, y2, kTol);
}

void ExpectNoBlockData(const TJwDocument& d) {
    EXPECT_TRUE(d.EntBlockN == 0 && d.EntBlock.empty() && d.EntBlockDefN == 0 && d.EntBlockDef.empty());
    EXPECT_TRUE(d.EntBlockTreeN == 0 && d.EntBlockNum == 0);
}

TEST(BlockExplode, LinePlacedWithScaleAndRotation) {
    TJwwData d = OnePlacement([](TEntityLists L) { Add(L, TEntJwwLine{Attr(1, 1, 5, 6), 0, 0, 10, 0}); },
                              Insert(0, 100, 50, 2, 2, kPi / 2));
    ASSERT_TRUE(d.BlockExplode());
    ASSERT_EQ(d.EntLineN, 1);
    ASSERT_EQ(d.EntLine.size(), 1u);
    ExpectLine(d.EntLine[0], 100, 50, 100, 70);
    EXPECT_TRUE(d.EntLine[0].att.nGLayer == 0 && d.EntLine[0].att.nLayer == 0);  // the insert's layers
    ExpectNoBlockData(d);
    EXPECT_EQ(d.Enthd.n2, 0);
    EXPECT_EQ(d.EntNo, (TArray<TEntJwwNo>{{0, 0}, {kEntLine, 0}}));  // the insert's entry is emptied
}

TEST(BlockExplode, NestedPlacementsAreExplodedThroughTheTree) {
    TJwwData d;
    const int outer = AddBlockDef(d, u"outer");
    const int inner = AddBlockDef(d, u"inner");
    d.EntBlockDef[static_cast<size_t>(outer)].att = Attr(1, 1, 9, 4);  // the nested node's layers
    Add(ListsOf(d.EntBlockDef[static_cast<size_t>(outer)]), TEntJwwLine{Attr(1, 1, 5, 6), 0, 0, 1, 0});
    Add(ListsOf(d.EntBlockDef[static_cast<size_t>(outer)]), Insert(static_cast<uint32_t>(inner), 10, 0, 1, 1, kPi / 2));
    Add(ListsOf(d.EntBlockDef[static_cast<size_t>(inner)]), TEntJwwLine{Attr(), 0, 0, 2, 0});
    Add(d.TopLists(), TEntJwwLine{Attr(), 7, 7, 8, 8});
    TEntJwwBlock top = Insert(static_cast<uint32_t>(outer), 100, 0, 2, 2);
    top.att = Attr(0x41, 1, 7, 3);  // bit 0x40: members of this node keep their layers
    Add(d.TopLists(), top);
    SyncCounts(d);
    ASSERT_EQ(d.EntBlockTreeN, 2);

    ASSERT_TRUE(d.BlockExplode());
    ASSERT_EQ(d.EntLineN, 3);
    ExpectLine(d.EntLine[1], 100, 0, 102, 0);  // outer's own line
    ExpectLine(d.EntLine[2], 120, 0, 120, 4);  // inner's: (100 + 2 * 10, 0) + 2 R90 (2, 0)
    EXPECT_TRUE(d.EntLine[1].att.nGLayer == 6 && d.EntLine[1].att.nLayer == 5);  // kept
    EXPECT_TRUE(d.EntLine[2].att.nGLayer == 4 && d.EntLine[2].att.nLayer == 9);  // the node's
    EXPECT_EQ(d.EntNo, (TArray<TEntJwwNo>{{kEntLine, 0}, {0, 0}, {kEntLine, 1}, {kEntLine, 2}}));
    ExpectNoBlockData(d);
}

TEST(BlockExplode, FigureKeepsBasePointAndExtents) {
    TJwsData f = SampleFigure(600);
    const TEntJwsHeader h = f.Enthd;
    const int32_t lines = f.EntLineN;
    ASSERT_TRUE(f.BlockExplode());
    ExpectNoBlockData(f);
    TEntJwsHeader expected = h;
    expected.n1 = static_cast<int32_t>(f.EntNo.size());
    expected.n2 = 0;
    EXPECT_EQ(f.Enthd, expected);  // base point and extents unchanged
    EXPECT_EQ(f.EntLineN, lines + 1);  // the door's line, placed once
}

// ---- Arcs ---------------------------------------------------------------------------

struct Matrix {
    const char* name;
    double b1, b2, b3, b4;
};

const Matrix kMatrices[] = {
    {"uniform scale", 2, 0, 0, 2},
    {"mirror in x", -1, 0, 0, 1},
    {"mirror in y", 1, 0, 0, -1},
    {"mirror about the diagonal", 0, 1, 1, 0},
    {"rotation and uneven scale", 2 * std::cos(0.5), -0.5 * std::sin(0.5), 2 * std::sin(0.5), 0.5 * std::cos(0.5)},
    {"shear", 1.7, -0.5, 0.3, 0.8},
    {"mirroring shear", 0.5, 1.2, 1.1, -0.4},
};

struct Ell {
    double cx, cy, a, f, tilt;
    std::pair<double, double> At(double s) const {
        const double ex = a * std::cos(s), ey = a * f * std::sin(s);
        return {cx + std::cos(tilt) * ex - std::sin(tilt) * ey, cy + std::sin(tilt) * ex + std::cos(tilt) * ey};
    }
};

void ExpectNear(std::pair<double, double> p, std::pair<double, double> q, const char* what) {
    EXPECT_NEAR(p.first, q.first, 1e-6) << what;
    EXPECT_NEAR(p.second, q.second, 1e-6) << what;
}

TEST(BlockExplode, ArcIsTheImageOfTheOriginalUnderAnyPlacement) {
    const Ell before{3, 4, 10, 0.4, 0.7};
    for (const Matrix& m : kMatrices) {
        const double det = m.b1 * m.b4 - m.b2 * m.b3;
        auto image = [&](double s) {
            const auto [x, y] = before.At(s);
            return std::pair{20 + m.b1 * x + m.b2 * y, 30 + m.b3 * x + m.b4 * y};
        };
        for (const auto& [start, sweep] :
             {std::pair{0.3, 1.2}, std::pair{5.0, -2.0}, std::pair{1.0, 4.5}, std::pair{0.0, 2 * kPi}}) {
            SCOPED_TRACE(std::string(m.name) + " start " + std::to_string(start));
            TJwwData d;
            const TEntJwwEnko src{Attr(), 3, 4, 10, start, sweep, 0.7, 0.4, 0};
            ASSERT_TRUE(d.BlockExplodeEnko(20, 30, m.b1, m.b2, m.b3, m.b4, src, true, 0, 0));
            const TEntJwwEnko& e = d.EntEnko[0];
            const Ell after{e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu, e.radKatamukiKaku};
            // A whole turn stays one; any other sweep lies in [0, 2 pi).
            EXPECT_TRUE(sweep == 2 * kPi ? std::abs(e.radEnkoKaku - 2 * kPi) < 1e-9
                                         : e.radEnkoKaku >= 0 && e.radEnkoKaku < 2 * kPi);
            EXPECT_LE(e.dHenpeiRitsu, 1 + 1e-9);  // dHankei is the major semi-axis
            // Ends and middle are the images of the original's; a mirroring
            // placement swaps the ends.
            const double lo = std::min(start, start + sweep), hi = std::max(start, start + sweep);
            ExpectNear(after.At(e.radKaishiKaku), image(det < 0 ? hi : lo), "start");
            ExpectNear(after.At(e.radKaishiKaku + e.radEnkoKaku), image(det < 0 ? lo : hi), "end");
            ExpectNear(after.At(e.radKaishiKaku + e.radEnkoKaku / 2), image((lo + hi) / 2), "middle");
            // Every point of the new ellipse maps back onto the old one.
            for (int k = 0; k < 8; ++k) {
                const auto [x, y] = after.At(k * kPi / 4);
                const double X = (m.b4 * (x - 20) - m.b2 * (y - 30)) / det - 3;
                const double Y = (-m.b3 * (x - 20) + m.b1 * (y - 30)) / det - 4;
                const double u = std::cos(0.7) * X + std::sin(0.7) * Y, v = -std::sin(0.7) * X + std::cos(0.7) * Y;
                EXPECT_NEAR(u * u / 100 + v * v / 16, 1, 1e-6) << k;
            }
        }
    }
}

// ---- Points -------------------------------------------------------------------------

TEST(BlockExplode, PointsAndSymbolAngles) {
    TEntJwwTen plain;
    plain.att = Attr(1, 1);
    plain.start_x = 1;
    plain.nCode = 5;
    plain.radKaitenKaku = 0.3;
    plain.dBairitsu = 4;
    TJwwData d;
    ASSERT_TRUE(d.BlockExplodeTen(10, 20, 0, -1, 1, 0, plain, true, 0, 0));
    EXPECT_NEAR(d.EntTen[0].start_y, 21, kTol);
    EXPECT_TRUE(d.EntTen[0].nCode == 0 && d.EntTen[0].radKaitenKaku == 0 && d.EntTen[0].dBairitsu == 1.0);

    struct SymbolCase {
        const char* name;
        double b1, b2, b3, b4, angle;
    };
    const double a = 0.3;
    const SymbolCase cases[] = {
        {"rotation 90", 0, -1, 1, 0, a + kPi / 2},
        {"rotation 180", -1, 0, 0, -1, a + kPi},
        {"mirror in x", -1, 0, 0, 1, 2 * kPi - a},
        {"mirror in y", 1, 0, 0, -1, kPi - a},
    };
    for (const SymbolCase& c : cases) {
        TEntJwwTen sym = plain;
        sym.att.nPenStyle = 100;
        sym.bKariten = 1;
        sym.radKaitenKaku = a;
        TJwwData s;
        ASSERT_TRUE(s.BlockExplodeTen(0, 0, c.b1, c.b2, c.b3, c.b4, sym, true, 0, 0));
        const TEntJwwTen& p = s.EntTen[0];
        EXPECT_NEAR(std::remainder(p.radKaitenKaku - c.angle, 2 * kPi), 0, kTol) << c.name;
        EXPECT_TRUE(p.nCode == 5 && p.dBairitsu == 4 && p.bKariten == 1) << c.name;
    }
}

// ---- Texts --------------------------------------------------------------------------

TEntJwwMoji SampleText(uint32_t type) {
    TEntJwwMoji t = Text(0, 0, u"AB");
    t.end_x = 5;
    t.nMojiShu = type;
    t.dSizeX = 2.5;
    t.dSizeY = 3;
    t.dKankaku = 0.5;
    return t;
}

TEST(BlockExplode, TextSizesFollowThePlacement) {
    struct TextCase {
        const char* name;
        double b1, b2, b3, b4;
        uint32_t type, newType;
        double w, h, s, sx, sy, ex, ey, deg;
    };
    const TextCase cases[] = {
        {"identity", 1, 0, 0, 1, 3, 3, 2.5, 3, 0.5, 0, 0, 5, 0, 0},
        {"scale 2, styled", 2, 0, 0, 2, 20003, 20000, 5, 6, 1, 0, 0, 10, 0, 0},
        {"uneven scale", 2, 0, 0, 0.5, 1, 0, 5, 1.5, 1, 0, 0, 10, 0, 0},
        {"rotation 90", 0, -1, 1, 0, 3, 0, 2.5, 3, 0.5, 0, 0, 0, 5, 90},
        {"mirror in x", -1, 0, 0, 1, 3, 0, 2.5, 3, 0.5, -5, 0, 0, 0, 0},
        {"mirror about the diagonal", 0, 1, 1, 0, 3, 0, 2.5, 3, 0.5, 0, 5, 0, 0, 270},
    };
    for (const TextCase& c : cases) {
        TJwwData d;
        ASSERT_TRUE(d.BlockExplodeMoji(0, 0, c.b1, c.b2, c.b3, c.b4, SampleText(c.type), true, 0, 0));
        const TEntJwwMoji& m = d.EntMoji[0];
        EXPECT_EQ(m.nMojiShu, c.newType) << c.name;
        const double got[] = {m.dSizeX, m.dSizeY, m.dKankaku, m.start_x, m.start_y, m.end_x, m.end_y, m.degKakudo};
        const double want[] = {c.w, c.h, c.s, c.sx, c.sy, c.ex, c.ey, c.deg};
        for (int i = 0; i < 8; ++i) EXPECT_NEAR(got[i], want[i], kTol) << c.name << " value " << i;
    }
}

TEST(BlockExplode, VerticalTextMeasuresHeightAlongItsRun) {
    TEntJwwMoji t = SampleText(1);
    t.end_x = 0;
    t.end_y = -5;  // runs downwards
    t.dSizeX = 2;
    t.dSizeY = 3;
    for (const bool vertical : {false, true}) {
        t.att.sFlg = vertical ? 0x20 : 0;
        TJwwData d;
        ASSERT_TRUE(d.BlockExplodeMoji(0, 0, 2, 0, 0, 3, t, true, 0, 0));
        EXPECT_NEAR(d.EntMoji[0].dSizeX, vertical ? 4 : 6, kTol);
        EXPECT_NEAR(d.EntMoji[0].dSizeY, vertical ? 9 : 6, kTol);
    }
}

TEST(BlockExplode, ImageTexts) {
    struct ImageCase {
        const char* name;
        std::u16string str;
        double b1, b2, b3, b4;
        std::u16string expected;
    };
    const double c20 = std::cos(20 * kPi / 180), s20 = std::sin(20 * kPi / 180);
    const ImageCase cases[] = {
        {"one number", u"^@BMa.png,100", 2, 0, 0, 2, u"^@BMa.png,200"},
        {"width and height", u"^@BM%temp%b.jpg,100,50", 2, 0, 0, 2, u"^@BM%temp%b.jpg,200,100"},
        {"turned becomes six numbers", u"^@BMb.jpg,100,50", 0, -1, 1, 0, u"^@BMb.jpg,100,50,0,0,1,90"},
        {"six numbers turned past 360", u"^@BMc,100,50,1,2,3,350", c20, -s20, s20, c20, u"^@BMc,100,50,1,2,3,10"},
        {"fields 3 to 5 carried", u"^@BMe,10,5,7", 3, 0, 0, 3, u"^@BMe,30,15,7"},
    };
    for (const ImageCase& c : cases) {
        TEntJwwMoji t = SampleText(1);
        t.str = c.str;
        TJwwData d;
        ASSERT_TRUE(d.BlockExplodeMoji(0, 0, c.b1, c.b2, c.b3, c.b4, t, true, 0, 0));
        const TEntJwwMoji& m = d.EntMoji[0];
        EXPECT_EQ(Utf16ToUtf8(m.str), Utf16ToUtf8(c.expected)) << c.name;
        // Laid horizontally from the new start.
        EXPECT_TRUE(m.degKakudo == 0 && m.end_y == m.start_y) << c.name;
        EXPECT_NEAR(m.end_x - m.start_x, AnsiTextWidth(m.str, m.dSizeX, m.dKankaku), kTol) << c.name;
    }
}

// ---- Dimensions ---------------------------------------------------------------------

struct ValueCase {
    const char* name;
    uint16_t F, S;
    double length;
    std::u16string expected;
};

class DimensionValue : public ::testing::TestWithParam<ValueCase> {};

// A dimension line of the given length along x, its text with the format
// bits F and flags S, exploded with a 90-degree turn in a drawing whose layer
// group 2 has the scale 1:100.
TEST_P(DimensionValue, IsMeasuredAndFormattedAnew) {
    const ValueCase& c = GetParam();
    TJwwData d;
    d.EntLgrp.resize(16);
    for (auto& g : d.EntLgrp) g.adScale = 1;
    d.EntLgrp[2].adScale = 100;
    TEntJwwSunpo dim = Dimension(0, 0, c.length, 0, u"old", false);
    dim.Sen.att.nGLayer = 0;  // the node's layer group (2) decides the scale
    dim.Moji.att.nPenWidth = c.F;
    dim.Moji.att.sFlg = c.S;
    dim.Moji.start_x = 1, dim.Moji.start_y = 1, dim.Moji.end_x = 5, dim.Moji.end_y = 1;
    ASSERT_TRUE(d.BlockExplodeSunpo(0, 0, 0, -1, 1, 0, dim, false, 2, 0));
    const TEntJwwMoji& m = d.EntSunpo[0].Moji;
    EXPECT_EQ(Utf16ToUtf8(m.str), Utf16ToUtf8(c.expected));
    if (c.F & 2) {
        // Centred on the middle of the turned text run, (-1, 3), running up.
        const double L = AnsiTextWidth(m.str, m.dSizeX, m.dKankaku);
        EXPECT_NEAR(m.start_x, -1, kTol);
        EXPECT_NEAR(m.start_y, 3 - L / 2, kTol);
        EXPECT_NEAR(m.end_y, 3 + L / 2, kTol);
        EXPECT_NEAR(m.degKakudo, 90, kTol);
    }
}

constexpr uint16_t kDecimals1 = 1 * 4096, kDecimals2 = 2 * 4096, kDecimals3 = 3 * 4096;

INSTANTIATE_TEST_SUITE_P(
    Formats, DimensionValue,
    ::testing::Values(ValueCase{"NotMarkedKeepsItsText", 0, 0, 20, u"old"},
                      ValueCase{"General", 2, 0, 20, u"2000"},
                      ValueCase{"MetresWithUnit", 2 | 0x10 | 0x20, 0, 20, u"2ｍ"},
                      ValueCase{"Thousands", 2 | 0x40, 0, 123.4567, u"12,346"},
                      ValueCase{"ThousandsTrailingZerosGo", 2 | 0x40 | kDecimals2, 0, 20, u"2,000"},
                      ValueCase{"ThousandsFixed", 2 | 0x40 | 0x80 | kDecimals2, 0, 20, u"2,000.00"},
                      ValueCase{"Fixed", 2 | 0x80 | kDecimals1, 0, 20, u"2000.0"},
                      ValueCase{"RoundHalfUp", 2 | kDecimals3 | 0x10, 0, 0.0123456, u"0.001"},
                      ValueCase{"Truncated", 2 | kDecimals1 | 0x100 | 0x10, 0, 1.99, u"0.1"},
                      ValueCase{"AwayFromZero", 2 | kDecimals1 | 0x200 | 0x10, 0, 1.01, u"0.2"},
                      ValueCase{"RadiusMarkFirst", 2 | 0x400, 0x100, 20, u"R2000"},
                      ValueCase{"DiameterMarkLast", 2 | 0x800, 0x200, 20, u"2000φ"},
                      ValueCase{"FullWidth", 2 | 8 | 0x400 | 0x40 | kDecimals1 | 0x80, 0x100, 20,
                                u"Ｒ２，０００．０"},
                      ValueCase{"FullWidthThenUnit", 2 | 8 | 0x20, 0, 20, u"２０００mm"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockExplode, DimensionPartsFollowThePlacement) {
    TEntJwwSunpo dim = Dimension(0, 0, 10, 0, u"10", true);
    dim.Moji.att.nPenWidth = 2;
    TJwwData d;
    ASSERT_TRUE(d.BlockExplodeSunpo(5, 5, 1, 0, 0, 1, dim, false, 3, 4));  // a pure move: the text stays
    const TEntJwwSunpo& s = d.EntSunpo[0];
    EXPECT_EQ(s.Moji.str, u"10");
    EXPECT_NEAR(s.Sen.end_x, 15, kTol);
    EXPECT_NEAR(s.Ho2.start_y, 0, kTol);  // (10, -5) moved
    EXPECT_NEAR(s.Kt1.start_y, 0, kTol);
    EXPECT_EQ(s.Kt2.nCode, 4u);  // a symbol point keeps its symbol
    for (const TEntJwwAttr* a : {&s.att, &s.Sen.att, &s.Moji.att, &s.Ho1.att, &s.Te1.att, &s.Kt2.att})
        EXPECT_TRUE(a->nGLayer == 3 && a->nLayer == 4);
    EXPECT_EQ(d.Enthd.n1, 1);
    EXPECT_EQ(d.EntNo[0], (TEntJwwNo{kEntSunpo, 0}));
}

// ---- Solids -------------------------------------------------------------------------

TEST(BlockExplode, Solids) {
    TJwwData d;
    // Quadrilateral: the corners are mapped, the colour stays.
    const TEntJwwSolid quad{Attr(1, 10), 0, 0, 1, 0, 1, 1, 0, 1, 0x123456};
    ASSERT_TRUE(d.BlockExplodeSolid(10, 0, 0, -1, 1, 0, quad, true, 0, 0));
    const TEntJwwSolid& q = d.EntSolid[0];
    EXPECT_TRUE(q.end_x == 10 && q.end_y == 1 && q.DPoint2_x == 9 && q.DPoint3_x == 9 && q.Color == 0x123456);
    // Arc segment (style 111, mode 0) mirrored: covers 90 to 180 degrees.
    const TEntJwwSolid segment{Attr(111, 1), 0, 0, 10, 1, 0, 0, kPi / 2, 0, 0};
    ASSERT_TRUE(d.BlockExplodeSolid(0, 0, -1, 0, 0, 1, segment, true, 0, 0));
    const TEntJwwSolid& g = d.EntSolid[1];
    EXPECT_NEAR(g.DPoint3_x, kPi / 2, kTol);
    EXPECT_NEAR(std::remainder(g.DPoint2_x + g.DPoint2_y - kPi / 2, 2 * kPi), 0, kTol);
    // Ring 106: inner flattening 1 + (10 * 0.8 - 10) / 4 = 0.5, semi-axes 4
    // and 2; stretched 3 times in y the major axes become 6 (inner) and 24.
    const TEntJwwSolid ring{Attr(106, 1), 0, 0, 10, 0.8, 0, 0, 2 * kPi, 4, 0};
    ASSERT_TRUE(d.BlockExplodeSolid(0, 0, 1, 0, 0, 3, ring, true, 0, 0));
    EXPECT_NEAR(d.EntSolid[2].end_x, 24, 1e-6);
    EXPECT_NEAR(d.EntSolid[2].DPoint3_y, 6, 1e-6);
    EXPECT_NEAR(d.EntSolid[2].end_y, 10.0 / 24, 1e-6);
}

// ---- Whole-drawing transforms ----------------------------------------------------------

TEST(Transforms, MoveAndScaleTheTopLevelOnly) {
    TJwwData d;
    TEntityLists top = d.TopLists();
    Add(top, TEntJwwLine{Attr(), 1, 2, 3, 4});
    Add(top, TEntJwwEnko{Attr(), 1, 1, 5, 0.1, 1, 0.2, 0.5, 0});
    Add(top, Text(1, 1, u"T"));
    Add(top, Dimension(0, 0, 10, 0, u"10", true));
    Add(top, TEntJwwSolid{Attr(1, 1), 0, 0, 1, 0, 1, 1, 0, 1, 0});
    Add(top, TEntJwwSolid{Attr(105, 1), 3, 3, 5, 1, 0.3, 0.1, 1, 2, 0});  // ring: centre, radii, angles
    Add(ListsOf(d.EntBlockDef[static_cast<size_t>(AddBlockDef(d, u"B"))]), TEntJwwLine{Attr(), 0, 0, 1, 1});
    Add(top, Insert(0, 4, 4, 1, 2));
    SyncCounts(d);
    const TJwwData b = d;

    d.MoveEntALL(5, -5);
    EXPECT_TRUE(d.EntLine[0].start_x == 6 && d.EntLine[0].end_y == -1);
    EXPECT_TRUE(d.EntSunpo[0].Ho1.start_y == -10 && d.EntSunpo[0].Kt2.start_x == 15);
    EXPECT_TRUE(d.EntSolid[0].DPoint2_x == 6 && d.EntSolid[0].DPoint3_y == -4);  // four corners
    TEntJwwSolid ring = b.EntSolid[1];
    ring.start_x = 8, ring.start_y = -2;  // the centre only
    EXPECT_TRUE(d.EntSolid[1] == ring);
    EXPECT_EQ(d.EntBlock[0].DPKijunTen_x, 9);
    EXPECT_EQ(d.EntBlockDef[0].mLine, b.EntBlockDef[0].mLine);
    EXPECT_EQ(d.Enthd, b.Enthd);

    d.ScaleEntALL(6, -4, 2);  // about the moved (1, 1)
    EXPECT_TRUE(d.EntLine[0].start_x == 6 && d.EntLine[0].end_y == 2);
    EXPECT_TRUE(d.EntEnko[0].dHankei == 10 && d.EntEnko[0].dHenpeiRitsu == 0.5);
    EXPECT_TRUE(d.EntMoji[0].dSizeY == b.EntMoji[0].dSizeY && d.EntMoji[0].dKankaku == b.EntMoji[0].dKankaku);
    EXPECT_TRUE(d.EntSolid[1].end_x == 10 && d.EntSolid[1].DPoint3_y == 4 && d.EntSolid[1].DPoint2_x == 0.3);
    EXPECT_TRUE(d.EntBlock[0].dBairitsuX == 2 && d.EntBlock[0].dBairitsuY == 4);
    EXPECT_EQ(d.EntBlockDef[0].mLine, b.EntBlockDef[0].mLine);
}

}  // namespace
}  // namespace talvine::test
