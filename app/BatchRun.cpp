#include "app/BatchRun.h"

#include <new>
#include <stdexcept>

#include "app/DimensionExplode.h"
#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

namespace {

constexpr char kWorkFolderName[] = "TEMP";

std::u16string U(const std::string& utf8) { return Utf8ToUtf16(utf8); }

// The file-name part of a path of this system.
std::string FileNamePart(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(path[i - 1]))) --i;
    return path.substr(i);
}

std::string FolderPart(const std::string& path) { return path.substr(0, path.size() - FileNamePart(path).size()); }

// Reserves a new, hidden file in folder for writing an output before it is
// published; "" when none can be created.
std::string ReserveTempFile(const std::string& folder, const std::string& name) {
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string tmp = folder + ".~" + name + "." + std::to_string(platform::ProcessId()) + "-" +
                                std::to_string(serial++) + ".tmp";
        platform::File f = platform::File::CreateNew(tmp);
        if (f.IsOpen()) return tmp;
        if (!platform::DirExists(FolderPart(tmp).empty() ? "." : FolderPart(tmp))) return {};
    }
    return {};
}

}  // namespace

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

template <class Doc, class Explode>
bool TBatchRun::Convert(Doc& doc, const std::string& src, const std::string& tmp, Explode explode) {
    // A source that cannot be read completely is not converted: writing what
    // was read would silently drop the rest of the drawing.
    // A drawing too complex to measure is not converted either. Nothing
    // here may throw out of the run: memory running out fails this file,
    // and the run goes on with the next.
    try {
        if (!doc.FileIn(src) || !doc.GetMinMaxZahyo()) return false;
        explode(doc);
        doc.SetFileOutOption(doc.MojiEncode ? 32 : 0);
        return doc.FileOut(tmp, doc.Enthd.jwVer);
    } catch (const std::bad_alloc&) {
        doc.LastFailure = TJwFailure::kOutOfMemory;
        return false;
    }
}

std::u16string TBatchRun::RunProc1(const std::string& src, std::string& dst, bool referencePoints) {
    std::string ext;
    try {
        ext = GetLowerExt(src);
    } catch (const std::invalid_argument&) {
        return kResultFailed;
    }
    const bool isJww = ext == ".jww" && TJwwData::FileCheck(src);
    const bool isJws = !isJww && ext == ".jws" && TJwsData::FileCheck(src);
    if ((!isJww && !isJws) || dst.empty()) return kResultFailed;

    // The output is written under a hidden temporary name in the target
    // folder and only then given its name, without replacing anything.
    const std::string tmp = ReserveTempFile(FolderPart(dst), FileNamePart(dst));
    if (tmp.empty()) return kResultFailed;
    bool written;
    if (isJww) {
        written = Convert(JWW, src, tmp, [&](TJwwData& d) { DataTransJWW(d, referencePoints); });
        JwwDataFree();
    } else {
        written = Convert(JWS, src, tmp, [&](TJwsData& d) { DataTransJWS(d, referencePoints); });
        JWS.DataFree();
    }
    bool published = false;
    while (written && !published) {
        published = platform::RenameNoReplace(tmp, dst);
        if (!published) {
            // The name was taken meanwhile: the next free branch name.
            if (!platform::FileExists(dst) && !platform::DirExists(dst)) break;
            dst = GetBranchFileName(dst);
            if (dst.empty()) break;
        }
    }
    if (!published) platform::RemoveFile(tmp);
    return published && FileExistsAt(dst) ? kResultDone : kResultFailed;
}

TRunSummary TBatchRun::RunProc(const std::vector<std::string>& files, TRunSettings& settings,
                               const TRunCallbacks& cb) {
    TRunSummary summary;
    if (files.empty()) return summary;
    auto log = [&](const std::u16string& line) {
        if (cb.log) cb.log(line);
    };

    std::string folder;
    switch (settings.folderMode) {
        case TOutputFolder::kDesktop: folder = AddPathDelim(settings.desktopDir); break;
        case TOutputFolder::kDocuments: folder = AddPathDelim(settings.documentsDir); break;
        case TOutputFolder::kSource: break;
        case TOutputFolder::kSpecified:
            folder = AddPathDelim(settings.specifiedDir);
            if (settings.specifiedDir.empty() || !platform::DirExists(folder)) {
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
    if (cb.saveSettings) cb.saveSettings();
    if (cb.clearLog) cb.clearLog();

    for (const std::string& src : files) {
        if (cb.abortRequested && cb.abortRequested()) {
            log(kLogAborted);
            summary.aborted = true;
            break;
        }
        const std::string candidate =
            settings.folderMode == TOutputFolder::kSource ? src : folder + FileNamePart(src);
        std::string dst = GetBranchFileName(candidate);
        // All branch numbers taken: nothing may be overwritten, so the file fails.
        const std::u16string result = dst.empty() ? kResultFailed : RunProc1(src, dst, settings.referencePoints);
        log(U(src));
        log(kLogArrow + U(dst.empty() ? candidate : dst));
        log(kLogResultPrefix + result);
        (result == kResultDone ? summary.converted : summary.failed) += 1;
    }
    if (cb.showLog) cb.showLog();
    return summary;
}

std::string MakeWorkFolder() {
    const std::string own = std::to_string(platform::ProcessId());
    std::vector<std::string> bases;
    const std::string exe = platform::ExecutableDir();
    if (!exe.empty()) bases.push_back(exe + kWorkFolderName + platform::PathSeparator());
    bases.push_back(platform::UserDataDir("talvine") + kWorkFolderName + platform::PathSeparator());
    for (const std::string& base : bases) {
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

}  // namespace talvine
