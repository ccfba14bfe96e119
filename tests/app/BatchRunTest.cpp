// The batch run: output naming, the log, stopping, and the ways a file can
// fail, all without a window.
#include "app/BatchRun.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <sddl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "tests/jww/TestFiles.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine::test {
namespace {

namespace fs = std::filesystem;

struct RunFixture {
    TempDir src, out, work;
    std::vector<std::u16string> log;
    int saved = 0;
    int shown = 0;
    std::u16string message;
    TRunCallbacks cb;
    TRunSettings settings;

    RunFixture() {
        cb.log = [this](const std::u16string& l) { log.push_back(l); };
        cb.clearLog = [this] { log.clear(); };
        cb.saveSettings = [this] { ++saved; };
        cb.showLog = [this] { ++shown; };
        cb.folderMissing = [this](const std::u16string& m) { message = m; };
        settings.folderMode = TOutputFolder::kSpecified;
        settings.specifiedDir = out.path();
    }
    std::string Drawing(const std::string& name, int ver = 700) {
        TJwwData d = SampleDrawing(ver);
        EXPECT_TRUE(d.FileOut(src.File(name), ver));
        return src.File(name);
    }
    std::string Figure(const std::string& name) {
        TJwsData f = SampleFigure(600);
        EXPECT_TRUE(f.FileOut(src.File(name), 600));
        return src.File(name);
    }
    TRunSummary Run(const std::vector<std::string>& files) {
        TBatchRun run(work.path());
        return run.RunProc(files, settings, cb);
    }
};

std::u16string U(const std::string& s) { return Utf8ToUtf16(s); }

TEST(BatchRun, ConvertsIntoTheFolderAndLogsThreeLinesPerFile) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww");
    const std::string b = f.Figure("B.JWS");
    const TRunSummary s = f.Run({a, b});
    EXPECT_TRUE(s.started);
    EXPECT_EQ(s.converted, 2);
    ASSERT_EQ(f.log.size(), 6u);
    EXPECT_EQ(f.log[0], U(a));
    EXPECT_EQ(f.log[1], u"→ " + U(f.out.File("a.jww")));
    EXPECT_EQ(f.log[2], u"\u3000……\u0020変換完了");
    EXPECT_EQ(f.log[4], u"→ " + U(f.out.File("B.JWS")));  // the name keeps its case
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
    EXPECT_EQ(f.log[4], u"→ " + U(f.out.File("Plan~2.jww")));
    EXPECT_EQ(ReadAll(f.out.File("Plan.JWW")), Bytes{'x'});  // never overwritten
}

TEST(BatchRun, SourceFolderModeAlwaysBranches) {
    RunFixture f;
    f.settings.folderMode = TOutputFolder::kSource;
    const std::string a = f.Drawing("x.jww");
    const Bytes original = ReadAll(a);
    f.Run({a, a});
    EXPECT_EQ(f.log[1], u"→ " + U(f.src.File("x~1.jww")));
    EXPECT_EQ(f.log[4], u"→ " + U(f.src.File("x~2.jww")));
    EXPECT_EQ(ReadAll(a), original);
}

TEST(BatchRun, FailuresAreLoggedAndLeaveNoFile) {
    RunFixture f;
    WriteAll(f.src.File("bad.jww"), Bytes{'J', 'w', 'w', 'D', 'a', 't', 'a', '.', 0, 0, 0, 0});  // version 0
    const std::string good = f.Drawing("good.jww");
    Bytes cut = ReadAll(good);
    cut.resize(cut.size() * 2 / 3);
    WriteAll(f.src.File("cut.jww"), cut);
    WriteAll(f.src.File("fig.jww"), ReadAll(f.Figure("f.jws")));  // a figure named .jww
    const TRunSummary s = f.Run({f.src.File("bad.jww"), f.src.File("cut.jww"), f.src.File("fig.jww"), good});
    EXPECT_EQ(s.failed, 3);
    EXPECT_EQ(s.converted, 1);
    ASSERT_EQ(f.log.size(), 12u);
    for (int i : {2, 5, 8}) EXPECT_EQ(f.log[static_cast<size_t>(i)], u"\u3000…… 変換失敗");
    EXPECT_EQ(f.log[11], u"\u3000…… 変換完了");
    EXPECT_FALSE(fs::exists(f.out.File("bad.jww")));
    EXPECT_FALSE(fs::exists(f.out.File("cut.jww")));
    EXPECT_EQ(std::distance(fs::directory_iterator(f.out.path()), fs::directory_iterator()), 1);
}

#ifdef _WIN32
// Gives everyone read access only (true) or full access (false) to a folder.
bool SetReadOnlyAccess(const std::string& folder, bool readOnly) {
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

TEST(BatchRun, UnwritableFolderFails) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww");
#ifdef _WIN32
    ASSERT_TRUE(SetReadOnlyAccess(f.out.path(), true));
    if (platform::IsDirWritable(f.out.path())) {
        SetReadOnlyAccess(f.out.path(), false);
        GTEST_SKIP() << "the access rules of folders are not enforced here";
    }
    const TRunSummary s = f.Run({a});
    SetReadOnlyAccess(f.out.path(), false);
#else
    if (geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    chmod(f.out.path().c_str(), 0555);
    const TRunSummary s = f.Run({a});
    chmod(f.out.path().c_str(), 0755);
#endif
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(f.log[2], u"\u3000…… 変換失敗");
}

TEST(BatchRun, OutputFolderThatIsAFileFails) {
    RunFixture f;
    const std::string a = f.Drawing("a.jww");
    WriteAll(f.out.File("notafolder"), Bytes{'x'});
    f.settings.folderMode = TOutputFolder::kDesktop;
    f.settings.desktopDir = f.out.File("notafolder");
    const TRunSummary s = f.Run({a});
    EXPECT_EQ(s.failed, 1);
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
    ASSERT_EQ(f.log.size(), 4u);
    EXPECT_EQ(f.log[2], u"\u3000…… 変換完了");
    EXPECT_EQ(f.log[3], u"[ESC]を押しましたので中断します。");
    EXPECT_TRUE(fs::exists(f.out.File("a.jww")));
    EXPECT_FALSE(fs::exists(f.out.File("b.jww")));
    EXPECT_EQ(f.shown, 1);

    RunFixture g;
    g.cb.abortRequested = [] { return true; };  // held down from the start
    g.Run({g.Drawing("a.jww")});
    EXPECT_EQ(g.log, std::vector<std::u16string>{u"[ESC]を押しましたので中断します。"});
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
    EXPECT_EQ(f.log[1], u"→ " + U(seed));
}
#endif

TEST(WorkFolder, IsPrivateAndRemovedWhenEmpty) {
    const std::string w = MakeWorkFolder();
    ASSERT_FALSE(w.empty());
    EXPECT_TRUE(fs::is_directory(w));
    EXPECT_NE(w.find(std::to_string(platform::ProcessId())), std::string::npos);
    RemoveWorkFolder(w);
    EXPECT_FALSE(fs::exists(w));
}

}  // namespace
}  // namespace talvine::test
