#include "app/SteppedRun.h"

#include <utility>

#include "util/Func_2.h"

namespace talvine {

TSteppedRun::TSteppedRun(TBatchRun& run, TIntake input, TRunSettings settings, TRunCallbacks cb)
    : run_(run), input_(std::move(input)), settings_(std::move(settings)), cb_(std::move(cb)) {
    summary_.started = true;
    summary_.total = Total();
}

bool TSteppedRun::Step() {
    if (ended_) return false;
    // One file at a time through the batch run itself: each call logs that
    // file's lines (the first also the refusals) and then a summary of its
    // own, which is held back; the run's summary comes at its end.
    TIntake one;
    one.treeUnderFolderName = input_.treeUnderFolderName;
    if (next_ == 0) one.refused = input_.refused;
    const size_t i = static_cast<size_t>(next_);
    if (i < input_.files.size()) {
        one.files.push_back(input_.files[i]);
        if (i < input_.subfolders.size()) one.subfolders.push_back(input_.subfolders[i]);
    }
    bool summaryNext = false;
    TRunCallbacks cb;
    cb.log = [&](const std::u16string& line) {
        if (!summaryNext && cb_.log) cb_.log(line);
    };
    cb.fileStarting = [&](int, int, const std::string& src) {
        if (cb_.fileStarting) cb_.fileStarting(next_, Total(), src);
    };
    cb.fileDone = [&](const TFileResult& r) {
        summary_.Add(r);
        if (cb_.fileDone) cb_.fileDone(r);
    };
    cb.inputSkipped = [&](const TIntake::Refusal& refusal) {
        ++summary_.skipped;
        if (cb_.inputSkipped) cb_.inputSkipped(refusal);
    };
    cb.summarize = [&](TRunSummary&) { summaryNext = true; };
    cb.folderMissing = cb_.folderMissing;
    const TRunSummary one_summary = run_.RunProc(one, settings_, cb);
    if (!one_summary.started) {
        // The output folder cannot be used: nothing is converted.
        summary_ = one_summary;
        ended_ = true;
        return false;
    }
    if (input_.files.empty()) {
        End();
        return false;
    }
    ++next_;
    if (next_ >= Total()) End();
    return !ended_;
}

void TSteppedRun::Stop() {
    if (ended_) return;
    if (next_ < Total()) {
        summary_.aborted = true;
        summary_.left = Total() - next_;
        if (cb_.log) cb_.log(StoppedText(summary_.left));
    }
    End();
}

void TSteppedRun::End() {
    ended_ = true;
    if (cb_.summarize) cb_.summarize(summary_);
    if (cb_.log) cb_.log(SummaryText(summary_));
}

}  // namespace talvine
