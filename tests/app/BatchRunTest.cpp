// The batch run: output naming, the log, stopping, and the ways a file can
// fail, all without a window.
#include "app/BatchRun.h"
#include "app/FileInfo.h"
#include "app/RunReport.h"

#ifdef _WIN32
#include "util/WindowsApi.h"
#include <sddl.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "tests/app/RunFixture.h"
#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine::test {
namespace {

namespace fs = std::filesystem;

std::u16string U(const std::string& s) { return Utf8ToUtf16(s); }

// ---- Files and folders others keep from us ---------------------------------
//
// A file that cannot be read: without permission on POSIX systems; on
// Windows held open by another program that shares it with nobody (as a
// CAD program holding the drawing does). A folder that cannot be written:
// read-only for everyone.

#ifdef _WIN32
HANDLE g_heldFile = INVALID_HANDLE_VALUE;

bool SetFolderAccess(const std::string& folder, bool readOnly) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(readOnly ? L"D:P(A;OICI;GRGX;;;WD)" : L"D:P(A;OICI;GA;;;WD)",
                                                              SDDL_REVISION_1, &sd, nullptr))
        return false;
    const std::wstring w = FsPath(folder).wstring();
    const bool ok = SetFileSecurityW(w.c_str(), DACL_SECURITY_INFORMATION, sd) != 0;
    LocalFree(sd);
    return ok;
}
#endif

void DenyReading(const std::string& file) {
#ifdef _WIN32
    g_heldFile = CreateFileW(FsPath(file).wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
#else
    chmod(file.c_str(), 0);
#endif
}

void DenyWriting(const std::string& folder) {
#ifdef _WIN32
    SetFolderAccess(folder, true);
#else
    chmod(folder.c_str(), 0555);
#endif
}

// Undoes both for the files and folders of a test.
void AllowAgain(const std::string& file, const std::string& folder) {
#ifdef _WIN32
    (void)file;
    if (g_heldFile != INVALID_HANDLE_VALUE) CloseHandle(g_heldFile);
    g_heldFile = INVALID_HANDLE_VALUE;
    SetFolderAccess(folder, false);
#else
    chmod(folder.c_str(), 0755);
    chmod(file.c_str(), 0644);
#endif
}

TEST(BatchRun, ConvertsIntoTheFolderAndLogsFourLinesPerFile) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww");
    const std::string b = f.Figure("B.JWS");
    const TRunSummary s = f.Run({a, b});
    EXPECT_TRUE(s.started);
    EXPECT_EQ(s.converted, 2);
    ASSERT_EQ(f.log.size(), 9u);
    EXPECT_EQ(f.log[0], U(a));
    EXPECT_EQ(f.log[1], u"→ " + U(f.out.File("a.jww")));
    EXPECT_EQ(f.log[2], u"\u3000……\u0020変換完了");
    EXPECT_EQ(f.log[3].substr(0, 4), u"\u3000寸法 ");
    EXPECT_EQ(f.log[5], u"→ " + U(f.out.File("B.JWS")));  // the name keeps its case
    EXPECT_EQ(f.log[8].rfind(u"変換 2・失敗 0・スキップ 0、寸法 ", 0), 0u);
    EXPECT_EQ(f.saved, 1);
    EXPECT_EQ(f.shown, 1);
    // Nothing else is left in the output or work folders.
    EXPECT_EQ(std::distance(fs::directory_iterator(f.out.path()), fs::directory_iterator()), 2);
    EXPECT_TRUE(fs::is_empty(f.work.path()));
    // A figure stays a figure in its own version.
    EXPECT_TRUE(TJwsData::FileCheck(f.out.File("B.JWS")));
}

TEST(BatchRun, TakenNamesGetBranchNumbersAndTheSameSourceTwiceGivesTwoFiles) {
    RunFixture f;
    const std::string a = f.Drawing("Plan.JWW");
    WriteAll(f.out.File("Plan.JWW"), Bytes{'x'});
    const TRunSummary s = f.Run({a, a});
    EXPECT_EQ(s.converted, 2);
    EXPECT_EQ(f.log[1], u"→ " + U(f.out.File("Plan~1.jww")));
    EXPECT_EQ(f.log[5], u"→ " + U(f.out.File("Plan~2.jww")));
    EXPECT_EQ(ReadAll(f.out.File("Plan.JWW")), Bytes{'x'});  // never overwritten
}

TEST(BatchRun, SourceFolderModeAlwaysBranches) {
    RunFixture f;
    f.settings.folderMode = TOutputFolder::kSource;
    const std::string a = f.Drawing("x.jww");
    const Bytes original = ReadAll(a);
    f.Run({a, a});
    EXPECT_EQ(f.log[1], u"→ " + U(f.src.File("x~1.jww")));
    EXPECT_EQ(f.log[5], u"→ " + U(f.src.File("x~2.jww")));
    EXPECT_EQ(ReadAll(a), original);
}

// ---- Why a file fails ------------------------------------------------------

struct FailureCase {
    const char* name;
    // Makes the source (and spoils the output folder) in f; returns the source.
    std::function<std::string(RunFixture&)> setup;
    TFileFailure failure;
    const char16_t* reason;  // part of the reason line
    bool needsNonRoot = false;
    friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

class BatchRunFailure : public ::testing::TestWithParam<FailureCase> {};

// The run and every check of one case; "" when all hold, else what failed.
std::string RunFailureCase(const FailureCase& c, RunFixture& f, const std::string& src) {
    std::vector<TFileResult> results;
    f.cb.fileDone = [&](const TFileResult& r) { results.push_back(r); };
    const TRunSummary s = f.Run({src});
    std::string wrong;
    auto check = [&](bool ok, const std::string& what) {
        if (!ok) wrong += what + "; ";
    };
    check(s.failed == 1, "not one failed file");
    if (results.size() != 1 || f.log.size() != 5) return wrong + "not one file with five log lines";
    check(results[0].failure == c.failure,
          "failure " + std::to_string(static_cast<int>(results[0].failure)));
    check(f.log[2] == u"\u3000…… 変換失敗", "third line");  // the three lines stay as they were
    check(f.log[3].rfind(u"\u3000原因：", 0) == 0, "reason prefix: " + Utf16ToUtf8(f.log[3]));
    check(f.log[3].find(c.reason) != std::u16string::npos, "reason: " + Utf16ToUtf8(f.log[3]));
    check(f.log[3].find(u"Error") == std::u16string::npos, "an internal text");
    check(f.log[4] == u"変換 0・失敗 1・スキップ 0、寸法 0 を分解", "summary: " + Utf16ToUtf8(f.log[4]));
    check(!FailureTextEnglish(c.failure, results[0].detail).empty(), "no English reason");
    return wrong;
}

TEST_P(BatchRunFailure, IsLoggedWithItsReasonAndLeavesNothing) {
    const FailureCase& c = GetParam();
    RunFixture f;
    const std::string src = c.setup(f);
    std::string wrong;
#ifdef _WIN32
    if (c.failure == TFileFailure::kOutputNotWritable && platform::IsDirWritable(f.out.path())) {
        AllowAgain(src, f.out.path());
        GTEST_SKIP() << "the access rules of folders are not enforced here";
    }
    wrong = RunFailureCase(c, f, src);
#else
    if (c.needsNonRoot && geteuid() == 0) {
        // Root may read and write anywhere: the run goes as a plain user.
        for (const auto* d : {&f.src, &f.out}) chmod(d->path().c_str(), (c.failure == TFileFailure::kOutputNotWritable && d == &f.out) ? 0555 : 0755);
        chmod(f.work.path().c_str(), 0777);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
            _exit(RunFailureCase(c, f, src).empty() ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot become a plain user";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a check failed as a plain user";
    } else {
        wrong = RunFailureCase(c, f, src);
    }
#endif
    AllowAgain(src, f.out.path());
    EXPECT_EQ(wrong, "");
    // Nothing is left in the output folder, not even a temporary file.
    if (fs::is_directory(f.out.path())) {
        for (const auto& e : fs::directory_iterator(f.out.path()))
            EXPECT_FALSE(e.is_regular_file() && e.path().filename().string()[0] == '.') << e.path();
    }
    EXPECT_FALSE(fs::exists(f.out.File(fs::path(src).filename().string())));
}

std::string Cut(RunFixture& f, const std::string& name, double share) {
    Bytes b = ReadAll(f.Drawing("whole.jww"));
    b.resize(static_cast<size_t>(static_cast<double>(b.size()) * share));
    WriteAll(f.src.File(name), b);
    return f.src.File(name);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BatchRunFailure,
    ::testing::Values(
        FailureCase{"NotADrawing",
                    [](RunFixture& f) {
                        WriteAll(f.src.File("notes.jww"), Bytes(40, 'x'));
                        return f.src.File("notes.jww");
                    },
                    TFileFailure::kNotJw, u"図面（.jww）・図形（.jws）ではありません"},
        FailureCase{"UnknownVersion",
                    [](RunFixture& f) {
                        WriteAll(f.src.File("new.jww"), ByteBuilder().raw("JwwData.").u32(800).fill(0, 64).bytes());
                        return f.src.File("new.jww");
                    },
                    TFileFailure::kUnknownVersion, u"バージョン"},
        FailureCase{"HalfAFile", [](RunFixture& f) { return Cut(f, "half.jww", 0.5); }, TFileFailure::kDamaged,
                    u"壊れている"},
        FailureCase{"MagicWithoutVersion",
                    [](RunFixture& f) {
                        WriteAll(f.src.File("ten.jww"), ByteBuilder().raw("JwwData.").u8(1).bytes());
                        return f.src.File("ten.jww");
                    },
                    TFileFailure::kDamaged, u"途中で切れて"},
        FailureCase{"FigureNamedJww",
                    [](RunFixture& f) {
                        WriteAll(f.src.File("fig.jww"), ReadAll(f.Figure("f.jws")));
                        return f.src.File("fig.jww");
                    },
                    TFileFailure::kWrongExtension, u"拡張子を .jws に"},
        FailureCase{"DrawingNamedJws",
                    [](RunFixture& f) {
                        WriteAll(f.src.File("plan.jws"), ReadAll(f.Drawing("p.jww")));
                        return f.src.File("plan.jws");
                    },
                    TFileFailure::kWrongExtension, u"拡張子を .jww に"},
        FailureCase{"Vanished", [](RunFixture& f) { return f.src.File("gone.jww"); }, TFileFailure::kVanished,
                    u"見つかりません"},
        FailureCase{"NoReadPermission",
                    [](RunFixture& f) {
                        const std::string a = f.Drawing("locked.jww");
                        DenyReading(a);
                        return a;
                    },
                    TFileFailure::kCannotRead, u"アクセス権", true},
        FailureCase{"OutputFolderMissing",
                    [](RunFixture& f) {
                        f.settings.folderMode = TOutputFolder::kDesktop;
                        f.settings.desktopDir = f.out.File("no/such/desktop");
                        return f.Drawing("a.jww");
                    },
                    TFileFailure::kOutputFolderMissing, u"保存先のフォルダがありません"},
        FailureCase{"OutputFolderIsAFile",
                    [](RunFixture& f) {
                        WriteAll(f.out.File("notafolder"), Bytes{'x'});
                        f.settings.folderMode = TOutputFolder::kDesktop;
                        f.settings.desktopDir = f.out.File("notafolder");
                        return f.Drawing("a.jww");
                    },
                    TFileFailure::kOutputFolderMissing, u"保存先のフォルダがありません"},
        FailureCase{"OutputFolderNotWritable",
                    [](RunFixture& f) {
                        const std::string a = f.Drawing("a.jww");
                        DenyWriting(f.out.path());
                        return a;
                    },
                    TFileFailure::kOutputNotWritable, u"書き込めません", true}),
    [](const auto& info) { return std::string(info.param.name); });

#ifndef _WIN32
// A full disk (here: the file-size limit) fails the file with its reason and
// leaves no partial output. In a child process, so that the limit stays there.
// (Windows has no such limit; its full disk is tested in the platform layer.)
TEST(BatchRun, FullDiskFailsTheFile) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{512, 512};
        setrlimit(RLIMIT_FSIZE, &limit);
        TFileFailure failure = TFileFailure::kNone;
        f.cb.fileDone = [&](const TFileResult& r) { failure = r.failure; };
        f.Run({a});
        _exit(static_cast<int>(failure));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(TFileFailure::kDiskFull));
    EXPECT_TRUE(fs::is_empty(f.out.path()));
}
#endif

// ---- What a conversion did ------------------------------------------------------

// A drawing with known dimensions: at top level a plain one and an SXF one
// with a blank text and a degenerate extension line; in a placed block an
// SXF one.
TJwwData KnownDimensions() {
    TJwwData d = TablesOnly(700);
    Add(d.TopLists(), Dimension(0, 0, 100, 0, u"100", false));  // line, text
    TEntJwwSunpo sxf = Dimension(0, 10, 50, 10, u"\u3000", true);
    sxf.Ho1.end_x = sxf.Ho1.start_x, sxf.Ho1.end_y = sxf.Ho1.start_y;  // line, line, 4 points
    Add(d.TopLists(), sxf);
    const int placed = AddBlockDef(d, u"placed");
    Add(ListsOf(d.EntBlockDef[static_cast<size_t>(placed)]), Dimension(0, 0, 10, 0, u"10", true));  // 3 lines, text, 4 points
    Add(d.TopLists(), Insert(d.EntBlockDef[static_cast<size_t>(placed)].nNumber, 0, 0));
    SyncCounts(d);
    return d;
}

// A figure cut from a drawing keeps every definition of that drawing,
// placed or not; the output leaves the unplaced ones out, and the log, the
// result and the summary say how many.
TEST(BatchRun, TellsOfUnplacedDefinitionsLeftOut) {
    RunFixture f;
    TJwsData fig = SampleFigure(700);
    for (const char16_t* name : {u"SHEET@@SfigorgFlag@@4", u"da@@SfigorgFlag@@4", u"柱"}) {
        const int def = AddBlockDef(fig, name);
        Add(ListsOf(fig.EntBlockDef[static_cast<size_t>(def)]), TEntJwwLine{Attr(), 0, 0, 10, 0});
    }
    SyncCounts(fig);
    const int32_t before = fig.EntBlockNum;
    KeepEveryDefinition(fig);
    ASSERT_TRUE(fig.FileOut(f.src.File("cut.jws"), 700));
    const TRunSummary s = f.Run({f.src.File("cut.jws"), f.src.File("cut.jws")});
    ASSERT_EQ(f.results.size(), 2u);
    const int32_t leftOut = fig.EntBlockDefN - before;
    ASSERT_GE(leftOut, 3);
    EXPECT_EQ(f.results[0].unplacedDefinitions, leftOut);
    EXPECT_EQ(f.log[3], u"\u3000" + CountsText(f.results[0].counts));
    EXPECT_EQ(f.log[4], u"\u3000未使用のブロック定義 " + Utf8ToUtf16(std::to_string(leftOut)) + u" を省略");
    EXPECT_EQ(s.unplacedDefinitions, 2 * leftOut);
    EXPECT_TRUE(f.log.back().ends_with(u"を分解、未使用のブロック定義 " + Utf8ToUtf16(std::to_string(2 * leftOut)) +
                                       u" を省略"));
    TJwsData out;
    ASSERT_TRUE(out.FileIn(f.results[0].dst));
    EXPECT_EQ(out.EntBlockDefN, before);
    EXPECT_NE(SummaryTextEnglish(s).find("block definitions that nothing places left out"), std::string::npos);

    // --info says so before any conversion.
    TFileInfo info;
    std::string error;
    ASSERT_TRUE(CollectFileInfo(f.src.File("cut.jws"), info, error)) << error;
    const std::string n = std::to_string(leftOut);
    EXPECT_NE(FileInfoBrief(info).find("(" + n + " unplaced)"), std::string::npos) << FileInfoBrief(info);
    EXPECT_NE(FileInfoJson(info).find("\"unplaced_definitions\":" + n), std::string::npos);
    EXPECT_NE(FileInfoText(info).find(n + " unplaced, which a conversion leaves out"), std::string::npos);
}

TEST(BatchRun, CountsWhatEachFileBecameAndSumsTheRun) {
    RunFixture f;
    TJwwData d = KnownDimensions();
    ASSERT_TRUE(d.FileOut(f.src.File("known.jww"), 700));
    TJwwData none = TablesOnly(700);
    Add(none.TopLists(), Text(0, 0, u"no dimensions"));
    SyncCounts(none);
    ASSERT_TRUE(none.FileOut(f.src.File("plain.jww"), 700));

    std::vector<TFileResult> results;
    f.cb.fileDone = [&](const TFileResult& r) { results.push_back(r); };
    const TRunSummary s = f.Run({f.src.File("known.jww"), f.src.File("plain.jww")});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].counts, (TExplodeCounts{3, 6, 2, 8}));
    EXPECT_EQ(f.log[3], u"\u3000寸法 3（線 6・文字 2・点 8）");
    EXPECT_EQ(f.log[7], u"\u3000寸法なし");
    EXPECT_EQ(f.log[8], u"変換 2・失敗 0・スキップ 0、寸法 3 を分解");
    EXPECT_EQ(s.dimensions, 3);

    // Without the option the reference points are left out; with
    // skipUnchanged the file without dimensions is not written at all.
    RunFixture g;
    g.settings.referencePoints = false;
    g.settings.skipUnchanged = true;
    results.clear();
    g.cb.fileDone = [&](const TFileResult& r) { results.push_back(r); };
    const TRunSummary t = g.Run({f.src.File("known.jww"), f.src.File("plain.jww")});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].counts, (TExplodeCounts{3, 6, 2, 4}));
    EXPECT_TRUE(results[1].unchanged);
    EXPECT_EQ(g.log[5], u"→ （書き出しなし）");
    EXPECT_EQ(g.log[6], u"\u3000…… 変換不要（寸法なし）");
    EXPECT_EQ(g.log[7], u"変換 1・失敗 0・スキップ 1、寸法 3 を分解");
    EXPECT_EQ(t.unchanged, 1);
    EXPECT_FALSE(fs::exists(g.out.File("plain.jww")));
}

TEST(BatchRun, ProgressAndTheLogTabComeBeforeTheFirstFile) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww"), b = f.Drawing("b.jww");
    std::vector<std::string> events;
    f.cb.runStarting = [&](int n) {
        events.push_back("start " + std::to_string(n) + " " + std::to_string(f.log.size()));
    };
    f.cb.fileStarting = [&](int i, int n, const std::string& src) {
        events.push_back(std::to_string(i) + "/" + std::to_string(n) + " " + fs::path(src).filename().string());
    };
    f.Run({a, b});
    EXPECT_EQ(events, (std::vector<std::string>{"start 2 0", "0/2 a.jww", "1/2 b.jww"}));
}

// ---- Leftovers of ended processes and folders as input --------------------

// A process id that no longer runs: a child that has ended.
long long DeadPid() {
#ifdef _WIN32
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    wchar_t cmd[] = L"cmd.exe /c exit";
    if (!CreateProcessW(nullptr, cmd, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) return 0;
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);  // the last handle: the id is free from now on
    return static_cast<long long>(pi.dwProcessId);
#else
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
#endif
}

// A process id of another process that runs.
long long LivePid() {
#ifdef _WIN32
    return platform::ProcessId();
#else
    return getppid();
#endif
}

TEST(BatchRun, StaleTemporaryOutputsOfEndedProcessesAreRemoved) {
    RunFixture f;
    const long long deadPid = DeadPid();
    ASSERT_GT(deadPid, 0);
    const std::string dead = std::to_string(deadPid);
    const std::string alive = std::to_string(LivePid());
    const std::vector<std::string> stale = {".~plan.jww." + dead + "-0.tmp",
                                            ".~plan.jww." + dead + "-3.tmp.~" + dead + "-7.tmp",
                                            "plan.jww.~" + dead + "-2.tmp"};
    const std::vector<std::string> kept = {".~plan.jww." + alive + "-0.tmp", "plan.jww", ".~notes.txt",
                                           "x." + dead + "-0.tmp", ".~plan.jww.12ab-0.tmp"};
    for (const auto& n : stale) WriteAll(f.out.File(n), Bytes{'x'});
    for (const auto& n : kept) WriteAll(f.out.File(n), Bytes{'x'});
    f.Run({f.Drawing("a.jww")});
    for (const auto& n : stale) EXPECT_FALSE(fs::exists(f.out.File(n))) << n;
    for (const auto& n : kept) EXPECT_TRUE(fs::exists(f.out.File(n))) << n;
    EXPECT_EQ(TempOutputOwner(".~a b.jww.123-4.tmp"), 123);
    EXPECT_EQ(TempOutputOwner("a.jww.~55-0.tmp"), 55);
    EXPECT_EQ(TempOutputOwner("a.jww.55-0.tmp"), -1);
}

TEST(WorkFolder, StaleFoldersOfEndedProcessesAreRemoved) {
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "a WebAssembly program knows no other processes";
#endif
    const std::string own = MakeWorkFolder();
    ASSERT_FALSE(own.empty());
    const std::string base = fs::path(own).parent_path().parent_path().string() + "/";
    const std::string dead = base + std::to_string(DeadPid()) + "/";
    const std::string alive = base + std::to_string(LivePid()) + "/";
    const std::string other = base + "notes/";
    for (const auto& d : {dead, alive, other}) fs::create_directories(d);
    WriteAll(dead + "image.jpg", Bytes{'x'});
    RemoveStaleWorkFolders();  // (another test process may have removed it first)
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(alive));
    EXPECT_TRUE(fs::exists(other));
    fs::remove_all(alive);
    fs::remove_all(other);
    RemoveWorkFolder(own);
}

TEST(Intake, FoldersAreTakenApartOnlyWhenRecursive) {
    TempDir d;
    fs::create_directories(d.File("b/deep"));
    fs::create_directories(d.File("a"));
    for (const char* n : {"b/deep/z.JWW", "b/y.jws", "a/x.jww", "top.jww", "b/notes.txt"})
        WriteAll(d.File(n), Bytes{'x'});
    fs::create_directories(d.File("b/folder.jww"));
    std::error_code linkError;  // (Windows may not allow links)
    fs::create_directory_symlink(FsPath(d.File("a")), FsPath(d.File("b/link")), linkError);  // not followed

    TIntake flat;
    PickupPath(d.File("b"), false, flat);
    PickupPath(d.File("top.jww"), false, flat);
    PickupPath(d.File("b/notes.txt"), false, flat);
    PickupPath(d.File("missing.jww"), false, flat);
    EXPECT_EQ(flat.files, std::vector<std::string>{d.File("top.jww")});
    ASSERT_EQ(flat.refused.size(), 3u);
    EXPECT_EQ(flat.refused[0].kind, TIntake::Refusal::kFolder);
    EXPECT_EQ(flat.refused[1].kind, TIntake::Refusal::kNotJwFile);
    EXPECT_EQ(flat.refused[2].kind, TIntake::Refusal::kMissing);

    TIntake deep;
    PickupPath(d.path().substr(0, d.path().size() - 1), true, deep);
    EXPECT_EQ(deep.files, (std::vector<std::string>{d.File("a/x.jww"), d.File("b/deep/z.JWW"), d.File("b/y.jws"),
                                                    d.File("top.jww")}));
    EXPECT_TRUE(deep.refused.empty());
}

TEST(BatchRun, EmptySpecifiedFolderSaysSoAndStopsBeforeAnything) {
    RunFixture f;
    f.settings.specifiedDir.clear();
    EXPECT_FALSE(f.Run({f.Drawing("a.jww")}).started);
    EXPECT_EQ(f.message, u"保存先のフォルダが指定されていません。");
    EXPECT_EQ(f.saved, 0);
}

TEST(BatchRun, MissingSpecifiedFolderStopsBeforeAnything) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww");
    f.log = {u"earlier"};
    f.settings.specifiedDir = f.out.File("gone");
    const TRunSummary s = f.Run({a});
    EXPECT_FALSE(s.started);
    EXPECT_EQ(f.message, u"指定したフォルダが見つかりません。\r\n" + U(AddPathDelim(f.out.File("gone"))));
    EXPECT_EQ(f.log, std::vector<std::u16string>{u"earlier"});
    EXPECT_EQ(f.saved, 0);
    EXPECT_EQ(f.shown, 0);
}

TEST(BatchRun, EmptyListDoesNothing) {
    RunFixture f;
    const TRunSummary s = f.Run({});
    EXPECT_FALSE(s.started);
    EXPECT_EQ(f.saved, 0);
    EXPECT_EQ(f.shown, 0);
}

TEST(BatchRun, AbortStopsBetweenFiles) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww");
    const std::string b = f.Drawing("b.jww");
    int polls = 0;
    f.cb.abortRequested = [&] { return ++polls == 2; };  // pressed during the first file
    const TRunSummary s = f.Run({a, b});
    EXPECT_TRUE(s.aborted);
    EXPECT_EQ(s.left, 1);
    ASSERT_EQ(f.log.size(), 6u);
    EXPECT_EQ(f.log[2], u"\u3000…… 変換完了");
    EXPECT_EQ(f.log[4], u"[ESC]を押しましたので中断します。");
    EXPECT_NE(f.log[5].find(u"・未変換 1"), std::u16string::npos);
    EXPECT_TRUE(fs::exists(f.out.File("a.jww")));
    EXPECT_FALSE(fs::exists(f.out.File("b.jww")));
    EXPECT_EQ(f.shown, 1);

    RunFixture g;
    g.cb.abortRequested = [] { return true; };  // held down from the start
    g.cb.abortLine = [](int left) { return u"stopped, left " + Utf8ToUtf16(std::to_string(left)); };
    g.Run({g.Drawing("a.jww")});
    ASSERT_EQ(g.log.size(), 2u);
    EXPECT_EQ(g.log[0], u"stopped, left 1");
    EXPECT_EQ(g.shown, 1);
}

TEST(BatchRun, AskEveryTimeUsesTheChosenOrThePreviousFolder) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww");
    f.settings.folderMode = TOutputFolder::kAskEveryTime;
    f.settings.preFolder = f.src.path();
    f.cb.askFolder = [&](const std::string& start) {
        EXPECT_EQ(start, f.src.path());
        return TFolderAnswer{TFolderAnswer::kAccepted, f.out.path().substr(0, f.out.path().size() - 1)};
    };
    f.Run({a});
    EXPECT_EQ(f.settings.preFolder, f.out.path());
    EXPECT_TRUE(fs::exists(f.out.File("a.jww")));

    f.cb.askFolder = [](const std::string&) { return TFolderAnswer{TFolderAnswer::kCancelled, {}}; };
    f.Run({a});
    EXPECT_TRUE(fs::exists(f.out.File("a~1.jww")));  // the previous folder again

    f.cb.askFolder = [](const std::string&) { return TFolderAnswer{TFolderAnswer::kNotShown, {}}; };
    EXPECT_FALSE(f.Run({a}).started);
}

#ifndef _WIN32
// When every branch number is taken the file fails and nothing is written.
// (Not on Windows: 99 999 names take minutes to make there; the search
// itself is tested with a set of names.)
TEST(BatchRun, AllBranchNumbersTaken) {
    RunFixture f;
    const std::string a = f.Drawing("full.jww");
    const std::string seed = f.out.File("full.jww");
    WriteAll(seed, Bytes{'x'});
    // Hard links fill the 99 999 names quickly (a few seed files, since a
    // file system may limit the links of one file).
    std::string current = seed;
    for (int n = 1; n <= 99999; ++n) {
        if (n % 60000 == 0) {
            current = f.out.File("seed" + std::to_string(n));
            WriteAll(current, Bytes{'x'});
        }
        if (link(current.c_str(), f.out.File("full~" + std::to_string(n) + ".jww").c_str()) != 0)
            GTEST_SKIP() << "hard links not available";
    }
    const TRunSummary s = f.Run({a});
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(f.log[2], u"\u3000…… 変換失敗");
    EXPECT_NE(f.log[3].find(u"枝番"), std::u16string::npos);
    EXPECT_EQ(f.log[1], u"→ " + U(seed));
}
#endif

// ---- Archives: trees, resuming, skipped inputs --------------------------

// Sets a file's time of last writing, seconds from now.
void Age(const std::string& path, int seconds) {
    fs::last_write_time(FsPath(path), fs::file_time_type::clock::now() + std::chrono::seconds(seconds));
}

struct TreeCase {
    const char* name;
    bool underFolderName;  // as a folder dropped on the window
    std::vector<std::string> outputs;  // below the output folder, for the sources below
    friend void PrintTo(const TreeCase& c, std::ostream* os) { *os << c.name; }
};

class BatchRunTree : public ::testing::TestWithParam<TreeCase> {};

// Every output keeps the path of its source below the folder it was found
// under; same names in different folders need no branch number, and a
// file named directly goes into the output folder itself.
TEST_P(BatchRunTree, OutputsKeepTheFolderTree) {
    const TreeCase& c = GetParam();
    RunFixture f;
    fs::create_directories(FsPath(f.src.File("現場A/平面/詳細")));
    fs::create_directories(FsPath(f.src.File("現場A/立面")));
    f.Figure("現場A/平面/F-2406.jws");
    f.Figure("現場A/立面/F-2406.jws");
    f.Drawing("現場A/平面/詳細/a.jww");
    const std::string single = f.Drawing("single.jww");
    TIntake intake;
    intake.treeUnderFolderName = c.underFolderName;
    PickupPath(f.src.File("現場A/"), true, intake);
    PickupPath(single, true, intake);
    const TRunSummary s = f.RunIntake(intake);
    EXPECT_EQ(s.converted, 4);
    for (const std::string& o : c.outputs) EXPECT_TRUE(fs::exists(FsPath(f.out.File(o)))) << o;
    EXPECT_TRUE(fs::exists(FsPath(f.out.File("single.jww"))));
    EXPECT_EQ(f.log[1], u"→ " + U(f.out.File(c.outputs[0])));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, BatchRunTree,
    ::testing::Values(TreeCase{"BelowTheNamedFolder", false,
                               {"平面/F-2406.jws", "平面/詳細/a.jww", "立面/F-2406.jws"}},
                      TreeCase{"UnderTheDroppedFoldersName", true,
                               {"現場A/平面/F-2406.jws", "現場A/平面/詳細/a.jww", "現場A/立面/F-2406.jws"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BatchRun, AFileWhereATreeNeedsAFolderFailsThatFileOnly) {
    RunFixture f;
    fs::create_directories(FsPath(f.src.File("top/sub")));
    f.Drawing("top/sub/a.jww");
    f.Drawing("top/b.jww");
    WriteAll(f.out.File("sub"), Bytes{'x'});  // where the folder sub would go
    TIntake intake;
    PickupPath(f.src.File("top"), true, intake);
    const TRunSummary s = f.RunIntake(intake);
    EXPECT_EQ(s.converted, 1);
    EXPECT_EQ(s.failed, 1);
    ASSERT_EQ(f.results.size(), 2u);
    EXPECT_EQ(f.results[1].failure, TFileFailure::kCannotMakeFolder);
    EXPECT_EQ(f.log[7], u"\u3000原因：保存先のフォルダを作れません：" + U(f.out.File("sub/")));
    EXPECT_EQ(ReadAll(f.out.File("sub")), Bytes{'x'});
}

struct ResumeCase {
    const char* name;
    TOutputFolder mode;
    // Makes the sources and earlier outputs; returns the source to run.
    std::function<std::string(RunFixture&)> setup;
    bool resumed;         // left alone
    std::u16string line;  // the log's third line
    const char* output;   // the output then (below the output or the source folder), or ""
    friend void PrintTo(const ResumeCase& c, std::ostream* os) { *os << c.name; }
};

class BatchRunResume : public ::testing::TestWithParam<ResumeCase> {};

TEST_P(BatchRunResume, SkipsWhatWasConvertedBefore) {
    const ResumeCase& c = GetParam();
    RunFixture f;
    f.settings.resume = true;
    f.settings.folderMode = c.mode;
    const std::string src = c.setup(f);
    const TRunSummary s = f.Run({src});
    EXPECT_EQ(s.resumed, c.resumed ? 1 : 0);
    EXPECT_EQ(s.converted, c.resumed ? 0 : 1);
    ASSERT_GE(f.log.size(), 3u);
    EXPECT_EQ(f.log[2], u"\u3000…… " + c.line);
    const std::string folder = c.mode == TOutputFolder::kSource ? f.src.path() : f.out.path();
    if (*c.output) {
        EXPECT_TRUE(fs::exists(FsPath(folder + c.output))) << c.output;
    }
    if (c.resumed) {
        EXPECT_NE(f.log.back().find(u"・変換済み 1"), std::u16string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchRunResume,
    ::testing::Values(
        ResumeCase{"OutputNotOlder", TOutputFolder::kSpecified,
                   [](RunFixture& f) {
                       const std::string a = f.Drawing("a.jww");
                       WriteAll(f.out.File("a.jww"), Bytes{'x'});
                       Age(a, -60);
                       return a;
                   },
                   true, u"変換済み（出力あり）", ""},
        ResumeCase{"OutputOlderThanTheSource", TOutputFolder::kSpecified,
                   [](RunFixture& f) {
                       const std::string a = f.Drawing("a.jww");
                       WriteAll(f.out.File("a.jww"), Bytes{'x'});
                       Age(f.out.File("a.jww"), -60);
                       return a;
                   },
                   false, u"変換完了", "a~1.jww"},
        ResumeCase{"NoOutputYet", TOutputFolder::kSpecified, [](RunFixture& f) { return f.Drawing("a.jww"); },
                   false, u"変換完了", "a.jww"},
        ResumeCase{"BranchBesideTheSource", TOutputFolder::kSource,
                   [](RunFixture& f) {
                       const std::string a = f.Drawing("a.jww");
                       WriteAll(f.src.File("a~1.jww"), Bytes{'x'});
                       WriteAll(f.src.File("a~2.jww"), Bytes{'x'});
                       Age(f.src.File("a~1.jww"), -60);
                       Age(a, -30);
                       return a;
                   },
                   true, u"変換済み（出力あり）", ""},
        ResumeCase{"OutputFolderIsTheSourcesOwn", TOutputFolder::kSpecified,
                   [](RunFixture& f) {
                       f.settings.specifiedDir = f.src.path();  // the source is not its own output
                       const std::string a = f.Drawing("a.jww");
                       Age(a, -60);
                       WriteAll(f.src.File("a~1.jww"), Bytes{'x'});
                       return a;
                   },
                   true, u"変換済み（出力あり）", ""},
        ResumeCase{"OutputFolderIsTheSourcesOwnNothingYet", TOutputFolder::kSpecified,
                   [](RunFixture& f) {
                       f.settings.specifiedDir = f.src.path();
                       return f.Drawing("a.jww");
                   },
                   false, u"変換完了", ""},
        ResumeCase{"EarlierOutputWithoutDimensions", TOutputFolder::kSource,
                   [](RunFixture& f) {
                       f.Drawing("plan.jww");
                       TJwwData plain = TablesOnly(700);
                       EXPECT_TRUE(plain.FileOut(f.src.File("plan~1.jww"), 700));
                       return f.src.File("plan~1.jww");
                   },
                   true, u"変換済み（以前の出力）", ""},
        ResumeCase{"BranchNamedDrawingWithDimensions", TOutputFolder::kSpecified,
                   [](RunFixture& f) {
                       f.Drawing("plan.jww");
                       return f.Drawing("plan~1.jww");
                   },
                   false, u"変換完了", "plan~1.jww"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BatchRun, SkippedInputsComeFirstInJapaneseAndCount) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww");
    WriteAll(f.src.File("notes.txt"), Bytes{'x'});
    TIntake intake;
    PickupPath(f.src.File("notes.txt"), false, intake);
    PickupPath(a, false, intake);
    PickupPath(f.src.File("gone.jww"), false, intake);
    PickupPath(f.src.path(), false, intake);
    std::vector<std::string> skipped;
    f.cb.inputSkipped = [&](const TIntake::Refusal& r) { skipped.push_back(r.path); };
    const TRunSummary s = f.RunIntake(intake);
    EXPECT_EQ(s.skipped, 3);
    EXPECT_EQ(skipped.size(), 3u);
    ASSERT_EQ(f.log.size(), 3 * 4 + 4 + 1u);
    const std::vector<std::u16string> first = {U(f.src.File("notes.txt")), u"→ （書き出しなし）", u"\u3000…… スキップ",
                                               u"\u3000原因：.jww・.jws のファイルではありません"};
    EXPECT_EQ(std::vector<std::u16string>(f.log.begin(), f.log.begin() + 4), first);
    EXPECT_EQ(f.log[7], u"\u3000原因：ファイルが見つかりません");
    EXPECT_NE(f.log[11].find(u"-r を付けて"), std::u16string::npos);
    EXPECT_EQ(f.log[12], U(a));
    EXPECT_EQ(f.log.back().rfind(u"変換 1・失敗 0・スキップ 3、", 0), 0u);
}

TEST(BatchRun, AnEmptySelectionSaysNoFileWasFound) {
    RunFixture f;
    f.settings.folderMode = TOutputFolder::kAskEveryTime;  // no dialog for nothing
    int asked = 0;
    f.cb.askFolder = [&](const std::string&) {
        ++asked;
        return TFolderAnswer{};
    };
    TIntake intake;
    PickupPath(f.src.path(), true, intake);
    const TRunSummary s = f.RunIntake(intake);
    EXPECT_TRUE(s.started);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(f.saved, 0);
    EXPECT_EQ(f.log, (std::vector<std::u16string>{u"変換する .jww・.jws のファイルが見つかりませんでした",
                                                  u"変換 0・失敗 0・スキップ 0、寸法 0 を分解"}));
}

TEST(BatchRun, APreparedFolderIsCreatedOnceOrStopsTheRunBeforeTheFirstFile) {
    RunFixture f;
    f.settings.prepareFolder = true;
    const std::string a = f.Drawing("a.jww");
    f.settings.specifiedDir = f.out.File("new/deeper");
    TRunSummary s = f.Run({a, a});
    EXPECT_EQ(s.converted, 2);
    EXPECT_EQ(f.log[0], u"保存先のフォルダを作成しました：" + U(f.out.File("new/deeper")));
    EXPECT_EQ(std::count_if(f.log.begin(), f.log.end(),
                            [](const std::u16string& l) { return l.find(u"作成しました") != std::u16string::npos; }),
              1);
    EXPECT_TRUE(fs::exists(f.out.File("new/deeper/a~1.jww")));

    WriteAll(f.out.File("file"), Bytes{'x'});
    f.settings.specifiedDir = f.out.File("file/sub");
    f.log.clear();
    s = f.Run({a, a});
    EXPECT_FALSE(s.started);
    EXPECT_EQ(s.folderFailure, TFileFailure::kCannotMakeFolder);
    EXPECT_EQ(f.message, u"保存先のフォルダを作れません：" + U(f.out.File("file/sub")));
    EXPECT_TRUE(f.log.empty());
}

// A report's rows: quoted where CSV needs it, escaped in JSON, and the
// made parts only for a file that was converted.
TEST(RunReport, RowsOfEachResult) {
    TFileResult done;
    done.src = "a \"b\", c.jww";
    done.dst = "out/a.jww";
    done.done = true;
    done.counts = {4, 10, 3, 12};
    done.unplacedDefinitions = 1;
    done.bytesIn = 200;
    done.bytesOut = 180;
    done.milliseconds = 1.25;
    TFileResult failed;
    failed.src = "x\ny.jww";
    failed.failure = TFileFailure::kDamaged;
    failed.counts = {2, 0, 0, 0};
    const TIntake::Refusal refusal{"notes.txt", TIntake::Refusal::kNotJwFile};
    using F = TRunReport::Format;
    EXPECT_EQ(TRunReport::Row(F::kCsv, done), "\"a \"\"b\"\", c.jww\",out/a.jww,converted,,4,10,3,12,1,200,180,1.2\r\n");
    EXPECT_EQ(TRunReport::Row(F::kCsv, failed),
              "\"x\ny.jww\",,failed,ファイルが壊れているか、途中で切れています,2,0,0,0,0,0,0,0.0\r\n");
    EXPECT_EQ(TRunReport::Row(F::kCsv, refusal),
              "notes.txt,,skipped,.jww・.jws のファイルではありません,0,0,0,0,0,0,0,0.0\r\n");
    EXPECT_EQ(TRunReport::Row(F::kJsonLines, done),
              "{\"source\":\"a \\\"b\\\", c.jww\",\"output\":\"out/a.jww\",\"result\":\"converted\",\"reason\":\"\","
              "\"dimensions\":4,\"lines\":10,\"texts\":3,\"points\":12,\"unplaced_definitions\":1,\"bytes_in\":200,"
              "\"bytes_out\":180,\"milliseconds\":1.2}\n");
    EXPECT_NE(TRunReport::Row(F::kJsonLines, failed).find("\"source\":\"x\\u000ay.jww\""), std::string::npos);
    TRunReport::Format format;
    EXPECT_TRUE(TRunReport::FormatOf("run.CSV", format) && format == F::kCsv);
    EXPECT_TRUE(TRunReport::FormatOf("run.json", format) && format == F::kJsonLines);
    EXPECT_FALSE(TRunReport::FormatOf("run.txt", format));
}

TEST(WorkFolder, IsPrivateAndRemovedWhenEmpty) {
    const std::string w = MakeWorkFolder();
    ASSERT_FALSE(w.empty());
    EXPECT_TRUE(fs::is_directory(w));
    EXPECT_NE(w.find(std::to_string(platform::ProcessId())), std::string::npos);
    RemoveWorkFolder(w);
    EXPECT_FALSE(fs::exists(w));
}

// ---- Several files at once --------------------------------------------------

// Everything below the output folder: names and bytes.
std::map<std::string, Bytes> FilesBelow(const std::string& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::recursive_directory_iterator(FsPath(folder)))
        if (e.is_regular_file())
            files[fs::relative(e.path(), FsPath(folder)).generic_string()] = ReadAll(e.path().string());
    return files;
}

// The log with the output folder's path taken out, to compare runs into two folders.
std::vector<std::u16string> Relative(std::vector<std::u16string> log, const std::string& folder) {
    const std::u16string f = U(folder);
    for (std::u16string& line : log)
        for (size_t at; (at = line.find(f)) != std::u16string::npos;) line.replace(at, f.size(), u"<out>/");
    return log;
}

// Files that aim at the same names (the same name from three folders, one
// of them upper case, a branch name of it, the same file twice, a name
// taken before the run), a damaged file, a figure and others, converted one
// after another and then several at once: the same log, results in the
// same order, the same names and bytes.
TEST(BatchRunAtOnce, LogsNamesAndBytesAreThoseOfOneFileAfterAnother) {
    RunFixture one;
    for (const char* d : {"a", "b", "c", "d", "e"}) fs::create_directories(FsPath(one.src.File(d)));
    std::vector<std::string> files = {one.Drawing("a/plan.jww"), one.Drawing("b/plan.jww", 600),
                                      one.Drawing("c/PLAN.JWW"), one.Drawing("d/plan~1.jww", 600)};
    files.push_back(files[0]);
    files.push_back(one.Figure("door.jws"));
    WriteAll(one.src.File("bad.jww"), Bytes{'x', 'y'});
    files.push_back(one.src.File("bad.jww"));
    for (int i = 0; i < 12; ++i) files.push_back(one.Drawing(std::to_string(i) + "n.jww", i % 2 ? 600 : 700));
    files.push_back(one.Drawing("e/plan.jww"));
    // The first file of the group is slow to write: later ones must still
    // wait for it to be named.
    const auto slowFirst = [](const std::string& tmp) {
        if (tmp.find(".~plan.jww.") != std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    WriteAll(one.out.File("plan.jww"), Bytes{'x'});
    one.hook = slowFirst;
    one.Run(files);
    const std::map<std::string, Bytes> expected = FilesBelow(one.out.path());
    ASSERT_EQ(expected.size(), 20u);  // 19 outputs and the file taken before; the damaged one none
    EXPECT_EQ(one.log[1], u"→ " + U(one.out.File("plan~1.jww")));

    for (const int jobs : {2, 4, 0}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        RunFixture many;
        WriteAll(many.out.File("plan.jww"), Bytes{'x'});
        many.hook = slowFirst;
        many.settings.jobs = jobs;
        const TRunSummary s = many.Run(files);
        EXPECT_EQ(s.converted, 19);
        EXPECT_EQ(s.failed, 1);
        EXPECT_EQ(Relative(many.log, many.out.path()), Relative(one.log, one.out.path()));
        ASSERT_EQ(many.results.size(), files.size());
        for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(many.results[i].src, files[i]);
        EXPECT_EQ(FilesBelow(many.out.path()), expected);
        EXPECT_TRUE(fs::is_empty(FsPath(many.work.path())));  // the converters' folders too
    }
}

// The memory budget: each file is taken to need kPeakFactor times its size
// and kBaseNeed; files start only while they fit together.
TEST(BatchRunAtOnce, FilesRunBesideOthersOnlyWithinTheMemoryBudget) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    GTEST_SKIP() << "no threads here: files run one after another whatever -j says";
#endif
    struct Case {
        long long budget;
        int most;  // files at once, at most
        int least;
    };
    const long long oneFile = TBatchRun::kBaseNeed + 100'000;  // more than a sample needs
    for (const Case c : {Case{1, 1, 1}, Case{2 * oneFile, 2, 2}, Case{0, 4, 2}}) {
        SCOPED_TRACE("budget " + std::to_string(c.budget));
        RunFixture f;
        std::vector<std::string> files;
        for (int i = 0; i < 8; ++i) files.push_back(f.Drawing(std::to_string(i) + ".jww"));
        std::atomic<int> writing{0}, most{0};
        f.hook = [&](const std::string&) {
            const int now = ++writing;
            for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            --writing;
        };
        f.settings.jobs = 4;
        f.settings.memoryBudget = c.budget;
        EXPECT_EQ(f.Run(files).converted, 8);
        EXPECT_LE(most.load(), c.most);
        EXPECT_GE(most.load(), c.least);
    }
}

// A stop lets the files started finish: their lines come in order before
// the stop line, nothing else is written, and nothing is left half-written.
TEST(BatchRunAtOnce, AStopLetsTheStartedFilesFinishAndStartsNoMore) {
    RunFixture f;
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i) files.push_back(f.Drawing(std::to_string(i + 10) + ".jww"));
    f.hook = [](const std::string&) { std::this_thread::sleep_for(std::chrono::milliseconds(10)); };
    f.cb.abortRequested = [&] { return !f.results.empty(); };
    f.settings.jobs = 3;
    const TRunSummary s = f.Run(files);
    EXPECT_TRUE(s.aborted);
    const int done = static_cast<int>(f.results.size());
    EXPECT_GE(done, 1);
    EXPECT_LE(done, 1 + 3 + 3);  // the first, those in progress, those waiting for a worker
    EXPECT_EQ(s.left, 12 - done);
    EXPECT_EQ(s.converted, done);
    ASSERT_EQ(f.log.size(), static_cast<size_t>(4 * done + 2));
    for (int i = 0; i < done; ++i) EXPECT_EQ(f.log[static_cast<size_t>(4 * i)], U(files[static_cast<size_t>(i)]));
    EXPECT_EQ(f.log[static_cast<size_t>(4 * done)], kLogAborted);
    EXPECT_EQ(static_cast<int>(FilesBelow(f.out.path()).size()), done);  // no temporary file either
    EXPECT_TRUE(fs::is_empty(FsPath(f.work.path())));
}

}  // namespace
}  // namespace talvine::test
