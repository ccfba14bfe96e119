// Windows half of the platform layer: files and folders through the
// wide-character calls, the known folders of the shell, code page 932 and
// linguistic casing through the system's own services.
#include "util/WindowsApi.h"
#include <fcntl.h>
#include <io.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include "util/Platform.h"
#include "util/PlatformTermination.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace talvine::platform {

namespace {

thread_local IoError g_lastIoError = IoError::kNone;

// Records why a call failed (GetLastError), for LastIoError; returns the
// value to give back.
template <class T>
T Failed(T result) {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_DIRECTORY: g_lastIoError = IoError::kNotFound; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT: g_lastIoError = IoError::kPermission; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_NOT_ENOUGH_QUOTA:
        case ERROR_FILE_TOO_LARGE: g_lastIoError = IoError::kNoSpace; break;
        default: g_lastIoError = IoError::kOther; break;
    }
    return result;
}

// ---- Text and paths ----------------------------------------------------

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string Utf8(const wchar_t* w, size_t len) {
    if (len == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(len), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(len), s.data(), n, nullptr, nullptr);
    return s;
}

std::string Utf8(const std::wstring& w) { return Utf8(w.data(), w.size()); }

std::string WithSeparator(std::string dir) {
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    return dir;
}

// The path in the form the wide-character calls take: made absolute and,
// when it is too long for the classic limit, in the \\?\ form that lifts it.
std::wstring NativePath(const std::string& path) {
    std::wstring w = Wide(path);
    if (w.empty()) return w;
    // Paths already in the \\?\ form are taken as they are.
    if (w.rfind(L"\\\\?\\", 0) == 0) return w;
    // CreateDirectoryW stops at MAX_PATH - 12 characters; keep a margin.
    constexpr size_t kClassicLimit = MAX_PATH - 12;
    if (w.size() < kClassicLimit) return w;
    const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return w;
    std::wstring full(n, L'\0');
    const DWORD m = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
    if (m == 0 || m >= n) return w;
    full.resize(m);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// Whether the last component of a path names a temporary file (see the
// header): it begins with a dot or ends in ".tmp".
bool IsTemporaryName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) return false;
    if (name[0] == '.') return true;
    return name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".tmp") == 0;
}

// Sets or clears the hidden attribute of a file after a rename.
void MatchHiddenToName(const std::string& path) {
    const std::wstring w = NativePath(path);
    const DWORD attr = GetFileAttributesW(w.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return;
    const DWORD want = IsTemporaryName(path) ? (attr | FILE_ATTRIBUTE_HIDDEN) : (attr & ~FILE_ATTRIBUTE_HIDDEN);
    if (want != attr) SetFileAttributesW(w.c_str(), want == 0 ? FILE_ATTRIBUTE_NORMAL : want);
}

HANDLE ToHandle(std::intptr_t n) { return reinterpret_cast<HANDLE>(n); }
std::intptr_t FromHandle(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(h);
}

// Attributes of what path names, following a symbolic link or junction at
// the end; false when nothing is there.
bool ResolvedAttributes(const std::string& path, DWORD& attr) {
    if (path.empty()) return false;
    const std::wstring w = NativePath(path);
    attr = GetFileAttributesW(w.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return false;
    if ((attr & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
    HANDLE h = CreateFileW(w.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (ok) attr = info.dwFileAttributes;
    return ok;
}

// A rename that another program holds up for a moment fails with a sharing
// violation, or access denied while a file is still open elsewhere (a virus
// scanner, the indexer, Explorer looking at a file that just appeared on
// the desktop): try again for about three seconds.
bool MoveRetried(const std::string& from, const std::string& to, DWORD flags) {
    const std::wstring wf = NativePath(from), wt = NativePath(to);
    if (wf.empty() || wt.empty()) return false;
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(wf.c_str(), wt.c_str(), flags | MOVEFILE_WRITE_THROUGH)) {
            MatchHiddenToName(to);
            return true;
        }
        const DWORD err = GetLastError();
        // Access denied onto an existing target counts only when replacing:
        // without replacing, a taken name is final.
        const bool targetExists = GetFileAttributesW(wt.c_str()) != INVALID_FILE_ATTRIBUTES;
        const bool transient = err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
                               (err == ERROR_ACCESS_DENIED && (!targetExists || (flags & MOVEFILE_REPLACE_EXISTING)));
        if (!transient || attempt >= 60) return false;
        Sleep(50);
    }
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR p = nullptr;
    std::string dir;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &p)) && p) dir = Utf8(std::wstring(p));
    CoTaskMemFree(p);
    return WithSeparator(dir);
}

}  // namespace

// ---- Files -------------------------------------------------------------

IoError LastIoError() { return g_lastIoError; }
void ClearLastIoError() { g_lastIoError = IoError::kNone; }

File File::OpenRead(const std::string& path) {
    if (path.empty()) return File();
    HANDLE h = CreateFileW(NativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failed(File());
    // A folder opens too (with backup semantics only, but say it as POSIX does).
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(h);
        g_lastIoError = IoError::kOther;
        return File();
    }
    return File(FromHandle(h));
}

File File::CreateWrite(const std::string& path) {
    if (path.empty()) return File();
    const std::wstring w = NativePath(path);
    const DWORD attr = GetFileAttributesW(w.c_str());
    // Never write through a symbolic link or junction at the final component.
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return File();
    const bool temporary = IsTemporaryName(path);
    HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, temporary ? FILE_SHARE_DELETE : 0, nullptr, CREATE_ALWAYS,
                           (temporary ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL) | FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr);
    return h == INVALID_HANDLE_VALUE ? Failed(File()) : File(FromHandle(h));
}

File File::CreateNew(const std::string& path) {
    if (path.empty()) return File();
    // A temporary file may be deleted while open: a termination removes it
    // while the run still writes (it goes when the handle is closed).
    const bool temporary = IsTemporaryName(path);
    HANDLE h = CreateFileW(NativePath(path).c_str(), GENERIC_WRITE, temporary ? FILE_SHARE_DELETE : 0, nullptr,
                           CREATE_NEW, temporary ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? Failed(File()) : File(FromHandle(h));
}

long long File::Read(void* buf, size_t n) {
    if (!IsOpen()) return -1;
    size_t done = 0;
    auto* p = static_cast<char*>(buf);
    while (done < n) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(ToHandle(native_), p + done, chunk, &got, nullptr))
            return done > 0 ? static_cast<long long>(done) : Failed(-1LL);
        if (got == 0) break;
        done += got;
    }
    return static_cast<long long>(done);
}

bool File::Write(const void* buf, size_t n) {
    if (!IsOpen()) return false;
    const auto* p = static_cast<const char*>(buf);
    while (n > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
        DWORD put = 0;
        if (!WriteFile(ToHandle(native_), p, chunk, &put, nullptr)) return Failed(false);
        if (put == 0) {
            g_lastIoError = IoError::kNoSpace;
            return false;
        }
        p += put;
        n -= put;
    }
    return true;
}

long long File::Size() const {
    LARGE_INTEGER size{};
    if (!IsOpen() || !GetFileSizeEx(ToHandle(native_), &size)) return -1;
    return static_cast<long long>(size.QuadPart);
}

bool File::Rewind() {
    LARGE_INTEGER zero{};
    return IsOpen() && (SetFilePointerEx(ToHandle(native_), zero, nullptr, FILE_BEGIN) != 0 || Failed(false));
}

bool File::Close() {
    if (!IsOpen()) return true;
    const BOOL ok = CloseHandle(ToHandle(native_));
    native_ = kClosed;
    return ok != 0 || Failed(false);
}

bool FileExists(const std::string& path) {
    DWORD attr = 0;
    return ResolvedAttributes(path, attr) && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirExists(const std::string& path) {
    DWORD attr = 0;
    return ResolvedAttributes(path, attr) && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

long long FileSize(const std::string& path) {
    if (path.empty()) return -1;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(NativePath(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        File f = File::OpenRead(path);
        return f.Size();
    }
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

long long FileModifiedTime(const std::string& path) {
    if (path.empty()) return -1;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(NativePath(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    // Hundreds of nanoseconds since 1601.
    return static_cast<long long>((static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                  data.ftLastWriteTime.dwLowDateTime);
}

bool RemoveFile(const std::string& path) {
    if (path.empty()) return false;
    const std::wstring w = NativePath(path);
    const DWORD attr = GetFileAttributesW(w.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) return false;
    return DeleteFileW(w.c_str()) != 0;
}

bool ForceDirectories(const std::string& path) {
    if (path.empty()) return false;
    std::string p = path;
    while (p.size() > 1 && (p.back() == '\\' || p.back() == '/')) p.pop_back();
    if (DirExists(p)) return true;
    // A drive ("C:") or the share of a UNC path cannot be created.
    if (p.size() == 2 && p[1] == ':') return false;
    const size_t sep = p.find_last_of("\\/");
    if (sep != std::string::npos && sep > 0) {
        const std::string parent = p.substr(0, sep);
        const bool uncRoot = parent.size() >= 2 && (parent[0] == '\\' || parent[0] == '/') &&
                             (parent[1] == '\\' || parent[1] == '/') && parent.find_first_of("\\/", 2) ==
                                                                            std::string::npos;
        if (!uncRoot && !ForceDirectories(parent)) return false;
    }
    if (CreateDirectoryW(NativePath(p).c_str(), nullptr)) return true;
    return DirExists(p);
}

bool RemoveDir(const std::string& path) {
    return !path.empty() && RemoveDirectoryW(NativePath(path).c_str()) != 0;
}

bool RenameReplace(const std::string& from, const std::string& to) {
    return MoveRetried(from, to, MOVEFILE_REPLACE_EXISTING);
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING, MoveFileExW fails when to exists.
    return MoveRetried(from, to, 0);
}

bool IsDirWritable(const std::string& dir) {
    // The folder's access rules decide, so try: a hidden probe that deletes
    // itself when closed.
    if (!DirExists(dir)) return false;
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::string probe = WithSeparator(dir) + ".~write-probe." + std::to_string(GetCurrentProcessId()) +
                                  "-" + std::to_string(serial++) + ".tmp";
        HANDLE h = CreateFileW(NativePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

char PathSeparator() { return '\\'; }

bool IsPathSeparator(char32_t c) { return c == U'\\' || c == U'/'; }

std::string ExecutablePath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        if (buf.size() >= 32768) return {};
        buf.resize(buf.size() * 2);
    }
    return Utf8(buf);
}

std::string ExecutableDir() {
    const std::string path = ExecutablePath();
    const size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string UserDataDir(const std::string& appName) {
    std::string base = KnownFolder(FOLDERID_LocalAppData);
    if (base.empty()) base = TempDir();
    return base + appName + "\\";
}

std::string UserConfigDir(const std::string& appName) { return UserDataDir(appName); }

std::string DesktopDir() { return KnownFolder(FOLDERID_Desktop); }

std::string DocumentsDir() { return KnownFolder(FOLDERID_Documents); }

std::string UserRuntimeDir(const std::string& appName) {
    // The user's own temporary folder (inside the local application data).
    return TempDir() + appName + "\\";
}

std::string TempDir() {
    wchar_t buf[MAX_PATH + 2];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH + 1) return ".\\";
    return WithSeparator(Utf8(buf, n));
}

long long ProcessId() { return static_cast<long long>(GetCurrentProcessId()); }

// ---- The command line and the console ---------------------------------

void UseUtf8Arguments(int& argc, char**& argv) {
    static std::vector<std::string> storage;
    static std::vector<char*> pointers;
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide) return;
    storage.clear();
    for (int i = 0; i < n; ++i) storage.push_back(Utf8(std::wstring(wide[i])));
    LocalFree(wide);
    pointers.clear();
    for (std::string& a : storage) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    argc = n;
    argv = pointers.data();
}

bool WriteStd(StdStream stream, const std::string& utf8) {
    std::FILE* f = stream == StdStream::kOut ? stdout : stderr;
    HANDLE h = GetStdHandle(stream == StdStream::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
        std::fflush(f);  // whatever the C library still holds comes first
        const std::wstring w = Wide(utf8);
        size_t done = 0;
        while (done < w.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(w.size() - done, 8192));
            DWORD put = 0;
            if (!WriteConsoleW(h, w.data() + done, chunk, &put, nullptr) || put == 0) return false;
            done += put;
        }
        return true;
    }
    // The bytes as they are, as on other systems: no "\r" before "\n".
    static const bool binary = (_setmode(_fileno(stdout), _O_BINARY), _setmode(_fileno(stderr), _O_BINARY), true);
    (void)binary;
    const bool ok = std::fwrite(utf8.data(), 1, utf8.size(), f) == utf8.size();
    return std::fflush(f) == 0 && ok;
}

// ---- Folders, processes and interruption -------------------------------

bool ListDir(const std::string& dir, std::vector<DirEntry>& entries) {
    entries.clear();
    const std::wstring pattern = NativePath(WithSeparator(dir.empty() ? std::string(".") : dir) + "*");
    WIN32_FIND_DATAW data{};
    HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty drive root
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        DirEntry e;
        e.name = Utf8(name);
        e.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        e.isDir = !e.isLink && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries.push_back(std::move(e));
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return true;
}

long long PhysicalMemory() {
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    return GlobalMemoryStatusEx(&m) ? static_cast<long long>(m.ullTotalPhys) : 0;
}

bool ProcessRunning(long long pid) {
    if (pid <= 0 || pid > 0xFFFFFFFFll) return true;  // no process of ours; never taken for stale
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process; else it runs, not ours
    DWORD code = 0;
    const bool running = !GetExitCodeProcess(h, &code) || code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
}

namespace {

std::atomic<int> g_interrupts{0};

void WriteText(DWORD which, const char* text) {
    if (text == nullptr || *text == '\0') return;
    HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0, put = 0;
    const std::string utf8 = text;
    if (GetConsoleMode(h, &mode)) {
        const std::wstring w = Wide(utf8);
        WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &put, nullptr);
    } else {
        WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &put, nullptr);
    }
}

void Remove(const char* path) { DeleteFileW(NativePath(path).c_str()); }

// Deletes the files of a folder and of its subfolders (not deeper), and the
// folder.
void EmptyAndRemove(const std::string& folder, int depth = 1) {
    std::vector<DirEntry> entries;
    if (ListDir(folder, entries))
        for (const DirEntry& e : entries) {
            if (!e.isDir) DeleteFileW(NativePath(WithSeparator(folder) + e.name).c_str());
            else if (depth > 0 && !e.isLink) EmptyAndRemove(WithSeparator(folder) + e.name, depth - 1);
        }
    RemoveDirectoryW(NativePath(folder).c_str());
}

void PauseBriefly() { Sleep(1); }

// Windows runs this on a thread of its own while the run goes on, so it may
// use every call. A temporary output still being written is deleted as
// soon as its handle closes, which ending the process does.
[[noreturn]] void Terminate() {
    termination::ForEachTempPath(Remove, PauseBriefly);
    if (const char* f = termination::CleanupFolder()) {
        std::string folder = f;
        EmptyAndRemove(folder);
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
        const size_t sep = folder.find_last_of("\\/");
        if (sep != std::string::npos && sep > 0) RemoveDirectoryW(NativePath(folder.substr(0, sep)).c_str());
    }
    WriteText(STD_OUTPUT_HANDLE, termination::Text(0));
    WriteText(STD_ERROR_HANDLE, termination::Text(1));
    ExitProcess(130);
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            if (g_interrupts.fetch_add(1) == 0) return TRUE;  // the run stops before the next file
            Terminate();
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: Terminate();
        default: return FALSE;
    }
}

}  // namespace

void InstallInterruptHandlers() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool InterruptRequested() { return g_interrupts.load() != 0; }

bool StdoutIsTerminal() {
    DWORD mode = 0;
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

// ---- Text services -----------------------------------------------------

namespace {

constexpr UINT kCp932 = 932;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.data()); }

std::u16string MapCase(const std::u16string& text, DWORD how) {
    if (text.empty()) return {};
    const int n = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, how | LCMAP_LINGUISTIC_CASING, W(text),
                                static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr, 0);
    if (n <= 0) return text;
    std::u16string out(static_cast<size_t>(n), u'\0');
    LCMapStringEx(LOCALE_NAME_USER_DEFAULT, how | LCMAP_LINGUISTIC_CASING, W(text), static_cast<int>(text.size()),
                  reinterpret_cast<wchar_t*>(out.data()), n, nullptr, nullptr, 0);
    return out;
}

}  // namespace

std::string WideToAnsi(const std::u16string& text) {
    if (text.empty()) return {};
    // No best-fit look-alikes: what code page 932 lacks becomes '?'.
    const DWORD flags = WC_NO_BEST_FIT_CHARS;
    const int len = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(kCp932, flags, W(text), len, nullptr, 0, "?", nullptr);
    if (n <= 0) return std::string(text.size(), '?');
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(kCp932, flags, W(text), len, out.data(), n, "?", nullptr);
    return out;
}

std::u16string AnsiToWide(const char* bytes, size_t n) {
    if (n == 0) return {};
    const int len = static_cast<int>(n);
    const int m = MultiByteToWideChar(kCp932, 0, bytes, len, nullptr, 0);
    if (m <= 0) return std::u16string(n, u'\u30FB');
    std::u16string out(static_cast<size_t>(m), u'\0');
    MultiByteToWideChar(kCp932, 0, bytes, len, reinterpret_cast<wchar_t*>(out.data()), m);
    return out;
}

std::u16string UpperCase(const std::u16string& text) { return MapCase(text, LCMAP_UPPERCASE); }

std::u16string LowerCase(const std::u16string& text) { return MapCase(text, LCMAP_LOWERCASE); }

void* AllocateLarge(size_t bytes) {
    // Large pages need a privilege users do not have; committed memory of
    // the ordinary kind, zeroed by the system.
    return bytes == 0 ? nullptr : VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLarge(void* p, size_t) {
    if (p) VirtualFree(p, 0, MEM_RELEASE);
}

}  // namespace talvine::platform
