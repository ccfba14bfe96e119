#include "app/BatchRun.h"

#include <algorithm>
#include <cstdlib>
#include <future>
#include <new>
#include <stdexcept>
#include <system_error>

#include "app/DimensionExplode.h"
#include "app/Settings.h"
#include "jww/Archive.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

namespace {

constexpr char kWorkFolderName[] = "TEMP";

// Where work folders are made: "TEMP" beside the executable, else in a
// per-user folder.
std::vector<std::string> WorkFolderBases() {
    std::vector<std::string> bases;
    const std::string exe = platform::ExecutableDir();
    if (!exe.empty() && !IsInstalledProgramFolder(exe)) bases.push_back(exe + kWorkFolderName + platform::PathSeparator());
    bases.push_back(platform::UserRuntimeDir("talvine"));
    return bases;
}

std::u16string U(const std::string& utf8) { return Utf8ToUtf16(utf8); }

// The file-name part of a path of this system.
std::string FileNamePart(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(path[i - 1]))) --i;
    return path.substr(i);
}

std::string FolderPart(const std::string& path) { return path.substr(0, path.size() - FileNamePart(path).size()); }

}  // namespace

std::string ReserveTempFile(const std::string& folder, const std::string& name, platform::File& file) {
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string tmp = folder + ".~" + name + "." + std::to_string(platform::ProcessId()) + "-" +
                                std::to_string(serial++) + ".tmp";
        // Known before it exists, so that a terminated process leaves nothing.
        platform::RegisterTempPath(tmp);
        file = platform::File::CreateNew(tmp);
        if (file.IsOpen()) return tmp;
        platform::UnregisterTempPath(tmp);
        if (platform::LastIoError() != platform::IoError::kOther) return {};  // missing, no permission, full
        if (!platform::DirExists(FolderPart(tmp).empty() ? "." : FolderPart(tmp))) return {};
    }
    return {};
}

TBatchRun::TBatchRun(std::string workFolder) : workFolder_(std::move(workFolder)) {
    if (!workFolder_.empty()) workFolder_ = AddPathDelim(workFolder_);
    JWW.BindImageFolder = workFolder_;
    JWW.BindImageExp = true;
    JWW.BindImageExr = true;
    JWS.BindImageFolder = workFolder_;
    JWS.BindImageExp = false;
    JWS.BindImageExr = false;
}

TBatchRun::~TBatchRun() { JwwDataFree(); }

void TBatchRun::JwwDataFree() {
    JWW.BindImageDeleteGzFile();
    JWW.BindImageDeleteNonGzFile();
    JWW.DataFree();
    JWW.BindImageInit();
}

TFileFailure ReadFailureOf(TJwFailure why, const std::string& src) {
    switch (why) {
        case TJwFailure::kCannotOpen:
            if (!platform::FileExists(src)) return TFileFailure::kVanished;
            return TFileFailure::kCannotRead;
        case TJwFailure::kNotJw: return TFileFailure::kNotJw;
        case TJwFailure::kUnknownVersion: return TFileFailure::kUnknownVersion;
        case TJwFailure::kTooComplex: return TFileFailure::kTooComplex;
        case TJwFailure::kOutOfMemory: return TFileFailure::kOutOfMemory;
        default: return TFileFailure::kDamaged;
    }
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

const char* const kKindNames[8] = {"", "lines", "arcs", "points", "texts", "dimensions", "solids", "block inserts"};

// The first difference between what was written and what was read back, in
// words; "" when there is none.
std::string TallyDifference(const TJwDocument::TWrittenTally& written, const TJwDocument::TWrittenTally& back) {
    if (written.definitions != back.definitions)
        return "block definitions: " + std::to_string(written.definitions) + " written, " +
               std::to_string(back.definitions) + " read back";
    for (int k = kEntLine; k <= kEntBlock; ++k) {
        for (const bool top : {true, false}) {
            const int64_t w = top ? written.top[k] : written.blocks[k], b = top ? back.top[k] : back.blocks[k];
            if (w != b)
                return std::string(kKindNames[k]) + (top ? " of the drawing: " : " in block definitions: ") +
                       std::to_string(w) + " written, " + std::to_string(b) + " read back";
        }
        if (written.places[k] != back.places[k])
            return std::string("the ") + kKindNames[k] + " read back lie elsewhere than those written";
    }
    return "";
}

// Runs job on a thread of its own when worth it and one can be had, else
// when its result is asked for.
template <class Job>
auto InBackground(bool worthIt, Job job) {
    if (worthIt) {
        try {
            return std::async(std::launch::async, job);
        } catch (const std::system_error&) {
        }
    }
    return std::async(std::launch::deferred, job);
}

// Files smaller than this are summed on the thread that reads them back,
// and documents with fewer entries than this tallied on the thread that
// writes them: starting a thread would cost more than it saves.
constexpr long long kSumAlongsideFrom = 1 << 20;
constexpr size_t kTallyAlongsideFrom = 20000;

// Reads the output at path, which doc was just written to with version ver,
// back into doc, and compares: the file holds the very bytes written, every
// entity written (written: the document's tally) is there again at its
// place, no dimension is left, and the header read back gives the header
// written. "" when all holds, else the first difference. The document then
// holds what was read back.
template <class Doc>
std::string VerifyOutput(Doc& doc, const std::string& path, int ver, const TJwDocument::TWrittenTally& written) {
    const uint32_t checksum = doc.WrittenChecksum, headerChecksum = doc.WrittenHeaderChecksum;
    const int option = doc.FileOutOpt;
    // The bytes of a large file are summed on a second thread while this
    // one reads them back.
    uint32_t fileChecksum = 0;
    std::future<bool> summed = InBackground(platform::FileSize(path) >= kSumAlongsideFrom,
                                            [&path, &fileChecksum] { return FileChecksum(path, fileChecksum); });
    // The bound images stay where the first read put them.
    const bool extract = doc.BindImageExp;
    doc.BindImageExp = false;
    const bool read = doc.FileIn(path);
    doc.BindImageExp = extract;
    const bool whole = summed.get();
    if (!read) return "the output cannot be read back: " + doc.LastError;
    const TJwDocument::TWrittenTally back = doc.WrittenTally();
    const int64_t dimensions = back.top[kEntSunpo] + back.blocks[kEntSunpo];
    if (dimensions > 0) return std::to_string(dimensions) + " dimensions are left in the output";
    if (std::string d = TallyDifference(written, back); !d.empty()) return d;
    if (!whole) return "the output cannot be read back to its end";
    if (fileChecksum != checksum) return "the output does not hold the bytes that were written";
    doc.FileOutOpt = option;
    if (doc.HeaderChecksum(ver) != headerChecksum) return "the header read back differs from the header written";
    return "";
}

}  // namespace

void TBatchRun::Publish(TJwDocument& doc, TFileResult& r, const std::function<bool(platform::File&)>& write,
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
    if (!write(file)) {
        r.failure = doc.LastFailure == TJwFailure::kOutOfMemory ? TFileFailure::kOutOfMemory : WriteFailure(folder);
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
void TBatchRun::Convert(Doc& doc, TFileResult& r, bool skipUnchanged, Explode explode) {
    // A source that cannot be read completely is not converted: writing what
    // was read would silently drop the rest of the drawing.
    // A drawing too complex to measure is not converted either. Nothing
    // here may throw out of the run: memory running out fails this file,
    // and the run goes on with the next.
    try {
        if (!doc.FileIn(r.src) || !doc.GetMinMaxZahyo()) {
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
        std::function<std::string(const std::string&)> verify;
        // What the output must hold is tallied on a second thread while it
        // is written: the writer only reads the document.
        std::future<TJwDocument::TWrittenTally> written;
        if (verifyOutputs) {
            written = InBackground(doc.EntNo.size() >= kTallyAlongsideFrom, [&doc] { return doc.WrittenTally(); });
            verify = [&](const std::string& tmp) { return VerifyOutput(doc, tmp, ver, written.get()); };
        }
        Publish(doc, r, [&](platform::File& file) { return doc.FileOutTo(file, ver); }, verify);
    } catch (const std::bad_alloc&) {
        doc.LastFailure = TJwFailure::kOutOfMemory;
        r.failure = TFileFailure::kOutOfMemory;
    }
}

TFileResult TBatchRun::ConvertFile(const std::string& src, const std::string& dst, bool referencePoints,
                                   bool skipUnchanged) {
    TFileResult r;
    r.src = src;
    r.dst = dst;
    std::string ext;
    try {
        ext = GetLowerExt(src);
    } catch (const std::invalid_argument&) {
    }
    if (ext != ".jww" && ext != ".jws") {
        r.failure = platform::FileExists(src) ? TFileFailure::kNotJw : TFileFailure::kVanished;
        return r;
    }
    const bool jww = ext == ".jww";
    const TJwFailure check = jww ? TJwwData::CheckFile(src) : TJwsData::CheckFile(src);
    if (check != TJwFailure::kNone) {
        r.failure = ReadFailureOf(check, src);
        // The other kind under this extension: say so.
        if (check == TJwFailure::kNotJw && (jww ? TJwsData::FileCheck(src) : TJwwData::FileCheck(src))) {
            r.failure = TFileFailure::kWrongExtension;
            r.detail = jww ? "jws" : "jww";
        }
        return r;
    }
    if (dst.empty()) {
        r.failure = TFileFailure::kNamesTaken;
        return r;
    }
    if (jww) {
        Convert(JWW, r, skipUnchanged, [&](TJwwData& d) { return DataTransJWW(d, referencePoints); });
        JwwDataFree();
    } else {
        Convert(JWS, r, skipUnchanged, [&](TJwsData& d) { return DataTransJWS(d, referencePoints); });
        JWS.DataFree();
    }
    return r;
}

std::u16string TBatchRun::RunProc1(const std::string& src, std::string& dst, bool referencePoints) {
    const TFileResult r = ConvertFile(src, dst, referencePoints);
    if (!r.dst.empty()) dst = r.dst;
    return r.done ? kResultDone : kResultFailed;
}

TRunSummary TBatchRun::RunProc(const std::vector<std::string>& files, TRunSettings& settings,
                               const TRunCallbacks& cb) {
    TRunSummary summary;
    if (files.empty()) return summary;
    verifyOutputs = settings.verify;
    auto log = [&](const std::u16string& line) {
        if (cb.log) cb.log(line);
    };

    std::string folder;
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
                if (cb.folderMissing) cb.folderMissing(std::u16string(kFolderMissingMessage) + u"\r\n" + U(folder));
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
    summary.started = true;
    summary.total = static_cast<int>(files.size());
    if (cb.saveSettings) cb.saveSettings();
    if (cb.clearLog) cb.clearLog();
    if (cb.runStarting) cb.runStarting(summary.total);

    // Leftovers of processes that were killed while writing here.
    std::vector<std::string> tidied;
    auto tidy = [&](const std::string& f) {
        if (std::find(tidied.begin(), tidied.end(), f) != tidied.end()) return;
        tidied.push_back(f);
        RemoveStaleOutputs(f);
    };
    if (settings.folderMode != TOutputFolder::kSource) tidy(folder);

    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& src = files[i];
        if (cb.abortRequested && cb.abortRequested()) {
            summary.aborted = true;
            summary.left = summary.total - static_cast<int>(i);
            log(cb.abortLine ? cb.abortLine(summary.left) : std::u16string(kLogAborted));
            break;
        }
        if (cb.fileStarting) cb.fileStarting(static_cast<int>(i), summary.total, src);
        if (settings.folderMode == TOutputFolder::kSource) tidy(FolderPart(src));
        const std::string candidate =
            settings.folderMode == TOutputFolder::kSource ? src : folder + FileNamePart(src);
        // All branch numbers taken: nothing may be overwritten, so the file fails.
        const TFileResult r =
            ConvertFile(src, GetBranchFileName(candidate), settings.referencePoints, settings.skipUnchanged);
        log(U(src));
        if (r.unchanged) {
            log(kLogNothingWritten);
            log(kLogResultPrefix + std::u16string(kResultUnchanged));
            ++summary.unchanged;
        } else {
            log(kLogArrow + U(r.dst.empty() ? candidate : r.dst));
            log(kLogResultPrefix + std::u16string(r.done ? kResultDone : kResultFailed));
            if (r.done) {
                log(kLogDetailPrefix + CountsText(r.counts));
                ++summary.converted;
                summary.dimensions += r.counts.dimensions;
            } else {
                log(kLogReasonPrefix + FailureText(r.failure, r.detail));
                ++summary.failed;
            }
        }
        if (cb.fileDone) cb.fileDone(r);
    }
    if (cb.summarize) cb.summarize(summary);
    log(SummaryText(summary));
    if (cb.showLog) cb.showLog();
    return summary;
}

std::string MakeWorkFolder() {
    RemoveStaleWorkFolders();
    const std::string own = std::to_string(platform::ProcessId());
    for (const std::string& base : WorkFolderBases()) {
        const std::string folder = base + own + platform::PathSeparator();
        if (platform::ForceDirectories(folder) && platform::IsDirWritable(folder)) return folder;
    }
    return {};
}

void RemoveWorkFolder(const std::string& folder) {
    if (folder.empty()) return;
    std::string f = folder;
    while (!f.empty() && platform::IsPathSeparator(static_cast<unsigned char>(f.back()))) f.pop_back();
    if (!platform::RemoveDir(f)) return;
    const std::string parent = FolderPart(f);
    if (!parent.empty()) platform::RemoveDir(parent.substr(0, parent.size() - 1));
}

// ---- What users read -----------------------------------------------------

std::u16string FailureText(TFileFailure failure, const std::string& detail) {
    switch (failure) {
        case TFileFailure::kNone: return u"";
        case TFileFailure::kNotJw: return u"Jw_cad の図面（.jww）・図形（.jws）ではありません";
        case TFileFailure::kWrongExtension:
            return detail == "jws" ? u"中身は図形ファイル（.jws）です。拡張子を .jws にしてください"
                                   : u"中身は図面ファイル（.jww）です。拡張子を .jww にしてください";
        case TFileFailure::kUnknownVersion: return u"対応していないバージョンのファイルです";
        case TFileFailure::kDamaged: return u"ファイルが壊れているか、途中で切れています";
        case TFileFailure::kCannotRead: return u"ファイルを読めません（アクセス権がありません）";
        case TFileFailure::kVanished: return u"ファイルが見つかりません（移動または削除されました）";
        case TFileFailure::kTooComplex: return u"ブロックの入れ子が複雑すぎて扱えません";
        case TFileFailure::kOutOfMemory: return u"メモリが足りません";
        case TFileFailure::kOutputFolderMissing: return u"保存先のフォルダがありません：" + U(detail);
        case TFileFailure::kOutputNotWritable: return u"保存先のフォルダに書き込めません（アクセス権がありません）：" + U(detail);
        case TFileFailure::kDiskFull: return u"保存先の空き容量が足りません";
        case TFileFailure::kNamesTaken: return u"同じ名前のファイルが多すぎます（枝番 1～99999 がすべて使用済み）";
        case TFileFailure::kCannotWrite: return u"保存先に書き込めませんでした";
        case TFileFailure::kVerifyFailed: return u"検証に失敗";
    }
    return u"";
}

std::string FailureTextEnglish(TFileFailure failure, const std::string& detail) {
    switch (failure) {
        case TFileFailure::kNone: return "";
        case TFileFailure::kNotJw: return "not a Jw_cad drawing (.jww) or figure (.jws)";
        case TFileFailure::kWrongExtension:
            return detail == "jws" ? "the file is a figure (.jws) named .jww" : "the file is a drawing (.jww) named .jws";
        case TFileFailure::kUnknownVersion: return "a Jw_cad file of a version this program does not know";
        case TFileFailure::kDamaged: return "the file is damaged or incomplete";
        case TFileFailure::kCannotRead: return "permission denied";
        case TFileFailure::kVanished: return "no such file (moved or deleted)";
        case TFileFailure::kTooComplex: return "its blocks are nested too deeply or too often to convert";
        case TFileFailure::kOutOfMemory: return "out of memory";
        case TFileFailure::kOutputFolderMissing: return "the output folder does not exist: " + detail;
        case TFileFailure::kOutputNotWritable: return "cannot write into the output folder (permission denied): " + detail;
        case TFileFailure::kDiskFull: return "no space left for the output";
        case TFileFailure::kNamesTaken: return "the name and every branch number up to 99999 are taken";
        case TFileFailure::kCannotWrite: return "the output could not be written";
        case TFileFailure::kVerifyFailed: return "the output failed its check and was removed: " + detail;
    }
    return "";
}

namespace {
std::u16string Num(int64_t n) { return U(std::to_string(n)); }
}  // namespace

std::u16string CountsText(const TExplodeCounts& c) {
    if (c.dimensions == 0) return u"寸法なし";
    return u"寸法 " + Num(c.dimensions) + u"（線 " + Num(c.lines) + u"・文字 " + Num(c.texts) + u"・点 " +
           Num(c.points) + u"）";
}

std::u16string SummaryText(const TRunSummary& s) {
    std::u16string t = u"変換 " + Num(s.converted) + u"・失敗 " + Num(s.failed) + u"・スキップ " +
                       Num(s.skipped + s.unchanged);
    if (s.aborted) t += u"・未変換 " + Num(s.left);
    return t + u"、寸法 " + Num(s.dimensions) + u" を分解";
}

std::string SummaryTextEnglish(const TRunSummary& s) {
    std::string t = std::to_string(s.converted) + " converted, " + std::to_string(s.failed) + " failed, " +
                    std::to_string(s.skipped + s.unchanged) + " skipped";
    if (s.aborted) t += ", " + std::to_string(s.left) + " not converted (interrupted)";
    return t + "; " + std::to_string(s.dimensions) + (s.dimensions == 1 ? " dimension" : " dimensions") +
           " dissolved";
}

// ---- Leftovers of ended processes ----------------------------------------

namespace {

// Digits only, as a number; -1 otherwise.
long long ParsePid(const std::string& s) {
    if (s.empty() || s.size() > 18) return -1;
    long long v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// Removes the files in folder and the folder; true when it is gone.
bool RemoveFolderWithFiles(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDir(folder, entries)) return false;
    for (const auto& e : entries)
        if (!e.isDir) platform::RemoveFile(AddPathDelim(folder) + e.name);
    return platform::RemoveDir(folder);
}


}  // namespace

long long TempOutputOwner(const std::string& name) {
    // ".~<name>.<pid>-<n>.tmp" (the run's) or "<path>.~<pid>-<n>.tmp" (the writer's).
    if (!EndsWith(name, ".tmp")) return -1;
    const std::string stem = name.substr(0, name.size() - 4);
    const size_t dot = stem.rfind('.');
    if (dot == std::string::npos) return -1;
    std::string tail = stem.substr(dot + 1);
    const bool writers = !tail.empty() && tail[0] == '~';
    if (writers) tail.erase(0, 1);
    else if (name.rfind(".~", 0) != 0) return -1;
    const size_t dash = tail.find('-');
    if (dash == std::string::npos || ParsePid(tail.substr(dash + 1)) < 0) return -1;
    return ParsePid(tail.substr(0, dash));
}

int RemoveStaleOutputs(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDir(folder.empty() ? "." : folder, entries)) return 0;
    int removed = 0;
    for (const auto& e : entries) {
        if (e.isDir || e.isLink) continue;
        const long long pid = TempOutputOwner(e.name);
        if (pid <= 0 || pid == platform::ProcessId() || platform::ProcessRunning(pid)) continue;
        if (platform::RemoveFile(AddPathDelim(folder.empty() ? "." : folder) + e.name)) ++removed;
    }
    return removed;
}

int RemoveStaleWorkFolders() {
    int removed = 0;
    for (const std::string& base : WorkFolderBases()) {
        std::vector<platform::DirEntry> entries;
        if (!platform::ListDir(base, entries)) continue;
        for (const auto& e : entries) {
            const long long pid = ParsePid(e.name);
            if (!e.isDir || pid <= 0 || pid == platform::ProcessId() || platform::ProcessRunning(pid)) continue;
            if (RemoveFolderWithFiles(base + e.name)) ++removed;
        }
    }
    return removed;
}

// ---- Intake ----------------------------------------------------------------

namespace {

bool IsJwName(const std::string& path) {
    try {
        const std::string ext = GetLowerExt(path);
        return ext == ".jww" || ext == ".jws";
    } catch (const std::invalid_argument&) {
        return false;
    }
}

void CollectFolder(const std::string& folder, std::vector<std::string>& out, int depth) {
    if (depth > 64) return;  // a loop through bind mounts, or absurd nesting
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDir(folder, entries)) return;
    std::sort(entries.begin(), entries.end(),
              [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.name < b.name; });
    const std::string base = AddPathDelim(folder);
    for (const auto& e : entries) {
        const std::string path = base + e.name;
        if (e.isDir) CollectFolder(path, out, depth + 1);
        else if (IsJwName(path) && platform::FileExists(path)) out.push_back(path);
    }
}

}  // namespace

void PickupPath(const std::string& path, bool recursive, TIntake& intake) {
    if (path.empty()) return;
    if (platform::DirExists(path)) {
        if (!recursive) {
            intake.refused.push_back({path, TIntake::Refusal::kFolder});
            return;
        }
        std::vector<std::string> found;
        CollectFolder(path, found, 0);
        // Sorted by path: a folder's files and subfolders in one order.
        std::sort(found.begin(), found.end());
        intake.files.insert(intake.files.end(), found.begin(), found.end());
        return;
    }
    if (!platform::FileExists(path)) {
        intake.refused.push_back({path, TIntake::Refusal::kMissing});
    } else if (!IsJwName(path)) {
        intake.refused.push_back({path, TIntake::Refusal::kNotJwFile});
    } else {
        intake.files.push_back(path);
    }
}

}  // namespace talvine
