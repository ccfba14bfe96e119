#include "util/TempFile.h"

#include <atomic>

#include "util/Func_2.h"

namespace talvine {

namespace {

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

long long ParsePid(const std::string& s) {
    if (s.empty() || s.size() > 18) return -1;
    long long v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::string ReserveTempFile(const std::string& folder, const std::string& name, platform::File& file) {
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string tmp = folder + ".~" + name + "." + std::to_string(platform::ProcessId()) + "-" +
                                std::to_string(serial++) + ".tmp";
        // Known before it exists, so that a terminated process leaves nothing.
        file = platform::CreateTempFile(tmp);
        if (file.IsOpen()) return tmp;
        if (platform::LastIoError() != platform::IoError::kOther) return {};  // missing, no permission, full
        if (!platform::DirExists(FolderPart(tmp).empty() ? "." : FolderPart(tmp))) return {};
    }
    return {};
}

long long TempOutputOwner(const std::string& name) {
    // ".~<name>.<pid>-<n>.tmp", or the older "<name>.~<pid>-<n>.tmp".
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

}  // namespace talvine
