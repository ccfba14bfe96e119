// Dimension explode: the entities each dimension becomes, their order,
// flags and layers, and the counts afterwards, for drawings and figures.
#include "app/DimensionExplode.h"

#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

TEntJwwSunpo SxfDimension(const std::u16string& text) {
    TEntJwwSunpo d = Dimension(0, 0, 100, 0, text, true);
    d.att.nLayer = 7;
    d.att.nGLayer = 3;
    d.Sen.att = Attr(2, 5, 1, 1);  // sub-records on other layers
    d.Sen.att.sFlg = 0x0001;
    d.Moji.att = Attr(1, 6, 2, 2);
    d.Moji.att.sFlg = 0x0100;
    d.Te1.bKariten = 0;
    return d;
}

struct ExplodeCase {
    const char* name;
    bool sxf;
    std::u16string text;
    bool zeroHo1;
    bool referencePoints;
    std::vector<int> kinds;  // EntType of the new order entries
};

class ExplodeOne : public ::testing::TestWithParam<ExplodeCase> {};

TEST_P(ExplodeOne, GivesTheEntitiesInOrder) {
    const ExplodeCase& c = GetParam();
    TJwwData d;
    Add(d.TopLists(), TEntJwwLine{Attr(), 1, 1, 2, 2});  // an entity before the dimension
    TEntJwwSunpo dim = c.sxf ? SxfDimension(c.text) : Dimension(0, 0, 100, 0, c.text, false);
    dim.att.nLayer = 7;
    dim.att.nGLayer = 3;
    if (c.zeroHo1) dim.Ho1 = TEntJwwLine{dim.att, 5, 5, 5, 5};
    Add(d.TopLists(), dim);
    SyncCounts(d);
    DataTransJWW(d, c.referencePoints);

    std::vector<int> kinds;
    for (size_t i = 2; i < d.EntNo.size(); ++i) kinds.push_back(d.EntNo[i].EntType);
    EXPECT_EQ(kinds, c.kinds);
    EXPECT_EQ(d.Enthd.n1, static_cast<int32_t>(2 + c.kinds.size()));
    EXPECT_EQ(d.EntNo[0], (TEntJwwNo{kEntLine, 0}));
    EXPECT_EQ(d.EntNo[1].EntType, kEntNone);  // the dimension's own entry
    EXPECT_EQ(d.EntSunpoN, 1);                // the record stays
    EXPECT_EQ(d.EntLine.size(), static_cast<size_t>(d.EntLineN));
    EXPECT_EQ(d.EntTen.size(), static_cast<size_t>(d.EntTenN));
    // Every new entity sits on the dimension's layer.
    for (size_t i = 2; i < d.EntNo.size(); ++i) {
        const TEntJwwNo& e = d.EntNo[i];
        const TEntJwwAttr& a = e.EntType == kEntLine   ? d.EntLine[static_cast<size_t>(e.EntNo)].att
                               : e.EntType == kEntMoji ? d.EntMoji[static_cast<size_t>(e.EntNo)].att
                                                       : d.EntTen[static_cast<size_t>(e.EntNo)].att;
        EXPECT_EQ(a.nLayer, 7);
        EXPECT_EQ(a.nGLayer, 3);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExplodeOne,
    ::testing::Values(ExplodeCase{"Plain", false, u"100", false, true, {1, 4}},
                      ExplodeCase{"PlainBlankText", false, u"\u3000", false, true, {1}},
                      ExplodeCase{"PlainEmptyText", false, u"", false, true, {1}},
                      ExplodeCase{"SxfWithReferencePoints", true, u"100", false, true, {1, 4, 1, 1, 3, 3, 3, 3}},
                      ExplodeCase{"SxfWithoutReferencePoints", true, u"100", false, false, {1, 4, 1, 1, 3, 3}},
                      ExplodeCase{"SxfDegenerateExtensionLine", true, u"100", true, false, {1, 4, 1, 3, 3}},
                      ExplodeCase{"SxfBlankText", true, u" \t", false, false, {1, 1, 1, 3, 3}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Explode, FlagsKindsAndTemporaryPoints) {
    TJwwData d;
    Add(d.TopLists(), SxfDimension(u"100"));
    SyncCounts(d);
    DataTransJWW(d, true);
    ASSERT_EQ(d.EntLineN, 3);
    EXPECT_EQ(d.EntLine[0].att.sFlg, 0x2001);         // kept its own bits
    EXPECT_EQ(d.EntLine[0].att.nPenStyle, 2);         // pen from the sub-record
    EXPECT_EQ(d.EntLine[0].att.nPenColor, 5);
    EXPECT_EQ(d.EntLine[1].att.sFlg, 0x2000);
    ASSERT_EQ(d.EntMojiN, 1);
    EXPECT_EQ(d.EntMoji[0].att.sFlg, 0x4110);
    EXPECT_EQ(d.EntMoji[0].str, u"100");
    EXPECT_EQ(d.EntMoji[0].strFontName, u"ＭＳ ゴシック");
    ASSERT_EQ(d.EntTenN, 4);
    EXPECT_EQ(d.EntTen[0].att.sFlg, 0x0040);
    EXPECT_EQ(d.EntTen[0].bKariten, 0u);  // end points keep theirs
    EXPECT_EQ(d.EntTen[2].bKariten, 1u);  // reference points become temporary
    EXPECT_EQ(d.EntTen[3].bKariten, 1u);
    EXPECT_EQ(d.EntTen[3].nCode, 4u);     // the symbol survives
    EXPECT_DOUBLE_EQ(d.EntTen[2].start_y, -5);
}

TEST(Explode, DocumentWithoutDimensionsIsUnchanged) {
    TJwwData d = SampleDrawing(700);
    auto dropDimensions = [](TEntityLists L) {
        for (auto& e : L.No) {
            if (e.EntType == kEntSunpo) e.EntType = kEntNone;
        }
        L.Sunpo.clear();
        L.SunpoN = 0;
    };
    dropDimensions(d.TopLists());
    for (auto& def : d.EntBlockDef) dropDimensions(ListsOf(def));
    TJwwData before = d;
    DataTransJWW(d, true);
    ExpectSameDrawing(before, d);
}

TEST(Explode, BlockDefinitionsPlacedOrNotAndNoDimensionEntryRemains) {
    TJwwData d = SampleDrawing(700);
    const int unused = AddBlockDef(d, u"unused");
    Add(ListsOf(d.EntBlockDef[static_cast<size_t>(unused)]), Dimension(0, 0, 5, 0, u"5", false));
    SyncCounts(d);
    const int32_t memberLines = d.EntBlockDef[static_cast<size_t>(unused)].mLineN;
    DataTransJWW(d, false);
    auto noDimension = [](const TArray<TEntJwwNo>& order, int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
            if (order[static_cast<size_t>(i)].EntType == kEntSunpo) return false;
        }
        return true;
    };
    EXPECT_TRUE(noDimension(d.EntNo, d.Enthd.n1));
    for (const auto& def : d.EntBlockDef) {
        EXPECT_TRUE(noDimension(def.mNo, def.N));
        EXPECT_EQ(def.mNo.size(), static_cast<size_t>(def.N));
    }
    EXPECT_EQ(d.EntBlockDef[static_cast<size_t>(unused)].mLineN, memberLines + 1);
    EXPECT_EQ(d.EntBlockDef[0].mSunpoN, 1);  // records stay
}

// The same entities as a drawing and as a figure explode alike, and the
// written result reads back without a dimension.
TEST(Explode, DrawingAndFigureExplodeAlike) {
    TempDir dir;
    TJwwData jww = SampleDrawing(700);
    TJwsData jws = SampleFigure(700);
    DataTransJWW(jww, true);
    DataTransJWS(jws, true);
    ExpectSameEntities(jww, jws);
    jww.MakeBlockTree();
    TJwwData back = RoundTrip(jww, 700, dir);
    EXPECT_EQ(back.EntSunpoN, 0);
    EXPECT_EQ(back.EntLineN, jww.EntLineN);
    EXPECT_EQ(back.EntTenN, jww.EntTenN);
    EXPECT_EQ(back.EntMojiN, jww.EntMojiN);
    for (const auto& def : back.EntBlockDef) EXPECT_EQ(def.mSunpoN, 0);
}

}  // namespace
}  // namespace talvine::test
