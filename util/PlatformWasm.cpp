// WebAssembly half of the platform layer: files and folders through the
// POSIX calls that emscripten answers from its in-memory file system (or,
// under Node.js with NODERAWFS, from the real one). A page has one program
// in one thread and no other processes: there are no signals, no process
// ids of others and no large pages. The text services are in
// PlatformWasmText.cpp.
#include "util/Platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace talvine::platform {

namespace {

IoError g_lastIoError = IoError::kNone;

template <class T>
T Failed(int err, T result) {
    switch (err) {
        case ENOENT:
        case ENOTDIR: g_lastIoError = IoError::kNotFound; break;
        case EACCES:
        case EPERM:
        case EROFS: g_lastIoError = IoError::kPermission; break;
        case ENOSPC:
        case EFBIG:
        case ENOMEM: g_lastIoError = IoError::kNoSpace; break;
        default: g_lastIoError = IoError::kOther; break;
    }
    return result;
}

bool StatOf(const std::string& path, struct stat& st) { return !path.empty() && ::stat(path.c_str(), &st) == 0; }

}  // namespace

IoError LastIoError() { return g_lastIoError; }
void ClearLastIoError() { g_lastIoError = IoError::kNone; }

File File::OpenRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return Failed(errno, File());
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Failed(EISDIR, File());
    }
    return File(fd);
}

File File::CreateWrite(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    return fd < 0 ? Failed(errno, File()) : File(fd);
}

File File::CreateNew(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    return fd < 0 ? Failed(errno, File()) : File(fd);
}

long long File::Read(void* buf, size_t n) {
    if (!IsOpen()) return -1;
    auto* p = static_cast<char*>(buf);
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::read(static_cast<int>(native_), p + done, n - done);
        if (r < 0) return Failed(errno, -1LL);
        if (r == 0) break;
        done += static_cast<size_t>(r);
    }
    return static_cast<long long>(done);
}

bool File::Write(const void* buf, size_t n) {
    if (!IsOpen()) return false;
    const auto* p = static_cast<const char*>(buf);
    while (n > 0) {
        const ssize_t r = ::write(static_cast<int>(native_), p, n);
        if (r <= 0) return Failed(r < 0 ? errno : ENOSPC, false);
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

bool File::Rewind() { return IsOpen() && (::lseek(static_cast<int>(native_), 0, SEEK_SET) == 0 || Failed(errno, false)); }

bool File::Close() {
    if (!IsOpen()) return true;
    const int r = ::close(static_cast<int>(native_));
    native_ = kClosed;
    return r == 0 || Failed(errno, false);
}

// The memory of a WebAssembly program is one growing array: a large array
// is ordinary zeroed memory.
void* AllocateLarge(size_t bytes) { return bytes == 0 ? nullptr : std::calloc(1, bytes); }
void FreeLarge(void* p, size_t) { std::free(p); }

bool FileExists(const std::string& path) {
    struct stat st {};
    return StatOf(path, st) && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
    struct stat st {};
    return StatOf(path, st) && S_ISDIR(st.st_mode);
}

long long FileSize(const std::string& path) {
    struct stat st {};
    return StatOf(path, st) && S_ISREG(st.st_mode) ? static_cast<long long>(st.st_size) : -1;
}

long long FileModifiedTime(const std::string& path) {
    struct stat st {};
    if (!StatOf(path, st)) return -1;
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
    const size_t slash = p.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !ForceDirectories(p.substr(0, slash))) return false;
    if (::mkdir(p.c_str(), 0777) == 0) return true;
    return errno == EEXIST && DirExists(p);
}

bool RemoveDir(const std::string& path) { return !path.empty() && ::rmdir(path.c_str()) == 0; }

bool RenameReplace(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool RenameNoReplace(const std::string& from, const std::string& to) {
    // One program, one thread, and no one else in its file system: nothing
    // can take the name between the look and the rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool IsDirWritable(const std::string& dir) { return DirExists(dir); }

char PathSeparator() { return '/'; }
bool IsPathSeparator(char32_t c) { return c == U'/'; }

// The program has no file of its own: its folders are those of its
// in-memory file system.
std::string ExecutablePath() { return {}; }
std::string ExecutableDir() { return {}; }
std::string UserDataDir(const std::string& appName) { return "/home/web_user/" + appName + "/"; }
std::string UserConfigDir(const std::string& appName) { return "/home/web_user/" + appName + "/"; }
std::string UserRuntimeDir(const std::string& appName) { return "/tmp/" + appName + "/"; }
std::string DesktopDir() { return {}; }
std::string DocumentsDir() { return {}; }
std::string TempDir() { return "/tmp/"; }
long long ProcessId() { return 1; }


// A page cannot tell the machine's memory (a run's default budget applies).
long long PhysicalMemory() { return 0; }

// Only this program runs here: any other id may be a process of the
// system the file system belongs to (under Node.js), never taken for stale.
bool ProcessRunning(long long) { return true; }

// No signals: a page stops a run between files through the run's own
// callbacks, and nothing terminates it halfway.
void InstallInterruptHandlers() {}
bool InterruptRequested() { return false; }
bool RegisterTempPath(const std::string&) { return true; }
void UnregisterTempPath(const std::string&) {}
File CreateTempFile(const std::string& path) { return File::CreateNew(path); }
void SetCleanupFolder(const std::string&) {}
void SetTerminationTexts(const std::string&, const std::string&) {}
bool StdoutIsTerminal() { return false; }

void UseUtf8Arguments(int&, char**&) {}

bool WriteStd(StdStream stream, const std::string& utf8) {
    std::FILE* f = stream == StdStream::kOut ? stdout : stderr;
    const bool ok = std::fwrite(utf8.data(), 1, utf8.size(), f) == utf8.size();
    return std::fflush(f) == 0 && ok;
}

}  // namespace talvine::platform
