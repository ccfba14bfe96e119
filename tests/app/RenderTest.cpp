// Pictures of drawings: what is drawn where, and that the conversion draws
// every part of every dimension at the same place, size and angle.
#include <cmath>
#include <filesystem>

#include "app/DimensionExplode.h"
#include "app/Render.h"
#include "jww/DisplayTables.h"
#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

// The sample's tables with every layer group and layer shown.
TJwwData Shown() {
    TJwwData d = TablesOnly(700);
    for (auto& g : d.EntLgrp) g.anGLay = 2;
    for (auto& l : d.EntLay) l.aanLay = 2;
    return d;
}

TEntJwwLine Line(double x1, double y1, double x2, double y2) { return TEntJwwLine{Attr(), x1, y1, x2, y2}; }

// A drawing with plain and SXF dimensions at the top level and in a block
// placed four times: as it is, turned, mirrored and scaled.
TJwwData DimensionsEverywhere() {
    TJwwData d = Shown();
    Add(d.TopLists(), Line(0, 0, 50, 0));
    Add(d.TopLists(), Dimension(0, -10, 100, -10, u"100", false));
    Add(d.TopLists(), Dimension(0, -20, 100, -20, u"100", true));
    const int def = AddBlockDef(d, u"dims");
    auto& b = d.EntBlockDef[static_cast<size_t>(def)];
    Add(ListsOf(b), Dimension(0, 0, 30, 5, u"31", true));
    Add(ListsOf(b), Dimension(0, 10, 20, 10, u"20", false));
    Add(ListsOf(b), Text(1, 1, u"部屋"));
    for (const TEntJwwBlock& at : {Insert(b.nNumber, 200, 0), Insert(b.nNumber, 300, 0, 1, 1, 0.7),
                                   Insert(b.nNumber, 400, 0, -1, 1, 0), Insert(b.nNumber, 500, 0, 2.5, 2.5, -1.2)})
        Add(d.TopLists(), at);
    SyncCounts(d);
    return d;
}

bool SamePlace(const TPrimitive& a, const TPrimitive& b) {
    if (a.kind != b.kind || a.xy.size() != b.xy.size() || a.text != b.text) return false;
    for (size_t i = 0; i < a.xy.size(); ++i)
        if (std::fabs(a.xy[i] - b.xy[i]) > 1e-9) return false;
    return std::fabs(a.height - b.height) < 1e-9 && std::fabs(a.degrees - b.degrees) < 1e-9 && a.rgb == b.rgb;
}

TEST(Render, TheConversionDrawsEveryDimensionPartWhereTheDimensionDid) {
    TJwwData d = DimensionsEverywhere();
    TRenderOptions o;
    o.temporaryPoints = true;  // the reference points too
    std::vector<TPrimitive> before, after;
    ASSERT_TRUE(DrawPrimitives(d, o, before));
    const TListCounts counts = ListCountsOf(d);
    ExplodeDimensions(d, true);
    o.before = &counts;
    ASSERT_TRUE(DrawPrimitives(d, o, after));

    ASSERT_EQ(before.size(), after.size());
    int parts = 0;
    for (const TPrimitive& p : before) {
        if (p.fromDimension) ++parts;
        // Each primitive once more after the conversion, made by it when it
        // was a dimension's part, else as it was.
        const auto match = std::find_if(after.begin(), after.end(), [&](const TPrimitive& q) {
            return q.added == p.fromDimension && SamePlace(p, q);
        });
        EXPECT_NE(match, after.end()) << "kind " << p.kind << " at " << p.xy[0] << ", " << p.xy[1];
    }
    // A plain dimension draws its line and text, an SXF one also two
    // extension lines and four points: at the top and in four placements.
    EXPECT_EQ(parts, 10 + 4 * 10);
    for (const TPrimitive& q : after) EXPECT_FALSE(q.fromDimension);
}

TEST(Render, PlacesBlocksAndTextsAsTheyAreTurnedMirroredAndScaled) {
    TJwwData d = Shown();
    const int def = AddBlockDef(d, u"b");
    auto& b = d.EntBlockDef[static_cast<size_t>(def)];
    Add(ListsOf(b), Line(0, 0, 10, 0));
    Add(ListsOf(b), Text(0, 0, u"A"));
    Add(d.TopLists(), Insert(b.nNumber, 100, 50, -2, 2, 3.14159265358979323846 / 2));
    SyncCounts(d);
    std::vector<TPrimitive> p;
    ASSERT_TRUE(DrawPrimitives(d, TRenderOptions{}, p));
    ASSERT_EQ(p.size(), 2u);
    // Mirrored (x -> -2x), then a quarter turn: (10, 0) -> (-20, 0) -> (0, -20),
    // on the paper at the scale of the layer group.
    const double s = LayerAttrTable()[0].scale;
    EXPECT_NEAR(p[0].xy[2], 100 * s, 1e-9);
    EXPECT_NEAR(p[0].xy[3], 30 * s, 1e-9);
    EXPECT_EQ(p[1].text, u"A");
    EXPECT_NEAR(p[1].height, 2 * d.EntBlockDef[0].mMoji[0].dSizeY, 1e-9);
    EXPECT_NEAR(p[1].degrees, -90, 1e-9);  // the text runs along its turned base line
}

TEST(Render, LeavesOutHiddenLayersAndTemporaryPointsUnlessAsked) {
    TJwwData d = Shown();
    Add(d.TopLists(), Line(0, 0, 1, 1));
    TEntJwwLine hidden = Line(0, 0, 2, 2);
    hidden.att.nLayer = 5;
    Add(d.TopLists(), hidden);
    d.EntLay[5].aanLay = 0;  // group 0, layer 5 hidden
    TEntJwwTen t{};
    t.bKariten = 1;
    Add(d.TopLists(), t);
    SyncCounts(d);
    std::vector<TPrimitive> p;
    ASSERT_TRUE(DrawPrimitives(d, TRenderOptions{}, p));
    EXPECT_EQ(p.size(), 1u);
    TRenderOptions all;
    all.temporaryPoints = true;
    ASSERT_TRUE(DrawPrimitives(d, all, p));
    ASSERT_EQ(p.size(), 2u);
    EXPECT_TRUE(p[1].temporary);
}

TEST(Render, SvgIsWellFormedTextWithTheTextsAsText) {
    TJwwData d = DimensionsEverywhere();
    Add(d.TopLists(), Text(0, 50, u"a<b & \"c\""));
    SyncCounts(d);
    TPicture pic;
    ASSERT_TRUE(DrawPrimitives(d, TRenderOptions{}, pic.primitives));
    const std::string svg = SvgOf({pic});
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find(">a&lt;b &amp; &quot;c&quot;</text>"), std::string::npos);
    EXPECT_NE(svg.find(">部屋</text>"), std::string::npos);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST(Render, TooManyPrimitivesFailCleanly) {
    TJwwData d = DimensionsEverywhere();
    TRenderOptions o;
    o.maxPrimitives = 5;
    std::vector<TPrimitive> p;
    EXPECT_FALSE(DrawPrimitives(d, o, p));
    EXPECT_LE(p.size(), 5u);
}

}  // namespace
}  // namespace talvine::test
