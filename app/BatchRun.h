// The batch run: converts a list of drawings and figures one after another,
// each into a new file of the same format and version in the chosen output
// folder, and reports every file in the log. It knows no window: the window
// and the command-line tool drive this same code through the callbacks
// below.
//
// Log, per file:
//   <source path>
//   → <output path>
//   　…… 変換完了 | 変換失敗
// then one line more: what the conversion did ("　寸法 12（線 12・文字 10・点 8）"
// or "　寸法なし"), or why the file failed ("　原因：…"); and when the output
// leaves out block definitions that nothing places, one line more that says
// how many ("　未使用のブロック定義 66 を省略"). A file left alone
// because it holds no dimensions (TRunSettings::skipUnchanged) logs its
// source, "→ （書き出しなし）" and "　…… 変換不要（寸法なし）"; one that a
// resumed run finds converted (TRunSettings::resume) its source, "→ " and
// the output found, and "　…… 変換済み（出力あり）" (an output of an earlier
// run beside its source: "→ （書き出しなし）" and "　…… 変換済み（以前の出力）").
// A named input that is not converted logs its path, "→ （書き出しなし）",
// "　…… スキップ" and "　原因：…" before the first file; a run without any
// file says so ("変換する .jww・.jws のファイルが見つかりませんでした"). When a run is
// stopped between files, the stop line ("[ESC]を押しましたので中断します。"
// unless the caller gives its own); at the end, one summary line.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/DimensionExplode.h"
#include "app/Intake.h"
#include "app/OpenSource.h"
#include "app/RunTexts.h"
#include "app/WorkFolder.h"
#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"

namespace talvine {

// Where the converted files go.
enum class TOutputFolder {
    kDesktop = 1,
    kDocuments = 2,
    kSource = 3,        // beside each source
    kSpecified = 4,     // the folder the user typed
    kAskEveryTime = 5,  // a folder dialog at every run
};

// The answer of the folder dialog of the ask-every-time mode.
struct TFolderAnswer {
    enum Status { kAccepted, kCancelled, kNotShown } status = kNotShown;
    std::string folder;  // when accepted
};

struct TRunSettings {
    bool skipUnchanged = false;  // write nothing for a file without dimensions
    TOutputFolder folderMode = TOutputFolder::kSource;
    std::string desktopDir;    // this user's desktop and documents folders
    std::string documentsDir;
    std::string specifiedDir;  // for kSpecified
    std::string preFolder;     // last folder chosen in kAskEveryTime; updated by the run
    bool referencePoints = true;  // SXF reference points become temporary points
    bool verify = true;           // read every output back and check it before it gets its name
    // Skip every source whose output (without a branch number) exists and
    // is not older than the source, and every output of an earlier run
    // beside its source ("plan~1.jww" beside "plan.jww") that holds no
    // dimensions.
    bool resume = false;
    // kSpecified: a missing folder is created (and the log says so), and a
    // folder that cannot be created or written stops the run before its
    // first file (TRunSummary::folderFailure) instead of failing each file.
    bool prepareFolder = false;
    // Files converted at once: 1 converts one after another, 0 one per
    // core (see TBatchRun::JobsFor). Whatever the number, the log, the
    // callbacks and the outputs are those of one file after another.
    int jobs = 1;
    // The memory the files converted at once may take together, in bytes;
    // 0: half of the machine's memory. See TBatchRun::kPeakFactor.
    long long memoryBudget = 0;
};

// What happened to one file.
struct TFileResult {
    std::string src;
    std::string dst;      // the output path; "" when none could be named
    bool done = false;    // converted: the output exists
    bool unchanged = false;  // left alone: no dimensions and skipUnchanged
    bool resumed = false;    // left alone: converted before (resume); dst is the output found, or ""
    TFileFailure failure = TFileFailure::kNone;
    std::string detail;   // what the failure concerns (see TFileFailure)
    TExplodeCounts counts;  // what the explode made, blocks included
    int32_t unplacedDefinitions = 0;  // block definitions nothing places, not written
    long long bytesIn = 0, bytesOut = 0;  // sizes of the source and of the output made
    double milliseconds = 0;              // the time the file took
};

struct TRunSummary {
    bool started = false;  // false when the run ended before its first file
    bool aborted = false;
    int total = 0;         // files in the list
    int converted = 0;
    int failed = 0;
    int unchanged = 0;     // left alone (skipUnchanged)
    int resumed = 0;       // left alone: converted before (resume)
    int left = 0;          // not reached because the run was stopped
    int skipped = 0;       // refused before the run (set by the caller, for the summary)
    int64_t dimensions = 0;  // dissolved over the run
    int64_t unplacedDefinitions = 0;  // left out of the outputs over the run
    // With prepareFolder: why the run did not start (kOutputNotWritable,
    // kCannotMakeFolder), and the folder.
    TFileFailure folderFailure = TFileFailure::kNone;
    std::string folderDetail;
    // Counts one file's result in.
    void Add(const TFileResult& r);
};

struct TRunCallbacks {
    std::function<void(const std::u16string&)> log;  // one log line
    std::function<void()> clearLog;
    // After the log was cleared, before the first file: total files.
    std::function<void(int total)> runStarting;
    // Before each file (index from 0), after the stop check.
    std::function<void(int index, int total, const std::string& src)> fileStarting;
    // After each file's log lines.
    std::function<void(const TFileResult&)> fileDone;
    // After the log lines of a named input that is not converted.
    std::function<void(const TIntake::Refusal&)> inputSkipped;
    // The line logged when the run stops; the files not converted as its
    // argument. kLogAborted when not given.
    std::function<std::u16string(int left)> abortLine;
    // Before the summary line is logged; the summary may be extended (the
    // files the caller skipped).
    std::function<void(TRunSummary&)> summarize;
    // Polled before every file; true stops the run there.
    std::function<bool()> abortRequested;
    // kAskEveryTime: asks for a folder, starting at the given one.
    std::function<TFolderAnswer(const std::string&)> askFolder;
    // kSpecified with a missing folder: shows the message (text + CR LF + folder).
    std::function<void(const std::u16string&)> folderMissing;
    // Called once the folder is resolved, before the first file.
    std::function<void()> saveSettings;
    // After the loop (also after a stop): show the log.
    std::function<void()> showLog;
};

// Several files at once (TRunSettings::jobs > 1): the files start in the
// order of the list, each on the next free worker, and the calling thread
// logs them, calls the callbacks and polls abortRequested, in the order of
// the list, as each next one is done. So the log and the report read as
// with one file at a time, and a stop lets the files already started
// finish (their lines come before the stop line), then starts no more.
// Names are decided as with one file at a time: a file whose output could
// take a name that an earlier file of the list may take (the same folder
// and name, branch numbers aside, in any case) starts only once that file
// is done. Memory: a file is taken to need kPeakFactor times its size
// (plus kBaseNeed); a file starts only while the files in progress and it
// need no more than the budget together, so a file too large for the
// budget runs alone.
class TBatchRun {
public:
    // The peak memory of a conversion, as a multiple of the file's size
    // (the document, the output check reading back into it, the buffers).
    static constexpr double kPeakFactor = 2.6;
    static constexpr long long kBaseNeed = 4LL << 20;
    // At most this many files at once.
    static constexpr int kMaxJobs = 64;
    // The number of files converted at once for a request (0: one per
    // core), within 1..kMaxJobs.
    static int JobsFor(int requested);

    // workFolder receives the bound images of each drawing while it is
    // converted; it should be private to this process.
    explicit TBatchRun(std::string workFolder);
    ~TBatchRun();
    TBatchRun(const TBatchRun&) = delete;
    TBatchRun& operator=(const TBatchRun&) = delete;

    // Converts files in order. Nothing happens for an empty list.
    TRunSummary RunProc(const std::vector<std::string>& files, TRunSettings& settings, const TRunCallbacks& cb);
    // Converts the files of an intake in order, each output in the tree of
    // its subfolder below a common output folder; its refused inputs are
    // logged and counted as skipped. An intake without files logs its
    // refusals and that no file was found, and resolves no output folder.
    TRunSummary RunProc(const TIntake& input, TRunSettings& settings, const TRunCallbacks& cb);

    // Converts src into a new file at dst (or, should dst be taken meanwhile,
    // at the next free branch name, which dst then holds). Returns
    // kResultDone when the output exists, else kResultFailed; the source is
    // only ever read, and nothing is left behind on failure.
    std::u16string RunProc1(const std::string& src, std::string& dst, bool referencePoints);
    // The same, with what happened: why it failed, what the explode made.
    // With skipUnchanged a file without dimensions is not written.
    TFileResult ConvertFile(const std::string& src, const std::string& dst, bool referencePoints,
                            bool skipUnchanged = false);

    const std::string& WorkFolder() const { return workFolder_; }

    // Every output is read back and checked before it gets its name (see
    // TFileFailure::kVerifyFailed); RunProc sets this from TRunSettings.
    bool verifyOutputs = true;
    // For tests: called with the temporary output once it is written and
    // before it is checked, to spoil it.
    std::function<void(const std::string& tmp)> outputHook;

private:
    struct TRunPlan;
    struct TLane;
    // All the work of file i of the plan apart from the log: its output's
    // name (and folder), the resume check, the conversion, the sizes and the
    // time. Depends on nothing but the plan (whose only changing state is
    // the set of folders tidied, kept under a lock) and the lane's
    // documents.
    TFileResult ProcessFile(TRunPlan& plan, size_t i, TLane& lane);
    TFileResult ConvertFile(TLane& lane, const std::string& src, const std::string& dst, bool referencePoints,
                            bool skipUnchanged);
    // Logs file i's result and counts it in.
    void LogFile(const TRunPlan& plan, size_t i, const TFileResult& r, TRunSummary& summary,
                 const TRunCallbacks& cb);
    // The files of the plan one after another, or several at once; the
    // files not started when the run was stopped.
    int RunInTurn(TRunPlan& plan, TRunSummary& summary, const TRunCallbacks& cb);
    int RunAtOnce(TRunPlan& plan, int jobs, long long budget, TRunSummary& summary, const TRunCallbacks& cb);
    // Reads the source (r.src, open in file) into doc, explodes it, writes
    // it and, when outputs are checked, reads the output back into doc.
    template <class Doc, class Explode>
    void Convert(platform::File& file, Doc& doc, TFileResult& r, bool skipUnchanged, Explode explode);
    // Writes the output through write (which gives kNone or why it failed)
    // into a new file under a temporary name, checks it through verify
    // (when given: "" or the difference), then gives it its name without
    // replacing anything.
    void Publish(TFileResult& r, const std::function<TJwFailure(platform::File&)>& write,
                 const std::function<std::string(const std::string&)>& verify);

    std::string workFolder_;
    std::unique_ptr<TLane> lane_;  // the documents of one file at a time
};

}  // namespace talvine
