// A run driven one file at a time logs what the whole run logs.
#include "app/SteppedRun.h"

#include <gtest/gtest.h>

#include "tests/app/RunFixture.h"
#include "util/Func_2.h"

namespace talvine::test {
namespace {

// The intake of a folder tree, a file named directly, a broken file and a
// name that is no drawing, as the window takes them.
TIntake MixedIntake(RunFixture& f) {
    ForceDirSafe(f.src.File("現場/平面"));
    f.Drawing("現場/平面/一階.jww");
    f.Figure("現場/扉.jws");
    f.Drawing("plan.jww", 600);
    WriteAll(f.src.File("half.jww"), Bytes{'J', 'w', 'w'});
    WriteAll(f.src.File("memo.txt"), Bytes{'m'});
    TIntake intake;
    intake.treeUnderFolderName = true;
    for (const char* name : {"現場", "plan.jww", "half.jww", "memo.txt"})
        PickupPath(f.src.File(name), true, intake);
    return intake;
}

std::vector<std::u16string> Stepped(RunFixture& f, const TIntake& intake, int stopBefore = -1) {
    std::vector<std::u16string> log;
    TRunCallbacks cb;
    cb.log = [&](const std::u16string& line) { log.push_back(line); };
    TBatchRun batch(f.work.path());
    TSteppedRun run(batch, intake, f.settings, cb);
    while (!run.Ended()) {
        if (run.Next() == stopBefore) {
            run.Stop();
            break;
        }
        run.Step();
    }
    return log;
}

TEST(SteppedRun, LogsWhatTheWholeRunLogs) {
    RunFixture whole, stepped;
    const TRunSummary summary = whole.RunIntake(MixedIntake(whole));
    ASSERT_EQ(summary.converted, 3);
    ASSERT_EQ(summary.failed, 1);
    ASSERT_EQ(summary.skipped, 1);
    std::vector<std::u16string> log = Stepped(stepped, MixedIntake(stepped));
    // The same lines, but for the folders each run converted from and into.
    auto local = [](std::vector<std::u16string> lines, const RunFixture& f) {
        for (std::u16string& l : lines)
            for (const std::string& folder : {f.src.path(), f.out.path()})
                for (size_t p; (p = l.find(Utf8ToUtf16(folder))) != std::u16string::npos;)
                    l.erase(p, Utf8ToUtf16(folder).size());
        return lines;
    };
    EXPECT_EQ(local(log, stepped), local(whole.log, whole));
}

TEST(SteppedRun, StopsBeforeTheNextFileWithTheLinesOfAStop) {
    RunFixture f;
    const std::vector<std::u16string> log = Stepped(f, MixedIntake(f), 1);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], StoppedText(3));
    EXPECT_NE(log.back().find(u"未変換 3"), std::u16string::npos) << Utf16ToUtf8(log.back());
    // The file before the stop was converted, and only it.
    EXPECT_EQ(std::count(log.begin(), log.end(), std::u16string(kLogResultPrefix) + kResultDone), 1);
}

TEST(SteppedRun, WithoutFilesLogsTheRefusalsAndThatNoneWasFound) {
    RunFixture f;
    WriteAll(f.src.File("memo.txt"), Bytes{'m'});
    TIntake intake;
    PickupPath(f.src.File("memo.txt"), true, intake);
    const std::vector<std::u16string> log = Stepped(f, intake);
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[4], kLogNoFiles);
    EXPECT_EQ(log[5].rfind(u"変換 0・失敗 0・スキップ 1", 0), 0u) << Utf16ToUtf8(log[5]);
}

}  // namespace
}  // namespace talvine::test
