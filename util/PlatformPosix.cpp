// POSIX half of the platform layer: a rename that never replaces, the
// program's and the user's folders, and large memory. Files and folders
// are in PlatformPosixFiles.cpp, shared with the WebAssembly half.
#include "util/Platform.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

namespace talvine::platform {

bool RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef SYS_renameat2
    long r = ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1 /* RENAME_NOREPLACE */);
    if (r == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // File systems without renameat2: a hard link never replaces an existing
    // name; the temporary name is removed afterwards.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

bool IsDirWritable(const std::string& dir) {
    return !dir.empty() && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::string ExecutablePath() {
    char buf[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string ExecutableDir() {
    const std::string s = ExecutablePath();
    size_t slash = s.find_last_of('/');
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

std::string UserDataDir(const std::string& appName) {
    std::string base;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        base = std::string(h) + "/.local/share";
    } else {
        base = TempDir() + appName + "-" + std::to_string(::getuid());
        return base + "/";
    }
    if (base.back() != '/') base += '/';
    return base + appName + "/";
}

std::string UserConfigDir(const std::string& appName) {
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        base = std::string(h) + "/.config";
    } else {
        return TempDir() + appName + "-" + std::to_string(::getuid()) + "/";
    }
    if (base.back() != '/') base += '/';
    return base + appName + "/";
}

std::string UserRuntimeDir(const std::string& appName) {
    // $XDG_RUNTIME_DIR is private to the user and emptied at log-out; it is
    // used only when it names an existing folder.
    if (const char* r = std::getenv("XDG_RUNTIME_DIR"); r && *r == '/' && DirExists(r)) {
        std::string base = r;
        if (base.back() != '/') base += '/';
        return base + appName + "/";
    }
    std::string base;
    if (const char* x = std::getenv("XDG_CACHE_HOME"); x && *x == '/') {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        base = std::string(h) + "/.cache";
    } else {
        return TempDir() + appName + "-" + std::to_string(::getuid()) + "/";
    }
    if (base.back() != '/') base += '/';
    return base + appName + "/";
}

namespace {

// The folder that the XDG user-dirs file (user-dirs.dirs) names for key,
// else $HOME/fallback; empty without a home folder.
std::string XdgUserDir(const char* key, const char* fallback) {
    const char* h = std::getenv("HOME");
    if (!h || *h != '/') return {};
    std::string home = h;
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    std::string config;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') config = x;
    else config = home + "/.config";
    std::string dir = home + "/" + fallback;
    if (std::FILE* f = std::fopen((config + "/user-dirs.dirs").c_str(), "r")) {
        char line[4096];
        const std::string prefix = std::string(key) + "=\"";
        while (std::fgets(line, sizeof line, f)) {
            std::string l = line;
            while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
            if (l.rfind(prefix, 0) != 0 || l.size() < prefix.size() + 1 || l.back() != '"') continue;
            std::string value = l.substr(prefix.size(), l.size() - prefix.size() - 1);
            if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
            if (!value.empty() && value[0] == '/') dir = value;
        }
        std::fclose(f);
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir + "/";
}

}  // namespace

std::string DesktopDir() { return XdgUserDir("XDG_DESKTOP_DIR", "Desktop"); }

std::string DocumentsDir() { return XdgUserDir("XDG_DOCUMENTS_DIR", "Documents"); }

std::string TempDir() {
    const char* t = std::getenv("TMPDIR");
    std::string s = (t && *t) ? t : "/tmp";
    if (s.back() != '/') s += '/';
    return s;
}

long long ProcessId() { return static_cast<long long>(::getpid()); }

void UseUtf8Arguments(int&, char**&) {}

namespace {
constexpr size_t kLargePage = size_t{1} << 21;  // 2 MB, the x86-64 and arm64 huge page
size_t LargeMapping(size_t bytes) { return (bytes + kLargePage - 1) / kLargePage * kLargePage; }
}  // namespace

void* AllocateLarge(size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * kLargePage) return nullptr;
    const size_t size = LargeMapping(bytes);
    // Map one large page more, so that the region can start on a large-page
    // boundary; the rest is given back at once.
    void* raw = ::mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kLargePage - 1) & ~(uintptr_t{kLargePage} - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const size_t tail = kLargePage - (aligned - start);
    if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* p = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    // A hint, for the whole large pages the array fills: a large page is
    // resident as a whole once touched, so the last, partly used one would
    // hold up to 2 MB that the array never uses. Its end takes small pages.
    if (const size_t whole = bytes / kLargePage * kLargePage; whole > 0) ::madvise(p, whole, MADV_HUGEPAGE);
#endif
    return p;
}

void FreeLarge(void* p, size_t bytes) {
    if (p) ::munmap(p, LargeMapping(bytes));
}

}  // namespace talvine::platform
