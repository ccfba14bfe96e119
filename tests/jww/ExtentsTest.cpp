// Extents of drawings and figures, paper sizes, the font list and the layer
// attributes handed to the display.
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "jww/DisplayTables.h"
#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"

namespace talvine::test {
namespace {

constexpr double kTol = 1e-9;  // coordinates are sums of a few products
constexpr double kPi = std::numbers::pi;
const double kS45 = std::sqrt(0.5) * 10;  // 10 sin 45 degrees

struct Extent {
    double minX, minY, maxX, maxY;
};

void ExpectExtent(const TJwDocument& d, const Extent& e) {
    EXPECT_NEAR(d.myMinWx, e.minX, kTol);
    EXPECT_NEAR(d.myMinWy, e.minY, kTol);
    EXPECT_NEAR(d.myMaxWx, e.maxX, kTol);
    EXPECT_NEAR(d.myMaxWy, e.maxY, kTol);
}

TEntJwwLine Line(double x1, double y1, double x2, double y2) { return {Attr(), x1, y1, x2, y2}; }
TEntJwwTen Point(double x, double y) { return {Attr(), x, y}; }
TEntJwwEnko Arc(double start, double sweep, uint32_t full = 0) {
    return {Attr(), 0, 0, 10, start, sweep, 0, 1, full};
}
TEntJwwMoji TextRun(double x1, double y1, double x2, double y2, const std::u16string& s = u"a") {
    TEntJwwMoji t = Text(x1, y1, s);
    t.end_x = x2;
    t.end_y = y2;
    return t;
}
// Arc-shaped solid around the origin, radius 10, no flattening.
TEntJwwSolid ArcSolid(uint8_t style, double tilt, double start, double sweep, double mode) {
    return {Attr(style, 1), 0, 0, 10, 1, tilt, start, sweep, mode, 0};
}
// Adds a definition holding e and a top-level insert of it.
template <class E>
void InsertOf(TJwwData& d, const E& e, double x, double y, double rot = 0) {
    const int def = AddBlockDef(d, u"b");
    Add(ListsOf(d.EntBlockDef[static_cast<size_t>(def)]), e);
    Add(d.TopLists(), Insert(static_cast<uint32_t>(def), x, y, 1, 1, rot));
}

using Build = std::function<void(TJwwData&)>;
Build Only(auto e) {
    return [e](TJwwData& d) { Add(d.TopLists(), e); };
}

TEST(Extents, DrawingCases) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    const TEntJwwMoji marker = TextRun(0, 0, 0.01, 0.01);
    const struct {
        const char* name;
        Build build;
        Extent expected;
    } cases[] = {
        {"single line", Only(Line(0, 0, 100, 50)), {0, 0, 100, 50}},
        {"single point is widened", Only(Point(5, 5)), {-5, -5, 15, 15}},
        {"horizontal line is not widened", Only(Line(0, 0, 10, 0)), {0, 0, 10, 0}},
        {"empty drawing", [](TJwwData&) {}, {-10, -10, 10, 10}},
        {"full circle: four samples", Only(Arc(0.3, 0.1, 1)), {-10, -10, 10, 10}},
        {"quarter arc seeded at its centre", Only(Arc(0, kPi / 2)), {0, 0, 10, 10}},
        {"eighth arc seeded at its centre", Only(Arc(kPi / 4, kPi / 4)), {0, 0, kS45, 10}},
        {"texts without run or at the marker add nothing",
         [&](TJwwData& d) {
             Add(d.TopLists(), Line(1, 1, 2, 2));
             for (const auto& e : {TextRun(50, 50, 50, 50), marker}) Add(d.TopLists(), e);
         },
         {1, 1, 2, 2}},
        {"far and non-finite points ignored, large values clamped",
         [&](TJwwData& d) {
             Add(d.TopLists(), Line(0, 0, 2e8, -3e8));
             for (const auto& p : {Point(1e12, 5), Point(nan, 5), Point(5, inf)}) Add(d.TopLists(), p);
         },
         {0, -1e8, 1e8, 0}},
        {"image text adds its size",
         Only(TextRun(10, 10, 20, 10, u"^@BM%temp%plan.jpg,100,80")),
         {10, 10, 110, 90}},
        // Nothing seeds these; each runs after an unrelated computation.
        {"only a solid", Only(TEntJwwSolid{Attr(1, 1), 1, 1, 2, 1, 2, 2, 1, 3, 0}), {1, 1, 2, 3}},
        {"only a dimension, without SXF parts",
         Only(Dimension(10, 20, 30, 20, u"20", false)),
         {10, 20, 30, 21}},
        {"SXF dimension counts its extension lines",
         Only(Dimension(10, 20, 30, 20, u"20", true)),
         {10, 15, 30, 21}},
        {"marker text seeds at the first solid's centre",
         [&](TJwwData& d) {
             Add(d.TopLists(), marker);
             Add(d.TopLists(), ArcSolid(102, 0, kPi / 4, kPi / 4, 0));
         },
         {0, 0, kS45, 10}},
        {"marker text seeds at the first insert's point",
         [&](TJwwData& d) {
             Add(d.TopLists(), marker);
             InsertOf(d, Line(1, 1, 2, 1), 50, 50);
         },
         {50, 50, 52, 51}},
        {"arc solid 101 mode 0 adds its centre",
         Only(ArcSolid(101, 0, kPi / 4, kPi / 4, 0)),
         {0, 0, kS45, 10}},
        {"arc solid 101 mode -1 adds the tangent point, tilted",
         Only(ArcSolid(101, kPi / 2, kPi / 4, kPi / 2, -1)),
         {-10 * std::sqrt(2.0), -kS45, -kS45, kS45}},
        {"arc solid 111 mode 100 covers a full turn",
         Only(ArcSolid(111, 0, 0, 0.1, 100)),
         {-10, -10, 10, 10}},
        {"rotated insert",
         [](TJwwData& d) {
             Add(d.TopLists(), Line(100, 100, 100, 105));
             InsertOf(d, Line(0, 0, 10, 0), 100, 100, kPi / 2);
         },
         {100, 100, 100, 110}},
        {"nested insert through both placements",
         [](TJwwData& d) {
             Add(d.TopLists(), Line(0, 0, 0, 1));
             const int inner = AddBlockDef(d, u"inner");
             Add(ListsOf(d.EntBlockDef[static_cast<size_t>(inner)]), Point(1, 0));
             InsertOf(d, Insert(static_cast<uint32_t>(inner), 5, 0), 10, 0);
             d.EntBlock[0].dBairitsuX = 2;
         },
         {0, 0, 22, 1}},
        {"arrays walked by their counts, never beyond their size",
         [](TJwwData& d) {
             for (const auto& e : {Line(0, 0, 1, 1), Line(0, 0, 50, 50)}) Add(d.TopLists(), e);
             d.EntLineN = 1;
             d.EntTenN = 3;
             d.EntMojiN = -2;
         },
         {0, 0, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TJwwData unrelated;  // leaves nothing behind for the next drawing
        Add(unrelated.TopLists(), Line(500, 500, 600, 600));
        unrelated.GetMinMaxZahyo();
        TJwwData d;
        c.build(d);
        d.MakeBlockTree();
        d.GetMinMaxZahyo();
        ExpectExtent(d, c.expected);
    }
}

TEST(Extents, FigureStartsAtItsBasePoint) {
    TJwsData fig;
    fig.Enthd.BasePoint_x = 100;
    fig.Enthd.BasePoint_y = 50;
    Add(fig.TopLists(), Line(0, 0, 10, 10));
    fig.GetMinMaxZahyo();
    ExpectExtent(fig, {0, 0, 100, 50});

    TJwsData empty;
    empty.Enthd.BasePoint_x = empty.Enthd.BasePoint_y = 5;
    empty.GetMinMaxZahyo();
    ExpectExtent(empty, {-5, -5, 15, 15});
}

TEST(Paper, SizeForEveryCode) {
    const struct {
        int code;
        double px, py;
    } cases[] = {{1, 841, 594},     {2, 594, 420},      {3, 420, 297},       {4, 297, 210},
                 {8, 1682, 1189},   {9, 2378, 1682},    {10, 3364, 2378},    {11, 4756, 3364},
                 {12, 10000, 7073}, {13, 50000, 35366}, {14, 100000, 70732}, {0, 1189, 841},
                 {7, 1189, 841},    {15, 1189, 841},    {-1, 1189, 841}};
    TJwwData d;
    for (const auto& c : cases) {
        d.Enthd.nZumen = c.code;
        double px = 0, py = 0;
        d.GetPaperSize(px, py);
        EXPECT_EQ(px, c.px) << c.code;
        EXPECT_EQ(py, c.py) << c.code;
    }
}

TEST(FontList, DistinctNamesInVisitOrderWithAtNamesLookedUpWithoutAt) {
    TJwwData d;
    auto text = [](const std::u16string& font) {
        TEntJwwMoji t = Text(0, 0, u"x");
        t.strFontName = font;
        return t;
    };
    for (const char16_t* f : {u"Mincho", u"@Gothic", u"Gothic", u"@Gothic", u"Mincho", u"@Vert", u"@Vert"})
        Add(d.TopLists(), text(f));
    TEntJwwSunpo dim = Dimension(0, 0, 1, 0, u"1", false);
    dim.Moji.strFontName = u"Arial";
    Add(d.TopLists(), dim);
    const int def = AddBlockDef(d, u"b");
    for (const char16_t* f : {u"@@Mincho", u"mincho"})
        Add(ListsOf(d.EntBlockDef[static_cast<size_t>(def)]), text(f));

    d.GetFontNames();
    // "@Gothic" before "Gothic" stays; "@Vert" never finds itself and is
    // listed twice; lookups are case-sensitive.
    const std::vector<std::u16string> expected = {u"Mincho", u"@Gothic", u"Gothic", u"@Vert",
                                                  u"@Vert",  u"Arial",   u"mincho"};
    EXPECT_EQ(d.FontNames, expected);
    EXPECT_EQ(d.FontNameN, 7);
    EXPECT_EQ(d.GetFontNamesIndex(u"@@Gothic"), 2);
    EXPECT_EQ(d.GetFontNamesIndex(u"@@@@Mincho"), -1);  // only three '@' are removed

    for (int i = 0; i < 250; ++i) Add(d.TopLists(), text(u"F" + IntToStrDec(i)));
    d.GetFontNames();
    EXPECT_EQ(d.FontNameN, 257);
    EXPECT_EQ(d.FontNames.size(), 257u);
}

TEST(LayerAttr, DrawingAndFigureFillTheTable) {
    TJwwData d;
    d.EntLgrp.assign(16, TEntJwwLayerGroup{2, 0, 1.0, 0, u""});
    d.EntLay.assign(256, TEntJwwLayer{2, 0, u""});
    d.EntLgrp[2] = {1, 0, 50.0, 0, u"G2"};
    d.EntLay[37] = {2, 0, u"L5"};
    d.EntLgrp[3].adScale = 0;  // unusable: scale 1
    d.EntLay[58].aanLay = 0;   // hidden layer in an editable group
    d.EntLgrp[15].anGLay = 0;  // hidden group hides its editable layers
    d.SetGAttLayer();
    const std::vector<TLayerAttr>& t = LayerAttrTable();
    ASSERT_EQ(t.size(), 256u);
    EXPECT_EQ(t[37].state, 2);
    EXPECT_NEAR(t[37].scale, 0.02, 1e-15);
    EXPECT_EQ(t[37].groupLabel, u"[2] G2");
    EXPECT_EQ(t[37].layerLabel, u"(5) L5");
    EXPECT_EQ(t[58].state, 3);
    EXPECT_EQ(t[58].layerLabel, u"(A) ");
    EXPECT_EQ(t[48].state, 1);
    EXPECT_EQ(t[48].scale, 1.0);
    EXPECT_EQ(t[255].state, 3);

    d.EntLgrp.clear();  // missing records: editable, scale 1, no names
    d.EntLay.resize(10);
    d.SetGAttLayer();
    EXPECT_EQ(t[200].state, 1);
    EXPECT_EQ(t[200].groupLabel, u"[C] ");
    EXPECT_EQ(t[200].layerLabel, u"(8) ");

    TJwsData fig;
    fig.EntLgrp.assign(16, TEntJwwLayerGroup{0, 0, 1.0, 0, u"ignored"});
    fig.EntLgrp[1].adScale = 4;
    fig.EntLgrp[2].adScale = -5;
    fig.SetGAttLayer();
    EXPECT_EQ(t[20].state, 1);
    EXPECT_NEAR(t[20].scale, 0.25, 1e-15);
    EXPECT_EQ(t[20].groupLabel, u"[1] ");
    EXPECT_EQ(t[33].scale, 1.0);
}

}  // namespace
}  // namespace talvine::test
