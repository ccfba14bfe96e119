#include "app/Render.h"

#include <atomic>
#include <optional>
#include <type_traits>
#include <vector>

#include "app/BatchRun.h"
#include "app/DimensionExplode.h"
#include "app/Intake.h"
#include "app/OpenSource.h"
#include "util/Func_2.h"
#include "util/Platform.h"
#include "util/TempFile.h"

namespace talvine {

namespace {

constexpr char kImageFolderPrefix[] = "render-";

std::string WithoutSeparator(std::string folder) {
    while (!folder.empty() && platform::IsPathSeparator(static_cast<unsigned char>(folder.back()))) folder.pop_back();
    return folder;
}

// Removes the files in folder, then the folder; true when it is gone.
bool RemoveFolderAndFiles(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    if (platform::ListDir(folder, entries))
        for (const platform::DirEntry& e : entries)
            if (!e.isDir) platform::RemoveFile(AddPathDelim(folder) + e.name);
    return platform::RemoveDir(WithoutSeparator(folder));
}

// The folders "render-<pid>-<n>" in base of processes that no longer run
// (ended while drawing), with their files.
void RemoveStaleImageFolders(const std::string& base) {
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDir(base, entries)) return;
    const std::string prefix = kImageFolderPrefix;
    for (const platform::DirEntry& e : entries) {
        if (!e.isDir || e.isLink || e.name.compare(0, prefix.size(), prefix) != 0) continue;
        long long pid = 0;
        size_t i = prefix.size();
        for (; i < e.name.size() && e.name[i] >= '0' && e.name[i] <= '9' && pid < (1LL << 40); ++i)
            pid = pid * 10 + (e.name[i] - '0');
        if (i == prefix.size() || i >= e.name.size() || e.name[i] != '-') continue;
        if (pid <= 0 || pid == platform::ProcessId() || platform::ProcessRunning(pid)) continue;
        RemoveFolderAndFiles(base + e.name);
    }
}

// A folder for the bound images of one drawing while it is drawn, removed
// with its files afterwards: "render-<pid>-<n>" in this user's runtime
// folder. Not the process's work folder (MakeWorkFolder): the window draws
// while its own, of that same name, is in use, and removing it when empty
// would take it from the window.
class TImageFolder {
public:
    TImageFolder() {
        static std::atomic<unsigned> serial{0};
        base_ = platform::UserRuntimeDir("talvine");
        if (base_.empty() || !platform::ForceDirectories(base_)) return;
        RemoveStaleImageFolders(base_);
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::string folder = base_ + kImageFolderPrefix + std::to_string(platform::ProcessId()) + "-" +
                                       std::to_string(serial++);
            if (platform::DirExists(folder)) continue;
            if (!platform::ForceDirectories(folder)) return;
            path_ = AddPathDelim(folder);
        }
    }
    ~TImageFolder() {
        if (path_.empty()) return;
        RemoveFolderAndFiles(path_);
        platform::RemoveDir(WithoutSeparator(base_));  // when nothing else is in it
    }
    TImageFolder(const TImageFolder&) = delete;
    TImageFolder& operator=(const TImageFolder&) = delete;
    const std::string& path() const { return path_; }  // "" when none could be made

private:
    std::string base_, path_;
};

template <class Doc>
bool PicturesOf(Doc& doc, platform::File& file, const std::string& src, bool compare, const TRenderOptions& given,
                std::vector<TPicture>& pictures, std::string& error) {
    TRenderOptions options = given;
    if (options.drawingFolder.empty()) {
        size_t n = src.size();
        while (n > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(src[n - 1]))) --n;
        options.drawingFolder = n > 0 ? src.substr(0, n) : std::string(".") + platform::PathSeparator();
    }
    // A drawing's bound images are drawn from files (a figure has none).
    std::optional<TImageFolder> images;
    if constexpr (std::is_same_v<Doc, TJwwData>) images.emplace();
    doc.BindImageFolder = images ? images->path() : std::string();
    doc.BindImageExp = doc.BindImageExr = !doc.BindImageFolder.empty();
    if (!doc.FileIn(file, src)) {
        error = "cannot read " + src + (doc.LastError.empty() ? "" : ": " + doc.LastError);
        return false;
    }
    if (doc.BindImageExp) doc.BindImageExplode();
    double pw = 0, ph = 0;
    if constexpr (std::is_same_v<Doc, TJwwData>) PaperSize(doc, pw, ph);
    TPicture before;
    before.paperWidth = pw, before.paperHeight = ph;
    if (!DrawPrimitives(doc, options, before.primitives)) {
        error = src + " places its blocks too often to be drawn";
        return false;
    }
    if (!compare) {
        pictures.push_back(std::move(before));
        return true;
    }
    before.caption = u"変換前 (before)";
    const TListCounts counts = ListCountsOf(doc);
    ExplodeDimensions(doc, true);
    TRenderOptions marked = options;
    marked.before = &counts;
    TPicture after;
    after.paperWidth = pw, after.paperHeight = ph;
    after.caption = u"変換後 (after): 寸法から作った線・文字・点を橙色で表示";
    if (!DrawPrimitives(doc, marked, after.primitives)) {
        error = src + " places its blocks too often to be drawn";
        return false;
    }
    pictures.push_back(std::move(before));
    pictures.push_back(std::move(after));
    return true;
}

}  // namespace

bool RenderFile(const std::string& src, bool compare, const TRenderOptions& options, std::string& svg,
                std::string& error) {
    std::vector<TPicture> pictures;
    if (!IsJwName(src)) {
        error = src + " is not a .jww or .jws file";
        return false;
    }
    TSource source = OpenSource(src, true);
    if (source.failure != TFileFailure::kNone) {
        error = "cannot read " + src + ": " + FailureTextEnglish(source.failure, source.detail);
        return false;
    }
    bool ok;
    if (source.kind == TJwKind::kFigure) {
        TJwsData doc;
        ok = PicturesOf(doc, source.file, src, compare, options, pictures, error);
    } else {
        TJwwData doc;
        ok = PicturesOf(doc, source.file, src, compare, options, pictures, error);
    }
    if (ok) svg = SvgOf(pictures);
    return ok;
}

bool PublishSvg(std::string& path, const std::string& svg, bool branch, std::string& error) {
    error.clear();
    auto taken = [](const std::string& p) { return platform::FileExists(p) || platform::DirExists(p); };
    if (taken(path)) {
        if (!branch) {
            error = path + " exists, not replaced";
            return false;
        }
        const std::string free = GetBranchFileName(path);
        if (free.empty()) {
            error = "every branch name of " + path + " is taken";
            return false;
        }
        path = free;
    }
    size_t n = path.size();
    while (n > 0 && !platform::IsPathSeparator(static_cast<unsigned char>(path[n - 1]))) --n;
    const std::string folder = path.substr(0, n);
    platform::File file;
    const std::string tmp = ReserveTempFile(folder, path.substr(n), file);
    bool written = !tmp.empty() && file.Write(svg.data(), svg.size());
    written = file.Close() && written;
    bool published = false;
    while (written && !published) {
        published = platform::RenameNoReplace(tmp, path);
        if (published || !taken(path)) break;
        // Taken meanwhile.
        const std::string free = branch ? GetBranchFileName(path) : std::string();
        if (free.empty()) {
            error = branch ? "every branch name of " + path + " is taken" : path + " exists, not replaced";
            break;
        }
        path = free;
    }
    if (!tmp.empty()) {
        if (!published) platform::RemoveFile(tmp);
        platform::UnregisterTempPath(tmp);
    }
    if (!published && error.empty()) error = "cannot write " + path;
    return published;
}

bool WriteSvgFile(const std::string& path, const std::string& svg) {
    std::string target = path, error;
    return PublishSvg(target, svg, false, error);
}

}  // namespace talvine

