#include "app/Intake.h"

#include <algorithm>
#include <stdexcept>

#include "util/Func_2.h"
#include "util/Platform.h"

namespace talvine {

namespace {

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

bool IsJwName(const std::string& path) {
    try {
        const std::string ext = GetLowerExt(path);
        return ext == ".jww" || ext == ".jws";
    } catch (const std::invalid_argument&) {
        return false;
    }
}

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
        const size_t below = AddPathDelim(path).size();
        std::string top;
        if (intake.treeUnderFolderName) {
            std::string name = path;
            while (name.size() > 1 && platform::IsPathSeparator(static_cast<unsigned char>(name.back()))) name.pop_back();
            name = FileNamePart(name);
            // A root ("/", "C:\") or "." and ".." name no folder of their own.
            if (!name.empty() && name != "." && name != ".." && name.find(':') == std::string::npos)
                top = AddPathDelim(name);
        }
        for (const std::string& f : found) {
            intake.files.push_back(f);
            const std::string rel = f.substr(below);
            intake.subfolders.push_back(top + rel.substr(0, rel.size() - FileNamePart(rel).size()));
        }
        return;
    }
    if (!platform::FileExists(path)) {
        intake.refused.push_back({path, TIntake::Refusal::kMissing});
    } else if (!IsJwName(path)) {
        intake.refused.push_back({path, TIntake::Refusal::kNotJwFile});
    } else {
        intake.files.push_back(path);
        intake.subfolders.emplace_back();
    }
}

}  // namespace talvine
