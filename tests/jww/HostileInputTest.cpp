// Damaged and hostile files: the reader must neither crash nor hang nor
// allocate what the file cannot hold.
#include <random>

#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

Bytes Written(TJwwData& d, int ver, const TempDir& dir) {
    EXPECT_TRUE(d.FileOut(dir.File("base.jww"), ver));
    return ReadAll(dir.File("base.jww"));
}

struct HostileCase {
    const char* name;
    Bytes section;
};

class HostileSection : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileSection, FailsAtOnce) {
    TempDir dir;
    Bytes b = HeaderBytes(700);
    b.insert(b.end(), GetParam().section.begin(), GetParam().section.end());
    WriteAll(dir.File("h.jww"), b);
    TJwwData d;
    d.BindImageFolder = dir.path();
    d.BindImageExp = true;
    EXPECT_FALSE(d.FileIn(dir.File("h.jww")));
    EXPECT_LT(d.EntNo.capacity(), 100000u);
    EXPECT_LT(d.EntBlockDef.capacity(), 100000u);
}

Bytes Section(const ByteBuilder& b) { return b.bytes(); }

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileSection,
    ::testing::Values(
        HostileCase{"TwoBillionEntities", Section(ByteBuilder().u16(0xFFFF).i32(2000000000).fill(0, 900))},
        HostileCase{"NegativeEntityCount", Section(ByteBuilder().u16(0xFFFF).i32(-5).fill(0, 100))},
        HostileCase{"TwoBillionDefinitions", Section(ByteBuilder().u16(0).u16(0xFFFF).i32(2000000000).fill(0, 900))},
        HostileCase{"TwoBillionMembers",
                    Section(ByteBuilder()
                                .u16(0)
                                .u16(1)
                                .newClass("CDataList")
                                .attr(700, Attr())
                                .u32(0)
                                .u32(0)
                                .u32(0)
                                .str("x")
                                .u16(0xFFFF)
                                .i32(2000000000)
                                .fill(0, 100))},
        HostileCase{"TwoBillionImages", Section(ByteBuilder().u16(0).u16(0).i32(2000000000).fill(0, 100))},
        HostileCase{"NegativeImageSize", Section(ByteBuilder().u16(0).u16(0).i32(1).str("a.png").i32(-1))},
        HostileCase{"ClassNameLongerThanTheScratchBuffer",
                    Section(ByteBuilder().u16(1).u16(0xFFFF).u16(600).u16(3000).fill('A', 3000).fill(0, 200))},
        HostileCase{"ClassNameLengthBeyondTheFile",
                    Section(ByteBuilder().u16(1).u16(0xFFFF).u16(600).u16(2000).fill('A', 10))},
        HostileCase{"OnlyObjectReferences", Section(ByteBuilder().u16(5).fill(0x01, 4000))},
        HostileCase{"StringLongerThanTheFile",
                    Section(ByteBuilder().u16(1).newClass("CDataMoji").fill(0, 83).u8(0xFF).u16(0xFFFE).u8(0xFF).u16(
                        0xFFFF))}),
    [](const auto& info) { return std::string(info.param.name); });

// Every truncation and many random byte changes of real files are read
// without harm: the result may be false, never a crash or a hang.
class Mutation : public ::testing::TestWithParam<int> {};

TEST_P(Mutation, TruncatedAndCorruptedFilesAreHarmless) {
    const int ver = GetParam();
    TempDir dir, work;
    TJwwData s = SampleDrawing(ver);
    s.BindImageFolder = work.path();
    s.BindImageExp = true;
    WriteAll(work.File("img.png"), Bytes(300, 5));
    s.BindImage.push_back(TBindImageType{u"img.png", 300, false});
    s.BindImageN = 1;
    Add(s.TopLists(), Text(0, 0, u"^@BM%temp%img.png,1,1"));
    SyncCounts(s);
    const Bytes good = Written(s, ver, dir);
    const std::string path = dir.File("m.jww");
    TJwwData d;
    d.BindImageFolder = work.path();
    d.BindImageExp = true;
    d.BindImageExr = true;

    for (size_t cut = 0; cut < good.size(); cut += 1 + cut / 64) {
        WriteAll(path, Bytes(good.begin(), good.begin() + static_cast<long>(cut)));
        EXPECT_FALSE(d.FileIn(path)) << "cut at " << cut;
    }
    std::mt19937 rng(static_cast<unsigned>(ver));
    for (int round = 0; round < 400; ++round) {
        Bytes b = good;
        const int changes = 1 + round % 4;
        for (int k = 0; k < changes; ++k) {
            // Changes fall mostly in the entity section, after the header.
            const size_t at = b.size() / 2 + rng() % (b.size() / 2);
            b[at] = static_cast<uint8_t>(rng());
        }
        WriteAll(path, b);
        d.FileIn(path);
        if (d.EntBlockTreeN > 0) {
            EXPECT_LE(d.EntBlockTreeN, TJwDocument::kMaxBlockTreeNodes);
        }
        // Whatever was read can be written.
        d.FileOut(dir.File("w.jww"), ver);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, Mutation, ::testing::Values(350, 600, 700),
                         ::testing::PrintToStringParamName());

TEST(HostileFigure, TruncationsOfAFigure) {
    TempDir dir;
    TJwsData s = SampleFigure(600);
    ASSERT_TRUE(s.FileOut(dir.File("f.jws"), 600));
    const Bytes good = ReadAll(dir.File("f.jws"));
    TJwsData d;
    for (size_t cut = 0; cut < good.size(); cut += 1 + cut / 64) {
        WriteAll(dir.File("m.jws"), Bytes(good.begin(), good.begin() + static_cast<long>(cut)));
        EXPECT_FALSE(d.FileIn(dir.File("m.jws"))) << "cut at " << cut;
    }
}

}  // namespace
}  // namespace talvine::test
