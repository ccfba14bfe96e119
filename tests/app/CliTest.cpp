// talvine-cli end to end: generated drawings and figures are converted by
// the real executable, and every output is read back.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "tests/jww/TestFiles.h"

namespace talvine::test {
namespace {

namespace fs = std::filesystem;

struct CliResult {
    int status = -1;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliResult RunCli(const std::string& args, const TempDir& dir) {
    const std::string errFile = dir.File("stderr.txt");
    const std::string cmd = Quote(TALVINE_CLI_PATH) + " " + args + " 2>" + Quote(errFile);
    CliResult r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    const Bytes e = ReadAll(errFile);
    r.err.assign(e.begin(), e.end());
    return r;
}

int Lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

// Every entity that is not a dimension is still there, unchanged and in the
// same place of its array; the dimensions are gone.
void ExpectOnlyDimensionsReplaced(TJwDocument& before, TJwDocument& after) {
    EXPECT_EQ(after.EntSunpoN, 0);
    EXPECT_GT(after.EntLineN, before.EntLineN);
    for (int32_t i = 0; i < before.EntLineN; ++i) EXPECT_EQ(after.EntLine[i], before.EntLine[i]);
    for (int32_t i = 0; i < before.EntMojiN; ++i) EXPECT_EQ(after.EntMoji[i], before.EntMoji[i]);
    for (int32_t i = 0; i < before.EntTenN; ++i) EXPECT_EQ(after.EntTen[i], before.EntTen[i]);
    EXPECT_EQ(after.EntEnko, before.EntEnko);
    EXPECT_EQ(after.EntSolid, before.EntSolid);
    EXPECT_EQ(after.EntBlock, before.EntBlock);
    ASSERT_EQ(after.EntBlockDefN, before.EntBlockDefN);
    for (int32_t d = 0; d < before.EntBlockDefN; ++d) {
        const auto& b = before.EntBlockDef[d];
        const auto& a = after.EntBlockDef[d];
        EXPECT_EQ(a.strName, b.strName);
        EXPECT_EQ(a.mSunpoN, 0);
        for (int32_t i = 0; i < b.mLineN; ++i) EXPECT_EQ(a.mLine[i], b.mLine[i]);
        EXPECT_EQ(a.mEnko, b.mEnko);
        EXPECT_EQ(a.mBlock, b.mBlock);
    }
    for (const auto& e : after.EntNo) EXPECT_NE(e.EntType, kEntSunpo);
}

TEST(Cli, ConvertsDrawingsAndFiguresIntoTheOutputFolder) {
    TempDir src, out;
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(src.File("plan.jww"), 700));
    TJwwData d600 = SampleDrawing(600);
    ASSERT_TRUE(d600.FileOut(src.File("old.JWW"), 600));
    TJwsData f = SampleFigure(600);
    ASSERT_TRUE(f.FileOut(src.File("door.jws"), 600));

    const CliResult r = RunCli("-o " + Quote(out.path()) + " " + Quote(src.File("plan.jww")) + " " +
                                   Quote(src.File("old.JWW")) + " " + Quote(src.File("door.jws")),
                               src);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out), 9) << r.out;
    EXPECT_NE(r.out.find("→ " + out.File("plan.jww") + "\n　…… 変換完了"), std::string::npos) << r.out;

    TJwwData before, after;
    ASSERT_TRUE(before.FileIn(src.File("plan.jww")));
    ASSERT_TRUE(after.FileIn(out.File("plan.jww")));
    EXPECT_EQ(after.Enthd.jwVer, 700);
    ExpectOnlyDimensionsReplaced(before, after);

    TJwwData before600, after600;
    ASSERT_TRUE(before600.FileIn(src.File("old.JWW")));
    ASSERT_TRUE(after600.FileIn(out.File("old.JWW")));
    EXPECT_EQ(after600.Enthd.jwVer, 600);
    ExpectOnlyDimensionsReplaced(before600, after600);

    TJwsData fb, fa;
    ASSERT_TRUE(fb.FileIn(src.File("door.jws")));
    ASSERT_TRUE(fa.FileIn(out.File("door.jws")));
    ExpectOnlyDimensionsReplaced(fb, fa);

    // Converting again never overwrites: branch numbers.
    const CliResult again = RunCli("--output-dir=" + Quote(out.path()) + " " + Quote(src.File("plan.jww")), src);
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(fs::exists(out.File("plan~1.jww")));
}

TEST(Cli, ReferencePointsOption) {
    TempDir src, out;
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(src.File("p.jww"), 700));
    ASSERT_EQ(RunCli("--no-reference-points -o " + Quote(out.path()) + " " + Quote(src.File("p.jww")), src).status, 0);
    ASSERT_EQ(RunCli("-o " + Quote(out.path()) + " " + Quote(src.File("p.jww")), src).status, 0);
    TJwwData without, with;
    ASSERT_TRUE(without.FileIn(out.File("p.jww")));
    ASSERT_TRUE(with.FileIn(out.File("p~1.jww")));
    // Two SXF dimensions at top level, two reference points each.
    EXPECT_EQ(with.EntTenN, without.EntTenN + 4);
}

TEST(Cli, DefaultOutputIsBesideTheSource) {
    TempDir src;
    TJwwData d = SampleDrawing(420);
    ASSERT_TRUE(d.FileOut(src.File("a.jww"), 420));
    const CliResult r = RunCli(Quote(src.File("a.jww")), src);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(src.File("a~1.jww")));
}

struct UsageCase {
    const char* name;
    std::string args;
    int status;
    std::string inOut;
    std::string inErr;
};

class CliUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, ExitStatusAndMessages) {
    const UsageCase& c = GetParam();
    TempDir dir;
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(dir.File("ok.jww"), 700));
    WriteAll(dir.File("notes.txt"), Bytes{'x'});
    WriteAll(dir.File("bad.jww"), Bytes{'n', 'o'});
    std::string args = c.args;
    for (size_t p; (p = args.find("DIR/")) != std::string::npos;) args.replace(p, 4, dir.path());
    const CliResult r = RunCli(args, dir);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_NE(r.out.find(c.inOut), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliUsage,
    ::testing::Values(UsageCase{"Help", "--help", 0, "Usage: talvine-cli", ""},
                      UsageCase{"Version", "--version", 0, "talvine-cli ", ""},
                      UsageCase{"NoFile", "", 2, "", "no file named"},
                      UsageCase{"UnknownOption", "--frobnicate DIR/ok.jww", 2, "", "unknown option --frobnicate"},
                      UsageCase{"MissingOutputFolder", "-o DIR/nowhere DIR/ok.jww", 2, "",
                                "指定したフォルダが見つかりません。"},
                      UsageCase{"OptionWithoutValue", "DIR/ok.jww -o", 2, "", "needs a folder"},
                      UsageCase{"SkipsOtherFiles", "DIR/notes.txt DIR/missing.jww DIR/ok.jww", 1, "変換完了",
                                "skipped"},
                      UsageCase{"HeaderCheckFails", "DIR/bad.jww", 1, "変換失敗", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvine::test
