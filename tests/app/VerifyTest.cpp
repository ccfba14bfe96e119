// Every output is read back and checked before it gets its name: real
// conversions of every version pass the check, and outputs spoiled after
// writing are caught, reported and removed.
#include <filesystem>
#include <functional>

#include "app/BatchRun.h"
#include "tests/app/RunFixture.h"
#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"

namespace talvine::test {
namespace {

namespace fs = std::filesystem;

class VerifyVersions : public ::testing::TestWithParam<int> {};

// Drawings and figures of every version, with dimensions at the top level
// and in blocks and with a bound image, pass the check.
TEST_P(VerifyVersions, RealConversionsPass) {
    const int ver = GetParam();
    RunFixture f;
    TJwwData d = SampleDrawing(ver);
    Add(d.TopLists(), Dimension(0, 0, 100, 0, u"100", true));
    SyncCounts(d);
    ASSERT_TRUE(d.FileOut(f.src.File("plan.jww"), ver));
    std::vector<std::string> files{f.src.File("plan.jww")};
    if (ver >= 230) {
        TJwsData s = SampleFigure(ver);
        ASSERT_TRUE(s.FileOut(f.src.File("door.jws"), ver));
        files.push_back(f.src.File("door.jws"));
    }
    const TRunSummary sum = f.Run(files);
    EXPECT_EQ(sum.failed, 0);
    for (const TFileResult& r : f.results) EXPECT_TRUE(r.done) << r.src << ": " << r.detail;
}

INSTANTIATE_TEST_SUITE_P(Versions, VerifyVersions, ::testing::Values(220, 230, 300, 351, 420, 600, 700),
                         ::testing::PrintToStringParamName());

// A way to spoil an output after it was written.
struct FaultCase {
    const char* name;
    std::function<void(const std::string& tmp)> spoil;
    const char* difference;  // part of the English difference
};

class VerifyFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(VerifyFaults, AreCaughtReportedAndLeaveNoOutput) {
    const FaultCase& c = GetParam();
    RunFixture f;
    TJwwData d = SampleDrawing(700);
    for (int i = 0; i < 20; ++i) Add(d.TopLists(), Dimension(i, 0, i + 10, 0, u"10", true));
    SyncCounts(d);
    ASSERT_TRUE(d.FileOut(f.src.File("plan.jww"), 700));
    f.hook = c.spoil;
    const TRunSummary s = f.Run({f.src.File("plan.jww")});
    EXPECT_EQ(s.failed, 1);
    ASSERT_EQ(f.results.size(), 1u);
    EXPECT_EQ(f.results[0].failure, TFileFailure::kVerifyFailed);
    EXPECT_NE(f.results[0].detail.find(c.difference), std::string::npos) << f.results[0].detail;
    ASSERT_GE(f.log.size(), 4u);
    EXPECT_EQ(f.log[2], u"\u3000…… 変換失敗");
    EXPECT_EQ(f.log[3], u"\u3000原因：検証に失敗");
    EXPECT_NE(FailureTextEnglish(f.results[0].failure, f.results[0].detail).find(c.difference), std::string::npos);
    EXPECT_TRUE(fs::is_empty(FsPath(f.out.path())));  // neither the output nor its temporary file
}

// Rewrites the output from what it holds, changed by change.
std::function<void(const std::string&)> Rewrite(std::function<void(TJwwData&)> change) {
    return [change](const std::string& tmp) {
        TJwwData d;
        ASSERT_TRUE(d.FileIn(tmp));
        change(d);
        d.SetFileOutOption(d.MojiEncode ? 32 : 0);
        ASSERT_TRUE(d.FileOut(tmp, d.Enthd.jwVer));
    };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VerifyFaults,
    ::testing::Values(
        FaultCase{"OneByteOfAPlaceChanged",
                  Rewrite([](TJwwData& d) { d.EntLine[static_cast<size_t>(d.EntLineN - 1)].end_x += 1; }),
                  "lines read back lie elsewhere"},
        FaultCase{"OneLineDropped",
                  Rewrite([](TJwwData& d) {
                      for (auto& e : d.EntNo)
                          if (e.EntType == kEntLine) {
                              e.EntType = kEntNone;
                              break;
                          }
                  }),
                  "lines of the drawing:"},
        FaultCase{"ADimensionLeft",
                  Rewrite([](TJwwData& d) {
                      Add(d.TopLists(), Dimension(0, 0, 5, 0, u"5", false));
                      SyncCounts(d);
                  }),
                  "1 dimensions are left"},
        FaultCase{"AHeaderFieldChanged", Rewrite([](TJwwData& d) { d.Enthd.nZumen += 1; }), "bytes that were written"},
        FaultCase{"AByteAddedAtTheEnd",
                  [](const std::string& tmp) {
                      Bytes b = ReadAll(tmp);
                      b.push_back(0);
                      WriteAll(tmp, b);
                  },
                  "bytes that were written"},
        FaultCase{"CutShort",
                  [](const std::string& tmp) {
                      Bytes b = ReadAll(tmp);
                      b.resize(b.size() / 2);
                      WriteAll(tmp, b);
                  },
                  "cannot be read back"}),
    [](const auto& info) { return std::string(info.param.name); });

// A drawing large enough to be tallied and summed on a second thread passes
// the check, and a spoiled output of it is still caught.
TEST(Verify, LargeDrawingsAreCheckedAlongsideTheirWriting) {
    for (const bool spoil : {false, true}) {
        RunFixture f;
        TJwwData d = SampleDrawing(700);
        for (int i = 0; i < 25000; ++i) {
            TEntJwwLine l;
            l.att = Attr();
            l.end_x = i;
            l.end_y = 1;
            Add(d.TopLists(), l);
        }
        for (int i = 0; i < 100; ++i) Add(d.TopLists(), Dimension(i, 0, i + 10, 0, u"10", true));
        SyncCounts(d);
        ASSERT_TRUE(d.FileOut(f.src.File("plan.jww"), 700));
        if (spoil) f.hook = Rewrite([](TJwwData& out) { out.EntLine[20000].end_x += 1; });
        const TRunSummary s = f.Run({f.src.File("plan.jww")});
        ASSERT_EQ(f.results.size(), 1u);
        EXPECT_EQ(s.converted, spoil ? 0 : 1) << f.results[0].detail;
        if (spoil) {
            EXPECT_NE(f.results[0].detail.find("lie elsewhere"), std::string::npos) << f.results[0].detail;
        }
    }
}

// A file read back tells where its header ended, as its writer did.
TEST(Verify, HeaderSizeReadBackIsTheWrittenOne) {
    TempDir dir;
    for (const int ver : {230, 600, 700}) {
        TJwwData d = SampleDrawing(ver);
        platform::File file = platform::File::CreateNew(dir.File("a.jww"));
        TJwDocument::TWrittenFile written;
        ASSERT_TRUE(d.WriteTo(file, ver, written));
        EXPECT_GT(written.headerSize, 0);
        TJwwData back;
        ASSERT_TRUE(back.FileIn(dir.File("a.jww")));
        EXPECT_EQ(back.HeaderSize, written.headerSize) << ver;
        fs::remove(FsPath(dir.File("a.jww")));
    }
}

TEST(Verify, CanBeTurnedOff) {
    RunFixture f;
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(f.src.File("plan.jww"), 700));
    f.settings.verify = false;
    int spoiled = 0;
    f.hook = [&](const std::string&) { ++spoiled; };
    EXPECT_EQ(f.Run({f.src.File("plan.jww")}).converted, 1);
    EXPECT_EQ(spoiled, 1);
}

}  // namespace
}  // namespace talvine::test
