#include "app/WorkFolder.h"

#include "app/Settings.h"
#include "util/Func_2.h"
#include "util/Platform.h"
#include "util/TempFile.h"

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

}  // namespace


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

// Leftovers of ended processes.

namespace {



// Removes the files in folder, its subfolders with their files (the bound
// images of files converted at once), and the folder; true when it is gone.
bool RemoveFolderWithFiles(const std::string& folder, int depth = 1) {
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDir(folder, entries)) return false;
    for (const auto& e : entries) {
        if (!e.isDir) platform::RemoveFile(AddPathDelim(folder) + e.name);
        else if (depth > 0 && !e.isLink) RemoveFolderWithFiles(AddPathDelim(folder) + e.name, depth - 1);
    }
    return platform::RemoveDir(folder);
}


}  // namespace



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

}  // namespace talvine
