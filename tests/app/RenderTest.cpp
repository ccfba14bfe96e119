// Pictures of drawings: what is drawn where, and that the conversion draws
// every part of every dimension at the same place, size and angle; images
// placed by texts, from the drawing or from disk.
#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>
#include <regex>

#include "app/DimensionExplode.h"
#include "app/Render.h"
#include "jww/DisplayTables.h"
#include "tests/jww/TestFiles.h"
#include "util/Platform.h"

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


// ---- Images ------------------------------------------------------------------

// A 2 x 2 bitmap, 24 bits a pixel, rows padded to 4 bytes, and its base64.
Bytes TinyBmp() {
    ByteBuilder b;
    b.raw("BM").u32(70).u32(0).u32(54).u32(40).i32(2).i32(2).u16(1).u16(24).u32(0).u32(16);
    b.u32(2835).u32(2835).u32(0).u32(0).raw(Bytes{0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0});
    return b.bytes();
}
const std::string kTinyBmpUri =
    "data:image/bmp;base64,"
    "Qk1GAAAAAAAAADYAAAAoAAAAAgAAAAIAAAABABgAAAAAABAAAAATCwAAEwsAAAAAAAAAAAAAAAD/AP8AAAD/AAD///8AAA==";

// The attributes of each <image> element of an SVG.
std::vector<std::map<std::string, std::string>> ImageElements(const std::string& svg) {
    std::vector<std::map<std::string, std::string>> images;
    static const std::regex element("<image ([^>]*)/>"), attribute("([a-z:]+)=\"([^\"]*)\"");
    for (std::sregex_iterator e(svg.begin(), svg.end(), element), end; e != end; ++e) {
        const std::string inner = (*e)[1];
        auto& attrs = images.emplace_back();
        for (std::sregex_iterator a(inner.begin(), inner.end(), attribute); a != end; ++a) attrs[(*a)[1]] = (*a)[2];
    }
    return images;
}

// dot.bmp bound (in dir/bound/, listed); photo.bmp and notes.txt on disk
// (in dir/), notes.txt "BM" and then no bitmap header.
TJwwData ImageDrawing(const TempDir& dir) {
    WriteAll(dir.File("photo.bmp"), TinyBmp());
    platform::ForceDirectories(dir.File("bound"));
    WriteAll(dir.File("bound/dot.bmp"), TinyBmp());
    Bytes notes = TinyBmp();
    notes[14] = 41;
    WriteAll(dir.File("notes.txt"), notes);
    TJwwData d = Shown();
    d.BindImageFolder = dir.File("bound/");
    d.BindImage.push_back(TBindImageType{u"dot.bmp", 70, false});
    d.BindImageN = 1;
    return d;
}

struct ImageCase {
    const char* name;
    const char16_t* text;  // at (10, 20)
    double groupScale;     // scale denominator of layer group 0
    double sx, sy, turn;   // sx 0: at the top; else in a block placed at (100, 0)
    double x, y, width, height;  // width 0: nothing drawn
    const char* transform;
};
void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }

class ImagePlacement : public testing::TestWithParam<ImageCase> {};

TEST_P(ImagePlacement, IsWhereItsTextPutsIt) {
    const ImageCase& c = GetParam();
    TempDir dir;
    TJwwData d = ImageDrawing(dir);
    d.EntLgrp[0].adScale = c.groupScale;
    if (c.sx != 0) {
        auto& b = d.EntBlockDef[static_cast<size_t>(AddBlockDef(d, u"img"))];
        Add(ListsOf(b), Text(10, 20, c.text));
        Add(d.TopLists(), Insert(b.nNumber, 100, 0, c.sx, c.sy, c.turn));
    } else {
        Add(d.TopLists(), Text(10, 20, c.text));
    }
    SyncCounts(d);
    TRenderOptions o;
    o.drawingFolder = dir.path();
    TPicture pic;
    ASSERT_TRUE(DrawPrimitives(d, o, pic.primitives));
    const auto images = ImageElements(SvgOf({pic}));
    ASSERT_EQ(images.size(), c.width > 0 ? 1u : 0u);
    if (images.empty()) return;
    const auto& img = images[0];
    EXPECT_NEAR(std::stod(img.at("x")), c.x, 1e-4);  // the SVG has four decimals
    EXPECT_NEAR(std::stod(img.at("y")), c.y, 1e-4);
    EXPECT_NEAR(std::stod(img.at("width")), c.width, 1e-4);
    EXPECT_NEAR(std::stod(img.at("height")), c.height, 1e-4);
    EXPECT_EQ(img.count("transform") ? img.at("transform") : "", c.transform);
    EXPECT_EQ(img.at("xlink:href"), kTinyBmpUri);
}

// (x, y): the top left corner, y running down in SVG. Turned a quarter, it
// is (10 - 30, 20); in the turned block (10, 20) lies at (60, 20) and the
// width runs up; mirrored, the upright image at (90, 50) is flipped about x = 90.
const ImageCase kImageCases[] = {
    {"Upright", u"^@BM%temp%dot.bmp,40,30", 1, 0, 0, 0, 10, -50, 40, 30, ""},
    {"TurnedBySixthNumber", u"^@BM%temp%dot.bmp,40,30,0,0,1,90", 1, 0, 0, 0, -20, -20, 40, 30, "rotate(-90 -20 -20)"},
    {"TurnedHalfway", u"^@BM%temp%dot.bmp,40,30,0,0,1,180", 1, 0, 0, 0, 10, 10, 40, 30, "rotate(180 10 10)"},
    {"AtLayerGroupScale", u"^@BM%temp%dot.bmp,40,30", 50, 0, 0, 0, 0.2, -1, 0.8, 0.6, ""},
    {"InTurnedScaledBlock", u"^@BM%temp%dot.bmp,40,30", 1, 2, 2, std::numbers::pi / 2, 0, -20, 80, 60,
     "rotate(-90 0 -20)"},
    {"InMirroredBlock", u"^@BM%temp%dot.bmp,40,30", 1, -1, 1, 0, 90, -50, 40, 30, "matrix(-1 0 0 1 180 0)"},
    {"BoundNameMatchedByPrefix", u"^@BM%temp%DOT,40,30", 1, 0, 0, 0, 10, -50, 40, 30, ""},
    {"BesideTheDrawing", u"^@BMC:\\photos\\photo.bmp,40,30", 1, 0, 0, 0, 10, -50, 40, 30, ""},
    {"BoundMissing", u"^@BM%temp%gone.bmp,40,30", 1, 0, 0, 0, 0, 0, 0, 0, ""},
    {"OnDiskMissing", u"^@BMC:\\photos\\gone.bmp,40,30", 1, 0, 0, 0, 0, 0, 0, 0, ""},
    {"NotAnImage", u"^@BMnotes.txt,40,30", 1, 0, 0, 0, 0, 0, 0, 0, ""},
    {"BoundNameLeavingItsFolder", u"^@BM%temp%../photo.bmp,40,30", 1, 0, 0, 0, 0, 0, 0, 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Render, ImagePlacement, testing::ValuesIn(kImageCases),
                         [](const testing::TestParamInfo<ImageCase>& i) { return std::string(i.param.name); });

TEST(Render, DrawsGzippedBoundImagesOfTheFileAndRemovesThemAfterwards) {
    TempDir src, out;
    WriteAll(src.File("plan.bmp"), TinyBmp());
    TJwwData d = Shown();
    d.BindImageFolder = src.path();
    d.BindImage.push_back(TBindImageType{u"plan.bmp", 0, false});
    d.BindImageN = 1;
    d.BindImagePack();  // stored as plan.bmp.gz
    ASSERT_EQ(d.BindImage[0].Fname, u"plan.bmp.gz");
    d.BindImageExr = true;
    Add(d.TopLists(), Text(0, 0, u"^@BM%temp%plan.bmp,40,30"));
    SyncCounts(d);
    ASSERT_TRUE(d.FileOut(out.File("plan.jww"), 700)) << d.LastError;

    std::string svg, error;
    ASSERT_TRUE(RenderFile(out.File("plan.jww"), true, TRenderOptions{}, svg, error)) << error;
    const auto images = ImageElements(svg);
    ASSERT_EQ(images.size(), 2u);  // before and after the conversion
    for (const auto& img : images) EXPECT_EQ(img.at("xlink:href"), kTinyBmpUri);
    std::vector<platform::DirEntry> left;
    platform::ListDir(platform::UserRuntimeDir("talvine"), left);
    const std::string own = "render-" + std::to_string(platform::ProcessId()) + "-";
    for (const auto& e : left) EXPECT_NE(e.name.rfind(own, 0), 0u) << e.name;
}

}  // namespace
}  // namespace talvine::test
