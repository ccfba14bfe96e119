// talvine-cli end to end: generated drawings and figures are converted by
// the real executable, and every output is read back.
#ifdef _WIN32
#include "util/WindowsApi.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <map>

#include "app/DimensionExplode.h"
#include "app/FileInfo.h"
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

std::string FileText(const std::string& path) {
    const Bytes b = ReadAll(path);
    return std::string(b.begin(), b.end());
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
    EXPECT_EQ(Lines(r.out), 13) << r.out;  // four lines per file and the summary
    EXPECT_NE(r.out.find("→ " + out.File("plan.jww") + "\n　…… 変換完了\n　寸法 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("変換 3・失敗 0・スキップ 0、寸法 "), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("talvine-cli: 3 converted, 0 failed, 0 skipped; "), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("[1/3]"), std::string::npos);  // not a terminal: no counter

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
    friend void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.name; }
};

class CliUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, ExitStatusAndMessages) {
    const UsageCase& c = GetParam();
#ifdef _WIN32
    if (std::string(c.args).find("/dev/full") != std::string::npos) GTEST_SKIP() << "no full device here";
#endif
    TempDir dir;
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(dir.File("ok.jww"), 700));
    WriteAll(dir.File("notes.txt"), Bytes{'x'});
    WriteAll(dir.File("bad.jww"), Bytes{'n', 'o'});
    std::string args = c.args;
    for (size_t p; (p = args.find("DIR/")) != std::string::npos;) args.replace(p, 4, dir.path());
    TJwwData plain = TablesOnly(700);
    ASSERT_TRUE(plain.FileOut(dir.File("plain.jww"), 700));
    fs::create_directories(FsPath(dir.File("empty")));
    WriteAll(dir.File("ok.jww.csv"), Bytes{'x'});
    const CliResult r = RunCli(args, dir);
    auto expand = [&](std::string t) {
        for (size_t p; (p = t.find("DIR/")) != std::string::npos;) t.replace(p, 4, dir.path());
        return t;
    };
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_NE(r.out.find(expand(c.inOut)), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(expand(c.inErr)), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliUsage,
    ::testing::Values(UsageCase{"Help", "--help", 0, "Usage: talvine-cli", ""},
                      UsageCase{"HelpListsExitCodes", "-h", 0, "  130  interrupted", ""},
                      UsageCase{"Version", "--version", 0, "talvine-cli ", ""},
                      UsageCase{"ShortVersion", "-V", 0, "talvine-cli ", ""},
                      UsageCase{"NoFile", "", 2, "", "no file named"},
                      UsageCase{"UnknownOption", "--frobnicate DIR/ok.jww", 2, "", "unknown option --frobnicate"},
                      UsageCase{"MissingOutputFolderIsCreated", "-o DIR/new/folder DIR/ok.jww", 0,
                                "保存先のフォルダを作成しました：DIR/new/folder\nDIR/ok.jww\n→ ", ""},
                      UsageCase{"OutputFolderBelowAFile", "-o DIR/notes.txt/sub DIR/ok.jww", 2, "",
                                "cannot create the output folder: DIR/notes.txt/sub"},
                      UsageCase{"ReportOfAnotherKind", "--report DIR/notes.txt DIR/ok.jww", 2, "",
                                "the report must be named .csv, .jsonl or .json"},
                      UsageCase{"ReportNotReplaced", "--report DIR/ok.jww.csv DIR/ok.jww", 2, "",
                                "the report exists, not replaced: DIR/ok.jww.csv"},
                      UsageCase{"InfoTakesNoReport", "--info --report DIR/r.csv DIR/ok.jww", 2, "",
                                "takes no conversion options"},
                      UsageCase{"JobsAreANumber", "-j many DIR/ok.jww", 2, "",
                                "option -j needs a number of files (0: one per core), not 'many'"},
                      UsageCase{"JobsNeedANumber", "DIR/ok.jww --jobs", 2, "", "option --jobs needs a number"},
                      UsageCase{"JobsAtOnceLogInOrder", "-j0 DIR/ok.jww DIR/bad.jww --jobs=3 DIR/ok.jww", 1,
                                "DIR/bad.jww\n→ DIR/bad~1.jww\n　…… 変換失敗\n　原因：Jw_cad の図面（.jww）・図形（.jws）ではありません\nDIR/ok.jww\n→ DIR/ok~2.jww\n",
                                "bad.jww: "},
                      UsageCase{"EmptySelection", "-r DIR/empty", 0,
                                "変換する .jww・.jws のファイルが見つかりませんでした\n変換 0・失敗 0・スキップ 0",
                                "no .jww or .jws file found"},
                      UsageCase{"SkippedInputsInJapaneseToo", "DIR/missing.jww DIR/ok.jww", 1,
                                "DIR/missing.jww\n→ （書き出しなし）\n　…… スキップ\n　原因：ファイルが見つかりません\n",
                                "skipped DIR/missing.jww: no such file"},
                      UsageCase{"OutputIsAFile", "-o DIR/notes.txt DIR/ok.jww", 2, "",
                                "-o names a file, not a folder: "},
                      UsageCase{"OutputGlued", "-oDIR/ DIR/ok.jww", 0, "ok~1.jww", ""},
                      UsageCase{"OutputGluedToBundle", "-qoDIR/ DIR/ok.jww", 0, "変換 1・失敗 0", ""},
                      UsageCase{"OptionWithoutValue", "DIR/ok.jww -o", 2, "", "needs a folder"},
                      UsageCase{"SkipsOtherFiles", "DIR/notes.txt DIR/missing.jww DIR/ok.jww", 1, "変換完了",
                                "skipped DIR/missing.jww: no such file"},
                      UsageCase{"FolderWithoutRecursive", "DIR/ DIR/ok.jww", 1, "スキップ 1",
                                "skipped DIR/: a folder (use -r"},
                      UsageCase{"HeaderCheckFails", "DIR/bad.jww", 1, "原因：Jw_cad の図面",
                                "talvine-cli: DIR/bad.jww: not a Jw_cad drawing"},
                      UsageCase{"QuietShowsFailuresAndTheSummary", "-q DIR/ok.jww DIR/bad.jww", 1,
                                "DIR/bad.jww\n→ DIR/bad~1.jww\n　…… 変換失敗\n", "1 converted, 1 failed"},
                      UsageCase{"SkipUnchanged", "--skip-unchanged DIR/plain.jww", 0, "変換不要（寸法なし）", ""},
                      UsageCase{"QuietShowsSkippedInputs", "-q DIR/ DIR/ok.jww", 1, "原因：フォルダです", ""},
                      UsageCase{"FullStdoutIsAnError", "DIR/ok.jww >/dev/full", 1, "", "cannot write to standard output"},
                      UsageCase{"BriefNeedsInfo", "--brief DIR/ok.jww", 2, "", "--brief needs --info"},
                      UsageCase{"Render", "--render DIR/ok.svg DIR/ok.jww", 0, "DIR/ok.jww -> DIR/ok.svg", ""},
                      UsageCase{"RenderDir", "--render-dir DIR/ DIR/ok.jww DIR/plain.jww", 0, "-> DIR/plain.svg", ""},
                      UsageCase{"CompareDrawsOneFile", "--compare DIR/c.svg DIR/ok.jww DIR/plain.jww", 2, "",
                                "draw one file"},
                      UsageCase{"RenderOfABrokenFile", "--render DIR/b.svg DIR/bad.jww", 1, "", "cannot read"},
                      UsageCase{"TemporaryPointsNeedAPicture", "--temporary-points DIR/ok.jww", 2, "",
                                "--temporary-points needs"}),
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
                                "  format: jww (drawing), version 7.00\n"
                                "  drawing: lines 1, arcs 2, points 1, temporary points 1, texts 3, dimensions 2, "
                                "solids 2, block inserts 2\n"
                                "  in blocks: lines 1, arcs 2, points 1, temporary points 0, texts 1, dimensions 1, "
                                "solids 2\n"
                                "  dimension parts in the drawing: dimensions 2 -> texts 1, lines 2, extension lines 4, "
                                "end points 4, reference points 4\n"
                                "  dimension parts in blocks: dimensions 1 -> texts 1, lines 1, extension lines 2, "
                                "end points 2, reference points 2\n";
    EXPECT_NE(r.out.find(drawing), std::string::npos) << r.out;
    const std::string rest =
        "  paper: A1, 841 x 594 mm\n"
        "  block definitions: 2 (2 placed, 0 unplaced)\n"
        "    \"扉\" number 0: placed 1 time\n"
        "    \"窓@@SfigorgFlag@@1\" number 1: placed 2 times\n"
        "  fonts: 1\n    \"ＭＳ ゴシック\"\n"
        "  bound images: 1\n    \"plan.jpg\" (300 bytes)\n" +
        dir.File("door.jws") + "\n  format: jws (figure), version 6.00\n";
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
    const std::string jsonName = "q't ü.jww";
#else
    // A name with a quote, a tab and a non-ASCII letter.
    const std::string odd = dir.File("q\"t\tü.jww");
    const std::string jsonName = "q\\\"t\\u0009ü.jww";
#endif
    fs::copy_file(FsPath(dir.File("plan.jww")), FsPath(odd));
    const CliResult r = RunCli("--info --json " + Quote(odd) + " " + Quote(dir.File("door.jws")), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Lines(r.out), 2) << r.out;
    const std::string first = r.out.substr(0, r.out.find('\n'));
    const std::string second = r.out.substr(first.size() + 1);
    std::string jsonDir;  // the folder as a JSON string holds it
    for (char c : dir.path()) jsonDir += c == '\\' ? std::string("\\\\") : std::string(1, c);
    EXPECT_EQ(first.rfind("{\"file\":\"" + jsonDir + jsonName + "\",\"format\":\"jww\",\"version\":700,"
                          "\"version_text\":\"7.00\","
                          "\"drawing\":{\"lines\":1,\"arcs\":2,\"points\":1,\"temporary_points\":1,\"texts\":3,"
                          "\"dimensions\":2,\"solids\":2,\"block_inserts\":2},"
                          "\"blocks\":{\"lines\":1,\"arcs\":2,\"points\":1,\"temporary_points\":0,\"texts\":1,"
                          "\"dimensions\":1,\"solids\":2},",
                          0),
              0u)
        << first;
    for (const char* part : {"\"paper\":{\"name\":\"A1\",\"width\":841,\"height\":594}", "\"version_text\":\"7.00\"",
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

namespace talvine::test {
namespace {

// --info of a source predicts what its conversion makes: the output's
// counts are the source's plus the dimension parts.
TEST(Cli, InfoOfTheSourcePredictsTheOutput) {
    TempDir dir, out;
    TJwwData d = SampleDrawing(700);
    // A blank dimension text and a degenerate extension line are left out.
    TEntJwwSunpo sxf = Dimension(0, 0, 30, 0, u"\u3000", true);
    sxf.Ho2.end_x = sxf.Ho2.start_x, sxf.Ho2.end_y = sxf.Ho2.start_y;
    Add(d.TopLists(), sxf);
    SyncCounts(d);
    ASSERT_TRUE(d.FileOut(dir.File("p.jww"), 700));
    ASSERT_EQ(RunCli("-o " + Quote(out.path()) + " " + Quote(dir.File("p.jww")), dir).status, 0);
    TFileInfo before, after;
    std::string error;
    ASSERT_TRUE(CollectFileInfo(dir.File("p.jww"), before, error)) << error;
    ASSERT_TRUE(CollectFileInfo(out.File("p.jww"), after, error)) << error;
    const auto& b = before.counts;
    const auto& a = after.counts;
    const auto& p = before.drawingParts;
    const auto& q = before.blockParts;
    EXPECT_EQ(a.n6 + a.n6a, 0);
    EXPECT_EQ(a.n1, b.n1 + p.lines + p.extensionLines);
    EXPECT_EQ(a.n5, b.n5 + p.texts);
    EXPECT_EQ(a.n3 + a.n4, b.n3 + b.n4 + p.endPoints + p.referencePoints);
    EXPECT_EQ(a.n1a, b.n1a + q.lines + q.extensionLines);
    EXPECT_EQ(a.n5a, b.n5a + q.texts);
    EXPECT_EQ(a.n3a + a.n4a, b.n3a + b.n4a + q.endPoints + q.referencePoints);
    EXPECT_LT(p.texts, b.ns1);  // every dimension text is a part; blank ones make nothing
    const std::string brief = FileInfoBrief(before);
    EXPECT_NE(brief.find(": drawing 7.00, lines "), std::string::npos) << brief;
    EXPECT_NE(brief.find(", dimensions 4 (-> lines "), std::string::npos) << brief;
    EXPECT_NE(brief.find(", paper A1\n"), std::string::npos) << brief;
}

TEST(Cli, RecursiveTakesTheDrawingsOfAFolderInPathOrder) {
    TempDir dir, out;
    fs::create_directories(dir.File("b"));
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(dir.File("b/two.jww"), 700));
    ASSERT_TRUE(d.FileOut(dir.File("one.jww"), 700));
    WriteAll(dir.File("b/notes.txt"), Bytes{'x'});
    const CliResult r = RunCli("-r -o " + Quote(out.path()) + " " + Quote(dir.path()), out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_LT(r.out.find(dir.File("b/two.jww")), r.out.find(dir.File("one.jww")));
    EXPECT_TRUE(fs::exists(out.File("b/two.jww")));  // the tree is kept
    EXPECT_TRUE(fs::exists(out.File("one.jww")));
}

// An archive in Japanese folders: converted with its tree into a folder
// the run creates, with a report; run again with --resume, nothing is done
// twice, and a source changed since is converted anew.
TEST(Cli, ConvertsAnArchiveWithItsTreeResumesAndReports) {
    TempDir src, out;
    fs::create_directories(FsPath(src.File("案件/平面")));
    fs::create_directories(FsPath(src.File("案件/立面")));
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(src.File("案件/平面/F-2406.jww"), 700));
    ASSERT_TRUE(d.FileOut(src.File("案件/立面/F-2406.jww"), 700));
    TJwsData f = SampleFigure(600);
    ASSERT_TRUE(f.FileOut(src.File("案件/立面/扉,両開き.jws"), 600));
    Bytes half = ReadAll(src.File("案件/立面/F-2406.jww"));
    half.resize(100);
    WriteAll(src.File("案件/立面/half.jww"), half);
    const std::string dest = out.File("出力/夜間");
    const std::string report = out.File("記録.csv");

    CliResult r = RunCli("-r -o " + Quote(dest) + " --report " + Quote(report) + " " + Quote(src.File("案件")), out);
    EXPECT_EQ(r.status, 1) << r.err;  // half.jww fails
    EXPECT_EQ(r.out.rfind("保存先のフォルダを作成しました：" + dest + "\n", 0), 0u) << r.out;
    for (const char* o : {"平面/F-2406.jww", "立面/F-2406.jww", "立面/扉,両開き.jws"})
        EXPECT_TRUE(fs::exists(FsPath(out.File(std::string("出力/夜間/") + o)))) << o;
    const std::string csv = FileText(report);
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF" "source,output,result,reason,dimensions,lines,texts,points,"
                        "unplaced_definitions,bytes_in,bytes_out,milliseconds\r\n", 0), 0u) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5);  // the head and four files
    EXPECT_NE(csv.find(",failed,ファイルが壊れているか、途中で切れています,0,0,0,0,0,100,0,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\"" + src.File("案件/立面/扉,両開き.jws") + "\",\"" + out.File("出力/夜間/立面/扉,両開き.jws") +
                       "\",converted,,"),
              std::string::npos) << csv;

    // Resumed: what was converted stays, the damaged file fails again.
    const std::string jsonl = out.File("記録2.jsonl");
    r = RunCli("-r -o " + Quote(dest) + " --resume --report " + Quote(jsonl) + " " + Quote(src.File("案件")), out);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find("　…… 変換済み（出力あり）"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("変換 0・失敗 1・スキップ 0・変換済み 3、"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("0 converted, 1 failed, 0 skipped, 3 already converted"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(FsPath(out.File("出力/夜間/平面/F-2406~1.jww"))));
    const std::string rows = FileText(jsonl);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 4);
    EXPECT_NE(rows.find("{\"source\":" + JsonString(src.File("案件/平面/F-2406.jww")) + ",\"output\":" +
                        JsonString(out.File("出力/夜間/平面/F-2406.jww")) + ",\"result\":\"resumed\",\"reason\":\"\""),
              std::string::npos) << rows;

    // A source changed after its output was made is converted again, beside it.
    fs::last_write_time(FsPath(src.File("案件/平面/F-2406.jww")),
                        fs::last_write_time(FsPath(out.File("出力/夜間/平面/F-2406.jww"))) + std::chrono::seconds(5));
    r = RunCli("-r -q -o " + Quote(dest) + " --resume " + Quote(src.File("案件/平面")), out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(FsPath(out.File("出力/夜間/F-2406.jww"))));  // named below 平面 now: its own tree
}

// --info over folders: one line or object a file, then one summary.
TEST(Cli, InfoTakesFoldersWithRecursiveAndSumsThemUp) {
    TempDir dir;
    fs::create_directories(FsPath(dir.File("図面/古い")));
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(dir.File("図面/a.jww"), 700));
    TJwwData old = SampleDrawing(600);
    ASSERT_TRUE(old.FileOut(dir.File("図面/古い/b.jww"), 600));
    TJwwData plain = TablesOnly(700);
    ASSERT_TRUE(plain.FileOut(dir.File("図面/plain.jww"), 700));
    WriteAll(dir.File("図面/bad.jww"), Bytes{'n', 'o'});
    const int64_t dims = DataTransJWW(d, true).dimensions;

    CliResult r = RunCli("--info -r --json " + Quote(dir.File("図面")), dir);
    EXPECT_EQ(r.status, 1) << r.err;  // bad.jww cannot be read
    EXPECT_EQ(Lines(r.out), 4) << r.out;
    const std::string summary = r.out.substr(r.out.rfind("{\"summary\""));
    EXPECT_EQ(summary, "{\"summary\":{\"files\":4,\"read\":3,\"withDimensions\":2,\"dimensions\":" +
                           std::to_string(2 * dims) + ",\"versions\":{\"drawing 6.00\":1,\"drawing 7.00\":2}," +
                           "\"unreadable\":[{\"file\":" + JsonString(dir.File("図面/bad.jww")) +
                           ",\"reason\":\"not a Jw_cad drawing (.jww) or figure (.jws)\"}]}}\n");

    r = RunCli("--info -r --brief " + Quote(dir.File("図面")), dir);
    EXPECT_EQ(Lines(r.out), 3 + 4 + 1) << r.out;  // three files, the summary with two versions and the unreadable one
    EXPECT_NE(r.out.find("summary: 3 of 4 files read, 2 with dimensions, " + std::to_string(2 * dims) +
                         " dimensions in all\n  drawing 6.00: 1 file\n  drawing 7.00: 2 files\n  unreadable: 1 file\n"),
              std::string::npos) << r.out;
}

// A drawing large enough that writing it takes a while.
void WriteLargeDrawing(const std::string& path) {
    TJwwData d = TablesOnly(700);
    for (int i = 0; i < 40000; ++i) Add(d.TopLists(), Dimension(i, 0, i + 10, 0, u"10", true));
    SyncCounts(d);
    ASSERT_TRUE(d.FileOut(path, 700));
}

#ifndef _WIN32
// (A terminal and signals are POSIX; the console of Windows is tested in its
// own way.)
// On a terminal each file's first line carries its number.
TEST(Cli, CountsFilesOnATerminal) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) for a terminal";
    TempDir dir, out;
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(dir.File("a.jww"), 700));
    ASSERT_TRUE(d.FileOut(dir.File("b.jww"), 700));
    const std::string cli = Quote(TALVINE_CLI_PATH) + " -o " + Quote(out.path()) + " " + Quote(dir.File("a.jww")) +
                            " " + Quote(dir.File("b.jww"));
    FILE* p = popen(("script -qec " + Quote(cli) + " /dev/null").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    std::array<char, 4096> buf;
    for (size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) text.append(buf.data(), n);
    pclose(p);
    EXPECT_NE(text.find("[1/2] " + dir.File("a.jww")), std::string::npos) << text;
    EXPECT_NE(text.find("[2/2] " + dir.File("b.jww")), std::string::npos) << text;
}

// ---- Interruption, in a child process ------------------------------------

struct Child {
    pid_t pid = -1;
    std::string out, err;
};

Child StartCli(const std::vector<std::string>& args, const TempDir& dir) {
    Child c;
    c.out = dir.File("child.out");
    c.err = dir.File("child.err");
    c.pid = fork();
    if (c.pid == 0) {
        const int o = open(c.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(c.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        std::vector<char*> argv{const_cast<char*>(TALVINE_CLI_PATH)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TALVINE_CLI_PATH, argv.data());
        _exit(127);
    }
    return c;
}

// Waits until a hidden temporary output appears in folder (a write is under way).
bool WaitForTemporaryOutput(const std::string& folder) {
    for (int i = 0; i < 20000; ++i) {
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().filename().string().rfind(".~", 0) == 0) return true;
        usleep(500);
    }
    return false;
}

std::string Text(const std::string& path) {
    const Bytes b = ReadAll(path);
    return std::string(b.begin(), b.end());
}

struct SignalCase {
    const char* name;
    int sig;
    int converted;  // files written before the process ended
    int files = 3;
    const char* jobs = "1";  // -j
    friend void PrintTo(const SignalCase& c, std::ostream* os) { *os << c.name; }
};

class CliInterrupt : public ::testing::TestWithParam<SignalCase> {};

TEST_P(CliInterrupt, StopsSaysHowManyAreLeftAndLeavesNothingBehind) {
    const SignalCase& c = GetParam();
    TempDir src, out, logs;
    WriteLargeDrawing(src.File("a.jww"));
    std::vector<std::string> args = {"-j", c.jobs, "-o", out.path(), src.File("a.jww")};
    for (int i = 1; i < c.files; ++i) {
        const std::string copy = src.File(std::string(1, static_cast<char>('a' + i)) + ".jww");
        fs::copy_file(src.File("a.jww"), copy);
        args.push_back(copy);
    }
    Child child = StartCli(args, logs);
    ASSERT_GT(child.pid, 0);
    ASSERT_TRUE(WaitForTemporaryOutput(out.path()));
    kill(child.pid, c.sig);
    int status = 0;
    waitpid(child.pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const std::string err = Text(child.err), stdoutText = Text(child.out);
    const int left = c.files - c.converted;
    EXPECT_NE(err.find("interrupted; " + std::to_string(left) + " of " + std::to_string(c.files) +
                       " files not converted"),
              std::string::npos)
        << err;
    EXPECT_NE(stdoutText.find("未変換のファイル " + std::to_string(left) + " 件"), std::string::npos) << stdoutText;
    EXPECT_EQ(stdoutText.find("[ESC]"), std::string::npos);
    // Only finished outputs remain; no temporary file, no work folder.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(out.path())) names.push_back(e.path().filename().string());
    EXPECT_EQ(static_cast<int>(names.size()), c.converted) << ::testing::PrintToString(names);
    for (const auto& n : names) EXPECT_NE(n[0], '.') << n;
    const fs::path work = fs::path(TALVINE_CLI_PATH).parent_path() / "TEMP" / std::to_string(child.pid);
    EXPECT_FALSE(fs::exists(work)) << work;
}

INSTANTIATE_TEST_SUITE_P(Signals, CliInterrupt,
                         ::testing::Values(SignalCase{"CtrlC", SIGINT, 1}, SignalCase{"Terminate", SIGTERM, 0},
                                           SignalCase{"HangUp", SIGHUP, 0},
                                           // Three at once: those started finish, or all are removed.
                                           SignalCase{"CtrlCThreeAtOnce", SIGINT, 3, 5, "3"},
                                           SignalCase{"TerminateThreeAtOnce", SIGTERM, 0, 5, "3"}),
                         [](const auto& info) { return std::string(info.param.name); });

#else
// ---- Interruption on a Windows console ------------------------------------

// Ctrl-Break sent to the tool's console process group stops the run before
// the next file: the file being written is finished, the rest is left.
TEST(CliInterrupt, CtrlBreakStopsBeforeTheNextFile) {
    TempDir src, out, logs;
    WriteLargeDrawing(src.File("a.jww"));
    for (const char* n : {"b.jww", "c.jww"}) fs::copy_file(FsPath(src.File("a.jww")), FsPath(src.File(n)));

    // The event goes through a console the two processes share.
    if (GetConsoleWindow() == nullptr) AllocConsole();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto create = [&](const std::string& path) {
        return CreateFileW(FsPath(path).wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE o = create(logs.File("out.txt")), e = create(logs.File("err.txt"));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = o;
    si.hStdError = e;
    std::wstring cmd = FsPath(Quote(CliPath()) + " -o " + Quote(out.path()) + " " + Quote(src.File("a.jww")) + " " +
                              Quote(src.File("b.jww")) + " " + Quote(src.File("c.jww")))
                           .wstring();
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                               &si, &pi));
    CloseHandle(o);
    CloseHandle(e);
    bool writing = false;
    for (int i = 0; i < 20000 && !writing; ++i) {
        for (const auto& f : fs::directory_iterator(FsPath(out.path())))
            if (f.path().filename().wstring().rfind(L".~", 0) == 0) writing = true;
        if (!writing) Sleep(1);
    }
    ASSERT_TRUE(writing);
    const bool sent = GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, pi.dwProcessId) != 0;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!sent) GTEST_SKIP() << "no console to send Ctrl-Break through";
    EXPECT_EQ(code, 130u);
    const Bytes err = ReadAll(logs.File("err.txt"));
    const std::string errText(err.begin(), err.end());
    EXPECT_NE(errText.find("interrupted; 2 of 3 files not converted"), std::string::npos) << errText;
    std::vector<std::string> names;
    for (const auto& f : fs::directory_iterator(FsPath(out.path()))) names.push_back(f.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"a.jww"});
}
#endif

}  // namespace
}  // namespace talvine::test

namespace talvine::test {
namespace {

// The pictures never replace a file: a drawing named as the picture is a
// usage error, a named picture that exists is left alone, and --render-dir
// gives a taken name a branch number. Every file there before keeps its
// bytes, and nothing but the pictures named is left in the folder.
struct PictureCase {
    const char* name;
    std::string args;
    int status;
    std::vector<std::string> made;  // the files the run adds, sorted
    std::string inOut, inErr;
    friend void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }
};

class CliPictures : public ::testing::TestWithParam<PictureCase> {};

TEST_P(CliPictures, NeverReplaceAFile) {
    const PictureCase& c = GetParam();
    TempDir dir, run;
    TJwwData d = SampleDrawing(700);
    ASSERT_TRUE(d.FileOut(dir.File("plan.jww"), 700));
    TJwsData f = SampleFigure(600);
    ASSERT_TRUE(f.FileOut(dir.File("door.jws"), 600));
    WriteAll(dir.File("plan.svg"), Bytes{'k', 'e', 'e', 'p'});
    std::map<std::string, Bytes> before;
    for (const std::string& name : Listing(dir)) before[name] = ReadAll(dir.File(name));
    auto expand = [&](std::string t) {
        for (size_t p; (p = t.find("DIR/")) != std::string::npos;) t.replace(p, 4, dir.path());
        return t;
    };
    const CliResult r = RunCli(expand(c.args), run);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_NE(r.out.find(expand(c.inOut)), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(expand(c.inErr)), std::string::npos) << r.err;
    std::vector<std::string> made;
    for (const std::string& name : Listing(dir)) {
        if (!before.count(name)) made.push_back(name);
        else EXPECT_EQ(ReadAll(dir.File(name)), before[name]) << name << " changed";
    }
    EXPECT_EQ(made, c.made);
    for (const std::string& name : made) {
        const Bytes svg = ReadAll(dir.File(name));
        EXPECT_EQ(std::string(svg.end() - 7, svg.end()), "</svg>\n") << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliPictures,
    ::testing::Values(
        PictureCase{"RenderOfSwappedArguments", "--render DIR/plan.jww DIR/door.jws", 2, {}, "",
                    "--render would write its picture over a drawing or figure: DIR/plan.jww"},
        PictureCase{"CompareOfSwappedArguments", "--compare DIR/door.jws DIR/plan.jww", 2, {}, "",
                    "--compare would write its picture over a drawing or figure: DIR/door.jws"},
        PictureCase{"DrawingNamedInCapitals", "--render=DIR/PLAN.JWW DIR/plan.jww", 2, {}, "", "over a drawing"},
        PictureCase{"RenderToATakenName", "--render DIR/plan.svg DIR/plan.jww", 1, {}, "",
                    "DIR/plan.svg exists, not replaced"},
        PictureCase{"CompareToAFolder", "--compare DIR/ DIR/plan.jww", 1, {}, "", "exists, not replaced"},
        PictureCase{"RenderToAFreeName", "--render DIR/new.svg DIR/plan.jww", 0, {"new.svg"},
                    "DIR/plan.jww -> DIR/new.svg", ""},
        PictureCase{"RenderDirGivesATakenNameABranchNumber", "--render-dir DIR/ DIR/plan.jww DIR/door.jws", 0,
                    {"door.svg", "plan~1.svg"}, "DIR/plan.jww -> DIR/plan~1.svg\nDIR/door.jws -> DIR/door.svg\n",
                    ""},
        PictureCase{"RenderDirDrawingOneFileTwice", "--render-dir DIR/ DIR/door.jws DIR/door.jws", 0,
                    {"door.svg", "door~1.svg"}, "DIR/door.jws -> DIR/door~1.svg", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvine::test
