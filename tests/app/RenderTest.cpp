// Pictures of drawings: what is drawn where, on paper millimetres; that the
// conversion draws every part of every dimension at the same place, size
// and angle; blocks placed as the block tree places them; images placed by
// texts, from the drawing or from disk.
//
// With TALVINE_SVG_DIR naming a folder, every SVG these tests make is kept
// there (tests/render/raster.sh rasterises them).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <numbers>
#include <regex>
#include <sstream>
#include <tuple>

#include "app/DimensionExplode.h"
#include "app/Render.h"
#include "jww/DisplayTables.h"
#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine::test {
namespace {

// The SVG, kept in TALVINE_SVG_DIR (when set) under the running test's name.
const std::string& Kept(const std::string& svg) {
    const char* dir = std::getenv("TALVINE_SVG_DIR");
    if (dir == nullptr || *dir == 0) return svg;
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') c = '_';
    static int serial = 0;
    WriteAll(AddPathDelim(dir) + name + "-" + std::to_string(++serial) + ".svg", Bytes(svg.begin(), svg.end()));
    return svg;
}

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
    d.EntLgrp[0].adScale = 100;  // names the real size; moves nothing
    const int def = AddBlockDef(d, u"b");
    auto& b = d.EntBlockDef[static_cast<size_t>(def)];
    Add(ListsOf(b), Line(0, 0, 10, 0));
    Add(ListsOf(b), Text(0, 0, u"A"));
    Add(d.TopLists(), Insert(b.nNumber, 100, 50, -2, 2, 3.14159265358979323846 / 2));
    SyncCounts(d);
    std::vector<TPrimitive> p;
    ASSERT_TRUE(DrawPrimitives(d, TRenderOptions{}, p));
    ASSERT_EQ(p.size(), 2u);
    // Mirrored (x -> -2x), then a quarter turn: (10, 0) -> (-20, 0) -> (0, -20).
    EXPECT_NEAR(p[0].xy[2], 100, 1e-9);
    EXPECT_NEAR(p[0].xy[3], 30, 1e-9);
    EXPECT_EQ(p[1].text, u"A");
    const TEntJwwMoji& t = d.EntBlockDef[0].mMoji[0];
    EXPECT_NEAR(p[1].height, 2 * t.dSizeY, 1e-9);
    EXPECT_NEAR(p[1].length, 2 * TextWidth(u"A", t.dSizeX, t.dKankaku), 1e-9);
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
    const std::string svg = Kept(SvgOf({pic}));
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

// ---- Paper millimetres ---------------------------------------------------------

// The attributes of each element named tag of an SVG, its text under "".
std::vector<std::map<std::string, std::string>> Elements(const std::string& svg, const std::string& tag) {
    std::vector<std::map<std::string, std::string>> found;
    const std::regex element("<" + tag + " ([^>]*?)/?>(?:([^<]*)</" + tag + ">)?"),
        attribute("([a-zA-Z][a-zA-Z0-9:-]*)=\"([^\"]*)\"");
    for (std::sregex_iterator e(svg.begin(), svg.end(), element), end; e != end; ++e) {
        const std::string inner = (*e)[1];
        auto& attrs = found.emplace_back();
        for (std::sregex_iterator a(inner.begin(), inner.end(), attribute); a != end; ++a) attrs[(*a)[1]] = (*a)[2];
        attrs[""] = (*e)[2];
    }
    return found;
}

const std::u16string kGothic = u"ＭＳ ゴシック";

// An A3 drawing at 1/100 as real ones are: the frame on the edge of the
// sheet, which is centred on the origin (+-210 x +-148.5), a title box, a
// room of 3.6 x 2.7 m drawn 36 x 27 with its width dimensioned, texts 2.5
// to 5 mm high. Built with the entity builder on a new drawing.
TJwwData RealA3() {
    TJwwData d;
    d.DataDefaultSet();
    d.Enthd.jwVer = 700;
    d.Enthd.nZumen = 3;  // A3
    d.EntLgrp[0].adScale = 100;
    EXPECT_TRUE(d.AddEntPre());
    auto box = [&](double x0, double y0, double x1, double y1) {
        EXPECT_TRUE(d.AddEntLine(0, 0, 1, 2, 1, 0, 0, x0, y0, x1, y0));
        EXPECT_TRUE(d.AddEntLine(0, 0, 1, 2, 1, 0, 0, x1, y0, x1, y1));
        EXPECT_TRUE(d.AddEntLine(0, 0, 1, 2, 1, 0, 0, x1, y1, x0, y1));
        EXPECT_TRUE(d.AddEntLine(0, 0, 1, 2, 1, 0, 0, x0, y1, x0, y0));
    };
    auto text = [&](double x, double y, double size, const std::u16string& s) {
        EXPECT_TRUE(d.AddEntMoji(0, 0, 2, 1, 1, 0, 0, 0, x, y, size, size, 0.5, 0, kGothic, s));
    };
    box(-210, -148.5, 210, 148.5);  // the frame
    box(110, -148.5, 210, -118.5);  // the title box
    box(-18, -13.5, 18, 13.5);      // the room
    text(-7.5, -2.5, 5, u"会議室");
    text(115, -128, 3.5, u"平面図 S=1/100");
    text(115, -140, 2.5, u"A3 Talvine");
    EXPECT_TRUE(d.AddEntSunpo(0, 0, 3, 3, 1, 0, 0, -18, -20, 18, -20, 3, 2, 0, 0, 0, 0, -19, 2.5, 2.5, 0.25, 0,
                              kGothic, u"3600"));
    EXPECT_TRUE(d.AddEntPost());
    return d;
}

TEST(Render, RealDrawingFillsItsSheetAndKeepsItsTextSizes) {
    TempDir dir;
    TJwwData d = RealA3();
    ASSERT_TRUE(d.FileOut(dir.File("a3.jww"), 700)) << d.LastError;
    std::string svg, error;
    ASSERT_TRUE(RenderFile(dir.File("a3.jww"), false, TRenderOptions{}, svg, error)) << error;
    Kept(svg);

    // The picture is the sheet, at its size.
    const auto root = Elements(svg, "svg");
    ASSERT_EQ(root.size(), 1u);
    EXPECT_EQ(root[0].at("viewBox"), "-210 -148.5 420 297");
    EXPECT_EQ(root[0].at("width"), "420mm");
    EXPECT_EQ(root[0].at("height"), "297mm");
    // The frame reaches its edges (y runs down in SVG).
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const auto& l : Elements(svg, "line")) {
        for (const char* x : {"x1", "x2"}) x0 = std::min(x0, std::stod(l.at(x))), x1 = std::max(x1, std::stod(l.at(x)));
        for (const char* y : {"y1", "y2"}) y0 = std::min(y0, std::stod(l.at(y))), y1 = std::max(y1, std::stod(l.at(y)));
    }
    EXPECT_EQ(x0, -210);
    EXPECT_EQ(x1, 210);
    EXPECT_EQ(y0, -148.5);
    EXPECT_EQ(y1, 148.5);
    // Texts at their height, as long as their characters and spacing make
    // them (half-width characters half as wide).
    const std::map<std::string, std::pair<double, double>> expected = {
        {"会議室", {5, 3 * 5 + 2 * 0.5}},
        {"平面図 S=1/100", {3.5, 3 * 3.5 + 8 * 1.75 + 3 * 0.5 + 7 * 0.25}},
        {"A3 Talvine", {2.5, 10 * 1.25 + 9 * 0.25}},
        {"3600", {2.5, 4 * 1.25 + 3 * 0.125}},
    };
    const auto texts = Elements(svg, "text");
    ASSERT_EQ(texts.size(), expected.size());
    for (const auto& t : texts) {
        SCOPED_TRACE(t.at(""));
        ASSERT_EQ(expected.count(t.at("")), 1u);
        EXPECT_NEAR(std::stod(t.at("font-size")), expected.at(t.at("")).first, 1e-4);
        EXPECT_NEAR(std::stod(t.at("textLength")), expected.at(t.at("")).second, 1e-4);
    }
}

TEST(Render, BeforeAndAfterShareOneViewThatHoldsEverySheetAndEverything) {
    // The samples draw past their sheets and place blocks at every depth.
    TempDir dir;
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(dir.File("sample.jww"), 700)) << d.LastError;
    TJwsData f = SampleFigure(600);
    ASSERT_TRUE(f.FileOut(dir.File("sample.jws"), 600)) << f.LastError;
    for (const char* name : {"sample.jww", "sample.jws"}) {
        SCOPED_TRACE(name);
        std::string svg, error;
        ASSERT_TRUE(RenderFile(dir.File(name), true, TRenderOptions{}, svg, error)) << error;
        Kept(svg);
        EXPECT_EQ(svg.find("nan"), std::string::npos);
        const auto root = Elements(svg, "svg");
        ASSERT_EQ(root.size(), 1u);
        std::istringstream box(root[0].at("viewBox"));
        double left, top, width, height;
        box >> left >> top >> width >> height;
        // Each half of the picture: one view, the second moved right by a twentieth more than its width.
        const double view = width / 2.05;
        for (const auto& g : Elements(svg, "rect")) {
            if (g.at("fill") != "none") continue;  // the sheet's outline
            EXPECT_GE(std::stod(g.at("x")), left - 1e-3);
            EXPECT_LE(std::stod(g.at("x")) + std::stod(g.at("width")), left + view + 1e-3);
        }
        for (const auto& l : Elements(svg, "line"))
            for (const char* x : {"x1", "x2"}) {
                const double v = std::stod(l.at(x));
                EXPECT_TRUE((v >= left - 1e-3 && v <= left + view + 1e-3) ||
                            (v >= left + 1.05 * view - 1e-3 && v <= left + width + 1e-3)) << v;
            }
        for (const auto& l : Elements(svg, "line"))
            for (const char* y : {"y1", "y2"}) {
                const double v = std::stod(l.at(y));
                EXPECT_TRUE(v >= top - 1e-3 && v <= top + height + 1e-3) << v;
            }
    }
}

// ---- Blocks as the block tree places them ----------------------------------------

struct ReentryCase {
    const char* name;
    std::vector<std::vector<int>> places;  // per definition, the definitions it places
    std::vector<int> top;                  // the definitions the drawing places
    std::vector<int> drawn;                // how often each definition is placed
};
void PrintTo(const ReentryCase& c, std::ostream* os) { *os << c.name; }

class BlockReentry : public testing::TestWithParam<ReentryCase> {};

TEST_P(BlockReentry, DrawsEachDefinitionWhereTheBlockTreePlacesIt) {
    const ReentryCase& c = GetParam();
    TJwwData d = Shown();
    // Definition k holds the text "k" at its origin and places its
    // definitions each at its own offset.
    for (size_t k = 0; k < c.places.size(); ++k) {
        auto& def = d.EntBlockDef[static_cast<size_t>(AddBlockDef(d, u"def" + Utf8ToUtf16(std::to_string(k))))];
        Add(ListsOf(def), Text(0, 0, Utf8ToUtf16(std::to_string(k))));
    }
    for (size_t k = 0; k < c.places.size(); ++k)
        for (size_t l = 0; l < c.places[k].size(); ++l)
            Add(ListsOf(d.EntBlockDef[k]), Insert(static_cast<uint32_t>(c.places[k][l]),
                                                  10.0 * static_cast<double>(l + 1), 5.0 * static_cast<double>(k + 1),
                                                  1, 1, 0.3));
    for (size_t l = 0; l < c.top.size(); ++l)
        Add(d.TopLists(), Insert(static_cast<uint32_t>(c.top[l]), 100.0 * static_cast<double>(l), 0));
    SyncCounts(d);

    std::vector<TPrimitive> p;
    ASSERT_TRUE(DrawPrimitives(d, TRenderOptions{}, p));
    // Each text where a node of the tree puts its definition's origin.
    using Place = std::tuple<std::u16string, long long, long long>;
    auto place = [](const std::u16string& text, double x, double y) {
        return Place{text, std::llround(x * 1e6), std::llround(y * 1e6)};
    };
    std::vector<Place> drawn, placed;
    for (const TPrimitive& q : p)
        if (q.kind == TPrimitive::kText) drawn.push_back(place(q.text, q.xy[0], q.xy[1]));
    std::vector<int> times(c.places.size());
    for (int32_t i = 0; i < d.EntBlockTreeN; ++i) {
        const TEntJwwBlockTree& n = d.EntBlockTree[static_cast<size_t>(i)];
        placed.push_back(place(Utf8ToUtf16(std::to_string(n.defno)), n.x, n.y));
        ++times[static_cast<size_t>(n.defno)];
    }
    EXPECT_EQ(times, c.drawn);  // the tree as it should be
    std::sort(drawn.begin(), drawn.end());
    std::sort(placed.begin(), placed.end());
    EXPECT_EQ(drawn, placed);
}

const ReentryCase kReentryCases[] = {
    {"DefinitionPlacingItself", {{0}}, {0}, {2}},
    {"TwoDefinitionsPlacingEachOther", {{1}, {0}}, {0}, {2, 1}},
    {"CycleEnteredFromBothEnds", {{1}, {0}}, {0, 1}, {3, 3}},
    {"SharedDefinitionIsNoCycle", {{1, 2}, {3}, {3}, {}}, {0}, {1, 1, 1, 2}},
};
INSTANTIATE_TEST_SUITE_P(Render, BlockReentry, testing::ValuesIn(kReentryCases),
                         [](const testing::TestParamInfo<ReentryCase>& i) { return std::string(i.param.name); });

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
    const auto images = ImageElements(Kept(SvgOf({pic})));
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
    {"AtLayerGroupScale", u"^@BM%temp%dot.bmp,40,30", 50, 0, 0, 0, 10, -50, 40, 30, ""},
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
    const auto images = ImageElements(Kept(svg));
    ASSERT_EQ(images.size(), 2u);  // before and after the conversion
    for (const auto& img : images) EXPECT_EQ(img.at("xlink:href"), kTinyBmpUri);
    std::vector<platform::DirEntry> left;
    platform::ListDir(platform::UserRuntimeDir("talvine"), left);
    const std::string own = "render-" + std::to_string(platform::ProcessId()) + "-";
    for (const auto& e : left) EXPECT_NE(e.name.rfind(own, 0), 0u) << e.name;
}

// A bound image that would unpack to 1 GB is not drawn, and does not stop
// the picture: the other image is drawn.
TEST(Render, ABoundImageBombIsLeftOutAndThePictureGoesOn) {
    TempDir src, out;
    const Bytes member = Gzip(Bytes(1 << 20, 0));
    Bytes bomb;
    for (int i = 0; i < 1024; ++i) bomb.insert(bomb.end(), member.begin(), member.end());
    WriteAll(src.File("bomb.bmp.gz"), bomb);
    WriteAll(src.File("plan.bmp"), TinyBmp());
    TJwwData d = Shown();
    d.BindImageFolder = src.path();
    d.BindImage = {TBindImageType{u"bomb.bmp.gz", 0, false}, TBindImageType{u"plan.bmp", 0, false}};
    d.BindImageN = 2;
    d.BindImageExr = true;
    Add(d.TopLists(), Text(0, 0, u"^@BM%temp%bomb.bmp,40,30"));
    Add(d.TopLists(), Text(50, 0, u"^@BM%temp%plan.bmp,40,30"));
    SyncCounts(d);
    ASSERT_TRUE(d.FileOut(out.File("plan.jww"), 700)) << d.LastError;

    std::string svg, error;
    ASSERT_TRUE(RenderFile(out.File("plan.jww"), false, TRenderOptions{}, svg, error)) << error;
    const auto images = ImageElements(Kept(svg));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].at("xlink:href"), kTinyBmpUri);
}

}  // namespace
}  // namespace talvine::test
