// Files and folders over POSIX calls, for the POSIX half of the platform
// layer and for the WebAssembly half, whose in-memory file system answers
// the same calls. What differs between the two (a rename that never
// replaces, the program's own folders, large memory) is in
// PlatformPosix.cpp and PlatformWasm.cpp.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "util/Platform.h"

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
        case EFBIG:
#ifdef __EMSCRIPTEN__
        case ENOMEM:  // the page's in-memory file system is full
#endif
            g_lastIoError = IoError::kNoSpace;
            break;
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
        if (r < 0 && errno == EINTR) continue;
        // A write that takes nothing of what is left would never end.
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

char PathSeparator() { return '/'; }

bool IsPathSeparator(char32_t c) { return c == U'/'; }

bool WriteStd(StdStream stream, const std::string& utf8) {
    std::FILE* f = stream == StdStream::kOut ? stdout : stderr;
    const bool ok = std::fwrite(utf8.data(), 1, utf8.size(), f) == utf8.size();
    return std::fflush(f) == 0 && ok;
}

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
