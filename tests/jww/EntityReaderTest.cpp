// The entity reader on hand-assembled entity sections: record sizes by
// version and by content, class tags, block definitions, dropped partial
// entities and array growth.
#include <cmath>

#include "jww/JwwFormat.h"
#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

struct Drawing {
    TempDir dir;
    TJwwData doc;
    bool ok = false;
};

// Reads header + section as a drawing file.
std::unique_ptr<Drawing> Read(int ver, const ByteBuilder& section) {
    auto r = std::make_unique<Drawing>();
    ByteBuilder file;
    file.raw(HeaderBytes(ver)).raw(section.bytes());
    WriteAll(r->dir.File("d.jww"), file.bytes());
    r->ok = r->doc.FileIn(r->dir.File("d.jww"));
    return r;
}

ByteBuilder& Line(ByteBuilder& b, int ver, double x) {
    return b.attr(ver, Attr(1, 2)).f64(x).f64(1).f64(2).f64(3);
}

TEST(EntityReader, EmptySectionsRead) {
    ByteBuilder s;
    s.u16(0).u16(0);
    auto r = Read(600, s);
    EXPECT_TRUE(r->ok) << r->doc.LastError;
    EXPECT_EQ(r->doc.Enthd.n1, 0);
    EXPECT_EQ(r->doc.EntBlockDefN, 0);
    EXPECT_EQ(r->doc.EntBlockTreeN, 0);
}

TEST(EntityReader, PublishesTheDrawingInformation) {
    TempDir dir;
    TJwwData d = TablesOnly(600);
    d.Enthd.strMemo = u"A\r\nB";
    d.Enthd.lnDrawTime = 3900;
    d.Enthd.dPrtBairitsu = 2.5;
    ASSERT_TRUE(d.FileOut(dir.File("info.jww"), 600));
    ASSERT_TRUE(TJwwData().FileIn(dir.File("info.jww")));
    const TDrawingInfo& info = CurrentDrawingInfo();
    EXPECT_EQ(info.memoLine1, u"A");
    EXPECT_EQ(info.memoLine2, u"B");
    EXPECT_EQ(info.memoOneLine, u"A\u3000B");
    EXPECT_EQ(info.drawTime, u"1 : 05");
    EXPECT_DOUBLE_EQ(info.printScale, 2.5);
    EXPECT_EQ(info.fileName, dir.File("info.jww"));
}

// The same line in a version-350 file (13-byte attribute) and a version-351
// file (15-byte attribute with a pen width).
TEST(EntityReader, OldAttributeBlocksHaveNoPenWidth) {
    for (int ver : {350, 351}) {
        SCOPED_TRACE(ver);
        ByteBuilder s;
        s.u16(1).newClass("CDataSen").attr(ver, Attr(2, 3, 4, 5, 77)).f64(1).f64(2).f64(3).f64(4).u16(0);
        EXPECT_EQ(s.size(), 2 + 14 + (ver == 350 ? 45u : 47u) + 2);
        auto r = Read(ver, s);
        ASSERT_TRUE(r->ok) << r->doc.LastError;
        ASSERT_EQ(r->doc.EntLineN, 1);
        const TEntJwwLine& l = r->doc.EntLine[0];
        EXPECT_EQ(l.att.nPenWidth, ver == 350 ? 0 : 77);
        EXPECT_EQ(l.att.nLayer, 4);
        EXPECT_EQ(l.att.nGLayer, 5);
        EXPECT_DOUBLE_EQ(l.end_y, 4);
    }
}

TEST(EntityReader, PointsAndSolidsCarryTheirOptionalTails) {
    const int v = 600;
    ByteBuilder s;
    s.u16(4);
    s.newClass("CDataTen").attr(v, Attr(100, 1)).f64(1).f64(2).u32(1).u32(7).f64(0.5).f64(3);  // 55 bytes
    s.classRef(1).attr(v, Attr(1, 1)).f64(4).f64(5).u32(0);                                   // 35 bytes
    s.newClass("CDataSolid").attr(v, Attr(1, 10)).f64(0).f64(0).f64(1).f64(0).f64(1).f64(1).f64(0).f64(1).u32(
        0x123456);
    s.classRef(4).attr(v, Attr(1, 9)).f64(0).f64(0).f64(1).f64(0).f64(1).f64(1).f64(0).f64(1);
    s.u16(0);
    auto r = Read(v, s);
    ASSERT_TRUE(r->ok) << r->doc.LastError;
    ASSERT_EQ(r->doc.EntTenN, 2);
    EXPECT_EQ(r->doc.EntTen[0].nCode, 7u);
    EXPECT_DOUBLE_EQ(r->doc.EntTen[0].dBairitsu, 3);
    EXPECT_EQ(r->doc.EntTen[0].bKariten, 1u);
    EXPECT_DOUBLE_EQ(r->doc.EntTen[1].start_x, 4);
    EXPECT_DOUBLE_EQ(r->doc.EntTen[1].dBairitsu, 1.0);  // no symbol: scale 1 at top level
    ASSERT_EQ(r->doc.EntSolidN, 2);
    EXPECT_EQ(r->doc.EntSolid[0].Color, 0x123456u);
    EXPECT_EQ(r->doc.EntSolid[1].Color, 0u);
    EXPECT_EQ(r->doc.EntNo, (TArray<TEntJwwNo>{{3, 0}, {3, 1}, {6, 0}, {6, 1}}));
}

TEST(EntityReader, DimensionsBeforeAndFrom420) {
    for (int v : {419, 420}) {
        SCOPED_TRACE(v);
        ByteBuilder s;
        const TEntJwwAttr a = Attr(1, 3, 2, 1);
        s.u16(1).newClass("CDataSunpou").attr(v, a);
        Line(s, v, 10);
        s.attr(v, a).f64(1).f64(2).f64(3).f64(4).u32(1).f64(2.5).f64(2.5).f64(0).f64(0).str("MS").str("100");
        if (v >= 420) {
            s.u16(1);
            Line(s, v, 20);
            Line(s, v, 30);
            for (int i = 0; i < 4; ++i) s.attr(v, Attr(1, 1)).f64(i).f64(i).u32(i == 3 ? 1 : 0);
        }
        s.u16(0);
        auto r = Read(v, s);
        ASSERT_TRUE(r->ok) << r->doc.LastError;
        ASSERT_EQ(r->doc.EntSunpoN, 1);
        const TEntJwwSunpo& d = r->doc.EntSunpo[0];
        EXPECT_EQ(d.Moji.str, u"100");
        EXPECT_DOUBLE_EQ(d.Sen.start_x, 10);
        if (v == 419) {
            EXPECT_EQ(d.bSxfMode, 0);
            EXPECT_EQ(d.Ho1.att, a);
            EXPECT_DOUBLE_EQ(d.Ho1.start_x, 0);
            EXPECT_EQ(d.Kt2.att.nPenStyle, 0);
            EXPECT_EQ(d.Kt2.att.nLayer, 2);
        } else {
            EXPECT_EQ(d.bSxfMode, 1);
            EXPECT_DOUBLE_EQ(d.Ho2.start_x, 30);
            EXPECT_DOUBLE_EQ(d.Kt2.start_x, 3);
            EXPECT_EQ(d.Kt2.bKariten, 1u);
            EXPECT_DOUBLE_EQ(d.Kt2.dBairitsu, 0.0);  // sub-points without symbol: scale 0
        }
    }
}

TEST(EntityReader, ClassReferencesByRunningIndex) {
    const int v = 600;
    ByteBuilder s;
    s.u16(3);
    s.newClass("CDataSen");  // class index 1, object 2
    Line(s, v, 1);
    s.newClass("CDataEnko").attr(v, Attr()).f64(0).f64(0).f64(1).f64(0).f64(1).f64(0).f64(1).u32(0);  // 3, 4
    s.classRef(9);   // no class has index 9: nothing read, not counted
    s.u16(0x0005);   // an object reference: nothing read, not counted
    s.u16(0x7FFF).u32(0x80000001);  // long form of class 1
    Line(s, v, 3);
    s.u16(0);
    auto r = Read(v, s);
    ASSERT_TRUE(r->ok) << r->doc.LastError;
    EXPECT_EQ(r->doc.EntLineN, 2);
    EXPECT_EQ(r->doc.EntEnkoN, 1);
    EXPECT_DOUBLE_EQ(r->doc.EntLine[1].start_x, 3);
}

TEST(EntityReader, BlockDefinitionsWithLongTimeStamps) {
    const int v = 600;
    ByteBuilder s;
    s.u16(1).newClass("CDataBlock").attr(v, Attr()).f64(5).f64(6).f64(1).f64(1).f64(0).u32(3);
    s.u16(2);
    s.newClass("CDataList").attr(v, Attr()).u32(3).u32(1).u32(0xFFFFFFFF).u32(1).u32(2).str("Door").u16(1);
    s.classRef(1);  // class 1 is "CDataBlock"
    s.attr(v, Attr()).f64(0).f64(0).f64(1).f64(1).f64(0).u32(99);
    s.classRef(3).attr(v, Attr()).u32(4).u32(0).u32(12345).str("Win").u16(2);
    s.newClass("CDataSen");
    Line(s, v, 7);
    s.newClass("CDataMoji").attr(v, Attr()).f64(0).f64(0).f64(1).f64(0).u32(0).f64(2).f64(2).f64(0).f64(0).str(
        "F").str("t");
    auto r = Read(v, s);
    ASSERT_TRUE(r->ok) << r->doc.LastError;
    ASSERT_EQ(r->doc.EntBlockDefN, 2);
    const TEntJwwBlockDef& door = r->doc.EntBlockDef[0];
    EXPECT_EQ(door.strName, u"Door");
    EXPECT_EQ(door.dtime, 1u);  // replaced by its position
    EXPECT_EQ(door.nNumber, 3u);
    ASSERT_EQ(door.mBlockN, 1);
    EXPECT_EQ(door.mBlock[0].nNumber, 99u);
    const TEntJwwBlockDef& win = r->doc.EntBlockDef[1];
    EXPECT_EQ(win.dtime, 12345u);
    EXPECT_EQ(win.mLineN, 1);
    EXPECT_EQ(win.mMojiN, 1);
    EXPECT_EQ(win.mNo, (TArray<TEntJwwNo>{{1, 0}, {4, 0}}));
    // The tree is built: the insert places "Door", which places nothing known.
    ASSERT_EQ(r->doc.EntBlockTreeN, 2);
    EXPECT_EQ(r->doc.EntBlockTree[0].name, u"Door");
    EXPECT_EQ(r->doc.EntBlockTree[1].defno, -1);
    EXPECT_TRUE(door.ref_flag);
    EXPECT_FALSE(win.ref_flag);
}

TEST(EntityReader, TruncatedEntityIsDroppedAndTheReadFails) {
    const int v = 600;
    ByteBuilder s;
    s.u16(3).newClass("CDataSen");
    Line(s, v, 1);
    s.classRef(1);
    Line(s, v, 2);
    s.classRef(1).attr(v, Attr()).f64(9);  // ends inside the third line
    auto r = Read(v, s);
    EXPECT_FALSE(r->ok);
    EXPECT_EQ(r->doc.LastError, "File I/O Error");
    EXPECT_EQ(r->doc.Enthd.n1, 3);
    EXPECT_EQ(r->doc.EntLineN, 2);
    EXPECT_EQ(r->doc.EntLine.size(), 2u);  // trimmed after the failure too
    EXPECT_EQ(r->doc.EntNo[2], (TEntJwwNo{0, 0}));
}

TEST(EntityReader, UnknownClassNameFailsTheRead) {
    ByteBuilder s;
    s.u16(1).newClass("CDataSenX");
    Line(s, 600, 1);
    s.u16(0);
    auto r = Read(600, s);
    EXPECT_FALSE(r->ok);
    EXPECT_EQ(r->doc.EntLineN, 0);
}

TEST(EntityReader, ArraysGrowInStepsAndAreTrimmed) {
    TempDir dir;
    TJwwData d = SampleDrawing(600);
    for (int i = 0; i < 1001; ++i) Add(d.TopLists(), TEntJwwLine{Attr(), double(i), 0, 0, 0});
    SyncCounts(d);
    TJwwData back = RoundTrip(d, 600, dir);
    EXPECT_EQ(back.EntLineN, 1002);
    EXPECT_EQ(back.EntLine.size(), 1002u);
    EXPECT_DOUBLE_EQ(back.EntLine[1001].start_x, 1000);
}

TEST(EntityReader, Version600HasNoImageSection) {
    ByteBuilder s;
    s.u16(0).u16(0).i32(5);  // would be an image count in version 700
    auto r = Read(600, s);
    EXPECT_TRUE(r->ok);
    EXPECT_EQ(r->doc.BindImageN, 0);
}

}  // namespace
}  // namespace talvine::test
