// WebAssembly half of the platform layer. Files and folders go through the
// POSIX calls of PlatformPosixFiles.cpp, which emscripten answers from its
// in-memory file system (or, under Node.js with NODERAWFS, from the real
// one); the text services are in PlatformWasmText.cpp. A page has one
// program in one thread and no other processes: there are no signals, no
// process ids of others and no large pages.
#include "util/Platform.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace talvine::platform {

// The memory of a WebAssembly program is one growing array: a large array
// is ordinary zeroed memory.
void* AllocateLarge(size_t bytes) { return bytes == 0 ? nullptr : std::calloc(1, bytes); }
void FreeLarge(void* p, size_t) { std::free(p); }

bool RenameNoReplace(const std::string& from, const std::string& to) {
    // One program, one thread, and no one else in its file system: nothing
    // can take the name between the look and the rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool IsDirWritable(const std::string& dir) { return DirExists(dir); }

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

}  // namespace talvine::platform
