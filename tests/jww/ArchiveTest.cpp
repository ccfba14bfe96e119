// Byte primitives: exact bytes of strings, counts, class tags and attribute
// blocks, and their reading back.
#include "jww/Archive.h"

#include "tests/jww/TestFiles.h"
#include "util/Platform.h"

namespace talvine::test {
namespace {

// Runs write on a fresh writer and returns the bytes it produced.
template <class F>
Bytes Written(bool unicode, F write) {
    TempDir dir;
    const std::string path = dir.File("out.bin");
    {
        platform::File f = platform::File::CreateWrite(path);
        ArchiveWriter out(f, unicode);
        write(out);
        out.Flush();
    }
    return ReadAll(path);
}

Bytes B(std::initializer_list<int> v) {
    Bytes b;
    for (int x : v) b.push_back(static_cast<uint8_t>(x));
    return b;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct StringCase {
    const char* name;
    std::u16string text;
    bool unicode;
    Bytes bytes;
};

class StringEncoding : public ::testing::TestWithParam<StringCase> {};

TEST_P(StringEncoding, WritesExactBytesAndReadsThemBack) {
    const StringCase& c = GetParam();
    const Bytes got = Written(c.unicode, [&](ArchiveWriter& out) { out.StringOut(c.text); });
    EXPECT_EQ(got, c.bytes);
    ArchiveReader in(got.data(), got.size());
    EXPECT_EQ(in.StringIn(), c.text);
    EXPECT_EQ(in.SawUnicode(), c.unicode);
    EXPECT_EQ(in.Remaining(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, StringEncoding,
    ::testing::Values(
        StringCase{"EmptySingleByte", u"", false, B({0x00})},
        StringCase{"EmptyUnicode", u"", true, B({0xFF, 0xFE, 0xFF, 0x00})},
        StringCase{"AbcUnicode", u"abc", true, B({0xFF, 0xFE, 0xFF, 0x03, 0x61, 0x00, 0x62, 0x00, 0x63, 0x00})},
        StringCase{"ShiftJis", u"寸法", false, B({0x04, 0x90, 0xA1, 0x96, 0x40})},
        StringCase{"Length254", std::u16string(254, u'a'), false, Cat(B({0xFE}), Bytes(254, 'a'))},
        StringCase{"Length255", std::u16string(255, u'a'), false, Cat(B({0xFF, 0xFF, 0x00}), Bytes(255, 'a'))},
        StringCase{"Unicode255", std::u16string(255, u'b'), true,
                   [] {
                       Bytes b = B({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00});
                       for (int i = 0; i < 255; ++i) b.insert(b.end(), {0x62, 0x00});
                       return b;
                   }()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StringEncoding, ReadCutsAtFirstNulAndCleanDropsControls) {
    const Bytes b = B({0x05, 'a', 0x09, 'b', 0x00, 'c', 0x04, 'x', '\r', '\n', 'y'});
    ArchiveReader in(b.data(), b.size());
    EXPECT_EQ(in.StringIn(), u"a\tb");
    EXPECT_EQ(in.StringInClean(), u"xy");
}

TEST(StringEncoding, SixteenBitLengthFFFFIsTakenAs65535) {
    Bytes b = Cat(B({0xFF, 0xFF, 0xFF}), Bytes(65535, 'z'));
    ArchiveReader in(b.data(), b.size());
    EXPECT_EQ(in.StringIn().size(), 65535u);
}

struct CutCase {
    const char* name;
    std::u16string text;
    bool unicode;
    size_t expectedUnits;  // characters (single byte) or UTF-16 units kept
};

// n copies of fill with c1 (and c2 after it) placed at position at. Built in
// place: concatenating two long strings trips a false GCC 12 warning.
std::u16string Filled(size_t n, char16_t fill, size_t at, char16_t c1, char16_t c2 = 0) {
    std::u16string s(n, fill);
    s[at] = c1;
    if (c2) s[at + 1] = c2;
    return s;
}

class LongStrings : public ::testing::TestWithParam<CutCase> {};

TEST_P(LongStrings, AreCutWithoutSplittingACharacter) {
    const CutCase& c = GetParam();
    const Bytes got = Written(c.unicode, [&](ArchiveWriter& out) { out.StringOut(c.text); });
    ArchiveReader in(got.data(), got.size());
    const std::u16string back = in.StringIn();
    EXPECT_EQ(back.size(), c.expectedUnits);
    EXPECT_EQ(back, c.text.substr(0, c.expectedUnits));
    EXPECT_EQ(in.Remaining(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, LongStrings,
    ::testing::Values(
        // 65 534 would read back as the UTF-16 marker 0xFFFE: 65 533 bytes at most.
        CutCase{"Ascii", std::u16string(70000, u'a'), false, 65533},
        // Two bytes per character: 32 766 whole characters fit in 65 533 bytes.
        CutCase{"DoubleByte", std::u16string(40000, u'寸'), false, 32766},
        CutCase{"MixedOddBoundary", Filled(40001, u'法', 0, u'a'), false, 1 + 32766},
        CutCase{"Unicode", std::u16string(70000, u'x'), true, 65534},
        CutCase{"UnicodeKeepsSurrogatePairs", Filled(65535, u'x', 65533, u'\xD83D', u'\xDE00'), true, 65533}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Counts, ShortAndLongForms) {
    const Bytes got = Written(false, [](ArchiveWriter& out) {
        out.CountOut(0);
        out.CountOut(0xFFFE);
        out.CountOut(0xFFFF);
        out.CountOut(100000);
    });
    EXPECT_EQ(got, B({0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xA0, 0x86, 0x01, 0x00}));
}

TEST(ClassTags, ReferencesAndLongReferences) {
    const Bytes got = Written(false, [](ArchiveWriter& out) {
        out.ClassRefOut(1);
        out.ClassRefOut(0x7FFE);
        out.ClassRefOut(0x7FFF);
        out.ClassRefOut(0x12345);
        out.NewClassOut(600, "CDataSen");
    });
    Bytes expected = B({0x01, 0x80, 0xFE, 0xFF, 0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80, 0xFF, 0x7F, 0x45, 0x23, 0x01,
                        0x80, 0xFF, 0xFF, 0x58, 0x02, 0x08, 0x00});
    for (char c : std::string("CDataSen")) expected.push_back(static_cast<uint8_t>(c));
    EXPECT_EQ(got, expected);
}

struct AttrCase {
    const char* name;
    int ver;
    int kind;
    uint8_t style;
    uint16_t color;
    uint8_t wantStyle;
    uint16_t wantColor;
};

class AttrValidation : public ::testing::TestWithParam<AttrCase> {};

TEST_P(AttrValidation, MapsAndRepairsValues) {
    const AttrCase& c = GetParam();
    const TEntJwwAttr a = ValidateAttr(c.ver, Attr(c.style, c.color), c.kind);
    EXPECT_EQ(a.nPenStyle, c.wantStyle);
    EXPECT_EQ(a.nPenColor, c.wantColor);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AttrValidation,
    ::testing::Values(AttrCase{"SxfLineForOldVersion", 400, kEntLine, 35, 109, 8, 5},
                      AttrCase{"SxfLineKeptFrom420", 600, kEntLine, 35, 109, 35, 109},
                      AttrCase{"SxfArcStyle44", 419, kEntEnko, 44, 116, 17, 2},
                      AttrCase{"SxfStyleWithoutOldTwin", 400, kEntLine, 50, 200, 1, 1},
                      AttrCase{"TextKeepsStyleButMapsColour", 400, kEntMoji, 3, 101, 3, 2},
                      AttrCase{"PointStyle7", 700, kEntTen, 7, 1, 1, 1},
                      AttrCase{"PointSymbolKept", 300, kEntTen, 100, 9, 100, 9},
                      AttrCase{"TextStyle12", 700, kEntMoji, 12, 1, 1, 1},
                      AttrCase{"LineStyle10", 700, kEntLine, 10, 0, 1, 1},
                      AttrCase{"LineStyle62", 700, kEntLine, 62, 356, 62, 356},
                      AttrCase{"SolidOwnColour", 700, kEntSolid, 1, 10, 1, 10},
                      AttrCase{"LineColour10", 700, kEntLine, 1, 10, 1, 1},
                      AttrCase{"SolidColour357", 700, kEntSolid, 1, 357, 1, 1},
                      AttrCase{"BlockDefinitionUntouched", 700, kAttrKindBlockDef, 0, 0, 0, 0},
                      AttrCase{"InsertStyleUntouched", 700, kEntBlock, 77, 5, 77, 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AttrBlock, LayersAndWidthAreRepairedAndOldVersionsOmitTheWidth) {
    TEntJwwAttr a = Attr(2, 3, 16, 17, 30001);
    a.lGroup = 0x01020304;
    a.sFlg = 0xABCD;
    const Bytes v351 = Written(false, [&](ArchiveWriter& out) { out.AttrOut(351, a, kEntLine); });
    EXPECT_EQ(v351, B({0x04, 0x03, 0x02, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xCD, 0xAB}));
    a = Attr(2, 3, 4, 5, 250);
    const Bytes v350 = Written(false, [&](ArchiveWriter& out) { out.AttrOut(350, a, kEntLine); });
    EXPECT_EQ(v350, B({0x00, 0x00, 0x00, 0x00, 0x02, 0x03, 0x00, 0x04, 0x00, 0x05, 0x00, 0x00, 0x00}));

    ArchiveReader in(v350.data(), v350.size());
    const TEntJwwAttr back = in.AttrIn(350);
    EXPECT_EQ(back.nPenWidth, 0);
    EXPECT_EQ(back.nLayer, 4);
    EXPECT_EQ(back.nGLayer, 5);
}

TEST(Reader, ShortReadsThrowAndLeaveNothingBehind) {
    const Bytes b = B({0x01, 0x02, 0x03});
    ArchiveReader in(b.data(), b.size());
    EXPECT_THROW(in.U32(), ShortReadError);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_THROW(in.U8(), ShortReadError);
}

TEST(Reader, FileInputCrossesBufferBoundaries) {
    // Values straddling the 64 KiB buffer of a file reader read correctly.
    TempDir dir;
    ByteBuilder bb;
    bb.fill(0, 65535).f64(3.25).str("abc").u32(7);
    WriteAll(dir.File("b.bin"), bb.bytes());
    platform::File f = platform::File::OpenRead(dir.File("b.bin"));
    ArchiveReader in(f);
    EXPECT_EQ(in.Remaining(), static_cast<long long>(bb.size()));
    in.Skip(65535);
    EXPECT_EQ(in.F64(), 3.25);
    EXPECT_EQ(in.StringIn(), u"abc");
    EXPECT_EQ(in.U32(), 7u);
    EXPECT_EQ(in.Remaining(), 0);
}

}  // namespace
}  // namespace talvine::test
