// Folder listings over POSIX calls, for the POSIX half of the platform
// layer and for the WebAssembly half, whose in-memory file system answers
// the same calls.
#include <dirent.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "util/Platform.h"

namespace talvine::platform {

bool ListDir(const std::string& dir, std::vector<DirEntry>& entries) {
    entries.clear();
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) return false;
    const std::string base = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        DirEntry entry;
        entry.name = name;
        struct stat st {};
        if (::lstat((base + name).c_str(), &st) == 0) {
            entry.isDir = S_ISDIR(st.st_mode);
            entry.isLink = S_ISLNK(st.st_mode);
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(d);
    return true;
}

}  // namespace talvine::platform
