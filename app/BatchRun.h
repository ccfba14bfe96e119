// The batch run: converts a list of drawings and figures one after another,
// each into a new file of the same format and version in the chosen output
// folder, and reports every file in three log lines. It knows no window:
// the window and the command-line tool drive this same code through the
// callbacks below.
//
// Log, per file:
//   <source path>
//   → <output path>
//   　…… 変換完了 | 変換失敗
// and "[ESC]を押しましたので中断します。" when a run is stopped between files.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "jws/JwsUnit.h"
#include "jww/JwwUnit.h"

namespace talvine {

inline constexpr char16_t kResultDone[] = u"変換完了";
inline constexpr char16_t kResultFailed[] = u"変換失敗";
inline constexpr char16_t kLogArrow[] = u"→ ";
inline constexpr char16_t kLogResultPrefix[] = u"\u3000\u2026\u2026 ";
inline constexpr char16_t kLogAborted[] = u"[ESC]を押しましたので中断します。";
inline constexpr char16_t kFolderMissingMessage[] = u"指定したフォルダが見つかりません。";

// Where the converted files go.
enum class TOutputFolder {
    kDesktop = 1,
    kDocuments = 2,
    kSource = 3,        // beside each source
    kSpecified = 4,     // the folder the user typed
    kAskEveryTime = 5,  // a folder dialog at every run
};

// The answer of the folder dialog of the ask-every-time mode.
struct TFolderAnswer {
    enum Status { kAccepted, kCancelled, kNotShown } status = kNotShown;
    std::string folder;  // when accepted
};

struct TRunSettings {
    TOutputFolder folderMode = TOutputFolder::kSource;
    std::string desktopDir;    // this user's desktop and documents folders
    std::string documentsDir;
    std::string specifiedDir;  // for kSpecified
    std::string preFolder;     // last folder chosen in kAskEveryTime; updated by the run
    bool referencePoints = true;  // SXF reference points become temporary points
};

struct TRunCallbacks {
    std::function<void(const std::u16string&)> log;  // one log line
    std::function<void()> clearLog;
    // Polled before every file; true stops the run there.
    std::function<bool()> abortRequested;
    // kAskEveryTime: asks for a folder, starting at the given one.
    std::function<TFolderAnswer(const std::string&)> askFolder;
    // kSpecified with a missing folder: shows the message (text + CR LF + folder).
    std::function<void(const std::u16string&)> folderMissing;
    // Called once the folder is resolved, before the first file.
    std::function<void()> saveSettings;
    // After the loop (also after a stop): show the log.
    std::function<void()> showLog;
};

struct TRunSummary {
    bool started = false;  // false when the run ended before its first file
    bool aborted = false;
    int converted = 0;
    int failed = 0;
};

class TBatchRun {
public:
    // workFolder receives the bound images of each drawing while it is
    // converted; it should be private to this process.
    explicit TBatchRun(std::string workFolder);
    ~TBatchRun();
    TBatchRun(const TBatchRun&) = delete;
    TBatchRun& operator=(const TBatchRun&) = delete;

    // Converts files in order. Nothing happens for an empty list.
    TRunSummary RunProc(const std::vector<std::string>& files, TRunSettings& settings, const TRunCallbacks& cb);

    // Converts src into a new file at dst (or, should dst be taken meanwhile,
    // at the next free branch name, which dst then holds). Returns
    // kResultDone when the output exists, else kResultFailed; the source is
    // only ever read, and nothing is left behind on failure.
    std::u16string RunProc1(const std::string& src, std::string& dst, bool referencePoints);

    const std::string& WorkFolder() const { return workFolder_; }

private:
    // Empties the drawing document and deletes the images its read extracted.
    void JwwDataFree();
    template <class Doc, class Explode>
    bool Convert(Doc& doc, const std::string& src, const std::string& tmp, Explode explode);

    std::string workFolder_;
    TJwwData JWW;
    TJwsData JWS;
};

// The folder for bound images of this process: a folder named after the
// process inside "TEMP" beside the executable; for an installed program
// (IsInstalledProgramFolder), or when that cannot be made, inside this
// user's runtime folder, else the cache folder. Created; "" when none can be.
std::string MakeWorkFolder();
// Removes the work folder (when empty) and its parent "TEMP" (when empty).
void RemoveWorkFolder(const std::string& folder);

}  // namespace talvine
