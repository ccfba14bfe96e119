// The preview reader (a read bounded by a budget of class tags) and the
// entity counts by layer, pen colour and type.
#include <array>

#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

// SampleDrawing(ver) written to dir, with one bound image from version 700.
std::string WriteSample(const TempDir& dir, int ver) {
    TJwwData d = SampleDrawing(ver);
    if (ver >= 700) {
        d.BindImageFolder = dir.path();
        d.BindImageExr = true;
        WriteAll(dir.File("plan.jpg"), Bytes(300, 0x5A));
        d.BindImage.push_back(TBindImageType{u"plan.jpg", 0, false});
        d.BindImageN = 1;
        Add(d.TopLists(), Text(0, 0, u"^@BM%temp%plan.jpg,100,80"));
        SyncCounts(d);
    }
    const std::string path = dir.File("sample.jww");
    EXPECT_TRUE(d.FileOut(path, ver));
    return path;
}

int32_t EntityCount(const TJwDocument& d) {
    return d.EntLineN + d.EntEnkoN + d.EntTenN + d.EntMojiN + d.EntSunpoN + d.EntSolidN + d.EntBlockN;
}

TEST(Preview, NoBudgetReadsTheHeaderOnly) {
    TempDir dir;
    const std::string path = WriteSample(dir, 600);
    TJwwData full;
    ASSERT_TRUE(full.FileIn(path));
    for (const int budget : {0, -5}) {
        TJwwData d;
        EXPECT_TRUE(d.FilePrevIn(path, budget)) << d.LastError;
        EXPECT_EQ(d.Enthd.strMemo, full.Enthd.strMemo);
        EXPECT_EQ(EntityCount(d), 0);
        EXPECT_EQ(d.Enthd.n1, full.Enthd.n1);  // the file's count
        EXPECT_EQ(d.EntNo, TArray<TEntJwwNo>(static_cast<size_t>(full.Enthd.n1)));
        // The entity list was cut, so the definition count was never reached.
        EXPECT_TRUE(d.EntBlockDefN == 0 && d.Enthd.n2 == 0 && d.EntBlockTreeN == 0);
    }
}

TEST(Preview, AmpleBudgetReadsWhatFileInReadsButNoImages) {
    TempDir dir;
    const std::string path = WriteSample(dir, 700);
    TJwwData withImages, full;  // full reads the same, without the image list
    withImages.BindImageExr = true;
    ASSERT_TRUE(withImages.FileIn(path));
    ASSERT_EQ(withImages.BindImageN, 1);
    ASSERT_TRUE(full.FileIn(path));
    PublishDrawingInfo(TDrawingInfo{});

    TJwwData d;
    d.BindImageExr = true;
    ASSERT_TRUE(d.FilePrevIn(path, 1'000'000)) << d.LastError;
    ExpectSameEntities(full, d);
    EXPECT_EQ(d.Enthd.n2, full.Enthd.n2);
    EXPECT_TRUE(d.BindImageN == 0 && d.BindImage.empty());
    EXPECT_EQ(CurrentDrawingInfo().fileName, "");  // nothing published
}

TEST(Preview, BudgetEndingInsideADefinitionLeavesTheRestEmpty) {
    TempDir dir;
    const std::string path = WriteSample(dir, 600);
    TJwwData full;
    ASSERT_TRUE(full.FileIn(path));
    ASSERT_EQ(full.EntBlockDefN, 2);
    const TEntJwwBlockDef& door = full.EntBlockDef[0];
    ASSERT_EQ(door.N, 5);

    TJwwData d;
    ASSERT_TRUE(d.FilePrevIn(path, full.Enthd.n1 + 2));
    EXPECT_EQ(EntityCount(d), EntityCount(full));
    ASSERT_TRUE(d.EntBlockDefN == 2 && d.Enthd.n2 == 2);
    const TEntJwwBlockDef& cut = d.EntBlockDef[0];
    EXPECT_TRUE(cut.strName == door.strName && cut.N == 5);
    EXPECT_EQ(cut.mNo, (TArray<TEntJwwNo>{door.mNo[0], door.mNo[1], {}, {}, {}}));
    EXPECT_EQ(cut.mLineN + cut.mTenN + cut.mMojiN + cut.mSunpoN + cut.mBlockN, 2);
    const TEntJwwBlockDef& after = d.EntBlockDef[1];
    EXPECT_TRUE(after.strName.empty() && after.N == 0 && after.mNo.empty());
    // The tree holds the top-level inserts; the cut definition places nothing.
    EXPECT_EQ(d.EntBlockTreeN, d.EntBlockN);
}

TEST(Preview, TagsThatSelectNoClassUseBudget) {
    ByteBuilder s;
    s.u16(2);
    s.newClass("CDataSen").attr(600, Attr()).f64(0).f64(0).f64(1).f64(1);
    s.classRef(40);  // no class has index 40: nothing is read, not an entity
    s.classRef(1).attr(600, Attr()).f64(2).f64(2).f64(3).f64(3);
    s.u16(0);
    TempDir dir;
    ByteBuilder file;
    file.raw(HeaderBytes(600)).raw(s.bytes());
    WriteAll(dir.File("tags.jww"), file.bytes());

    // Budget 2 ends the list after the tag that selected nothing.
    for (const auto& [budget, lines] : {std::pair{1, 1}, std::pair{2, 1}, std::pair{3, 2}}) {
        TJwwData d;
        ASSERT_TRUE(d.FilePrevIn(dir.File("tags.jww"), budget)) << budget;
        EXPECT_EQ(d.EntLineN, lines) << budget;
        EXPECT_EQ(d.Enthd.n1, 2) << budget;
    }
    TJwwData d;
    ASSERT_TRUE(d.FileIn(dir.File("tags.jww")));
    EXPECT_EQ(d.EntLineN, 2);
}

TEST(Preview, Figure) {
    TempDir dir;
    TJwsData f = SampleFigure(600);
    ASSERT_TRUE(f.FileOut(dir.File("f.jws"), 600));
    TJwsData full, d;
    ASSERT_TRUE(full.FileIn(dir.File("f.jws")));
    ASSERT_TRUE(d.FilePrevIn(dir.File("f.jws"), 1'000'000));
    ExpectSameEntities(full, d);
    EXPECT_EQ(d.Enthd, full.Enthd);
}

// ---- Element counts -----------------------------------------------------------------

TEST(ElementCounts, EverythingOfTheSampleDrawing) {
    TJwwData d = SampleDrawing(600);
    TJwDocument::TElementCounts e;
    // Top level: one line, two arcs, a point and a temporary point, two
    // texts, two SXF dimensions, two solids, two inserts. Placed: the door
    // once (line, point, text, SXF dimension), the window twice, once
    // directly and once inside the door (arc, solid).
    e.n1 = 1, e.n2 = 2, e.n3 = 1, e.n4 = 1, e.n5 = 2, e.n6 = 2, e.n7 = 2, e.n8 = 2;
    e.n1a = 1, e.n2a = 2, e.n3a = 1, e.n4a = 0, e.n5a = 1, e.n6a = 1, e.n7a = 2;
    e.ns1 = e.ns2 = e.ns3 = e.ns4 = e.ns5 = e.ns6 = e.ns7 = e.ns8 = 2;
    e.ns1a = e.ns2a = e.ns3a = e.ns4a = e.ns5a = e.ns6a = e.ns7a = e.ns8a = 1;
    const TJwDocument::TElementCounts c = d.GetElementNum(-1, -1);
    EXPECT_TRUE(c == e);
    EXPECT_EQ(c.n3 + c.n4, d.EntTenN);
}

// A definition of two lines on group 5 layer 6, placed twice by inserts on
// group 1 layer 2 with the given pen style.
TJwwData TwoPlacements(uint8_t insertStyle) {
    TJwwData d;
    const int def = AddBlockDef(d, u"pair");
    TEntityLists L = ListsOf(d.EntBlockDef[static_cast<size_t>(def)]);
    Add(L, TEntJwwLine{Attr(1, 3, 6, 5), 0, 0, 1, 0});
    Add(L, TEntJwwLine{Attr(1, 4, 6, 5), 0, 1, 1, 1});
    for (double x : {0.0, 10.0}) {
        TEntJwwBlock ins = Insert(static_cast<uint32_t>(def), x, 0);
        ins.att = Attr(insertStyle, 1, 2, 1);
        Add(d.TopLists(), ins);
    }
    SyncCounts(d);
    return d;
}

TEST(ElementCounts, MembersLieOnTheNodesLayersUnlessTheyKeepTheirOwn) {
    struct LayerCase {
        uint8_t style;
        int lay1, lay2;
        int32_t inserts, memberLines;
    };
    const LayerCase cases[] = {
        {1, -1, -1, 2, 4},  {1, 1, 2, 2, 4},  {1, 1, -1, 2, 4},    {1, 5, 6, 0, 0},
        {0x41, 1, 2, 2, 0}, {0x41, 5, 6, 0, 4}, {0x41, -1, 6, 0, 4}, {0x41, 5, 2, 0, 0},
    };
    for (const LayerCase& c : cases) {
        const TJwwData d = TwoPlacements(c.style);
        const auto n = d.GetElementNum(c.lay1, c.lay2);
        EXPECT_EQ(n.n8, c.inserts) << int(c.style) << " " << c.lay1 << " " << c.lay2;
        EXPECT_EQ(n.n1a, c.memberLines) << int(c.style) << " " << c.lay1 << " " << c.lay2;
    }
}

TEST(ElementCounts, ByColourMembersByTheirOwn) {
    const TJwwData d = TwoPlacements(1);
    EXPECT_EQ(d.GetElementCNum(3).n1a, 2);
    EXPECT_TRUE(d.GetElementCNum(1).n8 == 2 && d.GetElementCNum(1).n1a == 0);
    // The sample's dimensions are colour 3 with every part, at top level
    // and in the door; its plain solid is colour 3 too.
    const auto c3 = SampleDrawing(600).GetElementCNum(3);
    EXPECT_TRUE(c3.n6 == 2 && c3.n7 == 1 && c3.ns1 == 2 && c3.ns8 == 2 && c3.ns1a == 1);
}

TEST(ElementCounts, ByType) {
    TJwwData d;
    TEntityLists top = d.TopLists();
    Add(top, TEntJwwLine{Attr(2), 0, 0, 1, 1});
    TEntJwwMoji t = Text(0, 0, u"x");
    t.nMojiShu = 10005;
    Add(top, t);
    TEntJwwTen p;
    p.att = Attr(100);
    p.nCode = static_cast<uint32_t>(-3);
    Add(top, p);
    p.nCode = 17;
    p.bKariten = 1;
    Add(top, p);
    TEntJwwSunpo dim = Dimension(0, 0, 1, 0, u"1", true);  // pen style 1
    dim.Moji.nMojiShu = 105;
    dim.Sen.att.nPenStyle = 2;
    dim.Te1.nCode = 5;
    Add(top, dim);
    SyncCounts(d);

    // Lines, points, temporary points, texts, dimensions, and of the
    // dimension its text, line and first end point.
    const std::pair<int, std::array<int32_t, 8>> cases[] = {
        {2, {1, 0, 0, 0, 0, 0, 1, 0}},   // pen style 2: the line and the dimension line
        {5, {0, 0, 0, 1, 0, 1, 0, 1}},   // text type 5 (10005, 105) and point code 5
        {17, {0, 1, 1, 0, 0, 0, 0, 0}},  // code -3 (+20) and code 17
        {-3, {0, 0, 0, 0, 0, 0, 0, 0}},
        {1, {0, 0, 0, 0, 1, 0, 0, 0}},
    };
    for (const auto& [ty1, counts] : cases) {
        const auto n = d.GetElementTNum(ty1);
        EXPECT_EQ((std::array{n.n1, n.n3, n.n4, n.n5, n.n6, n.ns1, n.ns2, n.ns5}), counts) << ty1;
    }
}

}  // namespace
}  // namespace talvine::test
