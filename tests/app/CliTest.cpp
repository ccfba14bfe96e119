// talvine-cli end to end: generated drawings and figures are converted by
// the real executable, and every output is read back.
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <array>
#include <cstdio>
#include <filesystem>

#include "tests/jww/TestFiles.h"
#include "util/Platform.h"

namespace talvine::test {
namespace {

namespace fs = std::filesystem;

struct CliResult {
    int status = -1;
    std::string out, err;
};

#ifdef _WIN32
// Quoted for the command line of a Windows program (names cannot hold '"').
std::string Quote(const std::string& s) {
    std::string q = s;
    if (!q.empty() && q.back() == '\\') q += '\\';  // a backslash before the closing quote stays one
    return "\"" + q + "\"";
}

std::string CliPath() { return platform::ExecutableDir() + "talvine-cli.exe"; }
#else
std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string CliPath() { return TALVINE_CLI_PATH; }
#endif

CliResult RunCli(const std::string& args, const TempDir& dir) {
    const std::string errFile = dir.File("stderr.txt");
    const std::string cmd = Quote(CliPath()) + " " + args + " 2>" + Quote(errFile);
    CliResult r;
#ifdef _WIN32
    // The command interpreter takes the whole line in one more pair of quotes.
    FILE* p = _wpopen(FsPath("\"" + cmd + "\"").wstring().c_str(), L"rb");
#else
    FILE* p = popen(cmd.c_str(), "r");
#endif
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
#ifdef _WIN32
    r.status = _pclose(p);
#else
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
#endif
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

namespace talvine::test {
namespace {

// A version-700 drawing with one bound image and a figure, in dir.
void WriteInfoSamples(const TempDir& dir) {
    TJwwData d = SampleDrawing(700);
    d.BindImageFolder = dir.path();
    d.BindImageExr = true;
    WriteAll(dir.File("plan.jpg"), Bytes(300, 1));
    d.BindImage.push_back(TBindImageType{u"plan.jpg", 0, false});
    d.BindImageN = 1;
    Add(d.TopLists(), Text(0, 0, u"^@BM%temp%plan.jpg,100,80"));
    SyncCounts(d);
    ASSERT_TRUE(d.FileOut(dir.File("plan.jww"), 700));
    fs::remove(dir.File("plan.jpg"));
    TJwsData f = SampleFigure(600);
    ASSERT_TRUE(f.FileOut(dir.File("door.jws"), 600));
}

std::vector<std::string> Listing(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Cli, InfoDescribesDrawingsAndFiguresAndWritesNothing) {
    TempDir dir, run;
    WriteInfoSamples(dir);
    const auto before = Listing(dir);
    const CliResult r = RunCli("--info " + Quote(dir.File("plan.jww")) + " " + Quote(dir.File("door.jws")), run);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string drawing = dir.File("plan.jww") +
                                "\n"
                                "  format: jww (drawing), version 700\n"
                                "  drawing: lines 1, arcs 2, points 1, temporary points 1, texts 3, dimensions 2, "
                                "solids 2, block inserts 2\n"
                                "  in blocks: lines 1, arcs 2, points 1, temporary points 0, texts 1, dimensions 1, "
                                "solids 2\n"
                                "  dimension parts in the drawing: texts 2, lines 2, extension lines 4, end points 4, "
                                "reference points 4\n"
                                "  dimension parts in blocks: texts 1, lines 1, extension lines 2, end points 2, "
                                "reference points 2\n";
    EXPECT_NE(r.out.find(drawing), std::string::npos) << r.out;
    const std::string rest =
        "  paper: 841 x 594 mm\n"
        "  block definitions: 2 (2 placed, 0 unplaced)\n"
        "    \"扉\" number 0: placed 1 time\n"
        "    \"窓@@SfigorgFlag@@1\" number 1: placed 2 times\n"
        "  fonts: 1\n    \"ＭＳ ゴシック\"\n"
        "  bound images: 1\n    \"plan.jpg\" (300 bytes)\n" +
        dir.File("door.jws") + "\n  format: jws (figure), version 600\n";
    EXPECT_NE(r.out.find(rest), std::string::npos) << r.out;
    const std::string figure = r.out.substr(r.out.find("door.jws"));
    EXPECT_EQ(figure.find("paper"), std::string::npos);  // a figure has no paper size
    EXPECT_EQ(Listing(dir), before);
}

TEST(Cli, InfoAsJson) {
    TempDir dir;
    WriteInfoSamples(dir);
#ifdef _WIN32
    // A name with an apostrophe, a space and a non-ASCII letter (quotes and
    // tabs cannot be part of a name on Windows).
    const std::string odd = dir.File("q't ü.jww");
#else
    // A name with a quote, a tab and a non-ASCII letter.
    const std::string odd = dir.File("q\"t\tü.jww");
#endif
    fs::copy_file(FsPath(dir.File("plan.jww")), FsPath(odd));
    const CliResult r = RunCli("--info --json " + Quote(odd) + " " + Quote(dir.File("door.jws")), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Lines(r.out), 2) << r.out;
    const std::string first = r.out.substr(0, r.out.find('\n'));
    const std::string second = r.out.substr(first.size() + 1);
    std::string jsonDir;  // the folder as a JSON string holds it
    for (char c : dir.path()) jsonDir += c == '\\' ? std::string("\\\\") : std::string(1, c);
#ifdef _WIN32
    const std::string jsonName = "q't ü.jww";
#else
    const std::string jsonName = "q\\\"t\\u0009ü.jww";
#endif
    EXPECT_EQ(first.rfind("{\"file\":\"" + jsonDir + jsonName + "\",\"format\":\"jww\",\"version\":700,"
                          "\"drawing\":{\"lines\":1,\"arcs\":2,\"points\":1,\"temporary_points\":1,\"texts\":3,"
                          "\"dimensions\":2,\"solids\":2,\"block_inserts\":2},"
                          "\"blocks\":{\"lines\":1,\"arcs\":2,\"points\":1,\"temporary_points\":0,\"texts\":1,"
                          "\"dimensions\":1,\"solids\":2},",
                          0),
              0u)
        << first;
    for (const char* part : {"\"paper\":{\"width\":841,\"height\":594}",
                             "{\"name\":\"扉\",\"number\":0,\"placed\":true,\"placements\":1}",
                             "\"fonts\":[\"ＭＳ ゴシック\"]", "\"bound_images\":[{\"name\":\"plan.jpg\",\"size\":300}]"})
        EXPECT_NE(first.find(part), std::string::npos) << part;
    EXPECT_EQ(first.back(), '}');
    EXPECT_NE(second.find("\"format\":\"jws\",\"version\":600,"), std::string::npos) << second;
    EXPECT_NE(second.find("\"paper\":null"), std::string::npos);
    EXPECT_NE(second.find("\"bound_images\":[]}"), std::string::npos);
}

TEST(Cli, InfoReportsUnreadableFilesAndUsageErrors) {
    TempDir dir;
    WriteInfoSamples(dir);
    WriteAll(dir.File("bad.jww"), Bytes{'n', 'o'});
    Bytes cut = ReadAll(dir.File("plan.jww"));
    cut.resize(cut.size() / 2);
    WriteAll(dir.File("cut.jww"), cut);
    const CliResult r = RunCli("--info " + Quote(dir.File("bad.jww")) + " " + Quote(dir.File("missing.jws")) + " " +
                                   Quote(dir.File("cut.jww")) + " " + Quote(dir.File("door.jws")),
                               dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read " + dir.File("bad.jww") + ": not a Jw_cad"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot read " + dir.File("missing.jws") + ": no such file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot read " + dir.File("cut.jww") + ": the file is damaged"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("format: jws (figure)"), std::string::npos) << r.out;  // the others are still described
    EXPECT_EQ(r.out.find("bad.jww"), std::string::npos);

    EXPECT_EQ(RunCli("--json " + Quote(dir.File("door.jws")), dir).status, 2);
    const CliResult withOutput = RunCli("--info -o " + Quote(dir.path()) + " " + Quote(dir.File("door.jws")), dir);
    EXPECT_EQ(withOutput.status, 2);
    EXPECT_NE(withOutput.err.find("--info"), std::string::npos);
    EXPECT_NE(RunCli("--help", dir).out.find("--info"), std::string::npos);
}

}  // namespace
}  // namespace talvine::test
