// Default settings of a new drawing and figure, and the hand-over of the pen
// and line-type tables to the display tables.
#include <cmath>

#include "jww/DisplayTables.h"
#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

// The values themselves are carried by the round trips below; here only the
// rules a table of constants would not show.
TEST(DataDefaultSet, ResetsTheHeaderButKeepsTheCountsAndFillsTheTables) {
    TJwwData d;
    d.Enthd.n1 = 7;
    d.Enthd.n2 = 2;
    d.Enthd.nZumen = 5;  // not among the defaults: becomes 0
    d.Enthd.dDm11 = 9;
    d.DataDefaultSet();
    const TEntJwwHeader& h = d.Enthd;
    EXPECT_TRUE(h.n1 == 7 && h.n2 == 2 && h.nZumen == 0 && h.dDm11 == 0.0);
    EXPECT_TRUE(h.jwID == "JwwData." && h.jwVer == 600);
    EXPECT_TRUE(h.nMaxDrawWid == -300 && h.bSenHaba100 && h.nMaxDrawWidBak == 100);
    EXPECT_EQ((std::vector<size_t>{d.EntLgrp.size(), d.EntLay.size(), d.EntCol.size(), d.EntLtp1.size(),
                                   d.EntLtp2.size(), d.EntLtp3.size(), d.EntMoj.size(), d.EntColS.size(),
                                   d.EntLtpS.size()}),
              (std::vector<size_t>{16, 256, 10, 8, 5, 4, 10, 257, 33}));
    for (size_t i = 0; i < 256; ++i) EXPECT_EQ(d.EntLay[i].aanLay, i % 16 == 0 ? 3 : 2) << i;
    // Extended colours: only entry 0 prints in another colour.
    for (size_t i = 0; i < 257; ++i) EXPECT_EQ(d.EntColS[i].aPrtPenColor == d.EntColS[i].aPenColor, i != 0) << i;
    // Extended line types: the two prefixes differ in case.
    EXPECT_EQ(d.EntLtpS[0].astrUDLTypeName, u"Ltype_0");
    EXPECT_EQ(d.EntLtpS[17].astrUDLTypeName, u"LType_17");
}

TEST(DataDefaultSet, LeavesEntitiesAndImages) {
    TJwwData d = SampleDrawing(700);
    TJwwData before = d;
    d.DataDefaultSet();
    ExpectSameEntities(before, d);
    EXPECT_EQ(d.Enthd.n1, before.Enthd.n1);
    EXPECT_EQ(d.Enthd.n2, before.Enthd.n2);
}

TEST(DataDefaultSet, EveryDefaultReadsBack) {
    TempDir dir;
    TJwwData d;
    d.DataDefaultSet();
    TJwwData back = RoundTrip(d, 600, dir);
    EXPECT_EQ(back.Enthd.jwVer, 600);
    ExpectSameDrawing(d, back);
}

TEST(DataDefaultSet, NewFigure) {
    TJwsData f;
    f.Enthd.n1 = 3;
    f.Enthd.Mx2 = 40;
    f.Enthd.BasePoint_x = 12;
    f.DataDefaultSet();
    const TEntJwsHeader& h = f.Enthd;
    EXPECT_TRUE(h.jwID == "JwsData" && h.jwVer == 600 && h.BasePoint_x == 0.0);
    EXPECT_TRUE(h.n1 == 3 && h.Mx2 == 40.0);  // counts and extents stay
    ASSERT_EQ(f.EntLgrp.size(), 16u);
    for (const auto& g : f.EntLgrp) EXPECT_EQ(g, (TEntJwwLayerGroup{2, 0, 1.0, 0, u""}));
    TJwwData d;
    d.DataDefaultSet();
    EXPECT_EQ(f.EntMoj, d.EntMoj);

    TempDir dir;
    f.Enthd.n1 = 0;
    TJwsData back = RoundTrip(f, 600, dir);
    ExpectSameFigure(f, back);
}

// ---- Display tables ----

class DisplayTablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDisplaySetup();
        d.DataDefaultSet();
    }
    void TearDown() override { ResetDisplaySetup(); }
    TJwwData d;
};

struct WidthCase {
    int maxDrawWid, ver, dpi;
    bool fineSwitch;
    double factor;
};

TEST_F(DisplayTablesTest, PenWidthFactor) {
    const WidthCase cases[] = {
        {-50, 600, 1, false, 0.02},  {-1, 600, 1, false, 1.0},    {-100, 600, 1, false, 0.01},
        {-300, 600, 1, false, 0.01}, {0, 600, 1, false, 0.085},   {0, 600, 2, true, 0.042},
        {5, 420, 1, false, 0.042},   {5, 420, 1, true, 0.085},    {0, 700, 0, true, 0.085},
        {0, 700, -1, false, 0.042},
    };
    for (const WidthCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.maxDrawWid << " " << c.ver << " " << c.dpi << " " << c.fineSwitch);
        d.Enthd.nMaxDrawWid = c.maxDrawWid;
        d.Enthd.jwVer = c.ver;
        d.Enthd.nPrtDpi = c.dpi;
        DisplaySetup().fineWidths = c.fineSwitch;
        d.FileColorSet();
        EXPECT_DOUBLE_EQ(DisplaySetup().pens[8].width, 5 * c.factor);  // pen 8 is 5 units wide
    }
}

TEST_F(DisplayTablesTest, PensInScreenAndPrintMode) {
    d.EntColS[3].anPrtPenWidth = 40;
    d.FileColorSet();
    const auto& pens = DisplaySetup().pens;
    auto expectPen = [&](int i, uint32_t argb, double width, double radius) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pens[static_cast<size_t>(i)].argb, argb);
        EXPECT_DOUBLE_EQ(pens[static_cast<size_t>(i)].width, width);
        EXPECT_DOUBLE_EQ(pens[static_cast<size_t>(i)].pointRadius, radius);
    };
    expectPen(1, 0xFF00C0C0u, 0.01, 0.2);
    EXPECT_EQ(pens[0], TDisplayPen{});  // pens 0 and 9 are not handed over
    EXPECT_EQ(pens[9], TDisplayPen{});
    EXPECT_EQ(pens[100], TDisplayPen{});
    expectPen(102, 0xFFFF0000u, 0.18, 0.18);  // red
    EXPECT_EQ(pens[356].argb, 0xFFC0C0C0u);

    DisplaySetup().printMode = true;
    d.FileColorSet();
    expectPen(1, 0xFF00FFFFu, 0.08, 0.2);
    EXPECT_DOUBLE_EQ(pens[103].width, 0.4);
}

TEST_F(DisplayTablesTest, BackgroundFollowsPenZero) {
    struct Case {
        int32_t color;
        bool before, after;
    };
    const Case cases[] = {{0x141414, false, true}, {0x151414, false, false}, {0xEBEBEB, true, false},
                          {0xEBEBEA, true, true}, {0x808080, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.color);
        DisplaySetup().darkBackground = c.before;
        d.EntCol[0].aPenColor = c.color;
        d.FileColorSet();
        EXPECT_EQ(DisplaySetup().darkBackground, c.after);
    }
    // In print mode the print colour of pen 0 decides.
    DisplaySetup().printMode = true;
    d.EntCol[0].aPrtPenColor = 0;
    d.FileColorSet();
    EXPECT_TRUE(DisplaySetup().darkBackground);
}

TEST_F(DisplayTablesTest, EmptyTablesHandOverNothing) {
    TJwwData empty;
    empty.FileColorSet();
    empty.FileLtypeSet();
    EXPECT_EQ(DisplaySetup().pens, std::vector<TDisplayPen>(kDisplayPenCount));
    EXPECT_EQ(DisplaySetup().lineTypes, std::vector<TDisplayLineType>(kDisplayLineTypeCount));
}

TEST_F(DisplayTablesTest, LineTypes) {
    DisplaySetup().lineTypes[0].dashes = {1, -1};
    d.Enthd.nMaxDrawWid = 0;  // version 600, resolution 1: pitch factor 0.085
    d.EntLtpS[5].anUDLTypeSegment = 12;
    d.EntLtpS[5].aadUDLTypePitch[7] = 0.5;
    d.FileLtypeSet();
    const auto& types = DisplaySetup().lineTypes;
    EXPECT_TRUE(types[0].dashes.empty());
    // 0x99999999 repeats 1001: dash, gap 2, dash, each unit 1 * 0.085.
    ASSERT_EQ(types[1].dashes.size(), 3u);
    EXPECT_DOUBLE_EQ(types[1].dashes[0], 0.085);
    EXPECT_DOUBLE_EQ(types[1].dashes[1], -0.17);
    // Random line 1 (0xCCB2B32A: 11 00 11 ..., pitch 3, width 1).
    EXPECT_DOUBLE_EQ(types[9].width, 0.085);
    EXPECT_DOUBLE_EQ(types[9].dashes[0], 2 * 3 * 0.085);
    EXPECT_DOUBLE_EQ(types[9].dashes[1], -2 * 3 * 0.085);
    // Further line type 4: 0xFFFE7FFF starts with 15 set bits, pitch 4.
    EXPECT_DOUBLE_EQ(types[17].dashes[0], 15 * 4 * 0.085);
    // Extended types come unscaled, gaps negative, at most ten segments.
    EXPECT_EQ(types[19].dashes, (std::vector<double>{6, -1.5}));
    EXPECT_EQ(types[22].dashes, (std::vector<double>{12, -1.5, 0.25, -1.5, 0.25, -1.5, 0.5, 0, 0, 0}));
    EXPECT_EQ(types[49].dashes, (std::vector<double>{6, -6}));

    // Print mode takes the print pitch; a drawing with negative widths keeps
    // the display's own factor.
    DisplaySetup().printMode = true;
    DisplaySetup().pitchFactor = 0.5;
    d.Enthd.nMaxDrawWid = -300;
    d.FileLtypeSet();
    EXPECT_DOUBLE_EQ(types[1].dashes[0], 10 * 0.5);
    EXPECT_DOUBLE_EQ(types[13].width, 2 * 0.5);
}

}  // namespace
}  // namespace talvine::test
