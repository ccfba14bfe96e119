// POSIX half of the platform layer: folder listings, processes, and the
// interrupt and termination handlers of a command-line run.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cerrno>
#include <cstring>

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

bool ProcessRunning(long long pid) {
    if (pid <= 0 || pid > INT32_MAX) return true;  // no process of ours; never taken for stale
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// ---- Interruption -------------------------------------------------------
//
// The termination handler runs on the interrupted thread and ends the
// process, so it only uses calls that are safe in a signal handler: the
// registered paths live in fixed slots that are marked valid only once
// written.

namespace {

constexpr size_t kPathMax = 4096;
constexpr size_t kTextMax = 1024;

enum SlotState : int { kFree = 0, kBusy = 1, kValid = 2 };
char g_tempPaths[kMaxTempPaths][kPathMax];
std::atomic<int> g_tempState[kMaxTempPaths];

char g_cleanupFolder[kPathMax];
std::atomic<bool> g_cleanupValid{false};

char g_texts[2][2][kTextMax];  // [buffer][stdout, stderr]
std::atomic<int> g_textBuffer{-1};

volatile sig_atomic_t g_interrupts = 0;

void WriteAll(int fd, const char* s) {
    size_t n = std::strlen(s);
    while (n > 0) {
        const ssize_t r = ::write(fd, s, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        s += r;
        n -= static_cast<size_t>(r);
    }
}

// Deletes the files of a folder (not its subfolders) and the folder.
void EmptyAndRemove(const char* folder) {
#ifdef SYS_getdents64
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        alignas(8) char buf[4096];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
            if (n <= 0) break;
            for (long off = 0; off < n;) {
                // struct linux_dirent64: ino (8), off (8), reclen (2), type (1), name.
                unsigned short reclen;
                std::memcpy(&reclen, buf + off + 16, sizeof reclen);
                const char* name = buf + off + 19;
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) ::unlinkat(fd, name, 0);
                off += reclen;
            }
        }
        ::close(fd);
    }
#endif
    ::rmdir(folder);
}

[[noreturn]] void Terminate() {
    for (int i = 0; i < kMaxTempPaths; ++i)
        if (g_tempState[i].load() == kValid) ::unlink(g_tempPaths[i]);
    if (g_cleanupValid.load()) {
        EmptyAndRemove(g_cleanupFolder);
        // Its parent, when that is now empty.
        char parent[kPathMax];
        std::memcpy(parent, g_cleanupFolder, kPathMax);
        size_t n = std::strlen(parent);
        while (n > 1 && parent[n - 1] == '/') parent[--n] = '\0';
        while (n > 1 && parent[n - 1] != '/') parent[--n] = '\0';
        if (n > 1) ::rmdir(parent);
    }
    const int b = g_textBuffer.load();
    if (b >= 0) {
        WriteAll(STDOUT_FILENO, g_texts[b][0]);
        WriteAll(STDERR_FILENO, g_texts[b][1]);
    }
    ::_exit(130);
}

extern "C" void OnSignal(int sig) {
    if (sig == SIGINT && g_interrupts == 0) {
        g_interrupts = 1;
        return;
    }
    Terminate();
}

void Copy(char* to, const std::string& from, size_t size) {
    const size_t n = std::min(from.size(), size - 1);
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

}  // namespace

void InstallInterruptHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&sa.sa_mask, sig);  // one handler at a time
    }
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool InterruptRequested() { return g_interrupts != 0; }

bool RegisterTempPath(const std::string& path) {
    if (path.size() >= kPathMax) return false;
    for (int i = 0; i < kMaxTempPaths; ++i) {
        int expected = kFree;
        if (!g_tempState[i].compare_exchange_strong(expected, kBusy)) continue;
        Copy(g_tempPaths[i], path, kPathMax);
        g_tempState[i].store(kValid);
        return true;
    }
    return false;
}

void UnregisterTempPath(const std::string& path) {
    for (int i = 0; i < kMaxTempPaths; ++i) {
        int expected = kValid;
        if (g_tempState[i].load() != kValid || path != g_tempPaths[i]) continue;
        if (g_tempState[i].compare_exchange_strong(expected, kBusy)) g_tempState[i].store(kFree);
        return;
    }
}

void SetCleanupFolder(const std::string& folder) {
    g_cleanupValid.store(false);
    if (folder.empty() || folder.size() >= kPathMax) return;
    Copy(g_cleanupFolder, folder, kPathMax);
    g_cleanupValid.store(true);
}

void SetTerminationTexts(const std::string& toStdout, const std::string& toStderr) {
    const int next = g_textBuffer.load() == 0 ? 1 : 0;
    Copy(g_texts[next][0], toStdout, kTextMax);
    Copy(g_texts[next][1], toStderr, kTextMax);
    g_textBuffer.store(next);
}

}  // namespace talvine::platform
