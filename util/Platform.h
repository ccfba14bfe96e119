// Operating-system services of the core: files, folders and the system's
// text services (the ANSI code page and locale-aware casing).
//
// Every call the core makes into the operating system goes through this
// header. PlatformPosix.cpp and PlatformPosixText.cpp implement it for
// POSIX systems, PlatformWin.cpp for Windows. No other core file includes an
// operating-system header, and no name here is one that the Windows headers
// define as a macro.
//
// Paths are UTF-8 strings (converted to the native form by the implementation;
// on Windows both '\\' and '/' separate components, and long paths work).
// None of these functions throws; failures are reported by the result.
//
// Temporary files: a file whose name begins with a dot or ends in ".tmp" is
// hidden. On POSIX systems the dot does that; on Windows such a file is
// created with the hidden attribute, and a rename gives the file the
// hiddenness of its new name, so a published result is never hidden.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace talvine::platform {

// ---- Files -------------------------------------------------------------

// An open file. Moves, does not copy; closes itself on destruction.
class File {
public:
    File() = default;
    ~File() { Close(); }
    File(File&& other) noexcept : native_(other.native_) { other.native_ = kClosed; }
    File& operator=(File&& other) noexcept {
        if (this != &other) {
            Close();
            native_ = other.native_;
            other.native_ = kClosed;
        }
        return *this;
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing file for reading; others may read it meanwhile.
    static File OpenRead(const std::string& path);
    // Creates (or truncates) a file for writing, refusing to follow a
    // symbolic link at the final component.
    static File CreateWrite(const std::string& path);
    // Creates a file that must not exist yet (fails when the name is taken).
    static File CreateNew(const std::string& path);

    bool IsOpen() const { return native_ != kClosed; }
    // Reads up to n bytes; returns the number read (0 at end of file),
    // or -1 on error.
    long long Read(void* buf, size_t n);
    // Writes all n bytes; false on any error.
    bool Write(const void* buf, size_t n);
    // Size of the open file in bytes, -1 on error.
    long long Size() const;
    // Moves back to the start of the file; false on failure.
    bool Rewind();
    // Closes the file; false when the close reported an error (a write that
    // did not reach the disk). Closing a closed file returns true.
    bool Close();

private:
    // The system's handle: a descriptor on POSIX systems, a HANDLE on Windows.
    using Native = std::intptr_t;
    static constexpr Native kClosed = -1;
    explicit File(Native native) : native_(native) {}
    Native native_ = kClosed;
};

// ---- Memory for large arrays -------------------------------------------

// At least bytes of zeroed memory for a large array, aligned for any type,
// or nullptr when none is left. Where the system can, the memory is backed
// by large pages (on Linux, transparent huge pages asked for with madvise):
// filling a 30 MB array then costs a few faults, not thousands of faults of
// 4 kB pages, which on a virtual machine dominate reading a large drawing.
// Give it back with FreeLarge and the same size.
void* AllocateLarge(size_t bytes);
void FreeLarge(void* p, size_t bytes);

// True when a regular file (not a folder) exists at path, following links.
bool FileExists(const std::string& path);
// True when a folder exists at path.
bool DirExists(const std::string& path);
// Size of the file in bytes, -1 when it cannot be determined.
long long FileSize(const std::string& path);
// When the file was last written, in a unit of this system that only
// compares (later is larger); -1 when it cannot be determined.
long long FileModifiedTime(const std::string& path);
// Deletes a file (not a folder). False on any error.
bool RemoveFile(const std::string& path);
// Creates the folder with every missing parent. True when it exists afterwards.
bool ForceDirectories(const std::string& path);
// Removes an empty folder. False on any error.
bool RemoveDir(const std::string& path);
// Gives the file at from the name to, replacing a file of that name.
bool RenameReplace(const std::string& from, const std::string& to);
// Gives the file at from the name to, only when to does not exist yet.
// False (and from left as it is) when to exists or on any error. A rename
// that another program holds up for a moment (a virus scanner or an indexer
// reading the new file) is retried briefly.
bool RenameNoReplace(const std::string& from, const std::string& to);
// True when a file can be created in the folder.
bool IsDirWritable(const std::string& dir);

// The separator of this system's paths ('/' here, '\\' on Windows).
char PathSeparator();
// True for every character that separates path components on this system.
bool IsPathSeparator(char32_t c);
// The full path of the running program; empty when unknown.
std::string ExecutablePath();
// Folder of the running executable, with a trailing separator; empty when
// unknown.
std::string ExecutableDir();
// A per-user folder for the program's data (created on demand by callers),
// with a trailing separator.
std::string UserDataDir(const std::string& appName);
// A per-user folder for the program's settings (created on demand by
// callers), with a trailing separator.
std::string UserConfigDir(const std::string& appName);
// A per-user folder for short-lived files of the running program (created
// on demand by callers), with a trailing separator: inside the session's
// runtime folder when there is one, else inside the user's cache folder.
std::string UserRuntimeDir(const std::string& appName);
// The user's desktop and documents folders, with a trailing separator; empty
// when the system names none.
std::string DesktopDir();
std::string DocumentsDir();
// The system's folder for temporary files, with a trailing separator.
std::string TempDir();
// Identifier of the running process.
long long ProcessId();

// ---- Text services -----------------------------------------------------

// UTF-16 text to the drawing files' code page: code page 932, Shift_JIS as
// Windows defines it, whatever the system's own code page. Each UTF-16 unit
// the code page lacks becomes '?' (a character beyond U+FFFF gives two, as on
// Windows); nothing is replaced by a look-alike.
std::string WideToAnsi(const std::u16string& text);
// Bytes in code page 932 to UTF-16, as Windows decodes them: the single
// bytes 0x80, 0xA0, 0xFD, 0xFE and 0xFF are U+0080 and U+F8F0 to U+F8F3; a
// lead byte always takes the byte after it, and a pair the code page does
// not define, like a lead byte at the very end, becomes U+30FB.
std::u16string AnsiToWide(const char* bytes, size_t n);
// Locale-aware (linguistic) upper and lower case of a whole text.
std::u16string UpperCase(const std::u16string& text);
std::u16string LowerCase(const std::u16string& text);

// ---- Why a call failed, folders, processes and interruption ------------
//
// What the batch run and the command-line tool need to tell users what went
// wrong, to take folders as input, to tidy up after processes that ended
// without doing so, and to stop cleanly when interrupted or terminated.

// Why the last failed file call of this thread (File::OpenRead, CreateWrite,
// CreateNew, Read, Write, Close) failed. Successful calls leave it as it is.
enum class IoError {
    kNone,
    kNotFound,    // no such file or folder
    kPermission,  // access denied, read-only file system
    kNoSpace,     // disk full, quota or file-size limit reached
    kOther,
};
IoError LastIoError();
// Forgets the last failure: LastIoError gives kNone until the next one.
void ClearLastIoError();

// One entry of a folder.
struct DirEntry {
    std::string name;     // UTF-8, without the folder
    bool isDir = false;   // a folder (a link to a folder is not one)
    bool isLink = false;  // a symbolic link (or junction)
};
// The entries of a folder, without "." and "..", in no particular order.
// False when the folder cannot be listed.
bool ListDir(const std::string& dir, std::vector<DirEntry>& entries);

// The machine's physical memory in bytes; 0 when it cannot be told.
long long PhysicalMemory();

// True when a process with this id runs; also true when that cannot be
// told (so that nothing of a living process is ever taken for stale).
bool ProcessRunning(long long pid);

// Interruption. After InstallInterruptHandlers:
// - an interrupt from the terminal (Ctrl-C; Ctrl-Break on Windows) only sets
//   the flag InterruptRequested returns, so that a run can stop between
//   files; a second one terminates as below;
// - a request to terminate (SIGTERM, SIGHUP; closing the console window on
//   Windows) terminates at once: every registered temporary file is
//   deleted, the cleanup folder is emptied and removed (and its parent too
//   when that is then empty), the termination texts are written to standard
//   output and standard error, and the process exits with status 130;
// - a write to a closed pipe fails with an error instead of ending the
//   process.
void InstallInterruptHandlers();
bool InterruptRequested();
// Temporary files to delete on termination: a path is registered before
// the file is created and unregistered once it is gone or published. At
// most kMaxTempPaths at a time (a run converting several files at once
// holds one each); false when no slot is free, or once a termination has
// begun.
inline constexpr int kMaxTempPaths = 256;
bool RegisterTempPath(const std::string& path);
void UnregisterTempPath(const std::string& path);
// Registers path and creates a new file there (File::CreateNew). A
// termination that begins meanwhile, on any thread, waits until the file
// is made and then deletes it; one that has begun lets no file be made.
// Not open when the path cannot be registered or the file not created
// (the path is then unregistered).
File CreateTempFile(const std::string& path);
// The folder (the run's work folder) to remove on termination; "" for none.
void SetCleanupFolder(const std::string& folder);
// What to write on termination (UTF-8; each may be empty).
void SetTerminationTexts(const std::string& toStdout, const std::string& toStderr);
// True when standard output is a terminal (a console window).
bool StdoutIsTerminal();
// ---- The command line and the console ---------------------------------

// Makes argv hold the program's arguments in UTF-8. On Windows, where main
// receives them in the ANSI code page, they are taken again from the
// Unicode command line (the strings live until the program ends); on POSIX
// systems argv stays as it is.
void UseUtf8Arguments(int& argc, char**& argv);

enum class StdStream { kOut, kErr };
// Writes UTF-8 text to standard output or standard error and flushes it. On
// a Windows console the text goes through the console's Unicode output;
// anywhere else (a file, a pipe, a POSIX terminal) as the bytes themselves.
// False when the text could not be written.
bool WriteStd(StdStream stream, const std::string& utf8);

}  // namespace talvine::platform
