// Every output is read back and checked before it gets its name: real
// conversions of every version pass the check, and outputs spoiled after
// writing are caught, reported and removed.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <tuple>

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

// ---- Sources whose names and values the writer cleans up or repairs ----
//
// Jw_cad stores texts such as "^^mm" or control characters in layer names,
// text and definition names, and values the writer repairs (a negative print
// resolution, colours and widths out of range). This program's own writer
// never stores them, so the source is written with placeholders of the same
// length, which are then replaced in its bytes.

struct Patch {
    Bytes from, to;
    int minVersion = 0;  // the first version that stores what is patched
};

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes I32s(std::initializer_list<int32_t> values) {
    ByteBuilder b;
    for (int32_t v : values) b.i32(v);
    return b.bytes();
}
Bytes F64(double v) { return ByteBuilder().f64(v).bytes(); }

// Replaces the one place where p.from occurs.
void ApplyPatch(Bytes& b, const Patch& p) {
    auto at = std::search(b.begin(), b.end(), p.from.begin(), p.from.end());
    ASSERT_NE(at, b.end()) << "placeholder not found";
    ASSERT_EQ(std::search(at + 1, b.end(), p.from.begin(), p.from.end()), b.end()) << "placeholder not unique";
    std::copy(p.to.begin(), p.to.end(), at);
}

struct RepairCase {
    const char* name;
    std::function<void(TJwDocument&)> build;  // placeholders into the document
    std::vector<Patch> patches;
};

void AddNamedDefinition(TJwDocument& d, const std::u16string& name) {
    const int def = AddBlockDef(d, name);
    TEntJwwBlockDef& b = d.EntBlockDef[static_cast<size_t>(def)];
    Add(ListsOf(b), TEntJwwLine{Attr(), 0, 0, 10, 0});
    b.N = static_cast<int32_t>(b.mNo.size());
    Add(d.TopLists(), Insert(b.nNumber, 20, 20));
}

// What only a drawing stores (header tables), then what both store.
const RepairCase kRepairCases[] = {
    {"LayerNames",
     [](TJwDocument& d) {
         auto& w = static_cast<TJwwData&>(d);
         w.EntLay[5].aStrLayName = u"LQQQ";
         w.EntLay[6].aStrLayName = u"LRRR";
         w.EntLay[7].aStrLayName = u"LSSSS";
         w.EntLgrp[2].aStrGLayName = u"GQQ";
     },
     {{Str("\x04" "LQQQ"), Str("\x04" "^^mm")},
      {Str("\x04" "LRRR"), Str("\x04" "A^mB")},
      {Str("\x05" "LSSSS"), Str("\x05" "a\x07\x1f^m")},
      {Str("\x03" "GQQ"), Str("\x03" "^\x01m")}}},
    {"RepairedHeaderValues",
     [](TJwDocument& d) {
         auto& w = static_cast<TJwwData&>(d);
         w.EntCol[3].aPenColor = 0xABCDEF;
         w.EntCol[3].anPenWidth = 7;
         w.EntCol[4].aPrtPenColor = 0xABCDE1;
         w.EntCol[4].anPrtPenWidth = 123;
         w.EntCol[4].adPrtTenHankei = 1.2345678;
         w.Enthd.nPrtDpi = 123;
         w.Enthd.nPrtDispOnlyNonDraw = 4;
     },
     {{I32s({0xABCDEF, 7}), I32s({0x7FFFFFFF, 99})},
      {Bytes(I32s({0xABCDE1, 123})), Bytes(I32s({-5, 9999}))},
      {F64(1.2345678), F64(55.0)},
      {I32s({1234}), I32s({-1234}), 600}}},  // a negative print resolution
    {"EntityTexts",
     [](TJwDocument& d) {
         Add(d.TopLists(), Text(0, 0, u"TQQQ"));
         Add(d.TopLists(), Text(0, 5, u"TRRRR"));
         TEntJwwMoji t = Text(0, 10, u"font");
         t.strFontName = u"FQQQ";
         Add(d.TopLists(), t);
         Add(d.TopLists(), Dimension(0, 20, 30, 20, u"SQQQ", false));
         AddNamedDefinition(d, u"DQQQ");
     },
     {{Str("\x04" "TQQQ"), Str("\x04" "^^mm")},
      {Str("\x05" "TRRRR"), Str("\x05" "a\x07\tb^")},
      {Str("\x04" "FQQQ"), Str("\x04" "^\x02mm")},
      {Str("\x04" "SQQQ"), Str("\x04" "A^mB")},
      {Str("\x04" "DQQQ"), Str("\x04" "^^mm")}}},
    // Class references past 0x7FFF take the long form.
    {"ClassIndicesPast0x7FFF",
     [](TJwDocument& d) {
         for (int i = 0; i < 33000; ++i) Add(d.TopLists(), TEntJwwLine{Attr(), i * 0.01, 0, i * 0.01, 5});
         for (int i = 0; i < 3; ++i) Add(d.TopLists(), Text(i, 10, u"after"));
         Add(d.TopLists(), Dimension(0, 20, 30, 20, u"30", true));
     },
     {}},
};

void PrintTo(const RepairCase& c, std::ostream* os) { *os << c.name; }

class VerifyRepairs : public ::testing::TestWithParam<std::tuple<bool, int, RepairCase>> {};

// Written with the check on, each output is the very file written with it off.
TEST_P(VerifyRepairs, ConvertAsWithoutTheCheck) {
    const auto& [figure, ver, c] = GetParam();
    RunFixture f;
    const std::string src = f.src.File(figure ? "door.jws" : "plan.jww");
    if (figure) {
        TJwsData d = SampleFigure(ver);
        c.build(d);
        SyncCounts(d);
        ASSERT_TRUE(d.FileOut(src, ver));
    } else {
        TJwwData d = SampleDrawing(ver);
        c.build(d);
        SyncCounts(d);
        d.SetFileOutOption(0);
        ASSERT_TRUE(d.FileOut(src, ver));
    }
    Bytes bytes = ReadAll(src);
    for (const Patch& p : c.patches)
        if (ver >= p.minVersion) ApplyPatch(bytes, p);
    WriteAll(src, bytes);

    std::vector<Bytes> outputs;
    for (const bool verify : {true, false}) {
        RunFixture run;
        run.settings.verify = verify;
        const TRunSummary s = run.Run({src});
        ASSERT_EQ(run.results.size(), 1u);
        EXPECT_EQ(s.converted, 1) << (verify ? "checked: " : "unchecked: ") << run.results[0].detail;
        if (!run.results[0].done) return;
        outputs.push_back(ReadAll(run.results[0].dst));
    }
    EXPECT_TRUE(outputs[0] == outputs[1]) << "the checked output differs from the unchecked one";
}

std::string RepairName(const ::testing::TestParamInfo<VerifyRepairs::ParamType>& info) {
    return std::string(std::get<0>(info.param) ? "Figure" : "Drawing") +
           std::to_string(std::get<1>(info.param)) + "_" + std::get<2>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Drawings, VerifyRepairs,
                         ::testing::Combine(::testing::Values(false), ::testing::Values(230, 300, 351, 420, 600, 700),
                                            ::testing::ValuesIn(kRepairCases)),
                         RepairName);
INSTANTIATE_TEST_SUITE_P(Figures, VerifyRepairs,
                         ::testing::Combine(::testing::Values(true), ::testing::Values(230, 300, 351, 420, 600, 700),
                                            ::testing::ValuesIn(kRepairCases + 2, std::end(kRepairCases))),
                         RepairName);

// ---- Bound images ----

enum class ImageUse { kPlaced, kUnplaced, kShared, kMissing };

struct ImageCase {
    const char* name;
    ImageUse use;
};
void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }

class VerifyImages : public ::testing::TestWithParam<std::tuple<ImageCase, bool>> {};

// Whatever the drawing does with its images, and whether or not the output
// is checked, the work folder holds nothing of the file afterwards.
TEST_P(VerifyImages, LeaveNothingInTheWorkFolder) {
    const auto& [c, verify] = GetParam();
    RunFixture f;
    TempDir images;
    TJwwData d = SampleDrawing(700);
    d.BindImageFolder = images.path();
    d.BindImageExp = d.BindImageExr = true;
    WriteAll(images.File("b.jpg.gz"), Gzip(Pattern(3000, 5)));
    WriteAll(images.File("c.png"), Pattern(500, 6));
    d.BindImage = {TBindImageType{u"b.jpg.gz", 0, false}, TBindImageType{u"c.png", 0, false}};
    d.BindImageN = 2;
    Add(d.TopLists(), Text(0, 0, u"^@BM%temp%c.png,10,10"));
    Add(d.TopLists(), Text(0, 0, u"^@BM%temp%b.jpg,10,10"));
    if (c.use == ImageUse::kShared) Add(ListsOf(d.EntBlockDef[1]), Text(5, 5, u"^@BM%temp%b.jpg,20,20"));
    if (c.use == ImageUse::kMissing) Add(d.TopLists(), Text(0, 0, u"^@BM%temp%gone.gif,1,1"));
    Add(d.TopLists(), Dimension(0, -10, 40, -10, u"2000", true));
    SyncCounts(d);
    const std::string src = f.src.File("plan.jww");
    ASSERT_TRUE(d.FileOut(src, 700)) << d.LastError;
    if (c.use == ImageUse::kUnplaced) {
        // The drawing still carries b.jpg.gz, but no text places it any more.
        Bytes bytes = ReadAll(src);
        ApplyPatch(bytes, {Str("%temp%b.jpg,10"), Str("%temp%x.jpg,10")});
        WriteAll(src, bytes);
    }
    f.settings.verify = verify;
    const TRunSummary s = f.Run({src});
    ASSERT_EQ(f.results.size(), 1u);
    EXPECT_EQ(s.converted, 1) << f.results[0].detail;
    EXPECT_TRUE(fs::is_empty(FsPath(f.work.path()))) << "the work folder keeps a file";
    TJwwData out;
    out.BindImageExr = true;
    ASSERT_TRUE(out.FileIn(f.results[0].dst));
    EXPECT_EQ(out.BindImageN, c.use == ImageUse::kUnplaced ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Uses, VerifyImages,
                         ::testing::Combine(::testing::Values(ImageCase{"Placed", ImageUse::kPlaced},
                                                              ImageCase{"Unplaced", ImageUse::kUnplaced},
                                                              ImageCase{"Shared", ImageUse::kShared},
                                                              ImageCase{"Missing", ImageUse::kMissing}),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Checked" : "_Unchecked");
                         });

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
