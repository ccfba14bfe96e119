// A batch run that its caller drives one file at a time, for a front end
// that must return to its event loop between files to learn that the user
// wants to stop (the page's worker, which receives messages only between
// its tasks). It logs what TBatchRun::RunProc logs for the same input: the
// inputs that are not converted, each file's lines, the stop line and the
// summary.
#pragma once

#include <string>

#include "app/BatchRun.h"
#include "app/RunTexts.h"

namespace talvine {

class TSteppedRun {
public:
    // The output folder, the refusals and the files are taken from input
    // and settings as RunProc takes them; cb.log receives the lines,
    // cb.fileStarting and cb.fileDone each file. Nothing happens until Step.
    TSteppedRun(TBatchRun& run, TIntake input, TRunSettings settings, TRunCallbacks cb);

    // Converts the next file (the first step also logs the inputs that are
    // not converted; a run without files logs them and ends). False when
    // the run has ended.
    bool Step();
    // Ends the run before its next file: the stop line, when files are
    // left, and the summary. Ending an ended run does nothing.
    void Stop();

    bool Ended() const { return ended_; }
    int Next() const { return next_; }
    int Total() const { return static_cast<int>(input_.files.size()); }
    const TRunSummary& Summary() const { return summary_; }

private:
    void End();

    TBatchRun& run_;
    TIntake input_;
    TRunSettings settings_;
    TRunCallbacks cb_;
    TRunSummary summary_;
    int next_ = 0;
    bool ended_ = false;
};

}  // namespace talvine
