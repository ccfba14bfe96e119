// A batch run without a window, into a folder of its own: what it logs and
// reports is kept for the tests to look at.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/BatchRun.h"
#include "tests/jww/TestFiles.h"

namespace talvine::test {

struct RunFixture {
    TempDir src, out, work;
    std::vector<std::u16string> log;
    int saved = 0;
    int shown = 0;
    std::u16string message;
    std::vector<TFileResult> results;
    TRunCallbacks cb;
    TRunSettings settings;
    // Called on each output after it is written, before it is checked.
    std::function<void(const std::string&)> hook;

    RunFixture() {
        cb.log = [this](const std::u16string& l) { log.push_back(l); };
        cb.clearLog = [this] { log.clear(); };
        cb.saveSettings = [this] { ++saved; };
        cb.showLog = [this] { ++shown; };
        cb.folderMissing = [this](const std::u16string& m) { message = m; };
        cb.fileDone = [this](const TFileResult& r) { results.push_back(r); };
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
    TRunSummary RunIntake(const TIntake& intake) {
        TBatchRun run(work.path());
        run.outputHook = hook;
        return run.RunProc(intake, settings, cb);
    }
    TRunSummary Run(const std::vector<std::string>& files) {
        TBatchRun run(work.path());
        run.outputHook = hook;
        return run.RunProc(files, settings, cb);
    }
};

}  // namespace talvine::test
