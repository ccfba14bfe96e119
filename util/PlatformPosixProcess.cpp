// POSIX half of the platform layer: processes, and the interrupt and
// termination handlers of a command-line run.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "util/Platform.h"
#include "util/PlatformTermination.h"

namespace talvine::platform {


long long PhysicalMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), size = ::sysconf(_SC_PAGE_SIZE);
    return pages > 0 && size > 0 ? static_cast<long long>(pages) * size : 0;
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

volatile sig_atomic_t g_interrupts = 0;

void WriteAll(int fd, const char* s) {
    if (s == nullptr) return;
    size_t n = std::strlen(s);
    while (n > 0) {
        const ssize_t r = ::write(fd, s, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return;
        s += r;
        n -= static_cast<size_t>(r);
    }
}

// Deletes the files of the folder open in fd and, depth levels down, of its
// subfolders and the subfolders (the work folder holds one folder of bound
// images for each file converted at once).
void EmptyAt(int fd, int depth) {
#ifdef SYS_getdents64
    alignas(8) char buf[4096];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
        if (n <= 0) break;
        for (long off = 0; off < n;) {
            // struct linux_dirent64: ino (8), off (8), reclen (2), type (1), name.
            unsigned short reclen;
            std::memcpy(&reclen, buf + off + 16, sizeof reclen);
            const unsigned char type = static_cast<unsigned char>(buf[off + 18]);
            const char* name = buf + off + 19;
            if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
                if (type == DT_DIR) {
                    if (depth > 0) {
                        const int sub = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                        if (sub >= 0) {
                            EmptyAt(sub, depth - 1);
                            ::close(sub);
                            ::unlinkat(fd, name, AT_REMOVEDIR);
                        }
                    }
                } else {
                    ::unlinkat(fd, name, 0);
                }
            }
            off += reclen;
        }
    }
#else
    (void)fd;
    (void)depth;
#endif
}

// Deletes the files of a folder and of its subfolders (not deeper), and the
// folder.
void EmptyAndRemove(const char* folder) {
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        EmptyAt(fd, 1);
        ::close(fd);
    }
    ::rmdir(folder);
}

void Unlink(const char* path) { ::unlink(path); }

void PauseBriefly() {
    const timespec t{0, 1'000'000};
    ::nanosleep(&t, nullptr);
}

[[noreturn]] void Terminate() {
    termination::ForEachTempPath(Unlink, PauseBriefly);
    if (const char* folder = termination::CleanupFolder()) {
        EmptyAndRemove(folder);
        // Its parent, when that is now empty.
        char parent[4096];
        size_t n = std::strlen(folder);
        if (n >= sizeof parent) n = sizeof parent - 1;
        std::memcpy(parent, folder, n);
        parent[n] = '\0';
        while (n > 1 && parent[n - 1] == '/') parent[--n] = '\0';
        while (n > 1 && parent[n - 1] != '/') parent[--n] = '\0';
        if (n > 1) ::rmdir(parent);
    }
    WriteAll(STDOUT_FILENO, termination::Text(0));
    WriteAll(STDERR_FILENO, termination::Text(1));
    ::_exit(130);
}

extern "C" void OnSignal(int sig) {
    if (sig == SIGINT && g_interrupts == 0) {
        g_interrupts = 1;
        return;
    }
    Terminate();
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

}  // namespace talvine::platform
