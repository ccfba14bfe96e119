// The figure document: its header, version rules and differences from the
// drawing.
#include <filesystem>
#include <string>

#include "jww/JwwFormat.h"
#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

struct FigureCheckCase {
    const char* name;
    std::string magic;
    int version;
    bool expected;
};

class JwsFileCheck : public ::testing::TestWithParam<FigureCheckCase> {};

TEST_P(JwsFileCheck, AcceptsVersions230To700) {
    const FigureCheckCase& c = GetParam();
    TempDir dir;
    ByteBuilder b;
    b.raw(c.magic).fill('#', 200 - c.magic.size()).i32(c.version);
    WriteAll(dir.File("f.jws"), b.bytes());
    EXPECT_EQ(TJwsData::FileCheck(dir.File("f.jws")), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, JwsFileCheck,
                         ::testing::Values(FigureCheckCase{"V229", "JwsData", 229, false},
                                           FigureCheckCase{"V230", "JwsData", 230, true},
                                           FigureCheckCase{"V700", "JwsData", 700, true},
                                           FigureCheckCase{"V701", "JwsData", 701, false},
                                           FigureCheckCase{"DrawingMagic", "JwwData.", 600, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JwsFileCheck, DrawingCheckRejectsAFigure) {
    TempDir dir;
    TJwsData f = SampleFigure(600);
    ASSERT_TRUE(f.FileOut(dir.File("f.jws"), 600));
    EXPECT_TRUE(TJwsData::FileCheck(dir.File("f.jws")));
    EXPECT_FALSE(TJwwData::FileCheck(dir.File("f.jws")));
    EXPECT_FALSE(TJwwData().FileIn(dir.File("f.jws")));
}

struct VersionCase {
    int asked;
    int written;
};

class JwsOutputVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(JwsOutputVersion, IsAdjusted) {
    TempDir dir;
    TJwsData f = SampleFigure(700);
    ASSERT_TRUE(f.FileOut(dir.File("v.jws"), GetParam().asked));
    const Bytes b = ReadAll(dir.File("v.jws"));
    ByteBuilder v;
    v.i32(GetParam().written);
    EXPECT_EQ(Bytes(b.begin() + 200, b.begin() + 204), v.bytes());
    EXPECT_EQ(Bytes(b.begin() + 7, b.begin() + 200), Bytes(193, '.'));
    EXPECT_EQ(f.Enthd.jwVer, 700);  // the document keeps its version
}

INSTANTIATE_TEST_SUITE_P(Cases, JwsOutputVersion,
                         ::testing::Values(VersionCase{230, 230}, VersionCase{100, 230}, VersionCase{300, 351},
                                           VersionCase{301, 301}, VersionCase{800, 800}),
                         [](const auto& info) { return "Asked" + std::to_string(info.param.asked); });

TEST(JwsHeader, StoredValuesComeBackAndOtherGroupFieldsAreReset) {
    TempDir dir;
    TJwsData f = SampleFigure(700);
    ASSERT_TRUE(f.FileOut(dir.File("a.jws"), 700));
    Bytes b = ReadAll(dir.File("a.jws"));
    for (size_t i = 7; i < 200; ++i) b[i] = static_cast<uint8_t>(i);  // other filler bytes
    WriteAll(dir.File("a.jws"), b);
    TJwsData back;
    ASSERT_TRUE(back.FileIn(dir.File("a.jws")));
    EXPECT_DOUBLE_EQ(back.Enthd.BasePoint_x, 12.5);
    EXPECT_DOUBLE_EQ(back.Enthd.BasePoint_y, -3);
    EXPECT_EQ(back.Enthd.dmy04, -4);
    EXPECT_DOUBLE_EQ(back.Enthd.dmy16, 6.5);
    EXPECT_DOUBLE_EQ(back.Enthd.Mx1, -60);
    EXPECT_DOUBLE_EQ(back.Enthd.My2, 200);
    for (int g = 0; g < 16; ++g) {
        EXPECT_EQ(back.EntLgrp[static_cast<size_t>(g)].anGLay, 2);
        EXPECT_DOUBLE_EQ(back.EntLgrp[static_cast<size_t>(g)].adScale, kSampleScales[g]);
    }
    EXPECT_TRUE(back.EntMoj.empty());
    // Written back: the same 452 header bytes, with dots as filler again.
    ASSERT_TRUE(back.FileOut(dir.File("b.jws"), 700));
    const Bytes again = ReadAll(dir.File("b.jws"));
    EXPECT_EQ(std::string(again.begin(), again.begin() + 7), "JwsData");
    EXPECT_EQ(Bytes(again.begin() + 7, again.begin() + 200), Bytes(193, '.'));
    EXPECT_EQ(Bytes(again.begin() + 200, again.begin() + 452), Bytes(b.begin() + 200, b.begin() + 452));
}

TEST(JwsReader, FiguresHaveNoImageSection) {
    TempDir dir, work;
    TJwsData f = SampleFigure(700);
    ASSERT_TRUE(f.FileOut(dir.File("f.jws"), 700));
    Bytes b = ReadAll(dir.File("f.jws"));
    // A drawing of version 700 would end with an image count; a figure ends
    // with its block definitions.
    ByteBuilder extra;
    extra.i32(1).str("x.png").i32(3).raw(std::string("abc"));
    b.insert(b.end(), extra.bytes().begin(), extra.bytes().end());
    WriteAll(dir.File("g.jws"), b);
    TJwsData back;
    back.BindImageFolder = work.path();
    back.BindImageExp = back.BindImageExr = true;
    ASSERT_TRUE(back.FileIn(dir.File("g.jws")));
    EXPECT_EQ(back.BindImageN, 0);
    EXPECT_TRUE(std::filesystem::is_empty(work.path()));
    ExpectSameEntities(f, back);
}

TEST(JwsReader, EmptyFigure) {
    TempDir dir;
    TJwsData f;
    f.Enthd.jwVer = 600;
    ASSERT_TRUE(f.FileOut(dir.File("e.jws"), 600));
    EXPECT_EQ(ReadAll(dir.File("e.jws")).size(), TJwsData::kHeaderSize + 4);
    TJwsData back;
    ASSERT_TRUE(back.FileIn(dir.File("e.jws")));
    EXPECT_EQ(back.Enthd.n1, 0);
    EXPECT_EQ(back.Enthd.n2, 0);
    EXPECT_EQ(back.EntBlockTreeN, 0);
}

TEST(JwsWriter, SxfDimensionsOfANewFigureSplitFor300) {
    TempDir dir;
    TJwsData f = SampleFigure(600);
    TJwsData back = RoundTrip(f, 300, dir);
    EXPECT_EQ(back.Enthd.jwVer, 351);
    EXPECT_EQ(back.Enthd.n1, f.Enthd.n1 + 2 * 6);
    EXPECT_EQ(back.EntSunpo[0].bSxfMode, 0);
    EXPECT_EQ(back.EntLine[0].att.nPenWidth, f.EntLine[0].att.nPenWidth);  // 15-byte attributes at 351
}

TEST(JwsReader, HeaderErrors) {
    TempDir dir;
    TJwsData f = SampleFigure(600);
    ASSERT_TRUE(f.FileOut(dir.File("f.jws"), 600));
    Bytes b = ReadAll(dir.File("f.jws"));
    b[200] = 0;  // version 0
    b[201] = 0;
    WriteAll(dir.File("f.jws"), b);
    TJwsData back;
    EXPECT_FALSE(back.FileIn(dir.File("f.jws")));
    EXPECT_EQ(back.LastError, "JWS-Version Error");
    b[0] = 'X';
    WriteAll(dir.File("f.jws"), b);
    EXPECT_FALSE(back.FileHeaderIn(dir.File("f.jws")));
    EXPECT_EQ(back.LastError, "JWS-Header Error");
}

}  // namespace
}  // namespace talvine::test
