// The drawing header: the quick check, the size of every version's header,
// the values derived on reading and the writer's repair rules.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "jww/JwwFormat.h"
#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

// A drawing with valid tables, no entities and one-character names.
TJwwData EmptyDrawing(int ver) {
    TJwwData e = TablesOnly(ver);
    e.Enthd.strMemo.clear();
    for (auto& l : e.EntLay) l.aStrLayName.clear();
    for (auto& g : e.EntLgrp) g.aStrGLayName.clear();
    for (auto& c : e.EntColS) c.astrUDColorName = u"c";
    for (auto& t : e.EntLtpS) t.astrUDLTypeName = u"t";
    return e;
}

// Header size from the file layout, with empty memo and names and
// one-character extended names.
size_t ExpectedHeaderSize(int v) {
    size_t n = 8 + 4 + 1 + 8 + 16 * 148 + 56 + 20 + 4 + 4 + 24 + 8 + 40 + 256 + 16 + 16 + 4 + 8;
    if (v >= 300) n += 16;
    n += 4 + 48;
    n += v >= 231 ? 8 * 28 + 56 : 4 * 24;
    n += 80 + 8 + 80 + 160 + 128 + 100 + 64 + 40 + 4;
    if (v >= 223) n += 20 + 40;
    if (v >= 225) n += 32;
    if (v >= 230) n += 8;
    if (v >= 420) n += 257 * 8 + 257 * (2 + 16) + 33 * 16 + 33 * (2 + 4 + 80);
    n += 280 + 24 + 8 + 16 + 4 + 48;
    return n;
}

class HeaderSize : public ::testing::TestWithParam<int> {};

TEST_P(HeaderSize, MatchesTheLayoutOfItsVersion) {
    const int ver = GetParam();
    TempDir dir;
    TJwwData d = EmptyDrawing(ver);
    ASSERT_TRUE(d.FileOut(dir.File("h.jww"), ver));
    const Bytes b = ReadAll(dir.File("h.jww"));
    const size_t tail = 2 + 2 + (ver >= 700 ? 4 : 0);  // empty lists, image count
    EXPECT_EQ(b.size(), ExpectedHeaderSize(ver) + tail);
    // The reserved block is written as spaces.
    const size_t reserved = 8 + 4 + 1 + 8 + 16 * 148;
    EXPECT_EQ(Bytes(b.begin() + reserved, b.begin() + reserved + 56), Bytes(56, 0x20));
}

INSTANTIATE_TEST_SUITE_P(Versions, HeaderSize, ::testing::Values(220, 223, 225, 230, 231, 300, 419, 420, 700),
                         ::testing::PrintToStringParamName());

struct CheckCase {
    const char* name;
    std::string magic;
    int version;
    bool truncateVersion;
    bool expected;
};

class JwwFileCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(JwwFileCheck, AcceptsOnlyKnownVersions) {
    const CheckCase& c = GetParam();
    TempDir dir;
    ByteBuilder b;
    b.raw(c.magic);
    if (c.truncateVersion) {
        b.u16(600);
    } else {
        b.i32(c.version);
    }
    WriteAll(dir.File("f.jww"), b.bytes());
    EXPECT_EQ(TJwwData::FileCheck(dir.File("f.jww")), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, JwwFileCheck,
                         ::testing::Values(CheckCase{"V219", "JwwData.", 219, false, false},
                                           CheckCase{"V220", "JwwData.", 220, false, true},
                                           CheckCase{"V700", "JwwData.", 700, false, true},
                                           CheckCase{"V701", "JwwData.", 701, false, false},
                                           CheckCase{"Truncated", "JwwData.", 600, true, false},
                                           CheckCase{"OtherMagic", "JwwDatA.", 600, false, false},
                                           CheckCase{"FigureMagic", "JwsData", 600, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JwwFileCheckMissing, MissingFileIsFalse) { EXPECT_FALSE(TJwwData::FileCheck("/nonexistent/x.jww")); }

// A readable test name for a value that may be negative: "Minus450".
std::string Signed(int32_t v) { return (v < 0 ? "Minus" : "") + std::to_string(v < 0 ? -int64_t{v} : int64_t{v}); }

struct WidthCase {
    int32_t stored;
    int32_t bak;
    bool hundredths;
};

class LineWidthSetting : public ::testing::TestWithParam<WidthCase> {};

TEST_P(LineWidthSetting, DerivesTheBackupWidth) {
    TempDir dir;
    TJwwData d = EmptyDrawing(600);
    d.Enthd.nMaxDrawWid = GetParam().stored;
    ASSERT_TRUE(d.FileOut(dir.File("w.jww"), 600));
    TJwwData back;
    ASSERT_TRUE(back.FileHeaderIn(dir.File("w.jww")));
    EXPECT_EQ(back.Enthd.nMaxDrawWid, GetParam().stored);
    EXPECT_EQ(back.Enthd.nMaxDrawWidBak, GetParam().bak);
    EXPECT_EQ(back.Enthd.bSenHaba100, GetParam().hundredths);
}

INSTANTIATE_TEST_SUITE_P(Values, LineWidthSetting,
                         ::testing::Values(WidthCase{-450, -50, true}, WidthCase{-401, -1, true},
                                           WidthCase{-250, 50, true}, WidthCase{-350, -100, true},
                                           WidthCase{-101, -100, true}, WidthCase{-100, -100, false},
                                           WidthCase{5, 5, false}),
                         [](const auto& info) { return "Stored" + Signed(info.param.stored); });

struct StoredCase {
    int ver;
    int32_t maxDrawWid;
    int32_t writtenMaxDrawWid;
    int32_t dpi;
    int32_t onlyNonDraw;
    int32_t readDpi;
    int32_t readOnlyNonDraw;
};

class WriterHeaderRules : public ::testing::TestWithParam<StoredCase> {};

TEST_P(WriterHeaderRules, LineWidthAndPrintResolution) {
    const StoredCase& c = GetParam();
    TempDir dir;
    TJwwData d = EmptyDrawing(700);
    d.Enthd.nMaxDrawWid = c.maxDrawWid;
    d.Enthd.nPrtDpi = c.dpi;
    d.Enthd.nPrtDispOnlyNonDraw = c.onlyNonDraw;
    ASSERT_TRUE(d.FileOut(dir.File("r.jww"), c.ver));
    TJwwData back;
    ASSERT_TRUE(back.FileHeaderIn(dir.File("r.jww")));
    EXPECT_EQ(back.Enthd.nMaxDrawWid, c.writtenMaxDrawWid);
    EXPECT_EQ(back.Enthd.nPrtDpi, c.readDpi);
    EXPECT_EQ(back.Enthd.nPrtDispOnlyNonDraw, c.readOnlyNonDraw);
}

INSTANTIATE_TEST_SUITE_P(Cases, WriterHeaderRules,
                         ::testing::Values(StoredCase{600, 1, 1, 36, 1, 36, 1},     // 361
                                           StoredCase{600, 1, 1, 0, 1, 1, 1},       // 11
                                           StoredCase{500, 1, 1, 36, 1, 0, 1},      // 1
                                           StoredCase{420, -450, -101, 36, 0, 0, 0},
                                           StoredCase{421, -450, -450, 36, 0, 0, 0},
                                           StoredCase{700, -450, -450, -3, 0, 1, 0},
                                           // A switch outside 0-9 (read from -2) is stored as 0:
                                           // -2 + 10 would read back as another switch.
                                           StoredCase{600, 1, 1, 0, -2, 1, 0}),
                         [](const auto& info) {
                             return "V" + std::to_string(info.param.ver) + "Width" + Signed(info.param.maxDrawWid) +
                                    "Dpi" + Signed(info.param.dpi) + "Switch" + Signed(info.param.onlyNonDraw);
                         });

TEST(WriterHeaderRules, PenTablesAreClamped) {
    TempDir dir;
    TJwwData d = EmptyDrawing(700);
    d.EntCol[1].anPenWidth = 0;
    d.EntCol[2].anPenWidth = 40;
    d.EntCol[3].adPrtTenHankei = 0;
    d.EntCol[4].adPrtTenHankei = 25;
    d.EntCol[0].aPrtPenColor = 0;
    d.EntCol[5].aPenColor = -1;
    d.EntCol[6].aPrtPenColor = 0x1000000;
    d.EntCol[7].anPrtPenWidth = 0;
    d.EntCol[8].anPrtPenWidth = 501;
    TJwwData back = RoundTrip(d, 700, dir);
    EXPECT_EQ(back.EntCol[1].anPenWidth, 1);
    EXPECT_EQ(back.EntCol[2].anPenWidth, 16);
    EXPECT_DOUBLE_EQ(back.EntCol[3].adPrtTenHankei, 0.1);
    EXPECT_DOUBLE_EQ(back.EntCol[4].adPrtTenHankei, 10.0);
    EXPECT_EQ(back.EntCol[0].aPrtPenColor, 0xFFFFFF);
    EXPECT_EQ(back.EntCol[5].aPenColor, 0);
    EXPECT_EQ(back.EntCol[6].aPrtPenColor, 0);
    EXPECT_EQ(back.EntCol[7].anPrtPenWidth, 1);
    EXPECT_EQ(back.EntCol[8].anPrtPenWidth, 500);
}

TEST(WriterHeaderRules, ExtendedTablesGetNamesAndValidLineTypes) {
    TempDir dir;
    TJwwData d = EmptyDrawing(700);
    d.EntColS[5].astrUDColorName = u"\u3000 ";
    d.EntColS[20].aPenColor = 0x123456;
    d.EntColS[20].aPrtPenColor = 0x654321;
    d.EntLtpS[20].anUDLTypeSegment = 3;
    d.EntLtpS[10].anUDLTypeSegment = 3;
    d.EntLtpS[10].alLType = 0;
    d.EntLtpS[11].astrUDLTypeName = u"";
    TJwwData back = RoundTrip(d, 700, dir);
    EXPECT_EQ(back.EntColS[5].astrUDColorName, u"Color_5");
    EXPECT_EQ(back.EntColS[20].aPrtPenColor, 0x123456);  // screen colour from entry 17 on
    const TEntJwwLineTypeExNo& t20 = back.EntLtpS[20];
    EXPECT_EQ(static_cast<uint32_t>(t20.alLType), 0xC3C3C3C3u);
    EXPECT_EQ(t20.anTokushuSenUintDot, 8);
    EXPECT_EQ(t20.anTokushuSenPich, 1);
    EXPECT_EQ(t20.anPrtTokushuSenPich, 8);
    EXPECT_EQ(t20.astrUDLTypeName, u"LType_20");
    EXPECT_EQ(t20.anUDLTypeSegment, 2);
    EXPECT_DOUBLE_EQ(t20.aadUDLTypePitch[1], 1.0);
    EXPECT_DOUBLE_EQ(t20.aadUDLTypePitch[2], 1.0);
    EXPECT_DOUBLE_EQ(t20.aadUDLTypePitch[3], 0.0);
    EXPECT_EQ(back.EntLtpS[10].anUDLTypeSegment, 3);  // entries up to 16 as held
    EXPECT_EQ(back.EntLtpS[10].alLType, -1);
    EXPECT_EQ(back.EntLtpS[11].astrUDLTypeName, u"LType_11");
}

TEST(WriterHeaderRules, TextSizesAreAbsoluteAndBounded) {
    TempDir dir;
    TJwwData d = EmptyDrawing(700);
    d.EntMoj[0].adMojiX = -3.5;
    d.EntMoj[0].adMojiY = 0;
    d.EntMoj[1].adMojiX = 1e12;
    d.Enthd.dMojiSizeX = -2;
    TJwwData back = RoundTrip(d, 700, dir);
    EXPECT_DOUBLE_EQ(back.EntMoj[0].adMojiX, 3.5);
    EXPECT_DOUBLE_EQ(back.EntMoj[0].adMojiY, 1e-10);
    EXPECT_DOUBLE_EQ(back.EntMoj[1].adMojiX, 1e10);
    EXPECT_DOUBLE_EQ(back.Enthd.dMojiSizeX, 2);
}

TEST(HeaderReading, NamesLoseControlCharactersTheMemoKeepsLineBreaks) {
    TempDir dir;
    TJwwData d = EmptyDrawing(600);
    d.Enthd.strMemo = u"one\r\ntwo";
    d.EntLay[17].aStrLayName = u"aXb";
    d.EntLgrp[2].aStrGLayName = u"gYh";
    ASSERT_TRUE(d.FileOut(dir.File("n.jww"), 600));
    // Put a TAB and a CR into the stored names.
    Bytes b = ReadAll(dir.File("n.jww"));
    for (size_t i = 1; i + 1 < b.size(); ++i) {
        if (b[i - 1] == 'a' && b[i] == 'X' && b[i + 1] == 'b') b[i] = '\t';
        if (b[i - 1] == 'g' && b[i] == 'Y' && b[i + 1] == 'h') b[i] = '\r';
    }
    WriteAll(dir.File("n.jww"), b);
    TJwwData back;
    ASSERT_TRUE(back.FileHeaderIn(dir.File("n.jww")));
    EXPECT_EQ(back.EntLay[17].aStrLayName, u"ab");
    EXPECT_EQ(back.EntLgrp[2].aStrGLayName, u"gh");
    EXPECT_EQ(back.Enthd.strMemo, u"one\r\ntwo");
}

TEST(HeaderReading, NonFiniteTextSizesBecomeDefaults) {
    TempDir dir;
    TJwwData d = EmptyDrawing(700);
    d.EntMoj[0].adMojiY = 777.0;
    d.EntMoj[0].adMojiD = 888.0;
    d.Enthd.dMojiSizeX = 999.0;
    ASSERT_TRUE(d.FileOut(dir.File("nan.jww"), 700));
    Bytes b = ReadAll(dir.File("nan.jww"));
    auto replace = [&](double from, double to) {
        uint8_t f[8], t[8];
        std::memcpy(f, &from, 8);
        std::memcpy(t, &to, 8);
        for (size_t i = 0; i + 8 <= b.size(); ++i) {
            if (std::memcmp(&b[i], f, 8) == 0) std::memcpy(&b[i], t, 8);
        }
    };
    replace(777.0, std::numeric_limits<double>::quiet_NaN());
    replace(888.0, std::numeric_limits<double>::infinity());
    replace(999.0, -std::numeric_limits<double>::infinity());
    WriteAll(dir.File("nan.jww"), b);
    TJwwData back;
    ASSERT_TRUE(back.FileIn(dir.File("nan.jww")));
    EXPECT_DOUBLE_EQ(back.EntMoj[0].adMojiY, 3.0);
    EXPECT_DOUBLE_EQ(back.EntMoj[0].adMojiD, 0.0);
    EXPECT_DOUBLE_EQ(back.Enthd.dMojiSizeX, 3.0);
}

TEST(HeaderReading, FailuresKeepWhatWasRead) {
    TempDir dir;
    TJwwData d = EmptyDrawing(600);
    d.Enthd.nZumen = 42;
    ASSERT_TRUE(d.FileOut(dir.File("t.jww"), 600));
    Bytes b = ReadAll(dir.File("t.jww"));
    b.resize(b.size() - 20);  // ends inside the last header items
    WriteAll(dir.File("t.jww"), b);
    TJwwData back;
    EXPECT_FALSE(back.FileHeaderIn(dir.File("t.jww")));
    EXPECT_EQ(back.LastError, "File I/O Error");
    EXPECT_EQ(back.Enthd.nZumen, 42);

    b[8] = 0x10;  // version 10000
    b[9] = 0x27;
    WriteAll(dir.File("t.jww"), b);
    EXPECT_FALSE(back.FileHeaderIn(dir.File("t.jww")));
    EXPECT_EQ(back.LastError, "JWW-Version Error");
    b[0] = 'X';
    WriteAll(dir.File("t.jww"), b);
    EXPECT_FALSE(back.FileIn(dir.File("t.jww")));
    EXPECT_EQ(back.LastError, "JWW-Header Error");
}

TEST(DocumentReset, FreshDocumentHasTheResetValues) {
    TJwwData d;
    EXPECT_EQ(d.Enthd.jwVer, 0);
    EXPECT_EQ(d.EntLineN + d.EntBlockDefN + d.EntBlockNum, 0);
    EXPECT_TRUE(d.EntLay.empty());
    EXPECT_DOUBLE_EQ(d.Enthd.dBairitsu, 1.0);
    EXPECT_DOUBLE_EQ(d.Enthd.dPrtBairitsu, 1.0);
    for (int i = 1; i <= 8; ++i) {
        EXPECT_DOUBLE_EQ(d.Enthd.dZoomJumpBairitsu[i], 1.0);
        EXPECT_EQ(d.Enthd.nZoomJumpGLay[i], -1);
    }
    d = SampleDrawing(700);
    d.BindImageFolder = "/x/";
    d.BindImageExp = true;
    d.DataFree();
    EXPECT_EQ(d.EntBlockDefN, 0);
    EXPECT_EQ(d.EntLineN, 0);
    EXPECT_TRUE(d.EntNo.empty());
    EXPECT_EQ(d.BindImageFolder, "/x/");  // the image settings survive resets
    EXPECT_TRUE(d.BindImageExp);
}

}  // namespace
}  // namespace talvine::test
