// POSIX half of the platform layer: files and folders.
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

namespace {

thread_local IoError g_lastIoError = IoError::kNone;

// Records why a call failed, for LastIoError; returns the value to give back.
template <class T>
T Failed(int err, T result) {
    switch (err) {
        case ENOENT:
        case ENOTDIR: g_lastIoError = IoError::kNotFound; break;
        case EACCES:
        case EPERM:
        case EROFS: g_lastIoError = IoError::kPermission; break;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: g_lastIoError = IoError::kNoSpace; break;
        default: g_lastIoError = IoError::kOther; break;
    }
    return result;
}

}  // namespace

IoError LastIoError() { return g_lastIoError; }
void ClearLastIoError() { g_lastIoError = IoError::kNone; }

File File::OpenRead(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return Failed(errno, File());
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Failed(EISDIR, File());
    }
    return File(fd);
}

File File::CreateWrite(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? Failed(errno, File()) : File(fd);
}

File File::CreateNew(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? Failed(errno, File()) : File(fd);
}

long long File::Read(void* buf, size_t n) {
    if (!IsOpen()) return -1;
    size_t done = 0;
    auto* p = static_cast<char*>(buf);
    while (done < n) {
        ssize_t r = ::read(static_cast<int>(native_), p + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? static_cast<long long>(done) : Failed(errno, -1LL);
        }
        if (r == 0) break;
        done += static_cast<size_t>(r);
    }
    return static_cast<long long>(done);
}

bool File::Write(const void* buf, size_t n) {
    if (!IsOpen()) return false;
    const auto* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t r = ::write(static_cast<int>(native_), p, n);
        if (r < 0) {
            if (errno == EINTR) continue;
            return Failed(errno, false);
        }
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

long long File::Size() const {
    struct stat st {};
    if (!IsOpen() || ::fstat(static_cast<int>(native_), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

bool File::Rewind() {
    return IsOpen() && (::lseek(static_cast<int>(native_), 0, SEEK_SET) == 0 || Failed(errno, false));
}

bool File::Close() {
    if (!IsOpen()) return true;
    int r = ::close(static_cast<int>(native_));
    native_ = kClosed;
    return r == 0 || errno == EINTR || Failed(errno, false);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

long long FileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long long>(st.st_size);
}

long long FileModifiedTime(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

bool RemoveFile(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
}

bool ForceDirectories(const std::string& path) {
    if (path.empty()) return false;
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (DirExists(p)) return true;
    size_t slash = p.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (!ForceDirectories(p.substr(0, slash))) return false;
    }
    if (::mkdir(p.c_str(), 0777) == 0) return true;
    return errno == EEXIST && DirExists(p);
}

bool RemoveDir(const std::string& path) {
    return !path.empty() && ::rmdir(path.c_str()) == 0;
}

bool RenameReplace(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

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

char PathSeparator() { return '/'; }

bool IsPathSeparator(char32_t c) { return c == U'/'; }

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

bool WriteStd(StdStream stream, const std::string& utf8) {
    std::FILE* f = stream == StdStream::kOut ? stdout : stderr;
    const bool ok = std::fwrite(utf8.data(), 1, utf8.size(), f) == utf8.size();
    return std::fflush(f) == 0 && ok;
}

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
    ::madvise(p, size, MADV_HUGEPAGE);  // a hint: without it the memory is ordinary
#endif
    return p;
}

void FreeLarge(void* p, size_t bytes) {
    if (p) ::munmap(p, LargeMapping(bytes));
}

}  // namespace talvine::platform
