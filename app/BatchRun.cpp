#include "app/BatchRun.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "app/Aside.h"
#include "app/DimensionExplode.h"
#include "app/Settings.h"
#include "app/Verify.h"
#include "jww/Archive.h"
#include "util/Func_2.h"
#include "util/Platform.h"
#include "util/TempFile.h"

namespace talvine {

namespace {

std::u16string U(const std::string& utf8) { return Utf8ToUtf16(utf8); }

}  // namespace

// One converter: the two documents and the folder their bound images go to.
struct TBatchRun::TLane {
    TJwwData JWW;
    TJwsData JWS;
    explicit TLane(const std::string& imageFolder) {
        JWW.BindImageFolder = imageFolder;
        JWW.BindImageExp = true;
        JWW.BindImageExr = true;
        JWS.BindImageFolder = imageFolder;
        JWS.BindImageExp = false;
        JWS.BindImageExr = false;
    }
    ~TLane() { JwwDataFree(); }
    TLane(const TLane&) = delete;
    TLane& operator=(const TLane&) = delete;
    // Empties the drawing document and deletes the images its read extracted.
    void JwwDataFree() {
        JWW.BindImageDeleteGzFile();
        JWW.BindImageDeleteNonGzFile();
        JWW.DataFree();
        JWW.BindImageInit();
    }
};

TBatchRun::TBatchRun(std::string workFolder) : workFolder_(std::move(workFolder)) {
    if (!workFolder_.empty()) workFolder_ = AddPathDelim(workFolder_);
    lane_ = std::make_unique<TLane>(workFolder_);
}

TBatchRun::~TBatchRun() = default;

int TBatchRun::JobsFor(int requested) {
    int jobs = requested;
    if (jobs <= 0) jobs = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(jobs, 1, kMaxJobs);
}

namespace {

// Why an output could not be made in folder, from the last failed call.
TFileFailure WriteFailure(const std::string& folder) {
    if (!platform::DirExists(folder.empty() ? "." : folder)) return TFileFailure::kOutputFolderMissing;
    switch (platform::LastIoError()) {
        case platform::IoError::kPermission: return TFileFailure::kOutputNotWritable;
        case platform::IoError::kNoSpace: return TFileFailure::kDiskFull;
        case platform::IoError::kNotFound: return TFileFailure::kOutputFolderMissing;
        default: return TFileFailure::kCannotWrite;
    }
}

}  // namespace

namespace {

// Documents with fewer entries than this are tallied on the thread that
// writes them: starting a thread would cost more than it saves.
constexpr size_t kTallyAlongsideFrom = 20000;

}  // namespace

void TBatchRun::Publish(TFileResult& r, const std::function<TJwFailure(platform::File&)>& write,
                        const std::function<std::string(const std::string&)>& verify) {
    // The output is written under a hidden temporary name in the target
    // folder and only then given its name, without replacing anything.
    const std::string folder = FolderPart(r.dst);
    platform::ClearLastIoError();
    platform::File file;
    const std::string tmp = ReserveTempFile(folder, FileNamePart(r.dst), file);
    if (tmp.empty()) {
        r.failure = WriteFailure(folder);
        r.detail = folder;
        return;
    }
    if (const TJwFailure failed = write(file); failed != TJwFailure::kNone) {
        r.failure = failed == TJwFailure::kOutOfMemory ? TFileFailure::kOutOfMemory : WriteFailure(folder);
        r.detail = folder;
        platform::RemoveFile(tmp);
        platform::UnregisterTempPath(tmp);
        return;
    }
    if (outputHook) outputHook(tmp);
    if (verify) {
        if (std::string difference = verify(tmp); !difference.empty()) {
            r.failure = TFileFailure::kVerifyFailed;
            r.detail = std::move(difference);
            platform::RemoveFile(tmp);
            platform::UnregisterTempPath(tmp);
            return;
        }
    }
    bool published = false;
    while (!published) {
        published = platform::RenameNoReplace(tmp, r.dst);
        if (published) break;
        // The name was taken meanwhile: the next free branch name.
        if (!platform::FileExists(r.dst) && !platform::DirExists(r.dst)) {
            r.failure = WriteFailure(folder);
            r.detail = folder;
            break;
        }
        const std::string next = GetBranchFileName(r.dst);
        if (next.empty()) {
            r.failure = TFileFailure::kNamesTaken;
            break;
        }
        r.dst = next;
    }
    if (!published) platform::RemoveFile(tmp);
    platform::UnregisterTempPath(tmp);
    r.done = published && FileExistsAt(r.dst);
    if (published && !r.done) r.failure = TFileFailure::kVanished;  // removed at once by someone else
}

template <class Doc, class Explode>
void TBatchRun::Convert(platform::File& file, Doc& doc, TFileResult& r, bool skipUnchanged, Explode explode) {
    // A source that cannot be read completely is not converted: writing what
    // was read would silently drop the rest of the drawing.
    // A drawing too complex to measure is not converted either. Nothing
    // here may throw out of the run: memory running out fails this file,
    // and the run goes on with the next.
    try {
        if (!doc.FileIn(file, r.src) || !doc.GetMinMaxZahyo()) {
            r.failure = ReadFailureOf(doc.LastFailure, r.src);
            return;
        }
        r.counts = explode(doc);
        if (skipUnchanged && r.counts.dimensions == 0) {
            r.unchanged = true;
            return;
        }
        doc.SetFileOutOption(doc.MojiEncode ? 32 : 0);
        const int ver = doc.Enthd.jwVer;
        TJwDocument::TWrittenFile written;
        // What the output must hold is tallied on a second thread while it
        // is written: the write only reads the document.
        std::future<TWrittenTally> tally;
        if (verifyOutputs)
            tally = RunAside(doc.EntNo.size() >= kTallyAlongsideFrom, [&doc] { return WrittenTallyOf(doc); });
        auto write = [&](platform::File& file) {
            doc.WriteTo(file, ver, written, verifyOutputs);
            r.unplacedDefinitions = written.definitionsLeftOut;
            return written.failure;
        };
        std::function<std::string(const std::string&)> verify;
        if (verifyOutputs) {
            verify = [&](const std::string& tmp) {
                const TWrittenTally expected = tally.get();
                // The converted document is not needed any more: the output
                // is read back into it, whose arrays are already in memory.
                // The list of the bound images its read extracted is set
                // aside meanwhile, so that they are deleted with it.
                std::vector<TBindImageType> images = std::move(doc.BindImage);
                const int32_t imageN = doc.BindImageN;
                std::string difference = VerifyOutput(doc, tmp, written, expected);
                doc.BindImage = std::move(images);
                doc.BindImageN = imageN;
                return difference;
            };
        }
        Publish(r, write, verify);
        // The tally must end before the document changes.
        if (tally.valid()) tally.wait();
    } catch (const std::bad_alloc&) {
        doc.LastFailure = TJwFailure::kOutOfMemory;
        r.failure = TFileFailure::kOutOfMemory;
    }
}

TFileResult TBatchRun::ConvertFile(const std::string& src, const std::string& dst, bool referencePoints,
                                   bool skipUnchanged) {
    return ConvertFile(*lane_, src, dst, referencePoints, skipUnchanged);
}

TFileResult TBatchRun::ConvertFile(TLane& lane, const std::string& src, const std::string& dst,
                                   bool referencePoints, bool skipUnchanged) {
    TFileResult r;
    r.src = src;
    r.dst = dst;
    TSource source = OpenSource(src, true);
    if (source.failure != TFileFailure::kNone) {
        r.failure = source.failure;
        r.detail = source.detail;
        return r;
    }
    if (dst.empty()) {
        r.failure = TFileFailure::kNamesTaken;
        return r;
    }
    if (source.kind == TJwKind::kDrawing) {
        Convert(source.file, lane.JWW, r, skipUnchanged,
                [&](TJwwData& d) { return DataTransJWW(d, referencePoints); });
        lane.JwwDataFree();
    } else {
        Convert(source.file, lane.JWS, r, skipUnchanged,
                [&](TJwsData& d) { return DataTransJWS(d, referencePoints); });
        lane.JWS.DataFree();
    }
    return r;
}

std::u16string TBatchRun::RunProc1(const std::string& src, std::string& dst, bool referencePoints) {
    const TFileResult r = ConvertFile(src, dst, referencePoints);
    if (!r.dst.empty()) dst = r.dst;
    return r.done ? kResultDone : kResultFailed;
}

void TRunSummary::Add(const TFileResult& r) {
    if (r.resumed) {
        ++resumed;
    } else if (r.unchanged) {
        ++unchanged;
    } else if (r.done) {
        ++converted;
        dimensions += r.counts.dimensions;
        unplacedDefinitions += r.unplacedDefinitions;
    } else {
        ++failed;
    }
}

namespace {

// "plan~3.jww" beside "plan.jww" (or "plan.JWW"): named as an output of an
// earlier run beside its source.
bool NamedAsEarlierOutput(const std::string& src) {
    const std::string name = FileNamePart(src);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return false;
    const std::string stem = name.substr(0, dot), ext = name.substr(dot);
    const size_t tilde = stem.find_last_of('~');
    if (tilde == std::string::npos || tilde == 0 || tilde + 1 == stem.size() || stem.size() - tilde - 1 > 5 ||
        stem[tilde + 1] == '0')
        return false;
    for (size_t k = tilde + 1; k < stem.size(); ++k)
        if (stem[k] < '0' || stem[k] > '9') return false;
    const std::string base = FolderPart(src) + stem.substr(0, tilde);
    std::string upper = ext;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    std::string lower = ext;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return FileExistsAt(base + ext) || FileExistsAt(base + upper) || FileExistsAt(base + lower);
}

}  // namespace

// What every file of a run shares. The folders whose leftovers were removed
// are the only state that files change.
struct TBatchRun::TRunPlan {
    const TIntake& input;
    const TRunSettings& settings;
    std::string folder;  // the common output folder, with its separator; unused beside the sources
    bool besideSource = false;
    std::set<std::string> tidied;
    std::mutex tidying;
    // The output folder of file i, with its separator ("" for the current
    // folder), and its output's name before any branch number.
    std::string OutputFolder(size_t i) const {
        if (besideSource) return FolderPart(input.files[i]);
        return folder + (i < input.subfolders.size() ? input.subfolders[i] : std::string());
    }
    std::string Candidate(size_t i) const {
        return besideSource ? input.files[i] : OutputFolder(i) + FileNamePart(input.files[i]);
    }
    // Removes the leftovers of killed processes in folder, once a run.
    void Tidy(const std::string& f) {
        const std::lock_guard<std::mutex> hold(tidying);
        if (tidied.insert(f).second) RemoveStaleOutputs(f);
    }
    // The names file i's output may take: its folder and name, in lower
    // case, without branch numbers ("plan~1.jww" may be a branch name of
    // "plan.jww", and "Plan.JWW" and "plan.jww" one file on some systems).
    // Files of one group are named one after another.
    std::string NameGroup(size_t i) const {
        const std::string candidate = Candidate(i);
        const std::string name = FileNamePart(candidate);
        const size_t dot = name.find_last_of('.');
        std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
        const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
        for (;;) {
            const size_t tilde = stem.find_last_of('~');
            if (tilde == std::string::npos || tilde + 1 == stem.size()) break;
            bool digits = true;
            for (size_t k = tilde + 1; k < stem.size(); ++k) digits = digits && stem[k] >= '0' && stem[k] <= '9';
            if (!digits) break;
            stem.erase(tilde);
        }
        const std::string key = candidate.substr(0, candidate.size() - name.size()) + stem + ext;
        return Utf16ToUtf8(LowerStr(Utf8ToUtf16(key)));
    }
};

TFileResult TBatchRun::ProcessFile(TRunPlan& plan, size_t i, TLane& lane) {
    const auto started = std::chrono::steady_clock::now();
    const std::string& src = plan.input.files[i];
    const TRunSettings& s = plan.settings;
    const bool inTree = !plan.besideSource && i < plan.input.subfolders.size() && !plan.input.subfolders[i].empty();
    const std::string outFolder = plan.OutputFolder(i);
    const std::string candidate = plan.Candidate(i);
    const long long bytesIn = std::max(0LL, platform::FileSize(src));
    auto finish = [&](TFileResult r) {
        r.bytesIn = bytesIn;
        if (r.done) r.bytesOut = std::max(0LL, platform::FileSize(r.dst));
        r.milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        return r;
    };

    if (s.resume) {
        // An output that is not older than its source was made from it.
        const long long srcTime = platform::FileModifiedTime(src);
        std::string found;
        if (plan.besideSource || candidate == src) {
            // Beside the source (also a tree kept over itself) every output
            // has a branch number: any of them.
            GetBranchFileName(src, [&](const std::string& p) {
                if (!FileExistsAt(p)) return false;
                if (p != src && found.empty() && platform::FileModifiedTime(p) >= srcTime) found = p;
                return true;
            });
        } else if (FileExistsAt(candidate) && platform::FileModifiedTime(candidate) >= srcTime) {
            found = candidate;
        }
        if (srcTime >= 0 && !found.empty()) {
            TFileResult r;
            r.src = src;
            r.dst = found;
            r.resumed = true;
            return finish(r);
        }
    }

    // The tree below the output folder: created as needed, never over a file.
    if (platform::DirExists(outFolder.empty() ? "." : outFolder)) {
        plan.Tidy(outFolder);
    } else if (inTree && !platform::ForceDirectories(outFolder)) {
        TFileResult r;
        r.src = src;
        r.dst = candidate;
        r.failure = TFileFailure::kCannotMakeFolder;
        r.detail = outFolder;
        return finish(r);
    }

    // An output of an earlier run beside its source is converted again
    // only when it holds dimensions (then it is a drawing of its own).
    const bool earlier = s.resume && NamedAsEarlierOutput(src);
    // All branch numbers taken: nothing may be overwritten, so the file fails.
    TFileResult r =
        ConvertFile(lane, src, GetBranchFileName(candidate), s.referencePoints, s.skipUnchanged || earlier);
    if (earlier && r.unchanged) {
        r.unchanged = false;
        r.resumed = true;
        r.dst.clear();  // it is an output itself
    }
    return finish(r);
}

TRunSummary TBatchRun::RunProc(const std::vector<std::string>& files, TRunSettings& settings,
                               const TRunCallbacks& cb) {
    if (files.empty()) return TRunSummary{};
    TIntake input;
    input.files = files;
    return RunProc(input, settings, cb);
}

TRunSummary TBatchRun::RunProc(const TIntake& input, TRunSettings& settings, const TRunCallbacks& cb) {
    TRunSummary summary;
    const std::vector<std::string>& files = input.files;
    verifyOutputs = settings.verify;
    auto log = [&](const std::u16string& line) {
        if (cb.log) cb.log(line);
    };

    std::string folder;
    bool created = false;
    if (!files.empty()) {
        switch (settings.folderMode) {
            case TOutputFolder::kDesktop: folder = AddPathDelim(settings.desktopDir); break;
            case TOutputFolder::kDocuments: folder = AddPathDelim(settings.documentsDir); break;
            case TOutputFolder::kSource: break;
            case TOutputFolder::kSpecified:
                if (settings.specifiedDir.empty()) {
                    // An empty box names no folder at all (not the root).
                    if (cb.folderMissing) cb.folderMissing(kFolderEmptyMessage);
                    return summary;
                }
                folder = AddPathDelim(settings.specifiedDir);
                if (!platform::DirExists(folder)) {
                    if (!settings.prepareFolder) {
                        if (cb.folderMissing)
                            cb.folderMissing(std::u16string(kFolderMissingMessage) + u"\r\n" + U(folder));
                        return summary;
                    }
                    created = platform::ForceDirectories(folder);
                    if (!created) summary.folderFailure = TFileFailure::kCannotMakeFolder;
                }
                if (settings.prepareFolder && summary.folderFailure == TFileFailure::kNone) {
                    // Found out once before the first file, not by every file.
                    if (!platform::IsDirWritable(folder)) summary.folderFailure = TFileFailure::kOutputNotWritable;
                }
                if (summary.folderFailure != TFileFailure::kNone) {
                    summary.folderDetail = settings.specifiedDir;
                    if (cb.folderMissing) cb.folderMissing(FailureText(summary.folderFailure, summary.folderDetail));
                    return summary;
                }
                break;
            case TOutputFolder::kAskEveryTime: {
                const TFolderAnswer answer =
                    cb.askFolder ? cb.askFolder(settings.preFolder) : TFolderAnswer{TFolderAnswer::kNotShown, {}};
                if (answer.status == TFolderAnswer::kNotShown) return summary;
                if (answer.status == TFolderAnswer::kAccepted) settings.preFolder = AddPathDelim(answer.folder);
                folder = settings.preFolder;
                break;
            }
        }
    }
    summary.started = true;
    summary.total = static_cast<int>(files.size());
    if (!files.empty() && cb.saveSettings) cb.saveSettings();
    if (cb.clearLog) cb.clearLog();
    if (cb.runStarting) cb.runStarting(summary.total);
    if (created) log(FolderCreatedText(settings.specifiedDir));

    // The inputs that are not converted, before the first file.
    for (const TIntake::Refusal& refusal : input.refused) {
        log(U(refusal.path));
        log(kLogNothingWritten);
        log(kLogResultPrefix + std::u16string(kResultSkipped));
        log(std::u16string(kLogReasonPrefix).append(SkipText(refusal.kind)));
        ++summary.skipped;
        if (cb.inputSkipped) cb.inputSkipped(refusal);
    }
    if (files.empty()) log(kLogNoFiles);

    TRunPlan plan{input, settings, folder, settings.folderMode == TOutputFolder::kSource, {}, {}};
    // Leftovers of processes that were killed while writing here.
    if (!plan.besideSource && !files.empty()) plan.Tidy(folder);

    // Several at once only with a work folder to give each converter a
    // folder of its own for bound images.
    const int jobs = std::min<int>(JobsFor(settings.jobs), static_cast<int>(std::max<size_t>(files.size(), 1)));
    int left = 0;
    if (jobs > 1 && !workFolder_.empty()) {
        long long budget = settings.memoryBudget;
        if (budget <= 0) budget = platform::PhysicalMemory() / 2;
        if (budget <= 0) budget = 2LL << 30;
        left = RunAtOnce(plan, jobs, budget, summary, cb);
    } else {
        left = RunInTurn(plan, summary, cb);
    }
    if (left > 0) {
        summary.aborted = true;
        summary.left = left;
        log(cb.abortLine ? cb.abortLine(summary.left) : std::u16string(kLogAborted));
    }
    if (cb.summarize) cb.summarize(summary);
    log(SummaryText(summary));
    if (cb.showLog) cb.showLog();
    return summary;
}

void TBatchRun::LogFile(const TRunPlan& plan, size_t i, const TFileResult& r, TRunSummary& summary,
                        const TRunCallbacks& cb) {
    auto log = [&](const std::u16string& line) {
        if (cb.log) cb.log(line);
    };
    log(U(plan.input.files[i]));
    if (r.resumed) {
        log(r.dst.empty() ? std::u16string(kLogNothingWritten) : kLogArrow + U(r.dst));
        log(kLogResultPrefix + std::u16string(r.dst.empty() ? kResultEarlierOutput : kResultResumed));
    } else if (r.unchanged) {
        log(kLogNothingWritten);
        log(kLogResultPrefix + std::u16string(kResultUnchanged));
    } else {
        const std::string shown = r.dst.empty() ? plan.Candidate(i) : r.dst;
        log(kLogArrow + U(shown));
        log(kLogResultPrefix + std::u16string(r.done ? kResultDone : kResultFailed));
        if (r.done) {
            log(std::u16string(kLogDetailPrefix).append(CountsText(r.counts)));
            if (r.unplacedDefinitions > 0)
                log(std::u16string(kLogDetailPrefix).append(UnplacedText(r.unplacedDefinitions)));
        } else {
            log(std::u16string(kLogReasonPrefix).append(FailureText(r.failure, r.detail)));
        }
    }
    summary.Add(r);
    if (cb.fileDone) cb.fileDone(r);
}

int TBatchRun::RunInTurn(TRunPlan& plan, TRunSummary& summary, const TRunCallbacks& cb) {
    const std::vector<std::string>& files = plan.input.files;
    for (size_t i = 0; i < files.size(); ++i) {
        if (cb.abortRequested && cb.abortRequested()) return static_cast<int>(files.size() - i);
        if (cb.fileStarting) cb.fileStarting(static_cast<int>(i), summary.total, files[i]);
        LogFile(plan, i, ProcessFile(plan, i, *lane_), summary, cb);
    }
    return 0;
}

namespace {

// What a file that could not be converted for want of memory or a thread
// reports.
TFileResult Unconverted(const std::string& src, const std::string& dst) {
    TFileResult r;
    r.src = src;
    r.dst = dst;
    r.failure = TFileFailure::kOutOfMemory;
    return r;
}

}  // namespace

int TBatchRun::RunAtOnce(TRunPlan& plan, int jobs, long long budget, TRunSummary& summary,
                         const TRunCallbacks& cb) {
    const std::vector<std::string>& files = plan.input.files;
    const size_t n = files.size();
    // What each file is taken to need, and the group of names it may take.
    std::vector<long long> need(n);
    std::vector<std::string> group(n);
    for (size_t i = 0; i < n; ++i) {
        const double bytes = static_cast<double>(std::max(0LL, platform::FileSize(files[i])));
        need[i] = static_cast<long long>(std::min(bytes * kPeakFactor, 1e18)) + kBaseNeed;
        group[i] = plan.NameGroup(i);
    }

    // The lanes beyond the first get folders of their own for bound images.
    std::vector<std::unique_ptr<TLane>> lanes;
    std::vector<std::string> laneFolders;
    for (int k = 1; k < jobs; ++k) {
        const std::string f = workFolder_ + "lane" + std::to_string(k) + platform::PathSeparator();
        if (!platform::ForceDirectories(f)) break;
        laneFolders.push_back(f);
        lanes.push_back(std::make_unique<TLane>(f));
    }

    struct {
        std::mutex m;
        std::condition_variable changed;  // a file was done, or the run stopped
        size_t next = 0;                  // the next file to start
        bool stop = false;
        long long needed = 0;  // by the files in progress
        int running = 0;
        std::vector<TFileResult> results;
        std::vector<char> done;
        std::map<std::string, size_t> lastOfGroup;  // the last file started of each group
    } st;
    st.results.resize(n);
    st.done.assign(n, 0);

    auto work = [&](TLane& lane) {
        std::unique_lock<std::mutex> hold(st.m);
        for (;;) {
            // In the order of the list; a file too large for what is left of
            // the budget waits for the files in progress, and runs alone
            // when it is too large for the whole budget.
            st.changed.wait(hold, [&] {
                return st.stop || st.next >= n || st.running == 0 || st.needed + need[st.next] <= budget;
            });
            if (st.stop || st.next >= n) return;
            const size_t i = st.next++;
            st.needed += need[i];
            ++st.running;
            const auto earlier = st.lastOfGroup.find(group[i]);
            const bool waits = earlier != st.lastOfGroup.end();
            const size_t before = waits ? earlier->second : 0;
            st.lastOfGroup[group[i]] = i;
            // Named after the earlier file that may take the same names.
            if (waits) st.changed.wait(hold, [&] { return st.done[before] != 0; });
            hold.unlock();
            TFileResult r;
            try {
                r = ProcessFile(plan, i, lane);
            } catch (const std::exception&) {
                r = Unconverted(files[i], plan.Candidate(i));
            }
            hold.lock();
            st.results[i] = std::move(r);
            st.done[i] = 1;
            st.needed -= need[i];
            --st.running;
            st.changed.notify_all();
        }
    };

    // A stop asked for before the first file starts none.
    if (cb.abortRequested && cb.abortRequested()) {
        lanes.clear();
        for (const std::string& f : laneFolders) platform::RemoveDir(f);
        return static_cast<int>(n);
    }
    std::vector<std::thread> workers;
    auto startWorker = [&](TLane& lane) {
        try {
            workers.emplace_back(work, std::ref(lane));
        } catch (const std::system_error&) {
        }
    };
    startWorker(*lane_);
    for (auto& lane : lanes) startWorker(*lane);
    if (workers.empty()) {
        // No thread to be had: one file after another.
        lanes.clear();
        for (const std::string& f : laneFolders) platform::RemoveDir(f);
        return RunInTurn(plan, summary, cb);
    }

    // This thread logs the files in the order of the list and asks whether
    // to stop, between waits short enough for a stop to be seen at once.
    size_t logged = 0;
    bool stopped = false;
    for (;;) {
        std::unique_lock<std::mutex> hold(st.m);
        st.changed.wait_for(hold, std::chrono::milliseconds(20),
                            [&] { return logged < n && st.done[logged] != 0; });
        while (logged < n && st.done[logged] != 0) {
            TFileResult r = std::move(st.results[logged]);
            st.results[logged] = TFileResult{};
            hold.unlock();
            if (cb.fileStarting) cb.fileStarting(static_cast<int>(logged), summary.total, files[logged]);
            LogFile(plan, logged, r, summary, cb);
            hold.lock();
            ++logged;
        }
        const size_t started = st.next;
        if (logged >= n || (stopped && logged >= started)) break;
        hold.unlock();
        if (!stopped && cb.abortRequested && cb.abortRequested()) {
            stopped = true;
            const std::lock_guard<std::mutex> again(st.m);
            st.stop = true;
            st.changed.notify_all();
        }
    }
    {
        const std::lock_guard<std::mutex> hold(st.m);
        st.stop = true;
        st.changed.notify_all();
    }
    for (std::thread& t : workers) t.join();
    lanes.clear();  // empties their documents
    for (const std::string& f : laneFolders) platform::RemoveDir(f);
    return static_cast<int>(n - logged);
}

}  // namespace talvine
