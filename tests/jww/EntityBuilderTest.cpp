// The entity builder: attribute rules, flag bits, text placement, dimension
// forms, solids, block definitions and inserts, growth, and documents built
// entity by entity that read back unchanged.
#include <cmath>
#include <functional>
#include <numbers>

#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

constexpr double kEps = 1e-12;  // tolerance of computed coordinates and angles

const std::u16string kFont = u"ＭＳ ゴシック";

// The last valid entry of an array (arrays grow beyond their counts).
template <class T>
const T& Last(const TArray<T>& arr, int32_t n) {
    return arr.at(static_cast<size_t>(n - 1));
}

TJwwData NewDrawing() {
    TJwwData d;
    d.DataDefaultSet();
    return d;
}

// ---- Common parameters ----

TEST(EntityBuilder, CommonParametersAreClamped) {
    struct Case {
        int lg, ly, co, tp, wd;
        uint16_t group, layer, color;
        uint8_t style;
        uint16_t width;
    };
    const Case cases[] = {
        {16, -1, 11, 10, 0, 0, 0, 1, 1, 0},          {15, 15, 101, 31, 5, 15, 15, 101, 31, 5},
        {3, 4, 356, 62, 30000, 3, 4, 356, 62, 30000}, {0, 0, 357, 63, 0, 0, 0, 1, 1, 0},
        {0, 0, 0, 0, 0, 0, 0, 1, 1, 0},              {0, 0, 10, 9, 0, 0, 0, 10, 9, 0},
        {0, 0, 100, 20, 0, 0, 0, 1, 1, 0},           {0, 0, 65536 + 5, 256 + 5, 0, 0, 0, 1, 1, 0},
        {0, 0, -2, -1, -1, 0, 0, 1, 1, 0},           {0, 0, 1, 19, 70000, 0, 0, 1, 19, 65535},
    };
    TJwwData d = NewDrawing();
    for (const Case& c : cases) {
        ASSERT_TRUE(d.AddEntLine(77, c.lg, c.ly, c.co, c.tp, c.wd, 0, 0, 0, 1, 1));
        const TEntJwwAttr& a = d.EntLine[static_cast<size_t>(d.EntLineN - 1)].att;
        SCOPED_TRACE(testing::Message() << c.lg << " " << c.ly << " " << c.co << " " << c.tp << " " << c.wd);
        EXPECT_EQ(a.lGroup, 77u);
        EXPECT_EQ(a.nGLayer, c.group);
        EXPECT_EQ(a.nLayer, c.layer);
        EXPECT_EQ(a.nPenColor, c.color);
        EXPECT_EQ(a.nPenStyle, c.style);
        EXPECT_EQ(a.nPenWidth, c.width);
    }
}

// sFlg of each kind for fl bits; the dimension rows give the parts.
TEST(EntityBuilder, FlagBits) {
    TJwwData d = NewDrawing();
    using Add = std::function<uint16_t(int fl)>;
    const Add line = [&](int fl) {
        d.AddEntLine(0, 0, 0, 1, 1, 0, fl, 0, 0, 1, 0);
        return Last(d.EntLine, d.EntLineN).att.sFlg;
    };
    const Add arc = [&](int fl) {
        d.AddEntArc(0, 0, 0, 1, 1, 0, fl, 0, 0, 1, 1, 0, 90, 0);
        return Last(d.EntEnko, d.EntEnkoN).att.sFlg;
    };
    const Add point = [&](int fl) {
        d.AddEntTen(0, 0, 0, 1, 0, 0, fl, 0, 0, 0, 1);
        return Last(d.EntTen, d.EntTenN).att.sFlg;
    };
    const Add text = [&](int fl) {
        d.AddEntMoji(0, 0, 0, 1, 1, 0, fl, 0, 0, 0, 1, 0, 3, 3, 0, 0, kFont, u"a");
        return Last(d.EntMoji, d.EntMojiN).att.sFlg;
    };
    const Add solid = [&](int fl) {
        d.AddEntSolid(0, 0, 0, 1, 1, 0, fl, 0, 0, 0, 1, 1);
        return Last(d.EntSolid, d.EntSolidN).att.sFlg;
    };
    const Add def = [&](int fl) {
        d.AddBlkDef(0, 0, 0, 1, 1, 0, fl, 1, u"B");
        return Last(d.EntBlockDef, d.EntBlockDefN).att.sFlg;
    };
    // Dimension form 3 with the same fl for the line, text and every part.
    const auto dim = [&](int fl) -> const TEntJwwSunpo& {
        d.AddEntSunpo(0, 0, 0, 1, 1, 0, fl, 0, 0, 10, 0, 1, 1, 0, fl, 0, 0, 0, 1, 0, 3, 3, 0, 0, kFont, u"10",
                      1, 1, 1, 0, fl, 0, 0, 0, 1, 1, 1, 1, 0, fl, 0, 0, 0, 1, 1, 1, 0, 0, fl, 1, 1, 1, 0, 0, fl, 1,
                      1, 1, 0, 0, fl, 0, 0, 1, 1, 1, 0, 0, fl, 0, 0, 1);
        return Last(d.EntSunpo, d.EntSunpoN);
    };
    const Add dimLine = [&](int fl) { return dim(fl).Sen.att.sFlg; };
    const Add dimText = [&](int fl) { return dim(fl).Moji.att.sFlg; };
    const Add extLine = [&](int fl) { return dim(fl).Ho2.att.sFlg; };
    const Add endPoint = [&](int fl) { return dim(fl).Te1.att.sFlg; };
    const Add refPoint = [&](int fl) { return dim(fl).Kt2.att.sFlg; };

    struct Case {
        const char* kind;
        const Add* add;
        int fl;
        uint16_t sFlg;
    };
    const Case cases[] = {
        {"line", &line, 0, 0},          {"line", &line, 1, 0x0020},      {"line", &line, 2, 0x2000},
        {"line", &line, 4, 0x0800},     {"line", &line, 8, 0x8000},      {"line", &line, 16, 0x1000},
        {"line", &line, 31, 0xB820},    {"line", &line, 32, 0},          {"arc", &arc, 23, 0x00F0},
        {"point", &point, 8, 0},        {"point", &point, 31, 0x00F0},   {"text", &text, 1, 0},
        {"text", &text, 2, 0x4010},     {"text", &text, 4, 0x0020},      {"text", &text, 8, 0x0040},
        {"text", &text, 16, 0x0080},    {"text", &text, 32, 0x0100},     {"text", &text, 64, 0x0200},
        {"text", &text, 128, 0x0400},   {"text", &text, 256, 0x1000},    {"text", &text, 512, 0x8000},
        {"text", &text, 1024, 0x2000},  {"text", &text, 2048, 0x0800},   {"solid", &solid, 31, 0x3820},
        {"definition", &def, 31, 0x3820}, {"dimension line", &dimLine, 0, 0x2000},
        {"dimension line", &dimLine, 31, 0xB820}, {"dimension text", &dimText, 0, 0x4010},
        {"dimension text", &dimText, 4, 0x4030}, {"extension line", &extLine, 2, 0x2000},
        {"extension line", &extLine, 29, 0xB820}, {"end point", &endPoint, 0, 0x0040},
        {"end point", &endPoint, 31, 0x00F0},     {"reference point", &refPoint, 17, 0x00E0},
    };
    for (const Case& c : cases) EXPECT_EQ((*c.add)(c.fl), c.sFlg) << c.kind << " fl " << c.fl;
}

// ---- Arcs, points, texts ----

TEST(EntityBuilder, ArcAngles) {
    TJwwData d = NewDrawing();
    ASSERT_TRUE(d.AddEntArc(0, 0, 0, 1, 1, 0, 0, 5, 6, 10, 0.5, 45, 90, 30));
    ASSERT_TRUE(d.AddEntArc(0, 0, 0, 1, 1, 0, 8, 5, 6, 10, 1, 45, 90, 0));
    const TEntJwwEnko& a = d.EntEnko[0];
    EXPECT_NEAR(a.radKaishiKaku, std::numbers::pi / 4, kEps);
    EXPECT_NEAR(a.radEnkoKaku, std::numbers::pi / 2, kEps);
    EXPECT_NEAR(a.radKatamukiKaku, std::numbers::pi / 6, kEps);
    EXPECT_EQ(a.dHenpeiRitsu, 0.5);
    EXPECT_EQ(a.bZenEnFlg, 0u);
    const TEntJwwEnko& full = d.EntEnko[1];
    EXPECT_EQ(full.radKaishiKaku, 0.0);
    EXPECT_NEAR(full.radEnkoKaku, 2 * std::numbers::pi, kEps);
    EXPECT_EQ(full.bZenEnFlg, 1u);
}

TEST(EntityBuilder, PointCodes) {
    struct Case {
        int tp, fl;
        double pb;
        uint32_t code;
        uint8_t style;
        uint32_t kariten;
        double scale;
    };
    const Case cases[] = {
        {12, 0, 2, 0, 1, 0, 2},
        {-3, 0, 2, static_cast<uint32_t>(-3), 100, 0, 2},
        {11, 0, 0, 11, 100, 0, 1},
        {-8, 0, 1e-11, 0, 1, 0, 1},
        {5, 8, 3, 0, 1, 1, 3},
    };
    TJwwData d = NewDrawing();
    for (const Case& c : cases) {
        ASSERT_TRUE(d.AddEntTen(0, 0, 0, 357, c.tp, 0, c.fl, 1, 2, 90, c.pb));
        const TEntJwwTen& p = Last(d.EntTen, d.EntTenN);
        SCOPED_TRACE(c.tp);
        EXPECT_EQ(p.nCode, c.code);
        EXPECT_EQ(p.att.nPenStyle, c.style);
        EXPECT_EQ(p.att.nPenColor, 1);
        EXPECT_EQ(p.bKariten, c.kariten);
        EXPECT_EQ(p.dBairitsu, c.scale);
        EXPECT_NEAR(p.radKaitenKaku, std::numbers::pi / 2, kEps);
    }
}

TEST(EntityBuilder, TextTypes) {
    struct Case {
        int ms;
        uint32_t stored;
        double size, spacing;
        uint16_t color;
    };
    const Case cases[] = {
        {3, 3, 3.0, 0.5, 2},          {20005, 20005, 5.0, 0.5, 3}, {20000, 20000, 7.5, 0.25, 6},
        {20011, 20000, 7.5, 0.25, 6}, {10, 10, 10.0, 1.0, 5},      {-20003, static_cast<uint32_t>(-20000), 7.5, 0.25, 6},
    };
    TJwwData d = NewDrawing();
    for (const Case& c : cases) {
        ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 6, 1, 0, 0, c.ms, 0, 0, 10, 0, 7.5, 7.5, 0.25, 0, kFont, u"x"));
        const TEntJwwMoji& t = Last(d.EntMoji, d.EntMojiN);
        SCOPED_TRACE(c.ms);
        EXPECT_EQ(t.nMojiShu, c.stored);
        EXPECT_EQ(t.dSizeX, c.size);
        EXPECT_EQ(t.dSizeY, c.size);
        EXPECT_EQ(t.dKankaku, c.spacing);
        EXPECT_EQ(t.att.nPenColor, c.color);
    }
    // Without text types the given values stay.
    // Corner form: anchor 12 becomes 1, the angle stays in degrees.
    TJwwData bare;
    ASSERT_TRUE(bare.AddEntMoji(0, 0, 0, 6, 12, 0, 0, 3, 1, 2, 30, 2, 7.5, 7.5, 0.25, 15, kFont, u"x"));
    const TEntJwwMoji& t = bare.EntMoji[0];
    EXPECT_EQ(t.dSizeX, 7.5);
    EXPECT_EQ(t.nMojiShu, 3u);
    EXPECT_EQ(t.att.nPenStyle, 1);
    EXPECT_EQ(t.degKakudo, 15.0);
    EXPECT_EQ((std::vector<double>{t.start_x, t.start_y, t.end_x, t.end_y}), (std::vector<double>{1, 2, 30, 2}));
}

// Anchor form: the start and end points, computed by hand.
TEST(EntityBuilder, TextAnchorPlacement) {
    struct Case {
        const char* name;
        int anchor, fl;
        double w, h, d, angle;
        std::u16string text;
        double x1, y1, x2, y2;
    };
    const Case cases[] = {
        // Two half-width letters: L = 1 + 1 + 0.5 = 2.5, H = 3.
        {"centre", 5, 0, 2, 3, 1, 0, u"AB", 8.75, 8.5, 11.25, 8.5},
        {"bottom left", 1, 0, 2, 3, 1, 0, u"AB", 10, 10, 12.5, 10},
        {"top right", 9, 0, 2, 3, 1, 0, u"AB", 7.5, 7, 10, 7},
        {"bottom right ends at the anchor", 3, 0, 2, 3, 1, 0, u"AB", 7.5, 10, 10, 10},
        // Turned by 90 degrees: offsets (-1.25, -1.5) become (1.5, -1.25).
        {"centre turned", 5, 0, 2, 3, 1, 90, u"AB", 11.5, 8.75, 11.5, 11.25},
        // One full-width character: L = 4; two with spacing 1: L = 9.
        {"full width", 2, 0, 4, 4, 1, 0, u"図", 8, 10, 12, 10},
        {"two full width", 3, 0, 4, 4, 1, 0, u"図面", 1, 10, 10, 10},
        // Vertical (fl 4): L = 2 * height + spacing = 7, H = width = 2.
        {"vertical", 8, 4, 2, 3, 1, 0, u"縦書", 6.5, 8, 13.5, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TJwwData d = NewDrawing();
        ASSERT_TRUE(d.AddEntMoji(0, 0, 0, 1, c.anchor, 0, c.fl, 0, 10, 10, c.w, c.h, c.d, c.angle, kFont, c.text));
        const TEntJwwMoji& t = d.EntMoji[0];
        EXPECT_NEAR(t.start_x, c.x1, kEps);
        EXPECT_NEAR(t.start_y, c.y1, kEps);
        EXPECT_NEAR(t.end_x, c.x2, kEps);
        EXPECT_NEAR(t.end_y, c.y2, kEps);
        EXPECT_EQ(t.att.nPenStyle, c.anchor);
    }
}

// ---- Dimensions ----

// Form 3 with the given part switches and codes; P1 (0, 0), P2 (10, 0).
const TEntJwwSunpo& AddSxf(TJwwData& d, int ex3, int ex5, int tp5, int fl5, double pb5, int ex7, int tp7) {
    EXPECT_TRUE(d.AddEntSunpo(1, 2, 3, 4, 5, 6, 0, 0, 0, 10, 0, 2, 5, 0, 0, 0, 4, 1, 6, 1, 2.5, 2.5, 0, 0, kFont,
                              u"10",
                              ex3, 3, 2, 7, 0, 0, -5, 0, 1,
                              0, 3, 2, 7, 0, 10, -5, 10, 1,
                              ex5, 5, tp5, 8, fl5, pb5,
                              0, 5, 0, 8, 0, 1,
                              ex7, 6, tp7, 9, 0, 0, -5, 2,
                              0, 6, 0, 9, 0, 10, -5, 2));
    return Last(d.EntSunpo, d.EntSunpoN);
}

TEST(EntityBuilderDimension, PlainFormsAndPartsOff) {
    TJwwData d = NewDrawing();
    ASSERT_TRUE(d.AddEntSunpo(1, 2, 3, 4, 5, 6, 0, 0, 0, 10, 0, 2, 5, 0, 0, 0, 4, 1, 6, 1, 2.5, 2.5, 0, 0, kFont,
                              u"10"));
    const TEntJwwSunpo plain = d.EntSunpo[0];
    const TEntJwwSunpo& off = AddSxf(d, 0, 0, 5, 0, 1, 0, 0);
    EXPECT_EQ(off, plain);  // form 3 with every part off is form 1
    EXPECT_EQ(plain.bSxfMode, 0);
    EXPECT_EQ(plain.att, (TEntJwwAttr{1, 5, 4, 6, 3, 2, 0x2000}));
    EXPECT_EQ(plain.Sen, (TEntJwwLine{plain.att, 0, 0, 10, 0}));
    EXPECT_EQ(plain.Moji.att, (TEntJwwAttr{1, 5, 2, 0, 3, 2, 0x4010}));
    EXPECT_EQ(plain.Moji.start_x, 4.0);
    EXPECT_EQ(plain.Ho1, TEntJwwLine{plain.att});
    TEntJwwTen unused;
    unused.att = plain.att;
    unused.att.nPenStyle = 0;
    for (const TEntJwwTen* p : {&plain.Te1, &plain.Te2, &plain.Kt1, &plain.Kt2}) EXPECT_EQ(*p, unused);
}

TEST(EntityBuilderDimension, SxfParts) {
    TJwwData d = NewDrawing();
    const TEntJwwSunpo e = AddSxf(d, 1, 1, 5, 0, 0, 1, 5);
    EXPECT_EQ(e.bSxfMode, 1);
    EXPECT_EQ(e.Ho1, (TEntJwwLine{TEntJwwAttr{1, 2, 3, 7, 3, 2, 0x2000}, 0, -5, 0, 1}));
    EXPECT_EQ(e.Ho2.start_x, 0.0);  // ex4 0: no coordinates
    EXPECT_EQ(e.Ho2.end_y, 0.0);
    // End point 1 at P1, pointing from P2 to P1 (ex5 = 1), code 5 kept.
    EXPECT_EQ(e.Te1.att, (TEntJwwAttr{1, 100, 5, 8, 3, 2, 0x0040}));
    EXPECT_EQ(e.Te1.start_x, 0.0);
    EXPECT_EQ(e.Te1.nCode, 5u);
    EXPECT_EQ(e.Te1.bKariten, 0u);
    EXPECT_EQ(e.Te1.dBairitsu, 1.0);  // scale 0 becomes 1
    EXPECT_NEAR(e.Te1.radKaitenKaku, std::numbers::pi, kEps);
    // Reference point 1: code 5 is outside -7..0.
    EXPECT_EQ(e.Kt1.att, (TEntJwwAttr{1, 1, 6, 9, 3, 2, 0x0040}));
    EXPECT_EQ(e.Kt1.nCode, 0u);
    EXPECT_EQ(e.Kt1.bKariten, 1u);
    EXPECT_EQ(e.Kt1.start_y, -5.0);
    EXPECT_EQ(e.Kt1.dBairitsu, 2.0);

    EXPECT_EQ(AddSxf(d, 0, 2, 5, 0, 1, 0, 0).Te1.radKaitenKaku, 0.0);  // ex5 2: from P1 to P2
    const TEntJwwSunpo& temp = AddSxf(d, 0, 1, 5, 8, 1, 1, -7);
    EXPECT_EQ(temp.Te1.nCode, 0u);  // fl bit 8: temporary point without code
    EXPECT_EQ(temp.Te1.att.nPenStyle, 1);
    EXPECT_EQ(temp.Te1.bKariten, 1u);
    EXPECT_EQ(temp.Kt1.nCode, static_cast<uint32_t>(-7));
    EXPECT_EQ(temp.bSxfMode, 1);
}

TEST(EntityBuilderDimension, EndPointTwoAngles) {
    TJwwData d = NewDrawing();
    // P1 (0, 0), P2 (3, 4): the direction from P1 to P2 is atan2(4, 3).
    auto add = [&](int ex6) -> const TEntJwwSunpo& {
        EXPECT_TRUE(d.AddEntSunpo(0, 0, 0, 1, 1, 0, 0, 0, 0, 3, 4, 1, 1, 0, 0, 0, 0, 0, 1, 0, 3, 3, 0, 0, kFont, u"5",
                                  0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0,
                                  0, 1, 0, 0, 0, 1, ex6, 1, 0, 0, 0, 1,
                                  0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1));
        return Last(d.EntSunpo, d.EntSunpoN);
    };
    EXPECT_NEAR(add(1).Te2.radKaitenKaku, std::atan2(4.0, 3.0), kEps);
    EXPECT_NEAR(add(3).Te2.radKaitenKaku, std::atan2(-4.0, -3.0) + 2 * std::numbers::pi, kEps);
    EXPECT_EQ(add(3).Te2.start_y, 4.0);
}

TEST(EntityBuilderDimension, Form5ComputesExtensionLines) {
    TJwwData d = NewDrawing();
    // P1 (0, 10) over K1 (0, 0); P2 (10, 10) over K2 (7, 6): D = 5, u = (0.6, 0.8).
    ASSERT_TRUE(d.AddEntSunpo(0, 0, 0, 1, 1, 0, 0, 0, 10, 10, 10, 1, 5, 0, 0, 0, 5, 11, 2, 2, 0, 0, kFont, u"10",
                              1, 2,
                              1, 1, 1, 0, 0, 1, 1, 1, 0, 0,
                              1, 1, 0, 0, 0, 1, 1, 1, 0, 0, 0, 1,
                              1, 1, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 7, 6, 1));
    const TEntJwwSunpo& e = d.EntSunpo[0];
    EXPECT_NEAR(e.Ho1.start_x, 0, kEps);
    EXPECT_NEAR(e.Ho1.start_y, 1, kEps);
    EXPECT_NEAR(e.Ho1.end_x, 0, kEps);
    EXPECT_NEAR(e.Ho1.end_y, 12, kEps);
    EXPECT_NEAR(e.Ho2.start_x, 7.6, kEps);
    EXPECT_NEAR(e.Ho2.start_y, 6.8, kEps);
    EXPECT_NEAR(e.Ho2.end_x, 11.2, kEps);
    EXPECT_NEAR(e.Ho2.end_y, 11.6, kEps);
    // The text is centred at (5, 11): "10" of width and height 2 without
    // spacing is 2 long.
    EXPECT_NEAR(e.Moji.start_x, 4, kEps);
    EXPECT_NEAR(e.Moji.start_y, 10, kEps);
}

// ---- Solids ----

TEST(EntityBuilder, Solids) {
    TJwwData d = NewDrawing();
    ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 10, 1, 0, 0, 0x123456, 0, 0, 5, 5));
    ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 10, 1, 0, 0, 0x1000000, 0, 0, 5, 0, 5, 5));
    ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 2, 150, 0, 0, 0x123456, 1, 2, 3, 4, 5, 6, 7, 8));
    ASSERT_TRUE(d.AddEntSolid(0, 0, 0, 2, 99, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8));
    const auto& s = d.EntSolid;
    EXPECT_EQ(s[0], (TEntJwwSolid{TEntJwwAttr{0, 1, 10, 0, 0, 0, 0}, 0, 0, 5, 5, 5, 5, 5, 5, 0x123456}));
    EXPECT_EQ(s[1], (TEntJwwSolid{TEntJwwAttr{0, 1, 10, 0, 0, 0, 0}, 0, 0, 5, 0, 5, 5, 0, 0, 0}));
    EXPECT_EQ(s[2].att.nPenStyle, 150);  // above 100 stays
    EXPECT_EQ(s[2].Color, 0u);           // colour only for pen colour 10
    EXPECT_EQ(s[3].att.nPenStyle, 1);

    ASSERT_TRUE(d.AddEntSolidA(0, 0, 0, 10, 0, 0, 0xFF, 1, 2, 3, 0.5, 90));
    ASSERT_TRUE(d.AddEntSolidA(0, 0, 0, 1, 0, 0, 0, 1, 2, 3, 0.5, 90, 180, 45));
    ASSERT_TRUE(d.AddEntSolidC(0, 0, 0, 1, 2, 0, 0, 0, 1, 2, 3, 0.5, 0, 90, 180));
    ASSERT_TRUE(d.AddEntSolidC(0, 0, 0, 1, 7, 0, 0, 0, 1, 2, 3, 0.5, 0, 90, 180));
    ASSERT_TRUE(d.AddEntSolidD(0, 0, 0, 1, 2, 0, 0, 0, 1, 2, 3, 1.5, 0.5, 0, 90, 180));
    ASSERT_TRUE(d.AddEntSolidD(0, 0, 0, 1, 9, 0, 0, 0, 1, 2, 3, 1.5, 0.5, 0, 90, 180));
    struct Expected {
        uint8_t style;
        double p2x, p2y, p3x, p3y;
    };
    const Expected curved[] = {
        {111, std::numbers::pi / 2, 0, 2 * std::numbers::pi, 100},       {111, std::numbers::pi / 2, std::numbers::pi, std::numbers::pi / 4, 0},
        {101, 0, std::numbers::pi / 2, std::numbers::pi, 5},             {101, 0, 0, 2 * std::numbers::pi, 100},
        {106, 0, std::numbers::pi / 2, std::numbers::pi, 1.5},           {105, 0, std::numbers::pi / 2, std::numbers::pi, 1.5},
    };
    for (size_t i = 0; i < 6; ++i) {
        const TEntJwwSolid& c = s[4 + i];
        SCOPED_TRACE(i);
        EXPECT_EQ(c.att.nPenStyle, curved[i].style);
        EXPECT_EQ(c.start_x, 1.0);
        EXPECT_EQ(c.end_x, 3.0);
        EXPECT_EQ(c.end_y, 0.5);
        EXPECT_NEAR(c.DPoint2_x, curved[i].p2x, kEps);
        EXPECT_NEAR(c.DPoint2_y, curved[i].p2y, kEps);
        EXPECT_NEAR(c.DPoint3_x, curved[i].p3x, kEps);
        EXPECT_NEAR(c.DPoint3_y, curved[i].p3y, kEps);
    }
    EXPECT_EQ(s[4].Color, 0xFFu);
}

// ---- Block definitions and inserts ----

TEST(EntityBuilderBlocks, DefinitionNames) {
    TJwwData d = NewDrawing();
    ASSERT_TRUE(d.AddBlkDef(0, 20, 3, 0, 0, 0, 0, 2, u"Door"));
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 3, u"Door"));
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 7, u"Win@@sfig"));
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 0, u"窓"));
    EXPECT_EQ(d.EntBlockDefN, 4);
    EXPECT_EQ(d.Enthd.n2, 4);
    ASSERT_EQ(d.EntBlockDef.size(), 4u);
    EXPECT_EQ(d.EntBlockDef[0].strName, u"Door@@SfigorgFlag@@2");
    EXPECT_EQ(d.EntBlockDef[1].strName, u"Door~1@@SfigorgFlag@@3");
    EXPECT_EQ(d.EntBlockDef[2].strName, u"Win@@sfig");
    EXPECT_EQ(d.EntBlockDef[3].strName, u"窓@@SfigorgFlag@@4");
    EXPECT_EQ(d.EntBlockDef[0].att, (TEntJwwAttr{0, 1, 1, 0, 3, 0, 0}));
    for (uint32_t i = 0; i < 4; ++i) {
        const TEntJwwBlockDef& def = d.EntBlockDef[i];
        EXPECT_EQ(def.nNumber, i);
        EXPECT_EQ(def.N, 0);
        EXPECT_EQ(def.ref_no, -1);
    }
    // Numbers continue after the largest in use.
    d.EntBlockDef[1].nNumber = 40;
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"X"));
    EXPECT_EQ(d.EntBlockDef[4].nNumber, 41u);
}

TEST(EntityBuilderBlocks, Inserts) {
    TJwwData d = NewDrawing();
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"A"));
    EXPECT_FALSE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 1, 1, 0));  // bn = EntBlockDefN
    EXPECT_FALSE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, -1, 0, 0, 1, 1, 0));
    EXPECT_EQ(d.EntBlockN, 0);
    EXPECT_EQ(d.Enthd.n1, 0);
    EXPECT_TRUE(d.EntBlock.empty());
    ASSERT_TRUE(d.AddEntBlock(0, 0, 0, 1, 5, 0, 16, 0, 3, 4, 0, 1e-11, 90));
    const TEntJwwBlock& b = d.EntBlock[0];
    EXPECT_EQ(b.att.nPenStyle, 5 | 0x40);
    EXPECT_EQ(b.dBairitsuX, 1.0);
    EXPECT_EQ(b.dBairitsuY, 1.0);
    EXPECT_NEAR(b.radKaitenKaku, std::numbers::pi / 2, kEps);
    EXPECT_EQ(b.DPKijunTen_y, 4.0);
    EXPECT_EQ(d.EntNo[0], (TEntJwwNo{kEntBlock, 0}));
}

TEST(EntityBuilderBlocks, RefusedTargetsChangeNothing) {
    TJwwData d = NewDrawing();
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"A"));
    const TJwwData before = d;
    EXPECT_FALSE(d.AddBlkLine(-1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1));
    EXPECT_FALSE(d.AddBlkLine(1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1));
    EXPECT_FALSE(d.AddBlkMoji(5, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 3, 3, 0, 0, kFont, u"a"));
    EXPECT_FALSE(d.AddBlkBlock(0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 1, 1, 0));  // no definition 1
    ExpectSameDrawing(before, d);
    EXPECT_EQ(d.EntBlockDef[0].mNo.size(), 0u);
}

TEST(EntityBuilderBlocks, InsertClosingACycleIsRefused) {
    TJwwData d = NewDrawing();
    for (const char16_t* name : {u"A", u"B", u"C", u"D"}) ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, name));
    auto insert = [&](int into, int bn) { return d.AddBlkBlock(into, 0, 0, 0, 1, 1, 0, 0, bn, 0, 0, 1, 1, 0); };
    EXPECT_FALSE(insert(0, 0));  // A into itself
    ASSERT_TRUE(insert(0, 1));   // A holds B
    ASSERT_TRUE(insert(1, 2));   // B holds C
    ASSERT_TRUE(insert(0, 2));   // A holds C a second way
    EXPECT_FALSE(insert(2, 0));  // C holding A would close A-B-C-A
    EXPECT_FALSE(insert(1, 0));
    ASSERT_TRUE(insert(3, 0));   // D holds A: no cycle
    EXPECT_FALSE(insert(2, 3));  // C holding D would close C-D-A-B-C
    EXPECT_EQ(d.EntBlockDef[2].mBlockN, 0);
    EXPECT_EQ(d.EntBlockDef[2].N, 0);
    ASSERT_TRUE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, 3, 0, 0, 1, 1, 0));
    ASSERT_TRUE(d.AddEntPost());
    EXPECT_EQ(d.EntBlockTreeN, 5);  // D, A, B, C (through A), C (through B)
}

// ---- Growth and the bracket operations ----

TEST(EntityBuilder, GrowthSteps) {
    TJwwData d = NewDrawing();
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"A"));
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 0, i, 0, i, 1));
    EXPECT_EQ(d.EntLine.size(), 1000u);
    EXPECT_EQ(d.EntNo.size(), 1000u);
    ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1));
    EXPECT_EQ(d.EntLine.size(), 2000u);
    EXPECT_EQ(d.EntNo.size(), 2000u);
    EXPECT_EQ(d.Enthd.n1, 1001);
    EXPECT_EQ(d.EntNo[1000], (TEntJwwNo{kEntLine, 1000}));

    const TEntJwwBlockDef& def = d.EntBlockDef[0];
    for (int i = 0; i < 501; ++i) ASSERT_TRUE(d.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, i, 0, i, 1));
    EXPECT_EQ(def.mLine.size(), 1000u);
    EXPECT_EQ(def.mNo.size(), 1000u);
    EXPECT_EQ(def.N, 501);

    d.AddBlkDefPost(0);
    EXPECT_EQ(def.mLine.size(), 501u);
    ASSERT_TRUE(d.AddEntPost());
    EXPECT_EQ(d.EntLine.size(), 1001u);
    EXPECT_EQ(d.EntNo.size(), 1001u);
    // Trimmed arrays grow again when needed, with or without AddEntPre.
    ASSERT_TRUE(d.AddEntLine(0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1));
    ASSERT_TRUE(d.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1));
    EXPECT_EQ(d.EntLineN, 1002);
    ASSERT_TRUE(d.AddEntPre());
    EXPECT_EQ(d.EntLine.size(), 2002u);
    EXPECT_EQ(d.EntEnko.size(), 1000u);
    EXPECT_EQ(def.mLine.size(), 1002u);
    EXPECT_EQ(def.mNo.size(), 1002u);
    EXPECT_EQ(d.EntLineN, 1002);
}

TEST(EntityBuilder, FigurePostStoresExtents) {
    TJwsData f;
    f.DataDefaultSet();
    f.Enthd.Mx1 = -1;
    ASSERT_TRUE(f.AddEntPost());  // nothing added: extents stay
    EXPECT_EQ(f.Enthd.Mx1, -1.0);

    f.Enthd.BasePoint_x = 100;
    f.Enthd.BasePoint_y = 50;
    ASSERT_TRUE(f.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"A"));
    ASSERT_TRUE(f.AddBlkLine(0, 0, 0, 0, 1, 1, 0, 0, 0, -30, 10, 10));
    ASSERT_TRUE(f.AddEntLine(0, 0, 0, 1, 1, 0, 0, 0, 0, 10, 10));
    // The insert's content reaches down to y = -30 + 200: the block tree is
    // rebuilt before the extents are taken.
    ASSERT_TRUE(f.AddEntBlock(0, 0, 0, 1, 1, 0, 0, 0, 0, -200, 1, 1, 0));
    ASSERT_TRUE(f.AddEntPost());
    EXPECT_EQ(f.Enthd.Mx1, 0.0);
    EXPECT_EQ(f.Enthd.My1, -230.0);
    EXPECT_EQ(f.Enthd.Mx2, 100.0);
    EXPECT_EQ(f.Enthd.My2, 50.0);
    EXPECT_EQ(f.Enthd.My1, f.myMinWy);
}

// ---- Documents built entity by entity ----

// Adds one entity of every kind and form, to the top level (bdn -1) or to
// definition bdn, through AddEnt<kind> or its twin AddBlk<kind>.
#define ADD(kind, ...) \
    EXPECT_TRUE(bdn < 0 ? d.AddEnt##kind(__VA_ARGS__) : d.AddBlk##kind(bdn, __VA_ARGS__)) << #kind
void AddEveryKind(TJwDocument& d, int bdn) {
    ADD(Line, 1, 1, 2, 2, 31, 25, 1, 0, 0, 100, 0);
    ADD(Arc, 0, 0, 1, 3, 2, 0, 2, 50, 50, 20, 0.5, 10, 120, 30);
    ADD(Arc, 0, 0, 1, 3, 2, 0, 8, 50, 50, 5, 1, 0, 0, 0);
    ADD(Ten, 0, 0, 0, 1, 0, 0, 0, 1, 2, 0, 1);
    ADD(Ten, 0, 0, 0, 4, 5, 0, 0, 3, 4, 30, 2);
    ADD(Ten, 0, 0, 0, 4, 5, 0, 8, 3, 4, 0, 1);
    ADD(Moji, 0, 0, 1, 2, 7, 0, 0, 3, 0, 0, 10, 0, 0, 0, 0, 0, u"ＭＳ 明朝", u"会議室 ①");
    ADD(Moji, 0, 0, 1, 2, 5, 0, 4, 0, 20, 20, 3, 4, 0.5, 30, kFont, u"縦 text");
    // The five dimension forms; form 2 with a blank text.
    ADD(Sunpo, 0, 0, 2, 3, 1, 0, 0, 0, -10, 100, -10, 3, 2, 0, 0, 2, 45, -9, 55, -9, 0, 0, 0, 0, kFont, u"100");
    ADD(Sunpo, 0, 0, 2, 3, 1, 0, 0, 0, -20, 50, -20, 3, 2, 0, 0, 0, 25, -19, 2.5, 2.5, 0, 0, kFont, u" ");
    ADD(Sunpo, 0, 0, 2, 3, 1, 0, 0, 0, -30, 50, -30, 3, 2, 0, 0, 2, 20, -29, 30, -29, 0, 0, 0, 0, kFont, u"50",
        1, 3, 1, 0, 0, 0, 0, 0, -31, 1, 3, 1, 0, 0, 50, 0, 50, -31, 1, 3, 3, 0, 0, 1, 2, 3, 3, 0, 0, 1,
        1, 3, -2, 0, 0, 0, 0, 1, 1, 3, 0, 0, 8, 50, 0, 1);
    ADD(Sunpo, 0, 0, 2, 3, 1, 0, 0, 0, -40, 50, -40, 3, 2, 0, 0, 2, 25, -39, 0, 0, 0, 0, kFont, u"５０",
        1, 3, 1, 0, 0, 0, 0, 0, -41, 0, 3, 1, 0, 0, 50, 0, 50, -41, 1, 3, 0, 0, 0, 1, 1, 3, 0, 0, 0, 1,
        0, 3, 0, 0, 0, 0, 0, 1, 0, 3, 0, 0, 0, 0, 0, 1);
    ADD(Sunpo, 0, 0, 2, 3, 1, 0, 0, 0, -50, 50, -50, 3, 2, 0, 0, 2, 25, -49, 0, 0, 0, 0, kFont, u"50", 1, 2,
        1, 3, 1, 0, 0, 1, 3, 1, 0, 0, 1, 3, 0, 0, 0, 1, 1, 3, 0, 0, 0, 1,
        1, 3, 0, 0, 0, 0, 0, 1, 1, 3, 0, 0, 0, 50, 0, 1);
    // The solid forms.
    ADD(Solid, 0, 0, 0, 10, 1, 0, 0, 0x336699, 0, 0, 10, 0, 10, 10, 0, 10);
    ADD(Solid, 0, 0, 0, 5, 1, 0, 0, 0, 0, 0, 10, 10);
    ADD(Solid, 0, 0, 0, 6, 1, 0, 0, 0, 0, 0, 10, 0, 5, 8);
    ADD(SolidA, 0, 0, 0, 10, 0, 0, 0xFF0000, 0, 0, 5, 1, 0);
    ADD(SolidA, 0, 0, 0, 2, 0, 0, 0, 0, 0, 5, 1, 0, 30, 60);
    ADD(SolidC, 0, 0, 0, 2, 3, 0, 0, 0, 0, 0, 5, 1, 0, 30, 60);
    ADD(SolidD, 0, 0, 0, 2, 2, 0, 0, 0, 0, 0, 5, 2, 1, 0, 30, 60);
}
#undef ADD

// Every kind of every form, two definitions (B places A), inserts of
// both at the top level.
void BuildEverything(TJwDocument& d) {
    ASSERT_TRUE(d.AddEntPre());
    AddEveryKind(d, -1);
    ASSERT_TRUE(d.AddBlkDef(0, 0, 0, 1, 1, 0, 0, 1, u"部品"));
    ASSERT_TRUE(d.AddBlkDef(0, 1, 1, 2, 1, 0, 4, 2, u"Door"));
    AddEveryKind(d, 0);
    ASSERT_TRUE(d.AddBlkBlock(1, 0, 0, 0, 1, 1, 0, 0, 0, 100, 0, 2, 2, 90));
    ASSERT_TRUE(d.AddBlkLine(1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 5, 5));
    d.AddBlkDefPost(0);
    d.AddBlkDefPost(1);
    ASSERT_TRUE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 0, 1, 500, 500, 1, 1, 0));
    ASSERT_TRUE(d.AddEntBlock(0, 0, 0, 1, 1, 0, 16, 0, 0, 500, -1, 1, 45));
    ASSERT_TRUE(d.AddEntPost());
}

// What the file keeps of a point: the symbol fields only with pen style 100,
// which the reader otherwise fills with 0 (scale 1 for top-level points);
// pen styles other than 1 and 100 are stored as 1.
void AsStored(TEntJwwTen& p, double defaultScale) {
    if (p.att.nPenStyle != 1 && p.att.nPenStyle != 100) p.att.nPenStyle = 1;
    if (p.att.nPenStyle == 100) return;
    p.nCode = 0;
    p.radKaitenKaku = 0;
    p.dBairitsu = defaultScale;
}

void AsStored(TEntityLists L, bool topLevel) {
    for (int32_t i = 0; i < L.TenN; ++i) AsStored(L.Ten[static_cast<size_t>(i)], topLevel ? 1.0 : 0.0);
    for (int32_t i = 0; i < L.SunpoN; ++i) {
        TEntJwwSunpo& s = L.Sunpo[static_cast<size_t>(i)];
        for (TEntJwwTen* p : {&s.Te1, &s.Te2, &s.Kt1, &s.Kt2}) AsStored(*p, 0.0);
    }
}

void AsStored(TJwDocument& d) {
    AsStored(d.TopLists(), true);
    for (auto& def : d.EntBlockDef) AsStored(ListsOf(def), false);
}

TEST(EntityBuilderDocument, CountsAndOrder) {
    TJwwData d = NewDrawing();
    BuildEverything(d);
    EXPECT_EQ((std::vector<int32_t>{d.EntLineN, d.EntEnkoN, d.EntTenN, d.EntMojiN, d.EntSunpoN, d.EntSolidN,
                                    d.EntBlockN, d.Enthd.n1, d.Enthd.n2, d.EntBlockDef[0].N, d.EntBlockDef[1].N}),
              (std::vector<int32_t>{1, 2, 3, 2, 5, 7, 2, 22, 2, 20, 2}));
    EXPECT_EQ(d.EntNo.size(), 22u);  // trimmed by AddEntPost
    EXPECT_EQ(d.EntNo[3], (TEntJwwNo{kEntTen, 0}));
    EXPECT_EQ(d.EntNo[21], (TEntJwwNo{kEntBlock, 1}));
    EXPECT_EQ(d.EntBlockTreeN, 3);  // two top-level nodes, the first holds a third
    EXPECT_EQ(d.EntBlockNum, 2);
}

class BuiltDrawingRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(BuiltDrawingRoundTrip, ReadsBackUnchanged) {
    const int ver = GetParam();
    TempDir dir;
    TJwwData d = NewDrawing();
    BuildEverything(d);
    TJwwData back = RoundTrip(d, ver, dir);
    AsStored(d);
    if (ver == 600) {
        ExpectSameDrawing(d, back);
    } else {
        EXPECT_EQ(back.Enthd.jwVer, ver);
        ExpectSameEntities(d, back);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, BuiltDrawingRoundTrip, ::testing::Values(420, 600, 700),
                         ::testing::PrintToStringParamName());

TEST(EntityBuilderDocument, BuiltFigureReadsBackUnchanged) {
    TempDir dir;
    TJwsData f;
    f.DataDefaultSet();
    f.Enthd.BasePoint_x = -5;
    BuildEverything(f);
    EXPECT_EQ(f.Enthd.Mx1, f.myMinWx);
    EXPECT_LE(f.Enthd.Mx1, -5.0);
    TJwsData back = RoundTrip(f, 600, dir);
    AsStored(f);
    ExpectSameFigure(f, back);
}

}  // namespace
}  // namespace talvine::test
